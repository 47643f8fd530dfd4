// File header and configuration lines, end to end on real files in a temporary folder. Every
// expected line is written out by hand from the layouts:
//   Geosoft block  ('\Veltor Filename is ', A19) / ('\Veltor Sensor Length Code is ', I2) /
//                  "\..STN.SP.LINE.LP." + labels + fixed column names
//   DAT31 header   ('EM31', 1X, 'V1.XX', A8, 5X, 'Veltor-4 Data ')
//   comment file   (I5, 1X, A16);  Geosoft comment  '\', A16, ' at: ', 3I3
#include "header/header_lines.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "run/run.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::file_equals;
using testing::lines_of;
using testing::TempDir;

const std::string kColumnNames =
    ".N.HH.MM.SS.V.......T-K.....CN..Ptch...Roll......GPS_TIME..Lat..........Lon.........GPS_Alt."
    "DMode";

struct Outcome {
  std::int32_t error = 0;
  std::vector<std::string> console;
};

// One run on `raw` with a program state the test can inspect afterwards.
Outcome run_on(const TempDir& dir, const std::string& raw, char code, ProgramState& program) {
  const std::string input = dir.write("survey.raw", raw);
  std::istringstream keyboard("/\n");
  std::ostringstream screen;
  StreamConsole console(keyboard, screen);
  float height = 0.2f;
  Outcome outcome;
  outcome.error = QUILLETSUB(input, code, height, false, program, console);
  outcome.console = lines_of(screen.str());
  return outcome;
}

Outcome run_on(const TempDir& dir, const std::string& raw, char code) {
  auto program = std::make_unique<ProgramState>();
  return run_on(dir, raw, code, *program);
}

bool has_line(const Outcome& outcome, const std::string& wanted) {
  return std::find(outcome.console.begin(), outcome.console.end(), wanted) != outcome.console.end();
}

TEST(FileHeader, FirstLineHeaderReplacesTheDefaultMainFile) {
  TempDir dir;
  const Outcome run = run_on(dir, " H$090500 SURVEY01 261208 1\r\n Z$\r\n", 'X');
  EXPECT_EQ(run.error, 0);
  EXPECT_TRUE(has_line(run, "    Output file: SURVEY01.xyz       "));
  EXPECT_TRUE(has_line(run, "    Sensor Length code for this file is            1"));
  // The default XYX side file is ended, not deleted, by the header; the empty named side files
  // and the default GPS and comment files go.
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"Default.xyx", "SURVEY01.xyz", "survey.raw"}));
  EXPECT_TRUE(file_equals(dir.file("SURVEY01.xyz"), ""));
}

TEST(FileHeader, LengthCodeIsReadPastTabsAndAStrayCarriageReturn) {
  // Windows copies of logger files may end a line with two carriage returns.
  for (const std::string tail : {"62\r\r\n", "\t62\r\n", "\r62\n", "1*62\n"}) {
    TempDir dir;
    const Outcome run = run_on(dir, " H$090500 SURVEY01 261208 " + tail + " Z$\n", 'X');
    EXPECT_TRUE(has_line(run, "    Sensor Length code for this file is           62")) << tail;
  }
}

TEST(FileHeader, TwoLoggerFilesGiveTwoOutputSetsWithTheirHeadersAndComments) {
  TempDir dir;
  const std::string raw =
      " H$090500 FIRST    261208 1\n"
      " C$090501 hello\n"
      " C$090502 Hello\n"
      " C$090503 second note\n"
      " H$091000 SECOND   261208\n"
      " C$091001 late\n"
      " Z$\n";
  const Outcome run = run_on(dir, raw, 'G');
  EXPECT_EQ(run.error, 0);
  EXPECT_EQ(dir.files(),
            (std::vector<std::string>{"Default.xyx", "FIRST.CMT", "FIRST.XYX", "FIRST.xyz",
                                      "SECOND.CMT", "SECOND.xyz", "survey.raw"}));
  const std::string labels1 = "HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt.";
  EXPECT_TRUE(file_equals(dir.file("FIRST.xyz"),
                          "\\Veltor Filename is FIRST.xyz          \n"
                          "\\Veltor Sensor Length Code is  1\n"
                          "\\..STN.SP.LINE.LP." +
                              labels1 + kColumnNames +
                              "\n"
                              "\\HELLO            at:   9  5  1\n"
                              "\\HELLO            at:   9  5  2\n"
                              "\\SECOND NOTE      at:   9  5  3\n"));
  // The comment numbering starts again with each logger file; a repeated comment is listed once.
  EXPECT_TRUE(file_equals(dir.file("FIRST.CMT"),
                          "    1 HELLO           \n"
                          "    2 SECOND NOTE     \n"));
  EXPECT_TRUE(file_equals(dir.file("SECOND.CMT"), "    1 LATE            \n"));
  // Without a length code the second header keeps the code of the first.
  EXPECT_TRUE(file_equals(dir.file("SECOND.xyz"),
                          "\\Veltor Filename is SECOND.xyz         \n"
                          "\\Veltor Sensor Length Code is  1\n"
                          "\\..STN.SP.LINE.LP." +
                              labels1 + kColumnNames +
                              "\n"
                              "\\LATE             at:   9 10  1\n"));
  EXPECT_TRUE(has_line(run, "Comment>hello            at:   9  5  1"));
}

TEST(FileHeader, RepeatedLoggerNameTakesTheTimeStamp) {
  TempDir dir;
  const std::string raw =
      " H$090500 NAMENAME 261208 1\n"
      " C$090501 note\n"
      " H$090533 NAMENAME 261208 1\n"
      " C$090534 note\n"
      " H$110507 AB       261208 1\n"
      " H$110508 AB       261208 1\n"
      " Z$\n";
  const Outcome run = run_on(dir, raw, 'X');
  EXPECT_TRUE(has_line(run, "    Output file: NAMENAME_ 9 533.xyz"));
  EXPECT_TRUE(has_line(run, "    Output file: AB_11 5 8.xyz      "));
  EXPECT_EQ(dir.files(), (std::vector<std::string>{
                             "AB.XYX", "AB.xyz", "AB_11 5 8.xyz", "Default.xyx", "NAMENAME.CMT",
                             "NAMENAME.XYX", "NAMENAME.xyz", "NAMENAME_ 9 533.CMT",
                             "NAMENAME_ 9 533.XYX", "NAMENAME_ 9 533.xyz", "survey.raw"}));
  // Each comment file keeps its own comments.
  EXPECT_TRUE(file_equals(dir.file("NAMENAME.CMT"), "    1 NOTE            \n"));
  EXPECT_TRUE(file_equals(dir.file("NAMENAME_ 9 533.CMT"), "    1 NOTE            \n"));
}

TEST(FileHeader, LoggerNamesNeverLeaveTheOutputFolder) {
  EXPECT_EQ(logger_file_name("../x/y\\z"), ".._x_y_z");
  EXPECT_EQ(logger_file_name("A:B\tC  "), "A_B_C");
  EXPECT_EQ(logger_file_name("        "), "NONAME");
  // Bytes outside a well-formed UTF-8 character: one cut by the eighth column, a stray
  // continuation byte, an overlong "/", a surrogate, a value beyond U+10FFFF, and NUL.
  EXPECT_EQ(logger_file_name("D\xc3\xbcnen\xc3\xa9"), "D\xc3\xbcnen\xc3\xa9");
  EXPECT_EQ(logger_file_name("ABCDEFG\xc3\xa9"), "ABCDEFG_");
  EXPECT_EQ(logger_file_name("A\xa9\xc0\xaf"
                             "B"),
            "A___B");
  EXPECT_EQ(logger_file_name("\xed\xa0\x80\xf4\x90\x80\x80"), "_______");
  EXPECT_EQ(logger_file_name(std::string_view("A\0B\xf0\x9f\x98\x80", 7)), "A_B\xf0\x9f\x98\x80");
  TempDir dir;
  const Outcome run = run_on(dir, " H$090500 ../../x  261208 1\n H$090600          261208\n", 'L');
  EXPECT_EQ(run.error, 0);
  EXPECT_EQ(dir.files(),
            (std::vector<std::string>{".._.._x.XYX", ".._.._x.log", "NONAME.log", "survey.raw"}));
}

TEST(FileHeader, GeosoftHeaderShowsAsterisksForAThreeDigitCode) {
  TempDir dir;
  const Outcome run = run_on(dir, " H$090500 TRIPLE   261208 421\n", 'G');
  EXPECT_EQ(run.error, 0);
  const std::string labels =
      "HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt.HC2-mS/m.HI2-ppt.PC2-mS/m..PI2-ppt."
      "HC4-mS/m.HI4-ppt.PC4-mS/m..PI4-ppt.";
  EXPECT_TRUE(file_equals(dir.file("TRIPLE.xyz"),
                          "\\Veltor Filename is TRIPLE.xyz         \n"
                          "\\Veltor Sensor Length Code is **\n"
                          "\\..STN.SP.LINE.LP." +
                              labels + kColumnNames + "\n"));
}

TEST(FileHeader, Dat31HeaderRightJustifiesAShortName) {
  TempDir dir;
  const Outcome run = run_on(dir, " H$090500 AB       261208 abc\n", 'D');
  EXPECT_EQ(run.error, 0);
  EXPECT_TRUE(has_line(run, "    Sensor Length code for this file is            4"));
  EXPECT_TRUE(file_equals(dir.file("AB.g31"), "EM31 V1.XX      AB     Veltor-4 Data \n"));
}

TEST(FileHeader, PrototypeCodeIsAnnounced) {
  TempDir dir;
  ProgramState program;
  const Outcome run = run_on(dir, " H$090500 PROTO    261208 620\n", 'X', program);
  EXPECT_TRUE(has_line(run, " ***Prototype V-62 Configuration detected!***"));
  EXPECT_EQ(program.coils.N, 2);
  EXPECT_EQ(program.coils.S_HC[1], 6.0f);
  EXPECT_EQ(program.coils.PROTO_HC_SCALE, 0.44444445f);
}

TEST(FileHeader, UnreadableTimeOrDateIsFatalAndClosesEverything) {
  for (const std::string bad : {" H$09x500 NAME     261208 1", " H$090500 NAME     26.208 1"}) {
    TempDir dir;
    const Outcome run = run_on(dir, " C$090000 before\n" + bad + "\n Z$\n", 'X');
    EXPECT_EQ(run.error, 2);
    std::string line = bad;
    line.resize(120, ' ');
    EXPECT_EQ(run.console.back(), " *** Fatal read error in input at            2 " + line);
    // Every file was closed by its rule: the comment file holds its line, the rest is gone.
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"Default.CMT", "Default.xyz", "survey.raw"}));
  }
}

TEST(Identification, SetsModelVersionFamilyAndConfiguration) {
  TempDir dir;
  ProgramState program;
  const Outcome run = run_on(dir, " C$000000 VELTOR-421 SN1234 SW VERSION 3.2a\n", 'X', program);
  const std::string id = "VELTOR-421 SN1234 SW VERSION 3.2a";
  EXPECT_TRUE(has_line(run, "InstrumentID >" + id + std::string(40 - id.size(), ' ')));
  EXPECT_EQ(program.coils.LENGTH_CODE, 421);
  EXPECT_EQ(program.coils.N, 3);
  EXPECT_EQ(program.identification.SW_VERSION, 3.2f);
  EXPECT_FALSE(program.identification.KORAB_FAMILY);

  const std::pair<const char*, int> models[] = {{"1H ", 15}, {"21H", 215}, {"2H ", 25}};
  for (const auto& [model, code] : models) {
    ProgramState state;
    run_on(dir, std::string(" C$000000 VELTOR-") + model + " SN1 SW VERSION 5.2a\n", 'X', state);
    EXPECT_EQ(state.coils.LENGTH_CODE, code) << model;
  }
}

TEST(Identification, FamilyPrefixesAndMissingName) {
  TempDir dir;
  ProgramState korab;
  run_on(dir, " C$000000 korab-2   SN1 SW VERSION 4.0a\n", 'X', korab);
  EXPECT_TRUE(korab.identification.KORAB_FAMILY);
  EXPECT_EQ(korab.coils.LENGTH_CODE, 2);

  ProgramState lower;
  lower.coils.LENGTH_CODE = 42;
  const Outcome run = run_on(dir, " C$000000 veltor-421 SN1 SW VERSION 4.0a\n", 'X', lower);
  EXPECT_TRUE(
      has_line(run, " Missing name info in header stringC$000000 veltor-421 SN1 SW VERSION 4.0a"));
  EXPECT_FALSE(lower.identification.KORAB_FAMILY);
  EXPECT_EQ(lower.coils.LENGTH_CODE, 42);  // the model is not read without a prefix

  // A letter other than H in the model field skips the line.
  ProgramState bad;
  const Outcome skipped = run_on(dir, " C$000000 VELTOR-4X1 SN1 SW VERSION 4.0a\n", 'X', bad);
  EXPECT_TRUE(has_line(skipped, " *** Skipping this packet or station"));
}

TEST(Identification, UserOffsetsNoticeChangesNothing) {
  TempDir dir;
  ProgramState program;
  program.station.HOUR = 7;
  run_on(dir, " C$000000 VELTOR-421 SN1 USER OFFSETS ENABLED\n", 'X', program);
  EXPECT_EQ(program.station.HOUR, 7);
  EXPECT_EQ(program.coils.LENGTH_CODE, 0);
}

TEST(ConfigLines, SamplingFrequencyAndCommentsThatLookSimilar) {
  TempDir dir;
  ProgramState program;
  const Outcome run = run_on(dir,
                             " C$101010 Sample 10 Hz\n"
                             " C$101011 Sample rate\n"
                             " C$101012 USER OFFSETS ENABLED\n"
                             " C$101013 Sample xx Hz\n",
                             'X', program);
  EXPECT_TRUE(has_line(run, " Sampling frequency is           10  Hz"));
  EXPECT_EQ(program.identification.SAMPLE_RATE, 10);
  EXPECT_TRUE(has_line(run, "Comment>Sample rate      at:  10 10 11"));
  EXPECT_TRUE(has_line(run, "Comment>USER OFFSETS ENA at:  10 10 12"));
  EXPECT_TRUE(has_line(run, " *** Sampling frequency not readable:  xx "));
  EXPECT_TRUE(file_equals(dir.file("Default.CMT"),
                          "    1 SAMPLE RATE     \n"
                          "    2 USER OFFSETS ENA\n"));
}

TEST(ConfigLines, CommentsBeforeAnyHeaderOfADRunGoNowhereButSetTheNumber) {
  TempDir dir;
  ProgramState program;
  const Outcome run = run_on(dir, " C$101010 first\n", 'D', program);
  EXPECT_EQ(run.error, 0);
  EXPECT_EQ(program.CN, 1);
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"Default.G31", "survey.raw"}));
}

}  // namespace
}  // namespace quillet
