#include "packets/csv_output.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "common/decimal_digits.hpp"
#include "common/shortest_fixed.hpp"

namespace quillet {

namespace {

template <typename Real>
void append_real(std::string& out, Real value) {
  if (!std::isfinite(value)) return;
  char text[kShortestFixedRoom];
  out.append(text, write_shortest_fixed(text, value));
}

// `value` in decimal, with zeros before it up to `width` (at most 8) characters; `out` has room
// for 16 characters, whatever the length of the text.
char* put_integer(char* out, std::int32_t value, int width = 0) {
  if (static_cast<std::uint32_t>(value) < 100 && width <= 2) {
    // Most integers of a row: a time's hours and minutes, a zone, a fix quality.
    if (value < 10 && width < 2) {
      *out = static_cast<char>('0' + value);
      return out + 1;
    }
    std::memcpy(out, detail::kDigitPairs + 2 * value, 2);
    return out + 2;
  }
  if (value >= 0) {
    // Digit pairs from the end; the 16 places after the first digit are copied in one piece.
    char text[32] = {};
    char* const end = text + 16;
    char* start = end;
    auto v = static_cast<std::uint32_t>(value);
    for (; v >= 100; v /= 100) {
      start -= 2;
      std::memcpy(start, detail::kDigitPairs + 2 * (v % 100), 2);
    }
    if (v >= 10) {
      start -= 2;
      std::memcpy(start, detail::kDigitPairs + 2 * v, 2);
    } else {
      *--start = static_cast<char>('0' + v);
    }
    while (end - start < width) *--start = '0';
    std::memcpy(out, start, 16);
    return out + (end - start);
  }
  char text[24];
  char* start = text + 8;
  char* const end = std::to_chars(start, text + sizeof text, value).ptr;
  for (auto digits = end - start; digits < width; ++digits) *--start = '0';
  const auto size = static_cast<std::size_t>(end - start);
  std::memcpy(out, start, size);
  return out + size;
}

// Room for any row but its comment's text: a number of up to kShortestFixedRoom characters in
// each real column, and far less than that for the rest.
constexpr std::size_t kRowReals = 7 + 4 * kStationArrays + 4 + 1;
constexpr std::size_t kRowRoom = kRowReals * kShortestFixedRoom + 1024;

void append_integer(std::string& out, std::int32_t value, int width = 0) {
  char text[24];
  out.append(text, put_integer(text, value, width));
}

// The shortest text of `value` (kShortestFixedRoom characters of room); nothing for a value that
// is not finite.
template <typename Real>
char* put_real(char* out, Real value) {
  return std::isfinite(value) ? write_shortest_fixed(out, value) : out;
}

// Three digits of 0 <= value < 1000.
char* put_three_digits(char* out, std::int32_t value) {
  const std::int32_t hundreds = value / 100;
  *out = static_cast<char>('0' + hundreds);
  std::memcpy(out + 1, detail::kDigitPairs + 2 * (value - hundreds * 100), 2);
  return out + 3;
}

// The time of day as hh:mm:ss.sss. The X layouts of $PDLMT and N$ records show whole seconds.
char* put_time(char* out, const StationRecord& s, PacketKind kind) {
  const bool whole = kind == PacketKind::Pdlmt || kind == PacketKind::N;
  const std::int32_t milliseconds = s.SECOND * 1000 + (whole ? 0 : s.MSEC);
  out = put_integer(out, s.HOUR, 2);
  *out++ = ':';
  out = put_integer(out, s.MINUTE, 2);
  *out++ = ':';
  if (milliseconds < 0) {
    // Not a time of day; written as the seconds the XYZ record shows.
    return put_real(out, static_cast<float>(milliseconds) / 1000.0f);
  }
  out = put_integer(out, milliseconds / 1000, 2);
  *out++ = '.';
  if (milliseconds % 1000 >= 0) return put_three_digits(out, milliseconds % 1000);
  return put_integer(out, milliseconds % 1000, 3);
}

// Date and time as ISO 8601: 2026-04-14T10:14:05.250, 23 characters. Two of them go into every
// row, so the digits are put in place, two at a time where every part is in its range.
char* put_date_time(char* out, const DateTime& t) {
  if (t.year >= 0 && t.year <= 9999 && t.month >= 0 && t.month <= 99 && t.day >= 0 && t.day <= 99 &&
      t.milliseconds >= 0 && t.milliseconds < 86400000) {
    const auto pair = [](char* at, std::int32_t value) {
      std::memcpy(at, detail::kDigitPairs + 2 * value, 2);
    };
    const auto milliseconds = static_cast<std::int32_t>(t.milliseconds);
    const std::int32_t seconds = milliseconds / 1000;
    const std::int32_t hours = seconds / 3600;
    const std::int32_t minutes = seconds / 60 - hours * 60;
    pair(out, t.year / 100);
    pair(out + 2, t.year % 100);
    out[4] = '-';
    pair(out + 5, t.month);
    out[7] = '-';
    pair(out + 8, t.day);
    out[10] = 'T';
    pair(out + 11, hours);
    out[13] = ':';
    pair(out + 14, minutes);
    out[16] = ':';
    pair(out + 17, seconds % 60);
    out[19] = '.';
    put_three_digits(out + 20, milliseconds - seconds * 1000);
    return out + 23;
  }
  // Out of range: the last digits of each part.
  char text[23] = {'0', '0', '0', '0', '-', '0', '0', '-', '0', '0', 'T', '0',
                   '0', ':', '0', '0', ':', '0', '0', '.', '0', '0', '0'};
  const auto put = [&text](std::size_t end, std::int64_t value, int digits) {
    for (int k = 1; k <= digits; ++k, value /= 10) {
      text[end - static_cast<std::size_t>(k)] = static_cast<char>('0' + value % 10);
    }
  };
  put(4, t.year, 4);
  put(7, t.month, 2);
  put(10, t.day, 2);
  put(13, t.milliseconds / 3600000, 2);
  put(16, t.milliseconds / 60000 % 60, 2);
  put(19, t.milliseconds / 1000 % 60, 2);
  put(23, t.milliseconds % 1000, 3);
  std::memcpy(out, text, sizeof text);
  return out + sizeof text;
}

std::string_view position_word(PositionKind kind) {
  switch (kind) {
    case PositionKind::Interpolated:
      return "interpolated";
    case PositionKind::Held:
      return "held";
    case PositionKind::Uncorrected:
      return "uncorrected";
    case PositionKind::None:
      break;
  }
  return "none";
}

// Whether a text field needs double quotes: a comma, a quote or a line end in it would otherwise
// break the row.
bool needs_quotes(std::string_view text) {
  // A plain loop: find_first_of asks memchr once a character.
  for (const char c : text) {
    if (c == '"' || c == ',' || c == '\r' || c == '\n') return true;
  }
  return false;
}

// A text field, in double quotes (quotes doubled) where it needs them; `out` has room for twice
// its size and two.
char* put_quoted(char* out, std::string_view text) {
  if (!needs_quotes(text)) {
    // An empty view may have no data at all, which memcpy must not be given.
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    return out + text.size();
  }
  *out++ = '"';
  for (const char c : text) {
    if (c == '"') *out++ = '"';
    *out++ = c;
  }
  *out++ = '"';
  return out;
}

RunState::CsvColumns columns_of(PacketKind kind, const ProgramState& program, const RunState& run) {
  RunState::CsvColumns columns;
  // A $PDLMT packet carries array 1 only, whatever N is.
  columns.arrays = kind == PacketKind::Pdlmt ? 1 : program.coils.N;
  for (int k = 0; k < columns.arrays; ++k) {
    columns.spacings[2 * k] = program.coils.S_HC[k];
    columns.spacings[2 * k + 1] = program.coils.S_PC[k];
  }
  columns.height = run.sensor_height;
  return columns;
}

// Name of the n-th file of a CSV file whose columns changed: NAME.csv goes on in NAME-n.csv.
std::string continuation_path(std::string_view first, std::int32_t n) {
  const std::size_t dot = first.find_last_of('.');
  const std::size_t slash = first.find_last_of("/\\");
  const std::size_t stem_end =
      dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)
          ? first.size()
          : dot;
  std::string path(first.substr(0, stem_end));
  path += '-';
  append_integer(path, n);
  path += first.substr(stem_end);
  return path;
}

// Makes sure the main file's header row names `columns`: writes it into a file that holds
// nothing yet, and moves to a continuation file when the file names other columns.
Flow start_csv_file(const RunState::CsvColumns& columns, RunState& run, FileUnits& files) {
  if (files.main.records() > 0) {
    if (columns == run.csv_columns) return Flow::NextLine;
    if (files.main.path() != continuation_path(run.csv_first_path, run.csv_part)) {
      run.csv_first_path = files.main.path();
      run.csv_part = 1;
    }
    ++run.csv_part;
    if (!files.close(files.main, Disposition::Keep)) return Flow::OutputWriteError;
    if (!files.open_output_path(files.main, continuation_path(run.csv_first_path, run.csv_part))) {
      return Flow::OutputOpenError;
    }
  }
  format_csv_header(run.record, columns);
  files.main.write_line(run.record);
  run.csv_columns = columns;
  return Flow::NextLine;
}

}  // namespace

void append_shortest(std::string& out, float value) {
  append_real(out, value);
}

void append_shortest(std::string& out, double value) {
  append_real(out, value);
}

void format_csv_header(std::string& out, const RunState::CsvColumns& columns) {
  out = "station,line,time,x,y,utm_zone,elevation,latitude,longitude,gps_quality";
  for (int k = 0; k < columns.arrays; ++k) {
    for (const std::string_view suffix : {"", "_inph"}) {
      for (int receiver = 0; receiver < 2; ++receiver) {
        out += receiver == 0 ? ",HCP" : ",PRP";
        append_shortest(out, columns.spacings[2 * k + receiver]);
        out += "f9000h";
        append_shortest(out, columns.height);
        out += suffix;
      }
    }
  }
  out += ",voltage,temperature,pitch,roll,comment,datetime,utc,position,fix_age_s,comment_text";
}

void format_csv_types(std::string& out, const RunState::CsvColumns& columns) {
  out = "Integer,Integer,Time,CoordX,CoordY,Integer,Real,Real,Real,Integer";
  for (int k = 0; k < columns.arrays; ++k) out += ",Real,Real,Real,Real";
  out += ",Real,Real,Real,Real,Integer,DateTime,DateTime,String,Real,String";
}

void format_utm_prj(std::string& out, std::int32_t zone) {
  out.clear();
  const std::int32_t number = zone < 0 ? -zone : zone;
  if (number < 1 || number > 60) return;
  const bool south = zone < 0;
  out = "PROJCS[\"WGS 84 / UTM zone ";
  append_integer(out, number);
  out += south ? "S" : "N";
  out +=
      "\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,"
      "AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,"
      "AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\","
      "\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]],PROJECTION[\"Transverse_Mercator\"],"
      "PARAMETER[\"latitude_of_origin\",0],PARAMETER[\"central_meridian\",";
  append_integer(out, number * 6 - 183);
  out +=
      "],PARAMETER[\"scale_factor\",0.9996],PARAMETER[\"false_easting\",500000],"
      "PARAMETER[\"false_northing\",";
  out += south ? "10000000" : "0";
  out +=
      "],UNIT[\"metre\",1,AUTHORITY[\"EPSG\",\"9001\"]],AXIS[\"Easting\",EAST],"
      "AXIS[\"Northing\",NORTH],AUTHORITY[\"EPSG\",\"";
  append_integer(out, (south ? 32700 : 32600) + number);
  out += "\"]]";
}

bool finish_csv_sides(RunState& run, FileUnits& files) {
  const bool written =
      files.close(files.csvt, run.csv_types_written ? Disposition::Keep : Disposition::Delete) &&
      files.close(files.prj, run.csv_positions_written ? Disposition::Keep : Disposition::Delete);
  run.csv_sides_path.clear();
  run.csv_types_written = false;
  run.csv_positions_written = false;
  return written;
}

Flow follow_csv_file(const ProgramState& program, RunState& run, FileUnits& files) {
  if (!files.main.is_open() || run.csv_sides_path == files.main.path()) return Flow::NextLine;
  if (!finish_csv_sides(run, files)) return Flow::OutputWriteError;
  run.csv_sides_path = files.main.path();
  const std::string_view main = run.csv_sides_path;
  const std::size_t slash = main.find_last_of('/');
  const std::size_t dot = main.find_last_of('.');
  const std::string_view stem =
      dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)
          ? main
          : main.substr(0, dot);
  if (!files.open_output_path(files.csvt, std::string(stem) + ".csvt") ||
      !files.open_output_path(files.prj, std::string(stem) + ".prj")) {
    return Flow::OutputOpenError;
  }
  format_utm_prj(run.record, program.gps.utm_zone);
  if (!run.record.empty()) files.prj.write_line(run.record);
  return Flow::NextLine;
}

Flow write_csv_row(PacketKind kind, ProgramState& program, RunState& run, FileUnits& files) {
  const RunState::CsvColumns columns = columns_of(kind, program, run);
  Flow flow = start_csv_file(columns, run, files);
  if (flow != Flow::NextLine) return flow;
  flow = follow_csv_file(program, run, files);
  if (flow != Flow::NextLine) return flow;
  if (!run.csv_types_written && files.csvt.is_open()) {
    format_csv_types(run.record, columns);
    files.csvt.write_line(run.record);
    run.csv_types_written = true;
  }

  const StationRecord& s = program.station;
  ReadingPosition at;
  if (run.positions != nullptr) {
    SurveyProjection projection;
    if (run.HAS_GPS) {
      projection = {program.gps.utm_zone, program.gps.ellipsoid_index, &files.unit99};
    }
    at = run.positions->locate(run.reading_line, s, projection);
  }
  // The row goes together in `text`, which holds any row but the comment's text.
  char text[kRowRoom];
  char* p = put_integer(text, s.STATION);
  *p++ = ',';
  p = put_integer(p, s.LINENO);
  *p++ = ',';
  p = put_time(p, s, kind);
  *p++ = ',';
  if (at.kind != PositionKind::None) {
    run.csv_positions_written = true;
    p = put_real(p, at.easting);
    *p++ = ',';
    p = put_real(p, at.northing);
    *p++ = ',';
    p = put_integer(p, program.gps.utm_zone);
    *p++ = ',';
    p = put_real(p, at.elevation);
    *p++ = ',';
    p = put_real(p, at.latitude);
    *p++ = ',';
    p = put_real(p, at.longitude);
    *p++ = ',';
    p = put_integer(p, at.quality);
  } else {
    std::memcpy(p, ",,,,,,", 6);
    p += 6;
  }
  float readings[4 * kStationArrays + 4];
  std::size_t count = 0;
  for (int k = 0; k < columns.arrays; ++k) {
    for (const float value : {s.HC[k], s.PC[k], s.HI[k], s.PI[k]}) readings[count++] = value;
  }
  for (const float value : {s.VOLTAGE, s.TEMPERATURE_K, s.PITCH, s.ROLL}) {
    readings[count++] = value;
  }
  p = write_shortest_fields(p, readings, count, ',');
  *p++ = ',';
  // Comment numbers start at 1; 0 (and -1 before any file) mean the station has none.
  if (program.CN > 0) p = put_integer(p, program.CN);
  *p++ = ',';
  if (at.has_datetime) p = put_date_time(p, at.datetime);
  *p++ = ',';
  if (at.has_utc) {
    p = put_date_time(p, at.utc);
    *p++ = 'Z';
  }
  *p++ = ',';
  const std::string_view word = position_word(at.kind);
  std::memcpy(p, word.data(), word.size());
  p += word.size();
  *p++ = ',';
  if (at.kind != PositionKind::None) {
    // The age rounded to the millisecond.
    const double thousandths = std::round(at.fix_age * 1000.0);
    if (std::isfinite(thousandths)) p = write_shortest_thousandths(p, thousandths);
  }
  *p++ = ',';
  const std::string_view comment =
      program.CN > 0 ? std::string_view(program.typed_comment) : std::string_view();
  if (comment.size() <= static_cast<std::size_t>(text + sizeof text - p - 2) / 2) {
    p = put_quoted(p, comment);
    files.main.write_line(std::string_view(text, static_cast<std::size_t>(p - text)));
    return Flow::NextLine;
  }
  // A comment longer than the room left: the row goes together in the run's record instead.
  std::string& row = run.record;
  row.assign(text, p);
  row.resize(row.size() + 2 * comment.size() + 2);
  row.resize(static_cast<std::size_t>(put_quoted(row.data() + (p - text), comment) - row.data()));
  files.main.write_line(row);
  return Flow::NextLine;
}

}  // namespace quillet
