// The console is buffered: what the user sees is what was flushed. A screen that shows only
// flushed text, and a keyboard that notes what the screen showed whenever a reply is read.
#include <gtest/gtest.h>

#include <istream>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "common/console.hpp"
#include "core/state.hpp"
#include "driver/driver.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::TempDir;

class Screen : public std::streambuf {
 public:
  std::string shown;  // flushed: on the screen
  std::string held;   // written, not yet flushed

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) held.push_back(static_cast<char>(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize n) override {
    held.append(text, static_cast<std::size_t>(n));
    return n;
  }
  int sync() override {
    shown += held;
    held.clear();
    return 0;
  }
};

// Hands out one reply per read; `seen`[k] is what the screen showed when reply k was asked for.
class Keyboard : public std::streambuf {
 public:
  Keyboard(std::vector<std::string> replies, const Screen& screen)
      : replies_(std::move(replies)), screen_(screen) {}
  std::vector<std::string> seen;

 protected:
  int_type underflow() override {
    if (next_ == replies_.size()) return traits_type::eof();
    seen.push_back(screen_.shown);
    current_ = replies_[next_++] + '\n';
    setg(current_.data(), current_.data(), current_.data() + current_.size());
    return traits_type::to_int_type(current_[0]);
  }

 private:
  std::vector<std::string> replies_;
  std::size_t next_ = 0;
  std::string current_;
  const Screen& screen_;
};

bool ends_with_line(const std::string& text, const std::string& line) {
  const std::string tail = line + '\n';
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

int run_with(const std::vector<std::string>& args, Keyboard& keyboard, Screen& screen) {
  std::istream in(&keyboard);
  std::ostream out(&screen);
  StreamConsole console(in, out);
  auto program = std::make_unique<ProgramState>();
  return run_program(args, *program, console);
}

TEST(BufferedConsole, EveryPromptIsOnTheScreenBeforeItsReplyIsRead) {
  TempDir dir;
  const std::string input =
      dir.write("a.raw", " T$090505     18 NULD      8    -4   500  -250   400   310\n");
  Screen screen;
  // File name, codes, height of the X run, length code asked by the NULD packet, height of the
  // G run.
  Keyboard keyboard({input, "XG", "/", "4", "/"}, screen);
  EXPECT_EQ(run_with({}, keyboard, screen), 0);
  const std::vector<std::string> prompts = {
      " Enter input filename (type \"quit\" to exit program)",
      " Enter output formats ( X(yx),G(eosoft),D(AT31),L(og),P(pm, file *.IDF),C(SV) ):",
      " Enter Sensor height manually or type / followed by <ENTER> to accept this value ",
      " Enter Veltor Length Code (1, 2, 4, 21, 42, 421, 62, 621 or 642, default=1)",
      " Enter Sensor height manually or type / followed by <ENTER> to accept this value "};
  ASSERT_EQ(keyboard.seen.size(), prompts.size());
  for (std::size_t k = 0; k < prompts.size(); ++k) {
    EXPECT_TRUE(ends_with_line(keyboard.seen[k], prompts[k]))
        << "reply " << k << " was read while the screen ended with:\n"
        << keyboard.seen[k].substr(keyboard.seen[k].size() -
                                   std::min<std::size_t>(200, keyboard.seen[k].size()));
  }
  EXPECT_TRUE(screen.held.empty());
  EXPECT_TRUE(
      ends_with_line(screen.shown,
                     "    Data  successfully transcribed!\n"
                     "    Summary: 1 lines read, 1 station records written, 0 lines skipped"));
}

TEST(BufferedConsole, EverythingIsOnTheScreenWhenTheProgramEnds) {
  TempDir dir;
  const std::string input = dir.write("a.raw", " Z$\n");
  {
    // A run that fails, then one that succeeds.
    Screen screen;
    Keyboard keyboard({"/", "/"}, screen);
    EXPECT_EQ(run_with({dir.file("missing.raw"), "X"}, keyboard, screen), 3);
    EXPECT_TRUE(screen.held.empty());
    EXPECT_TRUE(
        ends_with_line(screen.shown,
                       "    Error code was            3\n"
                       "    Summary: 0 lines read, 0 station records written, 0 lines skipped"));
  }
  {
    // A height argument that stops the program before any run.
    Screen screen;
    Keyboard keyboard({}, screen);
    EXPECT_EQ(run_with({input, "X", "abc"}, keyboard, screen), 1);
    EXPECT_TRUE(screen.held.empty());
    EXPECT_TRUE(ends_with_line(screen.shown, " *** Sensor height argument is not a number: abc"));
  }
  {
    // The keyboard ends at the file prompt.
    Screen screen;
    Keyboard keyboard({}, screen);
    EXPECT_EQ(run_with({}, keyboard, screen), 0);
    EXPECT_TRUE(screen.held.empty());
    EXPECT_TRUE(ends_with_line(screen.shown, " End of keyboard input.  Exiting..."));
  }
}

}  // namespace
}  // namespace quillet
