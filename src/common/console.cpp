#include "common/console.hpp"

#include <istream>
#include <ostream>

namespace quillet {

void StreamConsole::write_line(std::string_view line) {
  out_.write(line.data(), static_cast<std::streamsize>(line.size()));
  out_.put('\n');
  out_.flush();
}

bool StreamConsole::next_line(std::string& line) {
  if (!std::getline(in_, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace quillet
