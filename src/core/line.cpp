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

// Sixteen bytes to `to`: the first `count` (1 to 15) of `from`, blanks after them; the bytes
// after them at `from` are read.
inline void copy_head16(char* to, const char* from, std::size_t count) {
#if defined(__SSE2__)
  const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m128i beyond = _mm_cmpgt_epi8(index, _mm_set1_epi8(static_cast<char>(count - 1)));
  const __m128i text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(to),
      _mm_or_si128(_mm_and_si128(beyond, _mm_set1_epi8(' ')), _mm_andnot_si128(beyond, text)));
#else
  char head[16];
  std::memcpy(head, from, 16);
  std::memset(head + count, ' ', 16 - count);
  std::memcpy(to, head, 16);
#endif
}

// copy_head16 of a source without readable bytes after its `count`: through a cleared piece,
// so that every byte loaded is set. Out of line, so that the common path needs no stack room.
[[gnu::noinline]] void copy_head16_short(char* to, const char* from, std::size_t count) {
  char head[16] = {};
  std::memcpy(head, from, count);
  copy_head16(to, head, count);
}

}  // namespace

void Line::assign(std::string_view raw, bool may_hold_h, bool readable_after) {
  may_hold_h_ = may_hold_h;
  const std::size_t count = std::min(raw.size(), kLineWidth);
  char* const text = text_.data();
  std::size_t k = 0;
  for (; k + 16 <= count; k += 16) copy16(text + k, raw.data() + k);
  if (k < count) {
    if (readable_after || raw.size() >= k + 16) {
      copy_head16(text + k, raw.data() + k, count - k);
    } else {
      copy_head16_short(text + k, raw.data() + k, count - k);
    }
    k += 16;
  }
  // Beyond the trimmed length of the line before, every column is blank already; the sixteen
  // columns after the line's width give room for the last store.
  static constexpr char kBlanks[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  for (; k < trimmed_length_; k += 16) copy16(text + k, kBlanks);
  trimmed_length_ = trimmed_length(text, count);
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
