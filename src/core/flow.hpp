// How a handler leaves, and how a run ends: one enumeration, with the run's error code of each
// ending in one place, and the value that carries a run's ending with what its messages name.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

enum class Flow : std::uint8_t {
  NextLine,          // back to the loop head
  PacketSkip,        // a field of the line could not be read: two messages, then the next line
  PacketError,       // the handler reported the line itself (a wrong length, no layout, a read
                     // error) and did what the format asks for then: the next line
  NormalEnd,         // "Z$" line                                   error code 0
  EndOfFile,         // the input ended                             error code 0
  InputReadError,    // the read of a line failed                   error code 1
  FatalReadError,    // a header field could not be read            error code 2
  InputOpenError,    // the input file could not be opened          error code 3
  OutputOpenError,   // an output file could not be opened          error code 4
  NotAllowedType,    // the output-type code is not known           error code 5
  OutputWriteError,  // an output file could not be written to the end   error code 4
};

// True for the flows that end the run.
constexpr bool ends_run(Flow flow) {
  return flow != Flow::NextLine && flow != Flow::PacketSkip && flow != Flow::PacketError;
}

// How a handler leaves that reported its line as a packet error and still went on: PacketError,
// unless what it did afterwards ended the run.
constexpr Flow reported_unless_ended(Flow flow, bool packet_error) {
  return packet_error && flow == Flow::NextLine ? Flow::PacketError : flow;
}

constexpr std::int32_t error_code(Flow flow) {
  switch (flow) {
    case Flow::InputReadError:
      return 1;
    case Flow::FatalReadError:
      return 2;
    case Flow::InputOpenError:
      return 3;
    case Flow::OutputOpenError:
    case Flow::OutputWriteError:
      return 4;
    case Flow::NotAllowedType:
      return 5;
    default:
      return 0;
  }
}

// The ending of a run: its kind and the details its messages name. The error code follows from
// both: that of the kind, or 4 when an output of a run that would have succeeded was not written.
struct RunEnd {
  Flow kind = Flow::NormalEnd;
  std::string path;              // InputOpenError: the input; OutputOpenError: the output file
  std::string_view not_regular;  // InputOpenError: what the input is when not a regular file
  int read_status = 0;           // InputReadError: the system's error number
  std::int32_t line_number = 0;  // InputReadError, FatalReadError: the line reached
  std::string line;              // FatalReadError: `LINE`
  std::string write_failure;     // the first output whose data were not all written, or empty

  std::int32_t code() const {
    const std::int32_t own = error_code(kind);
    return own == 0 && !write_failure.empty() ? error_code(Flow::OutputWriteError) : own;
  }
};

// What one run did, for the summary line after its closing lines.
struct RunSummary {
  std::int64_t lines_read = 0;       // lines the record loop read
  std::int64_t station_records = 0;  // data records written to the main output file
  std::int64_t lines_skipped = 0;    // lines that took the packet skip or reported a packet error
  std::int32_t first_skipped = 0;    // line number of the first of them; 0 when none
};

}  // namespace quillet
