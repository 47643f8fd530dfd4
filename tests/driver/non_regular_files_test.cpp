// The program as a process against inputs and outputs that are not plain files: FIFOs, devices
// and sockets as inputs, a console on a full disk or a closed pipe, a link at fort.99.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

const fs::path kCases = fs::path(QUILLET_SOURCE_DIR) / "tests" / "cases";

struct Outcome {
  int status = -1;  // exit status; -1 when the process died by a signal
  std::string console;
  std::string errors;  // standard error
  double seconds = 0;
};

// Runs the program in `cwd` with the keyboard closed and standard output to `console_fd` (a file
// of its own when -1). SIGPIPE is left at its default, so that a closed console pipe tests the
// program's own handling of it. A process that hangs is ended after ten seconds.
Outcome run(const std::vector<std::string>& args, const fs::path& cwd, int console_fd = -1,
            const std::string& keyboard = "") {
  TempDir streams;
  const std::string in = streams.write("keyboard", keyboard);
  const std::string out = streams.file("console");
  const std::string err = streams.file("errors");
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(127);
    const int keys = ::open(in.c_str(), O_RDONLY);
    const int screen = console_fd >= 0 ? console_fd : ::open(out.c_str(), O_WRONLY | O_CREAT, 0600);
    const int errors = ::open(err.c_str(), O_WRONLY | O_CREAT, 0600);
    if (keys < 0 || screen < 0 || errors < 0) ::_exit(127);
    ::dup2(keys, 0);
    ::dup2(screen, 1);
    ::dup2(errors, 2);
    ::signal(SIGPIPE, SIG_DFL);
    ::alarm(10);
    std::vector<std::string> copies(args);
    std::string binary = QUILLET_BINARY;
    std::vector<char*> argv{binary.data()};
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(binary.c_str(), argv.data());
    ::_exit(127);
  }
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  Outcome outcome;
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  if (fs::exists(out)) outcome.console = read_file(out);
  outcome.errors = read_file(err);
  return outcome;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A FIFO without a writer, a socket and a device are refused at once with code 3, in the run and
// at the file prompt, and nothing is created; a link to a regular file is a regular input.
TEST(NonRegularInput, IsRefusedAtOnceAndNothingIsCreated) {
  TempDir folder;
  ASSERT_EQ(::mkfifo(folder.file("pipe.raw").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string sock_path = folder.file("sock.raw");
  ASSERT_LT(sock_path.size(), sizeof(address.sun_path));
  std::strcpy(address.sun_path, sock_path.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  const std::vector<std::string> before = names_in(folder.path());
  const bool dev_had_default = fs::exists("/dev/Default.xyz");

  const std::pair<const char*, const char*> kInputs[] = {
      {"pipe.raw", "a FIFO"}, {"sock.raw", "a socket"}, {"/dev/zero", "a character device"}};
  for (const auto& [name, kind] : kInputs) {
    const Outcome outcome = run({name, "GX"}, folder.path());
    EXPECT_EQ(outcome.status, 3) << name;
    EXPECT_LT(outcome.seconds, 5.0) << name;
    EXPECT_TRUE(contains(outcome.console, std::string("*** Open error for input file=") + name +
                                              " (" + kind + ", not a regular file)"))
        << outcome.console;

    const Outcome asked = run({}, folder.path(), -1, std::string(name) + "\nquit\n");
    EXPECT_EQ(asked.status, 0) << name;
    EXPECT_LT(asked.seconds, 5.0) << name;
    EXPECT_TRUE(contains(asked.console, std::string("Error opening file ") + name + " (" + kind +
                                            ", not a regular file)"))
        << asked.console;
  }
  EXPECT_EQ(names_in(folder.path()), before);
  EXPECT_EQ(fs::exists("/dev/Default.xyz"), dev_had_default);
  ::close(sock);

  fs::copy_file(kCases / "t_packets_xyz" / "in" / "survey.raw", folder.path() / "real.raw");
  fs::create_symlink("real.raw", folder.path() / "link.raw");
  EXPECT_EQ(run({"link.raw", "X"}, folder.path()).status, 0);
  EXPECT_EQ(read_file(folder.file("Default.xyz")),
            read_file((kCases / "t_packets_xyz" / "out" / "Default.xyz").string()));
}

// A console that cannot be written makes the program fail with code 4 and say so on standard
// error; the output files are complete all the same.
TEST(ConsoleFailure, EndsWithCodeFourAndCompleteOutputs) {
  const fs::path source = kCases / "t_packets_xyz";
  const std::string expected = read_file((source / "out" / "Default.xyz").string());
  const std::string message = "Write error for the console (standard output)";

  TempDir full;
  fs::copy_file(source / "in" / "survey.raw", full.path() / "survey.raw");
  const int device = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(device, 0);
  const Outcome on_full_disk = run({"survey.raw", "X"}, full.path(), device);
  ::close(device);
  EXPECT_EQ(on_full_disk.status, 4);
  EXPECT_TRUE(contains(on_full_disk.errors, message)) << on_full_disk.errors;
  EXPECT_EQ(read_file(full.file("Default.xyz")), expected);

  TempDir broken;
  fs::copy_file(source / "in" / "survey.raw", broken.path() / "survey.raw");
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);  // nobody reads: every write fails
  const Outcome on_closed_pipe = run({"survey.raw", "X"}, broken.path(), ends[1]);
  ::close(ends[1]);
  EXPECT_EQ(on_closed_pipe.status, 4);
  EXPECT_TRUE(contains(on_closed_pipe.errors, message)) << on_closed_pipe.errors;
  EXPECT_EQ(read_file(broken.file("Default.xyz")), expected);

  // A console that works says nothing on standard error.
  TempDir fine;
  fs::copy_file(source / "in" / "survey.raw", fine.path() / "survey.raw");
  const Outcome ok = run({"survey.raw", "X"}, fine.path());
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.errors, "");
}

// fort.99 is appended to without following a link: a link there is an output that cannot be
// opened, the file it points to keeps its bytes, the run ends with code 4 and its other outputs
// are complete.
TEST(Unit99Failure, LinkAtItsNameEndsTheRunWithCodeFour) {
  const fs::path source = kCases / "dx_polar_santos";
  TempDir folder;
  fs::copy_file(source / "in" / "survey.raw", folder.path() / "survey.raw");
  const std::string victim = folder.write("victim.txt", "not a diagnostic file\n");
  fs::create_symlink("victim.txt", folder.path() / "fort.99");
  const Outcome outcome = run({"survey.raw", "S"}, folder.path(), -1, "/\n");
  EXPECT_EQ(outcome.status, 4);
  EXPECT_TRUE(contains(outcome.console, "*** Write error for outfile=fort.99")) << outcome.console;
  EXPECT_TRUE(contains(outcome.console, "Error code was            4")) << outcome.console;
  EXPECT_EQ(read_file(victim), "not a diagnostic file\n");
  EXPECT_TRUE(fs::is_symlink(folder.path() / "fort.99"));
  EXPECT_EQ(read_file(folder.file("POLAR1.san")),
            read_file((source / "out" / "POLAR1.san").string()));
}

}  // namespace
}  // namespace quillet
