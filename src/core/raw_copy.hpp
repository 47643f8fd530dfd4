// What the R$ lines leave behind for the next one: the raw values of the current time stamp,
// which the raw copy file receives as one record per line, or per pair of lines once the logger
// is seen to write two lines under one time stamp.
#pragma once

#include <array>
#include <cstdint>

namespace quillet {

struct RawCopyState {
  std::int32_t R_COUNT = 0;  // distinct R$ time stamps met
  // HOUR, MINUTE, SECOND and MSEC of the last line that started a time stamp.
  std::array<std::int32_t, 4> R_LAST_TIME{};
  std::array<std::int32_t, 7> R_SET1{};  // first line of the time stamp
  std::array<std::int32_t, 7> R_SET2{};  // second line of the time stamp
  bool R_PAIRED = false;                 // two lines under one time stamp have been met
  bool R_SECOND_LINE = false;            // the latest line was the second of its time stamp
};

}  // namespace quillet
