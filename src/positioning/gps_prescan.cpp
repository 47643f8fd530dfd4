#include "positioning/gps_prescan.hpp"

#include <cstring>
#include <string>
#include <string_view>

#include "common/free_form.hpp"
#include "core/line_reader.hpp"
#include "positioning/gga.hpp"
#include "positioning/utm.hpp"

namespace quillet {

namespace {

// The GPS side file line of a G$ line that holds no GGA sentence: "$GPG" and the line (without
// its trailing blanks) from column 2 on.
void copy_other_sentence(std::string_view trimmed, OutputFile& gps, std::string& scratch) {
  scratch.assign("$GPG");
  scratch.append(trimmed.substr(1));
  gps.write_line(scratch);
}

}  // namespace

Flow gps_prescan(ProgramState& program, RunState& run, FileUnits& files, Console& console) {
  GpsState& gps = program.gps;
  GpsFix& fix = gps.current_fix;
  run.gps_fix_count = 1;
  run.line_number = 0;
  run.HAS_GPS = false;
  run.end_of_input = false;
  std::string scratch;
  // The mean position: the sums of the fixes of the first GpsState::kMeanFixes G$ lines whose
  // latitude and longitude both came out non-zero, in the order of the file.
  double lat_sum = 0.0;
  double lon_sum = 0.0;
  std::int32_t valid = 0;
  for (;;) {
    // Only G$ lines matter here: the others are counted, not even looked at one by one.
    std::string_view raw;
    const Flow flow = read_next_marked_line(files.input, run.line_number, "G$", raw);
    if (flow == Flow::EndOfFile) break;
    if (flow != Flow::NextLine) return flow;
    std::string_view line;
    // Read where the input holds it when it can: a copy just made would make the reading wait
    // for the copy's stores to reach the cache.
    if (!trimmed_in_place(raw, line)) {
      load_line(run.LINE, raw, true, true);
      line = run.LINE.trimmed();
    }
    const std::string_view sentence = gga_sentence_of(line);
    if (sentence.empty()) {
      copy_other_sentence(line, files.gps, scratch);
    } else {
      // The sentence's position only counts towards the mean; a sentence that fails leaves the
      // rest of it zero. The altitude goes nowhere.
      double lat = 0.0;
      double lon = 0.0;
      float alt = 0.0f;
      READ_GPGGA(sentence, fix.GPS_TIME, lat, lon, fix.DMODE, fix.GPS_SATS, fix.GPS_HDOP, alt,
                 console);
      if (static_cast<std::size_t>(run.gps_fix_count) <= GpsState::kMeanFixes && lat != 0.0 &&
          lon != 0.0) {
        run.HAS_GPS = true;
        lat_sum += lat;
        lon_sum += lon;
        ++valid;
      }
    }
    ++run.gps_fix_count;
  }
  if (!files.input.rewind()) return Flow::InputReadError;

  if (run.HAS_GPS) {
    gps.ellipsoid_index = kGrs80Row;
    gps.mean_lat = lat_sum / valid;
    gps.mean_lon = lon_sum / valid;
    const UtmPoint mean = mean_position_to_utm(gps.mean_lat, gps.mean_lon, gps.utm_zone,
                                               gps.ellipsoid_index, files.unit99);
    gps.utm_easting = mean.easting;
    gps.utm_northing = mean.northing;
    console.write(FreeLine() << "For mean Lat, Lon=" << gps.mean_lat << gps.mean_lon
                             << " get UTM Zone Number " << gps.utm_zone);
  }

  run.gps_fix_count = 0;
  run.end_of_input = false;
  run.line_number = 0;
  return Flow::NextLine;
}

Flow handle_gps_line(const Line& LINE, std::string_view raw, GpsFix& current_fix, OutputFile& gps,
                     std::int32_t& gps_fix_count, std::string& record, Console& console) {
  std::string_view line;
  if (raw.data() == nullptr || !trimmed_in_place(raw, line)) line = LINE.trimmed();
  const std::string_view sentence = gga_sentence_of(line);
  if (sentence.empty()) {
    copy_other_sentence(line, gps, record);
  } else {
    READ_GPGGA(sentence, current_fix, console);
    // The receiver's own sentence, whatever its talker: the logger cut off only the "$". Put
    // together where the file gathers its lines when there is room, as write_line would.
    if (char* space = gps.line_space(sentence.size() + 1)) {
      space[0] = '$';
      std::memcpy(space + 1, sentence.data(), sentence.size());
      gps.end_line(sentence.size() + 1);
    } else {
      record.assign(1, '$');
      record.append(sentence);
      gps.write_line(record);
    }
  }
  ++gps_fix_count;
  return Flow::NextLine;
}

}  // namespace quillet
