#include "core/line_reader.hpp"

namespace quillet {

Flow read_next_raw_line(InputFile& input, std::int32_t& line_number, std::string_view& raw) {
  ++line_number;
  switch (input.next_line(raw)) {
    case InputFile::Read::Line:
      return Flow::NextLine;
    case InputFile::Read::End:
      return Flow::EndOfFile;
    case InputFile::Read::Error:
      return Flow::InputReadError;
  }
  return Flow::InputReadError;
}

void load_line(Line& line, std::string_view raw) {
  line.assign(raw);
  line.align_marker();
}

Flow read_next_line(InputFile& input, std::int32_t& line_number, Line& line) {
  std::string_view raw;
  const Flow flow = read_next_raw_line(input, line_number, raw);
  if (flow == Flow::NextLine) load_line(line, raw);
  return flow;
}

bool raw_line_has_marker(std::string_view raw, std::string_view marker) {
  // Aligned lines are at least kLineWidth columns, so columns 1-3 always exist there; a raw
  // line shorter than that is blank beyond its end, and a blank is never part of a marker.
  const auto at = [raw](std::size_t k) { return k < raw.size() ? raw[k] : ' '; };
  if (at(1) == marker[0] && at(2) == marker[1]) return at(1) != '$' || at(0) == '$';
  // Shifted right by one: the first "$" of columns 1-5 is column 2.
  return at(1) == '$' && at(0) != '$' && at(0) == marker[0] && marker[1] == '$';
}

}  // namespace quillet
