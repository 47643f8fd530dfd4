// A raw text as the record loop sees it: put into LINE and its marker aligned.
#pragma once

#include <string>

#include "core/line.hpp"

namespace quillet::testing {

inline Line aligned(const std::string& raw) {
  Line line;
  line.assign(raw);
  line.align_marker();
  return line;
}

}  // namespace quillet::testing
