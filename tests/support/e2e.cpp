#include "support/e2e.hpp"

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "common/console.hpp"
#include "core/state.hpp"
#include "driver/driver.hpp"

namespace quillet::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillet-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  const std::string path = file(name);
  std::ofstream out(path, std::ios::binary);
  out << content;
  return path;
}

std::vector<std::string> TempDir::files() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

ProgramResult run_quillet(const std::vector<std::string>& args, const std::string& keyboard) {
  std::istringstream in(keyboard);
  std::ostringstream out;
  StreamConsole console(in, out);
  auto program = std::make_unique<ProgramState>();
  ProgramResult result;
  result.status = run_program(args, *program, console);
  result.console = out.str();
  return result;
}

namespace {

// A file of its own in the temporary folder, outside the folder the program runs in.
std::string unique_temp_file(const char* stem) {
  std::string pattern = (std::filesystem::temp_directory_path() / stem).string() + "-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) std::abort();
  ::close(fd);
  return pattern;
}

// In the child, before the program starts: the folder becomes read-only for this process. Root
// writes through any permission bits, so for root the folder is mounted read-only in a mount
// namespace of the child's own.
bool make_folder_read_only(const std::filesystem::path& dir) {
  if (::geteuid() != 0) return ::chmod(dir.c_str(), 0555) == 0;
  return ::unshare(CLONE_NEWNS) == 0 &&
         ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
         ::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

// The same for one file of the working folder: a read-only bind mount of the file over itself.
bool make_file_read_only(const std::string& name) {
  if (::geteuid() != 0) return ::chmod(name.c_str(), 0444) == 0;
  return ::unshare(CLONE_NEWNS) == 0 &&
         ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
         ::mount(name.c_str(), name.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
         ::mount(nullptr, name.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

}  // namespace

ProgramResult run_quillet_process(const std::vector<std::string>& args, const std::string& keyboard,
                                  const std::filesystem::path& cwd, const ProcessOptions& options) {
  const std::string input_path = unique_temp_file("quillet-keyboard");
  const std::string output_path = unique_temp_file("quillet-console");
  { std::ofstream(input_path, std::ios::binary) << keyboard; }
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The folder is entered after any mount over it, so that its names resolve through the mount.
    if (options.read_only_folder && !make_folder_read_only(cwd)) ::_exit(126);
    if (::chdir(cwd.c_str()) != 0) ::_exit(127);
    if (!std::freopen(input_path.c_str(), "rb", stdin)) ::_exit(127);
    if (!std::freopen(output_path.c_str(), "wb", stdout)) ::_exit(127);
    if (!options.read_only_file.empty() && !make_file_read_only(options.read_only_file)) {
      ::_exit(126);
    }
    if (options.file_size_limit > 0) {
      // The default action of SIGXFSZ kills a process that writes past the limit: the program
      // must turn the signal into a write error by itself.
      std::signal(SIGXFSZ, SIG_DFL);
      const rlimit limit{options.file_size_limit, options.file_size_limit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    }
    std::vector<char*> argv;
    std::string binary = QUILLET_BINARY;
    argv.push_back(binary.data());
    std::vector<std::string> copies(args);
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(binary.c_str(), argv.data());
    ::_exit(127);
  }
  int wstatus = 0;
  rusage usage{};
  ::wait4(pid, &wstatus, 0, &usage);
  ProgramResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  result.console = read_file(output_path);
  result.max_rss_kib = usage.ru_maxrss;
  std::filesystem::remove(input_path);
  std::filesystem::remove(output_path);
  return result;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

::testing::AssertionResult file_equals(const std::string& path, const std::string& expected) {
  if (!std::filesystem::exists(path))
    return ::testing::AssertionFailure() << path << " does not exist";
  const std::string actual = read_file(path);
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  std::size_t line =
      1 + static_cast<std::size_t>(std::count(actual.begin(), actual.begin() + at, '\n'));
  const std::size_t line_start = actual.rfind('\n', at == 0 ? 0 : at - 1);
  const std::size_t first = (at == 0 || line_start == std::string::npos) ? 0 : line_start + 1;
  const std::size_t column = at - first + 1;
  auto line_at = [&](const std::string& text) {
    if (first >= text.size()) return std::string("<end of file>");
    const std::size_t end = text.find('\n', first);
    std::string shown(1, '"');
    shown.append(text, first, end == std::string::npos ? std::string::npos : end - first);
    shown.push_back('"');
    return shown;
  };
  return ::testing::AssertionFailure()
         << path << " differs at line " << line << ", column " << column
         << "\n  actual:   " << line_at(actual) << "\n  expected: " << line_at(expected) << "\n  ("
         << actual.size() << " bytes actual, " << expected.size() << " expected)";
}

}  // namespace quillet::testing
