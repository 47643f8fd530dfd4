// Looking for one byte value in a run of text, sixteen bytes at a time: line ends in the input
// and in the pre-scan's search for marked lines. A library call per line spends most of its time
// setting up on a survey's short lines; these run inline. The compiler's generic vector type (a
// lane of a comparison is -1 where it holds, 0 elsewhere) serves every processor; where SSE2 is
// there (every x86-64), its byte mask finds the first hit in one step.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillet {

namespace byte_scan {

using Bytes = signed char __attribute__((vector_size(16)));

inline Bytes splat(char c) {
  return Bytes{} + static_cast<signed char>(c);
}

// The first `c` among `size` bytes at `data`, or nullptr, on any processor.
inline const char* find_portable(const char* data, std::size_t size, char c) {
  const Bytes wanted = splat(c);
  std::size_t k = 0;
  for (; k + 16 <= size; k += 16) {
    Bytes chunk;
    std::memcpy(&chunk, data + k, 16);
    const Bytes hit = chunk == wanted;
    std::uint64_t halves[2];
    std::memcpy(halves, &hit, 16);
    if ((halves[0] | halves[1]) == 0) continue;
    // The lane at the lowest address: the low bytes of a word on a little-endian processor.
    const bool low = halves[0] != 0;
    const std::uint64_t half = low ? halves[0] : halves[1];
    const int bit = std::endian::native == std::endian::little ? std::countr_zero(half)
                                                               : std::countl_zero(half);
    return data + k + (low ? 0 : 8) + static_cast<std::size_t>(bit) / 8;
  }
  for (; k < size; ++k) {
    if (data[k] == c) return data + k;
  }
  return nullptr;
}

// Bit k set where the byte at data + k is `c`, for the 16 bytes at `data`, on any processor.
inline unsigned mask_portable(const char* data, char c) {
  unsigned mask = 0;
  for (unsigned k = 0; k < 16; ++k) mask |= static_cast<unsigned>(data[k] == c) << k;
  return mask;
}

}  // namespace byte_scan

// Bit k set where the byte at data + k is `c`, for the 16 bytes at `data`.
inline unsigned byte_mask(const char* data, char c) {
#if defined(__SSE2__)
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, _mm_set1_epi8(c))));
#else
  return byte_scan::mask_portable(data, c);
#endif
}

// Bit k set where the byte at data + k is `c`, for the 64 bytes at `data`.
inline std::uint64_t byte_mask64(const char* data, char c) {
  return std::uint64_t{byte_mask(data, c)} | std::uint64_t{byte_mask(data + 16, c)} << 16 |
         std::uint64_t{byte_mask(data + 32, c)} << 32 |
         std::uint64_t{byte_mask(data + 48, c)} << 48;
}

// Bit k of `ends` set where the byte at data + k is `end`, for the 64 bytes at `data`, and
// whether any of them is `other`, each 16 bytes loaded once for both.
struct WindowScan {
  std::uint64_t ends;
  bool holds;
};
inline WindowScan scan_window(const char* data, char end, char other) {
#if defined(__SSE2__)
  const __m128i wanted_end = _mm_set1_epi8(end);
  const __m128i wanted_other = _mm_set1_epi8(other);
  std::uint64_t ends = 0;
  __m128i others = _mm_setzero_si128();
  for (int k = 0; k < 4; ++k) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * k));
    ends |=
        std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted_end)))}
        << (16 * k);
    others = _mm_or_si128(others, _mm_cmpeq_epi8(chunk, wanted_other));
  }
  return {ends, _mm_movemask_epi8(others) != 0};
#else
  return {byte_mask64(data, end), byte_mask64(data, other) != 0};
#endif
}

// The first `c` among `size` bytes at `data`, or nullptr: what memchr gives.
inline const char* find_byte(const char* data, std::size_t size, char c) {
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi8(c);
  std::size_t k = 0;
  // Thirty-two bytes a step while neither half holds `c`: a survey line takes two or three.
  for (; k + 32 <= size; k += 32) {
    const __m128i low =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k)), wanted);
    const __m128i high =
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k + 16)), wanted);
    if (_mm_movemask_epi8(_mm_or_si128(low, high)) == 0) continue;
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(low)) |
                      static_cast<unsigned>(_mm_movemask_epi8(high)) << 16;
    return data + k + std::countr_zero(mask);
  }
  for (; k + 16 <= size; k += 16) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, wanted));
    if (mask != 0) return data + k + std::countr_zero(static_cast<unsigned>(mask));
  }
  if (k < size && size >= 16) {
    // The bytes from k on are the high bits of the mask of the last sixteen.
    const unsigned mask = byte_mask(data + size - 16, c) >> (16 - (size - k));
    return mask == 0 ? nullptr : data + k + std::countr_zero(mask);
  }
  for (; k < size; ++k) {
    if (data[k] == c) return data + k;
  }
  return nullptr;
#else
  return byte_scan::find_portable(data, size, c);
#endif
}

}  // namespace quillet
