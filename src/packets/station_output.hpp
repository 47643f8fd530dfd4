// The station output records: after a data packet has updated the station record, one record in
// the layout of the run's output type goes to the main output file (DAT31, log, simple XYZ,
// Geosoft XYZ, Santos or ppm), and a ppm run also writes the sensor-definition file once.
//
// Records are always written from the station record, the coil configuration and the current GPS
// fix, never from the packet text.
#pragma once

#include <array>
#include <cstdint>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"

namespace quillet {

// The packet whose station is written: T$, $PDLMT, D$/X$ and N$ packets have layouts of their own
// in the log, XYZ and Geosoft outputs (D$ and X$ share theirs: no auxiliary columns, pitch and
// roll in F7.2). N$ packets carry all N arrays themselves.
enum class PacketKind : std::uint8_t { T, Pdlmt, D, X, N };

// Writes the station record in the layout of the run's output type. A T$ or D$ packet of an
// instrument with more than one coil array writes only its DAT31 records (array 1); the other
// outputs take such readings from the X$ packet that follows, which writes every output but
// DAT31. Then CN is set to 0, except after D$ and X$ records, which leave it. Returns NextLine, or
// OutputOpenError (OutputWriteError) when the sensor-definition file of a ppm run cannot be
// created (written).
Flow write_station_record(PacketKind kind, ProgramState& program, RunState& run, FileUnits& files);

// DAT31 records of array 1: the "L" and "T" records when the station starts a new survey line
// (LINENO differs from DAT31_LAST_LINE), then the two "S" records.
void write_dat31_records(ProgramState& program, RunState& run, FileUnits& files);

// The Santos header when it is due, then the data record with the conductivities of arrays 1..N.
void write_santos_record(ProgramState& program, RunState& run, FileUnits& files);

// The ppm record of arrays 1..N, preceded by the sensor-definition file when one is still due
// for the output file and the spacings of array 1 are known. Returns NextLine, or
// OutputOpenError (OutputWriteError) when that file cannot be created (written).
Flow write_ppm_records(ProgramState& program, RunState& run, FileUnits& files);

// The seven integers of an auxiliary-sensor (A$) line.
struct AuxReading {
  std::array<std::int32_t, 3> a{};
  std::array<std::int32_t, 3> b{};
  std::int32_t c = 0;
};

// Appends to the XYX side file the Geosoft columns of the current station followed by the
// auxiliary values: a / 10000, 10 b and c / 100.
void write_aux_record(const AuxReading& aux, const ProgramState& program, RunState& run,
                      FileUnits& files);

// The writer of a run's station records, as the packet handlers see it. A handler decodes its line
// into the station record and hands the station over; the writer adds what the records draw on
// besides the station record (the run's output type, the coil configuration, the current fix, the
// comment number, the names of the output set) and puts the records into the run's files.
class StationWriter {
 public:
  StationWriter(ProgramState& program, RunState& run, FileUnits& files)
      : program_(program), run_(run), files_(files) {}

  // The records of the station in the layout of the run's output type (write_station_record).
  Flow write_station(PacketKind kind) { return write_station_record(kind, program_, run_, files_); }

  // The options of the execution.
  const Options& options() const { return program_.options; }

  // The height the records carry from now on in this run.
  void set_sensor_height(float height) { run_.sensor_height = height; }

  // An I$ packet's outputs (i_packet.cpp): the station's position, once per output file the
  // start output on the console, and in an I run the ICE and binary data records.
  void write_ems(const EmsRecord& ems, Console& console);

  // The first $PDLMT packet's output (pdlmt_packet.cpp): names the main file after the input
  // (pdlmt_output_name; with a suffix when that name was used in this run), shows it, and moves
  // the run's main output there. Returns NextLine, OutputWriteError when the file it leaves
  // could not be written, or OutputOpenError when the new one cannot be opened.
  Flow start_pdlmt_output(Console& console);

  // Whether the last D$ or T$ line of the run was read into the station record. An X$ line pairs
  // its arrays 2..N with that reading only then; otherwise its record would carry the array 1,
  // station and time of an earlier reading.
  bool array1_line_read() const { return run_.array1_line_read; }
  void set_array1_line_read(bool read) { run_.array1_line_read = read; }

  // An auxiliary-sensor reading: its record goes to the XYX side file when one is open.
  void write_aux(const AuxReading& aux) {
    if (!files_.xyx.is_open()) return;
    write_aux_record(aux, program_, run_, files_);
    ++run_.xyx_record_count;
  }

 private:
  ProgramState& program_;
  RunState& run_;
  FileUnits& files_;
};

// X and Y of a Santos or ICE record.
struct StationPosition {
  double x;
  double y;
};

// Position of the current station in the Santos and ICE records: the UTM easting and northing of
// the current fix when the run found positions, otherwise the line number and the station number.
// Kept in utm_easting and utm_northing as well.
StationPosition station_position(ProgramState& program, const RunState& run, FileUnits& files);

}  // namespace quillet
