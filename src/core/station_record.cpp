#include "core/station_record.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

using Floats = float __attribute__((vector_size(16)));
using Ints = std::int32_t __attribute__((vector_size(16)));

// The raw integers of every array lie one after another, HI, PI, HQ, PQ, three of each, and so
// do the values they give, HC, HI, PC, PI: twelve lanes, three vectors of four.
static_assert(offsetof(StationRecord, RAW_PI) == offsetof(StationRecord, RAW_HI) + 12 &&
              offsetof(StationRecord, RAW_HQ) == offsetof(StationRecord, RAW_HI) + 24 &&
              offsetof(StationRecord, RAW_PQ) == offsetof(StationRecord, RAW_HI) + 36 &&
              offsetof(StationRecord, HI) == offsetof(StationRecord, HC) + 12 &&
              offsetof(StationRecord, PC) == offsetof(StationRecord, HC) + 24 &&
              offsetof(StationRecord, PI) == offsetof(StationRecord, HC) + 36);

// The twelve raw integers at `from` as three vectors. The reading of the line has just stored
// them one or two at a time, and a wider load of values still on their way to the cache waits
// until they have arrived there: one load per integer takes each from its store at once.
[[gnu::always_inline]] inline void load_raw_lanes(const char* from, Ints* raw) {
#if defined(__SSE2__)
  const auto lane = [&](int k) {
    std::int32_t value;
    std::memcpy(&value, from + 4 * k, sizeof value);
    return _mm_cvtsi32_si128(value);
  };
  for (int v = 0; v < 3; ++v) {
    const __m128i low = _mm_unpacklo_epi32(lane(4 * v), lane(4 * v + 1));
    const __m128i high = _mm_unpacklo_epi32(lane(4 * v + 2), lane(4 * v + 3));
    raw[v] = reinterpret_cast<Ints>(_mm_unpacklo_epi64(low, high));
  }
#else
  std::memcpy(raw, from, 3 * sizeof(Ints));
#endif
}

// Arrays first..last of the twelve lanes. `rows[k]`: the offsets of array k + 1 (as in
// USER_OFFSET), `hcp` and `prp`: the factors of arrays 1..3 in the first three lanes. Every lane
// takes the operations of convert_array_scalar for its channel, in their order; a division by 1
// is exact, so the in-phase lanes share the operations of the quadrature lanes beside them.
[[gnu::always_inline]] inline void convert_lanes(StationRecord& station, int first, int last,
                                                 ConversionVariant variant, const Floats* rows,
                                                 Floats hcp, Floats prp) {
  char* const record = reinterpret_cast<char*>(&station);
  Ints raw[3];
  load_raw_lanes(record + offsetof(StationRecord, RAW_HI), raw);
  // Lanes of the inputs: HI1 HI2 HI3 PI1 | PI2 PI3 HQ1 HQ2 | HQ3 PQ1 PQ2 PQ3 (arrays numbered
  // from 1); their offsets the rows' columns in that order.
  const Floats t = __builtin_shufflevector(rows[0], rows[1], 0, 4, 1, 5);
  const Floats u = __builtin_shufflevector(rows[0], rows[1], 2, 6, 3, 7);
  const Floats offsets[3] = {
      __builtin_shufflevector(t, rows[2], 0, 1, 4, 2),
      __builtin_shufflevector(__builtin_shufflevector(t, rows[2], 3, 5, 3, 5), u, 0, 1, 4, 5),
      __builtin_shufflevector(u, rows[2], 6, 2, 3, 7)};
  const Floats ones = {1.0f, 1.0f, 1.0f, 1.0f};
  const Floats factors1 = __builtin_shufflevector(ones, hcp, 0, 1, 4, 5);
  const Floats factors2 = __builtin_shufflevector(hcp, prp, 2, 4, 5, 6);
  const Floats x0 = __builtin_convertvector(raw[0], Floats);
  const Floats x1 = __builtin_convertvector(raw[1], Floats);
  const Floats x2 = __builtin_convertvector(raw[2], Floats);
  Floats r0;
  Floats r1;
  Floats r2;
  if (variant == ConversionVariant::Quadrature) {
    r0 = x0 / 100.0f - offsets[0];
    r1 = (x1 / 100.0f - offsets[1]) / factors1;
    r2 = (x2 / 100.0f - offsets[2]) / factors2;
  } else {
    // conductivity_offset: 0 where the factor is 0 (its quotient is dropped).
    const auto quotient = [](Floats offset, Floats factor) {
      return reinterpret_cast<Floats>(reinterpret_cast<Ints>(offset / factor) & ~(factor == 0.0f));
    };
    const Floats scale1 = {100.0f, 100.0f, 10.0f, 10.0f};
    r0 = x0 / 100.0f - offsets[0];
    r1 = x1 / scale1 - quotient(offsets[1], factors1);
    r2 = x2 / 10.0f - quotient(offsets[2], factors2);
  }
  // Lanes of the outputs: HC1 HC2 HC3 HI1 | HI2 HI3 PC1 PC2 | PC3 PI1 PI2 PI3.
  Floats out0 =
      __builtin_shufflevector(r1, __builtin_shufflevector(r2, r0, 0, 4, 0, 4), 2, 3, 4, 5);
  Floats out1 = __builtin_shufflevector(r0, r2, 1, 2, 5, 6);
  Floats out2 =
      __builtin_shufflevector(__builtin_shufflevector(r2, r0, 3, 7, 3, 7), r1, 0, 1, 4, 5);
  char* const values = record + offsetof(StationRecord, HC);
  if (first != 1 || last != kStationArrays) {
    // The lanes of the other arrays keep their values: per range of arrays, the lanes it takes.
    static constexpr std::int32_t kTaken[kStationArrays][kStationArrays][12] = {
        {{-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0},
         {-1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1, 0},
         {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        {{},
         {0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0},
         {0, -1, -1, 0, -1, -1, 0, -1, -1, 0, -1, -1}},
        {{}, {}, {0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1}}};
    const std::int32_t* const taken = kTaken[first - 1][last - 1];
    const auto keep = [&](Floats& out, int v) {
      Ints lanes;
      Ints old;
      std::memcpy(&lanes, taken + 4 * v, sizeof lanes);
      std::memcpy(&old, values + 16 * v, sizeof old);
      out = reinterpret_cast<Floats>((reinterpret_cast<Ints>(out) & lanes) | (old & ~lanes));
    };
    keep(out0, 0);
    keep(out1, 1);
    keep(out2, 2);
  }
  std::memcpy(values, &out0, sizeof out0);
  std::memcpy(values + 16, &out1, sizeof out1);
  std::memcpy(values + 32, &out2, sizeof out2);
}

}  // namespace

void convert_arrays(StationRecord& station, int last, ConversionVariant variant,
                    ArrayFactors factors, const std::array<float, 4>& offsets) {
  if (last < 1) return;
  Floats row;
  std::memcpy(&row, offsets.data(), sizeof row);
  const Floats rows[3] = {row, row, row};
  const Floats hcp = {factors.F_HC, factors.F_HC, factors.F_HC, factors.F_HC};
  const Floats prp = {factors.F_PC, factors.F_PC, factors.F_PC, factors.F_PC};
  convert_lanes(station, 1, std::min(last, kStationArrays), variant, rows, hcp, prp);
}

void convert_arrays(StationRecord& station, int first, int last, ConversionVariant variant,
                    const std::array<float, kStationArrays>& hcp_factors,
                    const std::array<float, kStationArrays>& prp_factors,
                    const std::array<std::array<float, 4>, kStationArrays>& offsets) {
  first = std::max(first, 1);
  last = std::min(last, kStationArrays);
  if (first > last) return;
  Floats rows[3];
  std::memcpy(rows, offsets.data(), sizeof rows);
  const Floats hcp = {hcp_factors[0], hcp_factors[1], hcp_factors[2], 0.0f};
  const Floats prp = {prp_factors[0], prp_factors[1], prp_factors[2], 0.0f};
  convert_lanes(station, first, last, variant, rows, hcp, prp);
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
