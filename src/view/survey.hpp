// A transcribed survey file held in memory, column by column, for the page: every record that
// fits a layout of the file's type, in file order, with what the summary reports about the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "view/record_layouts.hpp"

namespace quillet::view {

// A channel is named by its coil array's number on every page of a survey, whichever file the
// page is made of; the spacing, where the file tells it, goes into the description only.
struct Channel {
  std::string name;      // "HC1", "HI1", "PC1", "PI1", ... "PI3"
  std::string quantity;  // "HCP conductivity", "HCP in-phase", ...
  std::string unit;      // "mS/m" or "ppt"
  int array = 1;
  std::string spacing;  // the array's spacing ("4 m") where the file tells it, else empty

  // "HCP conductivity, array 3, 4 m"
  std::string description() const;
};

struct Comment {
  std::size_t reading;
  std::int32_t number;
};

// How a reading's fix is told fresh.
enum class FixRule : std::uint8_t {
  GpsTime,         // its GPS time moved within kStaleFixSeconds of readings
  Position,        // its position moved within kStaleFixSeconds (a CSV file without GPS times)
  PositionColumn,  // the CSV file's `position` column: interpolated is fresh, held is not
};

struct Survey {
  std::string path;
  FileType type = FileType::None;
  int arrays = 0;                                    // the most coil arrays of any record
  std::size_t family_records[kRecordFamilies] = {};  // per RecordFamily
  std::vector<std::string> logger_files;  // Geosoft header names; else the file's own name
  std::vector<Channel> channels;
  std::vector<std::vector<float>> values;  // [channel][reading]; NaN where missing
  std::vector<std::int32_t> line;          // survey line of each reading
  std::vector<double> time_s;           // seconds from midnight of the first day; NaN where missing
  std::vector<double> latitude;         // degrees; NaN without a GPS position
  std::vector<double> longitude;        // degrees; NaN without a GPS position
  std::vector<std::uint8_t> fresh_fix;  // 1: a fresh position, by the file's fix rule
  FixRule fix_rule = FixRule::GpsTime;
  std::vector<Comment> comments;
  // Non-blank, non-header lines that fit no layout, lines longer than kMaxLineBytes among them.
  std::size_t unfit_records = 0;
  std::size_t first_unfit_line = 0;
  std::string first_unfit_text;

  std::size_t readings() const { return line.size(); }
};

// Seconds of readings over which an unchanged GPS time still counts as a fresh fix.
constexpr double kStaleFixSeconds = 5.0;

// The most of a line that is read; the rest of a longer line is skipped and the line counted as
// one that fits no layout. A record of the fixed-width files has a few hundred bytes; a CSV row
// of three arrays with every column some hundreds more.
constexpr std::size_t kMaxLineBytes = 64 * 1024;

enum class LoadStatus : std::uint8_t {
  Ok,
  Unreadable,  // the file cannot be opened or read, or is no regular file
  NotASurvey,  // no line of it is a record of a file the viewer knows
};

// Reads `path` into `survey`; a status other than Ok comes with a message in `error` that names
// the file (and, for a file of another kind, its first line). Only a regular file is opened (a
// FIFO, a device or a folder is refused before it is opened); memory grows with the readings,
// never with the length of a line.
LoadStatus load_survey(const std::string& path, Survey& survey, std::string& error);

}  // namespace quillet::view
