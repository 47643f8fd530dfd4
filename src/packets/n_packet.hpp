// The N$ packet: time, voltage, temperature, attitude in hundredths of a degree and the readings
// of every coil array, without station or line numbers (those stay as earlier lines left them).
#pragma once

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"

namespace quillet {

// Decodes the N$ line in run.LINE into the station record, converts every array without user
// offsets (scaling array 2 of the prototype configuration), writes the station record and sets
// CN to 0. Returns PacketSkip when a field cannot be read, or when an instrument of more than one
// array sent a line too short to hold all its readings (no value is changed then); otherwise what
// writing the station record returns.
Flow handle_n_packet(ProgramState& program, RunState& run, FileUnits& files, Console& console);

}  // namespace quillet
