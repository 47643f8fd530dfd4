// The shortest fixed notation of reals against std::to_chars, whose text it must be: the integer
// path on its own (which may only decline, never differ) and the whole writer.
#include "common/shortest_fixed.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

namespace quillet {
namespace {

template <typename Real>
std::string library_text(Real v) {
  char text[kShortestFixedRoom];
  return {text, std::to_chars(text, text + sizeof text, v, std::chars_format::fixed).ptr};
}

// Compares both paths with std::to_chars; returns whether the integer path took the value.
template <typename Real>
bool same_as_library(Real v) {
  const std::string expected = library_text(v);
  char text[kShortestFixedRoom];
  EXPECT_EQ(std::string(text, write_shortest_fixed(text, v)), expected) << std::hexfloat << v;
  const char* const end = shortest_fixed_detail::fast(text, v);
  if (end == nullptr) return false;
  EXPECT_EQ(std::string(static_cast<const char*>(text), end), expected) << std::hexfloat << v;
  return true;
}

// Values as the logger's conversions make them: a few decimals, parsed or computed in float,
// and their neighbours; the fast path must take nearly all of them.
TEST(ShortestFixed, ReadingsAndTheirNeighbours) {
  std::mt19937_64 rng(27);
  int taken = 0, count = 0;
  for (int k = 0; k < 200000; ++k) {
    const int decimals = static_cast<int>(rng() % 5);
    const auto units = static_cast<std::int64_t>(rng() % 2000000) - 1000000;
    float v = static_cast<float>(static_cast<double>(units) / std::pow(10.0, decimals));
    if (k % 3 == 1) v = static_cast<float>(units) / 1000.0f * 0.0975f;
    if (k % 5 == 2) v = std::nextafter(v, k % 2 ? 1e30f : -1e30f);
    taken += same_as_library(v);
    ++count;
  }
  EXPECT_GT(taken, count * 9 / 10);
}

TEST(ShortestFixed, PositionsAndProjections) {
  std::mt19937_64 rng(28);
  std::uniform_real_distribution<double> lat(-89.9, 89.9), northing(0, 9.9e6), alt(-400, 9000);
  int taken = 0;
  for (int k = 0; k < 100000; ++k) {
    // Degrees from minutes as the GGA reader makes them, metres and projected coordinates.
    const double minutes = std::round(lat(rng) * 6000000.0) / 100000.0;
    taken += same_as_library(std::trunc(minutes / 60.0) + std::fmod(minutes, 60.0) / 60.0);
    taken += same_as_library(northing(rng));
    taken += same_as_library(std::round(alt(rng) * 10.0) / 10.0);
  }
  EXPECT_GT(taken, 250000);
}

// The seconds of fix_age_s (a double rounded to milliseconds, mostly below 1), doubles below 1
// down to where the integer path stops, and zeros of either sign.
TEST(ShortestFixed, FractionsOfASecondAndZeros) {
  std::mt19937_64 rng(30);
  int taken = 0;
  for (int k = 0; k < 100000; ++k) {
    taken += same_as_library(static_cast<double>(rng() % 3000) / 1000.0);
    const double fraction = static_cast<double>(rng() >> 11) / 9007199254740992.0;
    taken += same_as_library(std::ldexp(fraction, -static_cast<int>(rng() % 10)));
    taken += same_as_library(-fraction);
  }
  EXPECT_GT(taken, 250000);
  for (const double zero : {0.0, -0.0}) {
    same_as_library(zero);
    same_as_library(static_cast<float>(zero));
  }
}

// Any bit pattern, powers of two and ten and their neighbours, ties of the decimal rounding.
TEST(ShortestFixed, EdgesAndBitPatterns) {
  std::mt19937_64 rng(29);
  for (int k = 0; k < 200000; ++k) {
    const auto bits = rng();
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
    const double d = std::bit_cast<double>(bits);
    if (std::isfinite(f)) same_as_library(f);
    if (std::isfinite(d)) same_as_library(d);
  }
  for (int e = -40; e <= 60; ++e) {
    for (const double base :
         {std::ldexp(1.0, e), std::pow(10.0, e / 3), 0.5 * std::pow(10.0, e / 3)}) {
      float f = static_cast<float>(base);
      double d = base;
      for (int step = 0; step < 6; ++step) {
        same_as_library(f);
        same_as_library(-f);
        same_as_library(d);
        same_as_library(-d);
        f = std::nextafter(f, step < 3 ? 0.0f : 1e38f);
        d = std::nextafter(d, step < 3 ? 0.0 : 1e300);
      }
    }
  }
  // Fractions whose first significant digit is one of the first few decimals, and their
  // neighbours: the narrow and the wide arithmetic meet there.
  for (int k = 1; k < 100000; ++k) {
    const float f = static_cast<float>(k) * 1e-5f;
    same_as_library(f);
    same_as_library(std::nextafter(f, 0.0f));
    same_as_library(-std::nextafter(f, 1.0f));
  }
  // Odd multiples of 2^-(d+1): exact ties of the rounding to d decimals.
  for (int d = 0; d < 8; ++d) {
    for (std::int64_t k = 1; k < 4000; k += 2) {
      same_as_library(static_cast<float>(std::ldexp(static_cast<double>(k), -(d + 1))));
      same_as_library(std::ldexp(static_cast<double>(k) * 1e6 + 1, -(d + 1)));
    }
  }
}

// The double-arithmetic path of floats, which takes nearly every value the logger makes: all
// floats of a few binades (in [2^-4, 2^-3), [1, 2), [256, 1024) and [2^22, 2^23), negative ones
// in [8, 16)) and a stride through all the rest, against std::to_chars; where it declines, the
// whole writer still gives the library's text.
TEST(ShortestFixed, FloatsByDoubleArithmetic) {
  const auto check = [](std::uint32_t bits) {
    const float v = std::bit_cast<float>(bits);
    if (!std::isfinite(v)) return false;
    char text[kShortestFixedRoom];
    const char* const end = shortest_fixed_detail::by_double(text, v);
    if (end == nullptr) {
      EXPECT_EQ(std::string(text, write_shortest_fixed(text, v)), library_text(v))
          << std::hexfloat << v;
      return false;
    }
    const std::string got(static_cast<const char*>(text), end);
    if (got != library_text(v)) {
      ADD_FAILURE() << std::hexfloat << v << ": " << got << " instead of " << library_text(v);
      return false;
    }
    return true;
  };
  std::uint64_t taken = 0;
  const auto binades = [&](float from, float to) {
    for (auto b = std::bit_cast<std::uint32_t>(from); b < std::bit_cast<std::uint32_t>(to); ++b) {
      taken += check(b);
    }
  };
  binades(0.0625f, 0.125f);
  binades(1.0f, 2.0f);
  binades(256.0f, 1024.0f);
  binades(4194304.0f, 8388608.0f);
  binades(-8.0f, -16.0f);
  EXPECT_GT(taken, 5u * (std::uint64_t{1} << 23));
  for (std::uint64_t b = 0; b < (std::uint64_t{1} << 32); b += 4099) {
    check(static_cast<std::uint32_t>(b));
  }
}

}  // namespace
}  // namespace quillet
