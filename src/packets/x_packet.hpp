// The X$ data packet: the readings of coil arrays 2..N that multi-array instruments send after the
// D$ or T$ line of array 1. Station, line, housekeeping and attitude are those of that line; the
// X$ line brings its own time stamp.
#pragma once

#include "common/console.hpp"
#include "core/coil_configuration.hpp"
#include "core/flow.hpp"
#include "core/line.hpp"
#include "core/station_record.hpp"
#include "packets/station_output.hpp"

namespace quillet {

// Decodes the X$ line, converts arrays 2..N by the data tag of the preceding packet
// (configuring the arrays from the length code for "NULD" and "RAW ") and writes the station
// record with all N arrays, but only when the last D$ or T$ line of the run was read. A line of
// an unknown length is reported and leaves the readings as they were. Returns PacketSkip when a
// field cannot be read (nothing is written then), otherwise what writing the record returns, as
// PacketError when the length was unknown.
Flow handle_x_packet(const Line& LINE, StationRecord& station, CoilConfiguration& coils,
                     StationWriter& writer, Console& console);

}  // namespace quillet
