// The I$ packet of the EMS data stream: time, attitude, sensor height, an auxiliary value and up
// to five EMS channels. In an I run each packet gives one ICE text record and one 35-byte record
// of the big-endian binary data file; in other runs it only updates the values.
#pragma once

#include <array>
#include <cstddef>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"
#include "packets/station_output.hpp"

namespace quillet {

// Size of one record of the binary data file.
inline constexpr std::size_t kBinaryRecordSize = 35;

// Decodes the I$ line. From software version 6.1 on, the line's height becomes the run's sensor
// height (through the writer) for everything written afterwards. Returns PacketSkip
// when a field cannot be read or the line announces more than five channels (or fewer than none;
// nothing is kept then), NextLine otherwise.
Flow handle_i_packet(const Line& LINE, StationRecord& station, EmsRecord& ems, float SW_VERSION,
                     StationWriter& writer, Console& console);

// The binary record of the current values: latitude and longitude in 1e-7 degrees truncated
// toward zero (int32), the time of day in seconds (int32), then as 32-bit reals the sensor height,
// EMS channel 2, the auxiliary value in thousandths truncated toward zero, EMS channel 1 and 0;
// then three zero bytes. Every number big-endian.
std::array<unsigned char, kBinaryRecordSize> binary_record(const EmsRecord& ems, const GpsFix& fix,
                                                           float sensor_height);

}  // namespace quillet
