#include "packets/csv_output.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

#include "common/shortest_fixed.hpp"

namespace quillet {

namespace {

template <typename Real>
void append_real(std::string& out, Real value) {
  if (!std::isfinite(value)) return;
  char text[kShortestFixedRoom];
  out.append(text, write_shortest_fixed(text, value));
}

// `width` is at most 8.
void append_integer(std::string& out, std::int32_t value, int width = 0) {
  char text[24];
  char* start = text + 8;
  char* const end = std::to_chars(start, text + sizeof text, value).ptr;
  for (auto digits = end - start; digits < width; ++digits) *--start = '0';
  out.append(start, end);
}

// The time of day as hh:mm:ss.sss. The X layouts of $PDLMT and N$ records show whole seconds.
void append_time(std::string& out, const StationRecord& s, PacketKind kind) {
  const bool whole = kind == PacketKind::Pdlmt || kind == PacketKind::N;
  const std::int32_t milliseconds = s.SECOND * 1000 + (whole ? 0 : s.MSEC);
  append_integer(out, s.HOUR, 2);
  out += ':';
  append_integer(out, s.MINUTE, 2);
  out += ':';
  if (milliseconds < 0) {
    // Not a time of day; written as the seconds the XYZ record shows.
    append_shortest(out, static_cast<float>(milliseconds) / 1000.0f);
    return;
  }
  append_integer(out, milliseconds / 1000, 2);
  out += '.';
  append_integer(out, milliseconds % 1000, 3);
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
  out += ",voltage,temperature,pitch,roll,comment";
}

Flow write_csv_row(PacketKind kind, ProgramState& program, RunState& run, FileUnits& files) {
  const RunState::CsvColumns columns = columns_of(kind, program, run);
  const Flow flow = start_csv_file(columns, run, files);
  if (flow != Flow::NextLine) return flow;

  const StationRecord& s = program.station;
  const GpsFix& fix = program.gps.current_fix;
  std::string& row = run.record;
  row.clear();
  append_integer(row, s.STATION);
  row += ',';
  append_integer(row, s.LINENO);
  row += ',';
  append_time(row, s, kind);
  row += ',';
  // Before the first fix of a file with positions the record carries none: projecting 0, 0 would
  // put the station in the ocean off Africa.
  if (run.HAS_GPS && (fix.LAT != 0.0 || fix.LON != 0.0)) {
    const StationPosition xy = station_position(program, run, files);
    append_shortest(row, xy.x);
    row += ',';
    append_shortest(row, xy.y);
    row += ',';
    append_integer(row, program.gps.utm_zone);
    row += ',';
    append_shortest(row, fix.GPS_ALT);
    row += ',';
    append_shortest(row, fix.LAT);
    row += ',';
    append_shortest(row, fix.LON);
    row += ',';
    append_integer(row, fix.DMODE);
  } else {
    row += ",,,,,,";
  }
  for (int k = 0; k < columns.arrays; ++k) {
    for (const float value : {s.HC[k], s.PC[k], s.HI[k], s.PI[k]}) {
      row += ',';
      append_shortest(row, value);
    }
  }
  for (const float value : {s.VOLTAGE, s.TEMPERATURE_K, s.PITCH, s.ROLL}) {
    row += ',';
    append_shortest(row, value);
  }
  row += ',';
  // Comment numbers start at 1; 0 (and -1 before any file) mean the station has none.
  if (program.CN > 0) append_integer(row, program.CN);
  files.main.write_line(row);
  return Flow::NextLine;
}

}  // namespace quillet
