#include "positioning/gps_prescan.hpp"

#include "run/record_loop.hpp"

namespace quillet {

Flow gps_prescan(ProgramState& program, RunState& run, FileUnits& files, Console& console) {
  (void)program;
  (void)console;
  run.gps_fix_count = 1;
  run.line_number = 0;
  run.HAS_GPS = false;
  run.end_of_input = false;
  for (;;) {
    const Flow flow = read_next_line(run, files);
    if (flow == Flow::EndOfFile) break;
    if (flow != Flow::NextLine) return flow;
  }
  if (!files.input.rewind()) {
    run.read_status = files.input.error_status();
    return Flow::InputReadError;
  }
  return Flow::NextLine;
}

}  // namespace quillet
