#include "core/line_reader.hpp"

#include <bit>

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
  for (;;) {
    // The lines complete in the buffer, taken at their ends sixteen bytes at a time: only a line
    // with the marker's first character in one of its first two columns is looked at.
    const std::string_view text = input.buffered();
    const char* const data = text.data();
    std::int32_t counted = 0;  // lines passed over
    std::size_t start = 0;     // of the next line
    std::size_t k = 0;
    // A line ending at `stop` that holds the marker is given; false to go on.
    const auto take = [&](std::size_t stop) {
      const bool candidate = (start < stop && data[start] == marker[0]) ||
                             (start + 1 < stop && data[start + 1] == marker[0]);
      if (candidate) {
        // Without the carriage return of a Windows line end, as next_line gives it.
        const std::size_t length = stop - start - (stop > start && data[stop - 1] == '\r');
        const std::string_view line = text.substr(start, length);
        if (raw_line_has_marker(line, marker)) {
          line_number += counted + 1;
          input.skip_buffered(stop + 1);
          raw = line;
          return true;
        }
      }
      ++counted;
      start = stop + 1;
      return false;
    };
    for (; k + 16 <= text.size(); k += 16) {
      for (unsigned ends = byte_mask(data + k, end); ends != 0; ends &= ends - 1) {
        if (take(k + static_cast<std::size_t>(std::countr_zero(ends)))) return Flow::NextLine;
      }
    }
    for (; k < text.size(); ++k) {
      if (data[k] == end && take(k)) return Flow::NextLine;
    }
    line_number += counted;
    input.skip_buffered(start);
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
