// Positions in time for the CSV file: every reading where it was measured.
//
// The track reads the input twice more, beside the record loop and never behind it, each logger
// file (the lines from one H$ line to the next) on its own:
//  - a scan over the whole logger file estimates the offset of the logger clock from GPS time:
//    the median, over its good fixes (at most 50,000), of the fix time plus the latency minus the
//    logger time at which the G$ line was logged (the midpoint of the readings around it), each
//    reduced into (-12 h, +12 h];
//  - a look-ahead a few seconds ahead of the record loop keeps the fixes around the reading being
//    written, so that its position is interpolated between the fix before and the fix after it.
// Memory is fixed: the look-ahead holds at most 1,024 events (readings and fixes) and 512 fixes.
//
// Reading times: the time stamp of the reading's line, with its milliseconds where the line has
// them (76-column D$, 83-column T$); readings that share a stamp without milliseconds are spread
// evenly over their second in file order. Days are counted from the logger file's header date:
// a stamp more than 12 h before the previous one starts the next day, one more than 12 h after it
// belongs to the day before (so a single damaged stamp moves no later date).
//
// Positions (local metres east and north of the fix before the reading, on the GRS 80 ellipsoid):
// a cubic Hermite curve through the fixes, its tangents from the neighbouring fixes (Catmull-Rom),
// or the straight line where a neighbour lies beyond the longest gap. The antenna offset is
// removed along the heading from the curve's point 1 s before the reading to the one 1 s after it
// (nearer where a gap or the end of the fixes is nearer); under 0.2 m apart the heading is unknown.
// Latitude and longitude are the local metres turned back into degrees; easting and northing the
// fix's projection plus the projection's local linear map applied to the same metres, so both
// name one point (the map's own error over a few metres is below a micrometre).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/files.hpp"
#include "core/reading_position.hpp"

namespace quillet {

class ReadingTrack final : public PositionSource {
 public:
  explicit ReadingTrack(const PositionOptions& options);
  ~ReadingTrack() override;
  ReadingTrack(const ReadingTrack&) = delete;
  ReadingTrack& operator=(const ReadingTrack&) = delete;

  // Opens the input at `path` for the scan and the look-ahead; false when it cannot be read.
  bool open(const std::string& path);

  ReadingPosition locate(std::int32_t reading_line, const StationRecord& station,
                         const SurveyProjection& projection) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

namespace reading_track_detail {
// Whether the track looks at a line as read (`has_header_mark`: it holds "H$" in its first 121
// columns), and the next such line of `input`, every line counted in `line_number` (false at
// the end or on a read error). For the tests that hold the second to the first line by line.
bool worth_loading(std::string_view raw, bool& has_header_mark);
bool next_worth_loading(InputFile& input, std::int32_t& line_number, std::string_view& raw,
                        bool& has_header_mark);
}  // namespace reading_track_detail

}  // namespace quillet
