// The D$ data packet: one reading of coil array 1 with its station and line numbers, suffix
// letters and time of day; later instrument software adds voltage, temperature, pitch, roll and
// milliseconds. Multi-array instruments send arrays 2..N in the X$ line that follows.
#pragma once

#include "common/console.hpp"
#include "core/coil_configuration.hpp"
#include "core/flow.hpp"
#include "core/line.hpp"
#include "core/station_record.hpp"
#include "packets/station_output.hpp"

namespace quillet {

// Decodes the D$ line with the layout of the instrument's software version `SW_VERSION` and the
// line's length, converts arrays 1..3 with the offsets and factors of array 1, and writes the
// station (CN is left as it is). A line that no layout fits is reported on the console and gives
// no record and returns PacketError. Returns PacketSkip when a field cannot be read (nothing is
// written then), otherwise what writing the station returns.
Flow handle_d_packet(const Line& LINE, float SW_VERSION, StationRecord& station,
                     const CoilConfiguration& coils, StationWriter& writer, Console& console);

}  // namespace quillet
