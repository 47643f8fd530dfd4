// The state the handlers share, as two explicit objects:
//  - `ProgramState` lives for the whole program: the runs for the different output-type codes
//    see what earlier runs left in it (coil configuration, station record, GPS fix, ...);
//  - `RunState` belongs to one transcription run and starts afresh with each.
// The files of a run are the third object, `FileUnits` (core/files.hpp). Each module adds its own
// part here as a member struct, so a handler's signature shows which objects it touches.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/layout.hpp"
#include "core/coil_configuration.hpp"
#include "core/comment_register.hpp"
#include "core/ems_record.hpp"
#include "core/flow.hpp"
#include "core/gps_fix.hpp"
#include "core/line.hpp"
#include "core/options.hpp"
#include "core/raw_copy.hpp"
#include "core/reading_position.hpp"
#include "core/station_record.hpp"

namespace quillet {

// Output type of a run, chosen by its code letter. `None` until the set-up has opened the type's
// main output file, and for code R, which has none.
enum class OutputType : std::uint8_t { None, X, G, D, L, S, I, P, C };

struct RunState {
  std::string input_name;  // as passed to the run (never cut)
  char code = ' ';         // the code letter as given, either case
  OutputType type = OutputType::None;
  float sensor_height = 0.2f;
  bool height_given = false;

  Line LINE;
  // LINE as the input holds it, while the record loop handles it (valid until the next read);
  // without data elsewhere. A handler may read it where loading left it as it was
  // (trimmed_in_place) rather than read the copy just made.
  std::string_view raw_line;
  std::int32_t line_number = 0;
  std::int32_t gps_fix_count = 0;
  bool end_of_input = false;

  // File header bookkeeping of this run.
  std::int32_t FILE_COUNT = 0;
  std::vector<std::string> FILE_NAMES;
  std::int32_t xyx_record_count = 0;
  bool SANTOS_HEADER_DUE = false;
  bool HAS_GPS = false;
  // The last D$ or T$ line of this run was read into the station record. An X$ line writes its
  // station only then: otherwise its arrays 2..N would go out with the array 1, station and time
  // of an earlier reading.
  bool array1_line_read = false;

  RunSummary summary;

  // C runs: the columns named by the header row of the current CSV file, and the file that
  // continues it under a numbered name when a reading brings other columns.
  struct CsvColumns {
    std::int32_t arrays = 0;
    std::array<float, 6> spacings{};  // HCP and PRP receiver spacing of each array, m
    float height = 0.0f;
    bool operator==(const CsvColumns&) const = default;
  } csv_columns;
  std::string csv_first_path;  // the file whose columns changed, named by a header line or set-up
  std::int32_t csv_part = 1;   // number of that file's continuation being written
  // The times and positions of the readings (C runs only; owned by the run).
  PositionSource* positions = nullptr;
  // Input line of the last T$, D$, N$ or $PDLMT line: the reading a station record belongs to.
  std::int32_t reading_line = 0;
  // The CSV file that the column-type and projection files beside it belong to, and what it got.
  std::string csv_sides_path;
  bool csv_types_written = false;
  bool csv_positions_written = false;

  // Text of the output record being formatted, reused so that a record does not allocate.
  std::string record;
  // The texts of the records' fields that stay from one record to the next (a fix's position
  // and time), copied instead of formatted again while their values stay.
  KeptFields kept_fields;

  // Upper-case code letter.
  char code_upper() const { return (code >= 'a' && code <= 'z') ? char(code - 'a' + 'A') : code; }
};

// What the identification and sampling lines tell about the instrument.
struct Identification {
  std::string INSTRUMENT_ID = std::string(40, ' ');
  bool KORAB_FAMILY = false;  // stations are numbered by the time of day
  float SW_VERSION = 0.0f;    // packet decoders choose their layouts by it
  std::int32_t SAMPLE_RATE = 0;
};

// Names and dates of the current logger file's output set, and the one-time outputs still due.
struct OutputSetNames {
  std::string FILE_NAME = std::string(19, ' ');  // name, ".", extension; time stamp if repeated
  std::int32_t NAME_LEN = 12;                    // characters of FILE_NAME that name the file
  std::string EXT = "   ";
  std::int32_t FILE_YEAR = 0;
  std::int32_t FILE_MONTH = 0;
  std::int32_t FILE_DAY = 0;
  std::string comment_file_name = "Default.CMT";
  std::string SDF_NAME = "Default.SDF";
  std::string LAST_SDF_NAME;    // name of the sensor-definition file written last
  bool SDF_PENDING = false;     // P: the sensor-definition file is still to be written
  std::string dat_file_name;    // I: binary data file of the current set
  bool type_i_pending = false;  // I: the start output of the binary data file is still due
};

// What the GPS sentences of the input tell: the pre-scan's mean position, the UTM zone
// fixed once for the whole program, and the current fix that the records carry.
struct GpsState {
  // The G$ lines at the start of a file whose fixes the mean position takes: a longer file's
  // later fixes still update the current fix but are not averaged.
  static constexpr std::size_t kMeanFixes = 50000;
  double mean_lat = 0.0;
  double mean_lon = 0.0;
  std::int32_t utm_zone = 0;  // negative south; 0 until the first mean position fixes it
  std::int32_t ellipsoid_index = 0;
  double utm_easting = 0.0;  // result of the most recent conversion, metres
  double utm_northing = 0.0;
  GpsFix current_fix;
  // The last station projection that gave no range diagnostics: the stations of one fix (ten
  // readings and their X$ lines at 10 Hz) take its result instead of projecting the fix again.
  struct Projection {
    double lat = 0.0;
    double lon = 0.0;
    std::int32_t zone = 0;
    std::int32_t ellipsoid = 0;
    double easting = 0.0;
    double northing = 0.0;
    bool valid = false;
  } last_projection;
};

// What $PDLMT packets keep besides the station record.
struct PdlmtValues {
  // A $PDLMT line has been read in some run of this program; until then its attitude is unscaled.
  bool PDLMT_READ = false;
  // Quadratures (ppm) of the last $PDLMT line read: they stay with that packet kind and never
  // enter RAW_HQ and RAW_PQ, so a line of the wrong length converts them again.
  std::int32_t hcp_quadrature = 0;
  std::int32_t prp_quadrature = 0;
};

struct ProgramState {
  Options options;  // from the command line, for every run and handler
  Identification identification;
  OutputSetNames names;
  CoilConfiguration coils;
  CommentRegister comments;  // `COMMENT_TABLE` of the current output file
  StationRecord station;
  EmsRecord ems;
  GpsState gps;
  // Current comment number: set by a comment line, carried by the next station record, then 0.
  std::int32_t CN = -1;
  // The latest comment as typed (case kept, blanks trimmed), for the CSV file's comment text.
  std::string typed_comment;
  // Line number of the last DAT31 line header; the first record of a file always starts a line.
  std::int32_t DAT31_LAST_LINE = -9999999;
  // An R$ line was met in some run of this program: raw copy files are kept from then on.
  bool R_SEEN = false;
  RawCopyState raw_copy;
  PdlmtValues pdlmt;
};

}  // namespace quillet
