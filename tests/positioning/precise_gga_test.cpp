// The GGA reader of the CSV file's positions: every decimal of the minutes and the fraction of the
// fix time; only good fixes (checksum, complete fields, quality above 0).
#include "positioning/precise_gga.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace quillet {
namespace {

// The sentence as the G$ line holds it after the "$": body, "*" and its checksum.
std::string sentence(const std::string& body) {
  int sum = 0;
  for (const char c : body) sum ^= static_cast<unsigned char>(c);
  char checksum[4];
  std::snprintf(checksum, sizeof checksum, "*%02X", sum);
  return body + checksum;
}

TEST(PreciseGga, ReadsEveryDecimalOfTheMinutesAndTheFixTime) {
  PreciseFix fix;
  ASSERT_TRUE(read_precise_gga(
      sentence("GNGGA,235959.35,5201.0410123,S,00539.6072345,W,4,14,0.6,-12.345,M,47.3,M,,"), fix));
  EXPECT_DOUBLE_EQ(fix.seconds, 86399.35);
  EXPECT_DOUBLE_EQ(fix.latitude, -(52 + 1.0410123 / 60));
  EXPECT_DOUBLE_EQ(fix.longitude, -(5 + 39.6072345 / 60));
  EXPECT_DOUBLE_EQ(fix.altitude, -12.345);
  EXPECT_EQ(fix.quality, 4);
  // The format's reader would have cut this to 5201.0410 (1.4 cm) and to 23:59:59.
}

TEST(PreciseGga, TakesOnlyGoodFixes) {
  PreciseFix fix;
  const std::string good = "GPGGA,101405.00,5201.04100,N,00539.60720,E,2,09,0.8,14.2,M,47.3,M,,";
  EXPECT_TRUE(read_precise_gga(sentence(good), fix));
  std::string wrong_checksum = sentence(good);
  wrong_checksum.back() = wrong_checksum.back() == '0' ? '1' : '0';
  EXPECT_FALSE(read_precise_gga(wrong_checksum, fix));
  EXPECT_FALSE(read_precise_gga(good, fix));  // no checksum at all
  for (const char* body :
       {"GPGGA,101405.00,5201.04100,N,00539.60720,E,0,00,99.9,14.2,M,47.3,M,,",  // no fix
        "GPGGA,101405.00,,,,,1,00,99.9,,M,,M,,",                                 // empty
        "GPGGA,101405.00,5201.04100,X,00539.60720,E,1,09,0.8,14.2,M,47.3,M,,",   // N or S?
        "GPGGA,1014,5201.04100,N,00539.60720,E,1,09,0.8,14.2,M,47.3,M,,",        // time cut
        "GPGGA,101405.00,5261.04100,N,00539.60720,E,1,09,0.8,14.2,M,47.3,M,,",   // 61 minutes
        "GPGGA,101405.00,9501.04100,N,00539.60720,E,1,09,0.8,14.2,M,47.3,M,,",   // 95 degrees
        "GPGGA,101405.00,52-1.04100,N,00539.60720,E,1,09,0.8,14.2,M,47.3,M,,",
        "GPGGA,101405.00,5201.04100,N,00539.60720,E,x,09,0.8,14.2,M,47.3,M,,"}) {
    EXPECT_FALSE(read_precise_gga(sentence(body), fix)) << body;
  }
}

// The direct reading of short decimals against std::from_chars, on strings of digits and points
// with the odd sign, blank or exponent: the same verdict and the same bits.
TEST(PreciseGga, DecimalsAsFromChars) {
  std::mt19937_64 rng(26);
  const std::string alphabet = "0123456789012345678901234567890123456789..+- e";
  for (int k = 0; k < 300000; ++k) {
    std::string text;
    for (std::size_t n = rng() % 20 + 1; n > 0; --n) {
      text += alphabet[rng() % (k % 4 == 0 ? alphabet.size() : 41)];
    }
    double expected = 0.0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), expected, std::chars_format::fixed);
    const bool readable = text[0] != '+' && text[0] != '-' && result.ec == std::errc() &&
                          result.ptr == text.data() + text.size();
    double value = 0.0;
    ASSERT_EQ(precise_gga_detail::read_decimal(text, value), readable) << text;
    if (readable) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected))
          << text;
    }
  }
}

// Fields are taken up to the tenth (the altitude is the ninth), whatever follows them.
TEST(PreciseGga, FieldsUpToTheAltitude) {
  PreciseFix fix;
  ASSERT_TRUE(read_precise_gga(sentence("GPGGA,101405.5,5201.041,N,00539.607,E,1"), fix));
  EXPECT_EQ(fix.altitude, 0.0);
  ASSERT_TRUE(read_precise_gga(sentence("GPGGA,101405.5,5201.041,N,00539.607,E,1,9,1,7.5"), fix));
  EXPECT_EQ(fix.altitude, 7.5);
  ASSERT_TRUE(read_precise_gga(
      sentence("GPGGA,101405.5,5201.041,N,00539.607,E,1,9,1,-7.5,M,1,M,,,,,,"), fix));
  EXPECT_EQ(fix.altitude, -7.5);
  EXPECT_FALSE(read_precise_gga(sentence("GPGGA,101405.5,5201.041,N,00539.607,E"), fix));
}

// The checksum and the commas, taken sixteen bytes at a time, with the fields moved over every
// place: decimals added to the fix time and the minutes, fields after the tenth of every length;
// the same fix each time, and none with the checksum one bit off.
TEST(PreciseGga, ChecksumAndFieldsWhereverTheyFall) {
  for (int time_zeros = 0; time_zeros < 9; ++time_zeros) {
    for (int minute_zeros = 0; minute_zeros < 9; ++minute_zeros) {
      for (int tail = 0; tail < 20; tail += 3) {
        const std::string body = "GPGGA,101405.5" + std::string(time_zeros, '0') + ",5201.041" +
                                 std::string(minute_zeros, '0') +
                                 ",S,00539.607,E,1,09,0.8,-7.5,M,47.3,M," + std::string(tail, ',');
        PreciseFix fix;
        ASSERT_TRUE(read_precise_gga(sentence(body), fix)) << body;
        EXPECT_EQ(fix.seconds, 36845.5);
        EXPECT_EQ(fix.latitude, -(52 + 1.041 / 60.0));
        EXPECT_EQ(fix.longitude, 5 + 39.607 / 60.0);
        EXPECT_EQ(fix.altitude, -7.5);
        std::string wrong = sentence(body);
        wrong[wrong.size() - 1] ^= wrong.back() == '0' ? 1 : (wrong.back() == 'A' ? 3 : 1);
        EXPECT_FALSE(read_precise_gga(wrong, fix)) << wrong;
      }
    }
  }
}

}  // namespace
}  // namespace quillet
