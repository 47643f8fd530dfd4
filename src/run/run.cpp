#include "run/run.hpp"

#include <memory>

#include "common/free_form.hpp"
#include "common/text.hpp"
#include "packets/csv_output.hpp"
#include "positioning/gps_prescan.hpp"
#include "positioning/reading_track.hpp"
#include "run/record_loop.hpp"

namespace quillet {

namespace {

// The default-named files of one output-type code, opened in this order after the main file.
struct DefaultSet {
  char code;  // upper-case code letter
  OutputType type;
  const char* main_name;  // nullptr: no main output file (code R)
  bool xyx;
  bool binary;
  bool comment;
};

const DefaultSet* default_set(char code_upper) {
  static const DefaultSet kSets[] = {
      {'X', OutputType::X, "Default.xyz", true, false, true},
      {'G', OutputType::G, "Default.xyz", true, false, true},
      {'D', OutputType::D, "Default.G31", false, false, false},
      {'L', OutputType::L, "Default.LOG", false, false, true},
      {'S', OutputType::S, "Default.SAN", false, false, true},
      {'I', OutputType::I, "Default.ICE", false, true, true},
      {'P', OutputType::P, "Default.IDF", false, false, true},
      {'C', OutputType::C, "Default.csv", true, false, true},
      {'R', OutputType::None, nullptr, false, false, false},
  };
  for (const DefaultSet& set : kSets) {
    if (set.code == code_upper) return &set;
  }
  return nullptr;
}

void ask_sensor_height(RunState& run, Console& console) {
  if (!run.height_given) {
    run.sensor_height = 0.2f;
    console.write_line("");
    console.write(FreeLine() << "QUILLetSub--default height set by this routine to " << 0.2f);
  } else {
    console.write_line("");
  }
  console.write(FreeLine() << "Default/user-set instrument height (at axis of sensor) is "
                           << run.sensor_height);
  console.write(
      FreeLine()
      << "Enter Sensor height manually or type / followed by <ENTER> to accept this value ");
  // Blank lines are passed over, as a free-form read does. The reply must be one number: a
  // decimal comma ("0,35") or a unit ("1.5m") would otherwise give a height nobody typed.
  std::string reply;
  for (;;) {
    if (!console.next_line(reply)) return;  // the end of keyboard input keeps the height
    switch (read_one_value(reply, run.sensor_height)) {
      case OneValue::Blank:
        continue;
      case OneValue::Read:
        warn_unusual_height(run.sensor_height, trim_right(reply), console);
        return;
      case OneValue::None:
        return;
      case OneValue::NotOne:
        console.write(FreeLine() << "*** Not a sensor height, the value stays as it was: "
                                 << trim_right(reply));
        return;
    }
  }
}

}  // namespace

void warn_unusual_height(float height, std::string_view as_given, Console& console) {
  constexpr float kLowest = 0.0f;
  constexpr float kHighest = 10.0f;
  if (height >= kLowest && height <= kHighest) return;
  console.write(FreeLine() << "*** Unusual sensor height: " << as_given
                           << " (below 0 or above 10 m), taken as given");
}

std::string_view output_folder(std::string_view input_name) {
  const std::size_t last = input_name.find_last_of("/\\");
  return last == std::string_view::npos ? std::string_view() : input_name.substr(0, last + 1);
}

Flow set_up_run(ProgramState& program, RunState& run, FileUnits& files, Console& console) {
  console.write_line("");
  console.write(FreeLine() << "*** Transcription v1.20 ***");
  ask_sensor_height(run, console);
  files.input_folder = std::string(output_folder(run.input_name));
  // Each run numbers the comments of its own files from 1. A number that the previous run left
  // for a record that never came points into that run's register.
  program.comments.clear();
  if (program.CN > 0) program.CN = 0;

  if (!files.input.open(run.input_name)) return Flow::InputOpenError;
  if (files.input.cr_line_ends()) {
    console.write(FreeLine() << "Lines of this file end with a carriage return alone (CR): "
                                "each one ends a line");
  }

  run.type = OutputType::None;
  const DefaultSet* set = default_set(run.code_upper());
  if (set == nullptr) return Flow::NotAllowedType;

  if (set->main_name != nullptr) {
    if (!files.open_output(files.main, set->main_name)) return Flow::OutputOpenError;
    run.type = set->type;
  }
  if (set->xyx && !files.open_output(files.xyx, "Default.xyx")) return Flow::OutputOpenError;
  if (set->binary && !files.open_output(files.binary, "Default.DAT")) {
    return Flow::OutputOpenError;
  }
  // The start output of the I type belongs to I runs only: a run of another type never shows it,
  // whatever an earlier I run left undone.
  program.names.type_i_pending = set->type == OutputType::I;
  if (set->type == OutputType::P) program.names.SDF_PENDING = true;
  if (set->type == OutputType::I || set->type == OutputType::P) {
    program.names.SDF_NAME = "Default.SDF";
    program.names.LAST_SDF_NAME.clear();
  }
  if (set->comment) program.names.comment_file_name = "Default.CMT";
  if (set->comment && !files.open_output(files.comment, program.names.comment_file_name)) {
    return Flow::OutputOpenError;
  }
  if (!files.open_output(files.raw, "Default.RAW")) return Flow::OutputOpenError;
  run.xyx_record_count = 0;
  run.SANTOS_HEADER_DUE = run.type == OutputType::S;
  if (!files.open_output(files.gps, "DEFAULT.GPS")) return Flow::OutputOpenError;

  const Flow scan = gps_prescan(program, run, files, console);
  if (scan != Flow::NextLine) return scan;
  if (run.type == OutputType::C) {
    const Flow sides = follow_csv_file(program, run, files);
    if (sides != Flow::NextLine) return sides;
  }

  run.gps_fix_count = 0;
  run.end_of_input = false;
  run.line_number = 0;
  return Flow::NextLine;
}

void report_run_end(const RunEnd& end, Console& console) {
  switch (end.kind) {
    case Flow::NormalEnd:
      console.write(FreeLine() << "   Normal end of data encountered.");
      break;
    case Flow::EndOfFile:
      console.write(FreeLine() << "End of file reached.  Exiting...");
      break;
    case Flow::InputReadError:
      console.write(FreeLine() << "*** Read error in input file at line " << end.line_number);
      console.write(FreeLine() << "IOSTAT=" << static_cast<std::int32_t>(end.read_status));
      break;
    case Flow::FatalReadError:
      console.write(FreeLine() << "*** Fatal read error in input at " << end.line_number
                               << caret_notation(end.line, TabByte::Kept));
      break;
    case Flow::InputOpenError:
      if (end.not_regular.empty()) {
        console.write(FreeLine() << "*** Open error for input file=" << end.path);
      } else {
        console.write(FreeLine() << "*** Open error for input file=" << end.path << " ("
                                 << end.not_regular << ", not a regular file)");
      }
      break;
    case Flow::OutputOpenError:
      console.write(FreeLine() << "*** Open error for outfile="
                               << caret_notation(end.path, TabByte::Kept));
      break;
    case Flow::NotAllowedType:
      console.write(FreeLine() << "*** Error:  not an allowed output type ");
      console.write(FreeLine() << "  You must use X, G, D or L as second command-line argument.");
      break;
    case Flow::NextLine:
    case Flow::PacketSkip:
    case Flow::PacketError:
    case Flow::OutputWriteError:
      break;
  }
  if (!end.write_failure.empty()) {
    console.write(FreeLine() << "*** Write error for outfile="
                             << caret_notation(end.write_failure, TabByte::Kept));
  }
}

RunEnd end_run(Flow exit, ProgramState& program, RunState& run, FileUnits& files) {
  RunEnd end;
  end.kind = exit;
  switch (exit) {
    case Flow::EndOfFile:
      run.end_of_input = true;
      break;
    case Flow::InputReadError:
      end.line_number = run.line_number;
      end.read_status = files.input.error_status();
      break;
    case Flow::FatalReadError:
      end.line_number = run.line_number;
      end.line = run.LINE.view();
      break;
    case Flow::InputOpenError:
      end.path = run.input_name;
      end.not_regular = files.input.not_regular();
      break;
    case Flow::OutputOpenError:
      end.path = files.open_failure;
      break;
    default:
      break;
  }

  files.input.close();
  // A run that could not open or write one of its files leaves none of those it still holds; the
  // names keep what they held before. Otherwise the files reach their names together.
  if (exit == Flow::OutputOpenError || exit == Flow::OutputWriteError ||
      !files.write_failure.empty()) {
    files.roll_back();
  } else {
    const auto kept_unless = [](bool empty) {
      return empty ? Disposition::Delete : Disposition::Keep;
    };
    files.close_set({{&files.main, Disposition::Keep},
                     {&files.xyx, kept_unless(run.xyx_record_count == 0)},
                     {&files.binary, Disposition::Keep},
                     {&files.raw, kept_unless(!program.R_SEEN)},
                     {&files.gps, kept_unless(run.gps_fix_count == 0)},
                     {&files.comment, kept_unless(files.comment.records() == 0)},
                     {&files.csvt, kept_unless(!run.csv_types_written)},
                     {&files.prj, kept_unless(!run.csv_positions_written)}});
  }
  // The diagnostic file too: lines that never reached it are lost as much as records are, but the
  // outputs, complete, keep their names.
  if (files.unit99.failed() && files.write_failure.empty()) {
    files.write_failure = files.unit99.path();
  }
  // Data that did not reach the disk makes the run fail, whatever ended it; the summary counts
  // only the records of files that reached their names.
  end.write_failure = files.write_failure;
  run.summary.station_records = files.station_records;
  return end;
}

std::int32_t QUILLETSUB(std::string_view input_name, char code, float& sensor_height,
                        bool height_given, ProgramState& program, Console& console,
                        RunSummary* summary) {
  RunState run;
  run.input_name = std::string(input_name);
  run.code = code;
  run.sensor_height = sensor_height;
  run.height_given = height_given;
  FileUnits files;

  Flow exit = set_up_run(program, run, files, console);
  // The readings of a CSV file are placed in time and space by a look-ahead over the input.
  std::unique_ptr<ReadingTrack> track;
  if (exit == Flow::NextLine && run.type == OutputType::C) {
    track = std::make_unique<ReadingTrack>(program.options.positions);
    if (track->open(run.input_name)) {
      run.positions = track.get();
    } else {
      exit = Flow::InputOpenError;
    }
  }
  if (exit == Flow::NextLine) exit = record_loop(program, run, files, console);
  const RunEnd end = end_run(exit, program, run, files);
  report_run_end(end, console);
  sensor_height = run.sensor_height;
  if (summary != nullptr) *summary = run.summary;
  return end.code();
}

}  // namespace quillet
