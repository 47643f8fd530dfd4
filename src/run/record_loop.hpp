// The record loop: reads the input line by line, aligns each line's marker into columns 2-3 and
// hands the line to exactly one handler by its kind.
#pragma once

#include <cstdint>

#include "common/console.hpp"
#include "run/exits.hpp"
#include "run/files.hpp"
#include "run/state.hpp"

namespace quillet {

enum class LineKind : std::uint8_t {
  Config,      // "C$": identification, sampling or comment line
  FileHeader,  // "H$" anywhere in the line (and not a "C$" line)
  Offset,      // "O$"
  Raw,         // "R$"
  Aux,         // "A$"
  Status,      // "S$"
  EndOfData,   // "Z$"
  T,           // "T$"
  Pdlmt,       // "$PDLMT" in columns 1-6
  D,           // "D$"
  X,           // "X$"
  N,           // "N$"
  I,           // "I$"
  Gps,         // "G$"
  Ignored,     // no marker
};

// Kind of an aligned line; the first test that holds wins (a "C$" line holding "H$" is a
// configuration line, "$PDLMT" is tested only after every two-column marker).
LineKind classify_line(const Line& line);

// Reads and handles lines until a handler or the input ends the run; returns that ending.
Flow record_loop(ProgramState& program, RunState& run, FileUnits& files, Console& console);

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

// The two messages of a line whose field could not be read.
void report_packet_skip(const RunState& run, Console& console);

}  // namespace quillet
