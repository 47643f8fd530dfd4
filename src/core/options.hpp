// The command-line options of one execution and the parser that takes them off the front of the
// arguments. Options come before the raw file name: the first argument that is not an option
// (or the one after "--") starts the positional arguments, which are then counted as the program
// always counted them. "--name" or "-x" switches an option on, "--name=value" gives its value;
// "-" and a lone number such as "-1" or "-.5" are never options. A new option is one entry of the
// table in options.cpp: its names, its value's name, how the value is read and stored, and its
// help line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/reading_position.hpp"

namespace quillet {

struct Options {
  // Nothing is read from standard input: every prompt keeps its default, as at the end of input.
  bool batch = false;
  // The reply to every sensor length code prompt of the execution.
  std::optional<std::int32_t> length_code;
  // Where the CSV file's readings are placed: --gps-latency, --max-gap and --gps-offset.
  PositionOptions positions;
  bool positions_given = false;  // one of those options was given (they apply to code C only)
};

struct OptionParse {
  std::size_t first_argument = 0;  // index of the first positional argument
  std::string error;               // one line naming the faulty option; empty when all were read
};

// Reads the options at the front of `args` into `options`. On an error the options read so far
// are kept and `first_argument` is meaningless.
[[nodiscard]] OptionParse parse_options(std::span<const std::string> args, Options& options);

// One help line per option, in the table's order ("  --batch, -b   ...").
std::vector<std::string> option_help_lines();

}  // namespace quillet
