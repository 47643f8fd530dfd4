#include "core/line_reader.hpp"

namespace quillet {

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

}  // namespace quillet
