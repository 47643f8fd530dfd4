// Random values for the differential tests against gfortran: integers, reals of many magnitudes
// (with exact rounding ties, values that round to zero, overflows and special values) and texts.
#pragma once

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "common/layout.hpp"

namespace quillet::gfortran {

using Rng = std::mt19937_64;

// One value of a record, owning its text (Out only views it).
using Value = std::variant<std::int32_t, float, double, std::string>;

inline Out to_out(const Value& v) {
  if (const auto* i = std::get_if<std::int32_t>(&v)) return Out(*i);
  if (const auto* f = std::get_if<float>(&v)) return Out(*f);
  if (const auto* d = std::get_if<double>(&v)) return Out(*d);
  return Out(std::string_view(std::get<std::string>(v)));
}

inline int uniform(Rng& rng, int lo, int hi) {
  return std::uniform_int_distribution<int>(lo, hi)(rng);
}
inline double uniform_real(Rng& rng, double lo, double hi) {
  return std::uniform_real_distribution<double>(lo, hi)(rng);
}
inline bool chance(Rng& rng, double p) {
  return uniform_real(rng, 0, 1) < p;
}

inline std::int32_t random_int(Rng& rng) {
  const bool negative = chance(rng, 0.4);
  switch (uniform(rng, 0, 5)) {
    case 0: {  // a power of ten or one below it: the edges of every field width
      std::int64_t p = 1;
      for (int k = uniform(rng, 0, 9); k > 0; --k) p *= 10;
      if (chance(rng, 0.5)) --p;
      return static_cast<std::int32_t>(negative ? -p : p);
    }
    case 1:
      return chance(rng, 0.5) ? std::numeric_limits<std::int32_t>::min()
                              : (chance(rng, 0.5) ? std::numeric_limits<std::int32_t>::max() : 0);
    default: {  // a random number of digits
      const int digits = uniform(rng, 1, 10);
      std::int64_t top = 1;
      for (int k = 0; k < digits; ++k) top *= 10;
      const std::int64_t magnitude = std::uniform_int_distribution<std::int64_t>(
          0, std::min<std::int64_t>(top - 1, std::numeric_limits<std::int32_t>::max()))(rng);
      return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    }
  }
}

// A real aimed at an Fw.d field: most fit the field, many sit on its edges. `Real` is float or
// double; all arithmetic is done in double and the result rounded once to Real where it must be.
template <typename Real>
Real random_real(Rng& rng, int w, int d) {
  using Bits = std::conditional_t<sizeof(Real) == 4, std::uint32_t, std::uint64_t>;
  const double sign = chance(rng, 0.4) ? -1.0 : 1.0;
  const int room = std::max(w - d - 1, 0);  // integer digits the field can hold
  switch (uniform(rng, 0, 9)) {
    case 0: {  // an exact binary tie at the d-th decimal: odd k / 2^(d+1)
      const double scale = std::ldexp(1.0, d + 1);
      const double limit = std::min(std::pow(10.0, room) * scale,
                                    std::ldexp(1.0, std::numeric_limits<Real>::digits - 1));
      auto k = static_cast<std::int64_t>(uniform_real(rng, 0, limit));
      k |= 1;
      return static_cast<Real>(sign * static_cast<double>(k) / scale);
    }
    case 1:  // a value that rounds to zero
      return static_cast<Real>(sign * uniform_real(rng, 0, 0.6) * std::pow(10.0, -d));
    case 2:  // zero of either sign
      return static_cast<Real>(sign * 0.0);
    case 3:  // too large for the field, or just about
      return static_cast<Real>(sign * std::pow(10.0, room + uniform_real(rng, -0.05, 1.5)));
    case 4: {  // close to the carry that makes the field overflow (9.995 -> 10.00)
      const double edge = std::pow(10.0, room) - 0.5 * std::pow(10.0, -d);
      Real v = static_cast<Real>(edge);
      for (int k = uniform(rng, -3, 3); k != 0; k += k > 0 ? -1 : 1) {
        v = std::nextafter(v, k > 0 ? std::numeric_limits<Real>::max() : Real(0));
      }
      return static_cast<Real>(sign) * v;
    }
    case 5: {  // any bit pattern: subnormals, NaNs, infinities included
      const auto bits = static_cast<Bits>(rng());
      return std::bit_cast<Real>(bits);
    }
    case 6: {
      const double special[] = {std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::denorm_min(), 1e-300};
      return static_cast<Real>(sign * special[uniform(rng, 0, 3)]);
    }
    default:  // a mantissa in [1, 10) at any magnitude around the field's
      return static_cast<Real>(sign * uniform_real(rng, 1, 10) *
                               std::pow(10.0, uniform(rng, -d - 3, room)));
  }
}

// Values aimed at every way an Fw.d field writes its whole part, of both signs: whole parts of
// every digit count the field holds and one more, each with a random fraction and next to a
// decimal tie at the last decimal; the powers of ten and the reals around the magnitude from
// which a value rounds up to one (where asterisks begin, for either sign); zeros of either sign,
// values that round to zero, NaN and the infinities.
template <typename Real>
std::vector<Real> whole_part_values(Rng& rng, int w, int d) {
  std::vector<Real> values;
  // v and the reals next to it, of both signs.
  const auto around = [&values](double v) {
    Real r = static_cast<Real>(v);
    for (int k = 0; k < 2; ++k) r = std::nextafter(r, Real(0));
    for (int k = 0; k < 5; ++k, r = std::nextafter(r, std::numeric_limits<Real>::max())) {
      values.push_back(r);
      values.push_back(-r);
    }
  };
  const double scale = std::pow(10.0, d);
  const int room = std::max(w - d - 1, 0);  // columns left of the point
  for (int digits = 0; digits <= room + 1; ++digits) {
    const double low = digits == 0 ? 0.0 : std::pow(10.0, digits - 1);
    const double whole = std::floor(uniform_real(rng, low, std::pow(10.0, digits)));
    const double units = std::floor(uniform_real(rng, 0, scale));
    values.push_back(static_cast<Real>((whole * scale + units) / scale));
    values.push_back(-values.back());
    around((whole * scale + units + 0.5) / scale);
    around(std::pow(10.0, digits));
    around(std::pow(10.0, digits) - 0.5 / scale);
  }
  around(0.5 / scale);
  for (const double v : {0.0, 0.4 / scale, 0.6 / scale, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()}) {
    values.push_back(static_cast<Real>(v));
    values.push_back(static_cast<Real>(-v));
  }
  return values;
}

// Integers aimed at every way an Iw field writes them, of both signs: of every digit count the
// field holds and one more, the powers of ten and the numbers one below them, and the ends of the
// 32-bit range.
inline std::vector<std::int32_t> whole_number_values(Rng& rng, int w) {
  std::vector<std::int32_t> values = {0, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max()};
  std::int64_t power = 1;
  for (int digits = 1; digits <= std::min(w + 1, 10); ++digits, power *= 10) {
    const std::int64_t top = std::min<std::int64_t>(10 * power - 1, INT32_MAX);
    for (const std::int64_t v :
         {std::uniform_int_distribution<std::int64_t>(power, top)(rng), power, power - 1, top}) {
      values.push_back(static_cast<std::int32_t>(v));
      values.push_back(static_cast<std::int32_t>(-v));
    }
  }
  return values;
}

inline std::string random_text(Rng& rng, int max_length) {
  std::string text(static_cast<std::size_t>(uniform(rng, 0, max_length)), ' ');
  for (char& c : text) c = static_cast<char>(chance(rng, 0.2) ? ' ' : uniform(rng, 33, 126));
  return text;
}

}  // namespace quillet::gfortran
