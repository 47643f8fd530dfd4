#include "common/console.hpp"

#include <istream>
#include <ostream>

namespace quillet {

void StreamConsole::write_line(std::string_view line) {
  // Straight into the stream's buffer: a file of messages writes one line per input line.
  std::streambuf& buffer = *out_.rdbuf();
  const auto size = static_cast<std::streamsize>(line.size());
  if (buffer.sputn(line.data(), size) != size || buffer.sputc('\n') != '\n') {
    out_.setstate(std::ios::badbit);
  }
}

void StreamConsole::flush() {
  out_.flush();
}

bool StreamConsole::failed() const {
  return out_.fail();
}

void StreamConsole::write_error_line(std::string_view line) {
  std::ostream& error = error_ != nullptr ? *error_ : out_;
  error.write(line.data(), static_cast<std::streamsize>(line.size()));
  error.put('\n');
  error.flush();
}

bool StreamConsole::next_line(std::string& line) {
  flush();
  if (!std::getline(in_, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool BatchConsole::next_line(std::string& line) {
  line.clear();
  out_.write_line("    (batch: default kept)");
  return false;
}

}  // namespace quillet
