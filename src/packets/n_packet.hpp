// The N$ packet: time, voltage, temperature, attitude in hundredths of a degree and the readings
// of every coil array, without station or line numbers (those stay as earlier lines left them).
#pragma once

#include "common/console.hpp"
#include "core/coil_configuration.hpp"
#include "core/flow.hpp"
#include "core/line.hpp"
#include "core/station_record.hpp"
#include "packets/station_output.hpp"

namespace quillet {

// Decodes the N$ line into the station record, converts every array without user
// offsets (scaling array 2 of the prototype configuration), writes the station record and sets
// CN to 0. Returns PacketSkip when a field cannot be read, or when an instrument of more than one
// array sent a line too short to hold all its readings (no value is changed then); otherwise what
// writing the station record returns.
Flow handle_n_packet(const Line& LINE, StationRecord& station, CoilConfiguration& coils,
                     StationWriter& writer, Console& console);

}  // namespace quillet
