#include "core/line.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillet {

namespace {

std::size_t trimmed_length(const char* text, std::size_t size) {
  while (size > 0 && text[size - 1] == ' ') --size;
  return size;
}

// Sixteen bytes from `from` to `to`.
inline void copy16(char* to, const char* from) {
#if defined(__SSE2__)
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#else
  std::memcpy(to, from, 16);
#endif
}

// The first `count` bytes (at most a line's width) of `from` to `to`, sixteen at a time with the
// last sixteen overlapping the ones before: a library or string-instruction copy of a length only
// known here costs more than the whole line on a survey's short lines.
inline void copy_columns(char* to, const char* from, std::size_t count) {
  if (count >= 16) {
    for (std::size_t k = 0; k + 16 < count; k += 16) copy16(to + k, from + k);
    copy16(to + count - 16, from + count - 16);
  } else if (count >= 8) {
    std::uint64_t first, last;
    std::memcpy(&first, from, 8);
    std::memcpy(&last, from + count - 8, 8);
    std::memcpy(to, &first, 8);
    std::memcpy(to + count - 8, &last, 8);
  } else {
    for (std::size_t k = 0; k < count; ++k) to[k] = from[k];
  }
}

}  // namespace

void Line::assign(std::string_view raw, bool may_hold_h) {
  may_hold_h_ = may_hold_h;
  const std::size_t count = std::min(raw.size(), kLineWidth);
  copy_columns(text_.data(), raw.data(), count);
  // Beyond the trimmed length of the line before, every column is blank already; the sixteen
  // columns after the line's width give room for the last store.
  static constexpr char kBlanks[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  for (std::size_t k = count; k < trimmed_length_; k += 16) copy16(text_.data() + k, kBlanks);
  trimmed_length_ = trimmed_length(text_.data(), count);
}

void Line::align_marker() {
  // Only a first "$" of columns 1-5 in column 2 moves the line.
  if (text_[1] != '$' || text_[0] == '$') return;
  std::memmove(text_.data() + 1, text_.data(), kLineWidth - 1);
  text_[0] = ' ';
  // The column pushed out at the end may have been the last one that was not blank.
  trimmed_length_ = trimmed_length(text_.data(), std::min(trimmed_length_ + 1, kLineWidth));
}

}  // namespace quillet
