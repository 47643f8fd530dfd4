// What field files and field machines really do to a raw file: bytes that are not text, lines cut
// short, an endless line, numbers that are not numbers, names that point elsewhere, a disk that
// fills up, a folder that cannot be written. Every run must report what it lost and go on.
//
// Expected records are written out by hand from the XYZ layout of a T$ packet,
//   (I6, I6, 4F9.2, I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1,
//    1X, I2),
// for the two CONV packets below (channels in 1/10 mS/m and 1/100 ppt, 345 and -120 the attitude
// in whole degrees offset by 300 and in tenths).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/console.hpp"
#include "core/state.hpp"
#include "run/run.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::file_equals;
using testing::lines_of;
using testing::read_file;
using testing::run_quillet;
using testing::run_quillet_process;
using testing::TempDir;

const std::string kT1 =
    " T$090504 250     17 CONV      7    -3  1234  -250  1100   310 12500 29830  345-120";
const std::string kT2 =
    " T$090505 250     18 CONV      7    -3  1234  -250  1100   310 12500 29830  345-120";
// The first record of a program carries comment number -1, later ones 0.
const std::string kRec1 =
    "    17     0   123.40    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3   -1   45.00  "
    "-12.00            0    0.000000     0.000000     0.0  0";
const std::string kRec1Again =
    "    17     0   123.40    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3    0   45.00  "
    "-12.00            0    0.000000     0.000000     0.0  0";
const std::string kRec2 =
    "    18     0   123.40    -2.50   110.00     3.10 0  9  5  5.250 12.500  298.3    0   45.00  "
    "-12.00            0    0.000000     0.000000     0.0  0";
// Columns 1-98 of a record: everything before the GPS fix.
constexpr std::size_t kBeforeFix = 98;

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// `line` with the columns from `column` (1-based) on replaced by `text`.
std::string with_field(std::string line, std::size_t column, const std::string& text) {
  return line.replace(column - 1, text.size(), text);
}

std::string padded(std::string line) {
  line.resize(kLineWidth, ' ');
  return line;
}

// The two console lines of a line skipped as unreadable, for line 2.
// The console shows a NUL byte of the line (the one control byte these cases hold) as "^@".
std::vector<std::string> skipped_second_line(const std::string& line) {
  std::string shown = padded(line);
  for (std::size_t at; (at = shown.find('\0')) != std::string::npos;) shown.replace(at, 1, "^@");
  return {" *** Read error in input buffer at            2 " + shown,
          " *** Skipping this packet or station"};
}

// True when `wanted` appear in `lines` in this order, other lines between them allowed.
bool appear_in_order(const std::vector<std::string>& lines,
                     const std::vector<std::string>& wanted) {
  std::size_t next = 0;
  for (const std::string& line : lines) {
    if (next < wanted.size() && line == wanted[next]) ++next;
  }
  return next == wanted.size();
}

struct DamagedCase {
  const char* what;
  std::string raw;
  int status;
  std::vector<std::string> console;                        // in this order, among others
  std::vector<std::pair<std::string, std::string>> files;  // name, whole content
};

TEST(DamagedInput, EachDamageIsReportedAndTheRunGoesOn) {
  const std::string records_1_2 = kRec1 + "\n" + kRec2 + "\n";
  auto unreadable = [&](const char* what, std::size_t column, const std::string& field) {
    const std::string bad = with_field(kT2, column, field);
    return DamagedCase{what,
                       joined({kT1, bad, kT2, " Z$"}),
                       0,
                       skipped_second_line(bad),
                       {{"Default.xyz", records_1_2}}};
  };
  const std::string nul_tag = with_field(kT2, 22, std::string("CO\0V", 4));
  const std::string cut_name = std::string(" H$090504 AB\0\xff", 14) +
                               "CDx\xc3\xa9"
                               "261208";
  const std::string comment = std::string(" C$090504 ab\0c\xff", 15);
  const std::string bad_date = " H$090504 SURVEY01 2612e8";
  // The packet stops at its unreadable pitch: the milliseconds read before it stay and show in
  // the next record, whose shorter layout does not carry them; voltage and temperature, derived
  // only from a whole packet, do not change.
  const std::string bad_pitch =
      " T$090505 500     99 RAW       1     1     1     1     1     1 12600 29930    +-120";
  const std::string short_packet = " T$090506     19 CONV      9    -5   600   100   300   -50";
  const std::string after_bad_pitch =
      "    19     0    60.00     1.00    30.00    -0.50 0  9  5  6.500 12.500  298.3    0   45.00  "
      "-12.00            0    0.000000     0.000000     0.0  0";

  const DamagedCase cases[] = {
      unreadable("a NUL byte in the station", 15, std::string("  \0 18", 6)),
      unreadable("invalid UTF-8 in a channel", 39, " \xc3\x28 12"),
      unreadable("a lone plus as the pitch", 76, "   +"),
      unreadable("a lone minus as a channel", 39, "     -"),
      unreadable("a lone point as the milliseconds", 11, "  ."),
      unreadable("an exponent in an integer", 27, "   1e5"),
      unreadable("a minus among blanks as the voltage", 64, "  -  "),
      {"fields before an unreadable one keep what was read",
       joined({kT1, bad_pitch, short_packet, " Z$"}),
       0,
       skipped_second_line(bad_pitch),
       {{"Default.xyz", kRec1 + "\n" + after_bad_pitch + "\n"}}},
      {"a NUL byte in the data tag is a tag like any other",
       joined({kT1, nul_tag, kT2, " Z$"}),
       0,
       {"    Data type not implemented CO^@V"},
       {{"Default.xyz", kRec1 + "\n" + kRec2 + "\n" + kRec2 + "\n"}}},
      {"a comment keeps its NUL and invalid UTF-8 bytes in its file, the console shows ^@",
       joined({comment, " Z$"}),
       0,
       {"Comment>ab^@c\xff            at:   9  5  4"},
       {{"Default.xyz", ""}, {"Default.CMT", std::string("    1 AB\0C\xff           \n", 23)}}},
      {"NUL, invalid UTF-8 and a character cut by the name field become _ in a logger name",
       joined({cut_name, " Z$"}),
       0,
       {"    Output file: AB__CDx_.xyz       "},
       {{"AB__CDx_.xyz", ""}}},
      {"an unreadable date in a header line ends the run",
       joined({bad_date, kT1, " Z$"}),
       2,
       {" *** Fatal read error in input at            1 " + padded(bad_date),
        "    Error code was            2"},
       {{"Default.xyz", ""}}},
  };
  for (const DamagedCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const std::string input = dir.write("survey.raw", c.raw);
    const auto result = run_quillet({input, "X"}, "/\n");
    EXPECT_EQ(result.status, c.status);
    EXPECT_TRUE(appear_in_order(lines_of(result.console), c.console)) << result.console;
    for (const auto& [name, content] : c.files) EXPECT_TRUE(file_equals(dir.file(name), content));
    EXPECT_TRUE(file_equals(input, c.raw));
  }
}

// One run of code X on `raw` in `dir`; the records of the main file and the console lines.
struct XRun {
  int status = 0;
  std::vector<std::string> console;
  std::vector<std::string> records;
};

XRun run_x(const TempDir& dir, const std::string& raw) {
  const std::string input = dir.write("survey.raw", raw);
  const auto result = run_quillet({input, "X"}, "/\n");
  return {result.status, lines_of(result.console), lines_of(read_file(dir.file("Default.xyz")))};
}

std::string trimmed(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

TEST(DamagedInput, PacketCutShortAtEveryColumn) {
  for (std::size_t k = 1; k <= kT2.size(); ++k) {
    const std::string cut = kT2.substr(0, k);
    const std::size_t length = trimmed(cut).size();
    SCOPED_TRACE("cut after column " + std::to_string(k));
    TempDir dir;
    const XRun run = run_x(dir, joined({kT1, cut, " Z$"}));
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(appear_in_order(run.console, {"    Normal end of data encountered."}));
    std::vector<std::string> records{kRec1};
    if (length < 3) {
      // " T" is no marker: the line is ignored.
    } else if (length == 83) {
      records.push_back(kRec2);
    } else if (length == 65 || length == 79) {
      // Read with the layout of its length, the 83-column packet has a text where the channels
      // of that layout start.
      EXPECT_TRUE(appear_in_order(run.console, skipped_second_line(cut)));
    } else {
      EXPECT_TRUE(appear_in_order(run.console, {" T$ packet error:" + trimmed(cut)}));
      records.push_back(kRec1Again);  // the previous values once more
    }
    EXPECT_EQ(run.records, records);
  }
}

TEST(DamagedInput, HeaderLineCutShortAtEveryColumn) {
  const std::string header = " H$090504 SURVEY01 261208 1";
  for (std::size_t k = 1; k <= header.size(); ++k) {
    const std::string cut = header.substr(0, k);
    SCOPED_TRACE("cut after column " + std::to_string(k));
    TempDir dir;
    const std::string input = dir.write("survey.raw", joined({cut, " Z$"}));
    const auto result = run_quillet({input, "X"}, "/\n");
    // Blank date and time fields read as zero: a cut header line is never fatal.
    EXPECT_EQ(result.status, 0);
    if (k < 3) {
      EXPECT_EQ(dir.files(), (std::vector<std::string>{"Default.xyz", "survey.raw"}));
      continue;
    }
    std::string name = k <= 10 ? "" : trimmed(header.substr(10, std::min<std::size_t>(k, 18) - 10));
    if (name.empty()) name = "NONAME";
    // The default side file ends at the header line without being deleted, as every set does.
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"Default.xyx", name + ".xyz", "survey.raw"}));
  }
}

TEST(DamagedInput, GpsLineCutShortAtEveryColumn) {
  const std::string gps = " G$GPGGA,090504.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*6C";
  for (std::size_t k = 1; k <= gps.size(); ++k) {
    const std::string cut = gps.substr(0, k);
    SCOPED_TRACE("cut after column " + std::to_string(k));
    TempDir dir;
    const XRun run = run_x(dir, joined({cut, kT1, " Z$"}));
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(appear_in_order(run.console, {"    Normal end of data encountered."}));
    ASSERT_EQ(run.records.size(), 1u);
    EXPECT_EQ(run.records[0].substr(0, kBeforeFix), kRec1.substr(0, kBeforeFix));
    if (k < 3) continue;
    // A G$ line, whole or not, is copied to the GPS side file; one without a GGA sentence by the
    // pre-scan and by the record loop both.
    const bool gga = cut.find("GPGGA") != std::string::npos;
    EXPECT_EQ(lines_of(read_file(dir.file("DEFAULT.GPS"))).size(), gga ? 1u : 2u);
  }
}

// Every other packet kind cut short at every column, after the lines that make it readable. A
// kind whose layouts are chosen by the line's length reports a length without a layout; every
// cut line leaves the run going on to the end marker.
TEST(DamagedInput, EveryPacketKindCutShortAtEveryColumn) {
  struct Kind {
    const char* name;
    std::vector<std::string> before;
    std::string packet;
    std::vector<std::size_t> lengths;  // lengths with a layout; empty: no length rule
    std::string message;               // console line of any other length, without the line
    bool message_shows_line;
  };
  const std::string pdlmt =
      "$PDLMT,1015 1    1300   26000    -500   31000      12      23 12400 29915    250    -75 "
      "NULD";
  std::vector<std::size_t> pdlmt_lengths;
  for (std::size_t n = 90; n <= 101; ++n) pdlmt_lengths.push_back(n);
  const Kind kinds[] = {
      {"$PDLMT",
       {"$PDLMT,1015 0    1234   25000    -567   30000      11      22 12500 29815  -1250    300 "
        "NULD"},
       pdlmt,
       pdlmt_lengths,
       " $PDLMT packet error:",
       true},
      {"D$",
       {" C$000000 VELTOR-1   SN1234 SW VERSION 5.2"},
       " D$090505 500      7A     18B0   1244  -249  1099   312 12500 29815 -345 320",
       {50, 72, 76},
       " D$ packet error:",
       true},
      {"X$",
       {" C$000000 VELTOR-21  SN1234 SW VERSION 5.2",
        " D$090504      7A     17B0   1234  -250  1100   310 12500 29815  345-120"},
       " X$090505 500   2010   410  1810  -610",
       {34, 38, 58, 62},
       " X$ read error!",
       false},
      {"S$", {}, " S$090512 12345 99999    950  -300", {21, 34}, " S$ packet error:", true},
      {"N$",
       {" H$090000 NARRAY02 260315 21"},
       " N$090001 12100 29700    250  -125  1000   200   900  -300  2000   400  1800  -600",
       {},
       "",
       false},
      {"I$",
       {" C$000000 VELTOR-1   SN0001 SW VERSION 6.1A"},
       " I$070003  123 -45 150 12345  5 12345 -2500  3000   450    -7",
       {},
       "",
       false},
      {"O$", {}, " O$ 1  1000, 2000  3000,4000", {}, "", false},
      {"R$", {}, " R$       1       2       3       4       5       6       7", {}, "", false},
      {"A$", {}, " A$ 12345   -10     0    123 -2500     7   2512", {}, "", false},
  };
  for (const Kind& kind : kinds) {
    const std::size_t marker_end = kind.packet[0] == '$' ? 6 : 3;
    for (std::size_t k = 1; k <= kind.packet.size(); ++k) {
      const std::string cut = kind.packet.substr(0, k);
      const std::size_t length = trimmed(cut).size();
      SCOPED_TRACE(std::string(kind.name) + " cut after column " + std::to_string(k));
      TempDir dir;
      std::vector<std::string> lines = kind.before;
      lines.push_back(cut);
      lines.push_back(" Z$");
      const std::string input = dir.write("survey.raw", joined(lines));
      const auto result = run_quillet({input, "X"}, "/\n1\n");
      const std::vector<std::string> console = lines_of(result.console);
      EXPECT_EQ(result.status, 0);
      EXPECT_TRUE(appear_in_order(console, {"    Normal end of data encountered."}));
      if (k == kind.packet.size()) {
        EXPECT_FALSE(appear_in_order(console, {" *** Skipping this packet or station"}));
      }
      if (kind.lengths.empty() || length < marker_end) continue;
      const std::string message = kind.message + (kind.message_shows_line ? trimmed(cut) : "");
      const bool has_layout =
          std::find(kind.lengths.begin(), kind.lengths.end(), length) != kind.lengths.end();
      EXPECT_EQ(appear_in_order(console, {message}), !has_layout) << result.console;
    }
  }
}

TEST(DamagedInput, TenMegabyteLineIsReadAsItsFirst120ColumnsInBoundedMemory) {
  TempDir dir;
  const std::string small = joined({kT1, kT2, " Z$"});
  dir.write("small.raw", small);
  // Far beyond column 120 the line holds markers that must not count.
  std::string huge = padded(kT2);
  huge.reserve(10'000'000);
  while (huge.size() < 10'000'000) huge += "H$ Z$ ";
  dir.write("huge.raw", joined({kT1, huge, " Z$"}));
  const auto small_run = run_quillet_process({"small.raw", "X"}, "/\n", dir.path());
  const std::string small_records = read_file(dir.file("Default.xyz"));
  const auto huge_run = run_quillet_process({"huge.raw", "X"}, "/\n", dir.path());
  EXPECT_EQ(huge_run.status, 0);
  EXPECT_TRUE(file_equals(dir.file("Default.xyz"), small_records));
  EXPECT_EQ(small_records, kRec1 + "\n" + kRec2 + "\n");
  // The line is not held whole: the run takes about what a run over a small file takes.
  EXPECT_LT(huge_run.max_rss_kib, small_run.max_rss_kib + 4096);
}

TEST(DamagedInput, ReplyThatIsNotANumberKeepsTheHeight) {
  // As gfortran's list-directed READ takes them into a real: only "1e5" is a number.
  const std::pair<const char*, float> replies[] = {
      {"+", 0.2f}, {"-", 0.2f}, {".", 0.2f}, {"1e5", 100000.0f}, {"  -  ", 0.2f}};
  TempDir dir;
  const std::string input = dir.write("survey.raw", " Z$\n");
  for (const auto& [reply, height] : replies) {
    std::istringstream keyboard(std::string(reply) + "\n");
    std::ostringstream screen;
    StreamConsole console(keyboard, screen);
    auto program = std::make_unique<ProgramState>();
    float sensor_height = 0.2f;
    EXPECT_EQ(QUILLETSUB(input, 'X', sensor_height, false, *program, console), 0) << reply;
    EXPECT_EQ(sensor_height, height) << "[" << reply << "]";
  }
}

// Many records, so that the main file is written while the run goes on, not only at its end.
std::string long_survey() {
  std::string raw = " H$090500 SURVEY01 261208 1\n";
  for (int k = 0; k < 3000; ++k) raw += kT1 + "\n";
  return raw + " Z$\n";
}

TEST(DamagedInput, DiskThatFillsUpFailsEachRunAndTheLaterCodesStillRun) {
  TempDir dir;
  const std::string raw = long_survey();
  dir.write("survey.raw", raw);
  testing::ProcessOptions full_disk;
  full_disk.file_size_limit = 64 * 1024;
  const auto result = run_quillet_process({"survey.raw", "XG"}, "/\n/\n", dir.path(), full_disk);
  EXPECT_EQ(result.status, 4);
  const std::vector<std::string> run = {"    Normal end of data encountered.",
                                        " *** Write error for outfile=SURVEY01.xyz",
                                        "    Error code was            4"};
  std::vector<std::string> both = {" >>>Transcribe file survey.raw to file type X"};
  both.insert(both.end(), run.begin(), run.end());
  both.push_back(" >>>Transcribe file survey.raw to file type G");
  both.insert(both.end(), run.begin(), run.end());
  EXPECT_TRUE(appear_in_order(lines_of(result.console), both)) << result.console;
  EXPECT_TRUE(file_equals(dir.file("survey.raw"), raw));
}

TEST(DamagedInput, FolderThatCannotBeWrittenIsAnOutputOpenError) {
  TempDir dir;
  dir.write("survey.raw", joined({kT1, " Z$"}));
  testing::ProcessOptions read_only;
  read_only.read_only_folder = true;
  const auto result = run_quillet_process({"survey.raw", "X"}, "/\n", dir.path(), read_only);
  EXPECT_EQ(result.status, 4);
  EXPECT_TRUE(appear_in_order(lines_of(result.console), {" *** Open error for outfile=Default.xyz",
                                                         "    Error code was            4"}))
      << result.console;
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"survey.raw"}));
}

// Every raw file of the fuzzing seed corpus holds realistic lines of the kinds the logger writes.
TEST(DamagedInput, InputIsNeverModifiedByARunOfAnyCode) {
  const fs::path corpus = fs::path(QUILLET_SOURCE_DIR) / "fuzz" / "corpus";
  int files = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    SCOPED_TRACE(entry.path().filename().string());
    ++files;
    TempDir dir;
    const std::string raw = read_file(entry.path().string());
    const std::string input = dir.write("survey.raw", raw);
    const auto old_time = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(input, old_time);
    const auto result =
        run_quillet_process({"survey.raw", "XGDLSPIR"}, "/\n1\n/\n1\n/\n/\n/\n/\n/\n", dir.path());
    EXPECT_NE(result.console.find("to file type R"), std::string::npos);
    EXPECT_TRUE(file_equals(input, raw));
    EXPECT_TRUE(fs::last_write_time(input) == old_time);
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace quillet
