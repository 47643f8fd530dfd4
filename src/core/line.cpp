#include "core/line.hpp"

#include <algorithm>
#include <cstring>

namespace quillet {

namespace {

std::size_t trimmed_length(const char* text, std::size_t size) {
  while (size > 0 && text[size - 1] == ' ') --size;
  return size;
}

}  // namespace

void Line::assign(std::string_view raw, bool may_hold_h) {
  may_hold_h_ = may_hold_h;
  const std::size_t count = std::min(raw.size(), text_.size());
  std::memcpy(text_.data(), raw.data(), count);
  // Beyond the trimmed length of the line before, every column is blank already.
  if (trimmed_length_ > count) std::memset(text_.data() + count, ' ', trimmed_length_ - count);
  trimmed_length_ = trimmed_length(text_.data(), count);
}

void Line::align_marker() {
  // Only a first "$" of columns 1-5 in column 2 moves the line.
  if (text_[1] != '$' || text_[0] == '$') return;
  std::memmove(text_.data() + 1, text_.data(), text_.size() - 1);
  text_[0] = ' ';
  // The column pushed out at the end may have been the last one that was not blank.
  trimmed_length_ = trimmed_length(text_.data(), std::min(trimmed_length_ + 1, text_.size()));
}

}  // namespace quillet
