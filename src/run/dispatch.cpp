#include "run/dispatch.hpp"

#include "packets/t_packet.hpp"

namespace quillet {

Flow not_yet_handled(LineKind kind, const RunState& run) {
  (void)kind;
  (void)run;
  return Flow::NextLine;
}

Flow dispatch_line(LineKind kind, ProgramState& program, RunState& run, FileUnits& files,
                   Console& console) {
  (void)program;
  (void)files;
  (void)console;
  switch (kind) {
    case LineKind::EndOfData:
      return Flow::NormalEnd;
    case LineKind::T:
      return handle_t_packet(program, run, files, console);
    case LineKind::Ignored:
      return Flow::NextLine;
    default:
      return not_yet_handled(kind, run);
  }
}

}  // namespace quillet
