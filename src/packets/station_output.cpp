#include "packets/station_output.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "common/text.hpp"
#include "packets/csv_output.hpp"
#include "packets/record_values.hpp"
#include "positioning/utm.hpp"

namespace quillet {

namespace {

// The values of a record that no long-lived object holds, computed per record: the bound
// writers take them as members of this. The ppm values are left unset: a record writes only
// those its packet filled.
struct Computed {
  // Its own constructor, so that a const one needs no initializer and `ppm` stays unset.
  Computed() {}
  float seconds = 0.0f;       // the seconds of the time stamp as a real, with their fraction
  std::int32_t stn_code = 0;  // the suffix letters as character codes (I fields): a blank is 32
  std::int32_t line_code = 0;
  float aux1 = 0.0f;  // the auxiliary integers as reals without decimals
  float aux2 = 0.0f;
  float height = 0.0f;  // the run's sensor height
  float zero = 0.0f;
  std::int32_t zero_int = 0;
  std::array<float, 4 * kStationArrays> ppm;  // per array: HCP, PRP in-phase and quadrature
  char vertical = 'V';                        // the DAT31 station records' dipole letters
  char horizontal = 'H';
};

// A record layout bound to the members of the program state and of the computed values.
using StationLayout = RecordWriter<ProgramState, Computed>;
using Binding = void (*)(OutMembers&, int, const ProgramState&, const Computed&);

// A station layout with its values for every number of coil arrays.
StationLayout station_layout(std::string_view text, Binding bind, const ProgramState& program,
                             const Computed& c) {
  return StationLayout(text, 1, kStationArrays, bind, program, c);
}

// Seconds of a T$ time stamp with their fraction.
float seconds_with_fraction(const StationRecord& s) {
  return static_cast<float>(s.SECOND) + static_cast<float>(s.MSEC) / 1000.0f;
}

// The seconds of the record of a packet: T$, D$ and X$ seconds carry their milliseconds, $PDLMT
// and N$ seconds are whole.
float record_seconds(PacketKind kind, const StationRecord& s) {
  return kind == PacketKind::Pdlmt || kind == PacketKind::N ? static_cast<float>(s.SECOND)
                                                            : seconds_with_fraction(s);
}

// The four channels of arrays 1..n in the order HC, HI, PC, PI.
template <typename Values>
void add_channels(Values& v, const StationRecord& s, int n) {
  for (int k = 0; k < n; ++k) v << s.HC[k] << s.HI[k] << s.PC[k] << s.PI[k];
}

// The closing columns of the log, XYZ and Geosoft records: the current fix, steady over the
// readings until the next one.
template <typename Values>
void add_fix(Values& v, const GpsFix& fix) {
  if constexpr (requires { v.steady(true); }) v.steady(true);
  v << fix.GPS_TIME << fix.LAT << fix.LON << fix.GPS_ALT << fix.DMODE;
  if constexpr (requires { v.steady(false); }) v.steady(false);
}

// Passes the diagnostic lines of a projection on and counts them.
class CountingDiagnostics : public UtmDiagnostics {
 public:
  explicit CountingDiagnostics(UtmDiagnostics& unit99) : unit99_(unit99) {}
  void write_line(std::string_view line) override {
    ++lines;
    unit99_.write_line(line);
  }
  int lines = 0;

 private:
  UtmDiagnostics& unit99_;
};

// Writes the record into `file`: formatted in the file's buffer where its width is fixed.
void emit(const RecordValues& v, const Layout& layout, int n, RunState& run, OutputFile& file) {
  if (const std::size_t room = layout.write_room(n)) {
    if (char* space = file.line_space(room)) {
      file.end_line(v.write(layout, space, n));
      return;
    }
  }
  v.write(layout, run.record, n);
  file.write_line(run.record);
}

// The same for a record of a layout without run-time counts, from a list of values.
void emit(std::initializer_list<Out> values, const Layout& layout, RunState& run,
          OutputFile& file) {
  if (const std::size_t room = layout.write_room(0)) {
    if (char* space = file.line_space(room)) {
      file.end_line(layout.write(space, values.begin(), values.size()));
      return;
    }
  }
  layout.write(run.record, values);
  file.write_line(run.record);
}

// The same for a record of a bound layout, straight from the members.
void emit(const StationLayout& layout, int n, const ProgramState& program, const Computed& c,
          RunState& run, OutputFile& file) {
  if (char* space = file.line_space(layout.write_room(n))) {
    file.end_line(layout.write(space, run.kept_fields, n, program, c));
    return;
  }
  layout.write(run.record, n, program, c);
  file.write_line(run.record);
}

// The layout of the records of a packet kind, among those of T$, D$ and X$ (`arrays`), N$ and
// $PDLMT records, and the record written into the main file: a $PDLMT packet carries array 1
// only, whatever N is.
void emit_station(PacketKind kind, const StationLayout& t, const StationLayout& arrays,
                  const StationLayout& n, const StationLayout& pdlmt, const ProgramState& program,
                  const Computed& c, RunState& run, FileUnits& files) {
  const StationLayout& layout = kind == PacketKind::T                            ? t
                                : kind == PacketKind::D || kind == PacketKind::X ? arrays
                                : kind == PacketKind::N                          ? n
                                                                                 : pdlmt;
  emit(layout, kind == PacketKind::Pdlmt ? 1 : program.coils.N, program, c, run, files.main);
}

// The log columns of a T$, D$ or X$ record (with the auxiliary columns for T$), an N$ record or
// a $PDLMT record.
template <PacketKind kKind>
void log_columns(OutMembers& v, int n, const ProgramState& program, const Computed& c) {
  const StationRecord& s = program.station;
  v << s.STATION;
  add_channels(v, s, kKind == PacketKind::Pdlmt ? 1 : n);
  v << s.N_DIGIT << c.stn_code << s.LINENO << c.line_code << s.HOUR << s.MINUTE;
  if (kKind == PacketKind::T || kKind == PacketKind::D) {
    v << c.seconds << s.VOLTAGE << s.TEMPERATURE_K;
    if (kKind == PacketKind::T) v << c.aux1 << c.aux2;
  } else {
    v << s.SECOND << s.VOLTAGE << s.TEMPERATURE_K;
    if (kKind == PacketKind::Pdlmt) v << c.aux1 << c.aux2;
  }
  v << program.CN << s.PITCH << s.ROLL;
  add_fix(v, program.gps.current_fix);
}

[[gnu::noinline]] void write_log_record(PacketKind kind, const ProgramState& program, RunState& run,
                                        FileUnits& files) {
  const StationRecord& s = program.station;
  Computed c;
  c.seconds = seconds_with_fraction(s);
  c.stn_code = static_cast<unsigned char>(s.STN_SUFFIX);
  c.line_code = static_cast<unsigned char>(s.LINE_SUFFIX);
  c.aux1 = static_cast<float>(s.AUX1);
  c.aux2 = static_cast<float>(s.AUX2);
  // D$ and X$ records have no auxiliary columns and show the attitude in F7.2.
  static const StationLayout kLogT = station_layout(
      "(I6, N(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 2F8.0, 1X, I4, 2F8.2, 1X, I12, "
      "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
      log_columns<PacketKind::T>, program, c);
  static const StationLayout kLogArrays = station_layout(
      "(I6, N(4F9.2), I2, I4, I6, I4, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, "
      "F12.6, 1X, F7.1, 1X, I2)",
      log_columns<PacketKind::D>, program, c);
  static const StationLayout kLogN = station_layout(
      "(I6, (4N)F9.2, I2, I4, I6, I4, 3I3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, "
      "F12.6, 1X, F7.1, 1X, I2)",
      log_columns<PacketKind::N>, program, c);
  static const StationLayout kLogPdlmt = station_layout(
      "(I6, 4F9.2, I2, I4, I6, I4, 3I3, F7.3, F7.2, 2F10.0, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, "
      "F12.6, 1X, F7.1, 1X, I2)",
      log_columns<PacketKind::Pdlmt>, program, c);
  emit_station(kind, kLogT, kLogArrays, kLogN, kLogPdlmt, program, c, run, files);
}

// The XYZ columns: T$, D$ and X$ seconds carry their milliseconds, N$ and $PDLMT seconds are an
// integer.
template <PacketKind kKind>
void xyz_columns(OutMembers& v, int n, const ProgramState& program, const Computed& c) {
  const StationRecord& s = program.station;
  v << s.STATION << s.LINENO;
  add_channels(v, s, kKind == PacketKind::Pdlmt ? 1 : n);
  v << s.N_DIGIT << s.HOUR << s.MINUTE;
  if (kKind == PacketKind::N || kKind == PacketKind::Pdlmt) {
    v << s.SECOND;
  } else {
    v << c.seconds;
  }
  v << s.VOLTAGE << s.TEMPERATURE_K << program.CN << s.PITCH << s.ROLL;
  add_fix(v, program.gps.current_fix);
}

[[gnu::noinline]] void write_xyz_record(PacketKind kind, const ProgramState& program, RunState& run,
                                        FileUnits& files) {
  Computed c;
  c.seconds = seconds_with_fraction(program.station);
  // D$ and X$ records show the attitude in F7.2, T$ records in F8.2.
  static const StationLayout kXyzT = station_layout(
      "(I6, I6, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, 1X, F12.6, "
      "1X, F7.1, 1X, I2)",
      xyz_columns<PacketKind::T>, program, c);
  static const StationLayout kXyzArrays = station_layout(
      "(I6, I6, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, "
      "1X, F7.1, 1X, I2)",
      xyz_columns<PacketKind::D>, program, c);
  static const StationLayout kXyzN = station_layout(
      "(I6, I6, (4N)F9.2, I2, 1X, 3I3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, "
      "1X, F7.1, 1X, I2)",
      xyz_columns<PacketKind::N>, program, c);
  static const StationLayout kXyzPdlmt = station_layout(
      "(I6, I6, 4F9.2, I2, 3I3, F7.3, F7.2, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, "
      "1X, I2)",
      xyz_columns<PacketKind::Pdlmt>, program, c);
  emit_station(kind, kXyzT, kXyzArrays, kXyzN, kXyzPdlmt, program, c, run, files);
}

// The Geosoft columns of the current station, with the channels of `arrays` arrays and the
// seconds of `c` (N$ seconds: the integer). The records of the XYX side file begin with the same
// columns.
template <typename Values>
void add_geosoft_columns(Values& v, PacketKind kind, const ProgramState& program, const Computed& c,
                         int arrays) {
  const StationRecord& s = program.station;
  v << s.STATION << s.STN_SUFFIX << s.LINENO << s.LINE_SUFFIX;
  add_channels(v, s, arrays);
  v << s.N_DIGIT << s.HOUR << s.MINUTE;
  if (kind == PacketKind::N) {
    v << s.SECOND;
  } else {
    v << c.seconds;
  }
  v << s.VOLTAGE << s.TEMPERATURE_K << program.CN << s.PITCH << s.ROLL;
  add_fix(v, program.gps.current_fix);
}

template <PacketKind kKind>
void geosoft_columns(OutMembers& v, int n, const ProgramState& program, const Computed& c) {
  add_geosoft_columns(v, kKind, program, c, n);
}

[[gnu::noinline]] void write_geosoft_record(PacketKind kind, const ProgramState& program,
                                            RunState& run, FileUnits& files) {
  Computed c;
  c.seconds = record_seconds(kind, program.station);
  static const StationLayout kGeosoft = station_layout(
      "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, "
      "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
      geosoft_columns<PacketKind::T>, program, c);
  // D$ and X$ records show the attitude in F7.2.
  static const StationLayout kGeosoftArrays = station_layout(
      "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, "
      "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
      geosoft_columns<PacketKind::D>, program, c);
  // N$ records: whole seconds, and wider housekeeping columns.
  static const StationLayout kGeosoftN = station_layout(
      "(I6, 1X, A1, I6, 1X, A1, (4N)F9.2, I2, 1X, 3I3, F9.3, F8.2, 1X, I4, 2F7.2, 1X, I12, F12.6, "
      "1X, F12.6, 1X, F7.1, 1X, I2)",
      geosoft_columns<PacketKind::N>, program, c);
  emit_station(kind, kGeosoft, kGeosoftArrays, kGeosoftN, kGeosoft, program, c, run, files);
}

// The sensor-definition file: the number of receivers, then one record per receiver of arrays
// 1..N. Written and closed at once, so it holds the configuration of the moment it was written.
Flow write_sensor_definition_file(ProgramState& program, RunState& run, FileUnits& files) {
  const CoilConfiguration& coils = program.coils;
  OutputFile sdf;  // unit 8
  if (!files.open_output(sdf, trim_right(program.names.SDF_NAME))) return Flow::OutputOpenError;
  sdf.write_line((FreeLine() << static_cast<std::int32_t>(2 * coils.N)).str());
  static const Layout kReceiver("(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)");
  for (int k = 0; k < coils.N; ++k) {
    kReceiver.write(run.record, {1, 1, 9000.0f, coils.S_HC[k], 3, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f});
    sdf.write_line(run.record);
    kReceiver.write(run.record, {0, 1, 9000.0f, coils.S_PC[k], 4, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f});
    sdf.write_line(run.record);
  }
  if (!files.close(sdf, Disposition::Keep)) return Flow::OutputWriteError;
  program.names.LAST_SDF_NAME = program.names.SDF_NAME;
  return Flow::NextLine;
}

}  // namespace

Flow write_ppm_records(ProgramState& program, RunState& run, FileUnits& files) {
  const StationRecord& s = program.station;
  const CoilConfiguration& coils = program.coils;
  if (program.names.SDF_PENDING && coils.S_HC[0] != 0.0f && coils.S_PC[0] != 0.0f) {
    const Flow flow = write_sensor_definition_file(program, run, files);
    if (flow != Flow::NextLine) return flow;
    program.names.SDF_PENDING = false;
  }
  // In-phase and quadrature of both receivers in ppm, the quadratures taken back from the
  // conductivities.
  Computed c;
  c.height = run.sensor_height;
  for (int k = 0; k < coils.N; ++k) {
    c.ppm[4 * k] = 1000.0f * s.HI[k];
    c.ppm[4 * k + 1] = 1000.0f * s.HC[k] * coils.F_HC[k];
    c.ppm[4 * k + 2] = 1000.0f * s.PI[k];
    c.ppm[4 * k + 3] = 1000.0f * s.PC[k] * coils.F_PC[k];
  }
  static const StationLayout kPpm = station_layout(
      "(I6, F6.2, 2F7.2, N(4F9.0), F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, I10, 2I2, I3, F9.3)",
      [](OutMembers& v, int n, const ProgramState& p, const Computed& x) {
        const GpsFix& fix = p.gps.current_fix;
        v << p.station.STATION << x.height << p.station.PITCH << p.station.ROLL;
        for (int k = 0; k < 4 * n; ++k) v << x.ppm[k];
        v.steady(true) << fix.LAT << fix.LON << fix.GPS_ALT << fix.DMODE << fix.GPS_TIME
                       << x.zero_int << x.zero_int << fix.GPS_SATS << fix.GPS_HDOP;
      },
      program, c);
  emit(kPpm, coils.N, program, c, run, files.main);
  return Flow::NextLine;
}

void write_dat31_records(ProgramState& program, RunState& run, FileUnits& files) {
  const StationRecord& s = program.station;
  if (s.LINENO != program.DAT31_LAST_LINE) {
    static const Layout kLine("('L', I5, 7X, 'BB', I1, A3, A2, F4.1)");
    emit({s.LINENO, s.N_DIGIT, s.LINE_SUFFIX, s.STN_SUFFIX, 1.0f}, kLine, run, files.main);
    static const Layout kTime("('T', I5, ':', I2, I3, '-', I2, '-', I2)");
    emit({s.HOUR, s.MINUTE, program.names.FILE_DAY, program.names.FILE_MONTH,
          program.names.FILE_YEAR},
         kTime, run, files.main);
    program.DAT31_LAST_LINE = s.LINENO;
  }
  const Computed c;
  static constexpr std::string_view kStation = "('S', A1, '10', I6, '.000', 2F10.3)";
  static const StationLayout kVertical(
      kStation, 0, 0,
      [](OutMembers& v, int, const ProgramState& p, const Computed& x) {
        v << x.vertical << p.station.STATION << p.station.HC[0] << p.station.HI[0];
      },
      program, c);
  static const StationLayout kHorizontal(
      kStation, 0, 0,
      [](OutMembers& v, int, const ProgramState& p, const Computed& x) {
        v << x.horizontal << p.station.STATION << p.station.PC[0] << p.station.PI[0];
      },
      program, c);
  emit(kVertical, 0, program, c, run, files.main);
  emit(kHorizontal, 0, program, c, run, files.main);
}

namespace {

// Sets `to` to `value` where its bits change. The record writer compares the position with the
// one it wrote last by loads wider than one member, which would wait for a store just made.
void set_bits(double& to, double value) {
  if (std::bit_cast<std::uint64_t>(to) != std::bit_cast<std::uint64_t>(value)) to = value;
}

}  // namespace

StationPosition station_position(ProgramState& program, const RunState& run, FileUnits& files) {
  GpsState& gps = program.gps;
  if (!run.HAS_GPS) {
    set_bits(gps.utm_easting, static_cast<double>(program.station.LINENO));
    set_bits(gps.utm_northing, static_cast<double>(program.station.STATION));
  } else {
    // The current fix in the survey's zone; a fix never changes the zone itself.
    GpsState::Projection& last = gps.last_projection;
    const double lat = gps.current_fix.LAT;
    const double lon = gps.current_fix.LON;
    if (!(last.valid && last.lat == lat && last.lon == lon && last.zone == gps.utm_zone &&
          last.ellipsoid == gps.ellipsoid_index)) {
      // A projection that wrote range diagnostics is not reused: each station writes them again.
      CountingDiagnostics unit99(files.unit99);
      const UtmPoint point = fix_to_utm(lat, lon, gps.utm_zone, gps.ellipsoid_index, unit99);
      last = {lat,
              lon,
              gps.utm_zone,
              gps.ellipsoid_index,
              point.easting,
              point.northing,
              unit99.lines == 0};
    }
    set_bits(gps.utm_easting, last.easting);
    set_bits(gps.utm_northing, last.northing);
  }
  return {gps.utm_easting, gps.utm_northing};
}

void write_santos_record(ProgramState& program, RunState& run, FileUnits& files) {
  if (run.SANTOS_HEADER_DUE) {
    // The third field stays empty: output stops where the values end.
    static const Layout kHeader("(I6, F12.2, I6)");
    emit({-9, run.sensor_height}, kHeader, run, files.main);
    run.SANTOS_HEADER_DUE = false;
  }
  // The position stands in utm_easting and utm_northing.
  station_position(program, run, files);
  const Computed c;
  static const StationLayout kData = station_layout(
      "(F12.1, 1X, F12.1, 1X, F8.2, N(2F9.2), 2F14.8, I12)",
      [](OutMembers& v, int n, const ProgramState& p, const Computed& x) {
        v.steady(true) << p.gps.utm_easting << p.gps.utm_northing << x.zero;
        v.steady(false);
        for (int k = 0; k < n; ++k) v << p.station.HC[k] << p.station.PC[k];
        v.steady(true) << p.gps.current_fix.LAT << p.gps.current_fix.LON
                       << p.gps.current_fix.GPS_TIME;
      },
      program, c);
  emit(kData, program.coils.N, program, c, run, files.main);
}

void write_aux_record(const AuxReading& aux, const ProgramState& program, RunState& run,
                      FileUnits& files) {
  static const Layout kAux(
      "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, "
      "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2, 3F9.5, 3F9.0, F7.2)");
  const int arrays = program.coils.N;
  Computed c;
  c.seconds = seconds_with_fraction(program.station);
  RecordValues v;
  add_geosoft_columns(v, PacketKind::T, program, c, arrays);
  for (const std::int32_t a : aux.a) v << static_cast<float>(a) / 10000.0f;
  // Ten times b, in the order the logger's software computes it, so the last digit agrees.
  for (const std::int32_t b : aux.b) v << static_cast<float>(b) / 10000.0f * 100000.0f;
  v << static_cast<float>(aux.c) / 100.0f;
  emit(v, kAux, arrays, run, files.xyx);
}

namespace {

// The records of a station in a run that writes them: apart from write_station_record, so that
// the runs that write none leave at once, without this part's set-up.
[[gnu::noinline]] Flow write_records(PacketKind kind, bool carries_comment, ProgramState& program,
                                     RunState& run, FileUnits& files) {
  // With more than one coil array, T$ and D$ packets carry array 1 only: the X$ packet that
  // follows writes the station with all its arrays, except in DAT31 files, which hold array 1.
  const bool multi = program.coils.N != 1;
  const bool array1_only = (kind == PacketKind::T || kind == PacketKind::D) && multi;
  Flow flow = Flow::NextLine;
  bool written = !array1_only;
  switch (run.type) {
    case OutputType::D:
      written = kind != PacketKind::X;
      if (written) write_dat31_records(program, run, files);
      break;
    case OutputType::L:
      if (written) write_log_record(kind, program, run, files);
      break;
    case OutputType::X:
    case OutputType::C:
      // A CSV row stands wherever an XYZ record does, with the same values.
      if (!written) break;
      if (run.type == OutputType::X) {
        write_xyz_record(kind, program, run, files);
      } else {
        flow = write_csv_row(kind, program, run, files);
      }
      break;
    case OutputType::G:
      if (written) write_geosoft_record(kind, program, run, files);
      break;
    case OutputType::S:
      // One record per reading, as in the other files: a D$ record of its own would pair this
      // reading's array 1 with the arrays 2..N of the previous one.
      if (written) write_santos_record(program, run, files);
      break;
    case OutputType::P:
      if (array1_only) break;
      // KORAB loggers number their stations by the time of day; the number stays in the record.
      if (kind == PacketKind::T && program.identification.KORAB_FAMILY) {
        StationRecord& s = program.station;
        s.STATION = 3600 * s.HOUR + 60 * s.MINUTE + s.SECOND;
      }
      flow = write_ppm_records(program, run, files);
      break;
    case OutputType::I:
    case OutputType::None:
      break;  // left above
  }
  if (written && flow == Flow::NextLine && files.main.is_open()) files.main.count_station_record();
  if (carries_comment) program.CN = 0;
  return flow;
}

}  // namespace

Flow write_station_record(PacketKind kind, ProgramState& program, RunState& run, FileUnits& files) {
  // A comment number stays on every D$/X$ record until a record of another packet has carried it.
  const bool carries_comment = kind != PacketKind::D && kind != PacketKind::X;
  if (run.type == OutputType::I || run.type == OutputType::None) {
    // No station records in these runs: the readings go to the side files only.
    if (carries_comment) program.CN = 0;
    return Flow::NextLine;
  }
  return write_records(kind, carries_comment, program, run, files);
}

}  // namespace quillet
