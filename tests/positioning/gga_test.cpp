#include "positioning/gga.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/console.hpp"

namespace quillet {
namespace {

struct RecordingConsole : Console {
  std::vector<std::string> lines;
  void write_line(std::string_view line) override { lines.emplace_back(line); }
  bool next_line(std::string&) override { return false; }
};

// The example sentence of the NMEA 0183 standard, without its "$".
constexpr std::string_view kExample =
    "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
// Everything before the example's "*": the base of the variants below.
constexpr std::string_view kExampleBody =
    "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

// A sentence with its NMEA checksum: the exclusive or of every character before the "*".
std::string nmea(std::string_view body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char hex[4];
  std::snprintf(hex, sizeof hex, "*%02X", sum);
  return std::string(body) + hex;
}

// Values that no sentence produces, to see which results a call wrote.
GpsFix previous_fix() {
  GpsFix fix;
  fix.GPS_TIME = -7;
  fix.LAT = -99.5;
  fix.LON = 77.25;
  fix.DMODE = -3;
  fix.GPS_SATS = -4;
  fix.GPS_HDOP = -5.5f;
  fix.GPS_ALT = -6.5f;
  return fix;
}

void expect_unchanged(const GpsFix& fix) {
  const GpsFix before = previous_fix();
  EXPECT_EQ(fix.GPS_TIME, before.GPS_TIME);
  EXPECT_EQ(fix.LAT, before.LAT);
  EXPECT_EQ(fix.LON, before.LON);
  EXPECT_EQ(fix.DMODE, before.DMODE);
  EXPECT_EQ(fix.GPS_SATS, before.GPS_SATS);
  EXPECT_EQ(fix.GPS_HDOP, before.GPS_HDOP);
  EXPECT_EQ(fix.GPS_ALT, before.GPS_ALT);
}

struct Decoded {
  GpsFix fix = previous_fix();
  std::vector<std::string> console;
};

Decoded decode(std::string_view sentence) {
  Decoded d;
  RecordingConsole console;
  READ_GPGGA(sentence, d.fix, console);
  d.console = console.lines;
  return d;
}

TEST(ReadGpgga, TheStandardsExampleSentence) {
  for (const std::string& sentence :
       {std::string(kExample), std::string(kExample) + std::string(250 - kExample.size(), ' ')}) {
    const Decoded d = decode(sentence);
    EXPECT_TRUE(d.console.empty());
    EXPECT_EQ(d.fix.GPS_TIME, ((12 * 60 + 35) * 60 + 19) * 1000);
    EXPECT_EQ(d.fix.GPS_TIME, 45319000);
    EXPECT_DOUBLE_EQ(d.fix.LAT, 48.0 + 7.038 / 60.0);
    EXPECT_DOUBLE_EQ(d.fix.LON, 11.0 + 31.0 / 60.0);
    EXPECT_EQ(d.fix.DMODE, 1);
    EXPECT_EQ(d.fix.GPS_SATS, 8);
    EXPECT_EQ(d.fix.GPS_HDOP, 0.9f);
    EXPECT_EQ(d.fix.GPS_ALT, 545.4f);
  }
}

TEST(ReadGpgga, AReceiversSentenceWithFractionsWestAndTwoDecimals) {
  const Decoded d = decode("GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76");
  EXPECT_TRUE(d.console.empty());
  EXPECT_EQ(d.fix.GPS_TIME, 34070000);  // 9:27:50, the fraction of a second dropped
  EXPECT_DOUBLE_EQ(d.fix.LAT, 53.0 + 21.6802 / 60.0);
  EXPECT_DOUBLE_EQ(d.fix.LON, -(6.0 + 30.3372 / 60.0));
  EXPECT_EQ(d.fix.GPS_SATS, 8);
  EXPECT_EQ(d.fix.GPS_HDOP, 1.03f);  // the decimal point in the text wins over F5.1
  EXPECT_EQ(d.fix.GPS_ALT, 61.7f);
}

TEST(ReadGpgga, ChecksumMismatchDropsTheSentenceSilently) {
  for (std::string_view sentence :
       {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48",
        "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*74",
        "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*",   // reads as 00
        "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4",  // reads as 04
        "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,*47"}) {
    const Decoded d = decode(sentence);
    EXPECT_TRUE(d.console.empty()) << sentence;
    expect_unchanged(d.fix);
  }
}

TEST(ReadGpgga, ChecksumDigitsInEitherCaseWithBlanksIgnored) {
  for (std::string_view sentence :
       {"GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4D",
        "GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4d"}) {
    EXPECT_EQ(decode(sentence).fix.GPS_TIME, 45320000) << sentence;
  }
  // The body with an "L" after the last comma has the checksum 0B.
  const std::string body = std::string(kExampleBody) + "L";
  for (std::string_view digits : {"*0B", "*0b", "* B", "*B ", "*B"}) {
    const Decoded d = decode(body + std::string(digits));
    EXPECT_TRUE(d.console.empty()) << digits;
    EXPECT_EQ(d.fix.GPS_TIME, 45319000) << digits;
    EXPECT_EQ(d.fix.GPS_ALT, 545.4f) << digits;
  }
  // Only the two characters after the "*" count: here two blanks, read as 00.
  EXPECT_EQ(decode(body + "*  0B").fix.GPS_TIME, previous_fix().GPS_TIME);
}

// The checksum over bodies of every length (the sum is taken many characters at a time), with
// the "*" anywhere: a right checksum decodes the sentence, a wrong one drops it.
TEST(ReadGpgga, ChecksumOverBodiesOfEveryLength) {
  for (std::size_t extra = 0; extra + kExample.size() <= kGgaSentenceWidth; ++extra) {
    const std::string body = std::string(kExampleBody) + std::string(extra, 'x');
    std::string sentence = nmea(body);
    const Decoded d = decode(sentence);
    EXPECT_TRUE(d.console.empty()) << extra;
    EXPECT_EQ(d.fix.GPS_TIME, 45319000) << extra;
    sentence[sentence.size() - 1] = sentence.back() == '0' ? '1' : '0';
    EXPECT_EQ(decode(sentence).fix.GPS_TIME, previous_fix().GPS_TIME) << extra;
  }
}

TEST(ReadGpgga, UnreadableChecksumIsReported) {
  for (auto [sentence, shown] : std::vector<std::pair<std::string, std::string>>{
           {std::string(kExampleBody) + "*G7", "G7"},
           {std::string(kExampleBody) + "*-4", "-4"},
           {std::string(kExampleBody) + "*4.", "4."}}) {
    const Decoded d = decode(sentence);
    EXPECT_EQ(d.console, std::vector<std::string>{" Read_GPGGA:  Error reading checksum=" + shown});
    expect_unchanged(d.fix);
  }
}

TEST(ReadGpgga, NoDataInPayload) {
  std::string past_250 = std::string(kExampleBody);
  past_250 += std::string(250 - past_250.size(), ' ');
  past_250 += "*47";
  for (const std::string& sentence : {std::string(kExampleBody), std::string("*47"),
                                      std::string("G*47"), std::string(), past_250}) {
    const Decoded d = decode(sentence);
    EXPECT_EQ(d.console, std::vector<std::string>{" Read_GPGGA:  no data in payload"}) << sentence;
    expect_unchanged(d.fix);
  }
  // Two characters before the "*" are enough to go on (and then fail the checksum silently).
  EXPECT_TRUE(decode("GP*00").console.empty());
}

TEST(ReadGpgga, TimeField) {
  // Shorter than five characters: no time, no message, and the rest is decoded.
  Decoded d = decode(nmea("GPGGA,1235,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_TRUE(d.console.empty());
  EXPECT_EQ(d.fix.GPS_TIME, 0);
  EXPECT_EQ(d.fix.GPS_ALT, 545.4f);

  d = decode(nmea("GPGGA,,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_EQ(d.fix.GPS_TIME, 0);
  EXPECT_EQ(d.fix.GPS_SATS, 8);

  // Five characters: the sixth column reads as a blank, so the seconds are a single digit.
  d = decode(nmea("GPGGA,12351,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_EQ(d.fix.GPS_TIME, ((12 * 60 + 35) * 60 + 1) * 1000);

  // Blanks inside the field are ignored.
  d = decode(nmea("GPGGA,12 519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_EQ(d.fix.GPS_TIME, ((12 * 60 + 5) * 60 + 19) * 1000);

  // The end of the day.
  d = decode(nmea("GPGGA,235959.99,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_EQ(d.fix.GPS_TIME, 86399000);
}

TEST(ReadGpgga, UnreadableOrNegativeTimeStopsWithTheTimeCleared) {
  for (std::string field : {"12a519", "12:35:19", "-12519", "00-119"}) {
    const Decoded d =
        decode(nmea("GPGGA," + field + ",4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
    EXPECT_EQ(d.console, std::vector<std::string>{" Read_GPGGA:  Error reading GPS time=" + field});
    EXPECT_EQ(d.fix.GPS_TIME, 0);
    EXPECT_EQ(d.fix.LAT, previous_fix().LAT);
    EXPECT_EQ(d.fix.GPS_ALT, previous_fix().GPS_ALT);
  }
}

TEST(ReadGpgga, LatitudeAndLongitudeFields) {
  // Empty latitude: zero, no message.
  Decoded d = decode(nmea("GPGGA,123519,,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_TRUE(d.console.empty());
  EXPECT_EQ(d.fix.LAT, 0.0);
  EXPECT_DOUBLE_EQ(d.fix.LON, 11.0 + 31.0 / 60.0);

  // Hemisphere letters in either case; an empty letter field is not west.
  d = decode(nmea("GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_DOUBLE_EQ(d.fix.LAT, -(48.0 + 7.038 / 60.0));
  EXPECT_DOUBLE_EQ(d.fix.LON, -(11.0 + 31.0 / 60.0));
  d = decode(nmea("GPGGA,123519,4807.038,s,01131.000,w,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_LT(d.fix.LAT, 0.0);
  EXPECT_LT(d.fix.LON, 0.0);
  d = decode(nmea("GPGGA,123519,4807.038,,01131.000,,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_GT(d.fix.LAT, 0.0);
  EXPECT_GT(d.fix.LON, 0.0);

  // Minutes without a decimal point take the four implied decimals of F7.4.
  d = decode(nmea("GPGGA,123519,4807038,N,0113100,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_DOUBLE_EQ(d.fix.LAT, 48.0 + 0.7038 / 60.0);
  EXPECT_DOUBLE_EQ(d.fix.LON, 11.0 + 0.31 / 60.0);

  // Only nine (latitude) and ten (longitude) columns take part.
  d = decode(nmea("GPGGA,123519,4807.0381234,N,01131.0001234,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_DOUBLE_EQ(d.fix.LAT, 48.0 + 7.0381 / 60.0);
  EXPECT_DOUBLE_EQ(d.fix.LON, 11.0 + 31.0001 / 60.0);

  // A latitude field shorter than five characters counts as empty.
  d = decode(nmea("GPGGA,123519,4807,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"));
  EXPECT_EQ(d.fix.LAT, 0.0);
}

TEST(ReadGpgga, AnUnreadableFieldStopsTheDecodingAndKeepsWhatWasWritten) {
  struct Case {
    std::string sentence;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"GPGGA,123519,48x7.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
       " Read_GPGGA:  Error reading latitude "
       "data=48x7.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"},
      {"GPGGA,123519,4807.038,N,011E1.000,E,1,08,0.9,545.4,M,46.9,M,,",
       " Read_GPGGA:  Error reading longitude data=011E1.000,E,1,08,0.9,545.4,M,46.9,M,,"},
      {"GPGGA,123519,4807.038,N,01131.000,E,x,08,0.9,545.4,M,46.9,M,,",
       " Read_GPGGA:  Error reading dmode data=x,08,0.9,545.4,M,46.9,M,,"},
      {"GPGGA,123519,4807.038,N,01131.000,E,1,8a,0.9,545.4,M,46.9,M,,",
       " Read_GPGGA:  Error reading nsat data=8a,0.9,545.4,M,46.9,M,,"},
      {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9x,545.4,M,46.9,M,,",
       " Read_GPGGA:  Error reading hdop data=0.9x,545.4,M,46.9,M,,"},
      {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,54e.4,M,46.9,M,,",
       " Read_GPGGA:  Error reading gps_alt data=54e.4,M,46.9,M,,"},
  };
  const GpsFix before = previous_fix();
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const Decoded d = decode(nmea(cases[k].sentence));
    EXPECT_EQ(d.console, std::vector<std::string>{cases[k].message});
    // Case k fails at the k-th result after the time; every result before it is the sentence's.
    EXPECT_EQ(d.fix.GPS_TIME, 45319000);
    EXPECT_EQ(d.fix.LAT, k >= 1 ? 48.0 + 7.038 / 60.0 : before.LAT);
    EXPECT_EQ(d.fix.LON, k >= 2 ? 11.0 + 31.0 / 60.0 : before.LON);
    // DMODE is cleared with the longitude, so a failed fix quality leaves it 0.
    EXPECT_EQ(d.fix.DMODE, k >= 3 ? 1 : (k == 2 ? 0 : before.DMODE));
    // The satellites, HDOP and altitude are cleared before their own read.
    EXPECT_EQ(d.fix.GPS_SATS, k >= 4 ? 8 : (k == 3 ? 0 : before.GPS_SATS));
    EXPECT_EQ(d.fix.GPS_HDOP, k >= 5 ? 0.9f : (k == 4 ? 0.0f : before.GPS_HDOP));
    EXPECT_EQ(d.fix.GPS_ALT, k == 5 ? 0.0f : before.GPS_ALT);
  }
}

TEST(ReadGpgga, QualitySatellitesHdopAndAltitudeFields) {
  // Empty fields give their defaults without a message.
  Decoded d = decode(nmea("GPGGA,123519,4807.038,N,01131.000,E,,,,,M,46.9,M,,"));
  EXPECT_TRUE(d.console.empty());
  EXPECT_EQ(d.fix.DMODE, 0);
  EXPECT_EQ(d.fix.GPS_SATS, 0);
  EXPECT_EQ(d.fix.GPS_HDOP, 0.0f);
  EXPECT_EQ(d.fix.GPS_ALT, 0.0f);

  // One digit of fix quality; satellites free-form; HDOP and altitude need two characters and
  // read only five, with one implied decimal.
  d = decode(nmea("GPGGA,123519,4807.038,N,01131.000,E,26, 12 ,9,1545.4,M,46.9,M,,"));
  EXPECT_TRUE(d.console.empty());
  EXPECT_EQ(d.fix.DMODE, 2);
  EXPECT_EQ(d.fix.GPS_SATS, 12);
  EXPECT_EQ(d.fix.GPS_HDOP, 0.0f);
  EXPECT_EQ(d.fix.GPS_ALT, 1545.0f);  // the sixth character is lost

  d = decode(nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,7,M,46.9,M,,"));
  EXPECT_EQ(d.fix.GPS_ALT, 0.0f);

  d = decode(nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,09,5454,M,46.9,M,,"));
  EXPECT_EQ(d.fix.GPS_HDOP, 0.9f);
  EXPECT_EQ(d.fix.GPS_ALT, 545.4f);

  d = decode(nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,12.75,-12.5,M,46.9,M,,"));
  EXPECT_EQ(d.fix.GPS_HDOP, 12.75f);
  EXPECT_EQ(d.fix.GPS_ALT, -12.5f);
}

TEST(ReadGpgga, FieldsPastTheLastCommaAreAbsent) {
  // Three commas: time and latitude are there, the rest take their defaults (a missing
  // east/west letter counts as west, so even the zero longitude carries the sign).
  Decoded d = decode(nmea("GPGGA,123519,4807.038,S"));
  EXPECT_TRUE(d.console.empty());
  EXPECT_EQ(d.fix.GPS_TIME, 45319000);
  EXPECT_DOUBLE_EQ(d.fix.LAT, 48.0 + 7.038 / 60.0);  // the S is not a field: no comma after it
  EXPECT_EQ(d.fix.LON, 0.0);
  EXPECT_TRUE(std::signbit(d.fix.LON));
  EXPECT_EQ(d.fix.DMODE, 0);
  EXPECT_EQ(d.fix.GPS_SATS, 0);
  EXPECT_EQ(d.fix.GPS_HDOP, 0.0f);
  EXPECT_EQ(d.fix.GPS_ALT, 0.0f);

  // Nine commas: the altitude has no closing comma and is absent.
  d = decode(nmea("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4"));
  EXPECT_EQ(d.fix.GPS_HDOP, 0.9f);
  EXPECT_EQ(d.fix.GPS_ALT, 0.0f);

  // No comma at all.
  d = decode(nmea("GPGGA"));
  EXPECT_TRUE(d.console.empty());
  EXPECT_EQ(d.fix.GPS_TIME, 0);
  EXPECT_EQ(d.fix.LAT, 0.0);
}

TEST(ReadGpgga, ResultsMayGoToSeparateVariables) {
  // As the pre-scan calls it: position and altitude into its lists, the rest into the fix.
  GpsFix fix = previous_fix();
  double lat_list[3] = {0, 0, 0}, lon_list[3] = {0, 0, 0};
  float alt_list[3] = {0, 0, 0};
  RecordingConsole console;
  READ_GPGGA(kExample, fix.GPS_TIME, lat_list[1], lon_list[1], fix.DMODE, fix.GPS_SATS,
             fix.GPS_HDOP, alt_list[1], console);
  EXPECT_DOUBLE_EQ(lat_list[1], 48.0 + 7.038 / 60.0);
  EXPECT_DOUBLE_EQ(lon_list[1], 11.0 + 31.0 / 60.0);
  EXPECT_EQ(alt_list[1], 545.4f);
  EXPECT_EQ(lat_list[0] + lat_list[2] + lon_list[0] + lon_list[2], 0.0);
  EXPECT_EQ(fix.GPS_TIME, 45319000);
  EXPECT_EQ(fix.LAT, previous_fix().LAT);
  EXPECT_EQ(fix.GPS_ALT, previous_fix().GPS_ALT);
}

TEST(GgaSentenceOf, CutFromGpggaToTheLastNonBlank) {
  EXPECT_EQ(gga_sentence_of(" G$ 10:00:01 $" + std::string(kExample) + "   "), kExample);
  EXPECT_EQ(gga_sentence_of(" G$ $GPRMC,123519,A*6A   "), "");
}

// Sentences of every satellite system as receivers send them; the first two are published
// receiver output (an RTK fix with eight-decimal minutes, and a BeiDou receiver). The checksums
// were worked out apart from the program, and every value by hand from the fields.
TEST(GgaSentenceOf, EveryTalkersSentenceIsFoundAndReadAsAGpsOne) {
  struct Talker {
    std::string_view sentence;
    std::int32_t time;
    double lat, lon;
    std::int32_t quality, satellites;
    float hdop, altitude;
  };
  const std::vector<Talker> talkers = {
      {"GNGGA,140416.00,5948.99861,N,01021.67811,E,4,12,0.59,192.9,M,39.4,M,1.0,1405*68", 50656000,
       59 + 48.9986 / 60, 10 + 21.6781 / 60, 4, 12, 0.59f, 192.9f},
      {"GBGGA,122712.0,0120.44802,N,10357.72683,E,2,06,2.3,37.5,M,8.2,M,1.0,0009*63", 44832000,
       1 + 20.4480 / 60, 103 + 57.7268 / 60, 2, 6, 2.3f, 37.5f},
      {"GLGGA,093045.00,4807.12345,N,01131.54321,E,1,07,1.2,520.3,M,47.0,M,,*71", 34245000,
       48 + 7.1234 / 60, 11 + 31.5432 / 60, 1, 7, 1.2f, 520.3f},
      {"GAGGA,101530.50,5212.3456,N,00004.5678,W,1,09,0.8,35.6,M,45.1,M,,*55", 36930000,
       52 + 12.3456 / 60, -(4.5678 / 60), 1, 9, 0.8f, 35.6f},
      {"BDGGA,061015.000,3954.1234,N,11623.4567,E,1,10,0.9,48.2,M,-8.5,M,,*60", 22215000,
       39 + 54.1234 / 60, 116 + 23.4567 / 60, 1, 10, 0.9f, 48.2f},
      {"GQGGA,034512.00,3541.2345,N,13945.6789,E,5,08,1.1,42.7,M,36.7,M,2.0,0123*76", 13512000,
       35 + 41.2345 / 60, 139 + 45.6789 / 60, 5, 8, 1.1f, 42.7f},
      {"GIGGA,051230.00,1258.7654,N,07735.4321,E,1,06,1.6,920.4,M,-86.3,M,,*52", 18750000,
       12 + 58.7654 / 60, 77 + 35.4321 / 60, 1, 6, 1.6f, 920.4f},
  };
  for (const Talker& t : talkers) {
    const std::string line = " G$ 10:00:01 $" + std::string(t.sentence) + "   ";
    ASSERT_EQ(gga_sentence_of(line), t.sentence);
    const Decoded d = decode(gga_sentence_of(line));
    EXPECT_TRUE(d.console.empty()) << t.sentence;
    EXPECT_EQ(d.fix.GPS_TIME, t.time) << t.sentence;
    EXPECT_DOUBLE_EQ(d.fix.LAT, t.lat) << t.sentence;
    EXPECT_DOUBLE_EQ(d.fix.LON, t.lon) << t.sentence;
    EXPECT_EQ(d.fix.DMODE, t.quality) << t.sentence;
    EXPECT_EQ(d.fix.GPS_SATS, t.satellites) << t.sentence;
    EXPECT_EQ(d.fix.GPS_HDOP, t.hdop) << t.sentence;
    EXPECT_EQ(d.fix.GPS_ALT, t.altitude) << t.sentence;
  }
}

TEST(GgaSentenceOf, AnotherTalkersSentenceWithAWrongChecksumIsDroppedSilently) {
  const std::string_view line =
      " G$GNGGA,140416.00,5948.99861,N,01021.67811,E,4,12,0.59,192.9,M,39.4,M,1.0,1405*69";
  ASSERT_EQ(gga_sentence_of(line), line.substr(3));
  const Decoded d = decode(gga_sentence_of(line));
  EXPECT_TRUE(d.console.empty());
  expect_unchanged(d.fix);
}

TEST(GgaSentenceOf, WhereTheSentenceStartsAndWhatIsNone) {
  const std::string gn =
      "GNGGA,120002.00,4501.20000,N,00604.00000,E,4,12,0.6,101.5,M,47.0,M,1.0,0001*5B";
  const std::string gl = "GLGGA,093045.00,4807.12345,N,01131.54321,E,1,07,1.2,520.3,M,47.0,M,,*71";
  struct Case {
    std::string line;
    std::string sentence;
  };
  const std::vector<Case> cases = {
      // No talker, or not two upper-case letters, before "GGA,". The lower-case talker even
      // carries the checksum of "GN".
      {" G$GGA,120002.00,4501.20000,N,00604.00000,E,4,12,0.6,101.5,M,47.0,M,1.0,0001*52", ""},
      {" G$ $GGA,120002.00,4501.20000,N,00604.00000,E,4,12,0.6,101.5,M,47.0,M,1.0,0001*52", ""},
      {" G$ $gnGGA,120002.00,4501.20000,N,00604.00000,E,4,12,0.6,101.5,M,47.0,M,1.0,0001*5B", ""},
      {" G$ $GnGGA,120002.00,4501.20000,N,00604.00000,E,4,12,0.6,101.5,M,47.0,M,1.0,0001*7B", ""},
      {" G$ $G1GGA,120002.00,4501.20000,N,00604.00000,E,4,12,0.6,101.5,M,47.0,M,1.0,0001*24", ""},
      // Other sentences of the same receivers, and "GGA" without its comma.
      {" G$ $GNRMC,120002.00,A,4501.20000,N,00604.00000,E,0.1,,261208,,,A*61", ""},
      {" G$ $GNGGA*56 $GNGSA,A,3,,*2E", ""},
      // The first talker identifier followed by "GGA," starts the sentence.
      {" G$ a GGA, and $xyGGA, then $" + gn + "   ", gn},
      {" G$ $" + gn + " $" + gl, gn + " $" + gl},
      // A line with "GPGGA" anywhere takes its sentence from there, as it always did.
      {" G$ $" + gn + " $" + std::string(kExample), std::string(kExample)},
  };
  for (const Case& c : cases) EXPECT_EQ(gga_sentence_of(c.line), c.sentence) << c.line;
}

// READ_GPGGA reads plain fields by fast paths; over generated sentences, receivers' shapes and
// damaged ones alike, it must give every result bit for bit and every console line as the
// layouts alone give them.
TEST(ReadGpggaFastPaths, GiveWhatTheLayoutsGive) {
  std::mt19937_64 rng(2027);
  const auto pick = [&rng](std::initializer_list<std::string_view> options) {
    return std::string(options.begin()[rng() % options.size()]);
  };
  const auto digits = [&rng](std::size_t count) {
    std::string text;
    for (std::size_t k = 0; k < count; ++k) text += static_cast<char>('0' + rng() % 10);
    return text;
  };
  // A decimal of the receiver's kind: `whole` digits, a point, `decimals` digits.
  const auto decimal = [&](std::size_t whole, std::size_t decimals) {
    std::string text = digits(whole);
    text.push_back('.');
    text.append(digits(decimals));
    return text;
  };
  constexpr char kDamage[] = " -+.,*eE0123456789NSWwa\t";
  int plain = 0;
  for (int k = 0; k < 60000; ++k) {
    std::string body = pick({"GPGGA", "GNGGA"});
    const auto field = [&body](const std::string& text) {
      body.push_back(',');
      body.append(text);
    };
    field(decimal(6, rng() % 4));
    field(decimal(4, rng() % 8));
    field(pick({"N", "S", "s", "", "n"}));
    field(decimal(5, rng() % 8));
    field(pick({"E", "W", "w", "", "e"}));
    field(digits(1));
    field(digits(rng() % 3));
    field(decimal(1 + rng() % 3, rng() % 3));
    field(decimal(1 + rng() % 5, rng() % 3));
    body.append(",M,46.9,M,,");
    const bool damaged = k % 2 == 1;
    if (damaged) {
      for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) {
        const std::size_t at = 6 + rng() % (body.size() - 6);
        switch (rng() % 3) {
          case 0:
            body[at] = kDamage[rng() % (sizeof kDamage - 1)];
            break;
          case 1:
            body.erase(at, 1);
            break;
          default:
            body.insert(at, 1, kDamage[rng() % (sizeof kDamage - 1)]);
        }
      }
    }
    const std::string sentence = nmea(body);
    GpsFix fast = previous_fix();
    GpsFix general = previous_fix();
    RecordingConsole fast_console;
    RecordingConsole general_console;
    READ_GPGGA(sentence, fast, fast_console);
    gga_detail::read_gpgga_general(sentence, general, general_console);
    ASSERT_EQ(fast.GPS_TIME, general.GPS_TIME) << sentence;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(fast.LAT), std::bit_cast<std::uint64_t>(general.LAT))
        << sentence;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(fast.LON), std::bit_cast<std::uint64_t>(general.LON))
        << sentence;
    ASSERT_EQ(fast.DMODE, general.DMODE) << sentence;
    ASSERT_EQ(fast.GPS_SATS, general.GPS_SATS) << sentence;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(fast.GPS_HDOP),
              std::bit_cast<std::uint32_t>(general.GPS_HDOP))
        << sentence;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(fast.GPS_ALT),
              std::bit_cast<std::uint32_t>(general.GPS_ALT))
        << sentence;
    ASSERT_EQ(fast_console.lines, general_console.lines) << sentence;
    if (!damaged && general_console.lines.empty()) ++plain;
  }
  EXPECT_GT(plain, 25000);  // the receivers' shapes were read, not only refused
}

// The reading of whole sentences in the receivers' shape, over sentences with every field in
// turn empty, short, too long, signed, huge or damaged and checksums of every kind: whatever it
// takes must be a sentence that the layouts read without a message, to the same bits; whatever
// it declines, READ_GPGGA reads as the layouts do.
TEST(ReadGpggaPlain, TakesOnlyWhatTheLayoutsReadAndReadsItAlike) {
  using Options = std::vector<std::string_view>;
  const std::vector<Options> fields = {
      {"GPGGA", "GNGGA", "GPGG", "GPGG,", "GPGGA,", "GP,GA", "GPGGAX"},
      {"123519", "092750.000", "", "12", "12345", "12345a", "-12345", "+23456", " 123456",
       "1234567890123", "99999999"},
      {"4807.038",      "5321.6802",    "4807.02000",   "",
       "4807",          "4807.",        "48.07",        "480.7",
       "4807.03812345", "-4807.038",    "+4807.038",    "48O7.038",
       "4807.0.38",     "480703",       "99999.99999",  " 4807.038",
       "4807.038 ",     "0000.0000",    "480:.0381",    "4807.038:",
       "4807.0/81",     "4807.\377381", "48\3727.0381", "4807.0381\372",
       "4807-0381"},
      {"N", "S", "s", "n", "", "X", "NS", " ", "SOUTH"},
      {"01131.000", "00630.3372", "17959.99999", "", "01131", "01131.", "011.31", "0113.1",
       "-01131.000", "1131.000", "0113a.000", "99999.9999999", "01131.000000000", "01131.00:0",
       "0113\372.0000", "01131.0 00", "01131.:000", "01131+0000"},
      {"E", "W", "w", "e", "", "WEST", " "},
      {"1", "0", "9", "", "12", "a", "-1", " "},
      {"08", "8", "12", "", "0", "123456789", "1234567890", "-8", "+8", "8a", " 8", "8 "},
      {"0.9", "1.03", "99.9", "", "9", "12.345", "123.4", "1.0.", ".5", "5.", "-0.9", "+0.9", "1e1",
       "12345", "1234567.8", " 0.9"},
      {"545.4", "61.7", "-12.3", "", "5", "12345.6", "123456", "0.0001", "1.", ".1", "65535.9", "a",
       "99999"},
  };
  const std::vector<std::string_view> tails = {",M,46.9,M,,", ",", "", ",M", ",M,46.9,M,,*"};
  std::mt19937_64 rng(1931);
  int taken = 0;
  int declined = 0;
  for (int k = 0; k < 60000; ++k) {
    std::string body;
    for (std::size_t f = 0; f < fields.size(); ++f) {
      const Options& options = fields[f];
      // Mostly the receivers' values, so that sentences with one odd field are common.
      const std::size_t pick = rng() % 3 != 0 ? rng() % 2 : rng() % options.size();
      if (f > 0) body.push_back(',');
      body.append(options[pick]);
    }
    body.append(tails[rng() % 4 == 0 ? rng() % tails.size() : 0]);
    std::string sentence = nmea(body);
    switch (rng() % 8) {
      case 0:  // lower-case checksum digits
        for (std::size_t at = sentence.size() - 2; at < sentence.size(); ++at) {
          sentence[at] = static_cast<char>(std::tolower(static_cast<unsigned char>(sentence[at])));
        }
        break;
      case 1:  // a wrong checksum
        sentence.back() = sentence.back() == '0' ? '1' : '0';
        break;
      case 2:  // one digit, a blank or nothing after the "*"
        sentence.resize(sentence.size() - 1 - rng() % 2);
        if (rng() % 2 == 0) sentence.push_back(' ');
        break;
      default:
        break;
    }
    GpsFix plain = previous_fix();
    Decoded general;
    RecordingConsole general_console;
    gga_detail::read_gpgga_general(sentence, general.fix, general_console);
    const Decoded fast = decode(sentence);
    ASSERT_EQ(fast.console, general_console.lines) << sentence;
    ASSERT_EQ(std::memcmp(&fast.fix, &general.fix, sizeof(GpsFix)), 0) << sentence;
    if (!gga_detail::read_gpgga_plain(sentence, plain)) {
      expect_unchanged(plain);
      ++declined;
      continue;
    }
    ++taken;
    ASSERT_TRUE(general_console.lines.empty()) << sentence;
    ASSERT_EQ(plain.GPS_TIME, general.fix.GPS_TIME) << sentence;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(plain.LAT),
              std::bit_cast<std::uint64_t>(general.fix.LAT))
        << sentence;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(plain.LON),
              std::bit_cast<std::uint64_t>(general.fix.LON))
        << sentence;
    ASSERT_EQ(plain.DMODE, general.fix.DMODE) << sentence;
    ASSERT_EQ(plain.GPS_SATS, general.fix.GPS_SATS) << sentence;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(plain.GPS_HDOP),
              std::bit_cast<std::uint32_t>(general.fix.GPS_HDOP))
        << sentence;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(plain.GPS_ALT),
              std::bit_cast<std::uint32_t>(general.fix.GPS_ALT))
        << sentence;
  }
  EXPECT_GT(taken, 5000);
  EXPECT_GT(declined, 10000);
}

// Sentences of every width a receiver may give each field, near and past the 250 characters
// read, with checksums right, lower-case, wrong or cut, each alone in a buffer of its size (the
// address sanitizer sees a read past its end): READ_GPGGA gives what the layouts alone give.
TEST(ReadGpggaPlain, SentencesOfEveryShapeReadAloneInTheirBuffers) {
  std::mt19937_64 rng(4099);
  const auto digits = [&rng](std::size_t count) {
    std::string text;
    for (std::size_t k = 0; k < count; ++k) text += static_cast<char>('0' + rng() % 10);
    return text;
  };
  // `whole` digits, then a point and `decimals` digits most of the time.
  const auto decimal = [&](std::size_t whole, std::size_t decimals) {
    return rng() % 8 == 0 ? digits(whole + decimals) : digits(whole) + "." + digits(decimals);
  };
  constexpr std::string_view kLetters[] = {"N", "S", "E", "W", "s", "w", "", "NS"};
  const auto same_bits = [](const GpsFix& a, const GpsFix& b) {
    return a.GPS_TIME == b.GPS_TIME &&
           std::bit_cast<std::uint64_t>(a.LAT) == std::bit_cast<std::uint64_t>(b.LAT) &&
           std::bit_cast<std::uint64_t>(a.LON) == std::bit_cast<std::uint64_t>(b.LON) &&
           a.DMODE == b.DMODE && a.GPS_SATS == b.GPS_SATS &&
           std::bit_cast<std::uint32_t>(a.GPS_HDOP) == std::bit_cast<std::uint32_t>(b.GPS_HDOP) &&
           std::bit_cast<std::uint32_t>(a.GPS_ALT) == std::bit_cast<std::uint32_t>(b.GPS_ALT);
  };
  int taken = 0;
  for (int k = 0; k < 40000; ++k) {
    std::string body = rng() % 2 == 0 ? "GPGGA," : "GNGGA,";
    body += decimal(5 + rng() % 3, rng() % 5) + ",";
    body += decimal(3 + rng() % 3, rng() % 9) + "," + std::string(kLetters[rng() % 8]) + ",";
    body += decimal(4 + rng() % 3, rng() % 9) + "," + std::string(kLetters[rng() % 8]) + ",";
    body += digits(rng() % 3) + "," + digits(rng() % 11) + ",";
    body += decimal(rng() % 3, rng() % 4) + "," + decimal(rng() % 7, rng() % 4);
    const std::size_t tail = rng() % 6;
    if (tail < 4) body += ",M,46.9,M,,";
    // Long sentences: filler in the fields after the altitude, up to past the 250 characters.
    if (tail == 0)
      body += std::string(170 + rng() % 100 - std::min<std::size_t>(body.size(), 170), '0');
    std::string sentence = nmea(body);
    switch (rng() % 6) {
      case 0:
        sentence.back() =
            static_cast<char>(std::tolower(static_cast<unsigned char>(sentence.back())));
        break;
      case 1:
        sentence.back() = sentence.back() == '0' ? '1' : '0';
        break;
      case 2:
        sentence.pop_back();
        break;
      default:
        break;
    }
    const auto exact = std::make_unique<char[]>(sentence.size());
    std::memcpy(exact.get(), sentence.data(), sentence.size());
    const std::string_view alone(exact.get(), sentence.size());
    Decoded general;
    RecordingConsole general_console;
    gga_detail::read_gpgga_general(sentence, general.fix, general_console);
    const Decoded fast = decode(alone);
    ASSERT_EQ(fast.console, general_console.lines) << sentence;
    ASSERT_TRUE(same_bits(fast.fix, general.fix)) << sentence;
    GpsFix plain = previous_fix();
    if (gga_detail::read_gpgga_plain(alone, plain)) {
      ++taken;
      ASSERT_TRUE(general_console.lines.empty()) << sentence;
      ASSERT_TRUE(same_bits(plain, general.fix)) << sentence;
    }
  }
  EXPECT_GT(taken, 2000);  // the receivers' shapes were read by the fast path, not only refused
}

}  // namespace
}  // namespace quillet
