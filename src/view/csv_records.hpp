// The rows of a CSV file that quillet wrote with code C. Its columns are found by the names of its
// header row, so columns added after the known ones (and any order of them) read the same:
// station, line, time, latitude, longitude, gps_quality, comment, the receiver columns
// `<HCP|PRP><spacing>f<frequency>h<height>[_inph]`, and `position` where the file has it. A row
// fits when it has as many fields as the header and every known column holds what the writer
// writes there: a number, or nothing for a value the reading does not have.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "view/record_layouts.hpp"

namespace quillet::view {

class CsvColumns {
 public:
  // Takes `line` as the header row of the rows that follow; false (and nothing changed) when it
  // is not one: no `station` column or no receiver column.
  bool read_header(std::string_view line);
  // Reads one row of the header's columns into `values`; false when it does not fit them.
  bool read_row(std::string_view line, RecordValues& values) const;

  int arrays() const { return arrays_; }
  // The spacing of array `array` (1-based) as its HCP column names it ("4", "0.5"); empty when
  // the header has none.
  std::string spacing(int array) const;
  // The rows tell their GPS state in a `position` column.
  bool has_position_column() const { return has_position_; }

 private:
  enum class Column : std::uint8_t {
    Other,
    Station,
    Line,
    Time,
    Number,  // a number the page does not show: x, y, elevation, housekeeping, ...
    Latitude,
    Longitude,
    Quality,
    Channel,
    Comment,
    Position,
  };
  struct Field {
    Column column = Column::Other;
    int channel = 0;  // Channel: index into RecordValues::channels
  };
  std::vector<Field> fields_;
  std::string spacings_[kMaxArrays];
  int arrays_ = 0;
  bool has_position_ = false;
};

}  // namespace quillet::view
