// The station record: the current station's values, updated in place by every data packet and
// written out by the station output records. It lives for the whole program: the runs for the
// different output types see what the earlier runs left in it, and every field keeps its value
// until a packet or a header line overwrites it.
//
// Also the channel conversion (raw packet integers into ppt and mS/m) and the length-code prompt
// that packets use when the input has not told the coil configuration.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "common/layout.hpp"

namespace quillet {

class Console;

// Capacity of the per-array tables of the station record (arrays are numbered 1..3; element
// [k - 1] belongs to array k).
inline constexpr int kStationArrays = 3;

struct StationRecord {
  // Time stamp of the latest time-stamped line.
  std::int32_t HOUR = 0;
  std::int32_t MINUTE = 0;
  std::int32_t SECOND = 0;
  std::int32_t MSEC = 0;

  std::int32_t STATION = 0;
  char STN_SUFFIX = ' ';  // letters after the station and the line number
  char LINE_SUFFIX = ' ';
  std::int32_t LINENO = 0;
  std::int32_t N_DIGIT = 0;  // the one-digit column headed "N"

  std::int32_t VOLT_RAW = 0;
  std::int32_t TEMP_RAW = 0;
  float VOLTAGE = 0.0f;        // V
  float TEMPERATURE_K = 0.0f;  // the column "T-K"
  std::int32_t PITCH_RAW = 0;
  std::int32_t ROLL_RAW = 0;
  float PITCH = 0.0f;  // degrees
  float ROLL = 0.0f;

  // Data-type tag of the last T$ or $PDLMT packet: "CONV", "NULD" or "RAW ".
  std::array<char, 4> DATA_TAG = {' ', ' ', ' ', ' '};
  std::int32_t AUX1 = 0;  // carried to the log records unscaled
  std::int32_t AUX2 = 0;

  // Raw channel integers of the last packet: HCP and PRP in-phase, HCP and PRP quadrature (or
  // conductivity, by the tag).
  std::array<std::int32_t, kStationArrays> RAW_HI{};
  std::array<std::int32_t, kStationArrays> RAW_PI{};
  std::array<std::int32_t, kStationArrays> RAW_HQ{};
  std::array<std::int32_t, kStationArrays> RAW_PQ{};

  std::array<float, kStationArrays> HC{};  // HCP apparent conductivity, mS/m
  std::array<float, kStationArrays> HI{};  // HCP in-phase, ppt
  std::array<float, kStationArrays> PC{};  // PRP apparent conductivity, mS/m
  std::array<float, kStationArrays> PI{};  // PRP in-phase, ppt

  // USER_OFFSET[k - 1][i - 1]: offset i of array k in ppt, i = HCP in-phase, PRP in-phase, HCP
  // quadrature, PRP quadrature.
  std::array<std::array<float, 4>, kStationArrays> USER_OFFSET{};

  std::string_view data_tag() const { return {DATA_TAG.data(), DATA_TAG.size()}; }
  // Takes a tag as read from a packet: blank-padded or cut to four characters.
  void set_data_tag(std::string_view tag) {
    if (tag.size() >= DATA_TAG.size()) {
      std::memcpy(DATA_TAG.data(), tag.data(), DATA_TAG.size());
      return;
    }
    DATA_TAG.fill(' ');
    tag.copy(DATA_TAG.data(), DATA_TAG.size());
  }
};

// A layout bound to members of a station record, for the packets' layouts that are built once:
// `members(s)` names them on a station record `s` (members_of). Built out of line, so that the
// readers that keep such layouts as function-local constants stay small.
template <typename Members>
[[gnu::noinline]] Layout::Bound bound_to_station(std::string_view text, Members members) {
  StationRecord s;
  return Layout::Bound(Layout(text), members(s));
}

// Conversion factors of the two receivers of array 1: mS/m = ppt / factor.
struct ArrayFactors {
  float F_HC;
  float F_PC;
};

// How a packet's raw channel integers are scaled.
enum class ConversionVariant : std::uint8_t {
  Quadrature,    // quadratures in 1/100 ppt (T$ "NULD" and "RAW ")
  Conductivity,  // quadrature fields hold conductivity in 1/10 mS/m (T$ "CONV")
};

// Fills HC, HI, PC and PI of array 1 from its raw integers and user offsets. In the conductivity
// variant the offsets (ppt) are turned into mS/m with the factors in force; a factor that is
// still 0 makes its offset term 0, so the result is never NaN or infinite.
void convert_scaled(StationRecord& station, ConversionVariant variant, ArrayFactors factors);

// The same for array `array` (1..3) with the given offsets (ppt, in the order of USER_OFFSET) and
// factors: the second-group packets convert every array, some with the offsets and factors of
// array 1.
void convert_array(StationRecord& station, int array, ConversionVariant variant,
                   ArrayFactors factors, const std::array<float, 4>& offsets);
// Arrays 1..`last` (no more than 3), each as convert_array with the same factors and offsets:
// what a D$ line does to every array.
void convert_arrays(StationRecord& station, int last, ConversionVariant variant,
                    ArrayFactors factors, const std::array<float, 4>& offsets);
// Arrays `first`..`last`, each as convert_array with its own factors (element k - 1 of each
// table for array k) and offsets; the other arrays keep their values.
void convert_arrays(StationRecord& station, int first, int last, ConversionVariant variant,
                    const std::array<float, kStationArrays>& hcp_factors,
                    const std::array<float, kStationArrays>& prp_factors,
                    const std::array<std::array<float, 4>, kStationArrays>& offsets);

// convert_array a channel at a time: what the vector forms above are held to.
void convert_array_scalar(StationRecord& station, int array, ConversionVariant variant,
                          ArrayFactors factors, const std::array<float, 4>& offsets);

// The ppm variant of $PDLMT packets: in-phase from RAW_HI/RAW_PI, conductivities from the packet's
// own quadrature fields (which do not enter the station record); no user offsets.
void convert_ppm(StationRecord& station, std::int32_t hcp_quadrature, std::int32_t prp_quadrature,
                 ArrayFactors factors);

// Asks for the sensor length code: LENGTH_CODE := 1, the prompt as one console line, then one
// integer from the keyboard. "/", a reply that is not an integer and the end of keyboard input
// all leave the default 1. A code `given` on the command line is the reply: it is shown under the
// prompt and nothing is read.
void ask_length_code(std::int32_t& LENGTH_CODE, std::string_view prompt,
                     std::optional<std::int32_t> given, Console& console);

}  // namespace quillet
