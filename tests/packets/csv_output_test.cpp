// The CSV file of code C, checked against what other programs make of the same survey: the XYZ
// file of an X run on the same raw file (parsed here), GeographicLib's GeoConvert for the UTM
// positions, and GDAL's CSV driver as a GIS reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::lines_of;
using testing::read_file;
using testing::run_quillet_process;
using testing::TempDir;

const fs::path kSource = QUILLET_SOURCE_DIR;

struct Survey {
  fs::path raw;
  std::string keyboard;  // the height prompt, and the length code of a file without header lines
  std::vector<std::string> extra_args;
};

const Survey kGps421{kSource / "tests/packets/csv/dx_gps.raw", "/\n", {}};
const Survey kT1{kSource / "examples/t_packets.raw", "/\n", {}};
// No header line: the first reading comes before its spacings are known, so its file is continued
// by one with the spacings of the length code typed at the prompt.
const Survey kTPrompted{kSource / "tests/cases/t_packets_xyz/in/survey.raw", "/\n1\n", {}};
const Survey kN21{kSource / "tests/cases/n_packets_two_arrays/in/x/survey.raw", "/\n", {}};
const Survey kProto620{kSource / "tests/cases/dx_prototype_620/in/survey.raw", "/\n", {"0.35"}};

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, separator)) fields.push_back(field);
  if (!line.empty() && line.back() == separator) fields.emplace_back();
  return fields;
}

std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

// Runs `code` on a copy of the survey in a folder of its own; returns the paths of the main
// files with the extension `ext` in the order they were written: the one file of the logger file,
// then the files that continue it under the names NAME-2, NAME-3, ...
std::vector<fs::path> main_files(const Survey& survey, const std::string& code,
                                 const std::string& ext, const TempDir& dir) {
  fs::copy_file(survey.raw, dir.path() / "survey.raw");
  std::vector<std::string> args{"survey.raw", code};
  args.insert(args.end(), survey.extra_args.begin(), survey.extra_args.end());
  const auto result = run_quillet_process(args, survey.keyboard, dir.path());
  EXPECT_EQ(result.status, 0) << result.console;
  std::vector<fs::path> found;
  std::size_t files = 0;
  const std::regex continuation(".*-[0-9]+");
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    if (entry.path().extension() != ext) continue;
    ++files;
    const std::string stem = entry.path().stem().string();
    if (!std::regex_match(stem, continuation)) found.push_back(entry.path());
  }
  if (found.size() != 1) {
    ADD_FAILURE() << found.size() << " first files " << ext << " after code " << code;
    return {};
  }
  const fs::path first = found[0];
  for (int n = 2;; ++n) {
    const fs::path next = dir.path() / (first.stem().string() + "-" + std::to_string(n) + ext);
    if (!fs::exists(next)) break;
    found.push_back(next);
  }
  EXPECT_EQ(found.size(), files) << "a continuation file is missing";
  return found;
}

// The lines of the one main file with the extension `ext`.
std::vector<std::string> main_file_lines(const Survey& survey, const std::string& code,
                                         const std::string& ext, const TempDir& dir) {
  const auto files = main_files(survey, code, ext, dir);
  if (files.size() != 1) {
    ADD_FAILURE() << files.size() << " files " << ext << " after code " << code;
    return {};
  }
  return lines_of(read_file(files[0].string()));
}

// What a CSV user's parser makes of a field: empty, or a number taking all of it.
bool number_of(const std::string& text, double& value) {
  if (text.empty()) return false;
  std::size_t used = 0;
  value = std::stod(text, &used);
  EXPECT_EQ(used, text.size()) << text;
  return true;
}

std::string shell_output(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  if (!pipe) return out;
  std::array<char, 4096> chunk{};
  while (std::fgets(chunk.data(), chunk.size(), pipe.get()) != nullptr) out += chunk.data();
  return out;
}

// One receiver column name as the header row spells it, taken apart.
struct ReceiverColumn {
  std::string orientation;
  double spacing = 0;
  int frequency = 0;
  double height = 0;
  bool in_phase = false;
};

bool parse_receiver_column(const std::string& name, ReceiverColumn& column) {
  static const std::regex kName(
      R"((HCP|PRP)([0-9]+(?:\.[0-9]+)?)f([0-9]+)h([0-9]+(?:\.[0-9]+)?)(_inph)?)");
  std::smatch m;
  if (!std::regex_match(name, m, kName)) return false;
  column = {m[1], std::stod(m[2]), std::stoi(m[3]), std::stod(m[4]), m[5].matched};
  // Shortest decimals: no trailing zero in a fraction.
  for (const int part : {2, 4}) {
    const std::string text = m[part];
    if (text.find('.') != std::string::npos && text.back() == '0') return false;
  }
  return true;
}

const std::vector<std::string> kLeading = {"station",   "line",       "time",      "x",
                                           "y",         "utm_zone",   "elevation", "latitude",
                                           "longitude", "gps_quality"};
const std::vector<std::string> kTrailing = {"voltage",   "temperature", "pitch", "roll",
                                            "comment",   "datetime",    "utc",   "position",
                                            "fix_age_s", "comment_text"};

TEST(CsvOutput, HeaderNamesEveryReceiverOfTheArrayConfiguration) {
  struct Expected {
    const Survey* survey;
    std::vector<std::pair<double, double>> spacings;  // HCP / PRP of each array, coil table
    double height;
  };
  const std::vector<Expected> configurations = {
      {&kT1, {{1.0, 1.1}}, 0.2},
      {&kN21, {{1.0, 1.1}, {2.0, 2.1}}, 0.2},
      {&kGps421, {{1.0, 1.1}, {2.0, 2.1}, {4.0, 4.1}}, 0.2},
      {&kProto620, {{2.0, 2.1}, {6.0, 6.1}}, 0.35}};
  for (const Expected& e : configurations) {
    SCOPED_TRACE(e.survey->raw.string());
    TempDir dir;
    const auto lines = main_file_lines(*e.survey, "C", ".csv", dir);
    ASSERT_FALSE(lines.empty());
    const auto names = split(lines[0], ',');
    const std::size_t arrays = e.spacings.size();
    ASSERT_EQ(names.size(), kLeading.size() + 4 * arrays + kTrailing.size());
    EXPECT_TRUE(std::equal(kLeading.begin(), kLeading.end(), names.begin()));
    EXPECT_TRUE(std::equal(kTrailing.begin(), kTrailing.end(),
                           names.end() - static_cast<std::ptrdiff_t>(kTrailing.size())));
    for (std::size_t k = 0; k < arrays; ++k) {
      const char* orientations[] = {"HCP", "PRP", "HCP", "PRP"};
      for (std::size_t c = 0; c < 4; ++c) {
        const std::string& name = names[kLeading.size() + 4 * k + c];
        ReceiverColumn column;
        ASSERT_TRUE(parse_receiver_column(name, column)) << name;
        EXPECT_EQ(column.orientation, orientations[c]) << name;
        const double spacing = c % 2 == 0 ? e.spacings[k].first : e.spacings[k].second;
        EXPECT_NEAR(column.spacing, spacing, 1e-9) << name;
        EXPECT_EQ(column.frequency, 9000) << name;
        EXPECT_NEAR(column.height, e.height, 1e-9) << name;
        EXPECT_EQ(column.in_phase, c >= 2) << name;
      }
    }
    // Every row has a value or an empty field for every column.
    for (std::size_t r = 1; r < lines.size(); ++r)
      EXPECT_EQ(split(lines[r], ',').size(), names.size());
  }
}

// Column names of the receivers in a header row, in order.
std::vector<std::string> receiver_columns(const std::string& header) {
  const auto names = split(header, ',');
  if (names.size() < kLeading.size() + kTrailing.size()) return {};
  return {names.begin() + static_cast<std::ptrdiff_t>(kLeading.size()),
          names.end() - static_cast<std::ptrdiff_t>(kTrailing.size())};
}

TEST(CsvOutput, EachLoggerFileAndThePdlmtFileHasItsOwnFileAndHeaderRow) {
  TempDir dir;
  dir.write("two.raw",
            " H$090000 FIRST    260315 1\n"
            " T$090504 250     17 CONV      7    -3  1234  -250  1100   310 12500 29830  345-120\n"
            " H$090100 SECOND   260315 21\n"
            " N$090101 12100 29700    250  -125  1000   200   900  -300  2000   400  1800  -600\n"
            " Z$\n");
  EXPECT_EQ(run_quillet_process({"two.raw", "c", "0.5"}, "/\n", dir.path()).status, 0);
  const auto first = lines_of(read_file(dir.file("FIRST.csv")));
  const auto second = lines_of(read_file(dir.file("SECOND.csv")));
  ASSERT_EQ(first.size(), 2u);
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(receiver_columns(first[0]),
            (std::vector<std::string>{"HCP1f9000h0.5", "PRP1.1f9000h0.5", "HCP1f9000h0.5_inph",
                                      "PRP1.1f9000h0.5_inph"}));
  EXPECT_EQ(receiver_columns(second[0]),
            (std::vector<std::string>{"HCP1f9000h0.5", "PRP1.1f9000h0.5", "HCP1f9000h0.5_inph",
                                      "PRP1.1f9000h0.5_inph", "HCP2f9000h0.5", "PRP2.1f9000h0.5",
                                      "HCP2f9000h0.5_inph", "PRP2.1f9000h0.5_inph"}));
  EXPECT_EQ(first[1].substr(0, 17), "17,1,09:05:04.250");
  EXPECT_EQ(second[1].substr(0, 17), "17,1,09:01:01.000");
  // The header line came first: no default file; the side files are those of an X run.
  EXPECT_FALSE(fs::exists(dir.path() / "Default.csv"));
  EXPECT_TRUE(fs::exists(dir.path() / "FIRST.XYX"));

  // A $PDLMT file without header lines names its file after itself, as the X run does.
  fs::copy_file(kSource / "tests/cases/pdlmt_log_and_xyz/in/line7.raw", dir.path() / "line7.raw");
  EXPECT_EQ(run_quillet_process({"line7.raw", "C"}, "/\n2\n", dir.path()).status, 0);
  const auto pdlmt = lines_of(read_file(dir.file("line7.CSV")));
  ASSERT_GE(pdlmt.size(), 2u);
  EXPECT_EQ(receiver_columns(pdlmt[0]),
            (std::vector<std::string>{"HCP2f9000h0.2", "PRP2.1f9000h0.2", "HCP2f9000h0.2_inph",
                                      "PRP2.1f9000h0.2_inph"}));
  EXPECT_FALSE(fs::exists(dir.path() / "Default.csv"));
}

// Column of the XYZ record (split at blanks) that holds the value of each CSV column, with the
// decimals that the XYZ layout shows. -1: the XYZ record has no such column.
struct Pairing {
  int xyz;
  int decimals;
};

TEST(CsvOutput, EveryValueIsTheValueOfTheXyzRecord) {
  for (const Survey* survey : {&kGps421, &kT1, &kTPrompted, &kN21}) {
    SCOPED_TRACE(survey->raw.string());
    TempDir x_dir;
    TempDir c_dir;
    const auto xyz = main_file_lines(*survey, "X", ".xyz", x_dir);
    // The rows of every file in order, each with the header row of its file.
    std::vector<std::pair<std::string, std::string>> csv;
    const auto files = main_files(*survey, "C", ".csv", c_dir);
    EXPECT_EQ(files.size(), survey == &kTPrompted ? 2u : 1u);
    for (const fs::path& file : files) {
      const auto lines = lines_of(read_file(file.string()));
      ASSERT_FALSE(lines.empty()) << file;
      for (std::size_t r = 1; r < lines.size(); ++r) csv.emplace_back(lines[0], lines[r]);
    }
    ASSERT_EQ(csv.size(), xyz.size());
    bool has_positions = false;
    for (std::size_t r = 0; r < xyz.size(); ++r) {
      SCOPED_TRACE("row " + std::to_string(r + 1));
      const std::size_t arrays =
          (split(csv[r].first, ',').size() - kLeading.size() - kTrailing.size()) / 4;
      const int after = static_cast<int>(2 + 4 * arrays);  // first XYZ column after the channels
      // The positions are the reading's own, interpolated in time: the XYZ record carries the
      // last fix's.
      std::vector<Pairing> pairs = {{0, 0},  {1, 0},  {-1, 0}, {-1, 0}, {-1, 0},
                                    {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}, {-1, 0}};
      for (int k = 0; k < static_cast<int>(arrays); ++k) {
        // HCP and PRP conductivity, then their in-phase; the XYZ record has HC, HI, PC, PI.
        for (const int c : {0, 2, 1, 3}) pairs.push_back({2 + 4 * k + c, 2});
      }
      for (const Pairing p : std::vector<Pairing>{
               {after + 4, 3}, {after + 5, 1}, {after + 7, 2}, {after + 8, 2}, {after + 6, 0}}) {
        pairs.push_back(p);
      }
      const std::size_t comment = pairs.size() - 1;
      for (int k = 0; k < 5; ++k) pairs.push_back({-1, 0});
      const auto x = words(xyz[r]);
      const auto c = split(csv[r].second, ',');
      ASSERT_EQ(c.size(), pairs.size());
      ASSERT_EQ(x.size(), static_cast<std::size_t>(after + 14));
      for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (pairs[i].xyz < 0) continue;
        const double shown = std::stod(x[pairs[i].xyz]);
        double value = 0;
        // Empty: a value the reading does not have, which XYZ shows as 0 (no fix) or as a
        // comment number of 0 or -1 (none since the start of the file or of the program).
        if (!number_of(c[i], value)) {
          if (i == comment) {
            EXPECT_LE(shown, 0.0) << "comment";
          } else {
            EXPECT_EQ(shown, 0.0) << "column " << i;
          }
          continue;
        }
        EXPECT_NEAR(value, shown, 0.5 * std::pow(10.0, -pairs[i].decimals) + 1e-9)
            << "column " << i << ": " << c[i] << " vs " << x[pairs[i].xyz];
      }
      // hh:mm:ss.sss against the hour, minute and seconds of the XYZ record.
      const std::regex time(R"(([0-9]{2}):([0-9]{2}):([0-9]{2}\.[0-9]{3}))");
      std::smatch m;
      ASSERT_TRUE(std::regex_match(c[2], m, time)) << c[2];
      EXPECT_EQ(std::stoi(m[1]), std::stoi(x[after + 1]));
      EXPECT_EQ(std::stoi(m[2]), std::stoi(x[after + 2]));
      EXPECT_NEAR(std::stod(m[3]), std::stod(x[after + 3]), 0.0005 + 1e-9);
      // The position: GeoConvert's projection of the latitude and longitude into the zone.
      const std::string& position = c[comment + 3];
      if (c[3].empty()) {
        EXPECT_TRUE(c[4].empty() && c[5].empty());
        EXPECT_EQ(position, "none");
        continue;
      }
      EXPECT_TRUE(position == "interpolated" || position == "held") << position;
      has_positions = true;
      const std::string projected =
          shell_output("echo " + c[7] + " " + c[8] + " | GeoConvert -u -p 4 -z " + c[5]);
      const auto utm = words(projected);
      ASSERT_EQ(utm.size(), 3u) << "GeoConvert (geographiclib-tools) gave: " << projected;
      EXPECT_NEAR(std::stod(c[3]), std::stod(utm[1]), 0.001);
      EXPECT_NEAR(std::stod(c[4]), std::stod(utm[2]), 0.001);
    }
    EXPECT_EQ(has_positions, survey == &kGps421 || survey == &kT1);
  }
}

TEST(CsvOutput, GdalOpensTheSurveyAsPoints) {
  TempDir dir;
  const auto lines = main_file_lines(kGps421, "C", ".csv", dir);
  ASSERT_GT(lines.size(), 1u);
  double min_x = INFINITY, min_y = INFINITY, max_x = -INFINITY, max_y = -INFINITY;
  for (std::size_t r = 1; r < lines.size(); ++r) {
    const auto c = split(lines[r], ',');
    const double x = std::stod(c[3]);
    const double y = std::stod(c[4]);
    min_x = std::min(min_x, x);
    max_x = std::max(max_x, x);
    min_y = std::min(min_y, y);
    max_y = std::max(max_y, y);
  }
  const std::string report =
      shell_output("ogrinfo -ro -al -so -oo X_POSSIBLE_NAMES=x -oo Y_POSSIBLE_NAMES=y " +
                   (dir.path() / "LINEG3.csv").string() + " 2>&1");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(report, m, std::regex("Geometry: Point")))
      << "ogrinfo (gdal-bin) gave:\n"
      << report;
  ASSERT_TRUE(std::regex_search(report, m, std::regex(R"(Feature Count: ([0-9]+))"))) << report;
  EXPECT_EQ(std::stoul(m[1]), lines.size() - 1);
  const std::regex extent(R"(Extent: \(([-0-9.]+), ([-0-9.]+)\) - \(([-0-9.]+), ([-0-9.]+)\))");
  ASSERT_TRUE(std::regex_search(report, m, extent)) << report;
  EXPECT_NEAR(std::stod(m[1]), min_x, 1e-6);
  EXPECT_NEAR(std::stod(m[2]), min_y, 1e-6);
  EXPECT_NEAR(std::stod(m[3]), max_x, 1e-6);
  EXPECT_NEAR(std::stod(m[4]), max_y, 1e-6);

  // As a GIS user drops it on the map: no option at all. The files beside it give the geometry
  // columns, the CRS of the survey's zone and the type of every column.
  const std::string plain =
      shell_output("ogrinfo -ro -al -so " + (dir.path() / "LINEG3.csv").string() + " 2>&1");
  EXPECT_NE(plain.find("Geometry: Point"), std::string::npos) << plain;
  ASSERT_TRUE(std::regex_search(plain, m, std::regex(R"(\["WGS 84 / UTM zone ([0-9]+)([NS])\")")))
      << plain;
  const auto first_row = split(lines[1], ',');
  EXPECT_EQ(m[1].str() + m[2].str(), first_row[5] + (std::stoi(first_row[5]) < 0 ? "S" : "N"));
  const auto names = split(lines[0], ',');
  for (const std::string& name : names) {
    std::string type = "Real";
    if (name == "station" || name == "line" || name == "utm_zone" || name == "gps_quality" ||
        name == "comment") {
      type = "Integer";
    } else if (name == "time") {
      type = "Time";
    } else if (name == "datetime" || name == "utc") {
      type = "DateTime";
    } else if (name == "position" || name == "comment_text") {
      type = "String";
    }
    EXPECT_NE(plain.find("\n" + name + ": " + type + " "), std::string::npos) << name << "\n"
                                                                              << plain;
  }
}

}  // namespace
}  // namespace quillet
