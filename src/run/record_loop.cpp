#include "run/record_loop.hpp"

#include "common/free_form.hpp"
#include "common/text.hpp"
#include "core/line_reader.hpp"
#include "run/dispatch.hpp"

namespace quillet {

LineKind classify_line(const Line& line) {
  const char letter = line.column(2);
  const bool marker = line.column(3) == '$';
  if (marker && letter == 'C') return LineKind::Config;
  // Blanks at the end of the 120 columns hold no "H$".
  if (line.may_hold_header_mark() && line.trimmed().find("H$") != std::string_view::npos) {
    return LineKind::FileHeader;
  }
  if (marker) {
    // One letter and "$" in columns 2-3 ("$PDLMT", with "PD" there, is never one of them).
    switch (letter) {
      case 'O':
        return LineKind::Offset;
      case 'R':
        return LineKind::Raw;
      case 'A':
        return LineKind::Aux;
      case 'S':
        return LineKind::Status;
      case 'Z':
        return LineKind::EndOfData;
      case 'T':
        return LineKind::T;
      case 'D':
        return LineKind::D;
      case 'X':
        return LineKind::X;
      case 'N':
        return LineKind::N;
      case 'I':
        return LineKind::I;
      case 'G':
        return LineKind::Gps;
      default:
        return LineKind::Ignored;
    }
  }
  if (line.columns(1, 6) == "$PDLMT") return LineKind::Pdlmt;
  return LineKind::Ignored;
}

void report_packet_skip(const RunState& run, Console& console) {
  console.write(FreeLine() << "*** Read error in input buffer at " << run.line_number
                           << caret_notation(run.LINE.view(), TabByte::Kept));
  console.write(FreeLine() << "*** Skipping this packet or station");
}

Flow record_loop(ProgramState& program, RunState& run, FileUnits& files, Console& console) {
  for (;;) {
    const Flow read = read_next_line(files.input, run.line_number, run.LINE, &run.raw_line);
    if (read != Flow::NextLine) {
      run.raw_line = {};
      return read;
    }
    ++run.summary.lines_read;
    const Flow flow = dispatch_line(classify_line(run.LINE), program, run, files, console);
    if (flow == Flow::PacketSkip || flow == Flow::PacketError) {
      if (run.summary.lines_skipped++ == 0) run.summary.first_skipped = run.line_number;
      if (flow == Flow::PacketSkip) report_packet_skip(run, console);
    } else if (flow != Flow::NextLine) {
      run.raw_line = {};
      return flow;
    }
  }
}

}  // namespace quillet
