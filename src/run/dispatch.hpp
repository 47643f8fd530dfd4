// Hands a classified line to its handler.
#pragma once

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/flow.hpp"
#include "core/state.hpp"
#include "run/record_loop.hpp"

namespace quillet {

Flow dispatch_line(LineKind kind, ProgramState& program, RunState& run, FileUnits& files,
                   Console& console);

}  // namespace quillet
