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
// time or date, or OutputOpenError when a file of the new set cannot be opened. It closes the
// output set and opens the next, so it takes the three state objects whole: the set's names, the
// run's bookkeeping, every file, and the station, coils and comments that a new set resets.
Flow handle_file_header_line(ProgramState& program, RunState& run, FileUnits& files,
                             Console& console);

// Where the records of a configuration line go: in a G run the Geosoft header block and the
// comment lines into the main file; new comments into the comment file when one is open.
struct ConfigRecords {
  OutputType type;
  const std::string& FILE_NAME;  // of the current output set, named in the Geosoft header
  OutputFile& main;
  OutputFile& comment;
};

// A "C$" line: an identification line sets the instrument and the coil configuration, a sampling
// line the sample rate, any other line is an operator's comment, numbered in the register and
// carried by the next station as CN. Returns NextLine, or PacketSkip when a field cannot be read.
Flow handle_config_line(const Line& LINE, StationRecord& station, Identification& identification,
                        CoilConfiguration& coils, CommentRegister& comments, std::int32_t& CN,
                        const ConfigRecords& records, Console& console);

// The three-line Geosoft header block, written to `main`.
void write_geosoft_header(std::string_view FILE_NAME, const CoilConfiguration& coils,
                          OutputFile& main);

// The name of a logger file as the output files use it: columns 11-18 of the header line without
// trailing blanks; characters that would place a file elsewhere ("/", "\", ":", control
// characters) and bytes that are not part of a well-formed UTF-8 character become "_", and an
// all-blank name is "NONAME".
std::string logger_file_name(std::string_view name_field);

}  // namespace quillet
