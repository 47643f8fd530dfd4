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
// spacing s and the sensor height h in metres, then voltage,temperature,pitch,roll,comment,
// datetime,utc,position,fix_age_s,comment_text.
void format_csv_header(std::string& out, const RunState::CsvColumns& columns);

// The column types of that header row as GDAL reads them from a ".csvt" file (one line).
void format_csv_types(std::string& out, const RunState::CsvColumns& columns);

// The ".prj" text of WGS 84 / UTM zone `zone` (1..60, negative south): one line of WKT. Empty
// for a zone outside that range.
void format_utm_prj(std::string& out, std::int32_t zone);

// The files beside a CSV file, NAME.csvt and NAME.prj (lower-case extensions whatever the CSV
// file's), follow the run's main file: when it has changed since the last call, those of the
// previous file are finished (kept when it received its header row, resp. a position) and those
// of the new one opened, so that files of an earlier run under these names go. Returns NextLine,
// OutputWriteError when those of the previous file could not be written, or OutputOpenError.
Flow follow_csv_file(const ProgramState& program, RunState& run, FileUnits& files);
// Finishes the files beside the CSV file; false when one could not be written (the run's files
// are then rolled back).
bool finish_csv_sides(RunState& run, FileUnits& files);

// The row of the current station, preceded by the header row when it is the first of its file.
// A station whose columns differ from those the file's header row names (another coil
// configuration, another sensor height) goes on in a new file, NAME-2.csv, NAME-3.csv, ..., with
// its own header row. Returns NextLine, OutputWriteError when the file it leaves could not be
// written, or OutputOpenError when the new one cannot be opened.
Flow write_csv_row(PacketKind kind, ProgramState& program, RunState& run, FileUnits& files);

}  // namespace quillet
