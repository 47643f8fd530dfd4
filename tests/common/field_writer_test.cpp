// The fast writers of Fw.d fields held to the general writer, which rounds a double from its exact
// binary value (and is itself held to gfortran by the gfortran_write tests): floats through double
// arithmetic, doubles through a rounded product checked against the nearest half, on values next
// to decimal ties, exact binary ties, any bit pattern and the logger's values. Then records written
// in place against the same records written into a string.
#include "common/field_writer.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/layout.hpp"

namespace quillet::detail {
namespace {

struct Format {
  unsigned w;
  unsigned d;
};

// The formats of the program's records and the edges of the rules (no room for the zero or the
// sign, F.0, d above the fast writers' reach).
constexpr Format kFormats[] = {{9, 2},  {7, 3}, {7, 1},  {8, 2},  {12, 6},  {14, 8}, {9, 5},
                               {12, 1}, {6, 2}, {4, 1},  {3, 2},  {1, 0},   {5, 0},  {10, 3},
                               {8, 0},  {9, 0}, {20, 8}, {25, 9}, {39, 22}, {2, 1}};

template <typename Real>
std::vector<Real> values_for(std::mt19937_64& rng, unsigned d) {
  using Bits = std::conditional_t<sizeof(Real) == 4, std::uint32_t, std::uint64_t>;
  std::vector<Real> values;
  const double scale = std::pow(10.0, d);
  for (int k = 0; k < 4000; ++k) {
    // Next to a decimal tie: the real nearest to (m + 1/2) / 10^d and its neighbours.
    const double m = std::floor(std::ldexp(static_cast<double>(rng() >> 11), -53) *
                                std::pow(10.0, 1 + rng() % 15));
    Real v = static_cast<Real>((m + 0.5) / scale);
    for (int step = 0; step < 3; ++step) v = std::nextafter(v, Real(0));
    for (int step = 0; step < 7; ++step, v = std::nextafter(v, Real(1e30))) {
      values.push_back(v);
      values.push_back(-v);
    }
    // An exact binary tie at the d-th decimal: odd k / 2^(d+1) (exact in decimal, a tie).
    values.push_back(static_cast<Real>(
        std::ldexp(static_cast<double>((rng() % 100000) | 1), -static_cast<int>(d) - 1)));
    values.push_back(std::bit_cast<Real>(static_cast<Bits>(rng())));  // any bit pattern
    // The logger's kind: an integer reading in thousandths or tenths.
    values.push_back(static_cast<Real>(static_cast<std::int32_t>(rng() % 2000001) - 1000000) /
                     static_cast<Real>(k % 2 == 0 ? 1000 : 10));
  }
  return values;
}

// The fast writer of Real against the exact one over the formats and values above.
template <typename Real>
void expect_exact_writes(std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  for (const Format f : kFormats) {
    for (const Real v : values_for<Real>(rng, f.d)) {
      std::string fast(f.w, ' ');
      std::string general(f.w, ' ');
      if constexpr (sizeof(Real) == 4) {
        write_fixed_float(fast.data(), f.w, f.d, v);
      } else {
        write_fixed_double(fast.data(), f.w, f.d, v);
      }
      write_fixed_general(general.data(), f.w, f.d, static_cast<double>(v));
      ASSERT_EQ(fast, general) << "F" << f.w << "." << f.d << " of " << std::hexfloat << v;
    }
  }
}

TEST(FieldWriter, FloatsAndDoublesAsTheExactWriterWritesThem) {
  expect_exact_writes<float>(2701);
  expect_exact_writes<double>(2702);
}

}  // namespace
}  // namespace quillet::detail

namespace quillet {
namespace {

TEST(LayoutInPlace, RecordsWrittenInPlaceMatchTheStringFormAndStayInTheirRoom) {
  const Layout records("('S', A1, '10', I6, '.000', 2X, N(2F10.3), 1X, A3, F12.6, I4, 'end', 3X)");
  const Layout varying("(I3, A)");
  EXPECT_EQ(varying.write_room(0), 0u);  // A alone: no fixed width
  for (int n = 0; n < 12; ++n) {
    std::vector<Out> values{Out("V"), Out(std::int32_t{-12345})};
    for (int k = 0; k < 2 * n; ++k) values.emplace_back(static_cast<float>(k) * -1.2345f);
    values.emplace_back("abcd");
    values.emplace_back(-45.1234565);
    values.emplace_back(std::int32_t{99999});
    const std::size_t room = records.write_room(n);
    if (n >= 9) {
      EXPECT_EQ(room, 0u);  // no plan is kept for so many arrays: the string form takes them
      continue;
    }
    std::string expected;
    records.write(expected, values.data(), values.size(), n);
    ASSERT_GE(room, expected.size()) << n;
    // Every count of values, as the string form takes it: the record stops where they end.
    for (std::size_t count = 0; count <= values.size(); ++count) {
      std::string line;
      records.write(line, values.data(), count, n);
      std::string buffer(room + 8, '#');
      const std::size_t length = records.write(buffer.data(), values.data(), count, n);
      EXPECT_EQ(buffer.substr(0, length), line) << n << " " << count;
      EXPECT_EQ(buffer.substr(room), std::string(8, '#')) << n << " " << count;
    }
  }
}

}  // namespace
}  // namespace quillet
