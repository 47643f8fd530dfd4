#include "core/line_reader.hpp"

#include "core/byte_scan.hpp"

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

Flow read_next_marked_line(InputFile& input, std::int32_t& line_number, std::string_view marker,
                           std::string_view& raw) {
  const char end = input.line_end();
  const auto count_lines = [end](std::string_view text) {
    return static_cast<std::int32_t>(count_byte(text, end));
  };
  for (;;) {
    // The lines complete in the buffer: a marked one holds the marker in its first two columns.
    const std::string_view text = input.buffered();
    const std::size_t last_end = text.rfind(end);
    if (last_end != std::string_view::npos) {
      const std::string_view lines = text.substr(0, last_end + 1);
      for (std::size_t at = lines.find(marker); at != std::string_view::npos;
           at = lines.find(marker, at + 1)) {
        std::size_t start;
        if (at == 0 || lines[at - 1] == end) {
          start = at;
        } else if (at == 1 || lines[at - 2] == end) {
          start = at - 1;
        } else {
          continue;
        }
        const std::size_t stop = lines.find(end, at);
        // Without the carriage return of a Windows line end, as next_line gives it.
        const std::size_t length = stop - start - (stop > start && lines[stop - 1] == '\r');
        const std::string_view line = lines.substr(start, length);
        if (!raw_line_has_marker(line, marker)) continue;
        line_number += count_lines(lines.substr(0, start)) + 1;
        input.skip_buffered(stop + 1);
        raw = line;
        return Flow::NextLine;
      }
      line_number += count_lines(lines);
      input.skip_buffered(lines.size());
    }
    // The next line is not complete in the buffer: read it as ever.
    const Flow flow = read_next_raw_line(input, line_number, raw);
    if (flow != Flow::NextLine || raw_line_has_marker(raw, marker)) return flow;
  }
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
