#include "packets/i_packet.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "packets/record_values.hpp"
#include "packets/station_output.hpp"

namespace quillet {

namespace {

// The version whose packets carry attitude, height and auxiliary value in the units used here;
// compared as the 32-bit real that the identification line gives.
constexpr float kCurrentEmsVersion = 6.1f;

// Reads the packet into the station record and the EMS values. The channel count is looked at
// first: the layout repeats the channel field by it, and a count the storage cannot hold refuses
// the line before any field is kept.
Flow read_i_layout(const Line& line, StationRecord& s, EmsRecord& ems) {
  static const Layout kCount("(29X, I2)");
  std::int32_t count = 0;
  if (kCount.read(line.view(), {count}).ok()) {
    if (count < 0 || count > kEmsChannels) return Flow::PacketSkip;
  } else {
    count = 0;  // the read below fails at the same field, keeping the fields before it
  }
  static const Layout kI("(1X, 2X, 3I2, 1X, I4, I4, I4, 1X, I5, 1X, I2, 1X, I5, (M-1)I6)");
  const In fields[] = {s.HOUR,         s.MINUTE,           s.SECOND,        s.PITCH_RAW,
                       s.ROLL_RAW,     ems.EMS_HEIGHT_RAW, ems.EMS_AUX_RAW, ems.EMS_COUNT,
                       ems.EMS_RAW[0], ems.EMS_RAW[1],     ems.EMS_RAW[2],  ems.EMS_RAW[3],
                       ems.EMS_RAW[4]};
  const std::size_t channels = static_cast<std::size_t>(count);
  if (!kI.read(line.view(), fields, 8 + channels, count).ok()) return Flow::PacketSkip;
  return Flow::NextLine;
}

void scale_values(StationRecord& s, EmsRecord& ems, float SW_VERSION, StationWriter& writer) {
  ems.DAY_SECONDS = (s.HOUR * 60 + s.MINUTE) * 60 + s.SECOND;
  if (SW_VERSION >= kCurrentEmsVersion) {
    s.PITCH = static_cast<float>(s.PITCH_RAW) / 10.0f;
    s.ROLL = static_cast<float>(s.ROLL_RAW) / 10.0f;
    writer.set_sensor_height(static_cast<float>(ems.EMS_HEIGHT_RAW) / 100.0f);
    ems.EMS_AUX = static_cast<float>(ems.EMS_AUX_RAW) / 10000.0f;
  }
  static constexpr float kChannelScale[kEmsChannels] = {10000.0f, 100.0f, 1000.0f, 100.0f, 1000.0f};
  for (int k = 0; k < kEmsChannels; ++k) {
    ems.EMS_VALUE[k] = static_cast<float>(ems.EMS_RAW[k]) / kChannelScale[k];
  }
}

void write_ice_record(const EmsRecord& ems, const ProgramState& program, RunState& run,
                      FileUnits& files) {
  const StationRecord& s = program.station;
  const GpsState& gps = program.gps;
  const GpsFix& fix = gps.current_fix;
  static const Layout kIce(
      "(2F14.6, I3, M(F9.4), F7.4, I2, F7.2, 2F7.2, 1X, I12, I2, I4, 2F14.1, 2I4, F9.3, F8.1)");
  RecordValues v;
  v << fix.LAT << fix.LON << ems.EMS_COUNT;
  for (int k = 0; k < ems.EMS_COUNT; ++k) v << ems.EMS_VALUE[k];
  v << ems.EMS_AUX << 1 << run.sensor_height << s.PITCH << s.ROLL << ems.DAY_SECONDS << 0 << 0
    << gps.utm_easting << gps.utm_northing << fix.DMODE << fix.GPS_SATS << fix.GPS_HDOP
    << fix.GPS_ALT;
  v.write(kIce, run.record, ems.EMS_COUNT);
  files.main.write_line(run.record);
  if (files.main.is_open()) files.main.count_station_record();
}

// `value` truncated toward zero. A value beyond 32 bits (only a garbled position gives one) is
// held at the nearest end of the range rather than left undefined.
std::int32_t truncate_to_int32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

void put_big_endian(unsigned char* at, std::uint32_t value) {
  at[0] = static_cast<unsigned char>(value >> 24);
  at[1] = static_cast<unsigned char>(value >> 16);
  at[2] = static_cast<unsigned char>(value >> 8);
  at[3] = static_cast<unsigned char>(value);
}

void put_big_endian(unsigned char* at, std::int32_t value) {
  put_big_endian(at, static_cast<std::uint32_t>(value));
}

void put_big_endian(unsigned char* at, float value) {
  put_big_endian(at, std::bit_cast<std::uint32_t>(value));
}

}  // namespace

std::array<unsigned char, kBinaryRecordSize> binary_record(const EmsRecord& ems, const GpsFix& fix,
                                                           float sensor_height) {
  std::array<unsigned char, kBinaryRecordSize> record{};
  put_big_endian(&record[0], truncate_to_int32(fix.LAT * 1.0e7));
  put_big_endian(&record[4], truncate_to_int32(fix.LON * 1.0e7));
  put_big_endian(&record[8], ems.DAY_SECONDS);
  put_big_endian(&record[12], sensor_height);
  put_big_endian(&record[16], ems.EMS_VALUE[1]);
  // Through an integer, so that a small negative value gives 0 and not -0.
  put_big_endian(&record[20], static_cast<float>(static_cast<std::int32_t>(ems.EMS_AUX * 1000.0f)));
  put_big_endian(&record[24], ems.EMS_VALUE[0]);
  put_big_endian(&record[28], 0.0f);
  return record;  // bytes 32-34 stay zero
}

// The station writer's part for I$ packets, kept beside their decoder: the position of the
// station, the start output and the ICE and binary records.
void StationWriter::write_ems(const EmsRecord& ems, Console& console) {
  ProgramState& program = program_;
  RunState& run = run_;
  FileUnits& files = files_;
  OutputSetNames& names = program.names;
  station_position(program, run, files);
  if (run.HAS_GPS && names.type_i_pending) {
    console.write(FreeLine() << "    Ellipsoid used is " << program.gps.ellipsoid_index << " zone "
                             << program.gps.utm_zone);
  }
  if (names.type_i_pending) {
    static const Layout kStart("(I6, F12.2, I6)");
    kStart.write(run.record, {-9, run.sensor_height});
    console.write_line(run.record);
    names.type_i_pending = false;
  }

  if (run.type == OutputType::I) {
    write_ice_record(ems, program, run, files);
    const auto record = binary_record(ems, program.gps.current_fix, run.sensor_height);
    files.binary.write_bytes(record.data(), record.size());
  }
}

Flow handle_i_packet(const Line& LINE, StationRecord& station, EmsRecord& ems, float SW_VERSION,
                     StationWriter& writer, Console& console) {
  // Shown before the line is read, so that a file whose lines cannot be read still tells why.
  if (SW_VERSION != kCurrentEmsVersion && ems.EMS_VERSION_NOTICE) {
    console.write(FreeLine() << "EMS software version change" << SW_VERSION);
  }
  const Flow read = read_i_layout(LINE, station, ems);
  if (read != Flow::NextLine) return read;
  scale_values(station, ems, SW_VERSION, writer);
  writer.write_ems(ems, console);
  ems.EMS_VERSION_NOTICE = false;
  return Flow::NextLine;
}

}  // namespace quillet
