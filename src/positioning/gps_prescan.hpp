// The GPS sentences of the input: the pre-scan that ends a run's set-up, and the G$ lines of the
// record loop.
#pragma once

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"

namespace quillet {

// Reads the whole input once: decodes the GGA sentence of every G$ line, averages the valid fixes
// of the first 50,000 G$ lines (GpsState::kMeanFixes) and, from the mean position, fixes the UTM
// zone for the rest of the program (a zone fixed by an earlier run stays), then rewinds the input.
// Returns NextLine, or InputReadError when a line cannot be read.
Flow gps_prescan(ProgramState& program, RunState& run, FileUnits& files, Console& console);

// A G$ line of the record loop: its GGA sentence (GPS or any other satellite system) becomes the
// current fix and is copied, with its "$" restored, to the GPS side file.
// `gps_fix_count` counts the G$ lines of the output set; `record` is scratch for the copied line.
// `raw`: LINE as the input holds it (RunState::raw_line), read in its place where it can be.
Flow handle_gps_line(const Line& LINE, std::string_view raw, GpsFix& current_fix, OutputFile& gps,
                     std::int32_t& gps_fix_count, std::string& record, Console& console);

}  // namespace quillet
