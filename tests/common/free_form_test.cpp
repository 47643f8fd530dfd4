// Free-form console lines and list-directed reads. Expected texts and results were checked by
// hand against gfortran 12 (print * and read(*,*)).
#include "common/free_form.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <limits>
#include <string>
#include <vector>

namespace quillet {
namespace {

TEST(FreeLineOutput, TextsAndIntegersAndTheirSeparators) {
  EXPECT_EQ(FreeLine().str(), "");  // print * alone writes an empty line
  EXPECT_EQ((FreeLine() << "").str(), " ");
  EXPECT_EQ((FreeLine() << "abc" << 5).str(), " abc           5");
  EXPECT_EQ((FreeLine() << 5 << "abc").str(), "           5 abc");
  EXPECT_EQ((FreeLine() << "a"
                        << "b")
                .str(),
            " ab");
  EXPECT_EQ((FreeLine() << 5 << 6).str(), "           5           6");
  EXPECT_EQ((FreeLine() << std::numeric_limits<std::int32_t>::min()).str(), " -2147483648");
  EXPECT_EQ((FreeLine() << "   Error code was " << 3).str(), "    Error code was            3");
  const std::string name = "line1.raw";
  EXPECT_EQ((FreeLine() << std::string("Error opening file ") << name).str(),
            " Error opening file line1.raw");
  const char code = 'x';
  EXPECT_EQ((FreeLine() << ", which is " << code).str(), " , which is x");
  EXPECT_EQ((FreeLine() << 2 << code).str(), "           2 x");
}

TEST(FreeLineOutput, SinglePrecisionRealsInFixedOrExponentForm) {
  EXPECT_EQ((FreeLine() << 0.2f).str(), "  0.200000003    ");
  EXPECT_EQ((FreeLine() << -0.2f).str(), " -0.200000003    ");
  EXPECT_EQ((FreeLine() << 1.0f).str(), "   1.00000000    ");
  EXPECT_EQ((FreeLine() << 1.0e10f).str(), "   1.00000000E+10");
  EXPECT_EQ((FreeLine() << -1.0e10f).str(), "  -1.00000000E+10");
  EXPECT_EQ((FreeLine() << 123456789.0f).str(), "   123456792.    ");
  EXPECT_EQ((FreeLine() << 99999999.0f).str(), "   100000000.    ");
  EXPECT_EQ((FreeLine() << 999999999.0f).str(), "   1.00000000E+09");
  EXPECT_EQ((FreeLine() << 0.1f).str(), "  0.100000001    ");
  EXPECT_EQ((FreeLine() << 0.09999999f).str(), "   9.99999866E-02");
  EXPECT_EQ((FreeLine() << 1.17e-38f).str(), "   1.17000000E-38");
  EXPECT_EQ((FreeLine() << 0.0f).str(), "   0.00000000    ");
  EXPECT_EQ((FreeLine() << -0.0f).str(), "  -0.00000000    ");
}

TEST(FreeLineOutput, DoublePrecisionRealsWithSeventeenDigits) {
  EXPECT_EQ((FreeLine() << 1.0).str(), "   1.0000000000000000     ");
  EXPECT_EQ((FreeLine() << 1e20).str(), "   1.0000000000000000E+020");
  EXPECT_EQ((FreeLine() << -1e20).str(), "  -1.0000000000000000E+020");
  EXPECT_EQ((FreeLine() << 45.1173).str(), "   45.117300000000000     ");
  EXPECT_EQ((FreeLine() << 0.0).str(), "   0.0000000000000000     ");
  EXPECT_EQ((FreeLine() << 0.1).str(), "  0.10000000000000001     ");
  EXPECT_EQ((FreeLine() << 0.09999999999999999).str(), "   9.9999999999999992E-002");
  EXPECT_EQ((FreeLine() << 1e16).str(), "   10000000000000000.     ");
  EXPECT_EQ((FreeLine() << 1e17).str(), "   1.0000000000000000E+017");
  EXPECT_EQ((FreeLine() << 1e-300).str(), "   1.0000000000000000E-300");
  EXPECT_EQ((FreeLine() << 1e300).str(), "   1.0000000000000001E+300");
}

TEST(FreeLineOutput, SpecialValuesAndMixedItems) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ((FreeLine() << nan).str(), "                       NaN");
  EXPECT_EQ((FreeLine() << inf << -inf).str(), "         Infinity        -Infinity");
  EXPECT_EQ((FreeLine() << "x" << 0.2f << "y" << 1.0 << "z").str(),
            " x  0.200000003     y   1.0000000000000000      z");
  EXPECT_EQ((FreeLine() << "QUILLetSub--default height set by this routine to " << 0.2f).str(),
            " QUILLetSub--default height set by this routine to   0.200000003    ");
}

TEST(FreeReadText, SeparatorsNullValuesAndSlash) {
  std::int32_t a = -1, b = -1;
  FreeReadResult r = read_free("1 , 2", {a, b});
  EXPECT_EQ(r.status, FreeReadStatus::Ok);
  EXPECT_EQ(r.assigned, 2);
  EXPECT_EQ(b, 2);

  a = b = -1;
  r = read_free("5,,6", {a, b});
  EXPECT_EQ(r.status, FreeReadStatus::Ok);
  EXPECT_EQ(r.assigned, 1);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, -1);

  a = b = -1;
  r = read_free(",6", {a, b});
  EXPECT_EQ(r.status, FreeReadStatus::Ok);
  EXPECT_EQ(a, -1);
  EXPECT_EQ(b, 6);

  a = b = -1;
  r = read_free("5/", {a, b});
  EXPECT_EQ(r.status, FreeReadStatus::Ok);
  EXPECT_EQ(r.assigned, 1);
  EXPECT_EQ(b, -1);

  float h = 0.2f;
  r = read_free(" / 0.3", {h});
  EXPECT_EQ(r.status, FreeReadStatus::Ok);
  EXPECT_EQ(h, 0.2f);

  a = b = -1;
  r = read_free("5\t6 7", {a, b});
  EXPECT_EQ(r.status, FreeReadStatus::Ok);
  EXPECT_EQ(b, 6);
}

TEST(FreeReadText, RunningOutOfText) {
  std::int32_t a = -1, b = -1;
  FreeReadResult r = read_free("5,", {a, b});
  EXPECT_EQ(r.status, FreeReadStatus::EndOfInput);
  EXPECT_EQ(r.assigned, 1);
  EXPECT_EQ(a, 5);
  r = read_free("    ", {a});
  EXPECT_EQ(r.status, FreeReadStatus::EndOfInput);
  EXPECT_EQ(r.assigned, 0);
  r = read_free("", {a});
  EXPECT_EQ(r.status, FreeReadStatus::EndOfInput);
}

TEST(FreeReadText, IntegersTakeASignAndDigitsOnly) {
  std::int32_t a = -1;
  EXPECT_EQ(read_free("+5", {a}).status, FreeReadStatus::Ok);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(read_free(" -7 ", {a}).status, FreeReadStatus::Ok);
  EXPECT_EQ(a, -7);
  EXPECT_EQ(read_free("-2147483648", {a}).status, FreeReadStatus::Ok);
  EXPECT_EQ(a, std::numeric_limits<std::int32_t>::min());
  for (const char* bad :
       {"12.5", "12abc", "2147483648", "+", "1e2", "0x10", "0*4", "-2*4", "*4", "3*4.5", "1;2"}) {
    a = 99;
    EXPECT_EQ(read_free(bad, {a}).status, FreeReadStatus::BadValue) << bad;
    EXPECT_EQ(a, 99) << bad;
  }
}

TEST(FreeReadText, RepeatFormsGiveCopiesOrEmptyValues) {
  std::int32_t a = -1, b = -1, c = -1;
  EXPECT_EQ(read_free("2*4 5", {a, b, c}).status, FreeReadStatus::Ok);
  EXPECT_EQ(std::vector<std::int32_t>({a, b, c}), std::vector<std::int32_t>({4, 4, 5}));
  a = b = c = -1;
  // "r*" is r empty values; its comma is its own, so the next value goes to c.
  const FreeReadResult r = read_free("2*,6", {a, b, c});
  EXPECT_EQ(r.status, FreeReadStatus::Ok);
  EXPECT_EQ(r.assigned, 1);
  EXPECT_EQ(std::vector<std::int32_t>({a, b, c}), std::vector<std::int32_t>({-1, -1, 6}));
  // Copies left over when the variables are used up are not an error.
  EXPECT_EQ(read_free("5*7", {a, b}).status, FreeReadStatus::Ok);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(read_free("200000000*8", {a}).status, FreeReadStatus::Ok);
  EXPECT_EQ(a, 8);
  EXPECT_EQ(read_free("200000001*8", {a}).status, FreeReadStatus::BadValue);
  EXPECT_EQ(read_free("2 *8", {a, b}).status, FreeReadStatus::BadValue);
}

TEST(FreeReadText, RealsTakePointsAndExponentsButNoSpecialValues) {
  float f = 0;
  double d = 0;
  EXPECT_EQ(read_free("12.5", {f}).status, FreeReadStatus::Ok);
  EXPECT_EQ(f, 12.5f);
  EXPECT_EQ(read_free("1.5d2 1.5E-2", {d, f}).status, FreeReadStatus::Ok);
  EXPECT_EQ(d, 150.0);
  EXPECT_EQ(f, 0.015f);
  EXPECT_EQ(read_free("-.5e+1", {d}).status, FreeReadStatus::Ok);
  EXPECT_EQ(d, -5.0);
  EXPECT_EQ(read_free("5.", {d}).status, FreeReadStatus::Ok);
  EXPECT_EQ(d, 5.0);
  EXPECT_EQ(read_free("0.1", {f, d}).status, FreeReadStatus::EndOfInput);
  EXPECT_EQ(f, 0.1f);
  // Too small reads as zero; too large, special values and malformed texts are refused.
  EXPECT_EQ(read_free("1e-400", {d}).status, FreeReadStatus::Ok);
  EXPECT_EQ(d, 0.0);
  EXPECT_EQ(read_free("-1e-50", {f}).status, FreeReadStatus::Ok);
  EXPECT_EQ(f, 0.0f);
  EXPECT_TRUE(std::signbit(f));
  // The exponent letter may be Q, or left out before the exponent's sign.
  EXPECT_EQ(read_free("1.5+3 2.5q-1", {d, f}).status, FreeReadStatus::Ok);
  EXPECT_EQ(d, 1500.0);
  EXPECT_EQ(f, 0.25f);
  for (const char* bad : {"1e400", "1e39", "nan", "inf", "Infinity", ".", "-", "e5", ".e5", "1.5+",
                          "1e", "1.2.3", "1e+", "1.5e+3+2"}) {
    f = 7;
    EXPECT_EQ(read_free(bad, {f}).status, FreeReadStatus::BadValue) << bad;
    EXPECT_EQ(f, 7) << bad;
  }
  EXPECT_EQ(read_free("1e39", {d}).status, FreeReadStatus::Ok);
}

TEST(FreeReadText, OnlyNumericVariablesAreAllowed) {
  std::string_view text;
  EXPECT_EQ(read_free("abc", {text}).status, FreeReadStatus::BadValue);
}

class Lines : public LineSource {
 public:
  Lines(std::initializer_list<const char*> lines) : lines_(lines.begin(), lines.end()) {}
  bool next_line(std::string& line) override {
    if (lines_.empty()) return false;
    line = lines_.front();
    lines_.pop_front();
    ++taken;
    return true;
  }
  int taken = 0;

 private:
  std::deque<std::string> lines_;
};

TEST(FreeReadLines, EmptyLinesGiveNoValueAndTheReadGoesOn) {
  Lines keyboard{"", "   ", "5 6", "7"};
  std::int32_t a = -1, b = -1, c = -1;
  const FreeReadResult r = read_free(keyboard, {a, b, c});
  EXPECT_EQ(r.status, FreeReadStatus::Ok);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 6);
  EXPECT_EQ(c, 7);
}

TEST(FreeReadLines, AReadTakesNoLineItDoesNotNeed) {
  Lines keyboard{"0.35 9", "never read"};
  float h = 0;
  EXPECT_EQ(read_free(keyboard, {h}).status, FreeReadStatus::Ok);
  EXPECT_EQ(h, 0.35f);
  EXPECT_EQ(keyboard.taken, 1);
}

TEST(FreeReadLines, CommasAcrossLineEnds) {
  // As gfortran: a line end before a comma is one separator, a comma at both ends is a null.
  std::int32_t a = -1, b = -1, c = -1;
  Lines first{"5", ",6", "7"};
  EXPECT_EQ(read_free(first, {a, b, c}).status, FreeReadStatus::Ok);
  EXPECT_EQ(b, 6);
  EXPECT_EQ(c, 7);
  a = b = c = -1;
  Lines second{"5,", ",6", "7"};
  EXPECT_EQ(read_free(second, {a, b, c}).status, FreeReadStatus::Ok);
  EXPECT_EQ(b, -1);
  EXPECT_EQ(c, 6);
}

TEST(FreeReadLines, EndOfInputAndSlash) {
  std::int32_t a = -1, b = -1;
  Lines ends{"", "5"};
  FreeReadResult r = read_free(ends, {a, b});
  EXPECT_EQ(r.status, FreeReadStatus::EndOfInput);
  EXPECT_EQ(r.assigned, 1);
  Lines none{};
  EXPECT_EQ(read_free(none, {a}).status, FreeReadStatus::EndOfInput);
  float h = 0.5f;
  Lines slash{"/"};
  EXPECT_EQ(read_free(slash, {h}).status, FreeReadStatus::Ok);
  EXPECT_EQ(h, 0.5f);
  Lines bad{"abc"};
  EXPECT_EQ(read_free(bad, {h}).status, FreeReadStatus::BadValue);
}

}  // namespace
}  // namespace quillet
