#include "packets/n_packet.hpp"

#include <algorithm>

#include "common/layout.hpp"
#include "packets/station_output.hpp"

namespace quillet {

namespace {

// Columns of an N$ line before the first reading; each array adds four readings of six columns.
constexpr std::size_t kColumnsBeforeReadings = 34;
constexpr std::size_t kColumnsPerArray = 24;

// Channels of every array from the raw values each holds; this packet knows no user offsets.
void convert_arrays(StationRecord& s) {
  for (int k = 0; k < kStationArrays; ++k) {
    s.PC[k] = static_cast<float>(s.RAW_PQ[k]) / 10.0f;
    s.HC[k] = static_cast<float>(s.RAW_HQ[k]) / 10.0f;
    s.PI[k] = static_cast<float>(s.RAW_PI[k]) / 100.0f;
    s.HI[k] = static_cast<float>(s.RAW_HI[k]) / 100.0f;
  }
  s.VOLTAGE = static_cast<float>(s.VOLT_RAW) / 1000.0f;
  s.TEMPERATURE_K = static_cast<float>(s.TEMP_RAW) / 100.0f;
  s.PITCH = static_cast<float>(s.PITCH_RAW) / 100.0f;
  s.ROLL = static_cast<float>(s.ROLL_RAW) / 100.0f;
}

}  // namespace

Flow handle_n_packet(const Line& LINE, StationRecord& station, CoilConfiguration& coils,
                     StationWriter& writer, Console& console) {
  StationRecord& s = station;
  const int arrays = std::clamp(coils.N, 1, kStationArrays);
  // A multi-array line cut short would read its last field from what is left of it (-1 for -10):
  // such a line is refused whole rather than read in part.
  const std::size_t needed =
      kColumnsBeforeReadings + kColumnsPerArray * static_cast<std::size_t>(arrays);
  if (arrays > 1 && LINE.trimmed().size() < needed) return Flow::PacketSkip;

  static const Layout kN("(3X, 3I2, 1X, I5, 1X, I5, 1X, 2I6, N(4I6))");
  const In fields[] = {s.HOUR,      s.MINUTE,    s.SECOND,    s.VOLT_RAW,  s.TEMP_RAW,
                       s.PITCH_RAW, s.ROLL_RAW,  s.RAW_HQ[0], s.RAW_HI[0], s.RAW_PQ[0],
                       s.RAW_PI[0], s.RAW_HQ[1], s.RAW_HI[1], s.RAW_PQ[1], s.RAW_PI[1],
                       s.RAW_HQ[2], s.RAW_HI[2], s.RAW_PQ[2], s.RAW_PI[2]};
  const std::size_t count = 7 + 4 * static_cast<std::size_t>(arrays);
  if (!kN.read(LINE.view(), fields, count, arrays).ok()) return Flow::PacketSkip;

  convert_arrays(s);
  if (coils.detect_prototype(console)) {
    s.PC[1] *= coils.PROTO_PC_SCALE;
    s.HC[1] *= coils.PROTO_HC_SCALE;
  }
  return writer.write_station(PacketKind::N);
}

}  // namespace quillet
