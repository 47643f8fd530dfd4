// The fast writers of Fw.d fields held to the general writer, which rounds a double from its exact
// binary value (and is itself held to gfortran by the gfortran_write tests): floats through double
// arithmetic, doubles through a rounded product checked against the nearest half, on values next
// to decimal ties, exact binary ties, any bit pattern and the logger's values. Then records written
// in place against the same records written into a string.
#include "common/field_writer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "common/layout.hpp"
#include "gfortran_values.hpp"

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

// A value of the kind a field takes: mostly the logger's magnitudes, and the edges of each rule
// (decimal ties, the sign and zero columns, asterisks, NaN and infinities, the 32-bit bounds).
Out field_value(std::mt19937_64& rng, const Layout::Field& field) {
  const auto pick = rng() % 16;
  if (field.kind == Layout::Field::Kind::Int) {
    constexpr std::int32_t kEdges[] = {0,   -1,  9,      -9,     10,        99,
                                       -99, 100, 999999, -99999, INT32_MAX, INT32_MIN};
    if (pick < 4) return kEdges[rng() % std::size(kEdges)];
    const auto magnitude = static_cast<std::int32_t>(rng() % 1000000000 >> (rng() % 30));
    return rng() % 2 == 0 ? magnitude : -magnitude;
  }
  if (field.kind == Layout::Field::Kind::Text) return 'x';
  const double scale = std::pow(10.0, field.decimals);
  double v;
  if (pick < 5) {
    // Next to the decimal tie (m + 1/2) / 10^d, of the field's width at most.
    const double m = std::floor(std::ldexp(static_cast<double>(rng() >> 11), -53) *
                                std::pow(10.0, rng() % (field.width + 1)));
    v = (m + 0.5) / scale;
  } else if (pick < 7) {
    constexpr double kEdges[] = {0.0, -0.0,         0.004, -0.004,   0.005,     -0.005,
                                 1e9, 4294967295.5, NAN,   INFINITY, -INFINITY, 1e300};
    v = kEdges[rng() % std::size(kEdges)];
  } else {
    v = static_cast<double>(static_cast<std::int64_t>(rng() % 20000001) - 10000000) /
        std::pow(10.0, rng() % 9);
  }
  if (rng() % 2 == 0) return static_cast<float>(v);
  // Doubles a few units in the last place away from v.
  for (int k = static_cast<int>(rng() % 7) - 3; k != 0; k += k > 0 ? -1 : 1) {
    v = std::nextafter(v, k > 0 ? INFINITY : -INFINITY);
  }
  return v;
}

// The compiled plan, by which every record of fixed width is written, against the general writer
// that walks the layout item by item, on the program's field shapes and the edges of the rules.
TEST(LayoutInPlace, RecordsOfTheCompiledPlanMatchTheGeneralWriter) {
  const Layout layouts[] = {
      Layout("(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, "
             "I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)"),
      Layout("(F12.1, 1X, F12.1, 1X, F8.2, N(2F9.2), 2F14.8, I12)"),
      Layout("(I1, I2, F1.0, F2.0, F3.1, F4.2, F5.3, F4.0, F8.6, F9.6, F3.2, F2.1, F10.0)"),
      Layout("(F9.5, F9.0, F7.2, F6.2, F10.3, F12.6, F14.8, F20.8, F25.9, I10, I11, F13.8)"),
      Layout("('S', A1, '10', I6, '.000', 2F10.3, F8.4, F9.7, F10.5)"),
  };
  std::mt19937_64 rng(2703);
  for (const Layout& layout : layouts) {
    for (int n = 0; n < 4; ++n) {
      std::size_t columns = 0;
      const std::vector<Layout::Field> fields = layout.fields(n, columns);
      for (int k = 0; k < 3000; ++k) {
        std::vector<Out> values;
        for (const Layout::Field& field : fields) values.push_back(field_value(rng, field));
        std::string compiled;
        std::string general;
        layout.write(compiled, values.data(), values.size(), n);
        layout.write_general(general, values.data(), values.size(), n);
        ASSERT_EQ(compiled, general) << layout.text() << " n = " << n;
      }
    }
  }
}

}  // namespace
}  // namespace quillet

namespace quillet {
namespace {

// The members a bound writer takes, in two objects so that the object of each value counts too.
struct Members {
  std::int32_t ints[64];
  float floats[64];
  double doubles[64];
  char chars[64];
};
struct Others {
  float floats[64];
};

// Layouts bound to members, written from them, against the general writer given the same values:
// the program's shapes, literals after fields (F.1 and F.2 write blanks past their last column,
// which a literal there must not keep), constant and run-time counts, and runs of fields of one
// kind (written in groups) by reals alternately of either type, mostly floats, or all doubles.
TEST(LayoutWriter, RecordsFromBoundMembersMatchTheGeneralWriter) {
  const std::string_view texts[] = {
      "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, "
      "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
      "(F12.1, 1X, F12.1, 1X, F8.2, N(2F9.2), 2F14.8, I12)",
      "(I1, I2, F1.0, F2.0, F3.1, F4.2, F5.3, F4.0, F8.6, F9.6, F3.2, F2.1, F10.0)",
      "(F9.5, F9.0, F7.2, F6.2, F10.3, F12.6, F14.8, F20.8, F25.9, I10, I11, F13.8)",
      "('S', A1, '10', I6, '.000', 2F10.3, F8.4, F9.7, F10.5)",
      "('L', I5, 7X, 'BB', I1, A3, A2, F4.1)",
      "('T', I5, ':', I2, I3, '-', I2, '-', I2, 2X)",
      "(F5.2, 'AB', F6.1, ':', F4.1, 'a literal longer than sixteen', F3.2, '-', F6.1, 1X, 'q', "
      "N(F5.2, '|'), A4, 'z')",
      "(I6, N(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 2F8.0, 1X, I4, 2F8.2, 1X, I12)",
      "(I6, F6.2, 2F7.2, N(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, I3, F9.3)",
      "(N(F4.2, ':'), 2(F12.1, F12.6), I3, I12, 3(F4.3, F5.2))",
  };
  std::mt19937_64 rng(2704);
  for (int pattern = 0; pattern < 3; ++pattern) {
    // Whether the k-th field, if a real, is a double.
    const auto is_double = [pattern](std::size_t k) {
      return pattern == 0 ? k % 2 == 1 : pattern == 1 ? k % 5 == 4 : true;
    };
    for (const std::string_view text : texts) {
      const Layout layout(text);
      // Every field's member, by its kind, every third float in the second object.
      const auto bind = [&layout, &is_double](OutMembers& v, int n, const Members& m,
                                              const Others& o) {
        std::size_t columns = 0;
        const std::vector<Layout::Field> fields = layout.fields(n, columns);
        for (std::size_t k = 0; k < fields.size(); ++k) {
          if (fields[k].kind == Layout::Field::Kind::Int) {
            v << m.ints[k];
          } else if (fields[k].kind == Layout::Field::Kind::Text) {
            v << m.chars[k];
          } else if (is_double(k)) {
            v << m.doubles[k];
          } else {
            v << (k % 3 == 0 ? o.floats[k] : m.floats[k]);
          }
        }
      };
      Members m{};
      Others o{};
      const RecordWriter<Members, Others> writer(text, 0, 3, bind, m, o);
      for (int n = 0; n < 4; ++n) {
        std::size_t columns = 0;
        const std::vector<Layout::Field> fields = layout.fields(n, columns);
        const std::size_t room = writer.write_room(n);
        ASSERT_EQ(room, layout.write_room(n)) << text;
        for (int pass = 0; pass < 700; ++pass) {
          std::vector<Out> values;
          for (std::size_t k = 0; k < fields.size(); ++k) {
            const Out v = field_value(rng, fields[k]);
            const double real = v.kind == Out::Kind::Real32 ? v.f : v.d;
            if (fields[k].kind == Layout::Field::Kind::Int) {
              values.emplace_back(m.ints[k] = v.i);
            } else if (fields[k].kind == Layout::Field::Kind::Text) {
              m.chars[k] = static_cast<char>('A' + rng() % 26);
              values.emplace_back(m.chars[k]);
            } else if (is_double(k)) {
              values.emplace_back(m.doubles[k] = real);
            } else {
              values.emplace_back((k % 3 == 0 ? o.floats[k] : m.floats[k]) =
                                      static_cast<float>(real));
            }
          }
          std::string general;
          layout.write_general(general, values.data(), values.size(), n);
          std::string buffer(room + 8, '#');
          const std::size_t length = writer.write(buffer.data(), n, m, o);
          ASSERT_EQ(buffer.substr(0, length), general) << text << " n = " << n;
          ASSERT_EQ(buffer.substr(room), std::string(8, '#')) << text;
          std::string line;
          writer.write(line, n, m, o);
          ASSERT_EQ(line, general);
        }
      }
    }
  }
}

// Records of fields whose whole parts pass three digits, bound to members, against the general
// writer: every field takes a value aimed at its whole part's lengths and edges
// (whole_part_values, whole_number_values), the reals of runs of one kind all floats or all
// doubles in turn, so that the runs are written in groups too.
TEST(LayoutWriter, WideWholePartsFromBoundMembersMatchTheGeneralWriter) {
  constexpr std::string_view kText =
      "('<', F9.0, 4F9.0, F12.1, 1X, F12.1, 2F14.8, F7.1, 2F8.0, F10.0, F12.6, F9.3, F8.3, F13.2, "
      "F11.2, F16.6, F17.8, F13.8, F15.3, F6.2, F5.0, 2F12.6, I4, I5, I6, 2I7, I8, I9, I10, "
      "4I12, I3, '>')";
  const Layout layout(kText);
  std::size_t columns = 0;
  const std::vector<Layout::Field> fields = layout.fields(0, columns);
  gfortran::Rng rng(2705);
  for (int pattern = 0; pattern < 3; ++pattern) {
    // Whether the k-th field is a double.
    const auto is_double = [pattern](std::size_t k) {
      return pattern == 2 ? k % 3 == 1 : (pattern == 1) == (k < 5 || k > 19);
    };
    Members m{};
    const RecordWriter<Members> writer(
        kText, 0, 0,
        [&](OutMembers& v, int, const Members& x) {
          for (std::size_t k = 0; k < fields.size(); ++k) {
            if (fields[k].kind == Layout::Field::Kind::Int) {
              v << x.ints[k];
            } else if (is_double(k)) {
              v << x.doubles[k];
            } else {
              v << x.floats[k];
            }
          }
        },
        m);
    std::vector<std::vector<float>> floats;
    std::vector<std::vector<double>> doubles;
    std::vector<std::vector<std::int32_t>> ints;
    for (const Layout::Field& field : fields) {
      floats.push_back(gfortran::whole_part_values<float>(rng, field.width, field.decimals));
      doubles.push_back(gfortran::whole_part_values<double>(rng, field.width, field.decimals));
      ints.push_back(gfortran::whole_number_values(rng, static_cast<int>(field.width)));
    }
    for (int pass = 0; pass < 3000; ++pass) {
      std::vector<Out> values;
      for (std::size_t k = 0; k < fields.size(); ++k) {
        if (fields[k].kind == Layout::Field::Kind::Int) {
          values.emplace_back(m.ints[k] = ints[k][rng() % ints[k].size()]);
        } else if (is_double(k)) {
          values.emplace_back(m.doubles[k] = doubles[k][rng() % doubles[k].size()]);
        } else {
          values.emplace_back(m.floats[k] = floats[k][rng() % floats[k].size()]);
        }
      }
      std::string general;
      layout.write_general(general, values.data(), values.size(), 0);
      std::string line;
      writer.write(line, 0, m);
      ASSERT_EQ(line, general) << pattern;
    }
  }
}

TEST(LayoutWriterDeathTest, AbortsOnMembersThatDoNotSuitTheLayout) {
  Members m{};
  const auto ints = [](OutMembers& v, int, const Members& x) { v << x.ints[0] << x.ints[1]; };
  // A real for an I field, a value too few, a value outside the object, an unbound count.
  EXPECT_DEATH(RecordWriter<Members>("(I3, F5.1)", 0, 0, ints, m), "do not suit");
  EXPECT_DEATH(RecordWriter<Members>("(2I3, I2)", 0, 0, ints, m), "do not suit");
  const auto outside = [](OutMembers& v, int, const Members&) {
    static const std::int32_t elsewhere = 0;
    v << elsewhere;
  };
  EXPECT_DEATH(RecordWriter<Members>("(I3)", 0, 0, outside, m), "outside");
  const RecordWriter<Members> writer("(N(I3))", 2, 2, ints, m);
  EXPECT_EQ(writer.write_room(1), 0u);
  std::string line;
  EXPECT_DEATH(writer.write(line, 1, m), "do not suit");
  m.ints[0] = 7;
  m.ints[1] = -1234;
  writer.write(line, 2, m);
  EXPECT_EQ(line, "  7***");
}

// The members of kept runs (within 64 bytes of their object but the characters) or of fields
// that change from record to record.
struct Values {
  std::int32_t ints[4];
  float floats[4];
  double doubles[4];
  char chars[2];
};

// Calls `f` with the member of `o` of the kind that field k takes (a real's type from k + p).
template <typename Object, typename F>
void with_member(Object& o, const Layout::Field& field, std::size_t k, std::size_t p, F f) {
  if (field.kind == Layout::Field::Kind::Int) return f(o.ints[k % 4]);
  if (field.kind == Layout::Field::Kind::Text) return f(o.chars[k % 2]);
  if ((k + p) % 3 == 0) return f(o.floats[k % 4]);
  f(o.doubles[k % 4]);
}

// Records of steady members (every field's, or three in four) that mostly repeat, a changed
// value one unit in the last place away, the other zero, another NaN or any, written with one
// KeptFields that the writers of several layouts share while the count changes, against the
// general writer and the writer with nothing kept. In one pass a steady field in four takes its
// member from the object of the changing ones, whose other members change every record.
TEST(LayoutWriter, RecordsWithKeptRunsMatchTheGeneralWriter) {
  const std::string_view texts[] = {
      "(I6, I6, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, "
      "1X, F7.1, 1X, I2)",
      "(F12.1, 1X, F12.1, 1X, F8.2, N(2F9.2), 2F14.8, I12)",
      "(I6, F6.2, 2F7.2, N(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, I3, F9.3)",
      "('<', F12.6, 'x', F12.6, 2X, I12, A1, F3.1, F2.0, F20.8, ':', N(F12.1, 1X), I12, A1)",
      "(N(F12.6, I12), F14.8, A1, F5.2, 3X, F4.1, 1X, F4.1, I9, F1.0)",
      "(F12.6, 1X, F12.6, I12, N(I2))",
      "(F12.6, 'x', F12.6, I12, N(I2))",
  };
  std::mt19937_64 rng(2706);
  for (std::size_t p = 0; p < 3; ++p) {
    const auto steady = [p](std::size_t k) { return p == 0 || (k + p) % 4 != 0; };
    // Whether field k takes its member from the first object (the changing fields: k % 4 == 3).
    const auto first = [&steady, p](std::size_t k) { return steady(k) && (p != 1 || k % 4 != 1); };
    std::vector<std::unique_ptr<RecordWriter<Values, Values>>> writers;
    for (const std::string_view text : texts) {
      const Layout layout(text);
      const auto bind = [&](OutMembers& v, int n, const Values& kept, const Values& changing) {
        std::size_t columns = 0;
        const std::vector<Layout::Field> fields = layout.fields(n, columns);
        for (std::size_t k = 0; k < fields.size(); ++k) {
          v.steady(steady(k));
          with_member(first(k) ? kept : changing, fields[k], k, p, [&v](auto& m) { v << m; });
        }
      };
      writers.push_back(
          std::make_unique<RecordWriter<Values, Values>>(text, 1, 3, bind, Values{}, Values{}));
    }
    KeptFields kept;
    Values repeated{};
    Values changing{};
    for (int record = 0; record < 20000; ++record) {
      const auto& writer = *writers[rng() % 4 != 0 ? 0 : rng() % std::size(texts)];
      const int n = rng() % 8 == 0 ? static_cast<int>(1 + rng() % 3) : 3;
      std::size_t columns = 0;
      const std::vector<Layout::Field> fields = writer.layout().fields(n, columns);
      std::vector<Out> values;
      for (std::size_t k = 0; k < fields.size(); ++k) {
        const Out any = field_value(rng, fields[k]);
        const bool change = !steady(k) || rng() % 10 == 0;
        with_member(first(k) ? repeated : changing, fields[k], k, p, [&](auto& m) {
          using T = std::remove_reference_t<decltype(m)>;
          if constexpr (std::is_floating_point_v<T>) {
            using Bits = std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>;
            const T next[] = {std::nextafter(m, T(INFINITY)), std::signbit(m) ? T(0) : -T(0),
                              std::bit_cast<T>(static_cast<Bits>(std::bit_cast<Bits>(T(NAN)) |
                                                                 (1 + rng() % 255))),
                              static_cast<T>(any.kind == Out::Kind::Real32 ? any.f : any.d)};
            if (change) m = next[rng() % 4];
          } else if (change) {
            m = std::is_same_v<T, char> ? static_cast<T>('A' + rng() % 26) : any.i;
          }
        });
      }
      // After every change: fields may share a member.
      for (std::size_t k = 0; k < fields.size(); ++k) {
        with_member(first(k) ? repeated : changing, fields[k], k, p,
                    [&values](auto& m) { values.emplace_back(m); });
      }
      std::string general;
      writer.layout().write_general(general, values.data(), values.size(), n);
      std::string line(writer.write_room(n), '#');
      line.resize(writer.write(line.data(), kept, n, repeated, changing));
      ASSERT_EQ(line, general) << writer.layout().text() << " n = " << n;
      writer.write(line, n, repeated, changing);
      ASSERT_EQ(line, general) << writer.layout().text() << " n = " << n;
    }
  }
}

// A run is copied from its slot while its values stay, by the records of every count that hold
// it, and written again once one of them changes (the sign of a zero included).
TEST(LayoutWriter, KeptRunsAreCopiedWhileTheirValuesStay) {
  Values fix{{123456, 1}, {545.4f}, {48.1172, 11.52}, {}};
  Values reading{};
  const RecordWriter<Values, Values> writer(
      "(N(F9.2), 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)", 1, 2,
      [](OutMembers& v, int n, const Values& x, const Values& y) {
        for (int k = 0; k < n; ++k) v << y.floats[k];
        v.steady(true) << x.ints[0] << x.doubles[0] << x.doubles[1] << x.floats[0] << x.ints[1];
      },
      fix, reading);
  KeptFields kept;
  const auto write = [&](int n) {
    std::string line(writer.write_room(n), ' ');
    line.resize(writer.write(line.data(), kept, n, fix, reading));
    return line.substr(n == 1 ? 10 : 19);
  };
  const auto mark = [&] {  // a copy shows the marks
    for (KeptFields::Slot& slot : kept.slots) std::replace(slot.text, slot.text + 64, '5', '#');
  };
  const std::string text = "      123456   48.117200    11.520000   545.4  1";
  const std::string marked = "      1234#6   48.117200    11.#20000   #4#.4  1";
  EXPECT_EQ(write(2), text);
  mark();
  reading.floats[0] = 7.0f;
  EXPECT_EQ(write(2), marked);
  EXPECT_EQ(write(1), marked);
  fix.doubles[1] = std::nextafter(fix.doubles[1], 12.0);
  EXPECT_EQ(write(1), text);
  mark();
  fix.floats[0] = -0.0f;
  EXPECT_EQ(write(2), "      123456   48.117200    11.520000    -0.0  1");
}

// A long run of nine fields, two of them from the object of the changing ones (as the zeros
// among the columns of a fix): copied while the run's values stay, whatever the other bytes of
// that object do, and written again once one of its values there changes.
TEST(LayoutWriter, LongRunsWithAnotherObjectAreCopiedWhileTheirValuesStay) {
  Values fix{{4, 32400000, 8, 0}, {545.5f, 0.75f}, {48.1175, 11.52}, {}};
  Values reading{};
  const auto bind = [](OutMembers& v, int n, const Values& x, const Values& y) {
    for (int k = 0; k < n; ++k) v << y.floats[k];
    v.steady(true) << x.doubles[0] << x.doubles[1] << x.floats[0] << x.ints[0] << x.ints[1]
                   << y.ints[2] << y.ints[2] << x.ints[2] << x.floats[1];
  };
  constexpr std::string_view kText =
      "(N(F9.2), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, I3, F9.3)";
  const RecordWriter<Values, Values> writer(kText, 1, 2, bind, fix, reading);
  KeptFields kept;
  const auto write = [&](int n) {
    std::string line(writer.write_room(n), ' ');
    line.resize(writer.write(line.data(), kept, n, fix, reading));
    return line.substr(9 * static_cast<std::size_t>(n));
  };
  const auto mark = [&] {  // a copy shows the marks
    for (KeptFields::Slot& slot : kept.slots) std::replace(slot.text, slot.text + 64, '5', '#');
  };
  const std::string text = "   48.117500    11.520000   545.5  4  32400000 0 0  8    0.750";
  const std::string marked = "   48.117#00    11.#20000   #4#.#  4  32400000 0 0  8    0.7#0";
  EXPECT_EQ(write(2), text);
  mark();
  reading.floats[0] = 7.0f;  // among the 16 bytes of the other object, not the run's
  reading.floats[1] = -3.0f;
  EXPECT_EQ(write(2), marked);
  EXPECT_EQ(write(1), marked);
  reading.ints[2] = 7;
  EXPECT_EQ(write(1), "   48.117500    11.520000   545.5  4  32400000 7 7  8    0.750");
  mark();
  EXPECT_EQ(write(2), "   48.117#00    11.#20000   #4#.#  4  32400000 7 7  8    0.7#0");
  reading.ints[2] = 0;
  EXPECT_EQ(write(2), text);
}

}  // namespace
}  // namespace quillet
