// The coil configuration of the instrument: how many coil arrays it carries, where every receiver
// sits, the factors that turn quadrature readings (ppt) into apparent conductivity (mS/m), and the
// channel labels of the Geosoft column header.
//
// The configuration lives for the whole program (it is not reset between the runs for different
// output types). It is chosen by the sensor length code `LENGTH_CODE`, whose decimal digits name
// the nominal spacings of the arrays (5 for 0.5 m, then 1, 2, 4 and 6 m). Four tables map a code to
// a configuration: the one applied by identification and file header lines (`set_arrays`), the two
// variants that T$ packets apply, the one of $PDLMT packets, and the geometry table of X$ packets.
//
// Arrays are numbered 1..3 in the instrument's terms; element [k - 1] of the per-array tables
// belongs to array k.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillet {

class Console;

inline constexpr int kMaxCoilArrays = 3;
inline constexpr std::size_t kChannelLabelsLength = 120;

// The packet-side configuration tables.
enum class PacketTable : std::uint8_t {
  TNuld,  // T$ packets tagged "NULD"
  TRaw,   // T$ packets tagged "RAW ": channel labels untouched, no rows for 15 and 215
  Pdlmt,  // $PDLMT packets: array 1 only, `N` and labels untouched
};

// Product of the constants of the conversion factor: omega * mu0 = (2 pi 9000 Hz)(4 pi 1e-7), with
// pi and 1e-7 as single-precision values widened to double, multiplied left to right. The last
// digits of the stored factors depend on exactly this evaluation.
double factor_constant(double pi_d);

// Conversion factor of a receiver at `spacing` metres: omega mu0 s^2 / 4, evaluated in double
// left to right as c * s * s * 0.25 * 1000 / 1000 and rounded once to float. The X$ packets write
// the product as s * c * s ...; IEEE multiplication is commutative, so s * c is bit for bit c * s
// and both orders store the same float for every spacing.
float conversion_factor(double c, float spacing);

struct CoilConfiguration {
  std::int32_t LENGTH_CODE = 0;              // current sensor length code; 0 while none is known
  std::int32_t N = 1;                        // number of coil arrays, 1..3
  std::array<float, kMaxCoilArrays> S_HC{};  // HCP receiver spacing, m (0: not yet known)
  std::array<float, kMaxCoilArrays> S_PC{};  // PRP receiver spacing, m
  std::array<float, kMaxCoilArrays> F_HC{};  // HCP factor: mS/m = ppt / F_HC
  std::array<float, kMaxCoilArrays> F_PC{};  // PRP factor
  std::string CHLABELS = std::string(kChannelLabelsLength, ' ');  // always 120 characters
  // Scale of the second array's conductivities on the prototype (code 620); never cleared.
  float PROTO_HC_SCALE = 0.0f;
  float PROTO_PC_SCALE = 0.0f;
  // The run's pi: the single-precision value widened, not the double-precision pi.
  double PI_D = 3.1415927410125732;

  // Applies the row of `LENGTH_CODE` (stored by the caller): spacings of arrays 1..N, N and the
  // channel labels. Arrays beyond the new N keep what an earlier configuration left in them.
  void set_arrays();

  // Computes the factors of arrays 1..N and, for the prototype code 620, writes its console line
  // and sets the prototype scale constants.
  void finish_configuration(Console& console);

  // For the prototype code 620: writes its console line, sets the prototype scale constants and
  // returns true. Any other code: nothing, false.
  bool detect_prototype(Console& console);

  // Applies a packet-side table to `LENGTH_CODE`, then recomputes the factors of array 1 only.
  // Neither prints anything nor touches the prototype scale constants.
  void apply_packet_table(PacketTable table);

  // X$ packets ("NULD" and "RAW "): sets N and the spacings of every array from `LENGTH_CODE`;
  // factors and labels are untouched.
  void apply_extra_array_geometry();

  // X$ packets: computes the factors of arrays 2..N (array 1 keeps its factors).
  void compute_extra_array_factors();
};

}  // namespace quillet
