// The word-wide fast path of the format engine's Iw reader and the general reader it stands in
// for, one field at a time, so that tests and the fuzz target can hold the one to the other. The
// fast path either reads exactly what the general one reads or declines (returns false, `out`
// untouched) and leaves the field to the general reader, which then accepts or rejects it.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet::layout_detail {

// An Iw field of up to 8 columns in the highest bytes of `word` (its last character in the
// highest byte, blanks in the bytes before the field), as the engine loads it from the line on a
// little-endian machine. Takes blanks, then an optional sign, then only digits (or all blanks);
// declines every other shape. Always declines on other machines.
bool read_int_word(std::uint64_t word, std::int32_t& out);

// The general reader of an Iw field: `field` holds its columns as they stand in the line.
bool read_int_general(std::string_view field, std::int32_t& out);

}  // namespace quillet::layout_detail
