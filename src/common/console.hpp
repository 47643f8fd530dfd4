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
  // Writes one line; a newline is added.
  virtual void write_line(std::string_view line) = 0;
  void write(const FreeLine& line) { write_line(line.str()); }
};

// Console over two streams (standard input and output in the program, string streams in tests).
// Keyboard lines lose the carriage return of a Windows line end.
class StreamConsole : public Console {
 public:
  StreamConsole(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
  void write_line(std::string_view line) override;
  bool next_line(std::string& line) override;

 private:
  std::istream& in_;
  std::ostream& out_;
};

}  // namespace quillet
