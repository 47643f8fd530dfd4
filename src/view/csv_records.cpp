#include "view/csv_records.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace quillet::view {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Cuts the next field off `rest`: up to the next comma outside quotes. A quoted field keeps its
// quotes (its text is never read as a number). False when a quoted field is not closed.
bool next_field(std::string_view& rest, std::string_view& field, bool& last) {
  std::size_t end = 0;
  if (!rest.empty() && rest.front() == '"') {
    end = 1;
    for (;;) {
      end = rest.find('"', end);
      if (end == std::string_view::npos) return false;
      if (end + 1 < rest.size() && rest[end + 1] == '"') {
        end += 2;  // a doubled quote stands for one
        continue;
      }
      ++end;
      break;
    }
    if (end < rest.size() && rest[end] != ',') return false;
  } else {
    end = rest.find(',');
    if (end == std::string_view::npos) end = rest.size();
  }
  field = rest.substr(0, end);
  last = end >= rest.size();
  rest.remove_prefix(last ? rest.size() : end + 1);
  return true;
}

// A whole field as a number; an empty field is a value the reading does not have.
bool read_number(std::string_view f, double& value) {
  if (f.empty()) {
    value = kNaN;
    return true;
  }
  const auto result = std::from_chars(f.data(), f.data() + f.size(), value);
  return result.ec == std::errc() && result.ptr == f.data() + f.size() && std::isfinite(value);
}

bool read_integer(std::string_view f, std::int32_t& value) {
  if (f.empty()) {
    value = RecordValues::kMissing;
    return true;
  }
  const auto result = std::from_chars(f.data(), f.data() + f.size(), value);
  return result.ec == std::errc() && result.ptr == f.data() + f.size() &&
         value != RecordValues::kMissing;
}

// "hh:mm:ss.sss"; a time that is no time of day is written as its seconds alone.
bool read_time(std::string_view f, RecordValues& v) {
  v.hour = RecordValues::kMissing;
  v.minute = RecordValues::kMissing;
  v.second = kNaN;
  if (f.empty()) return true;
  const std::size_t first = f.find(':');
  if (first == std::string_view::npos) {
    double seconds = 0;
    return read_number(f, seconds);
  }
  const std::size_t second = f.find(':', first + 1);
  if (second == std::string_view::npos) return false;
  return read_integer(f.substr(0, first), v.hour) &&
         read_integer(f.substr(first + 1, second - first - 1), v.minute) &&
         read_number(f.substr(second + 1), v.second) && v.hour != RecordValues::kMissing &&
         v.minute != RecordValues::kMissing;
}

// A receiver column: HCP or PRP, the spacing, "f" and the frequency, "h" and the sensor height,
// and "_inph" for the in-phase value. Its channel's kind (0 HC, 1 HI, 2 PC, 3 PI) and spacing.
bool receiver_column(std::string_view name, int& kind, std::string_view& spacing) {
  const bool hcp = name.substr(0, 3) == "HCP";
  if (!hcp && name.substr(0, 3) != "PRP") return false;
  constexpr std::string_view kInPhase = "_inph";
  const bool in_phase =
      name.size() > kInPhase.size() && name.substr(name.size() - kInPhase.size()) == kInPhase;
  if (in_phase) name.remove_suffix(kInPhase.size());
  const std::size_t f = name.find('f', 3);
  const std::size_t h = f == std::string_view::npos ? f : name.find('h', f + 1);
  if (h == std::string_view::npos) return false;
  double number = 0;
  for (const std::string_view part :
       {name.substr(3, f - 3), name.substr(f + 1, h - f - 1), name.substr(h + 1)}) {
    if (part.empty() || !read_number(part, number)) return false;
  }
  spacing = name.substr(3, f - 3);
  kind = (hcp ? 0 : 2) + (in_phase ? 1 : 0);
  return true;
}

}  // namespace

bool CsvColumns::read_header(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
  std::vector<Field> fields;
  std::string spacings[kMaxArrays];
  int count[4] = {};  // receiver columns met of each kind
  bool station = false, position = false;
  std::string_view rest = line, name;
  bool last = false;
  while (!last) {
    if (!next_field(rest, name, last)) return false;
    Field f;
    int kind = 0;
    std::string_view spacing;
    if (name == "station") {
      f.column = Column::Station;
      station = true;
    } else if (name == "line") {
      f.column = Column::Line;
    } else if (name == "time") {
      f.column = Column::Time;
    } else if (name == "latitude") {
      f.column = Column::Latitude;
    } else if (name == "longitude") {
      f.column = Column::Longitude;
    } else if (name == "gps_quality") {
      f.column = Column::Quality;
    } else if (name == "comment") {
      f.column = Column::Comment;
    } else if (name == "position") {
      f.column = Column::Position;
      position = true;
    } else if (name == "x" || name == "y" || name == "utm_zone" || name == "elevation" ||
               name == "voltage" || name == "temperature" || name == "pitch" || name == "roll" ||
               name == "fix_age_s") {
      f.column = Column::Number;
    } else if (receiver_column(name, kind, spacing) && count[kind] < kMaxArrays) {
      f.column = Column::Channel;
      f.channel = 4 * count[kind] + kind;
      if (kind == 0) spacings[count[kind]] = std::string(spacing);
      ++count[kind];
    }
    fields.push_back(f);
  }
  const int arrays = std::max(std::max(count[0], count[1]), std::max(count[2], count[3]));
  if (!station || arrays == 0) return false;
  fields_ = std::move(fields);
  for (int k = 0; k < kMaxArrays; ++k) spacings_[k] = std::move(spacings[k]);
  arrays_ = arrays;
  has_position_ = position;
  return true;
}

bool CsvColumns::read_row(std::string_view line, RecordValues& out) const {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  RecordValues v;
  v.type = FileType::Csv;
  v.family = RecordFamily::CsvRow;
  v.arrays = arrays_;
  v.latitude = kNaN;
  v.longitude = kNaN;
  v.second = kNaN;
  for (float& c : v.channels) c = std::numeric_limits<float>::quiet_NaN();
  std::string_view rest = line, f;
  bool last = false;
  double number = 0;
  std::int32_t integer = 0;
  for (std::size_t k = 0; k < fields_.size(); ++k) {
    if (last || !next_field(rest, f, last)) return false;
    switch (fields_[k].column) {
      case Column::Other:
        break;
      case Column::Station:
        if (!read_integer(f, v.station)) return false;
        break;
      case Column::Line:
        if (!read_integer(f, v.line)) return false;
        break;
      case Column::Time:
        if (!read_time(f, v)) return false;
        break;
      case Column::Number:
        if (!read_number(f, number)) return false;
        break;
      case Column::Latitude:
        if (!read_number(f, v.latitude)) return false;
        break;
      case Column::Longitude:
        if (!read_number(f, v.longitude)) return false;
        break;
      case Column::Quality:
        if (!read_integer(f, integer)) return false;
        v.fix_quality = integer == RecordValues::kMissing ? 0 : integer;
        break;
      case Column::Channel:
        if (!read_number(f, number)) return false;
        v.channels[fields_[k].channel] = static_cast<float>(number);
        break;
      case Column::Comment:
        if (!read_integer(f, integer)) return false;
        v.comment = integer == RecordValues::kMissing ? 0 : integer;
        break;
      case Column::Position:
        v.position = f == "interpolated" || f == "uncorrected" ? PositionState::Fresh
                     : f == "held"                             ? PositionState::Held
                                                               : PositionState::None;
        break;
    }
  }
  if (!last) return false;  // more fields than the header names
  out = v;
  return true;
}

std::string CsvColumns::spacing(int array) const {
  return array >= 1 && array <= kMaxArrays ? spacings_[array - 1] : std::string();
}

}  // namespace quillet::view
