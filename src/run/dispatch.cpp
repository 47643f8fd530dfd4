#include "run/dispatch.hpp"

#include "header/header_lines.hpp"
#include "packets/d_packet.hpp"
#include "packets/t_packet.hpp"
#include "packets/x_packet.hpp"
#include "positioning/gps_prescan.hpp"

namespace quillet {

Flow not_yet_handled(LineKind kind, const RunState& run) {
  (void)kind;
  (void)run;
  return Flow::NextLine;
}

Flow dispatch_line(LineKind kind, ProgramState& program, RunState& run, FileUnits& files,
                   Console& console) {
  switch (kind) {
    case LineKind::Config:
      return handle_config_line(program, run, files, console);
    case LineKind::FileHeader:
      return handle_file_header_line(program, run, files, console);
    case LineKind::EndOfData:
      return Flow::NormalEnd;
    case LineKind::T:
      return handle_t_packet(program, run, files, console);
    case LineKind::D:
      return handle_d_packet(program, run, files, console);
    case LineKind::X:
      return handle_x_packet(program, run, files, console);
    case LineKind::Gps:
      return handle_gps_line(program, run, files, console);
    case LineKind::Ignored:
      return Flow::NextLine;
    default:
      return not_yet_handled(kind, run);
  }
}

}  // namespace quillet
