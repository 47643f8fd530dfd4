// The lines that accompany the data packets without making a station of their own:
//  - "O$" user offsets of one coil array (ppm on the line, stored in ppt);
//  - "R$" raw values, copied to the raw copy file, paired by time stamp;
//  - "A$" auxiliary-sensor values, appended to the XYX side file with the current station;
//  - "S$" status: voltage, temperature and, in the longer layout, the attitude.
#pragma once

#include <string>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/raw_copy.hpp"
#include "core/state.hpp"
#include "core/station_record.hpp"
#include "packets/station_output.hpp"

namespace quillet {

// Sets the four offsets of the array named in columns 4-5. Returns PacketSkip, leaving every
// offset as it was, for an index outside 1 to 3 or missing, or for numbers that cannot be read
// (fewer than four without a "/", or a value beyond the range of a real). A null value or a "/"
// keeps the offsets it does not give.
Flow handle_offset_line(const Line& LINE, StationRecord& station);

// Stores the seven raw values under the current time stamp and writes what the raw copy file is
// due: one record per line, or once pairs are known, one record per pair. An unreadable line is
// reported and changes neither stored set; the record step still runs and PacketError is returned.
Flow handle_raw_line(const Line& LINE, const StationRecord& station, RawCopyState& state,
                     bool& R_SEEN, OutputFile& raw, std::string& record, Console& console);

// Appends one auxiliary-sensor record to the XYX side file and counts it. Returns PacketSkip
// when a field cannot be read. While no XYX side file is open the line is dropped uncounted.
Flow handle_aux_line(const Line& LINE, StationWriter& writer);

// Updates the time stamp and the housekeeping values from a 21- or 34-column line; a line of
// another length is reported (PacketError). Returns PacketSkip when a field cannot be read.
Flow handle_status_line(const Line& LINE, StationRecord& station, Console& console);

}  // namespace quillet
