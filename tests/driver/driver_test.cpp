// The driver in both modes, run in-process with scripted keyboard lines (tests/cases/driver_*
// hold the runs a command line makes unattended).
#include "driver/driver.hpp"

#include <gtest/gtest.h>

#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::lines_of;
using testing::run_quillet;
using testing::TempDir;

std::vector<std::string> matching(const std::string& console, const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& line : lines_of(console)) {
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
  }
  return found;
}

TEST(DriverArguments, ThirdArgumentIsTheHeightAndAFourthDropsIt) {
  TempDir dir;
  const std::string input = dir.write("a.raw", "Z$\n");
  auto given = run_quillet({input, "X", "0.35"});
  EXPECT_EQ(matching(given.console, " Default/user-set"),
            (std::vector<std::string>{
                " Default/user-set instrument height (at axis of sensor) is   0.349999994    "}));
  EXPECT_TRUE(matching(given.console, " QUILLetSub--default").empty());
  // A "/" after the number, or a repeat count of 1, leaves it one number.
  for (const std::string one : {"0.35 /", "1*0.35"}) {
    EXPECT_EQ(matching(run_quillet({input, "X", one}).console, " Default/user-set"),
              matching(given.console, " Default/user-set"))
        << one;
  }
  auto ignored = run_quillet({input, "X", "0.35", "extra"});
  EXPECT_EQ(matching(ignored.console, " QUILLetSub--default").size(), 1u);
  // A height typed at the first run is what the second run offers.
  auto typed = run_quillet({input, "XG", "0.35"}, "0.3\n/\n");
  EXPECT_EQ(matching(typed.console, " Default/user-set").back(),
            " Default/user-set instrument height (at axis of sensor) is   0.300000012    ");
}

TEST(DriverArguments, HeightArgumentThatIsNoNumberStopsBeforeAnyRun) {
  TempDir dir;
  const std::string input = dir.write("a.raw", "Z$\n");
  // Only one finite number is a height: a decimal comma, a second value, a unit or an empty
  // value are not taken for one.
  for (const std::string bad :
       {"abc", "", "nan", "inf", "1e99", "0,35", ", 0.35", "0.35 1", "1.5m", "/", ",", "2*0.3"}) {
    const auto result = run_quillet({input, "X", bad});
    EXPECT_EQ(result.status, 1) << bad;
    EXPECT_EQ(lines_of(result.console).back(),
              " *** Sensor height argument is not a number: " + bad);
    EXPECT_TRUE(matching(result.console, " >>>Transcribe").empty());
  }
}

TEST(DriverArguments, FailedRunIsReportedAndTheExitStatusIsTheFirstError) {
  TempDir dir;
  const std::string input = dir.write("a.raw", "Z$\n");
  const auto result = run_quillet({input, "XQ G"});
  EXPECT_EQ(matching(result.console, "    Data  successfully").size(), 2u);
  EXPECT_EQ(matching(result.console, "    Error code was "),
            (std::vector<std::string>{"    Error code was            5",
                                      "    Error code was            5"}));
  EXPECT_EQ(result.status, 5);
  const auto missing = run_quillet({dir.file("none.raw"), "X"});
  EXPECT_EQ(missing.status, 3);
}

TEST(DriverPrompts, AsksAgainForAFileThatCannotBeOpenedThenValidatesCodes) {
  TempDir dir;
  const std::string input = dir.write("a.raw", "Z$\n");
  const std::string missing = dir.file("none.raw");
  const auto result = run_quillet({}, missing + "\n" + input + "\nX G\nxI\nxc\n/\n/\n");
  const auto lines = lines_of(result.console);
  const std::vector<std::string> usage = {
      " This program may be used with command line arguments:",
      " QuIllet ve_infile rectfile_type",
      " where ve_infile is the Veltor output data file,",
      " and rectfile_type values are as follows:",
      "     X to make a simple XYZ file (station, line#, ...",
      "     G to make a Geosoft XYZ file, ",
      "     D to make a DAT31-compatible file, or ",
      "     L to make a \"log\" format output file.",
      "     S to make a Santos inversion-compatible output file (not tested).",
      "     P to make an ppm output file (*.IDF).",
      "     C to make a CSV file for inversion and GIS software (*.csv).",
      "",
      " You may also operate the program interactively by answering the following:",
      " Enter input filename (type \"quit\" to exit program)"};
  ASSERT_GE(lines.size(), 19u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.begin() + 18), usage);
  std::string padded = missing;
  padded.resize(std::max<std::size_t>(50, padded.size()), ' ');
  EXPECT_EQ(lines[18], " Error opening file " + padded);
  EXPECT_EQ(
      matching(result.console, " Checking output file type code #"),
      (std::vector<std::string>{" Checking output file type code #           1 , which is X",
                                " Checking output file type code #           2 , which is  ",
                                " Checking output file type code #           1 , which is X",
                                " Checking output file type code #           2 , which is I",
                                " Checking output file type code #           1 , which is X",
                                " Checking output file type code #           2 , which is C"}));
  EXPECT_EQ(
      matching(result.console, " Error:  output file type must be one of X,G,D,L,S,P or C"),
      std::vector<std::string>(2, " Error:  output file type must be one of X,G,D,L,S,P or C"));
  EXPECT_EQ(
      matching(result.console, " Enter output formats"),
      std::vector<std::string>(
          3, " Enter output formats ( X(yx),G(eosoft),D(AT31),L(og),P(pm, file *.IDF),C(SV) ):"));
  // The codes reach the runs in the case in which they were typed.
  EXPECT_EQ(matching(result.console, " >>>Transcribe"),
            (std::vector<std::string>{" >>>Transcribe file " + input + " to file type x",
                                      " >>>Transcribe file " + input + " to file type c"}));
  EXPECT_EQ(result.status, 0);
}

TEST(DriverPrompts, QuitWordEmptyCodesAndEndOfInputStopCleanly) {
  TempDir dir;
  const std::string input = dir.write("a.raw", "Z$\n");
  auto quit = run_quillet({}, "/data/quit/a.raw\n");
  EXPECT_TRUE(matching(quit.console, " Enter output formats").empty());
  EXPECT_EQ(quit.status, 0);
  // "quiet" and "Quit" are no quit words: the name is tried as a file.
  auto quiet = run_quillet({}, "quiet.raw\nQuit\nQUIT\n");
  EXPECT_EQ(matching(quiet.console, " Error opening file ").size(), 2u);
  auto no_codes = run_quillet({}, input + "\n\n");
  EXPECT_TRUE(matching(no_codes.console, " >>>Transcribe").empty());
  EXPECT_EQ(no_codes.status, 0);
  auto ended = run_quillet({}, input + "\n");
  EXPECT_EQ(lines_of(ended.console).back(), " End of keyboard input.  Exiting...");
  EXPECT_EQ(ended.status, 0);
  auto ended_early = run_quillet({}, "");
  EXPECT_EQ(lines_of(ended_early.console).back(), " End of keyboard input.  Exiting...");
}

TEST(DriverProcess, HelpAndVersionAsTheOnlyArgumentPrintAndExit) {
  TempDir dir;
  const auto help = testing::run_quillet_process({"--help"}, "", dir.path());
  EXPECT_EQ(help.status, 0);
  for (const char* code :
       {"  X ", "  G ", "  D ", "  L ", "  S ", "  P ", "  I ", "  R ", "  C "}) {
    EXPECT_EQ(matching(help.console, code).size(), 1u) << code;
  }
  EXPECT_EQ(matching(help.console, "Usage: quillet [OPTIONS] RAWFILE [CODES [HEIGHT]]").size(), 1u);
  EXPECT_EQ(matching(help.console, "  --batch, -b ").size(), 1u);
  EXPECT_EQ(testing::run_quillet_process({"--version"}, "", dir.path()).console, "quillet V1.71\n");
  EXPECT_TRUE(dir.files().empty()) << "neither made a run";
  // A file really named so is given with its folder or after "--"; before other arguments the
  // name is an option that stands alone.
  dir.write("--help", " Z$\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"./--help", "X"}, std::vector<std::string>{"--", "--help", "X"}}) {
    const auto file = testing::run_quillet_process(args, "", dir.path());
    EXPECT_EQ(file.status, 0);
    EXPECT_EQ(matching(file.console, "    Normal end of data encountered.").size(), 1u);
  }
  const auto two = testing::run_quillet_process({"--help", "X"}, "", dir.path());
  EXPECT_EQ(two.status, 1);
  EXPECT_EQ(lines_of(two.console)[0], " *** --help is given alone, without other arguments");
}

TEST(DriverOptions, AUsageErrorNamesTheOptionShowsTheUsageAndTranscribesNothing) {
  TempDir dir;
  const std::string input = dir.write("a.raw", "Z$\n");
  const std::pair<std::vector<std::string>, std::string> kErrors[] = {
      {{"--bogus", input, "X"}, " *** Unknown option: --bogus"},
      {{"--length-code=3", input, "X"},
       " *** Option --length-code, not a sensor length code "
       "(1, 2, 4, 21, 42, 421, 62, 621 or 642): 3"},
      // A batch run answers no prompt, so it cannot ask for the file.
      {{"--batch"}, " *** --batch needs the raw file name"},
      {{"-b", "--"}, " *** --batch needs the raw file name"},
  };
  for (const auto& [args, error] : kErrors) {
    const auto result = run_quillet(args, input + "\nX\n");
    EXPECT_EQ(result.status, 1) << error;
    const auto lines = lines_of(result.console);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], error);
    EXPECT_EQ(lines[1], "Usage: quillet [OPTIONS] RAWFILE [CODES [HEIGHT]]");
    EXPECT_TRUE(matching(result.console, " >>>Transcribe").empty()) << error;
    EXPECT_TRUE(matching(result.console, "*****").empty()) << error;
  }
  EXPECT_EQ(dir.files(), std::vector<std::string>{"a.raw"});
}

TEST(DriverOptions, BatchReadsNoReplyAndShowsEachDefaultKept) {
  TempDir dir;
  const std::string input = dir.write("a.raw", "Z$\n");
  // The keyboard offers a height; a batch run takes none, and keeps the given one.
  const auto batch = run_quillet({"--batch", input, "XG", "0.35"}, "5\n5\n");
  EXPECT_EQ(batch.status, 0);
  const auto lines = lines_of(batch.console);
  std::size_t prompts = 0;
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i].rfind(" Enter Sensor height", 0) != 0) continue;
    ++prompts;
    EXPECT_EQ(lines[i + 1], "    (batch: default kept)");
  }
  EXPECT_EQ(prompts, 2u);
  EXPECT_EQ(matching(batch.console, " Default/user-set"),
            std::vector<std::string>(2,
                                     " Default/user-set instrument height (at axis of sensor) "
                                     "is   0.349999994    "));
  // Without the option the same keyboard answers the first prompt.
  const auto typed = run_quillet({input, "XG", "0.35"}, "5\n5\n");
  EXPECT_TRUE(matching(typed.console, "    (batch").empty());
  EXPECT_EQ(matching(typed.console, " Default/user-set").back(),
            " Default/user-set instrument height (at axis of sensor) is    5.00000000    ");
}

TEST(DriverWarnings, IgnoredArgumentsAndUnusualHeightsAreNamed) {
  TempDir dir;
  const std::string input = dir.write("a.raw", "Z$\n");
  const auto four = run_quillet({input, "G", "0", ".3"});
  EXPECT_EQ(four.status, 0);
  EXPECT_EQ(
      matching(four.console, " *** M"),
      std::vector<std::string>{
          " *** More than three arguments, the sensor height stays as it was; ignored: 0 .3"});
  const auto unusual = [&](const std::vector<std::string>& args, const std::string& keyboard) {
    return matching(run_quillet(args, keyboard).console, " *** Unusual sensor height: ");
  };
  for (const std::string height : {"-1", "99", "10.5", "-0.01"}) {
    EXPECT_EQ(unusual({input, "X", height}, ""),
              std::vector<std::string>{" *** Unusual sensor height: " + height +
                                       " (below 0 or above 10 m), taken as given"});
    EXPECT_EQ(unusual({input, "X"}, height + "  \n").size(), 1u) << height;
  }
  for (const std::string height : {"0", "10", "0.35"}) {
    EXPECT_TRUE(unusual({input, "X", height}, "").empty()) << height;
    EXPECT_TRUE(unusual({input, "X"}, height + "\n").empty()) << height;
  }
  // Given, then typed at the prompt: each is named once.
  EXPECT_EQ(unusual({input, "X", "-1"}, "11\n").size(), 2u);
}

}  // namespace
}  // namespace quillet
