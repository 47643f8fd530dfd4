#include "driver/driver.hpp"

#include <optional>

#include "common/free_form.hpp"
#include "common/text.hpp"
#include "core/folder_lock.hpp"
#include "core/options.hpp"
#include "run/run.hpp"

namespace quillet {

namespace {

constexpr std::size_t kCodesWidth = 10;    // `type_codes` holds ten code letters
constexpr const char* kVersion = "V1.71";  // the version the banner shows

void print_banner(Console& console) {
  console.write(FreeLine() << "***************************************************");
  console.write(FreeLine() << "************* Program QUILLET5 V1.71 **************");
  console.write(FreeLine() << "******* Transcribes Veltor Data RAW Files  ********");
  console.write(FreeLine() << "***************************************************");
}

void print_usage(Console& console) {
  console.write(FreeLine() << "This program may be used with command line arguments:");
  console.write(FreeLine() << "QuIllet ve_infile rectfile_type");
  console.write(FreeLine() << "where ve_infile is the Veltor output data file,");
  console.write(FreeLine() << "and rectfile_type values are as follows:");
  console.write(FreeLine() << "    X to make a simple XYZ file (station, line#, ...");
  console.write(FreeLine() << "    G to make a Geosoft XYZ file, ");
  console.write(FreeLine() << "    D to make a DAT31-compatible file, or ");
  console.write(FreeLine() << "    L to make a \"log\" format output file.");
  console.write(
      FreeLine() << "    S to make a Santos inversion-compatible output file (not tested).");
  console.write(FreeLine() << "    P to make an ppm output file (*.IDF).");
  console.write(FreeLine() << "    C to make a CSV file for inversion and GIS software (*.csv).");
  console.write_line("");
  console.write(
      FreeLine() << "You may also operate the program interactively by answering the following:");
}

// The forms of the command line and the options, as `--help` and a usage error show them.
void print_usage_lines(Console& console) {
  console.write_line("Usage: quillet [OPTIONS] RAWFILE [CODES [HEIGHT]]");
  console.write_line("       quillet                  (asks for the file and the codes)");
  console.write_line("       quillet --help | --version");
  console.write_line("Options (before RAWFILE; \"--\" ends them, for a file named \"-x\"):");
  for (const std::string& line : option_help_lines()) console.write_line(line);
}

// What `quillet --help` prints: every argument, every code.
void print_help(Console& console) {
  print_usage_lines(console);
  static constexpr const char* kHelp[] = {
      "",
      "Transcribes the raw logger file RAWFILE into one output file per code letter,",
      "written beside RAWFILE. CODES is a string of letters (G when omitted):",
      "  X  simple XYZ file (.xyz)",
      "  G  Geosoft XYZ file (.xyz, the same names as X: run X and G in separate folders)",
      "  D  DAT31-compatible file (.g31)",
      "  L  log file (.log)",
      "  S  Santos inversion file (.san)",
      "  P  ppm file (.idf) with its sensor-definition file (.SDF)",
      "  I  ICE file (.ice) with its big-endian binary data file (.DAT)",
      "  R  raw copy file only (Default.RAW, kept when the input holds R$ packets)",
      "  C  CSV file with a header row (.csv), with the side files of X, and beside it",
      "     NAME.csvt (column types) and NAME.prj (WGS 84 / UTM zone) that GIS reads.",
      "     Its columns: station, line; time (hh:mm:ss.sss, logger clock); x, y (UTM",
      "     easting and northing, m), utm_zone (negative south), elevation (antenna altitude,",
      "     m), latitude, longitude (degrees, south and west negative), gps_quality: the",
      "     reading's own position, interpolated in time between the GPS fixes around it;",
      "     per receiver HCP.../PRP... conductivity (mS/m) and ..._inph in-phase (ppt);",
      "     voltage (V), temperature (K), pitch, roll (degrees), comment (number);",
      "     datetime (ISO 8601, logger clock), utc (ISO 8601, GPS time), position",
      "     (interpolated, uncorrected, held or none), fix_age_s (s since the last good",
      "     fix), comment_text (the comment as typed).",
      "HEIGHT is the sensor height in metres (default 0.2), offered at the height prompt of",
      "every run. With --batch nothing is read from standard input and every prompt keeps its",
      "default; --length-code=N answers the sensor length code prompts (a $PDLMT file without",
      "header lines asks for it; a 2 m instrument needs 2). Unattended, over many files:",
      "  for f in survey/*.raw; do quillet --batch \"$f\" C 0.3; done",
      "After each run a summary line tells the lines read, the station records written and",
      "the lines skipped. Exit status: 0 when every run succeeded, otherwise the error code of",
      "the first run that failed (1 read error, 2 unreadable file header, 3 input not found",
      "or not a regular file, 4 output, fort.99 or console not opened or not written,",
      "5 unknown code).",
  };
  for (const char* line : kHelp) console.write_line(line);
}

// The first `kCodesWidth` characters of a codes text, blank-padded as `type_codes` holds them.
std::string codes_text(std::string_view given) {
  std::string codes(given.substr(0, std::min(given.size(), kCodesWidth)));
  codes.resize(kCodesWidth, ' ');
  return codes;
}

bool is_valid_prompt_code(char c) {
  switch (c) {
    case 'S':
    case 's':
    case 'L':
    case 'l':
    case 'P':
    case 'p':
    case 'D':
    case 'd':
    case 'G':
    case 'g':
    case 'x':
    case 'X':
    case 'C':
    case 'c':
      return true;
    default:
      return false;
  }
}

// The 50-column field in which the console shows a file name; a longer name is shown whole.
std::string name_field(std::string_view name) {
  std::string field(name);
  if (field.size() < 50) field.resize(50, ' ');
  return field;
}

// A run that transcribed nothing, or skipped lines, ends with the same closing lines as a perfect
// one: this line tells them apart. The numbers are written without padding.
std::string summary_text(const RunSummary& summary) {
  std::string text = "   Summary: " + std::to_string(summary.lines_read) + " lines read, " +
                     std::to_string(summary.station_records) + " station records written, " +
                     std::to_string(summary.lines_skipped) + " lines skipped";
  if (summary.lines_skipped > 0) {
    text += ", the first at line " + std::to_string(summary.first_skipped);
  }
  return text;
}

// Whether the typed name opens as an input; otherwise says so, naming what the file is when it is
// not a regular file.
bool can_open_input(const std::string& name, Console& console) {
  InputFile probe;
  if (probe.open(std::string(trim_right(name)))) return true;
  if (probe.not_regular().empty()) {
    console.write(FreeLine() << "Error opening file " << name_field(name));
  } else {
    console.write(FreeLine() << "Error opening file " << trim_right(name) << " ("
                             << probe.not_regular() << ", not a regular file)");
  }
  return false;
}

void print_end_of_keyboard(Console& console) {
  console.write(FreeLine() << "End of keyboard input.  Exiting...");
}

// Interactive prompts. Returns the name and the codes, or nothing when the program is to stop.
std::optional<std::pair<std::string, std::string>> ask_file_and_codes(Console& console) {
  std::string input_name;
  for (;;) {
    console.write(FreeLine() << "Enter input filename (type \"quit\" to exit program)");
    if (!console.next_line(input_name)) {
      print_end_of_keyboard(console);
      return std::nullopt;
    }
    if (input_name.find("QUIT") != std::string::npos ||
        input_name.find("quit") != std::string::npos) {
      return std::nullopt;
    }
    if (can_open_input(input_name, console)) break;
  }

  for (;;) {
    console.write(
        FreeLine()
        << "Enter output formats ( X(yx),G(eosoft),D(AT31),L(og),P(pm, file *.IDF),C(SV) ):");
    std::string typed;
    if (!console.next_line(typed)) {
      print_end_of_keyboard(console);
      return std::nullopt;
    }
    const std::string type_codes = codes_text(typed);
    const std::string codes_upper = SHIFTUP(type_codes, 16);
    const std::size_t m = trimmed_length(codes_upper);
    bool accepted = true;
    for (std::size_t i = 1; i <= m; ++i) {
      const char current_code = codes_upper[i - 1];
      console.write(FreeLine() << "Checking output file type code #" << static_cast<std::int32_t>(i)
                               << (std::string(", which is ") + current_code));
      if (!is_valid_prompt_code(current_code)) {
        console.write(FreeLine() << "Error:  output file type must be one of X,G,D,L,S,P or C");
        accepted = false;
        break;
      }
    }
    if (accepted) return std::make_pair(std::string(trim_right(input_name)), type_codes);
  }
}

}  // namespace

namespace {

// The runs of the positional arguments (or of the prompts' answers when there are none).
int transcribe(std::span<const std::string> args, ProgramState& program, Console& console) {
  print_banner(console);

  std::string input_name;
  std::string type_codes;
  float sensor_height = 0.2f;
  bool height_given = false;

  if (!args.empty()) {
    input_name = args[0];
    type_codes = codes_text(args.size() >= 2 ? std::string_view(args[1]) : std::string_view());
    if (args.size() < 2 || args[1].empty()) type_codes[0] = 'G';
    if (args.size() == 3) {
      if (read_one_value(args[2], sensor_height) != OneValue::Read) {
        console.write(FreeLine() << "*** Sensor height argument is not a number: " << args[2]);
        return 1;
      }
      height_given = true;
      warn_unusual_height(sensor_height, args[2], console);
    } else if (args.size() > 3) {
      // The height is taken only from exactly three arguments.
      std::string ignored;
      for (std::size_t i = 2; i < args.size(); ++i) ignored += (i > 2 ? " " : "") + args[i];
      console.write(FreeLine() << "*** More than three arguments, the sensor height stays as it "
                                  "was; ignored: "
                               << ignored);
    }
  } else {
    print_usage(console);
    auto answers = ask_file_and_codes(console);
    if (!answers) return 0;
    input_name = std::move(answers->first);
    type_codes = std::move(answers->second);
  }

  const std::string_view name = trim_right(input_name);
  const std::size_t k = trimmed_length(type_codes);
  if (program.options.positions_given &&
      type_codes.substr(0, k).find_first_of("Cc") == std::string::npos) {
    console.write(FreeLine() << "*** --gps-latency, --max-gap and --gps-offset apply to code C "
                                "only; ignored without it");
  }
  int status = 0;
  FolderLock lock;
  if (k > 0) lock.take(std::string(output_folder(name)), console);
  for (std::size_t i = 0; i < k; ++i) {
    const char current_code = type_codes[i];
    console.write(FreeLine() << (std::string(">>>Transcribe file ") + std::string(name) +
                                 " to file type " + current_code));
    RunSummary summary;
    const std::int32_t run_error =
        QUILLETSUB(name, current_code, sensor_height, height_given, program, console, &summary);
    if (run_error == 0) {
      console.write(FreeLine() << "   Data  successfully transcribed!");
    } else {
      console.write(FreeLine() << "   Error code was " << run_error);
      if (status == 0) status = run_error;
    }
    console.write(FreeLine() << summary_text(summary));
  }
  return status;
}

int usage_error(std::string_view error, Console& console) {
  console.write(FreeLine() << error);
  print_usage_lines(console);
  return 1;
}

int run_codes(std::span<const std::string> args, ProgramState& program, Console& console) {
  // Only as the one argument: "./--help" names a file of that name.
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "--version")) {
    if (args[0] == "--help") {
      print_help(console);
    } else {
      console.write_line(std::string("quillet ") + kVersion);
    }
    return 0;
  }
  const OptionParse parse = parse_options(args, program.options);
  if (!parse.error.empty()) return usage_error(parse.error, console);
  const std::span<const std::string> positional = args.subspan(parse.first_argument);
  if (!program.options.batch) return transcribe(positional, program, console);
  // Without a file name the program would ask for one, and a batch run answers no prompt.
  if (positional.empty()) return usage_error("*** --batch needs the raw file name", console);
  BatchConsole batch(console);
  return transcribe(positional, program, batch);
}

}  // namespace

int run_program(std::span<const std::string> args, ProgramState& program, Console& console) {
  int status = run_codes(args, program, console);
  console.flush();
  // The console is an output like the files: lines that never reached it make the program fail.
  if (console.failed()) {
    console.write_error_line(
        "quillet: *** Write error for the console (standard output): its text is incomplete");
    if (status == 0) status = error_code(Flow::OutputWriteError);
  }
  return status;
}

}  // namespace quillet
