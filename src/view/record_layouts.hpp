// The station records of the transcribed files the viewer reads: simple XYZ (code X), Geosoft XYZ
// (code G) and log (code L), each in the variant of every packet kind and for one to three coil
// arrays. A record is recognised by its width and then column by column: every field must look
// exactly as the writer formats it (a right-justified integer, a fixed-point number with its
// decimals, or a field of asterisks), and every blank column must be blank.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillet::view {

enum class FileType : std::uint8_t { None, SimpleXyz, Geosoft, Log, Csv };

// The packet kind whose writer made a record. Geosoft records of T$ and $PDLMT packets share one
// layout, so a Geosoft file reports them together as T$. The rows of a CSV file do not tell.
enum class RecordFamily : std::uint8_t { T, Pdlmt, DX, N, CsvRow };
constexpr int kRecordFamilies = 5;

// What a record says of its GPS position. Only the CSV file's `position` column tells; the
// other records leave it to the reader to judge from the GPS time.
enum class PositionState : std::uint8_t {
  Unstated,
  Fresh,  // interpolated between two fixes (or left uncorrected there)
  Held,   // a fix held beyond a gap in the fixes or after the last one
  None,   // no position
};

constexpr int kMaxArrays = 3;
constexpr int kMaxChannels = 4 * kMaxArrays;  // HC, HI, PC, PI of each coil array

// The values of one record that the page shows. Values written as asterisks are missing: NaN
// for reals, `kMissing` for integers.
struct RecordValues {
  static constexpr std::int32_t kMissing = INT32_MIN;
  FileType type = FileType::None;
  RecordFamily family = RecordFamily::T;
  int arrays = 0;
  std::int32_t station = kMissing;
  std::int32_t line = kMissing;       // survey line; kMissing where the record has none
  float channels[kMaxChannels] = {};  // array k: HCk (mS/m), HIk (ppt), PCk (mS/m), PIk (ppt)
  std::int32_t hour = kMissing;
  std::int32_t minute = kMissing;
  double second = 0.0;  // NaN when missing
  std::int32_t comment = 0;
  std::int32_t gps_time_ms = kMissing;
  double latitude = 0.0;   // degrees, north positive
  double longitude = 0.0;  // degrees, east positive
  std::int32_t fix_quality = 0;
  PositionState position = PositionState::Unstated;
};

// Recognises `line` (without its line end) as a record of `type`, or of any type when `type` is
// None, and fills `values`. False when no layout fits.
bool read_record(std::string_view line, FileType type, RecordValues& values);

// "simple XYZ", "Geosoft XYZ", "log", "CSV".
const char* file_type_name(FileType type);
// "T$", "$PDLMT", "D$/X$", "N$" (Geosoft: "T$ or $PDLMT" for T), "CSV".
const char* family_name(FileType type, RecordFamily family);

}  // namespace quillet::view
