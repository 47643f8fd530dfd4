// End-to-end cases as data. Each folder under tests/cases/ is one case:
//   cmd        one execution of the program per line: its arguments, separated by blanks
//   stdin      (optional) the keyboard text of every execution
//   in/        the files put into an empty folder before the first execution
//   out/       the files that folder must hold afterwards besides those of in/, byte for byte
//              (an in/ file named here too must have kept or got that text); no other file may
//              be there (so the keep-or-delete rules are checked too). Every file of in/ that
//              out/ does not name must keep its bytes and modification time.
//   console    (optional) the console text of all executions, exactly
//   status     (optional) the exit status of every execution (0 when absent)
//   HOW        how the expected files were derived (read by people only)
// The program runs as a process in that folder, so names and the console are those a user sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::file_equals;
using testing::read_file;
using testing::run_quillet_process;
using testing::TempDir;

const fs::path kCases = fs::path(QUILLET_SOURCE_DIR) / "tests" / "cases";

std::vector<std::string> case_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kCases)) {
    if (entry.is_directory()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> files_below(const fs::path& dir) {
  std::vector<std::string> names;
  if (!fs::exists(dir)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), dir).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string text_or(const fs::path& path, const std::string& fallback) {
  return fs::exists(path) ? read_file(path.string()) : fallback;
}

class Case : public ::testing::TestWithParam<std::string> {};

TEST_P(Case, OutputsMatch) {
  const fs::path dir = kCases / GetParam();
  TempDir work;
  // An old modification time, so that any write to an input shows.
  const fs::file_time_type old_time =
      fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  const std::vector<std::string> inputs = files_below(dir / "in");
  for (const std::string& name : inputs) {
    fs::create_directories((work.path() / name).parent_path());
    fs::copy_file(dir / "in" / name, work.path() / name);
    fs::last_write_time(work.path() / name, old_time);
  }
  const std::string keyboard = text_or(dir / "stdin", "");
  const int expected_status = std::stoi(text_or(dir / "status", "0"));
  std::istringstream commands(read_file((dir / "cmd").string()));
  std::string command;
  std::string console;
  while (std::getline(commands, command)) {
    std::istringstream words(command);
    std::vector<std::string> args;
    for (std::string word; words >> word;) args.push_back(word);
    if (args.empty()) continue;
    const auto result = run_quillet_process(args, keyboard, work.path());
    EXPECT_EQ(result.status, expected_status) << command;
    console += result.console;
  }
  if (fs::exists(dir / "console")) {
    const std::string path = work.file(".console.actual");
    { std::ofstream(path, std::ios::binary) << console; }
    EXPECT_TRUE(file_equals(path, read_file((dir / "console").string())));
    fs::remove(path);
  }
  std::vector<std::string> expected = inputs;
  const std::vector<std::string> outputs = files_below(dir / "out");
  for (const std::string& name : outputs) {
    expected.push_back(name);
    EXPECT_TRUE(file_equals(work.file(name), read_file((dir / "out" / name).string())));
  }
  for (const std::string& name : inputs) {
    if (std::find(outputs.begin(), outputs.end(), name) != outputs.end()) continue;
    EXPECT_TRUE(file_equals(work.file(name), read_file((dir / "in" / name).string())));
    std::error_code gone;
    EXPECT_TRUE(fs::last_write_time(work.path() / name, gone) == old_time)
        << name << " was written";
  }
  std::sort(expected.begin(), expected.end());
  expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
  EXPECT_EQ(files_below(work.path()), expected) << "the files left in the folder";
}

INSTANTIATE_TEST_SUITE_P(Cases, Case, ::testing::ValuesIn(case_names()), [](const auto& info) {
  std::string name = info.param;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
});

const char* const kExamples[] = {"t_packets.raw",    "pdlmt.raw",     "d_one_array.raw",
                                 "three_arrays.raw", "n_packets.raw", "ems.raw"};

// The example files are the generator's output as committed, so that editing one by hand (or the
// generator without running it) shows.
TEST(Examples, AreWhatTheirGeneratorWrites) {
  const fs::path source = QUILLET_SOURCE_DIR;
  TempDir made;
  const std::string command =
      "python3 " + (source / "scripts" / "make_examples.py").string() + " " + made.path().string();
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  for (const char* example : kExamples) {
    EXPECT_TRUE(
        file_equals(made.file(example), read_file((source / "examples" / example).string())));
  }
}

// The example files are what a logger writes on a short survey, with nothing damaged: every
// code reads each of them to its end marker and skips no line.
TEST(Examples, TranscribeWholeWithEveryCode) {
  const fs::path examples = fs::path(QUILLET_SOURCE_DIR) / "examples";
  for (const char* example : kExamples) {
    const std::string raw = read_file((examples / example).string());
    const auto lines = std::count(raw.begin(), raw.end(), '\n');
    for (const char code : std::string("XGDLSPIRC")) {
      TempDir work;
      fs::copy_file(examples / example, work.path() / example);
      const auto result =
          run_quillet_process({example, std::string(1, code), "0.2"}, "", work.path());
      EXPECT_EQ(result.status, 0) << example << ' ' << code;
      EXPECT_NE(result.console.find("Summary: " + std::to_string(lines) + " lines read, "),
                std::string::npos)
          << example << ' ' << code << '\n'
          << result.console;
      EXPECT_NE(result.console.find(", 0 lines skipped\n"), std::string::npos)
          << example << ' ' << code << '\n'
          << result.console;
    }
  }
}

// A file whose lines end with a CR alone is read at its CRs, the GPS pre-scan included: the
// three-array example so written gives the files of the example itself, and the console says it
// once per run.
TEST(Examples, CrOnlyTwinTranscribesLikeTheExample) {
  const fs::path examples = fs::path(QUILLET_SOURCE_DIR) / "examples";
  std::string raw = read_file((examples / "three_arrays.raw").string());
  TempDir lf;
  TempDir cr;
  { std::ofstream(lf.file("three_arrays.raw"), std::ios::binary) << raw; }
  std::replace(raw.begin(), raw.end(), '\n', '\r');
  { std::ofstream(cr.file("three_arrays.raw"), std::ios::binary) << raw; }
  const auto from_lf = run_quillet_process({"three_arrays.raw", "XS", "0.2"}, "", lf.path());
  const auto from_cr = run_quillet_process({"three_arrays.raw", "XS", "0.2"}, "", cr.path());
  EXPECT_EQ(from_lf.status, 0);
  EXPECT_EQ(from_cr.status, 0);
  const std::vector<std::string> names = files_below(lf.path());
  EXPECT_EQ(files_below(cr.path()), names);
  for (const std::string& name : names) {
    if (name == "three_arrays.raw") continue;
    EXPECT_TRUE(file_equals(cr.file(name), read_file(lf.file(name)))) << name;
  }
  const std::string said =
      " Lines of this file end with a carriage return alone (CR): each one ends a line\n";
  std::string console = from_cr.console;
  int times = 0;
  for (std::size_t at; (at = console.find(said)) != std::string::npos; ++times) {
    console.erase(at, said.size());
  }
  EXPECT_EQ(times, 2);
  EXPECT_EQ(console, from_lf.console);
}

// The outputs of every code for the three-array example, and the ICE and binary files of the EMS
// example, are checked byte for byte by cases; their inputs must stay the examples users
// transcribe.
TEST(Examples, AreTheInputsOfTheirCases) {
  const std::pair<const char*, const char*> kInputs[] = {
      {"three_arrays.raw", "example_three_arrays/in/three_arrays.raw"},
      {"three_arrays.raw", "example_three_arrays/in/g/three_arrays.raw"},
      {"ems.raw", "example_ems_ice/in/ems.raw"},
  };
  for (const auto& [example, input] : kInputs) {
    EXPECT_EQ(read_file((kCases / input).string()),
              read_file((fs::path(QUILLET_SOURCE_DIR) / "examples" / example).string()))
        << input;
  }
}

}  // namespace
}  // namespace quillet
