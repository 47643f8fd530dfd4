#include "run/state.hpp"

#include <algorithm>
#include <cstring>

namespace quillet {

void Line::assign(std::string_view raw) {
  const std::size_t count = std::min(raw.size(), text_.size());
  std::memcpy(text_.data(), raw.data(), count);
  std::memset(text_.data() + count, ' ', text_.size() - count);
}

std::string_view Line::trimmed() const {
  std::size_t end = text_.size();
  while (end > 0 && text_[end - 1] == ' ') --end;
  return {text_.data(), end};
}

void Line::align_marker() {
  const void* dollar = std::memchr(text_.data(), '$', 5);
  if (dollar != static_cast<const void*>(text_.data() + 1)) return;
  std::memmove(text_.data() + 1, text_.data(), text_.size() - 1);
  text_[0] = ' ';
}

}  // namespace quillet
