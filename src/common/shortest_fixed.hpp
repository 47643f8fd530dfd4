// Reals in fixed notation with the fewest decimals that read back as the same value: the text
// of std::to_chars(first, last, value, std::chars_format::fixed), as the CSV rows show them.
//
// The common values (a float or double of at least 1 in magnitude below 2^23 or 2^52, a float
// down to 2^-37, a double down to 2^-8, and zero) are written by exact integer arithmetic on the
// binary value; the others, and
// the rare cases whose choice would need more care (an exact tie of two candidates, a power of
// two, whose lower neighbour is closer than its upper one), by std::to_chars.
#pragma once

#include <cstddef>

namespace quillet {

// Room enough for any finite value: 309 integer digits, or a fraction of 324 places.
inline constexpr std::size_t kShortestFixedRoom = 400;

// Writes the finite `value` from `out` on (kShortestFixedRoom characters of room); returns the
// end of the text.
char* write_shortest_fixed(char* out, float value);
char* write_shortest_fixed(char* out, double value);

namespace shortest_fixed_detail {
// The integer path alone: the end of the text, or nullptr (nothing promised about `out`) where
// it leaves the value to std::to_chars. For the tests that hold it to std::to_chars.
char* fast(char* out, float value);
char* fast(char* out, double value);
}  // namespace shortest_fixed_detail

}  // namespace quillet
