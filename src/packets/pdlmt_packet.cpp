#include "packets/pdlmt_packet.hpp"

#include <algorithm>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "common/text.hpp"
#include "core/station_record.hpp"
#include "packets/station_output.hpp"

namespace quillet {

namespace {

constexpr std::string_view kLengthCodePrompt = "Enter Veltor Length Code (1, 2, or 4, default=1)";
constexpr std::size_t kFileNameWidth = 19;

std::string_view upper_extension(char code) {
  switch (code) {
    case 'L':
      return "LOG";
    case 'X':
      return "XYZ";
    // Not "IDF": an I run would otherwise replace the ppm file of a P run on the same input.
    case 'I':
      return "ICE";
    case 'D':
      return "G31";
    case 'G':
      return "XYZ";
    case 'S':
      return "SAN";
    case 'P':
      return "IDF";
    case 'C':
      return "CSV";
    default:
      return {};
  }
}

// Reads the 90-101 column layout into the station record. Fields before an unreadable one keep
// what was read, as with every packet.
bool read_pdlmt_layout(const Line& line, StationRecord& s, PdlmtValues& pdlmt) {
  static const Layout kPdlmt("(7X, 3I2, 6(1X, I7), 2(1X, I5), 2(1X, I6), 1X, A4)");
  std::string_view tag;
  const ReadResult read =
      kPdlmt.read(line.view(), {s.HOUR, s.MINUTE, s.SECOND, s.RAW_HI[0], pdlmt.hcp_quadrature,
                                s.RAW_PI[0], pdlmt.prp_quadrature, s.AUX2, s.AUX1, s.VOLT_RAW,
                                s.TEMP_RAW, s.PITCH_RAW, s.ROLL_RAW, tag});
  if (!read.ok()) return false;
  s.set_data_tag(tag);
  return true;
}

// The main file that the first packet replaces. One that a header line of this run named holds
// that logger file's output: kept. The set-up's default file goes, unless a first line of the
// wrong length left it holding records.
Disposition replaced_main_file(const ProgramState& program, const RunState& run,
                               const FileUnits& files) {
  if (run.FILE_COUNT > 0) return Disposition::Keep;
  if (program.pdlmt.PDLMT_READ || files.main.records() == 0) return Disposition::Delete;
  return Disposition::Keep;
}

}  // namespace

// The station writer's part for $PDLMT packets, kept beside their decoder.
Flow StationWriter::start_pdlmt_output(Console& console) {
  ProgramState& program = program_;
  RunState& run = run_;
  FileUnits& files = files_;
  OutputSetNames& names = program.names;
  const std::string renamed = pdlmt_output_name(run.input_name, run.code_upper(), names.FILE_NAME);
  if (!renamed.empty()) names.FILE_NAME = renamed;
  // A name opened earlier in this run takes a suffix, as the files of a logger's set do.
  const std::string path =
      renamed.empty() ? names.FILE_NAME : with_suffix(renamed, files.free_suffix({renamed}));
  // The name is shown whole, however long; a short one with the blanks of its 19 columns.
  console.write(FreeLine() << "Output file: "
                           << caret_notation(pad_to(path, std::max(kFileNameWidth, path.size())),
                                             TabByte::Kept));
  console.write(FreeLine() << "Sensor Length code for this file is " << program.coils.LENGTH_CODE);

  program.station.VOLTAGE = 0.0f;
  program.station.TEMPERATURE_K = 0.0f;

  // Code R has no main file. A file that a header line named goes on receiving the records:
  // opening its name again would empty it.
  if (renamed.empty()) return Flow::NextLine;
  if (!files.close(files.main, replaced_main_file(program, run, files))) {
    return Flow::OutputWriteError;
  }
  if (!files.open_output_path(files.main, path)) return Flow::OutputOpenError;
  if (run.type == OutputType::S) run.SANTOS_HEADER_DUE = true;
  return Flow::NextLine;
}

std::string pdlmt_output_name(std::string_view input_name, char code, std::string_view FILE_NAME) {
  const std::string_view extension = upper_extension(code);
  const bool always = code == 'L' || code == 'X' || code == 'I';
  if (extension.empty() || (!always && !trim_right(FILE_NAME).empty())) return {};
  // The three characters are cut from the base name only: a short name in a folder ("d/ab")
  // must not lose the separator and put its file in the parent folder.
  const std::size_t last_separator = input_name.find_last_of("/\\");
  const std::size_t base = last_separator == std::string_view::npos ? 0 : last_separator + 1;
  const std::size_t cut = std::min<std::size_t>(3, input_name.size() - base);
  std::string name(input_name.substr(0, input_name.size() - cut));
  name += extension;
  return name;
}

Flow handle_pdlmt_packet(const Line& LINE, StationRecord& station, CoilConfiguration& coils,
                         PdlmtValues& pdlmt, StationWriter& writer, Console& console) {
  StationRecord& s = station;
  const std::size_t length = LINE.trimmed().size();
  const bool known_length = length >= 90 && length <= 101;
  if (known_length) {
    if (!read_pdlmt_layout(LINE, s, pdlmt)) return Flow::PacketSkip;
    ++s.STATION;
    s.PITCH = static_cast<float>(s.PITCH_RAW) / 100.0f;
    s.ROLL = static_cast<float>(s.ROLL_RAW) / 100.0f;
    s.VOLTAGE = static_cast<float>(s.VOLT_RAW) / 1000.0f;
    s.TEMPERATURE_K = static_cast<float>(s.TEMP_RAW) / 100.0f;
    pdlmt.PDLMT_READ = true;
  } else {
    // The station is written again with the values it has; its number does not advance.
    console.write(FreeLine() << "$PDLMT packet error:"
                             << caret_notation(LINE.trimmed(), TabByte::Kept));
  }
  if (!pdlmt.PDLMT_READ) {
    s.PITCH = static_cast<float>(s.PITCH_RAW);
    s.ROLL = static_cast<float>(s.ROLL_RAW);
  }
  // Runs while array 1 has no spacings, so once per program in practice: the spacings it brings
  // about stay known for the later runs.
  if (coils.S_HC[0] == 0.0f || coils.S_PC[0] == 0.0f) {
    ask_length_code(coils.LENGTH_CODE, kLengthCodePrompt, writer.options().length_code, console);
    const Flow flow = writer.start_pdlmt_output(console);
    if (flow != Flow::NextLine) return flow;
  }
  coils.apply_packet_table(PacketTable::Pdlmt);
  convert_ppm(s, pdlmt.hcp_quadrature, pdlmt.prp_quadrature, {coils.F_HC[0], coils.F_PC[0]});
  return reported_unless_ended(writer.write_station(PacketKind::Pdlmt), !known_length);
}

}  // namespace quillet
