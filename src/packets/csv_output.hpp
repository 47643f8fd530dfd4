// The CSV file of a C run: one header row naming the columns, then one row per station wherever
// an XYZ run writes a station record, with the same values. Inversion packages and GIS software
// read it as it stands: comma-separated, a point as decimal mark, no padding, missing values
// empty, and every number in the shortest form that reads back as the value the program computed.
#pragma once

#include <string>

#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"
#include "packets/station_output.hpp"

namespace quillet {

// Appends the shortest decimal text of `value` that reads back as the same float or double,
// without an exponent; nothing for a value that is not finite. Allocation-free while `out` has
// room.
void append_shortest(std::string& out, float value);
void append_shortest(std::string& out, double value);

// The header row of the columns `columns`:
// station,line,time,x,y,utm_zone,elevation,latitude,longitude,gps_quality, then per array
// HCP<s>f9000h<h>,PRP<s>f9000h<h>,HCP<s>f9000h<h>_inph,PRP<s>f9000h<h>_inph with each receiver's
// spacing s and the sensor height h in metres, then voltage,temperature,pitch,roll,comment.
void format_csv_header(std::string& out, const RunState::CsvColumns& columns);

// The row of the current station, preceded by the header row when it is the first of its file.
// A station whose columns differ from those the file's header row names (another coil
// configuration, another sensor height) goes on in a new file, NAME-2.csv, NAME-3.csv, ..., with
// its own header row. Returns NextLine, OutputWriteError when the file it leaves could not be
// written, or OutputOpenError when the new one cannot be opened.
Flow write_csv_row(PacketKind kind, ProgramState& program, RunState& run, FileUnits& files);

}  // namespace quillet
