// The times and positions of the CSV file's readings on small hand-made surveys: dates over
// midnight and damaged stamps, readings that share a stamp, logger files without fixes, gaps,
// a standing antenna, a $PDLMT file without a date, and the options' warning without code C.
#include "positioning/reading_track.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/files.hpp"
#include "core/line_reader.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::lines_of;
using testing::read_file;
using testing::run_quillet_process;
using testing::TempDir;

// An 83-column T$ line (time stamp with milliseconds), or a 58-column one without them.
std::string t_line(const char* hhmmss, int ms, int station) {
  char text[128];
  if (ms < 0) {
    std::snprintf(text, sizeof text, " T$%s %6d CONV %6d%6d%6d%6d%6d%6d", hhmmss, station, 0, 0,
                  250, 37, 273, -25);
  } else {
    std::snprintf(text, sizeof text, " T$%s %03d %6d CONV %6d%6d%6d%6d%6d%6d %5d %5d %4d%4d",
                  hhmmss, ms, station, 0, 0, 250, 37, 273, -25, 12710, 29690, 3, -5);
  }
  return text;
}

// A G$ line with a good fix at `north_m` metres north of 52 N, 5 E.
std::string g_line(const char* hhmmss, double north_m, int quality = 4) {
  const double minutes = north_m / 1852.0;
  char body[128];
  std::snprintf(body, sizeof body, "GPGGA,%s.00,52%010.7f,N,00500.0000000,E,%d,12,0.7,10.0,M,,M,,",
                hhmmss, minutes, quality);
  int sum = 0;
  for (const char* c = body; *c != '\0'; ++c) sum ^= static_cast<unsigned char>(*c);
  char line[160];
  std::snprintf(line, sizeof line, " G$%s*%02X", body, sum);
  return line;
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> out;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, ',')) out.push_back(field);
  if (!line.empty() && line.back() == ',') out.emplace_back();
  return out;
}

// The rows of a CSV file as maps from column name to text.
std::vector<std::map<std::string, std::string>> rows_of(const std::string& path) {
  const auto lines = lines_of(read_file(path));
  std::vector<std::map<std::string, std::string>> rows;
  if (lines.empty()) return rows;
  const auto names = split(lines[0]);
  for (std::size_t r = 1; r < lines.size(); ++r) {
    const auto fields = split(lines[r]);
    std::map<std::string, std::string> row;
    for (std::size_t k = 0; k < names.size() && k < fields.size(); ++k) row[names[k]] = fields[k];
    rows.push_back(row);
  }
  return rows;
}

std::string survey(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::vector<std::map<std::string, std::string>> run_c(const std::vector<std::string>& lines,
                                                      const std::string& csv,
                                                      std::vector<std::string> options = {}) {
  const TempDir dir;
  dir.write("s.raw", survey(lines));
  options.insert(options.begin(), "--batch");
  options.push_back("s.raw");
  options.push_back("C");
  const auto result = run_quillet_process(options, "", dir.path());
  EXPECT_EQ(result.status, 0) << result.console;
  return rows_of(dir.file(csv));
}

TEST(ReadingTimes, DatesRollOverMidnightAndOneDamagedStampMovesNoLaterDate) {
  // Each G$ line is logged between the readings at .000 and .500 of its second: the logger clock
  // is 0.25 s ahead of GPS time. The fourth reading's stamp is damaged.
  const auto rows =
      run_c({" H$235958 MIDNIGHT 991231 1", " C$000000 VELTOR-1   SN1107 SW VERSION 4.1a",
             t_line("235959", 0, 1), g_line("235959", 0.0), t_line("235959", 500, 2),
             t_line("000000", 0, 3), g_line("000000", 1.0), t_line("030000", 0, 4),
             t_line("000000", 500, 5), t_line("000001", 0, 6), g_line("000001", 2.0),
             t_line("000001", 500, 7), t_line("000002", 0, 8), g_line("000002", 3.0),
             t_line("000002", 500, 9), " Z$"},
            "MIDNIGHT.csv");
  ASSERT_EQ(rows.size(), 9u);
  const char* expected[] = {
      "1999-12-31T23:59:59.000", "1999-12-31T23:59:59.500", "2000-01-01T00:00:00.000",
      "2000-01-01T03:00:00.000", "2000-01-01T00:00:00.500", "2000-01-01T00:00:01.000",
      "2000-01-01T00:00:01.500", "2000-01-01T00:00:02.000", "2000-01-01T00:00:02.500"};
  for (std::size_t k = 0; k < rows.size(); ++k) EXPECT_EQ(rows[k].at("datetime"), expected[k]);
  // GPS time, back over midnight; the fixes' times unwrapped there.
  EXPECT_EQ(rows[2].at("utc"), "1999-12-31T23:59:59.750Z");
  EXPECT_EQ(rows[2].at("position"), "interpolated");
  EXPECT_EQ(rows[2].at("fix_age_s"), "0.75");
  EXPECT_NEAR(std::stod(rows[2].at("latitude")), 52.0 + 0.75 / 1852.0 / 60.0, 1e-9);
  EXPECT_EQ(rows[5].at("utc"), "2000-01-01T00:00:00.750Z");
  EXPECT_EQ(rows[5].at("position"), "interpolated");
  // The damaged reading lies beyond every fix: it holds the last one.
  EXPECT_EQ(rows[3].at("position"), "held");
  EXPECT_EQ(rows[8].at("position"), "held");
}

TEST(ReadingTimes, ReadingsSharingAStampAreSpreadOverTheirSecond) {
  const auto rows =
      run_c({" H$100000 SHARED01 050611 1", " C$000000 VELTOR-1   SN1107 SW VERSION 4.1a",
             t_line("100001", -1, 1), t_line("100001", -1, 2), t_line("100001", -1, 3),
             t_line("100001", -1, 4), t_line("100002", -1, 5), " Z$"},
            "SHARED01.csv");
  ASSERT_EQ(rows.size(), 5u);
  const char* expected[] = {"2005-06-11T10:00:01.125", "2005-06-11T10:00:01.375",
                            "2005-06-11T10:00:01.625", "2005-06-11T10:00:01.875",
                            "2005-06-11T10:00:02.500"};
  for (std::size_t k = 0; k < rows.size(); ++k) {
    EXPECT_EQ(rows[k].at("datetime"), expected[k]);
    EXPECT_EQ(rows[k].at("time"), k < 4 ? "10:00:01.000" : "10:00:02.000");  // as before
    EXPECT_EQ(rows[k].at("position"), "none");
    EXPECT_EQ(rows[k].at("utc"), "");
  }
}

TEST(ReadingPositions, ALoggerFileWithoutFixesNeverTakesThoseOfTheFileBefore) {
  const TempDir dir;
  dir.write("s.raw",
            survey({" H$100000 FIRST001 260611 1", g_line("100000", 0.0), t_line("100000", 500, 1),
                    g_line("100001", 1.0), t_line("100001", 500, 2), g_line("100002", 2.0),
                    " H$100500 SECOND01 260611 1", t_line("100501", 0, 3), t_line("100502", 0, 4),
                    " Z$"}));
  ASSERT_EQ(run_quillet_process({"--batch", "s.raw", "C"}, "", dir.path()).status, 0);
  const auto first = rows_of(dir.file("FIRST001.csv"));
  const auto second = rows_of(dir.file("SECOND01.csv"));
  ASSERT_EQ(first.size(), 2u);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(first[0].at("position"), "interpolated");
  EXPECT_EQ(first[1].at("position"), "interpolated");
  for (const auto& row : second) {
    EXPECT_EQ(row.at("position"), "none");
    EXPECT_EQ(row.at("x"), "");
    EXPECT_EQ(row.at("utc"), "");
    EXPECT_EQ(row.at("datetime").substr(0, 11), "2026-06-11T");
  }
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "FIRST001.prj"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "SECOND01.prj"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "SECOND01.csvt"));
}

// Fixes 3 s apart along a line walked north at 1 m/s, each G$ line logged between readings
// 2 ms apart (the logger clock 1 ms ahead), and readings between them.
std::vector<std::string> sparse_fixes() {
  return {" H$100000 SPARSE01 260611 1",
          t_line("100000", 0, 1),
          g_line("100000", 0.0),
          t_line("100000", 2, 2),
          t_line("100001", 500, 3),
          t_line("100003", 0, 4),
          g_line("100003", 3.0),
          t_line("100003", 2, 5),
          t_line("100004", 500, 6),
          t_line("100006", 0, 7),
          g_line("100006", 6.0),
          t_line("100006", 2, 8),
          " Z$"};
}

TEST(ReadingPositions, TheLongestGapDecidesBetweenInterpolatedAndHeld) {
  const auto held = run_c(sparse_fixes(), "SPARSE01.csv");
  ASSERT_EQ(held.size(), 8u);
  EXPECT_EQ(held[2].at("position"), "held");
  EXPECT_EQ(held[2].at("fix_age_s"), "1.499");
  const auto interpolated = run_c(sparse_fixes(), "SPARSE01.csv", {"--max-gap=3.5"});
  EXPECT_EQ(interpolated[2].at("position"), "interpolated");
  // Halfway between the fixes 0 m and 3 m north, on a straight line at constant pace.
  EXPECT_NEAR(std::stod(interpolated[2].at("latitude")), 52.0 + 1.499 / 1852.0 / 60.0, 1e-9);
  EXPECT_EQ(interpolated[0].at("position"), "none");  // a millisecond before the first fix
  EXPECT_NEAR(std::stod(interpolated[2].at("y")) - std::stod(interpolated[1].at("y")), 1.497, 0.01);
  // The antenna 1 m ahead: every interpolated position moves 1 m south, towards the sensor.
  const auto offset = run_c(sparse_fixes(), "SPARSE01.csv", {"--max-gap=3.5", "--gps-offset=1"});
  EXPECT_EQ(offset[2].at("position"), "interpolated");
  EXPECT_NEAR(std::stod(interpolated[2].at("latitude")) - std::stod(offset[2].at("latitude")),
              1.0 / 111268.0, 1e-9);  // a metre of meridian at 52 degrees
  EXPECT_EQ(offset[2].at("longitude"), interpolated[2].at("longitude"));
  // On the grid the same metre, turned by the meridian convergence (1.6 degrees here).
  EXPECT_NEAR(std::hypot(std::stod(interpolated[2].at("x")) - std::stod(offset[2].at("x")),
                         std::stod(interpolated[2].at("y")) - std::stod(offset[2].at("y"))),
              1.0, 0.001);
  // After the last fix nothing is interpolated, and held readings are never moved.
  EXPECT_EQ(offset[7].at("position"), "held");
  EXPECT_EQ(offset[7].at("y"), interpolated[7].at("y"));
}

TEST(ReadingPositions, AStandingAntennaHasNoHeadingToCorrectAlong) {
  const auto rows =
      run_c({" H$100000 STANDING 260611 1", g_line("100000", 5.0), t_line("100000", 500, 1),
             g_line("100001", 5.05), t_line("100001", 500, 2), g_line("100002", 5.1), " Z$"},
            "STANDING.csv", {"--gps-offset=1.0,0.5"});
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) EXPECT_EQ(row.at("position"), "uncorrected");
}

TEST(ReadingPositions, APdlmtFileWithoutHeaderHasNoDateButPositions) {
  auto pdlmt = [](const char* hhmmss) {
    char text[128];
    std::snprintf(text, sizeof text, "$PDLMT,%s %7d %7d %7d %7d %7d %7d %5d %5d %6d %6d CONV",
                  hhmmss, 365, 240, -229, 308, 0, 0, 12350, 30105, -439, -368);
    return std::string(text);
  };
  const auto rows = run_c({g_line("150500", 0.0), pdlmt("150500"), g_line("150501", 1.0),
                           pdlmt("150501"), g_line("150502", 2.0), " Z$"},
                          "s.CSV");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("datetime"), "");
  EXPECT_EQ(rows[0].at("utc"), "");
  EXPECT_EQ(rows[0].at("position"), "interpolated");
  EXPECT_FALSE(rows[0].at("latitude").empty());
}

TEST(ReadingPositions, TheOptionsWithoutCodeCWarnOnce) {
  const TempDir dir;
  dir.write("s.raw", survey(sparse_fixes()));
  const auto result = run_quillet_process(
      {"--batch", "--gps-offset=1", "--max-gap=3", "s.raw", "XG"}, "", dir.path());
  EXPECT_EQ(result.status, 0);
  std::size_t warnings = 0;
  for (const std::string& line : lines_of(result.console)) {
    if (line.find("apply to code C only") != std::string::npos) ++warnings;
  }
  EXPECT_EQ(warnings, 1u) << result.console;
  const auto with_c =
      run_quillet_process({"--batch", "--gps-offset=1", "s.raw", "XC"}, "", dir.path());
  EXPECT_EQ(with_c.console.find("apply to code C only"), std::string::npos);
}

// The track's scan of the input against the plain loop (every line read, then worth_loading):
// lines of every kind and length around the scan's 16-byte steps and the buffer's refills, "H$"
// ending at the 120th, 121st and 122nd column and across a step, marker letters in the first
// three columns, empty lines, a line longer than the buffer, no line end at the end; with line
// feeds, carriage returns and both.
TEST(TrackLines, TheScanTakesTheLinesThatTheLineLoopTakes) {
  std::mt19937 rng(31);
  const std::vector<std::string> pieces = {
      " D$", "D$", " X$", "$PDLMT",          " G$", "H$", "xH$", "H", "$", "\r", "  ", "Z$", " C$",
      "T$",  "N$", "S$",  "abcdefghijklmnop"};
  std::string lines;
  for (int line = 0; line < 4000; ++line) {
    std::string text;
    if (line % 7 == 0) {
      text = std::string(117 + rng() % 5, ' ') + "H$";
    } else {
      for (auto parts = rng() % 12; parts > 0; --parts) text += pieces[rng() % pieces.size()];
    }
    lines += text + '\n';
  }
  lines += std::string(5000, 'q') + "H$\n D$ the last line, without its end";
  for (const std::string ending : {"\n", "\r\n", "\r"}) {
    std::string text;
    for (const char c : lines) text += c == '\n' ? ending : std::string(1, c);
    const TempDir dir;
    const std::string path = dir.write("lines.raw", text);
    for (const std::size_t buffer : {std::size_t{1} << 18, std::size_t{256}}) {
      using Taken = std::vector<std::tuple<std::int32_t, std::string, bool>>;
      Taken plain, scanned;
      InputFile a(buffer, buffer / 4), b(buffer, buffer / 4);
      ASSERT_TRUE(a.open(path) && b.open(path));
      std::int32_t number = 0;
      std::string_view raw;
      bool mark = false;
      while (read_next_raw_line(a, number, raw) == Flow::NextLine) {
        if (reading_track_detail::worth_loading(raw, mark)) {
          plain.emplace_back(number, std::string(raw), mark);
        }
      }
      number = 0;
      while (reading_track_detail::next_worth_loading(b, number, raw, mark)) {
        scanned.emplace_back(number, std::string(raw), mark);
      }
      EXPECT_GT(plain.size(), 2000u);
      EXPECT_EQ(scanned, plain) << "buffer " << buffer << ", line end " << ending.size();
    }
  }
}

}  // namespace
}  // namespace quillet
