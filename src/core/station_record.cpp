#include "core/station_record.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/console.hpp"
#include "common/free_form.hpp"

namespace quillet {

namespace {

// The offset of a conductivity channel in mS/m. Before any configuration is known the factor is
// 0; the offset is then left out rather than turning the conductivity into NaN or infinity.
float conductivity_offset(float offset_ppt, float factor) {
  return factor == 0.0f ? 0.0f : offset_ppt / factor;
}

}  // namespace

void convert_scaled(StationRecord& station, ConversionVariant variant, ArrayFactors factors) {
  convert_array(station, 1, variant, factors, station.USER_OFFSET[0]);
}

void convert_array(StationRecord& station, int array, ConversionVariant variant,
                   ArrayFactors factors, const std::array<float, 4>& o) {
  // The four channels as the lanes of one vector, each lane computed in float by the operations
  // and in the order of convert_array_scalar: the results are the same bits. The lanes: HCP
  // quadrature, PRP quadrature, HCP in-phase, PRP in-phase. A division by 1 is exact, which lets
  // the in-phase lanes share the quadrature lanes' operations.
  using Floats = float __attribute__((vector_size(16)));
  using Ints = std::int32_t __attribute__((vector_size(16)));
  const std::size_t k = static_cast<std::size_t>(array - 1);
  const Ints raw = {station.RAW_HQ[k], station.RAW_PQ[k], station.RAW_HI[k], station.RAW_PI[k]};
  const Floats x = __builtin_convertvector(raw, Floats);
  const Floats offsets = {o[2], o[3], o[0], o[1]};
  const Floats divisors = {factors.F_HC, factors.F_PC, 1.0f, 1.0f};
  Floats out;
  if (variant == ConversionVariant::Quadrature) {
    out = (x / 100.0f - offsets) / divisors;
  } else {
    // conductivity_offset: 0 where the factor is 0 (its quotient is dropped).
    const Ints quotient = reinterpret_cast<Ints>(offsets / divisors) & ~(divisors == 0.0f);
    const Floats scale = {10.0f, 10.0f, 100.0f, 100.0f};
    out = x / scale - reinterpret_cast<Floats>(quotient);
  }
  station.HC[k] = out[0];
  station.PC[k] = out[1];
  station.HI[k] = out[2];
  station.PI[k] = out[3];
}

void convert_array_scalar(StationRecord& station, int array, ConversionVariant variant,
                          ArrayFactors factors, const std::array<float, 4>& o) {
  const std::size_t k = static_cast<std::size_t>(array - 1);
  const float raw_hq = static_cast<float>(station.RAW_HQ[k]);
  const float raw_pq = static_cast<float>(station.RAW_PQ[k]);
  switch (variant) {
    case ConversionVariant::Quadrature:
      station.HC[k] = (raw_hq / 100.0f - o[2]) / factors.F_HC;
      station.PC[k] = (raw_pq / 100.0f - o[3]) / factors.F_PC;
      break;
    case ConversionVariant::Conductivity:
      station.HC[k] = raw_hq / 10.0f - conductivity_offset(o[2], factors.F_HC);
      station.PC[k] = raw_pq / 10.0f - conductivity_offset(o[3], factors.F_PC);
      break;
  }
  station.HI[k] = static_cast<float>(station.RAW_HI[k]) / 100.0f - o[0];
  station.PI[k] = static_cast<float>(station.RAW_PI[k]) / 100.0f - o[1];
}

void convert_ppm(StationRecord& station, std::int32_t hcp_quadrature, std::int32_t prp_quadrature,
                 ArrayFactors factors) {
  station.HC[0] = (static_cast<float>(hcp_quadrature) / 1000.0f) / factors.F_HC;
  station.HI[0] = static_cast<float>(station.RAW_HI[0]) / 1000.0f;
  station.PC[0] = (static_cast<float>(prp_quadrature) / 1000.0f) / factors.F_PC;
  station.PI[0] = static_cast<float>(station.RAW_PI[0]) / 1000.0f;
}

void ask_length_code(std::int32_t& LENGTH_CODE, std::string_view prompt,
                     std::optional<std::int32_t> given, Console& console) {
  LENGTH_CODE = 1;
  console.write(FreeLine() << prompt);
  if (given) {
    LENGTH_CODE = *given;
    console.write_line("    (length code given: " + std::to_string(*given) + ")");
    return;
  }
  std::int32_t reply = LENGTH_CODE;
  const FreeReadResult result = read_free(console, {reply});
  if (result.status == FreeReadStatus::Ok && result.assigned == 1) LENGTH_CODE = reply;
}

}  // namespace quillet
