// The GPS pre-scan: the last step of a run's set-up, one pass over the whole input before the
// record loop starts.
#pragma once

#include "common/console.hpp"
#include "run/exits.hpp"
#include "run/files.hpp"
#include "run/state.hpp"

namespace quillet {

// Scans the input once and rewinds it. Returns NextLine, or InputReadError when a line cannot be
// read. Averaging the fixes and fixing the UTM zone are not built yet: for now the step only reads
// the file through, so a file that cannot be read fails here as it will with the full step.
Flow gps_prescan(ProgramState& program, RunState& run, FileUnits& files, Console& console);

}  // namespace quillet
