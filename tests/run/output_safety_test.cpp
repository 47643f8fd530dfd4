// Runs of the program as processes where outputs are at risk: interrupted by signals, on a file
// size limit, over a read-only earlier output, with links at the output names, with names that
// repeat within a run, and two at once in one folder. Every file under a final name must be a
// complete one; the surveys come from the benchmark generator.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/e2e.hpp"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_quillet_process;
using testing::TempDir;

// The lines of a benchmark survey of `readings` T$ readings between its header and "Z$" lines.
std::string survey_body(int readings) {
  static std::map<int, std::string> made;
  if (const auto found = made.find(readings); found != made.end()) return found->second;
  const std::string command = std::string("python3 ") + QUILLET_SOURCE_DIR +
                              "/bench/make_survey.py t " + std::to_string(readings);
  std::string text;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char chunk[65536];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
      text.append(chunk, got);
    }
    ::pclose(pipe);
  }
  const std::size_t first = text.find('\n') + 1;
  const std::size_t last = text.rfind(" Z$");
  return made[readings] = text.substr(first, last - first);
}

// One logger file: its header line (name in columns 11-18, start time hhmmss) and `readings`.
std::string logger_file(const std::string& name, int readings,
                        const std::string& start = "090000") {
  std::string padded = name;
  padded.resize(8, ' ');
  return " H$" + start + " " + padded + " 261208 4\r\n" + survey_body(readings);
}

std::string survey(const std::vector<std::pair<std::string, int>>& loggers) {
  std::string raw;
  for (const auto& [name, readings] : loggers) raw += logger_file(name, readings);
  return raw + " Z$\r\n";
}

using Folder = std::map<std::string, std::string>;  // name -> bytes

// Every entry of `dir` but the raw file (links as "->TARGET").
Folder contents(const TempDir& dir, const std::string& raw = "survey.raw") {
  Folder folder;
  for (const std::string& name : dir.files()) {
    if (name == raw) continue;
    const fs::path path = dir.path() / name;
    folder[name] =
        fs::is_symlink(path) ? "->" + fs::read_symlink(path).string() : read_file(path.string());
  }
  return folder;
}

// The files of an uninterrupted run of `codes` over `raw`, the measure of the runs below.
Folder complete_run(const std::string& raw, const std::string& codes) {
  TempDir dir;
  dir.write("survey.raw", raw);
  EXPECT_EQ(run_quillet_process({"survey.raw", codes, "0.2"}, "", dir.path()).status, 0);
  return contents(dir);
}

// The names and sizes of a folder's files, for a failure message.
std::string listed(const Folder& folder) {
  std::string list;
  for (const auto& [name, bytes] : folder)
    list += name + " (" + std::to_string(bytes.size()) + ") ";
  return list;
}

bool is_temporary(const std::string& name) {
  return name.size() > 5 && name.front() == '.' && name.ends_with(".tmp");
}

// A run of the program started and left running: its console goes to a file of its own.
struct Started {
  pid_t pid = -1;
  std::string console_path;
  std::string console() const { return read_file(console_path); }
};

// Starts `argv` (the program when argv[0] is empty) in `cwd`, keyboard input closed. With
// `own_group`, the process leads a process group of its own, as a shell's foreground job does.
Started start(std::vector<std::string> argv, const fs::path& cwd, const TempDir& scratch,
              bool own_group = false) {
  static int count = 0;
  Started started;
  started.console_path = scratch.file("console-" + std::to_string(++count));
  if (argv[0].empty()) argv[0] = QUILLET_BINARY;
  started.pid = ::fork();
  if (started.pid == 0) {
    if (own_group) ::setpgid(0, 0);
    if (::chdir(cwd.c_str()) != 0) ::_exit(127);
    if (!std::freopen("/dev/null", "rb", stdin)) ::_exit(127);
    if (!std::freopen(started.console_path.c_str(), "wb", stdout)) ::_exit(127);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    ::_exit(127);
  }
  return started;
}

// Its wait status; a process still running after two minutes is killed (and fails the test).
int wait_for(const Started& started) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  int status = 0;
  while (::waitpid(started.pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > until) {
      ADD_FAILURE() << "still running: killed";
      ::kill(started.pid, SIGKILL);
      ::waitpid(started.pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return status;
}

// Waits until `path` exists: the run has reached that point. False after 30 s.
bool appears(const fs::path& path) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!fs::exists(path)) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

// Three logger files of one size: when the first one's main file reaches its name, the run is
// about a third through.
const std::vector<std::pair<std::string, int>> kThirds = {
    {"LOGGER01", 30000}, {"LOGGER02", 30000}, {"LOGGER03", 30000}};
// Runs that ended before their signal came prove nothing and are made again, this often at most.
constexpr int kAttempts = 5;

TEST(OutputSafety, AnInterruptedRunLeavesOnlyCompleteFiles) {
  const std::string raw = survey(kThirds);
  const Folder whole = complete_run(raw, "XL");
  ASSERT_TRUE(whole.contains("LOGGER03.log"));

  for (const int signal : {SIGKILL, SIGINT}) {
    SCOPED_TRACE(signal);
    TempDir scratch;
    TempDir dir;
    Started run;
    int status = 0;
    for (int attempt = 1;; ++attempt) {
      fs::remove_all(dir.path());
      fs::create_directory(dir.path());
      dir.write("survey.raw", raw);
      run = start({"", "survey.raw", "XL", "0.2"}, dir.path(), scratch);
      ASSERT_TRUE(appears(dir.path() / "LOGGER01.xyz"));
      ::kill(run.pid, signal);
      status = wait_for(run);
      // On a loaded machine the whole run may end before the signal is sent: try again.
      if (WIFSIGNALED(status) || attempt == kAttempts) break;
    }
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;

    for (const auto& [name, bytes] : contents(dir)) {
      if (signal == SIGKILL && is_temporary(name)) continue;  // no handler runs on SIGKILL
      ASSERT_TRUE(whole.contains(name)) << name << " is not an output of the complete run";
      EXPECT_TRUE(bytes == whole.at(name)) << name << " is not the complete run's";
    }
    if (signal == SIGINT) {
      // Where the signal lands depends on the machine's load: the set being written, or the
      // side files of the set just closed. Whatever the line names must not stand on disk.
      const std::string console = run.console();
      const std::size_t at = console.find("*** Run interrupted by SIGINT; ");
      ASSERT_NE(at, std::string::npos) << console;
      std::string names = console.substr(at, console.find('\n', at) - at);
      const std::string listing = "files not written: ";
      const std::size_t list = names.find(listing);
      names = list == std::string::npos ? "" : names.substr(list + listing.size());
      for (std::size_t from = 0; from < names.size();) {
        const std::size_t comma = std::min(names.find(", ", from), names.size());
        const std::string name = names.substr(from, comma - from);
        EXPECT_FALSE(fs::exists(dir.path() / name)) << name << " is on disk; " << console;
        from = comma + 2;
      }
    }
    // A rerun completes the outputs and takes the place of any temporary a SIGKILL left.
    ASSERT_EQ(run_quillet_process({"survey.raw", "XL", "0.2"}, "", dir.path()).status, 0);
    EXPECT_TRUE(contents(dir) == whole);
  }
}

TEST(OutputSafety, CtrlCStopsAShellLoopOverRawFiles) {
  TempDir scratch;
  TempDir dir;
  // Ctrl-C signals the whole foreground job: the shell and the program it waits for.
  const std::string loop = std::string("for f in a/survey.raw b/survey.raw; do ") + QUILLET_BINARY +
                           " \"$f\" X 0.2; done; echo loop went on";
  Started shell;
  int status = 0;
  for (int attempt = 1;; ++attempt) {
    // Each attempt after a run that was too quick for the signal takes longer files.
    const int readings = kThirds[0].second * attempt;
    const std::string raw =
        survey({{"LOGGER01", readings}, {"LOGGER02", readings}, {"LOGGER03", readings}});
    for (const char* folder : {"a", "b"}) {
      fs::remove_all(dir.path() / folder);
      fs::create_directory(dir.path() / folder);
      dir.write(std::string(folder) + "/survey.raw", raw);
    }
    shell = start({"bash", "-c", loop}, dir.path(), scratch, true);
    ASSERT_TRUE(appears(dir.path() / "a" / "LOGGER01.xyz"));
    ::kill(-shell.pid, SIGINT);
    status = wait_for(shell);
    // On a loaded machine the first run may end before the signal is sent: try again.
    if (!fs::exists(dir.path() / "a" / "LOGGER03.xyz") || attempt == kAttempts) break;
  }
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_EQ(shell.console().find("loop went on"), std::string::npos);
  std::vector<std::string> b;
  for (const auto& entry : fs::directory_iterator(dir.path() / "b")) {
    b.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(b, std::vector<std::string>{"survey.raw"});
  for (const auto& entry : fs::directory_iterator(dir.path() / "a")) {
    EXPECT_FALSE(is_temporary(entry.path().filename().string())) << entry.path();
  }
}

TEST(OutputSafety, AFileSizeLimitFailsTheRunAndKeepsTheEarlierFiles) {
  const std::string raw = survey({{"LOGGER01", 150}, {"LOGGER02", 150}, {"LOGGER03", 4000}});
  const Folder whole = complete_run(raw, "X");

  TempDir dir;
  dir.write("survey.raw", raw);
  dir.write("LOGGER03.xyz", "an earlier run's file\n");
  testing::ProcessOptions limited;
  limited.file_size_limit = whole.at("LOGGER02.xyz").size() + 1000;
  ASSERT_LT(limited.file_size_limit, whole.at("LOGGER03.xyz").size());
  const auto result = run_quillet_process({"survey.raw", "X", "0.2"}, "", dir.path(), limited);
  EXPECT_EQ(result.status, 4);
  EXPECT_NE(result.console.find(" *** Write error for outfile=LOGGER03.xyz"), std::string::npos)
      << result.console;
  // The summary counts the records of the two files that reached their names: one a line.
  std::size_t records = 0;
  for (const char* name : {"LOGGER01.xyz", "LOGGER02.xyz"}) {
    records += std::count(whole.at(name).begin(), whole.at(name).end(), '\n');
  }
  EXPECT_NE(result.console.find(", " + std::to_string(records) + " station records written"),
            std::string::npos)
      << result.console;

  // The sets completed before the limit was met (the set-up's, which keeps an empty XYX file, and
  // two loggers') reached their names; nothing of the third did.
  Folder expected;
  for (const auto& [name, bytes] : whole) {
    if (!name.starts_with("LOGGER03")) expected[name] = bytes;
  }
  expected["LOGGER03.xyz"] = "an earlier run's file\n";
  EXPECT_EQ(listed(contents(dir)), listed(expected));
  EXPECT_TRUE(contents(dir) == expected);
}

TEST(OutputSafety, AReadOnlyEarlierOutputIsRefusedBeforeAnythingIsReplaced) {
  TempDir dir;
  dir.write("survey.raw", survey({{"LOGGER01", 20}}));
  dir.write("LOGGER01.xyz", "an earlier run's file\n");
  dir.write("LOGGER01.CMT", "an earlier run's comments\n");
  testing::ProcessOptions options;
  options.read_only_file = "LOGGER01.CMT";
  const auto result = run_quillet_process({"survey.raw", "X", "0.2"}, "", dir.path(), options);
  EXPECT_EQ(result.status, 4);
  EXPECT_NE(result.console.find(" *** Open error for outfile=LOGGER01.CMT"), std::string::npos)
      << result.console;
  // The set-up's set, complete at the header line, keeps its empty XYX file as always.
  EXPECT_EQ(listed(contents(dir)), "Default.xyx (0) LOGGER01.CMT (26) LOGGER01.xyz (22) ");
  EXPECT_EQ(read_file(dir.file("LOGGER01.xyz")), "an earlier run's file\n");
}

TEST(OutputSafety, ALinkAtAnyOutputNameLeavesItsTargetAlone) {
  // Readings before the first header line, so that the set-up's files hold records too.
  const std::string raw = survey_body(30) + survey({{"LOGGER01", 30}, {"LOGGER02", 30}});
  const std::vector<std::string> runs = {"XGDLSC", "PIR"};
  std::vector<Folder> wholes;
  for (const std::string& codes : runs) {
    wholes.push_back(complete_run(raw, codes));
  }
  for (std::size_t k = 0; k < runs.size(); ++k) {
    SCOPED_TRACE(runs[k]);
    TempDir outside;
    TempDir dir;
    dir.write("survey.raw", raw);
    // A link at every name the runs write or delete, each to a file of its own.
    std::vector<std::string> names = {"Default.xyz", "Default.xyx", "Default.CMT", "DEFAULT.GPS",
                                      "Default.RAW", "Default.SDF", "Default.DAT", "LOGGER01.GPS"};
    for (const Folder& whole : wholes) {
      for (const auto& entry : whole) names.push_back(entry.first);
    }
    for (const std::string& name : names) {
      const std::string victim = outside.write(name + ".victim", "not an output: " + name);
      std::error_code exists;
      fs::create_symlink(victim, dir.file(name), exists);
    }
    ASSERT_EQ(run_quillet_process({"survey.raw", runs[k], "0.2"}, "", dir.path()).status, 0);
    for (const std::string& name : names) {
      EXPECT_EQ(read_file(outside.file(name + ".victim")), "not an output: " + name);
    }
    // The outputs replaced the links at their names; links at names the run left stay links.
    Folder outputs;
    for (const auto& [name, bytes] : contents(dir)) {
      if (!bytes.starts_with("->")) outputs[name] = bytes;
    }
    EXPECT_TRUE(outputs == wholes[k]);
  }
}

// The files of one logger file's set, run alone under the name "SINGLE".
Folder alone(const std::string& records, const std::string& code) {
  return complete_run(records + " Z$\r\n", code);
}

TEST(OutputSafety, NamesThatRepeatInARunTakeASuffixAndKeepEveryCopy) {
  // A logger downloaded three times: one name and start time, three lengths of record.
  const std::vector<int> copies = {5, 7, 9};
  std::string raw;
  for (const int readings : copies) raw += logger_file("FIELD421", readings, "101400");
  raw += " Z$\r\n";
  for (const std::string code : {"X", "D"}) {
    SCOPED_TRACE(code);
    TempDir dir;
    dir.write("survey.raw", raw);
    const auto result = run_quillet_process({"survey.raw", code, "0.2"}, "", dir.path());
    ASSERT_EQ(result.status, 0);
    const std::string ext = code == "X" ? ".xyz" : ".g31";
    // The second copy takes the time-stamped name, the third that name with ~2.
    const std::vector<std::string> stems = {"FIELD421", "FIELD421_1014 0", "FIELD421_1014 0~2"};
    for (std::size_t k = 0; k < copies.size(); ++k) {
      EXPECT_NE(result.console.find("Output file: " + stems[k] + ext), std::string::npos)
          << result.console;
      const Folder single = alone(logger_file("SINGLE", copies[k], "101400"), code);
      const Folder all = contents(dir);
      for (const char* side : {".XYX", ".CMT"}) {
        if (!single.contains(std::string("SINGLE") + side)) continue;
        ASSERT_TRUE(all.contains(stems[k] + side)) << stems[k] + side;
        EXPECT_EQ(all.at(stems[k] + side), single.at(std::string("SINGLE") + side));
      }
      ASSERT_TRUE(all.contains(stems[k] + ext)) << stems[k] + ext;
      std::string main = all.at(stems[k] + ext);
      std::string expected = single.at("SINGLE" + ext);
      if (code == "D") {  // the DAT31 header names the file as its header line gave it
        main.erase(0, main.find('\n'));
        expected.erase(0, expected.find('\n'));
      }
      EXPECT_EQ(main, expected);
    }
  }
}

TEST(OutputSafety, LoggersNamedLikeTheDefaultFilesTakeTheNextSuffixWhateverTheirCase) {
  const std::string before = survey_body(4);
  const std::string raw =
      before + logger_file("Default", 6) + logger_file("DEFAULT", 8) + " Z$\r\n";
  TempDir dir;
  dir.write("survey.raw", raw);
  const auto result = run_quillet_process({"survey.raw", "X", "0.2"}, "", dir.path());
  ASSERT_EQ(result.status, 0);
  const Folder all = contents(dir);
  EXPECT_EQ(all.at("Default.xyz"), alone(before, "X").at("Default.xyz"));
  EXPECT_EQ(all.at("Default~2.xyz"), alone(logger_file("SINGLE", 6), "X").at("SINGLE.xyz"));
  EXPECT_EQ(all.at("DEFAULT~3.xyz"), alone(logger_file("SINGLE", 8), "X").at("SINGLE.xyz"));
  for (const char* name : {"Default~2.GPS", "DEFAULT~3.GPS", "Default~2.XYX", "DEFAULT~3.CMT"}) {
    EXPECT_TRUE(all.contains(name)) << name;
  }
  EXPECT_NE(result.console.find("Output file: DEFAULT~3.xyz"), std::string::npos) << result.console;
}

TEST(OutputSafety, OneExecutionWritesInAFolderAtATime) {
  const std::string raw = survey(kThirds);
  const Folder whole = complete_run(raw, "X");

  TempDir scratch;
  TempDir dir;
  dir.write("survey.raw", raw);
  // Another execution holds the folder: the run says so once, and waits without a file.
  const int held = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  const Started waiting = start({"", "survey.raw", "X", "0.2"}, dir.path(), scratch);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (waiting.console().find("waiting for it to end") == std::string::npos &&
         std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_NE(waiting.console().find("   Another quillet run is writing in folder ./; waiting"),
            std::string::npos);
  EXPECT_TRUE(contents(dir).empty());
  ::close(held);
  EXPECT_EQ(wait_for(waiting), 0);
  EXPECT_TRUE(contents(dir) == whole);

  // Two runs of one raw file started together: both complete, and the files are a single run's.
  const Started first = start({"", "survey.raw", "X", "0.2"}, dir.path(), scratch);
  const Started second = start({"", "survey.raw", "X", "0.2"}, dir.path(), scratch);
  EXPECT_EQ(wait_for(first), 0);
  EXPECT_EQ(wait_for(second), 0);
  EXPECT_TRUE(contents(dir) == whole);
}

}  // namespace
}  // namespace quillet
