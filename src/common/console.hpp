// The console of the program: lines out (unit 6), lines in from the keyboard (unit 5).
// Injected into the driver and every handler, so tests run the whole program in-process.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "common/free_form.hpp"

namespace quillet {

class Console : public LineSource {
 public:
  // Writes one line; a newline is added. The line may wait in a buffer until the next flush.
  virtual void write_line(std::string_view line) = 0;
  // Sends every line written so far to the screen. A read from the keyboard flushes first, so a
  // prompt always shows before its reply is awaited; the program flushes before it ends.
  virtual void flush() {}
  // True when some line could not be written (standard output on a full disk, a pipe whose
  // reader has gone): the console text is incomplete and the program must not end as a success.
  virtual bool failed() const { return false; }
  // Writes a line where the user sees it even when the console itself failed (standard error).
  virtual void write_error_line(std::string_view line) { write_line(line); }
  void write(const FreeLine& line) { write_line(line.str()); }
};

// Console over two streams (standard input and output in the program, string streams in tests).
// Keyboard lines lose the carriage return of a Windows line end. Output is left to the output
// stream's buffer: a system call per line made message-heavy files several times slower. Error
// lines go to `error` (standard error in the program), or to `out` when there is none.
class StreamConsole : public Console {
 public:
  StreamConsole(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
  StreamConsole(std::istream& in, std::ostream& out, std::ostream& error)
      : in_(in), out_(out), error_(&error) {}
  void write_line(std::string_view line) override;
  void flush() override;
  bool next_line(std::string& line) override;
  bool failed() const override;
  void write_error_line(std::string_view line) override;

 private:
  std::istream& in_;
  std::ostream& out_;
  std::ostream* error_ = nullptr;
};

// Console of a batch run: lines out go to the wrapped console, and no line is ever read. Each
// read shows the line "    (batch: default kept)" under its prompt and then ends as a closed
// standard input does, so every prompt keeps its default and the console tells so.
class BatchConsole : public Console {
 public:
  explicit BatchConsole(Console& out) : out_(out) {}
  void write_line(std::string_view line) override { out_.write_line(line); }
  void flush() override { out_.flush(); }
  bool next_line(std::string& line) override;

 private:
  Console& out_;
};

}  // namespace quillet
