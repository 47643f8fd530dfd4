// End-to-end test helpers: a temporary folder that removes itself, runs of the whole program
// (in-process or as a process) with scripted keyboard lines, and file comparisons that report the
// first differing line and column.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quillet::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Path of `name` inside the folder, as text.
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  // Writes `content` to `name` inside the folder; returns its path.
  std::string write(const std::string& name, const std::string& content) const;
  // Names of the files in the folder, sorted.
  std::vector<std::string> files() const;

 private:
  std::filesystem::path path_;
};

struct ProgramResult {
  int status = 0;
  std::string console;   // everything the program wrote to its console
  long max_rss_kib = 0;  // the most memory the process held at once
};

// What a process run of the program meets besides its arguments and keyboard.
struct ProcessOptions {
  // Largest file the process may write, in bytes (0: no limit); a write beyond it fails as on a
  // disk that has filled up.
  unsigned long file_size_limit = 0;
  // The folder the process runs in cannot be written (made read-only for the process alone).
  bool read_only_folder = false;
  // A file of that folder (by name) that the process may not write, or empty.
  std::string read_only_file;
};

// Runs the program in-process with `args` (after the program name) and `keyboard` as the whole
// keyboard input.
ProgramResult run_quillet(const std::vector<std::string>& args, const std::string& keyboard = "");

// Runs the built program as a process in folder `cwd`, with `keyboard` on its standard input.
ProgramResult run_quillet_process(const std::vector<std::string>& args, const std::string& keyboard,
                                  const std::filesystem::path& cwd,
                                  const ProcessOptions& options = {});

std::string read_file(const std::string& path);

// Success when the file at `path` holds exactly `expected`; otherwise says where they first
// differ (line and column), with both lines.
::testing::AssertionResult file_equals(const std::string& path, const std::string& expected);

// The lines of a console text, without their line feeds.
std::vector<std::string> lines_of(const std::string& text);

}  // namespace quillet::testing
