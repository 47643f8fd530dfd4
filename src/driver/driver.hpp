// The command-line driver: banner, arguments or prompts, one transcription run per output-type
// code, and the report of each run.
#pragma once

#include <span>
#include <string>

#include "common/console.hpp"
#include "core/state.hpp"

namespace quillet {

// Runs the whole program with the command-line arguments that follow the program name. Returns
// the exit status: 0 when every run succeeded, otherwise the error code of the first run that
// failed; 1 for a sensor height argument that is not a number; 4 when the runs succeeded but the
// console could not be written (its error line then goes to the console's error stream).
int run_program(std::span<const std::string> args, ProgramState& program, Console& console);

}  // namespace quillet
