#include "packets/t_packet.hpp"

#include <optional>
#include <string_view>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "common/text.hpp"
#include "core/station_record.hpp"
#include "packets/station_output.hpp"

namespace quillet {

namespace {

constexpr std::string_view kLengthCodePrompt =
    "Enter Veltor Length Code (1, 2, 4, 21, 42, 421, 62, 621 or 642, default=1)";

// Reads the layout that the trimmed length of the line selects. The station record takes each
// field as it is read, so the fields before an unreadable one keep their new values, as the
// logger's own software left them. Returns false for a length without a layout.
bool read_t_layout(std::size_t length, std::string_view line, StationRecord& s,
                   ReadResult& result) {
  std::string_view tag;
  int tag_item = 0;  // position of the tag among the layout's fields
  switch (length) {
    case 58: {
      static const Layout::Bound k58 =
          bound_to_station("(3X, 3I2, 1X, I6, 1X, A4, 1X, 6I6)", [](StationRecord& s) {
            std::string_view tag;  // the texts are numbered, not placed
            return members_of(s, {s.HOUR, s.MINUTE, s.SECOND, s.STATION, tag, s.AUX1, s.AUX2,
                                  s.RAW_HQ[0], s.RAW_HI[0], s.RAW_PQ[0], s.RAW_PI[0]});
          });
      result = k58.read_all(line, &s, &tag);
      tag_item = 4;
      break;
    }
    case 65: {
      static const Layout::Bound k65 =
          bound_to_station("(3X, 3I2, 1X, I6, 1X, A4, 1X, 6I6, 1X, 2I3)", [](StationRecord& s) {
            std::string_view tag;  // the texts are numbered, not placed
            return members_of(
                s, {s.HOUR, s.MINUTE, s.SECOND, s.STATION, tag, s.AUX1, s.AUX2, s.RAW_HQ[0],
                    s.RAW_HI[0], s.RAW_PQ[0], s.RAW_PI[0], s.PITCH_RAW, s.ROLL_RAW});
          });
      result = k65.read_all(line, &s, &tag);
      tag_item = 4;
      break;
    }
    case 79: {
      static const Layout::Bound k79 = bound_to_station(
          "(3X, 3I2, 1X, I6, 1X, A4, 1X, 6I6, 1X, I5, 1X, I5, 1X, 2I4)", [](StationRecord& s) {
            std::string_view tag;  // the texts are numbered, not placed
            return members_of(s, {s.HOUR, s.MINUTE, s.SECOND, s.STATION, tag, s.AUX1, s.AUX2,
                                  s.RAW_HQ[0], s.RAW_HI[0], s.RAW_PQ[0], s.RAW_PI[0], s.VOLT_RAW,
                                  s.TEMP_RAW, s.PITCH_RAW, s.ROLL_RAW});
          });
      result = k79.read_all(line, &s, &tag);
      tag_item = 4;
      break;
    }
    case 83: {
      static const Layout::Bound k83 = bound_to_station(
          "(3X, 3I2, 1X, I3, 1X, I6, 1X, A4, 1X, 6I6, 1X, I5, 1X, I5, 1X, 2I4)",
          [](StationRecord& s) {
            std::string_view tag;  // the texts are numbered, not placed
            return members_of(s, {s.HOUR, s.MINUTE, s.SECOND, s.MSEC, s.STATION, tag, s.AUX1,
                                  s.AUX2, s.RAW_HQ[0], s.RAW_HI[0], s.RAW_PQ[0], s.RAW_PI[0],
                                  s.VOLT_RAW, s.TEMP_RAW, s.PITCH_RAW, s.ROLL_RAW});
          });
      result = k83.read_all(line, &s, &tag);
      tag_item = 5;
      break;
    }
    default:
      return false;
  }
  if (result.ok() || result.item > tag_item) s.set_data_tag(tag);
  return true;
}

void set_housekeeping(StationRecord& s) {
  s.VOLTAGE = static_cast<float>(s.VOLT_RAW) / 1000.0f;
  s.TEMPERATURE_K = static_cast<float>(s.TEMP_RAW) / 100.0f;
}

void set_attitude_in_tenths(StationRecord& s) {
  s.PITCH = static_cast<float>(s.PITCH_RAW) / 10.0f;
  s.ROLL = static_cast<float>(s.ROLL_RAW) / 10.0f;
}

void set_derived_values(std::size_t length, StationRecord& s) {
  switch (length) {
    case 58:
      // No attitude in this generation: the raw fields read 0, the angles stay as they were.
      s.PITCH_RAW = 0;
      s.ROLL_RAW = 0;
      break;
    case 65:
      set_attitude_in_tenths(s);
      break;
    case 79:
      set_attitude_in_tenths(s);
      set_housekeeping(s);
      break;
    case 83:
      set_housekeeping(s);
      s.PITCH = attitude_degrees(s.PITCH_RAW);
      s.ROLL = attitude_degrees(s.ROLL_RAW);
      break;
    default:
      break;
  }
}

// Converts array 1 by the data tag. "NULD" and "RAW " packets configure the coils from the
// length code on every packet (asking for the code while array 1 has no spacings yet); "CONV"
// packets use the factors in force.
void convert_by_tag(StationRecord& s, CoilConfiguration& coils,
                    std::optional<std::int32_t> given_length_code, Console& console) {
  const std::string_view tag = s.data_tag();
  if (tag == "CONV") {
    convert_scaled(s, ConversionVariant::Conductivity, {coils.F_HC[0], coils.F_PC[0]});
  } else if (tag == "NULD" || tag == "RAW ") {
    if (coils.S_HC[0] == 0.0f || coils.S_PC[0] == 0.0f) {
      ask_length_code(coils.LENGTH_CODE, kLengthCodePrompt, given_length_code, console);
    }
    coils.apply_packet_table(tag == "NULD" ? PacketTable::TNuld : PacketTable::TRaw);
    convert_scaled(s, ConversionVariant::Quadrature, {coils.F_HC[0], coils.F_PC[0]});
  } else {
    console.write(FreeLine() << "   Data type not implemented "
                             << caret_notation(tag, TabByte::Kept));
  }
}

}  // namespace

Flow handle_t_packet(const Line& LINE, StationRecord& station, CoilConfiguration& coils,
                     StationWriter& writer, Console& console) {
  StationRecord& s = station;
  const std::size_t length = LINE.trimmed().size();
  ReadResult read;
  writer.set_array1_line_read(false);
  const bool known_length = read_t_layout(length, LINE.view(), s, read);
  if (known_length) {
    if (!read.ok()) return Flow::PacketSkip;
    set_derived_values(length, s);
    writer.set_array1_line_read(true);
  } else {
    // A packet of unknown length still gives a station: the previous values are written again.
    console.write(FreeLine() << "T$ packet error:"
                             << caret_notation(LINE.trimmed(), TabByte::Kept));
  }
  convert_by_tag(s, coils, writer.options().length_code, console);
  return reported_unless_ended(writer.write_station(PacketKind::T), !known_length);
}

}  // namespace quillet
