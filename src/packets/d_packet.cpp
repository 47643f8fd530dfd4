#include "packets/d_packet.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "common/text.hpp"
#include "packets/t_packet.hpp"

namespace quillet {

namespace {

// The layouts of the instrument generations, by software version and line length.
enum class DLayout : std::uint8_t {
  Version0,      // no housekeeping
  Housekeeping,  // voltage and temperature in I6 fields
  Attitude,      // lengths 50 and 72: voltage, temperature, pitch and roll
  Milliseconds,  // length 76: the same with the milliseconds of the time stamp
  None,          // no layout fits
};

DLayout layout_of(float SW_VERSION, std::size_t length) {
  // The version is a 32-bit real and compared as one: a file of version 5.1 has the new layouts.
  if (SW_VERSION == 0.0f) return DLayout::Version0;
  if (SW_VERSION > 0.0f && SW_VERSION < 5.1f) return DLayout::Housekeeping;
  if (SW_VERSION >= 5.1f) {
    if (length == 50 || length == 72) return DLayout::Attitude;
    if (length == 76) return DLayout::Milliseconds;
  }
  return DLayout::None;
}

ReadResult read_d_layout(DLayout layout, std::string_view line, StationRecord& s) {
  switch (layout) {
    case DLayout::Version0: {
      static const Layout::Bound kVersion0 = bound_to_station(
          "(1X, 2X, 3I2, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6)", [](StationRecord& s) {
            return members_of(
                s, {s.HOUR, s.MINUTE, s.SECOND, s.LINENO, s.LINE_SUFFIX, s.STATION, s.STN_SUFFIX,
                    s.N_DIGIT, s.RAW_HQ[0], s.RAW_HI[0], s.RAW_PQ[0], s.RAW_PI[0]});
          });
      return kVersion0.read_all(line, &s);
    }
    case DLayout::Housekeeping: {
      static const Layout::Bound kHousekeeping = bound_to_station(
          "(1X, 2X, 3I2, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I6))", [](StationRecord& s) {
            return members_of(s, {s.HOUR, s.MINUTE, s.SECOND, s.LINENO, s.LINE_SUFFIX, s.STATION,
                                  s.STN_SUFFIX, s.N_DIGIT, s.RAW_HQ[0], s.RAW_HI[0], s.RAW_PQ[0],
                                  s.RAW_PI[0], s.VOLT_RAW, s.TEMP_RAW});
          });
      return kHousekeeping.read_all(line, &s);
    }
    case DLayout::Attitude: {
      static const Layout::Bound kAttitude = bound_to_station(
          "(1X, 2X, 3I2, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)",
          [](StationRecord& s) {
            return members_of(s, {s.HOUR, s.MINUTE, s.SECOND, s.LINENO, s.LINE_SUFFIX, s.STATION,
                                  s.STN_SUFFIX, s.N_DIGIT, s.RAW_HQ[0], s.RAW_HI[0], s.RAW_PQ[0],
                                  s.RAW_PI[0], s.VOLT_RAW, s.TEMP_RAW, s.PITCH_RAW, s.ROLL_RAW});
          });
      return kAttitude.read_all(line, &s);
    }
    case DLayout::Milliseconds: {
      static const Layout::Bound kMilliseconds = bound_to_station(
          "(1X, 2X, 3I2, 1X, I3, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)",
          [](StationRecord& s) {
            return members_of(
                s, {s.HOUR, s.MINUTE, s.SECOND, s.MSEC, s.LINENO, s.LINE_SUFFIX, s.STATION,
                    s.STN_SUFFIX, s.N_DIGIT, s.RAW_HQ[0], s.RAW_HI[0], s.RAW_PQ[0], s.RAW_PI[0],
                    s.VOLT_RAW, s.TEMP_RAW, s.PITCH_RAW, s.ROLL_RAW});
          });
      return kMilliseconds.read_all(line, &s);
    }
    case DLayout::None:
      break;
  }
  return {};
}

void set_derived_values(DLayout layout, std::size_t length, StationRecord& s) {
  switch (layout) {
    case DLayout::Attitude:
      if (length == 50) {
        s.PITCH = static_cast<float>(s.PITCH_RAW) / 10.0f;
        s.ROLL = static_cast<float>(s.ROLL_RAW) / 10.0f;
      } else {
        s.MSEC = 0;
        s.PITCH = attitude_degrees(s.PITCH_RAW);
        s.ROLL = attitude_degrees(s.ROLL_RAW);
      }
      break;
    case DLayout::Milliseconds:
      s.PITCH = attitude_degrees(s.PITCH_RAW);
      s.ROLL = attitude_degrees(s.ROLL_RAW);
      break;
    default:
      break;
  }
  // From the raw values in force, also for the layouts that carry none.
  s.VOLTAGE = static_cast<float>(s.VOLT_RAW) / 1000.0f;
  s.TEMPERATURE_K = static_cast<float>(s.TEMP_RAW) / 100.0f;
}

}  // namespace

Flow handle_d_packet(const Line& LINE, float SW_VERSION, StationRecord& station,
                     const CoilConfiguration& coils, StationWriter& writer, Console& console) {
  StationRecord& s = station;
  const std::size_t length = LINE.trimmed().size();
  const DLayout layout = layout_of(SW_VERSION, length);
  writer.set_array1_line_read(false);
  if (layout == DLayout::None) {
    // Writing the previous reading again under this line would put a station in the file that
    // the instrument never measured there.
    console.write(FreeLine() << "D$ packet error:"
                             << caret_notation(LINE.trimmed(), TabByte::Kept));
    return Flow::PacketError;
  }
  if (!read_d_layout(layout, LINE.view(), s).ok()) return Flow::PacketSkip;
  set_derived_values(layout, length, s);
  // D$ readings hold conductivities; the X$ line that follows converts its arrays by this tag.
  s.DATA_TAG = {'C', 'O', 'N', 'V'};
  // Arrays 2 and 3 are recomputed too, from the raw values of the last X$ line and with the
  // offsets and factors of array 1; the X$ line that completes the reading converts them again
  // with their own before any record shows them.
  convert_arrays(s, kStationArrays, ConversionVariant::Conductivity, {coils.F_HC[0], coils.F_PC[0]},
                 s.USER_OFFSET[0]);
  writer.set_array1_line_read(true);
  return writer.write_station(PacketKind::D);
}

}  // namespace quillet
