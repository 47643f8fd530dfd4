// quillet-view: recognising the transcribed files, the drawing arithmetic, the page and the
// command line. The files recognised are the checked expected outputs of the test cases, one of
// every type and packet kind the program writes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/layout.hpp"
#include "support/e2e.hpp"
#include "view/cli.hpp"
#include "view/page.hpp"
#include "view/plot.hpp"
#include "view/record_layouts.hpp"
#include "view/survey.hpp"

namespace quillet::view {
namespace {

using testing::read_file;
using testing::TempDir;

std::string case_file(const std::string& name) {
  return std::string(QUILLET_SOURCE_DIR) + "/tests/cases/" + name;
}

TEST(ViewRecognition, EveryTypePacketKindAndArrayCountOfTheCases) {
  struct Expected {
    const char* file;
    FileType type;
    RecordFamily family;
    int arrays;
    std::size_t readings;
  };
  const Expected cases[] = {
      {"t_packets_xyz/out/Default.xyz", FileType::SimpleXyz, RecordFamily::T, 1, 5},
      {"comments_per_run/out/SURVEY01.log", FileType::Log, RecordFamily::T, 1, 1},
      {"pdlmt_log_and_xyz/out/Default.xyz", FileType::SimpleXyz, RecordFamily::Pdlmt, 1, 4},
      {"pdlmt_log_and_xyz/out/line7.LOG", FileType::Log, RecordFamily::Pdlmt, 1, 4},
      {"pdlmt_other_codes/out/line7.XYZ", FileType::Geosoft, RecordFamily::T, 1, 2},
      {"dx_version0/out/g/LINEA1.xyz", FileType::Geosoft, RecordFamily::DX, 1, 4},
      {"dx_two_arrays/out/LINED1.xyz", FileType::SimpleXyz, RecordFamily::DX, 2, 2},
      {"dx_two_arrays/out/LINED1.log", FileType::Log, RecordFamily::DX, 2, 2},
      {"dx_two_arrays/out/g/LINED1.xyz", FileType::Geosoft, RecordFamily::DX, 2, 2},
      {"dx_three_arrays/out/LINEC1.xyz", FileType::SimpleXyz, RecordFamily::DX, 3, 4},
      {"dx_three_arrays/out/LINEC1.log", FileType::Log, RecordFamily::DX, 3, 4},
      {"dx_three_arrays/out/g/LINEC1.xyz", FileType::Geosoft, RecordFamily::DX, 3, 4},
      {"n_packets_one_array/out/x/NARRAY01.xyz", FileType::SimpleXyz, RecordFamily::N, 1, 4},
      {"n_packets_one_array/out/g/NARRAY01.xyz", FileType::Geosoft, RecordFamily::N, 1, 4},
      {"n_packets_two_arrays/out/x/NARRAY02.xyz", FileType::SimpleXyz, RecordFamily::N, 2, 2},
      {"n_packets_two_arrays/out/g/NARRAY02.xyz", FileType::Geosoft, RecordFamily::N, 2, 2},
  };
  for (const Expected& e : cases) {
    SCOPED_TRACE(e.file);
    Survey s;
    std::string error;
    ASSERT_EQ(load_survey(case_file(e.file), s, error), LoadStatus::Ok) << error;
    EXPECT_EQ(s.type, e.type);
    EXPECT_EQ(s.arrays, e.arrays);
    EXPECT_EQ(s.readings(), e.readings);
    EXPECT_EQ(s.family_records[static_cast<int>(e.family)], e.readings);
    EXPECT_EQ(s.unfit_records, 0u);
    EXPECT_EQ(s.channels.size(), static_cast<std::size_t>(4 * e.arrays));
  }
}

TEST(ViewRecognition, ValuesLabelsAndMissingFields) {
  Survey s;
  std::string error;
  ASSERT_EQ(load_survey(case_file("dx_three_arrays/out/g/LINEC1.xyz"), s, error), LoadStatus::Ok);
  // The Geosoft labels tell the spacing of each array; the channel keeps its array's number.
  EXPECT_EQ(s.channels[8].name, "HC3");
  EXPECT_EQ(s.channels[8].description(), "HCP conductivity, array 3, 4 m");
  EXPECT_EQ(s.channels[1].description(), "HCP in-phase, array 1, 1 m");
  EXPECT_EQ(s.channels[9].unit, "ppt");
  EXPECT_EQ(s.logger_files, std::vector<std::string>{"LINEC1"});
  EXPECT_FLOAT_EQ(s.values[0][0], 123.40f);  // HC1 of station 10
  EXPECT_FLOAT_EQ(s.values[11][0], 1.10f);   // PI4
  EXPECT_FLOAT_EQ(s.values[1][3], -2.53f);   // HI1 of station 13
  EXPECT_EQ(s.line[3], 2);
  EXPECT_DOUBLE_EQ(s.time_s[0], 11 * 3600 + 1.150);

  // A field of asterisks is a missing value, not a foreign record; a number whose point stands
  // one column off is no record of the layout.
  TempDir dir;
  const std::string good =
      "    10     1   123.40    -2.50   110.00     3.10 1 11  0  1.150 12.500  298.1    0  "
      "45.00 -45.00            0    0.000000     0.000000     0.0  0";
  std::string stars = good;
  stars.replace(12, 9, "*********");
  std::string shifted = good;
  shifted.replace(12, 9, "   123.4 ");
  const std::string path = dir.write("mixed.xyz", good + "\n" + stars + "\r\n" + shifted + "\n");
  ASSERT_EQ(load_survey(path, s, error), LoadStatus::Ok) << error;
  EXPECT_EQ(s.type, FileType::SimpleXyz);
  ASSERT_EQ(s.readings(), 2u);
  EXPECT_TRUE(std::isnan(s.values[0][1]));
  EXPECT_FLOAT_EQ(s.values[1][1], -2.50f);
  EXPECT_EQ(s.unfit_records, 1u);
  EXPECT_EQ(s.first_unfit_line, 3u);
}

TEST(ViewRecognition, ForeignAndEmptyFilesAreErrorsThatNameTheFile) {
  TempDir dir;
  Survey s;
  std::string error;
  const std::string raw = dir.write("survey.raw", "\n H$090000 SURVEY01 240115 1\n T$ 1 2 3\n");
  EXPECT_EQ(load_survey(raw, s, error), LoadStatus::NotASurvey);
  EXPECT_NE(error.find(raw), std::string::npos) << error;
  EXPECT_NE(error.find("the first line is: H$090000 SURVEY01 240115 1"), std::string::npos)
      << error;
  EXPECT_EQ(load_survey(dir.write("empty.xyz", ""), s, error), LoadStatus::NotASurvey);
  EXPECT_NE(error.find("empty"), std::string::npos);
  EXPECT_EQ(load_survey(dir.file("missing.xyz"), s, error), LoadStatus::Unreadable);
  EXPECT_EQ(load_survey(dir.path().string(), s, error), LoadStatus::Unreadable);
  EXPECT_NE(error.find("cannot be read (Is a directory)"), std::string::npos) << error;

  std::ostringstream out, err;
  EXPECT_EQ(view_main({raw}, out, err), ViewStatus::NotASurvey);
  EXPECT_NE(err.str().find("survey.raw"), std::string::npos);
  EXPECT_EQ(view_main({}, out, err), ViewStatus::Usage);
  EXPECT_EQ(view_main({raw, "--bogus"}, out, err), ViewStatus::Usage);
  std::ostringstream help;
  EXPECT_EQ(view_main({"--help"}, help, err), ViewStatus::Ok);
  EXPECT_NE(help.str().find("Usage: quillet-view FILE [-o PAGE.html]"), std::string::npos);
}

// Simple XYZ records of array 1 written by the format engine itself.
std::string xyz_record(int station, int line, double seconds_of_day, int comment, int gps_ms,
                       double lat, double lon, int quality, float hc) {
  static const Layout kXyzT(
      "(I6, I6, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, 1X, F12.6, "
      "1X, F7.1, 1X, I2)");
  const double t = std::fmod(seconds_of_day, 86400.0);
  const auto hour = static_cast<std::int32_t>(t / 3600);
  const auto minute = static_cast<std::int32_t>(std::fmod(t, 3600) / 60);
  const auto second = static_cast<float>(std::fmod(t, 60));
  std::string record;
  kXyzT.write(record, {station, line,   hc,      -2.5f, 110.0f, 3.1f,   1,   hour, minute, second,
                       12.5f,   298.1f, comment, 1.0f,  -1.0f,  gps_ms, lat, lon,  245.0f, quality},
              1);
  return record;
}

TEST(ViewSurvey, FreshFixCommentsLinesAndMidnight) {
  // One reading a second from 23:59:50: no position for three readings, then a fix whose GPS
  // time stops moving after reading 6 (it is old from reading 12 on, more than 5 s later).
  std::string text;
  for (int i = 0; i < 16; ++i) {
    const bool placed = i >= 3;
    const int gps_ms = placed ? 1000 * std::min(i, 6) : 0;
    text += xyz_record(i, i < 8 ? 1 : 2, 86390.0 + i, i == 4 || i == 5 ? 7 : (i == 9 ? 8 : 0),
                       gps_ms, placed ? 52.0 + i * 1e-5 : 0.0, placed ? 5.66 : 0.0, placed ? 4 : 0,
                       30.0f + static_cast<float>(i)) +
            "\n";
  }
  TempDir dir;
  Survey s;
  std::string error;
  ASSERT_EQ(load_survey(dir.write("fix.xyz", text), s, error), LoadStatus::Ok) << error;
  ASSERT_EQ(s.readings(), 16u);
  const std::vector<std::uint8_t> fresh = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0};
  EXPECT_EQ(s.fresh_fix, fresh);
  EXPECT_TRUE(std::isnan(s.latitude[2]));
  EXPECT_NEAR(s.latitude[3], 52.00003, 1e-9);
  // A number held over several records is one comment.
  ASSERT_EQ(s.comments.size(), 2u);
  EXPECT_EQ(s.comments[0].reading, 4u);
  EXPECT_EQ(s.comments[1].number, 8);
  // Past midnight the time goes on counting.
  EXPECT_DOUBLE_EQ(s.time_s[15], 86405.0);
  EXPECT_EQ(s.line[8], 2);

  const std::string page = render_page(s, "quillet-view test");
  // Self-contained: nothing is fetched from anywhere.
  for (const char* outside : {"http:", "https:", "src=", "@import", "<script", "href="}) {
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  }
  EXPECT_NE(page.find("data-region=\"map\""), std::string::npos);
  EXPECT_NE(page.find("data-region=\"profile\""), std::string::npos);
}

TEST(ViewSurvey, ArraysMetLaterAreMissingInTheReadingsBefore) {
  static const Layout kXyzT(
      "(I6, I6, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, 1X, F12.6, "
      "1X, F7.1, 1X, I2)");
  std::string text, record;
  for (int arrays : {1, 1, 3}) {
    std::vector<Out> v = {Out(arrays), Out(1)};
    for (int c = 0; c < 4 * arrays; ++c) v.emplace_back(static_cast<float>(10 * arrays + c));
    for (Out tail : {Out(1), Out(10), Out(0), Out(1.5f), Out(12.5f), Out(298.1f), Out(0), Out(1.0f),
                     Out(-1.0f), Out(0), Out(0.0), Out(0.0), Out(0.0f), Out(0)}) {
      v.push_back(tail);
    }
    kXyzT.write(record, v.data(), v.size(), arrays);
    text += record + "\n";
  }
  TempDir dir;
  Survey s;
  std::string error;
  ASSERT_EQ(load_survey(dir.write("arrays.xyz", text), s, error), LoadStatus::Ok) << error;
  EXPECT_EQ(s.arrays, 3);
  ASSERT_EQ(s.values.size(), 12u);
  for (const std::vector<float>& channel : s.values) EXPECT_EQ(channel.size(), 3u);
  EXPECT_FLOAT_EQ(s.values[3][1], 13.0f);
  EXPECT_TRUE(std::isnan(s.values[4][1]));
  EXPECT_FLOAT_EQ(s.values[11][2], 41.0f);
  EXPECT_TRUE(std::isnan(s.latitude[0]));  // quality 0: no position
}

// One record of each file type for array 1, and the same reading as a CSV file's row.
const std::string kXyzRecord =
    "    10     1   123.40    -2.50   110.00     3.10 1 11  0  1.150 12.500  298.1    0  "
    "45.00 -45.00            0    0.000000     0.000000     0.0  0";
const std::string kCsvHeader =
    "station,line,time,x,y,utm_zone,elevation,latitude,longitude,gps_quality,HCP1f9000h0.2,"
    "PRP1.1f9000h0.2,HCP1f9000h0.2_inph,PRP1.1f9000h0.2_inph,voltage,temperature,pitch,roll,"
    "comment";

TEST(ViewInput, OnlyRegularFilesAreOpenedAndLongLinesAreCut) {
  TempDir dir;
  const std::string fifo = dir.file("writerless.xyz");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Refused at once, and no page made: a FIFO without a writer would block the open.
  for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path().string()}) {
    SCOPED_TRACE(path);
    std::ostringstream out, err;
    const std::string page = dir.file("page.html");
    EXPECT_EQ(view_main({path, "-o", page}, out, err), ViewStatus::Io);
    EXPECT_NE(err.str().find("cannot be read ("), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(page));
  }
  // A line over 64 KiB fits no layout, whatever its start; the lines around it are read.
  const std::string long_line = kXyzRecord + std::string(70'000, ' ') + "x";
  Survey s;
  std::string error;
  const std::string path =
      dir.write("long.xyz", kXyzRecord + "\n" + long_line + "\n" + kXyzRecord + "\n" + long_line);
  ASSERT_EQ(load_survey(path, s, error), LoadStatus::Ok) << error;
  EXPECT_EQ(s.readings(), 2u);
  EXPECT_EQ(s.unfit_records, 2u);
  EXPECT_EQ(s.first_unfit_line, 2u);
  EXPECT_EQ(s.first_unfit_text, kXyzRecord.substr(4, 100));  // without its leading blanks
  // Up to the limit a line is read whole: a CSV row whose comment text fills it to 64 KiB.
  const std::string header = kCsvHeader + ",comment_text";
  const std::string row = "10,1,11:00:01.150,,,,,,,,123.4,110,-2.5,3.1,12.5,298.15,45,-45,1,";
  const std::string full = row + '"' + std::string(kMaxLineBytes - row.size() - 2, 'a') + '"';
  const std::string over = row + '"' + std::string(kMaxLineBytes - row.size() - 1, 'a') + '"';
  ASSERT_EQ(load_survey(dir.write("wide.csv", header + "\n" + full + "\n" + over + "\n" + full), s,
                        error),
            LoadStatus::Ok)
      << error;
  EXPECT_EQ(s.readings(), 2u);
  EXPECT_EQ(s.unfit_records, 1u);
  EXPECT_EQ(s.first_unfit_line, 3u);
}

TEST(ViewCli, ThePageNeverReplacesTheInputNorWritesThroughALink) {
  TempDir dir;
  const std::string input = dir.write("FIELD.xyz", kXyzRecord + "\n");
  std::filesystem::create_directory(dir.path() / "sub");
  std::filesystem::create_symlink(input, dir.path() / "alias.html");
  // The input however it is spelled: itself, through another folder, through a link.
  for (const std::string& page :
       {input, dir.file("sub/../FIELD.xyz"), dir.file("./FIELD.xyz"), dir.file("alias.html")}) {
    SCOPED_TRACE(page);
    std::ostringstream out, err;
    EXPECT_EQ(view_main({input, "-o", page}, out, err), ViewStatus::Io);
    EXPECT_NE(err.str().find("is the input file"), std::string::npos) << err.str();
    EXPECT_EQ(read_file(input), kXyzRecord + "\n");
  }
  // Nor the temporary the page is first written to: a leftover of that name would go.
  const std::string hidden = dir.write(".p.html.tmp", kXyzRecord + "\n");
  std::ostringstream out0, err0;
  EXPECT_EQ(view_main({hidden, "-o", dir.file("p.html")}, out0, err0), ViewStatus::Io);
  EXPECT_EQ(read_file(hidden), kXyzRecord + "\n");
  std::filesystem::remove(hidden);
  // A link planted at the page's name is replaced by the page; what it pointed to is untouched.
  const std::string victim = dir.write("victim", "keep me\n");
  std::filesystem::create_symlink(victim, input + ".html");
  std::ostringstream out, err;
  ASSERT_EQ(view_main({input}, out, err), ViewStatus::Ok) << err.str();
  EXPECT_EQ(read_file(victim), "keep me\n");
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(input + ".html")));
  EXPECT_NE(read_file(input + ".html").find("<!DOCTYPE html>"), std::string::npos);
  // Nothing else is left in the folder: no temporary beside the page.
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"FIELD.xyz", "FIELD.xyz.html", "alias.html",
                                                   "sub", "victim"}));
}

TEST(ViewCli, ControlBytesOfTheFileReachTheConsoleInCaretNotation) {
  TempDir dir;
  const std::string input = dir.write("odd.xyz", kXyzRecord + "\n\x1b]0;owned\x07 \x9b" + "2J\n");
  std::ostringstream out, err;
  ASSERT_EQ(view_main({input, "-o", dir.file("p.html")}, out, err), ViewStatus::Ok);
  EXPECT_NE(out.str().find("at line 2: ^[]0;owned^G \x9b"
                           "2J"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
  const std::string foreign = dir.write("foreign.xyz", "\x1b[31mred\n");
  EXPECT_EQ(view_main({foreign}, out, err), ViewStatus::NotASurvey);
  EXPECT_NE(err.str().find("the first line is: ^[[31mred"), std::string::npos) << err.str();
}

TEST(ViewCsv, ColumnsByNameTheirPositionStatesAndRowsThatDoNotFit) {
  // The columns of the positions work, after today's, with a comment text that holds commas and
  // quotes; the column order is the header's, whatever it is.
  const std::string header = kCsvHeader + ",position,fix_age_s,datetime,utc,comment_text";
  const std::string rows[] = {
      "1,7,23:59:59.500,,,,,,,,20,21,0.5,-0.5,12.5,298.15,1,-1,,none,,,,",
      "2,7,23:59:59.750,682532.2,5766308.8,31,14.2,52.01735,5.66012,2,20.5,21,0.5,-0.5,12.5,"
      "298.15,1,-1,3,interpolated,0.25,2025-06-11T23:59:59.750,2025-06-11T23:59:59.750Z,"
      "\"pipe, \"\"north\"\" end\"",
      "3,7,00:00:00.000,682533,5766309,31,14.2,52.01736,5.66013,2,21,21,0.5,-0.5,12.5,298.15,1,"
      "-1,,held,3.5,,,",
      "4,7,00:00:00.250,682533,5766309,31,14.2,52.01736,5.66013,2,21,21,0.5,-0.5,12.5,298.15,1,"
      "-1,,uncorrected,0.1,,,",
      "5,7,00:00:00.500,x,,,,,,,21,21,0.5,-0.5,12.5,298.15,1,-1,,none,,,,",  // x is no number
      "6,7,00:00:00.750,,,,,,,,21,21,0.5,-0.5,12.5,298.15,1,-1,,none,,,",    // a field short
      "7,7,00:00:01.000,,,,,,,,21,21,0.5,-0.5,12.5,298.15,1,-1,,none,,,,,",  // a field over
      "8,7,00:00:01.250,,,,,,,,21,21,0.5,-0.5,12.5,298.15,1,-1,,none,,,,\"open",
  };
  std::string text = header + "\r\n";
  for (const std::string& row : rows) text += row + "\r\n";
  TempDir dir;
  Survey s;
  std::string error;
  ASSERT_EQ(load_survey(dir.write("F.csv", text), s, error), LoadStatus::Ok) << error;
  EXPECT_EQ(s.type, FileType::Csv);
  EXPECT_EQ(s.fix_rule, FixRule::PositionColumn);
  ASSERT_EQ(s.readings(), 4u);
  EXPECT_EQ(s.unfit_records, 4u);
  EXPECT_EQ(s.first_unfit_line, 6u);
  EXPECT_EQ(s.fresh_fix, (std::vector<std::uint8_t>{0, 1, 0, 1}));
  EXPECT_TRUE(std::isnan(s.latitude[0]));
  EXPECT_DOUBLE_EQ(s.latitude[2], 52.01736);  // held: placed, not fresh
  EXPECT_FLOAT_EQ(s.values[0][1], 20.5f);     // HC1
  EXPECT_FLOAT_EQ(s.values[2][1], 21.0f);     // PC1: the PRP column comes second in a row
  EXPECT_FLOAT_EQ(s.values[3][1], -0.5f);     // PI1
  EXPECT_DOUBLE_EQ(s.time_s[2], 86400.0);     // past midnight
  ASSERT_EQ(s.comments.size(), 1u);
  EXPECT_EQ(s.comments[0].number, 3);
  EXPECT_EQ(s.channels[2].description(), "PRP conductivity, array 1, 1 m");

  // A header row alone says so; without the position column the position itself must move.
  EXPECT_EQ(load_survey(dir.write("E.csv", kCsvHeader + "\n"), s, error), LoadStatus::NotASurvey);
  EXPECT_NE(error.find("header row but no readings"), std::string::npos) << error;
  std::string still = kCsvHeader + "\n";
  for (int i = 0; i < 8; ++i) {
    still += std::to_string(i) + ",1,10:00:0" + std::to_string(i) +
             ".000,1,2,31,14,52.5,5.5,1,20,21,0.5,-0.5,12.5,298.15,1,-1,\n";
  }
  ASSERT_EQ(load_survey(dir.write("S.csv", still), s, error), LoadStatus::Ok) << error;
  EXPECT_EQ(s.fix_rule, FixRule::Position);
  EXPECT_EQ(s.fresh_fix, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1, 0, 0}));
}

TEST(ViewSurvey, OneSurveyTranscribedWithXGLAndCGivesTheSameChannelsOnEveryPage) {
  const std::string raw = std::string(QUILLET_SOURCE_DIR) + "/examples/three_arrays.raw";
  std::vector<Survey> surveys;
  for (const char* code : {"X", "G", "L", "C"}) {
    SCOPED_TRACE(code);
    TempDir dir;
    std::filesystem::copy_file(raw, dir.path() / "three_arrays.raw");
    const auto run = testing::run_quillet({dir.file("three_arrays.raw"), code, "0.2"});
    ASSERT_EQ(run.status, 0) << run.console;
    const std::string name = std::string("FIELD421.") + (code[0] == 'L'   ? "log"
                                                         : code[0] == 'C' ? "csv"
                                                                          : "xyz");
    Survey s;
    std::string error;
    ASSERT_EQ(load_survey(dir.file(name), s, error), LoadStatus::Ok) << error;
    EXPECT_EQ(s.unfit_records, 0u);
    const std::string page = render_page(s, "test");
    for (const char* shown : {"<b>HC3</b>", "<b>PI3</b>", "HCP conductivity, array 3"}) {
      EXPECT_NE(page.find(shown), std::string::npos) << shown;
    }
    EXPECT_EQ(page.find("HC4"), std::string::npos);
    surveys.push_back(std::move(s));
  }
  const Survey& x = surveys[0];
  for (const Survey& s : surveys) {
    ASSERT_EQ(s.channels.size(), 12u);
    ASSERT_EQ(s.readings(), x.readings());
    for (std::size_t c = 0; c < 12; ++c) {
      EXPECT_EQ(s.channels[c].name, x.channels[c].name);
      EXPECT_EQ(s.channels[c].unit, x.channels[c].unit);
      for (std::size_t i = 0; i < s.readings(); i += 7) {
        EXPECT_NEAR(s.values[c][i], x.values[c][i], 0.0051) << c << " " << i;
      }
    }
    // The C file places each reading between the fixes around it, the others on the last fix:
    // at most a second's walk (1.3 m, 1.2e-5 degree of latitude) apart.
    const double apart = &s == &surveys[3] ? 1.5e-5 : 1e-6;
    for (std::size_t i = 0; i < s.readings(); ++i) {
      ASSERT_EQ(std::isnan(s.latitude[i]), std::isnan(x.latitude[i])) << i;
      if (!std::isnan(x.latitude[i])) {
        EXPECT_NEAR(s.latitude[i], x.latitude[i], apart) << i;
      }
    }
    EXPECT_EQ(s.line, x.line);
  }
  // Where the file tells the spacing (the Geosoft labels, the CSV column names), the
  // descriptions say it, the same on both pages.
  for (std::size_t c = 0; c < 12; ++c) {
    EXPECT_EQ(surveys[1].channels[c].description(), surveys[3].channels[c].description());
    EXPECT_EQ(surveys[2].channels[c].spacing, "");
  }
  EXPECT_EQ(surveys[3].channels[11].description(), "PRP in-phase, array 3, 4 m");
}

// Runs quillet-view in a child process; its status, processor time and peak memory. Processor
// time rather than wall time: the machines that run the tests are shared.
struct ViewRun {
  int status = -1;
  double seconds = 0;
  long max_rss_kib = 0;
};

ViewRun run_view(const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::ostringstream out, err;
    ::_exit(static_cast<int>(view_main(args, out, err)));
  }
  int wstatus = 0;
  rusage usage{};
  ::wait4(pid, &wstatus, 0, &usage);
  ViewRun run;
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  run.seconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  run.max_rss_kib = usage.ru_maxrss;
  return run;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 10;  // the sanitizers' instrumentation
#else
constexpr double kSlowdown = 1;
#endif

TEST(ViewInput, AHugeLineAndManyLoggerNamesTakeLittleTimeAndMemory) {
  TempDir dir;
  const std::string small = dir.write("small.xyz", kXyzRecord + "\n");
  const std::string huge = dir.file("huge.xyz");
  {
    std::ofstream out(huge, std::ios::binary);
    out << kXyzRecord << "\n";
    const std::string block(1 << 20, 'x');
    for (int k = 0; k < 200; ++k) out << block;
    out << "\n" << kXyzRecord << "\n";
  }
  // A Geosoft file of 120,000 logger files of one record each.
  const std::string geosoft = dir.file("names.xyz");
  {
    std::ofstream out(geosoft, std::ios::binary);
    const std::string record =
        "    10 B     1 A   123.40    -2.50   110.00     3.10 1  9  5  1.000  0.000    0.0    0"
        "   0.00   0.00            0    0.000000     0.000000     0.0  0\n";
    for (int k = 0; k < 120'000; ++k) {
      out << "\\Veltor Filename is N" << k << ".xyz\n\\..STN.SP.LINE.LP.HC1-mS/m.HI1-ppt.PC1-mS/m.."
          << "PI1-ppt..N\n"
          << record;
    }
  }
  const ViewRun base = run_view({small, "-o", dir.file("small.html")});
  ASSERT_EQ(base.status, 0);
  const ViewRun line = run_view({huge, "-o", dir.file("huge.html")});
  EXPECT_EQ(line.status, 0);
  EXPECT_LT(line.seconds, 2 * kSlowdown);
  EXPECT_LT(line.max_rss_kib, base.max_rss_kib + 16 * 1024);  // a 200 MB line is not held
  const ViewRun names = run_view({geosoft, "-o", dir.file("names.html")});
  EXPECT_EQ(names.status, 0);
  EXPECT_LT(names.seconds, 2 * kSlowdown);
  EXPECT_LT(names.max_rss_kib, 200 * 1024);
  Survey s;
  std::string error;
  ASSERT_EQ(load_survey(geosoft, s, error), LoadStatus::Ok);
  EXPECT_EQ(s.logger_files.size(), 120'000u);
  EXPECT_EQ(s.readings(), 120'000u);
}

TEST(ViewPlot, ScalesAndTicks) {
  const LinearScale x{0.0, 200.0, 64.0, 1124.0};
  EXPECT_DOUBLE_EQ(x(0.0), 64.0);
  EXPECT_DOUBLE_EQ(x(200.0), 1124.0);
  EXPECT_DOUBLE_EQ(x(50.0), 329.0);
  const LinearScale y{-5.0, 5.0, 112.0, 20.0};  // pixels grow downwards
  EXPECT_DOUBLE_EQ(y(5.0), 20.0);
  EXPECT_DOUBLE_EQ(y(0.0), 66.0);
  EXPECT_DOUBLE_EQ((LinearScale{3.0, 3.0, 0.0, 10.0}(3.0)), 5.0);

  double step = 0;
  EXPECT_EQ(nice_ticks(0.0, 97.0, 5, step), (std::vector<double>{0, 20, 40, 60, 80}));
  EXPECT_DOUBLE_EQ(step, 20.0);
  const std::vector<double> small = nice_ticks(-2.77, -0.14, 4, step);
  EXPECT_DOUBLE_EQ(step, 0.5);
  EXPECT_EQ(small, (std::vector<double>{-2.5, -2.0, -1.5, -1.0, -0.5}));
  EXPECT_EQ(tick_label(-2.5, 0.5), "\u22122.5");
  EXPECT_EQ(tick_label(0.0, 0.5), "0");
  EXPECT_EQ(tick_label(1200.0, 200.0), "1200");
  // Far from zero the ticks stay on their round values.
  const std::vector<double> far = nice_ticks(1e6, 1e6 + 0.3, 3, step);
  ASSERT_EQ(far.size(), 4u);
  EXPECT_EQ(tick_label(far[3], step), "1000000.3");
}

TEST(ViewPlot, ViridisEndsMiddleAndRisingLightness) {
  EXPECT_EQ(hex(viridis(0.0)), "#440154");
  EXPECT_EQ(hex(viridis(0.5)), "#21918c");
  EXPECT_EQ(hex(viridis(1.0)), "#fde725");
  EXPECT_EQ(viridis(-3.0), viridis(0.0));
  EXPECT_EQ(viridis(7.0), viridis(1.0));
  EXPECT_EQ(viridis(std::nan("")), viridis(0.0));
  // Lightness rises all the way, so the order of the values reads in grey too.
  double previous = -1;
  for (int k = 0; k <= 40; ++k) {
    const Rgb c = viridis(k / 40.0);
    const double luma = 0.2126 * c.r + 0.7152 * c.g + 0.0722 * c.b;
    EXPECT_GT(luma, previous) << k;
    previous = luma;
  }
}

TEST(ViewPlot, ThinningKeepsEveryColumnsExtremesInOrder) {
  std::mt19937 random(18);
  std::normal_distribution<float> noise(30.0f, 2.0f);
  std::vector<float> values(128000);  // 128 readings a column
  for (float& v : values) v = noise(random);
  values[4321] = 500.0f;  // a spike of one reading
  values[77777] = -80.0f;
  values[10] = std::nanf("");
  const double columns_per_reading = 1000.0 / static_cast<double>(values.size());
  std::vector<ThinPoint> points;
  thin_min_max(values, 0, values.size(), columns_per_reading, points);
  EXPECT_LE(points.size(), 2000u);
  for (std::size_t p = 1; p < points.size(); ++p) EXPECT_LT(points[p - 1].index, points[p].index);
  // Per column: the kept points are that column's minimum and maximum.
  for (int column = 0; column < 1000; ++column) {
    float lo = INFINITY, hi = -INFINITY;
    for (std::size_t i = column * 128u; i < (column + 1) * 128u; ++i) {
      if (std::isfinite(values[i])) {
        lo = std::min(lo, values[i]);
        hi = std::max(hi, values[i]);
      }
    }
    float kept_lo = INFINITY, kept_hi = -INFINITY;
    for (const ThinPoint& p : points) {
      if (p.index / 128 != static_cast<std::size_t>(column)) continue;
      kept_lo = std::min(kept_lo, p.value);
      kept_hi = std::max(kept_hi, p.value);
    }
    ASSERT_EQ(kept_lo, lo) << column;
    ASSERT_EQ(kept_hi, hi) << column;
  }
  // Fewer readings than columns: every reading stays.
  points.clear();
  thin_min_max(values, 11, 61, 10.0, points);
  EXPECT_EQ(points.size(), 50u);
  double lo = 0, hi = 0;
  ASSERT_TRUE(quantile_range(values, 0.02, 0.98, lo, hi));
  EXPECT_GT(lo, 20.0);  // the spikes do not set the colour range
  EXPECT_LT(hi, 40.0);
}

}  // namespace
}  // namespace quillet::view
