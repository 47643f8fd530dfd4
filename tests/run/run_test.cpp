// Checks of one transcription run that a case folder cannot hold: the height a run hands back, an
// unknown code, and endings that need a special file (tests/cases/run_* hold the others).
// Expected console lines are written out by hand in gfortran's list-directed layout (a 32-bit
// integer after a text takes 12 columns, a 32-bit real 17).
#include "run/run.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "common/console.hpp"
#include "core/state.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::lines_of;
using testing::TempDir;

struct RunOutcome {
  std::int32_t error = 0;
  float height = 0.0f;
  std::vector<std::string> console;
};

RunOutcome run_once(const std::string& input, char code, const std::string& keyboard = "/\n",
                    float height = 0.2f, bool height_given = false) {
  std::istringstream in(keyboard);
  std::ostringstream out;
  StreamConsole console(in, out);
  auto program = std::make_unique<ProgramState>();
  RunOutcome outcome;
  outcome.height = height;
  outcome.error = QUILLETSUB(input, code, outcome.height, height_given, *program, console);
  outcome.console = lines_of(out.str());
  return outcome;
}

TEST(RunSetUp, GivenHeightIsOfferedAndCanBeReplacedOrKept) {
  TempDir dir;
  const std::string input = dir.write("empty.raw", "");
  RunOutcome kept = run_once(input, 'X', "/\n", 0.5f, true);
  EXPECT_EQ(kept.console[3],
            " Default/user-set instrument height (at axis of sensor) is   0.500000000    ");
  EXPECT_EQ(kept.height, 0.5f);
  // A value the caller did not give is replaced by the default before the prompt.
  EXPECT_EQ(run_once(input, 'X', "/\n", 0.7f, false).height, 0.2f);
  // An empty line gives no value: the read goes on with the next line.
  EXPECT_EQ(run_once(input, 'X', "\n0.3\n", 0.5f, true).height, 0.3f);
  // Not a number, or no keyboard input at all: the value in force stays.
  EXPECT_EQ(run_once(input, 'X', "abc\n", 0.5f, true).height, 0.5f);
  EXPECT_EQ(run_once(input, 'X', "", 0.5f, true).height, 0.5f);
  EXPECT_EQ(run_once(input, 'X', "nan\n", 0.5f, true).height, 0.5f);
}

// The reply at the height prompt is taken only when it is one number; what else it holds decides
// whether the user is told that the height stays.
TEST(RunSetUp, HeightReplyMustBeOneNumber) {
  TempDir dir;
  const std::string input = dir.write("empty.raw", "");
  const std::string refused = " *** Not a sensor height, the value stays as it was: ";
  const auto notice = [&](const RunOutcome& run) {
    std::vector<std::string> found;
    for (const auto& line : run.console) {
      if (line.rfind(" *** Not a sensor height", 0) == 0) found.push_back(line);
    }
    return found;
  };
  struct Reply {
    const char* typed;
    float height;        // with 0.5 in force
    const char* echoed;  // the reply in the notice; nullptr: no notice
  };
  const Reply replies[] = {
      {"0.35\n", 0.35f, nullptr},
      {"  0.35 / 7\n", 0.35f, nullptr},
      {"1*0.35,\n", 0.35f, nullptr},
      {"\t0.35\r\n", 0.35f, nullptr},
      {" \n\n0.35\n", 0.35f, nullptr},
      {",\n", 0.5f, nullptr},
      {"/\n", 0.5f, nullptr},
      {" , /\n", 0.5f, nullptr},
      {"1*\n", 0.5f, nullptr},
      {"\n", 0.5f, nullptr},
      {"0,35\n", 0.5f, "0,35"},
      {", 0.35  \n", 0.5f, ", 0.35"},
      {"0.35 0.4\n", 0.5f, "0.35 0.4"},
      {"2*0.35\n", 0.5f, "2*0.35"},
      {"abc\n", 0.5f, "abc"},
      {"1.5m\n", 0.5f, "1.5m"},
      {"nan\n", 0.5f, "nan"},
      {"1e39\n", 0.5f, "1e39"},
      {",,\n", 0.5f, ",,"},
      {"\n 0;35\n0.3\n", 0.5f, " 0;35"},
  };
  for (const Reply& reply : replies) {
    const RunOutcome run = run_once(input, 'X', reply.typed, 0.5f, true);
    EXPECT_EQ(run.height, reply.height) << reply.typed;
    const auto found = notice(run);
    if (reply.echoed == nullptr) {
      EXPECT_TRUE(found.empty()) << reply.typed;
    } else {
      EXPECT_EQ(found, std::vector<std::string>{refused + reply.echoed}) << reply.typed;
    }
  }
}

TEST(RunEnd, UnknownCodeIsNotAllowedAfterTheInputWasOpened) {
  TempDir dir;
  const std::string input = dir.write("survey.raw", "Z$\n");
  const RunOutcome run = run_once(input, 'Q');
  EXPECT_EQ(run.error, 5);
  ASSERT_GE(run.console.size(), 2u);
  EXPECT_EQ(run.console[run.console.size() - 2], " *** Error:  not an allowed output type ");
  EXPECT_EQ(run.console.back(), "   You must use X, G, D or L as second command-line argument.");
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"survey.raw"}));
}

TEST(RunEnd, ReadFailureReportsTheLineAndStatus) {
  // Reading this file fails at once with an input/output error.
  TempDir dir;
  std::filesystem::create_symlink("/proc/self/mem", dir.file("mem.raw"));
  const RunOutcome run = run_once(dir.file("mem.raw"), 'R');
  EXPECT_EQ(run.error, 1);
  ASSERT_GE(run.console.size(), 2u);
  EXPECT_EQ(run.console[run.console.size() - 2],
            " *** Read error in input file at line            1");
  EXPECT_EQ(run.console.back(), " IOSTAT=           5");
}

// The line quoted by the fatal read error shows its control bytes in caret notation.
TEST(RunEnd, FatalReadErrorShowsControlBytesInCaretNotation) {
  RunEnd end;
  end.kind = Flow::FatalReadError;
  end.line_number = 3;
  end.line = " H$\x1b]0;owned\x07 0900";
  std::istringstream in;
  std::ostringstream out;
  StreamConsole console(in, out);
  report_run_end(end, console);
  EXPECT_EQ(out.str(), " *** Fatal read error in input at            3  H$^[]0;owned^G 0900\n");
}

TEST(RunEnd, ALinkAtAnOutputNameIsReplacedNotWrittenThrough) {
  TempDir dir;
  const std::string input =
      dir.write("survey.raw", " T$120000     17 CONV      0     0  1234   -25  1100   310\n Z$\n");
  // Written through, the link would fail the run with a full disk.
  std::filesystem::create_symlink("/dev/full", dir.file("Default.xyz"));
  const RunOutcome run = run_once(input, 'X');
  EXPECT_EQ(run.error, 0);
  EXPECT_FALSE(std::filesystem::is_symlink(dir.file("Default.xyz")));
  EXPECT_EQ(std::filesystem::file_size(dir.file("Default.xyz")), 148u);
}

TEST(RunSetUp, OutputsLandInTheInputsFolderWhateverTheSeparator) {
  EXPECT_EQ(output_folder("d:\\survey\\line1.raw"), "d:\\survey\\");
  EXPECT_EQ(output_folder("a/b\\c/line1.raw"), "a/b\\c/");
  EXPECT_EQ(output_folder("line1.raw"), "");
  TempDir dir;
  std::filesystem::create_directory(dir.file("day1"));
  const std::string input = dir.write("day1/survey.raw", "");
  EXPECT_EQ(run_once(input, 'D').error, 0);
  EXPECT_TRUE(std::filesystem::exists(dir.file("day1/Default.G31")));
}

}  // namespace
}  // namespace quillet
