// Input through fixed-column layouts. Accepted forms were checked by hand against gfortran 12;
// the forms refused on purpose (where gfortran is more lenient) are marked as such.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/layout.hpp"

namespace quillet {
namespace {

// Reads one field with `layout` into an integer; nullopt when the field is refused.
std::optional<std::int32_t> read_int(std::string_view layout, std::string_view line) {
  std::int32_t v = -12345;
  const ReadResult r = Layout(layout).read(line, {v});
  if (!r.ok()) {
    EXPECT_EQ(r.status, ReadStatus::BadField);
    EXPECT_EQ(v, -12345) << "a refused field must leave its variable alone";
    return std::nullopt;
  }
  return v;
}

std::optional<float> read_float(std::string_view layout, std::string_view line) {
  float v = -12345.0f;
  if (!Layout(layout).read(line, {v}).ok()) return std::nullopt;
  return v;
}

std::optional<double> read_double(std::string_view layout, std::string_view line) {
  double v = -12345.0;
  if (!Layout(layout).read(line, {v}).ok()) return std::nullopt;
  return v;
}

TEST(LayoutReadInt, BlanksAreIgnoredAndAnAllBlankFieldIsZero) {
  EXPECT_EQ(read_int("(I5)", " 2981"), 2981);
  EXPECT_EQ(read_int("(I5)", "1 2  "), 12);
  EXPECT_EQ(read_int("(I5)", " - 5 "), -5);
  EXPECT_EQ(read_int("(I5)", " +  3"), 3);
  EXPECT_EQ(read_int("(I5)", "-0   "), 0);
  EXPECT_EQ(read_int("(I5)", "     "), 0);
  EXPECT_EQ(read_int("(I5)", ""), 0);
  EXPECT_EQ(read_int("(I14)", "00000000000001"), 1);
  EXPECT_EQ(read_int("(I11)", "-2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(read_int("(I11)", " 2147483647"), std::numeric_limits<std::int32_t>::max());
}

TEST(LayoutReadInt, RefusesWhatGfortranRefuses) {
  EXPECT_EQ(read_int("(I5)", "12.5 "), std::nullopt);
  EXPECT_EQ(read_int("(I5)", "5-   "), std::nullopt);
  EXPECT_EQ(read_int("(I5)", "+-5  "), std::nullopt);
  EXPECT_EQ(read_int("(I5)", "-    "), std::nullopt);
  EXPECT_EQ(read_int("(I5)", "abc  "), std::nullopt);
  EXPECT_EQ(read_int("(I5)", "1e2  "), std::nullopt);
  EXPECT_EQ(read_int("(I11)", " 2147483648"), std::nullopt);
  EXPECT_EQ(read_int("(I11)", "99999999999"), std::nullopt);
  EXPECT_EQ(read_int("(I3)", "\t12"), std::nullopt);
}

// Short I fields are read a machine word at a time from the columns around them; what stands
// before or after a field in the line must never change how it reads. Each field is read at the
// start of a long line (digits after it) and at the end of one (digits and signs before it).
TEST(LayoutReadInt, ShortFieldsReadAloneWhateverSurroundsThem) {
  struct Case {
    std::string_view field;
    std::optional<std::int32_t> expected;
  };
  const Case cases[] = {
      {"   42", 42},
      {"  -42", -42},
      {"   +7", 7},
      {"12345678", 12345678},
      {"-1234567", -1234567},
      {"     ", 0},
      {"-0", 0},
      {"00042", 42},
      {"  - 4", -4},
      {" 4 2", 42},
      {"+  1", 1},
      {"9", 9},
      {" ", 0},
      {"  -  ", std::nullopt},
      {"   4-", std::nullopt},
      {"  x1", std::nullopt},
      {"  -+1", std::nullopt},
      {"-", std::nullopt},
      {"1.", std::nullopt},
      {"  /1", std::nullopt},
      {"  :1", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::string w = std::to_string(c.field.size());
    std::string at_start(c.field);
    at_start.append("98765432-+");
    EXPECT_EQ(read_int("(I" + w + ")", at_start), c.expected) << "[" << at_start << "]";
    std::string at_end("-+98765432");
    at_end.append(c.field);
    EXPECT_EQ(read_int("(10X, I" + w + ")", at_end), c.expected) << "[" << at_end << "]";
    // Right after the first column of a line no longer than the field: for the shorter fields
    // neither word lies inside the line.
    std::string alone("-");
    alone.append(c.field);
    EXPECT_EQ(read_int("(1X, I" + w + ")", alone), c.expected) << "[" << alone << "]";
  }
}

TEST(LayoutReadFixed, ImpliedDecimalsUnlessThePointIsWritten) {
  EXPECT_EQ(read_float("(F5.1)", " 2981"), 298.1f);
  EXPECT_EQ(read_float("(F5.3)", "  298"), 0.298f);
  EXPECT_EQ(read_float("(F5.2)", "12345"), 123.45f);
  EXPECT_EQ(read_float("(F5.2)", "1 2  "), 0.12f);
  EXPECT_EQ(read_float("(F5.2)", " +  3"), 0.03f);
  EXPECT_EQ(read_float("(F5.2)", "5.   "), 5.0f);
  EXPECT_EQ(read_float("(F5.2)", ".5   "), 0.5f);
  EXPECT_EQ(read_float("(F5.2)", "1 . 5"), 1.5f);
  EXPECT_EQ(read_float("(F7.4)", "07.038"), 7.038f);
  EXPECT_EQ(read_float("(F5.1)", "     "), 0.0f);
  EXPECT_EQ(read_double("(F10.0)", "  12345678"), 12345678.0);
}

TEST(LayoutReadFixed, KeepsTheSignOfNegativeZero) {
  const auto v = read_float("(F5.2)", "-0.00");
  ASSERT_TRUE(v);
  EXPECT_EQ(*v, 0.0f);
  EXPECT_TRUE(std::signbit(*v));
  const auto w = read_double("(F5.2)", "  -.0");
  ASSERT_TRUE(w);
  EXPECT_TRUE(std::signbit(*w));
}

TEST(LayoutReadFixed, RoundsCorrectlyToTheTargetType) {
  // 0.1 has no exact binary value: each type gets its own nearest value, not a double rounding.
  EXPECT_EQ(read_float("(F3.1)", "0.1"), 0.1f);
  EXPECT_EQ(read_double("(F3.1)", "0.1"), 0.1);
  // 16777217 lies halfway between two floats; ties go to even.
  EXPECT_EQ(read_float("(F8.0)", "16777217"), 16777216.0f);
  // Just above the halfway point the float rounds up, which a double rounding would miss.
  EXPECT_EQ(read_float("(F26.17)", "1677721700000000100000000"), 16777218.0f);
  EXPECT_EQ(read_double("(F16.6)", "-123.456789"), -123.456789);
}

TEST(LayoutReadFixed, RefusesEverythingButSignsDigitsAndOnePoint) {
  // gfortran refuses these too.
  EXPECT_EQ(read_float("(F5.2)", "1.2.3"), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", "5-   "), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", "abc  "), std::nullopt);
  // gfortran accepts these; they are refused on purpose.
  EXPECT_EQ(read_float("(F5.2)", "1e2  "), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", "1d2  "), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", "+-5  "), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", "--5  "), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", "NaN  "), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", "Inf  "), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", "-    "), std::nullopt);
  EXPECT_EQ(read_float("(F5.2)", ".    "), std::nullopt);
  // Too large for a float, though fine for a double.
  EXPECT_EQ(read_float("(F39.0)", std::string(39, '9')), std::nullopt);
  EXPECT_TRUE(read_double("(F39.0)", std::string(39, '9')));
}

TEST(LayoutReadText, ViewsOfColumnsCutWhereTheLineEnds) {
  std::int32_t hour = -1, minute = -1, second = -1;
  std::string_view id;
  // A alone takes the rest of the line.
  const std::string line = " C$0930151VELTOR-4 SW VERSION 5.1a   ";
  ASSERT_TRUE(Layout("(3X, 3I2, 1X, A)").read(line, {hour, minute, second, id}).ok());
  EXPECT_EQ(hour, 9);
  EXPECT_EQ(minute, 30);
  EXPECT_EQ(second, 15);
  EXPECT_EQ(id, "VELTOR-4 SW VERSION 5.1a   ");
  std::string_view comment;
  ASSERT_TRUE(
      Layout("(3X, 3I2, 1X, A16)").read(" C$101112 short", {hour, minute, second, comment}).ok());
  EXPECT_EQ(comment, "short");
  EXPECT_EQ(pad_to(comment, 8), "short   ");
  EXPECT_EQ(pad_to("longer than eight", 8), "longer t");
  ASSERT_TRUE(Layout("(20X, A4)").read("short", {comment}).ok());
  EXPECT_EQ(comment, "");
}

TEST(LayoutReadText, CharacterVariablesTakeOneColumnOrABlankPastTheEnd) {
  std::int32_t line_no = 0, station = 0;
  char line_suffix = '?', station_suffix = '?', last = '?';
  const Layout layout("(I3, A1, 1X, I3, A1, A3)");
  ASSERT_TRUE(layout.read(" 12N 345E", {line_no, line_suffix, station, station_suffix, last}).ok());
  EXPECT_EQ(line_no, 12);
  EXPECT_EQ(line_suffix, 'N');
  EXPECT_EQ(station, 345);
  EXPECT_EQ(station_suffix, 'E');
  EXPECT_EQ(last, ' ');
  // A wider field gives its last column, as for a Fortran CHARACTER*1 variable.
  ASSERT_TRUE(Layout("(A3)").read("xyz", {last}).ok());
  EXPECT_EQ(last, 'z');
}

TEST(LayoutReadRecords, ShortLinesReadBlanksAndSkipsCountColumns) {
  // A$ layout: three groups of integers at fixed columns.
  std::int32_t v[7] = {9, 9, 9, 9, 9, 9, 9};
  const Layout layout("(3X, 3I6, 1X, 3I6, 1X, I6)");
  ASSERT_TRUE(
      layout.read(" A$     1    22   333 -4444", {v[0], v[1], v[2], v[3], v[4], v[5], v[6]}).ok());
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 22);
  EXPECT_EQ(v[2], 333);
  EXPECT_EQ(v[3], -4444);
  EXPECT_EQ(v[4], 0);
  EXPECT_EQ(v[6], 0);
  // A literal skips its own width on input.
  std::int32_t a = 0, b = 0;
  ASSERT_TRUE(Layout("(I2, 'xx', I2)").read(" 1ab 2", {a, b}).ok());
  EXPECT_EQ(b, 2);
}

TEST(LayoutReadRecords, RunTimeGroupsAndTheD$Layout) {
  std::int32_t h, m, s, r[8];
  const Layout layout("(3X, 3I2, 1X, (N-1)(4I6))");
  const std::string line = " X$101112     1     2     3     4     5     6     7     8";
  ASSERT_TRUE(layout.read(line, {h, m, s, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]}, 3).ok());
  EXPECT_EQ(r[0], 1);
  EXPECT_EQ(r[7], 8);
  // With N = 2 the layout holds only four readings.
  const ReadResult short_read =
      layout.read(line, {h, m, s, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]}, 2);
  EXPECT_EQ(short_read.status, ReadStatus::EndOfRecord);
  EXPECT_EQ(short_read.item, 7);

  std::int32_t lineno, station, digit, q[4];
  char line_suffix, station_suffix;
  const std::string d = " D$093015    123N   4567E3    100  -200   300  -400";
  ASSERT_TRUE(Layout("(1X, 2X, 3I2, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6)")
                  .read(d, {h, m, s, lineno, line_suffix, station, station_suffix, digit, q[0],
                            q[1], q[2], q[3]})
                  .ok());
  EXPECT_EQ(h, 9);
  EXPECT_EQ(s, 15);
  EXPECT_EQ(lineno, 123);
  EXPECT_EQ(line_suffix, 'N');
  EXPECT_EQ(station, 4567);
  EXPECT_EQ(station_suffix, 'E');
  EXPECT_EQ(digit, 3);
  EXPECT_EQ(q[3], -400);
}

TEST(LayoutReadRecords, LargeRunTimeCountsReadLikeSmallOnes) {
  const Layout layout("(2X, (M-1)I4, A2)");
  std::string line = "xx";
  std::vector<std::int32_t> values(30, -1);
  std::vector<In> targets(values.begin(), values.end());
  for (int k = 0; k < 29; ++k) line += std::to_string(1000 + k);
  line += "ok";
  std::string_view tail;
  targets.back() = In(tail);
  ASSERT_TRUE(layout.read(line, targets.data(), targets.size(), 30).ok());
  EXPECT_EQ(values[0], 1000);
  EXPECT_EQ(values[28], 1028);
  EXPECT_EQ(tail, "ok");
  // With M = 3 the same line holds two readings, then the text.
  ASSERT_TRUE(layout.read(line, {values[0], values[1], tail}, 3).ok());
  EXPECT_EQ(tail, "10");
}

TEST(LayoutReadText, BareAOnInputTakesTheRestOfTheLineWhateverFollows) {
  std::string_view rest;
  std::int32_t after = -1;
  char first = '?';
  ASSERT_TRUE(Layout("(2X, A, I3)").read("  abc 12", {rest, after}).ok());
  EXPECT_EQ(rest, "abc 12");
  EXPECT_EQ(after, 0);  // past the end of the line: blank
  ASSERT_TRUE(Layout("(2X, A, I3)").read("  abc 12", {first, after}).ok());
  EXPECT_EQ(first, 'a');
  EXPECT_EQ(after, 0);
}

TEST(LayoutReadRecords, AFailingFieldNamesItsVariableAndKeepsEarlierValues) {
  std::int32_t a = 0, b = 0, c = 7;
  const ReadResult r = Layout("(3I3)").read("  1  x  3", {a, b, c});
  EXPECT_EQ(r.status, ReadStatus::BadField);
  EXPECT_EQ(r.item, 1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(c, 7);
  // A variable of the wrong kind for its descriptor is refused too.
  float f = 0;
  EXPECT_EQ(Layout("(I3)").read("  1", {f}).status, ReadStatus::BadField);
  EXPECT_EQ(Layout("(F3.1)").read("  1", {a}).status, ReadStatus::BadField);
  // Fewer variables than descriptors is fine.
  EXPECT_TRUE(Layout("(3I3)").read("  1  x  3", {a}).ok());
}

}  // namespace
}  // namespace quillet
