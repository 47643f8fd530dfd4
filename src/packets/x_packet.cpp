#include "packets/x_packet.hpp"

#include <cstddef>
#include <optional>
#include <string_view>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "common/text.hpp"

namespace quillet {

namespace {

constexpr std::string_view kLengthCodePrompt =
    "Enter Veltor Length Code (1, 2, 4, 21, 42, 421, 62, 621 or 642, default=1)";

// Reads the time stamp and the readings of arrays 2..N, N as it stands before the line is
// converted (34 and 38 columns hold two arrays, 58 and 62 three). Returns false for a length
// without a layout.
bool read_x_layout(std::size_t length, std::string_view line, int N, StationRecord& s,
                   ReadResult& result) {
  const std::size_t readings = 4 * static_cast<std::size_t>(N - 1);
  switch (length) {
    case 34:
    case 58: {
      static const Layout::Bound kSeconds =
          bound_to_station("(3X, 3I2, 1X, (N-1)(4I6))", [](StationRecord& s) {
            return members_of(s, {s.HOUR, s.MINUTE, s.SECOND, s.RAW_HQ[1], s.RAW_HI[1], s.RAW_PQ[1],
                                  s.RAW_PI[1], s.RAW_HQ[2], s.RAW_HI[2], s.RAW_PQ[2], s.RAW_PI[2]});
          });
      result = kSeconds.read(line, &s, 3 + readings, N);
      if (result.ok()) s.MSEC = 0;
      return true;
    }
    case 38:
    case 62: {
      static const Layout::Bound kMilliseconds =
          bound_to_station("(3X, 3I2, 1X, I3, 1X, (N-1)(4I6))", [](StationRecord& s) {
            return members_of(
                s, {s.HOUR, s.MINUTE, s.SECOND, s.MSEC, s.RAW_HQ[1], s.RAW_HI[1], s.RAW_PQ[1],
                    s.RAW_PI[1], s.RAW_HQ[2], s.RAW_HI[2], s.RAW_PQ[2], s.RAW_PI[2]});
          });
      result = kMilliseconds.read(line, &s, 4 + readings, N);
      return true;
    }
    default:
      return false;
  }
}

// Converts arrays 2..N by the tag of the packet that brought array 1. "NULD" and "RAW " lines
// configure every array from the length code on each line (asking for the code while array 1 has
// no spacings), so N may change here; "CONV" lines use the factors in force.
void convert_by_tag(StationRecord& s, CoilConfiguration& coils,
                    std::optional<std::int32_t> given_length_code, Console& console) {
  const std::string_view tag = s.data_tag();
  if (tag == "CONV") {
    convert_arrays(s, 2, coils.N, ConversionVariant::Conductivity, coils.F_HC, coils.F_PC,
                   s.USER_OFFSET);
    // The prototype scales its 6 m array by the squared spacing ratios of a 4 m array.
    if (coils.LENGTH_CODE == 620) {
      s.PC[1] *= coils.PROTO_PC_SCALE;
      s.HC[1] *= coils.PROTO_HC_SCALE;
    }
  } else if (tag == "NULD" || tag == "RAW ") {
    if (coils.S_HC[0] == 0.0f || coils.S_PC[0] == 0.0f) {
      ask_length_code(coils.LENGTH_CODE, kLengthCodePrompt, given_length_code, console);
    }
    coils.apply_extra_array_geometry();
    coils.compute_extra_array_factors();
    convert_arrays(s, 2, coils.N, ConversionVariant::Quadrature, coils.F_HC, coils.F_PC,
                   s.USER_OFFSET);
  } else {
    console.write(FreeLine() << "   Data type not implemented"
                             << caret_notation(tag, TabByte::Kept));
  }
}

}  // namespace

Flow handle_x_packet(const Line& LINE, StationRecord& station, CoilConfiguration& coils,
                     StationWriter& writer, Console& console) {
  StationRecord& s = station;
  const std::size_t length = LINE.trimmed().size();
  ReadResult read;
  const bool known_length = read_x_layout(length, LINE.view(), coils.N, s, read);
  if (known_length) {
    if (!read.ok()) return Flow::PacketSkip;
  } else {
    console.write(FreeLine() << "X$ read error!");
  }
  convert_by_tag(s, coils, writer.options().length_code, console);
  if (!writer.array1_line_read()) return reported_unless_ended(Flow::NextLine, !known_length);
  return reported_unless_ended(writer.write_station(PacketKind::X), !known_length);
}

}  // namespace quillet
