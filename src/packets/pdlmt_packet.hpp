// The $PDLMT sentence: the data record of the older single-array instruments. It carries the time,
// the four channels of array 1 in ppm, two auxiliary integers and the housekeeping values, but no
// station number: stations are numbered here, across every run of the program.
#pragma once

#include <string>
#include <string_view>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"
#include "packets/station_output.hpp"

namespace quillet {

// Decodes the $PDLMT line, converts array 1 without user offsets and writes the
// station record. While array 1 has no spacings yet, first asks for the length code and moves the
// run's main output to a file named after the input (see pdlmt_output_name). Returns PacketSkip
// when a field cannot be read, OutputOpenError when that file
// cannot be opened, otherwise what writing the station record returns, as PacketError when the
// packet's length was unknown.
Flow handle_pdlmt_packet(const Line& LINE, StationRecord& station, CoilConfiguration& coils,
                         PdlmtValues& pdlmt, StationWriter& writer, Console& console);

// Name of the main output file that a run of `code` (upper case) opens at its first $PDLMT packet:
// the input name as passed to the run without the last three characters of its base name (a
// shorter base name loses all of it, never its folder), followed by the type's
// extension in upper case; L, X and I always take it, D, G, S and P only while no file header line
// has named the output (`FILE_NAME` blank). Empty when the run keeps `FILE_NAME`, and for R.
std::string pdlmt_output_name(std::string_view input_name, char code, std::string_view FILE_NAME);

}  // namespace quillet
