// One transcription run, `QUILLETSUB`: set-up, GPS pre-scan, record loop and end of run for one
// input file and one output-type code.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"

namespace quillet {

// Transcribes `input_name` into the output type of `code` (either case). `sensor_height` is the
// value offered at the height prompt and receives the height the run ended with; `height_given`
// tells that it came from the command line. Returns the run's error code (0 = success). Every
// file the run opened is closed when it returns. `summary`, when given, receives what the run
// read, wrote and skipped.
std::int32_t QUILLETSUB(std::string_view input_name, char code, float& sensor_height,
                        bool height_given, ProgramState& program, Console& console,
                        RunSummary* summary = nullptr);

// A height below 0 or above 10 m is taken as given, with one console line naming it as it was
// written (`as_given`), so that a typing error shows. Nothing is written for a usual height.
void warn_unusual_height(float height, std::string_view as_given, Console& console);

// The stages, exposed for the tests. The end of the run closes every file with its keep-or-delete
// rule and returns the run's ending; `report_run_end` is the one place that turns an ending into
// its console lines.
Flow set_up_run(ProgramState& program, RunState& run, FileUnits& files, Console& console);
RunEnd end_run(Flow exit, ProgramState& program, RunState& run, FileUnits& files);
void report_run_end(const RunEnd& end, Console& console);

// Output folder of an input name: everything up to and including its last "/" or "\".
std::string_view output_folder(std::string_view input_name);

}  // namespace quillet
