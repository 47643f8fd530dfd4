// The T$ data packet: one complete reading of coil array 1 with its time stamp, station number,
// data-type tag, two auxiliary integers and, by instrument generation, housekeeping values.
#pragma once

#include <cstdint>

#include "common/console.hpp"
#include "core/coil_configuration.hpp"
#include "core/flow.hpp"
#include "core/line.hpp"
#include "core/station_record.hpp"
#include "packets/station_output.hpp"

namespace quillet {

// Decodes the T$ line into the station record, converts array 1 by the data tag (configuring the
// coils from the length code for "NULD" and "RAW " packets) and writes the station. Returns
// PacketSkip when a field cannot be read (nothing is written then), otherwise what writing the
// station returns, as PacketError when the packet's length was unknown.
Flow handle_t_packet(const Line& LINE, StationRecord& station, CoilConfiguration& coils,
                     StationWriter& writer, Console& console);

// An attitude angle of the 83-column layout in degrees: tenths of a degree up to 32.0, whole
// degrees offset by 300 beyond (345 is 45 degrees, -345 is -45).
inline float attitude_degrees(std::int32_t raw) {
  if (raw > 320) return static_cast<float>(raw - 300);
  if (raw < -320) return static_cast<float>(raw + 300);
  return static_cast<float>(raw) / 10.0f;
}

}  // namespace quillet
