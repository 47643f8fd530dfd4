// The record loop: reads the input line by line, aligns each line's marker into columns 2-3 and
// hands the line to exactly one handler by its kind.
#pragma once

#include <cstdint>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"

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

// The two messages of a line whose field could not be read.
void report_packet_skip(const RunState& run, Console& console);

}  // namespace quillet
