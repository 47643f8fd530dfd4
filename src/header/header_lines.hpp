// Header and configuration lines of the raw file:
//  - "H$" file header lines: each starts a logger file, closes the current output set and opens the
//    set named after the logger file, then writes the headers the output type needs;
//  - "C$" configuration lines: instrument identification (family, model, software version), the
//    sampling frequency, and the operator's comments, which the comment register numbers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"

namespace quillet {

// The output set that a file header line closes and opens, with the run's bookkeeping of it.
struct OutputSet {
  OutputType type;
  OutputSetNames& names;
  FileUnits& files;
  std::int32_t& FILE_COUNT;
  std::vector<std::string>& FILE_NAMES;  // logger names met so far in this run
  std::int32_t& gps_fix_count;           // the set's GPS file stays only when above 0
  std::int32_t& xyx_record_count;
  std::int32_t& DAT31_LAST_LINE;  // a new set's first DAT31 record starts a survey line
};

// A line holding "H$" (and not a "C$" line), line `line_number` of the input. Returns NextLine,
// FatalReadError for an unreadable time or date, OutputWriteError when a file of the set it closes
// could not be written, or OutputOpenError when a file of the new set cannot be opened. The new
// set's files take a suffix when one of their names was used earlier in the run. Besides the set,
// it reads the length code into the coils, stamps the station with the header's time, and starts
// the new file's comment numbering.
Flow handle_file_header_line(const Line& LINE, std::int32_t line_number, StationRecord& station,
                             CoilConfiguration& coils, CommentRegister& comments, std::int32_t& CN,
                             const OutputSet& set, Console& console);

// Where the records of a configuration line go: in a G run the Geosoft header block and the
// comment lines into the main file; new comments into the comment file when one is open.
struct ConfigRecords {
  OutputType type;
  const std::string& FILE_NAME;  // of the current output set, named in the Geosoft header
  OutputFile& main;
  OutputFile& comment;
  std::string& typed_comment;  // the latest comment as typed, trimmed
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
