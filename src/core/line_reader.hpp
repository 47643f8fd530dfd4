// Reading the input into `LINE`: the record loop and the GPS pre-scan read through these, so both
// count lines and align markers the same way.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/line.hpp"

namespace quillet {

// Reads the next line of `input` into `line` (counting it in `line_number` and aligning its
// marker). Returns NextLine, EndOfFile or InputReadError (the input keeps the error number).
Flow read_next_line(InputFile& input, std::int32_t& line_number, Line& line);

// Reads and counts the next line as it came, for a caller that looks at few lines (the GPS
// pre-scan): `raw` is valid until the next read; `load_line` then puts it into `line` as
// read_next_line would have (`may_hold_h` and `readable_after` as Line::assign takes them: a raw
// line from the input has InputFile::kSlack readable bytes after it).
Flow read_next_raw_line(InputFile& input, std::int32_t& line_number, std::string_view& raw);
void load_line(Line& line, std::string_view raw, bool may_hold_h = true,
               bool readable_after = false);

// What `line.trimmed()` gives once load_line has put `raw` into `line`, where that is `raw`
// itself less its trailing blanks (a line of at most 120 columns that the marker rule leaves in
// place): true and `trimmed` set; false for any other line.
bool trimmed_in_place(std::string_view raw, std::string_view& trimmed);

// The line of the read-ahead bytes `text` (InputFile::buffered) from `first` up to its line end
// at `stop`, less the carriage return of a Windows line end: the line next_line would give.
inline std::string_view buffered_line(std::string_view text, std::size_t first, std::size_t stop) {
  return text.substr(first, stop - first - (stop > first && text[stop - 1] == '\r'));
}

// Reads and counts lines up to the next one that raw_line_has_marker finds `marker` in (a letter
// and "$"), as read_next_raw_line would one by one, and gives it in `raw`. The lines before it
// are counted without being looked at one by one. Returns what read_next_raw_line returns for
// that line, or for the read that ended the search (EndOfFile, InputReadError).
Flow read_next_marked_line(InputFile& input, std::int32_t& line_number, std::string_view marker,
                           std::string_view& raw);

// Whether the aligned line of `raw` would carry `marker` (two characters) in columns 2-3,
// without aligning it: the marker stands in raw columns 2-3, or in columns 1-2 of a line whose
// first "$" is its column 2.
bool raw_line_has_marker(std::string_view raw, std::string_view marker);

}  // namespace quillet
