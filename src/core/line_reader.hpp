// Reading the input into `LINE`: the record loop and the GPS pre-scan read through these, so both
// count lines and align markers the same way.
#pragma once

#include <string_view>

#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"

namespace quillet {

// Reads the next line into run.LINE (counting it and aligning its marker). Returns NextLine,
// EndOfFile or InputReadError. Shared by the record loop and the GPS pre-scan.
Flow read_next_line(RunState& run, FileUnits& files);

// Reads and counts the next line as it came, for a caller that looks at few lines (the GPS
// pre-scan): `raw` is valid until the next read; `load_line` then puts it into run.LINE as
// read_next_line would have.
Flow read_next_raw_line(RunState& run, FileUnits& files, std::string_view& raw);
void load_line(RunState& run, std::string_view raw);

// Whether the aligned line of `raw` would carry `marker` (two characters) in columns 2-3,
// without aligning it: the marker stands in raw columns 2-3, or in columns 1-2 of a line whose
// first "$" is its column 2.
bool raw_line_has_marker(std::string_view raw, std::string_view marker);

}  // namespace quillet
