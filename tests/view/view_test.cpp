// quillet-view: recognising the transcribed files, the drawing arithmetic, the page and the
// command line. The files recognised are the checked expected outputs of the test cases, one of
// every type and packet kind the program writes.
#include <gtest/gtest.h>

#include <cmath>
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
  // The Geosoft labels name the arrays by their spacing digit.
  EXPECT_EQ(s.channels[8].name, "HC4");
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
