// The word-wide fast paths of the format engine's Iw reader and the general reader they stand in
// for, so that tests and the fuzz target can hold the one to the other. A fast path either reads
// exactly what the general one reads or declines (returns false, `out` untouched) and leaves the
// field to the general reader, which then accepts or rejects it.
#pragma once

#include <cstddef>
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

// A line's first columns classified 16 at a time, so that the reader checks the shape of every
// short I field of a record at once and then only combines each field's digits. Bit k of a mask
// stands for column k (0-based); byte k of `values` holds column k's digit value, 0x80 for a
// minus sign and 0 for anything else.
inline constexpr std::size_t kScannedColumns = 128;
struct ScannedColumns {
  std::uint64_t plain[2];    // a digit, a blank or a sign
  std::uint64_t numeric[2];  // a digit or a sign
  std::uint64_t digit[2];    // a digit
  alignas(16) unsigned char values[kScannedColumns + 16];
};

// The values of short I fields from words of their columns' digit values (the field's last
// column in the highest byte, zeros in the bytes before the field, 0x80 for a minus sign): each
// field's digits combined and the sign applied, `count` words into as many values. For fields that
// the masks above show to be plain (blanks, perhaps a sign, digits).
void combine_words(const std::uint64_t* words, std::size_t count, std::int32_t* values);
// The same a field at a time.
void combine_words_scalar(const std::uint64_t* words, std::size_t count, std::int32_t* values);

// Classifies the first 16 * `blocks` columns (`blocks` at most 8), those past the line's end as
// blanks. The masks are 0 beyond them, and so are the 16 values that follow them.
void scan_columns(std::string_view line, std::size_t blocks, ScannedColumns& out);
// The same a column at a time: what the vector form is held to, and what runs where there is
// none.
void scan_columns_scalar(std::string_view line, std::size_t blocks, ScannedColumns& out);

}  // namespace quillet::layout_detail
