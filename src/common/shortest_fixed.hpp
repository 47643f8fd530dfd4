// Reals in fixed notation with the fewest decimals that read back as the same value: the text
// of std::to_chars(first, last, value, std::chars_format::fixed), as the CSV rows show them.
//
// The common values are written by exact arithmetic on the binary value: a float below 2^23 by
// double arithmetic (its value and half its last place times 10^d are exact doubles), the
// others of at least 1 in magnitude below 2^23 or 2^52, a float down to 2^-37 and a double down
// to 2^-8 by integer arithmetic, and zero; the rest, and the rare cases whose choice would need
// more care (an exact tie of two candidates, a power of two, whose lower neighbour is closer
// than its upper one), by std::to_chars.
#pragma once

#include <cstddef>

namespace quillet {

// Room enough for any finite value: 309 integer digits, or a fraction of 324 places.
inline constexpr std::size_t kShortestFixedRoom = 400;

// Writes the finite `value` from `out` on (kShortestFixedRoom characters of room); returns the
// end of the text.
char* write_shortest_fixed(char* out, float value);
char* write_shortest_fixed(char* out, double value);
// Each of the `count` floats at `values` after `separator`: its text, or nothing for a value that
// is not finite; (kShortestFixedRoom + 1) * count characters of room.
char* write_shortest_fields(char* out, const float* values, std::size_t count, char separator);
// The text write_shortest_fixed gives `thousandths / 1000.0` for a finite `thousandths` (an
// integer, as times rounded to the millisecond are), most of them written directly.
char* write_shortest_thousandths(char* out, double thousandths);

namespace shortest_fixed_detail {
// The fast paths alone: the end of the text, or nullptr (nothing promised about `out`) where
// they leave the value to std::to_chars. For the tests that hold them to std::to_chars.
char* fast(char* out, float value);
char* fast(char* out, double value);
// The first of a float's fast paths, by double arithmetic; nullptr where it leaves the value to
// the integer path.
char* by_double(char* out, float value);
}  // namespace shortest_fixed_detail

}  // namespace quillet
