// Header and configuration lines of the raw file:
//  - "H$" file header lines: each starts a logger file, closes the current output set and opens the
//    set named after the logger file, then writes the headers the output type needs;
//  - "C$" configuration lines: instrument identification (family, model, software version), the
//    sampling frequency, and the operator's comments, which the comment register numbers.
#pragma once

#include <string>
#include <string_view>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"

namespace quillet {

// A line holding "H$" (and not a "C$" line). Returns NextLine, FatalReadError for an unreadable
// time or date, or OutputOpenError when a file of the new set cannot be opened.
Flow handle_file_header_line(ProgramState& program, RunState& run, FileUnits& files,
                             Console& console);

// A "C$" line. Returns NextLine, or PacketSkip when a field cannot be read.
Flow handle_config_line(ProgramState& program, RunState& run, FileUnits& files, Console& console);

// The three-line Geosoft header block, written to the main output file.
void write_geosoft_header(const ProgramState& program, FileUnits& files);

// The name of a logger file as the output files use it: columns 11-18 of the header line without
// trailing blanks; characters that would place a file elsewhere ("/", "\", ":", control
// characters) and bytes that are not part of a well-formed UTF-8 character become "_", and an
// all-blank name is "NONAME".
std::string logger_file_name(std::string_view name_field);

}  // namespace quillet
