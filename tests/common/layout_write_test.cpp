// Output of fixed-column layouts. Expected texts were checked by hand against gfortran 12.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "common/layout.hpp"

namespace quillet {
namespace {

std::string written(std::string_view layout, std::initializer_list<Out> values, int n = 0) {
  std::string line;
  Layout(layout).write(line, values, n);
  return line;
}

TEST(LayoutWriteInt, RightJustifiesAndFillsTooNarrowFieldsWithAsterisks) {
  EXPECT_EQ(written("(I6)", {42}), "    42");
  EXPECT_EQ(written("(I3)", {-99}), "-99");
  EXPECT_EQ(written("(I3)", {-100}), "***");
  EXPECT_EQ(written("(I3)", {1000}), "***");
  EXPECT_EQ(written("(I1)", {0}), "0");
  EXPECT_EQ(written("(I12)", {std::numeric_limits<std::int32_t>::min()}), " -2147483648");
  EXPECT_EQ(written("(I10)", {std::numeric_limits<std::int32_t>::max()}), "2147483647");
  EXPECT_EQ(written("(3I2)", {1, 22, 333}), " 122**");
}

TEST(LayoutWriteFixed, RoundsTheExactBinaryValueWithTiesToEven) {
  // 0.125, 0.375, 0.25, 0.5, 1.5 and 2.5 are exact binary ties.
  EXPECT_EQ(written("(F5.2)", {0.125f}), " 0.12");
  EXPECT_EQ(written("(F5.2)", {0.375}), " 0.38");
  EXPECT_EQ(written("(F4.1)", {0.25}), " 0.2");
  EXPECT_EQ(written("(F3.0)", {0.5}), " 0.");
  EXPECT_EQ(written("(F3.0)", {1.5}), " 2.");
  EXPECT_EQ(written("(F3.0)", {2.5}), " 2.");
  // Decimal texts that look like ties are not: 2.675 is 2.67499999..., 99.995 is 99.99500000...4
  EXPECT_EQ(written("(F4.2)", {2.675}), "2.67");
  EXPECT_EQ(written("(F6.2)", {99.995}), "100.00");
  EXPECT_EQ(written("(F5.2)", {-9.995}), "-9.99");
  EXPECT_EQ(written("(F4.2)", {1.005}), "1.00");
  EXPECT_EQ(written("(F5.1)", {0.45}), "  0.5");
  // A float is widened exactly: 0.1f is 0.100000001490116...
  EXPECT_EQ(written("(F12.10)", {0.1f}), "0.1000000015");
  EXPECT_EQ(written("(F12.10)", {0.1}), "0.1000000000");
  EXPECT_EQ(written("(F15.8)", {123456.789012345}), "123456.78901235");
  EXPECT_EQ(written("(F14.8)", {123456.789012345}), "**************");
}

TEST(LayoutWriteFixed, NegativeZeroAndValuesRoundingToZeroKeepTheirSign) {
  EXPECT_EQ(written("(F5.2)", {-0.001}), "-0.00");
  EXPECT_EQ(written("(F5.2)", {-0.0}), "-0.00");
  EXPECT_EQ(written("(F8.0)", {-0.4}), "     -0.");
  EXPECT_EQ(written("(F5.2)", {0.0f}), " 0.00");
}

TEST(LayoutWriteFixed, DropsTheLeadingZeroOnlyWhenTheFieldHasNoRoomForIt) {
  EXPECT_EQ(written("(F4.2)", {0.5}), "0.50");
  EXPECT_EQ(written("(F3.2)", {0.5}), ".50");
  EXPECT_EQ(written("(F3.1)", {-0.04}), "-.0");
  EXPECT_EQ(written("(F2.1)", {0.04}), ".0");
  EXPECT_EQ(written("(F2.1)", {-0.04}), "**");
  // Without decimals the zero is the only digit and cannot go.
  EXPECT_EQ(written("(F2.0)", {0.0}), "0.");
  EXPECT_EQ(written("(F1.0)", {0.0}), "*");
  EXPECT_EQ(written("(F3.0)", {-0.4}), "-0.");
  EXPECT_EQ(written("(F2.0)", {-0.4}), "**");
  EXPECT_EQ(written("(F8.0)", {0.0}), "      0.");
  EXPECT_EQ(written("(F8.0)", {1230.4}), "   1230.");
}

TEST(LayoutWriteFixed, OverflowAndSpecialValues) {
  EXPECT_EQ(written("(F5.2)", {99.995}), "*****");
  EXPECT_EQ(written("(F9.2)", {1.0e6f}), "*********");
  EXPECT_EQ(written("(F9.2)", {-999999.99}), "*********");
  EXPECT_EQ(written("(F10.2)", {-999999.99}), "-999999.99");
  EXPECT_EQ(written("(F14.6)", {1e300}), "**************");
  EXPECT_EQ(written("(F12.6)", {4.9e-324}), "    0.000000");
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(written("(F5.2)", {nan}), "  NaN");
  EXPECT_EQ(written("(F2.2)", {nan}), "**");
  EXPECT_EQ(written("(F5.2)", {inf}), "  Inf");
  EXPECT_EQ(written("(F8.2)", {inf}), "Infinity");
  EXPECT_EQ(written("(F2.2)", {inf}), "**");
  EXPECT_EQ(written("(F4.2)", {-inf}), "-Inf");
  EXPECT_EQ(written("(F3.2)", {-inf}), "***");
  EXPECT_EQ(written("(F10.2)", {-inf}), " -Infinity");
}

TEST(LayoutWriteText, PadsOnTheLeftCutsOnTheRightOrWritesAllForBareA) {
  EXPECT_EQ(written("(A4,'|')", {"abcdefg"}), "abcd|");
  EXPECT_EQ(written("(A4,'|')", {"ab"}), "  ab|");
  EXPECT_EQ(written("(A,'|')", {"ab  "}), "ab  |");
  EXPECT_EQ(written("(A1,A3)", {'V', 'x'}), "V  x");
  EXPECT_EQ(written("(A8, A16, ' at: ', 3I3)", {"Comment>", "LINE 4 START", 9, 5, 30}),
            "Comment>    LINE 4 START at:   9  5 30");
}

TEST(LayoutWriteLiterals, QuotesBackslashesAndDoubledQuotes) {
  EXPECT_EQ(written("('\\Veltor Filename is ', A19)", {"survey.raw"}),
            "\\Veltor Filename is          survey.raw");
  EXPECT_EQ(written("('it''s',A)", {"x"}), "it'sx");
  EXPECT_EQ(written("(\"say \"\"hi\"\"\", I2)", {5}), "say \"hi\" 5");
  EXPECT_EQ(written("('L', I5, 7X, 'BB', I1, A3, A2, F4.1)", {12, 3, "a", 'b', 1.0f}),
            "L   12       BB3  a b 1.0");
}

TEST(LayoutWriteStop, StopsAtTheFirstDataDescriptorWithoutAValue) {
  EXPECT_EQ(written("(I3,\"ab\",I3,\"cd\")", {1}), "  1ab");
  EXPECT_EQ(written("(I3,5X,\"x\",2X,I3)", {1}), "  1     x");
  EXPECT_EQ(written("(I3,2(2X,\"y\",I2))", {1, 2}), "  1  y 2  y");
  EXPECT_EQ(written("(I6, F12.2, I6)", {-9, 0.2f}), "    -9        0.20");
  EXPECT_EQ(written("('a',I2)", {}), "a");
}

TEST(LayoutWriteStop, BlanksAtTheEndOfTheRecordAreNotWritten) {
  EXPECT_EQ(written("(I3,5X)", {1}), "  1");
  EXPECT_EQ(written("(I3,5X,I3)", {1}), "  1");
  EXPECT_EQ(written("(5X)", {}), "");
  EXPECT_EQ(written("('a',5X)", {}), "a");
  EXPECT_EQ(written("(1X,I2)", {7}), "  7");
}

TEST(LayoutWriteGroups, ConstantAndRunTimeRepeatCounts) {
  EXPECT_EQ(written("(2(I2,'/'),I2)", {1, 2, 3}), " 1/ 2/ 3");
  EXPECT_EQ(written("(2(I1,2(A1)))", {1, "a", "b", 2, "c", "d"}), "1ab2cd");
  EXPECT_EQ(written("(3X, 3I2, 1X, (N-1)(4I6))", {10, 20, 30, 1, 2, 3, 4, 5, 6, 7, 8}, 3),
            "   102030      1     2     3     4     5     6     7     8");
  EXPECT_EQ(written("(3X, 3I2, 1X, (N-1)(4I6), 'e')", {10, 20, 30}, 1), "   102030 e");
  EXPECT_EQ(written("(I6, (4N)F9.2, I2)", {1, 1.5, 2.5, 3.5, 4.5, 7}, 1),
            "     1     1.50     2.50     3.50     4.50 7");
  EXPECT_EQ(written("(I2, N(F4.1, F4.1), I2)", {1, 1.0, 2.0, 3.0, 4.0, 9}, 2),
            " 1 1.0 2.0 3.0 4.0 9");
  EXPECT_EQ(written("(I3, M(F5.1), I2)", {3, 1.0f, 2.0f, 3.0f, 8}, 3), "  3  1.0  2.0  3.0 8");
  EXPECT_EQ(written("(1X, 2X, 3I2, 1X, I4, I4, I4, 1X, I5, 1X, I2, 1X, I5, (M-1)I6)",
                    {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, 3),
            "    1 2 3    4   5   6     7  8     9    10    11");
  // A count below zero counts as zero.
  EXPECT_EQ(written("(I2, (N-1)(I3), I2)", {1, 2}, 0), " 1 2");
}

TEST(LayoutWriteGroups, AnyRunTimeCountActsAsTheSameCountWrittenOut) {
  // Small counts run from plans made in advance, large ones are walked: both must agree with the
  // layout that has the count written in.
  const Layout runtime("(I2, N(I3, 'x'), (N-1)(1X, F4.1), (4N)A1, 'e')");
  for (const int n : {0, 1, 2, 3, 8, 9, 12, 40}) {
    std::vector<Out> values = {n};
    for (int k = 0; k < n; ++k) values.emplace_back(k);
    for (int k = 1; k < n; ++k) values.emplace_back(k + 0.25);
    for (int k = 0; k < 4 * n; ++k) values.emplace_back(static_cast<char>('a' + k % 26));
    std::string fixed = "(I2";
    if (n > 0) fixed += ", " + std::to_string(n) + "(I3, 'x'), " + std::to_string(4 * n) + "A1";
    if (n > 1) fixed.insert(fixed.rfind(", "), ", " + std::to_string(n - 1) + "(1X, F4.1)");
    fixed += ", 'e')";
    std::string expected, line;
    Layout(fixed).write(expected, values.data(), values.size());
    runtime.write(line, values.data(), values.size(), n);
    EXPECT_EQ(line, expected) << "n=" << n;
    // Fewer values stop the record at the same place.
    runtime.write(line, values.data(), values.size() / 2, n);
    Layout(fixed).write(expected, values.data(), values.size() / 2);
    EXPECT_EQ(line, expected) << "n=" << n;
  }
  std::string line;
  runtime.write(line, {7}, -3);
  EXPECT_EQ(line, " 7e");
}

TEST(LayoutWriteGroups, GeosoftRecordWithOneCoilArray) {
  const Layout layout(
      "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, "
      "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)");
  std::string line;
  layout.write(
      line, {120,    'N',   7,      'E', 12.345f, -0.5f,  31.25f,   1000000.0f, 0,      14,     5,
             12.25f, 12.5f, 298.1f, 3,   1.5f,    -2.25f, 50400000, 48.1173,    -123.5, 102.3f, 2},
      1);
  EXPECT_EQ(line,
            "   120 N     7 E    12.35    -0.50    31.25********* 0 14  5 12.250 12.500  298.1    "
            "3    1.50   -2.25     50400000   48.117300  -123.500000   102.3  2");
}

TEST(LayoutWriteDeathTest, AbortsOnValuesOfTheWrongKindOrLeftOver) {
  std::string line;
  EXPECT_DEATH(Layout("(I3)").write(line, {1.5}), "1 values do not suit layout \"\\(I3\\)\"");
  EXPECT_DEATH(Layout("(F5.1)").write(line, {1}), "do not suit");
  EXPECT_DEATH(Layout("(A3)").write(line, {1}), "do not suit");
  EXPECT_DEATH(Layout("(I3)").write(line, {1, 2}), "2 values do not suit");
}

TEST(LayoutWrite, ReusesTheCallersStringAndClearsIt) {
  const Layout layout("(I3)");
  std::string line = "old contents";
  layout.write(line, {5});
  EXPECT_EQ(line, "  5");
  const Layout copy = layout;
  copy.write(line, {6});
  EXPECT_EQ(line, "  6");
  EXPECT_EQ(copy.text(), "(I3)");
}

TEST(LayoutParse, AcceptsBlanksLowerCaseAndMissingCommasBeforeLiterals) {
  EXPECT_EQ(written(" ( i 3 , f 5 . 1 'x' 2x a2 ) ", {1, 2.0, "ab"}), "  1  2.0x  ab");
  EXPECT_EQ(written("(X,I1)", {4}), " 4");
}

TEST(LayoutParseDeathTest, MalformedTextsAbort) {
  EXPECT_DEATH(Layout("I3"), "bad layout");
  EXPECT_DEATH(Layout("(I3"), "bad layout");
  EXPECT_DEATH(Layout("(Q3)"), "bad layout");
  EXPECT_DEATH(Layout("(F5)"), "bad layout");
  EXPECT_DEATH(Layout("('abc)"), "bad layout");
  EXPECT_DEATH(Layout("(I0)"), "bad layout");
  EXPECT_DEATH(Layout("(NX)"), "bad layout");
  EXPECT_DEATH(Layout("(I3))"), "bad layout");
}

}  // namespace
}  // namespace quillet
