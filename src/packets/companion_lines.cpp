#include "packets/companion_lines.hpp"

#include <array>
#include <cmath>
#include <limits>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "common/text.hpp"
#include "packets/station_output.hpp"

namespace quillet {

namespace {

void write_raw_copy(const StationRecord& s, const RawCopyState& r, OutputFile& raw,
                    std::string& record) {
  static const Layout kPair("(1X, I9, 3I3, '.', I3, 14I10)");
  static const Layout kSingle("(1X, I9, 3I3, '.', I3, 7I10)");
  const std::array<Out, 19> values = {
      r.R_COUNT,   s.HOUR,      s.MINUTE,    s.SECOND,    s.MSEC,      r.R_SET1[0], r.R_SET1[1],
      r.R_SET1[2], r.R_SET1[3], r.R_SET1[4], r.R_SET1[5], r.R_SET1[6], r.R_SET2[0], r.R_SET2[1],
      r.R_SET2[2], r.R_SET2[3], r.R_SET2[4], r.R_SET2[5], r.R_SET2[6]};
  if (r.R_SECOND_LINE && r.R_PAIRED) {
    kPair.write(record, values.data(), values.size());
  } else if (!r.R_PAIRED || r.R_SECOND_LINE) {
    kSingle.write(record, values.data(), 12);
  } else {
    return;  // the first line of a pair: its record comes with the second line
  }
  raw.write_line(record);
}

void apply_temperature_rule(StationRecord& s) {
  // Some loggers write the temperature ten times too large.
  if (s.TEMPERATURE_K > 1000.0f) s.TEMPERATURE_K /= 10.0f;
}

}  // namespace

Flow handle_offset_line(const Line& LINE, StationRecord& station) {
  std::int32_t k = 0;
  const FreeReadResult index = read_free(LINE.columns(4, 5), {k});
  if (index.status != FreeReadStatus::Ok || index.assigned != 1 || k < 1 || k > 3) {
    return Flow::PacketSkip;
  }
  // NaN marks a value the line does not give (the read never produces one).
  constexpr float kNotGiven = std::numeric_limits<float>::quiet_NaN();
  std::array<float, 4> ppm = {kNotGiven, kNotGiven, kNotGiven, kNotGiven};
  const FreeReadResult numbers = read_free(LINE.columns(7, 30), {ppm[0], ppm[1], ppm[2], ppm[3]});
  if (numbers.status != FreeReadStatus::Ok) return Flow::PacketSkip;
  std::array<float, 4>& offsets = station.USER_OFFSET[static_cast<std::size_t>(k - 1)];
  for (std::size_t j = 0; j < 4; ++j) {
    if (!std::isnan(ppm[j])) offsets[j] = ppm[j] / 1000.0f;
  }
  return Flow::NextLine;
}

Flow handle_raw_line(const Line& LINE, const StationRecord& station, RawCopyState& state,
                     bool& R_SEEN, OutputFile& raw, std::string& record, Console& console) {
  R_SEEN = true;
  // The line has no time of its own: it belongs to the latest time stamp.
  const std::array<std::int32_t, 4> now = {station.HOUR, station.MINUTE, station.SECOND,
                                           station.MSEC};
  static const Layout kRaw("(3X, 7I8)");
  std::array<std::int32_t, 7> v{};
  const bool ok = kRaw.read(LINE.view(), {v[0], v[1], v[2], v[3], v[4], v[5], v[6]}).ok();
  if (!ok) {
    console.write(FreeLine() << "Error during read of R$ packet");
  } else if (now == state.R_LAST_TIME) {
    state.R_SET2 = v;
    state.R_PAIRED = true;
    state.R_SECOND_LINE = true;
  } else {
    state.R_SET1 = v;
    ++state.R_COUNT;
    state.R_LAST_TIME = now;
    state.R_SECOND_LINE = false;
  }
  write_raw_copy(station, state, raw, record);
  return ok ? Flow::NextLine : Flow::PacketError;
}

Flow handle_aux_line(const Line& LINE, StationWriter& writer) {
  static const Layout kAux("(3X, 3I6, 1X, 3I6, 1X, I6)");
  AuxReading aux;
  if (!kAux.read(LINE.view(), {aux.a[0], aux.a[1], aux.a[2], aux.b[0], aux.b[1], aux.b[2], aux.c})
           .ok()) {
    return Flow::PacketSkip;
  }
  writer.write_aux(aux);
  return Flow::NextLine;
}

Flow handle_status_line(const Line& LINE, StationRecord& station, Console& console) {
  StationRecord& s = station;
  switch (LINE.trimmed().size()) {
    case 21: {
      static const Layout k21("(3X, 3I2, 1X, F5.3, 1X, F5.1)");
      if (!k21.read(LINE.view(), {s.HOUR, s.MINUTE, s.SECOND, s.VOLTAGE, s.TEMPERATURE_K}).ok()) {
        return Flow::PacketSkip;
      }
      break;
    }
    case 34: {
      static const Layout k34("(3X, 3I2, 1X, I5, 1X, I5, 1X, 2I6)");
      if (!k34.read(LINE.view(),
                    {s.HOUR, s.MINUTE, s.SECOND, s.VOLT_RAW, s.TEMP_RAW, s.PITCH_RAW, s.ROLL_RAW})
               .ok()) {
        return Flow::PacketSkip;
      }
      s.VOLTAGE = static_cast<float>(s.VOLT_RAW) / 1000.0f;
      s.TEMPERATURE_K = static_cast<float>(s.TEMP_RAW) / 100.0f;
      s.PITCH = static_cast<float>(s.PITCH_RAW) / 100.0f;
      s.ROLL = static_cast<float>(s.ROLL_RAW) / 100.0f;
      break;
    }
    default:
      console.write(FreeLine() << "S$ packet error:"
                               << caret_notation(LINE.trimmed(), TabByte::Kept));
      apply_temperature_rule(s);
      return Flow::PacketError;
  }
  apply_temperature_rule(s);
  return Flow::NextLine;
}

}  // namespace quillet
