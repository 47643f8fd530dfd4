// When and where each reading of a CSV run was measured, as the CSV writer asks for it: the
// reading's time by the logger clock and on the GPS time axis, and its position interpolated in
// time between the GPS fixes around it. `PositionSource` is what the writer sees; the positioning
// layer implements it and the run owns the object.
#pragma once

#include <cstdint>

#include "core/station_record.hpp"
#include "core/unit99.hpp"

namespace quillet {

// What the CSV file's `position` column says about a reading's position.
enum class PositionKind : std::uint8_t {
  None,          // before the first good fix of the logger file, or the file has none
  Interpolated,  // between two good fixes at most the longest gap apart, antenna offset applied
  Held,          // the last good fix: beyond a gap, after the last fix, or no time known
  Uncorrected,   // interpolated, but the track around it too short to tell its heading
};

// A calendar day and a time of day.
struct DateTime {
  std::int32_t year = 0;
  std::int32_t month = 0;         // 1..12
  std::int32_t day = 0;           // 1..31
  std::int64_t milliseconds = 0;  // since midnight, 0..86,399,999
};

struct ReadingPosition {
  bool has_datetime = false;  // the logger file's header gave a date
  DateTime datetime;          // by the logger clock
  bool has_utc = false;       // the logger file has good fixes (and a date)
  DateTime utc;               // on the GPS time axis

  PositionKind kind = PositionKind::None;
  // Only where kind != None:
  double latitude = 0.0;   // degrees, negative south
  double longitude = 0.0;  // degrees, negative west
  float elevation = 0.0f;  // antenna altitude, metres
  double easting = 0.0;    // UTM in the survey's zone, metres
  double northing = 0.0;
  std::int32_t quality = 0;  // fix quality of the last good fix
  double fix_age = 0.0;      // seconds from the last good fix to the reading, GPS time axis
};

// How the CSV run places readings in time and space (the options --gps-latency, --max-gap and
// --gps-offset).
struct PositionOptions {
  double latency = 0.0;  // seconds from a fix's time to its sentence reaching the logger
  double max_gap = 2.5;  // longest time between two fixes that a reading is interpolated across, s
  double along = 0.0;    // antenna ahead of the sensor centre in the direction of travel, metres
  double across = 0.0;   // antenna to the right of the sensor centre, metres
  bool operator==(const PositionOptions&) const = default;
};

// The UTM projection the positions are given in.
struct SurveyProjection {
  std::int32_t zone = 0;  // negative south
  std::int32_t ellipsoid = 0;
  UtmDiagnostics* diagnostics = nullptr;
};

class PositionSource {
 public:
  virtual ~PositionSource() = default;
  // The reading whose array-1 line (T$, D$, N$ or $PDLMT) is line `reading_line` of the input.
  // Lines must be asked for in increasing order. `station` holds that reading's time stamp, taken
  // when the source could not tell the reading's time itself.
  virtual ReadingPosition locate(std::int32_t reading_line, const StationRecord& station,
                                 const SurveyProjection& projection) = 0;
};

}  // namespace quillet
