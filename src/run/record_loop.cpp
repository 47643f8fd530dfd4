#include "run/record_loop.hpp"

#include "common/free_form.hpp"
#include "common/text.hpp"
#include "core/line_reader.hpp"
#include "run/dispatch.hpp"

namespace quillet {

LineKind classify_line(const Line& line) {
  const std::string_view marker = line.columns(2, 3);
  if (marker == "C$") return LineKind::Config;
  // Blanks at the end of the 120 columns hold no "H$".
  if (line.trimmed().find("H$") != std::string_view::npos) return LineKind::FileHeader;
  if (marker == "O$") return LineKind::Offset;
  if (marker == "R$") return LineKind::Raw;
  if (marker == "A$") return LineKind::Aux;
  if (marker == "S$") return LineKind::Status;
  if (marker == "Z$") return LineKind::EndOfData;
  if (marker == "T$") return LineKind::T;
  if (line.columns(1, 6) == "$PDLMT") return LineKind::Pdlmt;
  if (marker == "D$") return LineKind::D;
  if (marker == "X$") return LineKind::X;
  if (marker == "N$") return LineKind::N;
  if (marker == "I$") return LineKind::I;
  if (marker == "G$") return LineKind::Gps;
  return LineKind::Ignored;
}

void report_packet_skip(const RunState& run, Console& console) {
  console.write(FreeLine() << "*** Read error in input buffer at " << run.line_number
                           << caret_notation(run.LINE.view(), TabByte::Kept));
  console.write(FreeLine() << "*** Skipping this packet or station");
}

Flow record_loop(ProgramState& program, RunState& run, FileUnits& files, Console& console) {
  for (;;) {
    const Flow read = read_next_line(files.input, run.line_number, run.LINE);
    if (read != Flow::NextLine) return read;
    ++run.summary.lines_read;
    const Flow flow = dispatch_line(classify_line(run.LINE), program, run, files, console);
    if (flow == Flow::PacketSkip || flow == Flow::PacketError) {
      if (run.summary.lines_skipped++ == 0) run.summary.first_skipped = run.line_number;
      if (flow == Flow::PacketSkip) report_packet_skip(run, console);
    } else if (flow != Flow::NextLine) {
      return flow;
    }
  }
}

}  // namespace quillet
