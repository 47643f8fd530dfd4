#include "view/record_layouts.hpp"

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "common/layout.hpp"

namespace quillet::view {

namespace {

// What each field of a record holds, in the order the writers write them.
enum class Role : std::uint8_t {
  Station,
  Line,
  Channel,  // one entry stands for the 4N channels of the record
  Hour,
  Minute,
  Second,
  Comment,
  GpsTime,
  Latitude,
  Longitude,
  FixQuality,
  Other,  // suffixes, spacing digit, housekeeping, attitude, altitude, auxiliary values
};

struct Variant {
  FileType type;
  RecordFamily family;
  int arrays;
  std::size_t columns;
  std::vector<Layout::Field> fields;
  std::vector<Role> roles;  // one per field
  std::vector<std::uint32_t> blank_columns;
};

// The columns every record ends with: comment number, attitude and the GPS fix.
constexpr Role kTail[] = {Role::Comment,  Role::Other,     Role::Other, Role::GpsTime,
                          Role::Latitude, Role::Longitude, Role::Other, Role::FixQuality};

struct Shape {
  FileType type;
  RecordFamily family;
  const char* layout;
  std::vector<Role> roles;  // before the tail
  bool one_array;           // $PDLMT records carry array 1 whatever the instrument has
};

std::vector<Shape> shapes() {
  using R = Role;
  const std::vector<Role> xyz = {R::Station, R::Line,   R::Channel, R::Other, R::Hour,
                                 R::Minute,  R::Second, R::Other,   R::Other};
  const std::vector<Role> geosoft = {R::Station, R::Other, R::Line, R::Other,
                                     R::Channel, R::Other, R::Hour, R::Minute,
                                     R::Second,  R::Other, R::Other};
  std::vector<Role> log = {R::Station, R::Channel, R::Other,  R::Other, R::Line, R::Other,
                           R::Hour,    R::Minute,  R::Second, R::Other, R::Other};
  std::vector<Role> log_aux = log;
  log_aux.insert(log_aux.end(), {R::Other, R::Other});
  return {
      {FileType::SimpleXyz, RecordFamily::T,
       "(I6, I6, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, 1X, F12.6, "
       "1X, F7.1, 1X, I2)",
       xyz, false},
      {FileType::SimpleXyz, RecordFamily::DX,
       "(I6, I6, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, "
       "1X, F7.1, 1X, I2)",
       xyz, false},
      {FileType::SimpleXyz, RecordFamily::N,
       "(I6, I6, (4N)F9.2, I2, 1X, 3I3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, "
       "1X, F7.1, 1X, I2)",
       xyz, false},
      {FileType::SimpleXyz, RecordFamily::Pdlmt,
       "(I6, I6, 4F9.2, I2, 3I3, F7.3, F7.2, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, "
       "1X, I2)",
       xyz, true},
      {FileType::Geosoft, RecordFamily::T,
       "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, "
       "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
       geosoft, false},
      {FileType::Geosoft, RecordFamily::DX,
       "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, "
       "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
       geosoft, false},
      {FileType::Geosoft, RecordFamily::N,
       "(I6, 1X, A1, I6, 1X, A1, (4N)F9.2, I2, 1X, 3I3, F9.3, F8.2, 1X, I4, 2F7.2, 1X, I12, "
       "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
       geosoft, false},
      {FileType::Log, RecordFamily::T,
       "(I6, N(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 2F8.0, 1X, I4, 2F8.2, 1X, I12, "
       "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
       log_aux, false},
      {FileType::Log, RecordFamily::DX,
       "(I6, N(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, "
       "F12.6, 1X, F7.1, 1X, I2)",
       log, false},
      {FileType::Log, RecordFamily::N,
       "(I6, (4N)F9.2, I2, I4, I6, I4, 3I3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, "
       "F12.6, 1X, F7.1, 1X, I2)",
       log, false},
      {FileType::Log, RecordFamily::Pdlmt,
       "(I6, 4F9.2, I2, I4, I6, I4, 3I3, F7.3, F7.2, 2F10.0, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, "
       "F12.6, 1X, F7.1, 1X, I2)",
       log_aux, true},
  };
}

std::vector<Variant> build_variants() {
  std::vector<Variant> variants;
  for (const Shape& shape : shapes()) {
    const Layout layout(shape.layout);
    for (int arrays = 1; arrays <= (shape.one_array ? 1 : kMaxArrays); ++arrays) {
      Variant v{shape.type, shape.family, arrays, 0, {}, {}, {}};
      v.fields = layout.fields(arrays, v.columns);
      for (Role role : shape.roles) {
        if (role == Role::Channel) {
          v.roles.insert(v.roles.end(), static_cast<std::size_t>(4 * arrays), Role::Channel);
        } else {
          v.roles.push_back(role);
        }
      }
      v.roles.insert(v.roles.end(), std::begin(kTail), std::end(kTail));
      if (v.roles.size() != v.fields.size()) std::abort();  // a role list that misses a field
      std::vector<bool> covered(v.columns, false);
      for (const Layout::Field& f : v.fields) {
        for (std::uint32_t c = f.column; c < f.column + f.width; ++c) covered[c] = true;
      }
      for (std::uint32_t c = 0; c < v.columns; ++c) {
        if (!covered[c]) v.blank_columns.push_back(c);
      }
      variants.push_back(std::move(v));
    }
  }
  return variants;
}

bool all_asterisks(std::string_view f) {
  for (char c : f) {
    if (c != '*') return false;
  }
  return true;
}

bool digit(char c) {
  return c >= '0' && c <= '9';
}

// An Iw field as the writer formats it: blanks, an optional minus, digits to the end.
bool read_int(std::string_view f, std::int64_t& value, bool& missing) {
  missing = all_asterisks(f);
  if (missing) return true;
  std::size_t i = 0;
  while (i < f.size() && f[i] == ' ') ++i;
  const bool negative = i < f.size() && f[i] == '-';
  if (negative) ++i;
  if (i == f.size()) return false;
  std::int64_t v = 0;
  for (; i < f.size(); ++i) {
    if (!digit(f[i])) return false;
    v = v * 10 + (f[i] - '0');
  }
  value = negative ? -v : v;
  return true;
}

// An Fw.d field as the writer formats it: blanks, an optional minus, digits (none when the field
// has no room for the leading zero), the point and exactly d decimals.
bool read_fixed(std::string_view f, unsigned decimals, double& value, bool& missing) {
  missing = all_asterisks(f);
  if (missing) return true;
  if (decimals + 1 > f.size()) return false;
  const std::size_t point = f.size() - decimals - 1;
  if (f[point] != '.') return false;
  std::size_t i = 0;
  while (i < point && f[i] == ' ') ++i;
  const bool negative = i < point && f[i] == '-';
  if (negative) ++i;
  std::int64_t whole = 0;
  for (; i < point; ++i) {
    if (!digit(f[i])) return false;
    whole = whole * 10 + (f[i] - '0');
  }
  std::int64_t fraction = 0;
  std::int64_t scale = 1;
  for (std::size_t j = point + 1; j < f.size(); ++j) {
    if (!digit(f[j])) return false;
    fraction = fraction * 10 + (f[j] - '0');
    scale *= 10;
  }
  const double v = static_cast<double>(whole) + static_cast<double>(fraction) / scale;
  value = negative ? -v : v;
  return true;
}

bool read_variant(std::string_view line, const Variant& variant, RecordValues& out) {
  for (std::uint32_t c : variant.blank_columns) {
    if (line[c] != ' ') return false;
  }
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  RecordValues v;
  v.type = variant.type;
  v.family = variant.family;
  v.arrays = variant.arrays;
  for (float& c : v.channels) c = std::numeric_limits<float>::quiet_NaN();
  int channel = 0;
  for (std::size_t k = 0; k < variant.fields.size(); ++k) {
    const Layout::Field& f = variant.fields[k];
    const std::string_view text = line.substr(f.column, f.width);
    bool missing = false;
    std::int64_t i = 0;
    double x = 0.0;
    switch (f.kind) {
      case Layout::Field::Kind::Text:
        continue;
      case Layout::Field::Kind::Int:
        if (!read_int(text, i, missing)) return false;
        if (missing || i < INT32_MIN + 1 || i > INT32_MAX) i = RecordValues::kMissing;
        break;
      case Layout::Field::Kind::Fixed:
        if (!read_fixed(text, f.decimals, x, missing)) return false;
        if (missing) x = kNaN;
        break;
    }
    const auto int_value = static_cast<std::int32_t>(i);
    switch (variant.roles[k]) {
      case Role::Station:
        v.station = int_value;
        break;
      case Role::Line:
        v.line = int_value;
        break;
      case Role::Channel:
        v.channels[channel++] = static_cast<float>(x);
        break;
      case Role::Hour:
        v.hour = int_value;
        break;
      case Role::Minute:
        v.minute = int_value;
        break;
      case Role::Second:
        v.second = f.kind == Layout::Field::Kind::Int
                       ? (int_value == RecordValues::kMissing ? kNaN : int_value)
                       : x;
        break;
      case Role::Comment:
        v.comment = int_value == RecordValues::kMissing ? 0 : int_value;
        break;
      case Role::GpsTime:
        v.gps_time_ms = int_value;
        break;
      case Role::Latitude:
        v.latitude = x;
        break;
      case Role::Longitude:
        v.longitude = x;
        break;
      case Role::FixQuality:
        v.fix_quality = int_value == RecordValues::kMissing ? 0 : int_value;
        break;
      case Role::Other:
        break;
    }
  }
  out = v;
  return true;
}

}  // namespace

bool read_record(std::string_view line, FileType type, RecordValues& values) {
  static const std::vector<Variant> kVariants = build_variants();
  // The variants by their width: a record is tried against the few of its own width only.
  static const std::vector<std::vector<const Variant*>> kByWidth = [] {
    std::vector<std::vector<const Variant*>> by_width;
    for (const Variant& v : kVariants) {
      if (by_width.size() <= v.columns) by_width.resize(v.columns + 1);
      by_width[v.columns].push_back(&v);
    }
    return by_width;
  }();
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
  if (line.size() >= kByWidth.size()) return false;
  for (const Variant* variant : kByWidth[line.size()]) {
    if (type != FileType::None && variant->type != type) continue;
    if (read_variant(line, *variant, values)) return true;
  }
  return false;
}

const char* file_type_name(FileType type) {
  switch (type) {
    case FileType::SimpleXyz:
      return "simple XYZ";
    case FileType::Geosoft:
      return "Geosoft XYZ";
    case FileType::Log:
      return "log";
    case FileType::Csv:
      return "CSV";
    case FileType::None:
      break;
  }
  return "unknown";
}

const char* family_name(FileType type, RecordFamily family) {
  switch (family) {
    case RecordFamily::T:
      return type == FileType::Geosoft ? "T$ or $PDLMT" : "T$";
    case RecordFamily::Pdlmt:
      return "$PDLMT";
    case RecordFamily::DX:
      return "D$/X$";
    case RecordFamily::N:
      return "N$";
    case RecordFamily::CsvRow:
      return "CSV";
  }
  return "";
}

}  // namespace quillet::view
