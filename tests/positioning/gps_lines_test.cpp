// The GPS pre-scan and the G$ lines of the record loop, end to end. Expected lines are derived
// by hand: the console line is gfortran's list-directed form of two 64-bit reals and an integer
// (checked once with gfortran), 45 N 75 W lies on the central meridian of zone 18 (easting
// 500000 m exactly, northing 4982950.4 m as GeographicLib gives it), and record fields follow
// their layouts (F12.1, F12.6, I12, F7.1, I2).
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "positioning/gps_prescan.hpp"
#include "run/run.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::file_equals;
using testing::lines_of;
using testing::read_file;
using testing::TempDir;

const std::string kFixA = "GPGGA,120000,4500.0000,N,07500.0000,W,1,08,0.9,100.0,M,0,M,,*7E";
const std::string kFixB = "GPGGA,120001,4530.0000,N,07500.0000,W,1,09,1.1,101.5,M,0,M,,*70";

std::string t_line(int station) {
  std::string stn = std::to_string(station);
  return " T$120000 " + std::string(6 - stn.size(), ' ') + stn +
         " CONV      0     0  1234   -25  1100   310";
}

std::string survey() {
  return " H$120000 GPSFILE  261208 1\n" + t_line(16) + "\n G$" + kFixA + "\n" + t_line(17) +
         "\n G$NOTGGA some text\n G$" + kFixB + "\n" + t_line(18) + "\n Z$\n";
}

std::vector<std::string> starting_with(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& line : lines_of(text)) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

TEST(GpsLines, MeanPositionFixesTheZoneAndFixesReachTheRecords) {
  TempDir dir;
  const std::string input = dir.write("survey.raw", survey());
  const auto result = testing::run_quillet({input, "XS"});
  EXPECT_EQ(result.status, 0);
  // Both runs average the same two fixes and keep the zone.
  const std::string mean_line =
      " For mean Lat, Lon=   45.250000000000000       -75.000000000000000       get UTM Zone "
      "Number           18";
  EXPECT_EQ(starting_with(result.console, " For mean"),
            (std::vector<std::string>{mean_line, mean_line}));

  // The GPS side file restores each sentence's "$"; a line without a GGA sentence is copied whole.
  EXPECT_TRUE(file_equals(dir.file("GPSFILE.GPS"),
                          "$" + kFixA + "\n$GPGG$NOTGGA some text\n$" + kFixB + "\n"));

  const auto xyz = lines_of(read_file(dir.file("GPSFILE.xyz")));
  ASSERT_EQ(xyz.size(), 3u);
  auto tail = [](const std::string& line) { return line.substr(line.size() - 48); };
  // Before the first G$ line of the first run: no position yet, but the pre-scan's last
  // sentence gave the time and the quality.
  EXPECT_EQ(tail(xyz[0]), "    43201000    0.000000     0.000000     0.0  1");
  EXPECT_EQ(tail(xyz[1]), "    43200000   45.000000   -75.000000   100.0  1");
  EXPECT_EQ(tail(xyz[2]), "    43201000   45.500000   -75.000000   101.5  1");

  // The Santos run starts with the last fix of the X run, so station 16 already has a position.
  const auto san = lines_of(read_file(dir.file("GPSFILE.san")));
  ASSERT_EQ(san.size(), 4u);
  EXPECT_EQ(san[0], "    -9        0.20");
  EXPECT_EQ(san[2],
            "    500000.0    4982950.4     0.00   123.40   110.00   45.00000000  -75.00000000"
            "    43200000");
  EXPECT_EQ(san[1].substr(0, 26), san[3].substr(0, 26));  // both at 45.5 N 75 W
  EXPECT_EQ(san[3].substr(26),
            "    0.00   123.40   110.00   45.50000000  -75.00000000    43201000");
}

TEST(GpsLines, NoValidFixMeansNoMeanNoZoneAndLineAndStationPositions) {
  TempDir dir;
  std::string bad_checksum = kFixA;
  bad_checksum.back() = 'F';
  const std::string input = dir.write(
      "survey.raw", " H$120000 NOFIX    261208 1\n G$" + bad_checksum + "\n" + t_line(17) + "\n");
  auto program = std::make_unique<ProgramState>();
  std::istringstream keyboard("/\n");
  std::ostringstream screen;
  StreamConsole console(keyboard, screen);
  float height = 0.2f;
  EXPECT_EQ(QUILLETSUB(input, 'S', height, false, *program, console), 0);
  EXPECT_TRUE(starting_with(screen.str(), " For mean").empty());
  EXPECT_EQ(program->gps.utm_zone, 0);
  const auto san = lines_of(read_file(dir.file("NOFIX.san")));
  ASSERT_EQ(san.size(), 2u);
  EXPECT_EQ(san[1].substr(0, 25), "         1.0         17.0");
  // The G$ line was met, so the side file stays, holding the sentence as it came.
  EXPECT_TRUE(file_equals(dir.file("NOFIX.GPS"), "$" + bad_checksum + "\n"));
}

TEST(GpsLines, ListsHoldFiftyThousandFixesAndLaterOnesStillUpdateTheFix) {
  TempDir dir;
  std::string raw;
  raw.reserve(60000 * 70);
  for (int k = 0; k < 50000; ++k) raw += " G$" + kFixA + "\n";
  raw += " G$" + kFixB + "\n";  // the 50,001st: decoded but not averaged
  const std::string input = dir.write("many.raw", raw);
  auto program = std::make_unique<ProgramState>();
  std::istringstream keyboard("/\n");
  std::ostringstream screen;
  StreamConsole console(keyboard, screen);
  float height = 0.2f;
  EXPECT_EQ(QUILLETSUB(input, 'R', height, false, *program, console), 0);
  EXPECT_EQ(starting_with(screen.str(), " For mean"),
            (std::vector<std::string>{" For mean Lat, Lon=   45.000000000000000       "
                                      "-75.000000000000000       get UTM Zone Number           "
                                      "18"}));
  EXPECT_DOUBLE_EQ(program->gps.current_fix.LAT, 45.5);
}

TEST(GpsLines, ASentenceThatFailsAfterItsLatitudeStaysOutOfTheMean) {
  TempDir dir;
  // Its latitude (46 N) is read before its longitude fails: neither may count, nor may the
  // longitude of the fix before it stand in.
  const std::string lat_only = "GPGGA,120002,4600.0000,N,07X00.0000,W,1,08,0.9,100.0,M,0,M,,*12";
  const std::string input =
      dir.write("partial.raw", " H$120000 PARTIAL  261208 1\n G$" + kFixA + "\n G$" + lat_only +
                                   "\n G$" + kFixB + "\n" + t_line(17) + "\n");
  const auto result = testing::run_quillet({input, "R"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(starting_with(result.console, " For mean"),
            (std::vector<std::string>{" For mean Lat, Lon=   45.250000000000000       "
                                      "-75.000000000000000       get UTM Zone Number           "
                                      "18"}));
  EXPECT_EQ(starting_with(result.console, " Read_GPGGA:  Error reading longitude data=").size(),
            2u);
}

TEST(GpsLines, SouthernMeanGivesANegativeZone) {
  TempDir dir;
  const std::string south = "GPGGA,120002,3300.0000,S,15100.0000,E,2,07,1.0,50.0,M,0,M,,*45";
  const std::string input = dir.write("south.raw", " G$" + south + "\n");
  const auto result = testing::run_quillet({input, "R"});
  EXPECT_EQ(starting_with(result.console, " For mean"),
            (std::vector<std::string>{" For mean Lat, Lon=  -33.000000000000000        "
                                      "151.00000000000000       get UTM Zone Number          "
                                      "-56"}));
}

TEST(GpsLines, EveryTalkersSentenceGoesToTheSideFileOnceAsTheReceiverSentIt) {
  const std::vector<std::string> sentences = {
      "GNGGA,140416.00,5948.99861,N,01021.67811,E,4,12,0.59,192.9,M,39.4,M,1.0,1405*68",
      "GBGGA,122712.0,0120.44802,N,10357.72683,E,2,06,2.3,37.5,M,8.2,M,1.0,0009*63",
      "GLGGA,093045.00,4807.12345,N,01131.54321,E,1,07,1.2,520.3,M,47.0,M,,*71",
      "GAGGA,101530.50,5212.3456,N,00004.5678,W,1,09,0.8,35.6,M,45.1,M,,*55",
      "BDGGA,061015.000,3954.1234,N,11623.4567,E,1,10,0.9,48.2,M,-8.5,M,,*60",
      "GQGGA,034512.00,3541.2345,N,13945.6789,E,5,08,1.1,42.7,M,36.7,M,2.0,0123*76",
      "GIGGA,051230.00,1258.7654,N,07735.4321,E,1,06,1.6,920.4,M,-86.3,M,,*52"};
  // Without a file header line the pre-scan and the record loop write to the same side file:
  // the pre-scan copies only the line that holds no sentence, the loop copies every line.
  const std::string no_sentence = "G$ $gnGGA,120002.00,4501.20000,N,00604.00000,E,4,12,*27";
  std::string raw;
  std::string expected = "$GPG" + no_sentence + "\n";
  for (const std::string& sentence : sentences) {
    raw += " G$ 10:00:01 $" + sentence + "  \n";
    expected += "$" + sentence + "\n";
  }
  expected += "$GPG" + no_sentence + "\n";
  TempDir dir;
  const std::string input = dir.write("talkers.raw", raw + " " + no_sentence + "\n Z$\n");
  EXPECT_EQ(testing::run_quillet({input, "X"}).status, 0);
  EXPECT_TRUE(file_equals(dir.file("DEFAULT.GPS"), expected));
}

}  // namespace
}  // namespace quillet
