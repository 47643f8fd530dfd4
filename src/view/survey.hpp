// A transcribed survey file held in memory, column by column, for the page: every record that
// fits a layout of the file's type, in file order, with what the summary reports about the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "view/record_layouts.hpp"

namespace quillet::view {

struct Channel {
  std::string name;      // "HC1", or the Geosoft label's name ("HC4" for a 4 m array)
  std::string quantity;  // "HCP conductivity", "HCP in-phase", ...
  std::string unit;      // "mS/m" or "ppt"
  int array = 1;
};

struct Comment {
  std::size_t reading;
  std::int32_t number;
};

struct Survey {
  std::string path;
  FileType type = FileType::None;
  int arrays = 0;                         // the most coil arrays of any record
  std::size_t family_records[4] = {};     // per RecordFamily
  std::vector<std::string> logger_files;  // Geosoft header names; else the file's own name
  std::vector<Channel> channels;
  std::vector<std::vector<float>> values;  // [channel][reading]; NaN where missing
  std::vector<std::int32_t> line;          // survey line of each reading
  std::vector<double> time_s;           // seconds from midnight of the first day; NaN where missing
  std::vector<double> latitude;         // degrees; NaN without a GPS position
  std::vector<double> longitude;        // degrees; NaN without a GPS position
  std::vector<std::uint8_t> fresh_fix;  // 1: a position whose GPS time moved within 5 s
  std::vector<Comment> comments;
  std::size_t unfit_records = 0;  // non-blank, non-header lines that fit no layout
  std::size_t first_unfit_line = 0;
  std::string first_unfit_text;

  std::size_t readings() const { return line.size(); }
};

// Seconds of readings over which an unchanged GPS time still counts as a fresh fix.
constexpr double kStaleFixSeconds = 5.0;

enum class LoadStatus : std::uint8_t {
  Ok,
  Unreadable,  // the file cannot be opened or read
  NotASurvey,  // no line of it is a record of a file the viewer knows
};

// Reads `path` into `survey`; a status other than Ok comes with a message in `error` that names
// the file (and, for a file of another kind, its first line).
LoadStatus load_survey(const std::string& path, Survey& survey, std::string& error);

}  // namespace quillet::view
