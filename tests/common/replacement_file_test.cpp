#include "common/replacement_file.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::read_file;
using testing::TempDir;
namespace fs = std::filesystem;

TEST(ReplacementFile, AppearsUnderItsNameOnlyWhenCommitted) {
  TempDir dir;
  const std::string name = dir.write("out.xyz", "previous complete file\n");
  ReplacementFile file;
  ASSERT_EQ(file.open(name), 0);
  EXPECT_EQ(file.temporary_path(), dir.file(".out.xyz.tmp"));
  ASSERT_EQ(file.write("new "), 0);
  ASSERT_EQ(file.write("content\n"), 0);
  // Until the commit the old file stands whole beside the temporary.
  EXPECT_EQ(read_file(name), "previous complete file\n");
  EXPECT_EQ(read_file(dir.file(".out.xyz.tmp")), "new content\n");
  ASSERT_EQ(file.commit(), 0);
  EXPECT_EQ(read_file(name), "new content\n");
  EXPECT_EQ(dir.files(), std::vector<std::string>{"out.xyz"});
  EXPECT_EQ(file.commit(), EBADF);  // committed once only
}

TEST(ReplacementFile, DiscardAndDestructorLeaveTheEarlierFile) {
  TempDir dir;
  const std::string name = dir.write("out.CMT", "kept\n");
  {
    ReplacementFile file;
    ASSERT_EQ(file.open(name), 0);
    ASSERT_EQ(file.write("lost\n"), 0);
    file.discard();
    file.discard();  // a second discard does nothing
    ASSERT_EQ(file.open(name), 0);
    ASSERT_EQ(file.write("lost too\n"), 0);
  }
  EXPECT_EQ(read_file(name), "kept\n");
  EXPECT_EQ(dir.files(), std::vector<std::string>{"out.CMT"});
}

TEST(ReplacementFile, RefusesBeforeCreatingAnything) {
  TempDir dir;
  fs::create_directory(dir.file("folder.xyz"));
  ReplacementFile file;
  EXPECT_EQ(file.open(dir.file("folder.xyz")), EISDIR);
  EXPECT_EQ(file.open(dir.file("")), EISDIR);
  EXPECT_EQ(file.open(dir.file("missing/out.xyz")), ENOENT);
  if (::geteuid() != 0) {  // root may write anything
    const std::string locked = dir.write("locked.CMT", "read-only\n");
    ::chmod(locked.c_str(), 0444);
    EXPECT_EQ(file.open(locked), EACCES);
    EXPECT_EQ(read_file(locked), "read-only\n");
  }
  EXPECT_FALSE(file.is_open());
  for (const std::string& name : dir.files()) EXPECT_NE(name.front(), '.') << name;
}

TEST(ReplacementFile, GetsTheModeOfAPlainCreation) {
  TempDir dir;
  const mode_t mask = ::umask(022);
  ReplacementFile file;
  ASSERT_EQ(file.open(dir.file("out.GPS")), 0);
  ASSERT_EQ(file.commit(), 0);
  ::umask(mask);
  struct stat info {};
  ASSERT_EQ(::stat(dir.file("out.GPS").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

// Runs `body` in a child process with its own clean-up (writing to `console`); the status.
template <typename Body>
int in_child(int console, Body body) {
  const pid_t child = ::fork();
  if (child == 0) {
    SignalCleanup cleanup(console);
    body();
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return status;
}

std::string drain(int fd) {
  std::string text;
  char chunk[512];
  for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) text.append(chunk, got);
  return text;
}

TEST(SignalCleanup, KeepsAnIgnoredHangUpAndMakesPipeAndSizeLimitsWriteErrors) {
  TempDir dir;
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  const int status = in_child(pipe_fds[1], [&] {
    ::signal(SIGHUP, SIG_IGN);  // as nohup leaves it
    {
      SignalCleanup inner(pipe_fds[1]);
      ::raise(SIGHUP);
      int closed[2];
      if (::pipe(closed) != 0) ::_exit(3);
      ::close(closed[0]);
      if (::write(closed[1], "x", 1) != -1 || errno != EPIPE) ::_exit(5);
      const rlimit limit{64, 64};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      ReplacementFile big;
      if (big.open(dir.file("big.xyz")) != 0) ::_exit(3);
      if (big.write(std::string(65, 'x')) != EFBIG) ::_exit(6);
      big.discard();
    }
    ::_exit(::signal(SIGHUP, SIG_DFL) == SIG_IGN ? 0 : 7);  // restored when it ends
  });
  ::close(pipe_fds[1]);
  EXPECT_EQ(drain(pipe_fds[0]), "");
  ::close(pipe_fds[0]);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(dir.files().empty());
}

TEST(SignalCleanup, AFileItCannotTrackIsNotCreated) {
  TempDir dir;
  SignalCleanup cleanup(-1);
  std::vector<ReplacementFile> files(SignalCleanup::kSlots + 1);
  for (std::size_t i = 0; i < SignalCleanup::kSlots; ++i) {
    ASSERT_EQ(files[i].open(dir.file(std::to_string(i))), 0);
  }
  EXPECT_EQ(files.back().open(dir.file("one too many")), EMFILE);
  files.front().discard();  // its slot is free again
  EXPECT_EQ(files.back().open(dir.file("one too many")), 0);
  EXPECT_EQ(dir.files().size(), SignalCleanup::kSlots);
}

TEST(SignalCleanup, NamesOnlyTheFilesItRemoved) {
  // A signal between a file's rename and the release of its slot finds no temporary: that file
  // is complete under its name and is not reported as lost.
  TempDir dir;
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  {
    SignalCleanup cleanup(pipe_fds[1]);
    ReplacementFile live;
    ASSERT_EQ(live.open(dir.file("A.xyz")), 0);
    ASSERT_GE(cleanup.track(temporary_path_of(dir.file("B.xyz"))), 0);
    cleanup.clean_up_after(SIGINT);
    live.discard();
  }
  ::close(pipe_fds[1]);
  EXPECT_EQ(drain(pipe_fds[0]),
            "*** Run interrupted by SIGINT; files not written: " + dir.file("A.xyz") + "\n");
  ::close(pipe_fds[0]);
  EXPECT_TRUE(dir.files().empty());
}

}  // namespace
}  // namespace quillet
