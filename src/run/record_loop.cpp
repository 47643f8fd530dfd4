#include "run/record_loop.hpp"

#include "common/free_form.hpp"
#include "run/dispatch.hpp"

namespace quillet {

LineKind classify_line(const Line& line) {
  const std::string_view marker = line.columns(2, 3);
  if (marker == "C$") return LineKind::Config;
  if (line.view().find("H$") != std::string_view::npos) return LineKind::FileHeader;
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

Flow read_next_raw_line(RunState& run, FileUnits& files, std::string_view& raw) {
  ++run.line_number;
  switch (files.input.next_line(raw)) {
    case InputFile::Read::Line:
      return Flow::NextLine;
    case InputFile::Read::End:
      return Flow::EndOfFile;
    case InputFile::Read::Error:
      run.read_status = files.input.error_status();
      return Flow::InputReadError;
  }
  return Flow::InputReadError;
}

void load_line(RunState& run, std::string_view raw) {
  run.LINE.assign(raw);
  run.LINE.align_marker();
}

Flow read_next_line(RunState& run, FileUnits& files) {
  std::string_view raw;
  const Flow flow = read_next_raw_line(run, files, raw);
  if (flow == Flow::NextLine) load_line(run, raw);
  return flow;
}

bool raw_line_has_marker(std::string_view raw, std::string_view marker) {
  // Aligned lines are at least kLineWidth columns, so columns 1-3 always exist there; a raw
  // line shorter than that is blank beyond its end, and a blank is never part of a marker.
  const auto at = [raw](std::size_t k) { return k < raw.size() ? raw[k] : ' '; };
  if (at(1) == marker[0] && at(2) == marker[1]) return at(1) != '$' || at(0) == '$';
  // Shifted right by one: the first "$" of columns 1-5 is column 2.
  return at(1) == '$' && at(0) != '$' && at(0) == marker[0] && marker[1] == '$';
}

void report_packet_skip(const RunState& run, Console& console) {
  console.write(FreeLine() << "*** Read error in input buffer at " << run.line_number
                           << run.LINE.view());
  console.write(FreeLine() << "*** Skipping this packet or station");
}

Flow record_loop(ProgramState& program, RunState& run, FileUnits& files, Console& console) {
  for (;;) {
    const Flow read = read_next_line(run, files);
    if (read != Flow::NextLine) return read;
    const Flow flow = dispatch_line(classify_line(run.LINE), program, run, files, console);
    if (flow == Flow::PacketSkip) {
      report_packet_skip(run, console);
    } else if (flow != Flow::NextLine) {
      return flow;
    }
  }
}

}  // namespace quillet
