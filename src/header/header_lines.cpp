#include "header/header_lines.hpp"

#include <algorithm>
#include <cmath>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "common/text.hpp"
#include "core/comment_register.hpp"

namespace quillet {

namespace {

constexpr std::size_t kFileNameWidth = 19;
constexpr std::size_t kInstrumentIdWidth = 40;

std::string_view extension_of(OutputType type) {
  switch (type) {
    case OutputType::X:
      return "xyz";
    case OutputType::G:
      return "xyz";
    case OutputType::D:
      return "g31";
    case OutputType::L:
      return "log";
    case OutputType::S:
      return "san";
    case OutputType::P:
      return "idf";
    case OutputType::I:
      return "ice";
    case OutputType::C:
      return "csv";
    case OutputType::None:
      break;
  }
  return "raw";  // code R: no main file is opened, but the side files need a stem
}

// Stem of the current output set with its full stop: the file name without its extension.
std::string_view set_stem(const OutputSetNames& names) {
  return std::string_view(names.FILE_NAME).substr(0, static_cast<std::size_t>(names.NAME_LEN) - 3);
}

void write_dat31_header(std::string_view file_name, OutputFile& main) {
  static const Layout kDat31Header("('EM31', 1X, 'V1.XX', A8, 5X, 'Veltor-4 Data ')");
  const std::string_view name = file_name.substr(0, file_name.find('.'));
  std::string line;
  kDat31Header.write(line, {name});
  main.write_line(line);
}

// Length of the well-formed multi-byte UTF-8 character at the start of `text`; 0 when none is
// there. A name cut to its eight columns may end inside a character, and not every file system,
// or program that lists files, takes a name that is not valid UTF-8.
std::size_t utf8_sequence_length(std::string_view text) {
  const auto byte = [text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;   // the range of the second byte, narrowed against overlong forms,
  unsigned char high = 0xBF;  // surrogates and values beyond U+10FFFF
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  }
  return length;
}

bool read_time(const Line& line, StationRecord& station) {
  static const Layout kTime("(3X, 3I2)");
  return kTime.read(line.view(), {station.HOUR, station.MINUTE, station.SECOND}).ok();
}

}  // namespace

std::string logger_file_name(std::string_view name_field) {
  std::string name(trim_right(name_field.substr(0, std::min<std::size_t>(8, name_field.size()))));
  if (name.empty()) return "NONAME";
  for (std::size_t k = 0; k < name.size();) {
    const unsigned char code = static_cast<unsigned char>(name[k]);
    if (code >= 0x80) {
      const std::size_t length = utf8_sequence_length(std::string_view(name).substr(k));
      if (length == 0) name[k] = '_';
      k += length == 0 ? 1 : length;
      continue;
    }
    if (code == '/' || code == '\\' || code == ':' || code < 32 || code == 127) name[k] = '_';
    ++k;
  }
  return name;
}

void write_geosoft_header(std::string_view FILE_NAME, const CoilConfiguration& coils,
                          OutputFile& main) {
  static const Layout kFileNameLine("('\\Veltor Filename is ', A19)");
  static const Layout kLengthCodeLine("('\\Veltor Sensor Length Code is ', I2)");
  std::string line;
  const std::string file_name = pad_to(FILE_NAME, kFileNameWidth);
  kFileNameLine.write(line, {std::string_view(file_name)});
  main.write_line(line);
  kLengthCodeLine.write(line, {coils.LENGTH_CODE});
  main.write_line(line);
  line = "\\..STN.SP.LINE.LP.";
  line += trim_right(coils.CHLABELS);
  line += ".N.HH.MM.SS.V.......T-K.....CN..Ptch...Roll";
  line += "......GPS_TIME..Lat..........Lon.........GPS_Alt.DMode";
  main.write_line(line);
}

Flow handle_file_header_line(const Line& LINE, std::int32_t line_number, StationRecord& station,
                             CoilConfiguration& coils, CommentRegister& comments, std::int32_t& CN,
                             const OutputSet& set, Console& console) {
  OutputSetNames& names = set.names;
  FileUnits& files = set.files;
  const Line& line = LINE;

  const std::string name = logger_file_name(line.columns(11, 18));
  const std::string_view ext = extension_of(set.type);
  names.EXT = std::string(ext);
  if (set.type == OutputType::P) names.SDF_PENDING = true;
  if (set.type == OutputType::I) names.type_i_pending = true;
  names.FILE_NAME = name + "." + names.EXT;

  if (set.type == OutputType::I) names.dat_file_name = name + ".DAT";
  if (set.type == OutputType::P) {
    if (names.LAST_SDF_NAME == name + ".SDF") {
      names.SDF_PENDING = false;  // this logger file's sensor-definition file exists already
    } else {
      names.SDF_NAME = name + ".SDF";
    }
  }

  static const Layout kDate("(19X, 3I2)");
  if (!kDate.read(line.view(), {names.FILE_YEAR, names.FILE_MONTH, names.FILE_DAY}).ok()) {
    return Flow::FatalReadError;
  }

  station.MSEC = 0;
  std::int32_t code = coils.LENGTH_CODE;
  const std::string_view code_text = trim_right(line.view().substr(26));
  const FreeReadResult code_read = read_free(code_text, {code});
  if (code_read.status == FreeReadStatus::BadValue) {
    coils.LENGTH_CODE = 4;
  } else if (code_read.assigned == 1) {
    coils.LENGTH_CODE = code;
  }
  if (coils.LENGTH_CODE == 0) coils.LENGTH_CODE = 4;

  if (!read_time(line, station)) return Flow::FatalReadError;
  station.MSEC = 0;

  coils.set_arrays();
  coils.finish_configuration(console);

  ++set.FILE_COUNT;
  station.LINENO = 1;
  names.NAME_LEN = static_cast<std::int32_t>(name.size() + 4);

  if (std::find(set.FILE_NAMES.begin(), set.FILE_NAMES.end(), name) != set.FILE_NAMES.end()) {
    static const Layout kTimeStamp("(A1, I2, I2, I2, A1, A3)");
    std::string stamp;
    kTimeStamp.write(stamp, {"_", station.HOUR, station.MINUTE, station.SECOND, ".", ext});
    names.FILE_NAME = name + stamp;
    names.NAME_LEN = static_cast<std::int32_t>(names.FILE_NAME.size());
    if (set.type == OutputType::I) {
      names.dat_file_name = names.FILE_NAME.substr(0, names.FILE_NAME.size() - 3) + "DAT";
    }
  }
  set.FILE_NAMES.push_back(name);

  // The current set reaches its names before the new one starts. A header on the first line means
  // the set-up's main and binary files are still empty.
  const Disposition first_set = line_number == 1 ? Disposition::Delete : Disposition::Keep;
  const auto kept_unless = [](bool empty) {
    return empty ? Disposition::Delete : Disposition::Keep;
  };
  if (!files.close_set({{&files.main, first_set},
                        {&files.binary, first_set},
                        {&files.xyx, Disposition::Keep},
                        {&files.gps, kept_unless(set.gps_fix_count == 0)},
                        {&files.comment, kept_unless(files.comment.records() == 0)}})) {
    return Flow::OutputWriteError;
  }

  // No name is opened twice in a run: a set of which one name was used takes a suffix, the same
  // for all its files. The files' contents keep the name without it.
  const std::string stem(set_stem(names));
  std::vector<std::string> paths = {files.path_of(stem + "XYX"), files.path_of(stem + "GPS"),
                                    files.path_of(stem + "CMT")};
  if (set.type != OutputType::None) paths.push_back(files.path_of(names.FILE_NAME));
  if (set.type == OutputType::I) paths.push_back(files.path_of(names.dat_file_name));
  const std::string suffix = files.free_suffix(paths);
  const std::string main_name = with_suffix(names.FILE_NAME, suffix);

  // A name that a suffix made longer than the 19 columns is shown whole.
  console.write(
      FreeLine() << "   Output file: "
                 << caret_notation(pad_to(main_name, std::max(kFileNameWidth, main_name.size())),
                                   TabByte::Kept));
  console.write(FreeLine() << "   Sensor Length code for this file is " << coils.LENGTH_CODE);

  station.VOLTAGE = 0.0f;
  station.TEMPERATURE_K = 0.0f;

  if (set.type != OutputType::None && !files.open_output(files.main, main_name)) {
    return Flow::OutputOpenError;
  }

  if (!files.open_output(files.xyx, with_suffix(stem + "XYX", suffix))) {
    return Flow::OutputOpenError;
  }
  set.xyx_record_count = 0;

  if (set.type == OutputType::I &&
      !files.open_output(files.binary, with_suffix(names.dat_file_name, suffix))) {
    return Flow::OutputOpenError;
  }

  if (!files.open_output(files.gps, with_suffix(stem + "GPS", suffix))) {
    return Flow::OutputOpenError;
  }
  set.gps_fix_count = 0;

  names.comment_file_name = with_suffix(stem + "CMT", suffix);
  if (!files.open_output(files.comment, names.comment_file_name)) {
    return Flow::OutputOpenError;
  }

  CN = 0;
  comments.clear();

  if (set.type == OutputType::D) {
    write_dat31_header(names.FILE_NAME, files.main);
    set.DAT31_LAST_LINE = -9999999;
  } else if (set.type == OutputType::G) {
    write_geosoft_header(names.FILE_NAME, coils, files.main);
  }

  for (auto& offsets : station.USER_OFFSET) offsets.fill(0.0f);
  return Flow::NextLine;
}

namespace {

bool is_identification_line(const Line& line) {
  return line.columns(34, 43) == "SW VERSION" || line.columns(4, 9) == "000000" ||
         line.columns(22, 23) == "SN";
}

bool is_sampling_line(const Line& line) {
  const std::string_view text = line.view();
  return text.find("Sample") != std::string_view::npos && text.find("Hz") != std::string_view::npos;
}

// The model field: the three characters after the family prefix, blanks past the 40th.
std::string model_after(std::string_view id, std::size_t prefix_end) {
  std::string model(3, ' ');
  for (std::size_t k = 0; k < 3 && prefix_end + k < id.size(); ++k) model[k] = id[prefix_end + k];
  return model;
}

Flow handle_identification_line(const Line& line, StationRecord& station, Identification& id,
                                CoilConfiguration& coils, const ConfigRecords& records,
                                Console& console) {
  const std::string_view trimmed = line.trimmed();
  if (trimmed.size() >= 9 &&
      trimmed.substr(8).find("USER OFFSETS ENABLED") != std::string_view::npos) {
    return Flow::NextLine;
  }

  static const Layout kIdentification("(3X, 3I2, 1X, A)");
  std::string_view id_text;
  if (!kIdentification.read(line.view(), {station.HOUR, station.MINUTE, station.SECOND, id_text})
           .ok()) {
    return Flow::PacketSkip;
  }
  id.INSTRUMENT_ID = pad_to(id_text, kInstrumentIdWidth);
  station.MSEC = 0;

  static const Layout kEcho("(A14, A40)");
  std::string echo;
  kEcho.write(echo, {"InstrumentID >", std::string_view(id.INSTRUMENT_ID)});
  console.write_line(caret_notation(echo, TabByte::Kept));

  std::string model;
  const std::size_t veltor = id.INSTRUMENT_ID.find("VELTOR-");
  if (veltor != std::string::npos) {
    id.KORAB_FAMILY = false;
    model = model_after(id.INSTRUMENT_ID, veltor + 7);
  } else {
    const std::string upper = SHIFTUP(std::string_view(id.INSTRUMENT_ID).substr(0, 16), 16);
    std::size_t at = upper.find("KORABS-");
    std::size_t length = 7;
    if (at == std::string::npos) {
      at = upper.find("KORAB-");
      length = 6;
    }
    if (at == std::string::npos) {
      id.KORAB_FAMILY = false;
      console.write(
          FreeLine() << (std::string("Missing name info in header string") +
                         caret_notation(trimmed.substr(std::min<std::size_t>(1, trimmed.size())),
                                        TabByte::Kept)));
      return Flow::NextLine;
    }
    id.KORAB_FAMILY = true;
    model = model_after(id.INSTRUMENT_ID, at + length);
  }

  const std::size_t h = model.find('H');
  if (h != std::string::npos) model[h] = '5';
  static const Layout kModel("(I3)");
  if (!kModel.read(model, {coils.LENGTH_CODE}).ok()) return Flow::PacketSkip;

  const std::size_t version = id.INSTRUMENT_ID.find("SW VERSION");
  if (version != std::string::npos) {
    static const Layout kVersion("(F4.1)");
    const std::string digits = pad_to(std::string_view(id.INSTRUMENT_ID).substr(version + 10), 4);
    if (!kVersion.read(digits, {id.SW_VERSION}).ok()) return Flow::PacketSkip;
  }

  coils.set_arrays();
  if (records.type == OutputType::G) write_geosoft_header(records.FILE_NAME, coils, records.main);
  coils.finish_configuration(console);
  return Flow::NextLine;
}

void handle_sampling_line(const Line& line, Identification& identification, Console& console) {
  const std::string_view text = line.view();
  const std::size_t p = text.find("Sample") + 1;  // 1-based columns
  const std::size_t h = text.find("Hz") + 1;
  std::string_view between;
  if (h >= p + 7) between = text.substr(p + 6 - 1, h - (p + 6));
  static const Layout kRate("(I5)");
  std::int32_t rate = 0;
  if (!kRate.read(between, {rate}).ok()) {
    console.write(FreeLine() << "*** Sampling frequency not readable: "
                             << caret_notation(between, TabByte::Kept));
    return;
  }
  identification.SAMPLE_RATE = rate;
  console.write(FreeLine() << "Sampling frequency is " << rate << " Hz");
}

Flow handle_comment_line(const Line& LINE, StationRecord& station, CommentRegister& comments,
                         std::int32_t& CN, const ConfigRecords& records, Console& console) {
  static const Layout kComment("(3X, 3I2, 1X, A16)");
  std::string_view comment_text;
  if (!kComment.read(LINE.view(), {station.HOUR, station.MINUTE, station.SECOND, comment_text})
           .ok()) {
    return Flow::PacketSkip;
  }
  station.MSEC = 0;
  const std::string comment = pad_to(comment_text, kCommentLength);
  std::string_view typed = trim_right(LINE.view().substr(10));
  while (!typed.empty() && (typed.front() == ' ' || typed.front() == '\t')) typed.remove_prefix(1);
  records.typed_comment.assign(typed);

  std::string line;
  format_comment_echo(line, comment, station.HOUR, station.MINUTE, station.SECOND);
  console.write_line(caret_notation(line, TabByte::Kept));

  const CommentNumber number = comments.register_comment(comment);
  CN = number.number;
  if (number.is_new_line && records.comment.is_open()) {
    format_comment_file_line(line, number.number, comment);
    records.comment.write_line(line);
  }
  if (records.type == OutputType::G) {
    format_geosoft_comment_line(line, comment, station.HOUR, station.MINUTE, station.SECOND);
    records.main.write_line(line);
  }
  return Flow::NextLine;
}

}  // namespace

Flow handle_config_line(const Line& LINE, StationRecord& station, Identification& identification,
                        CoilConfiguration& coils, CommentRegister& comments, std::int32_t& CN,
                        const ConfigRecords& records, Console& console) {
  if (is_identification_line(LINE)) {
    return handle_identification_line(LINE, station, identification, coils, records, console);
  }
  if (is_sampling_line(LINE)) {
    handle_sampling_line(LINE, identification, console);
    return Flow::NextLine;
  }
  return handle_comment_line(LINE, station, comments, CN, records, console);
}

}  // namespace quillet
