// Small text helpers shared by every module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// Upper-case copy: `text` without trailing blanks (at most 255 characters), a-z turned into A-Z,
// every other character unchanged, then blank-padded or cut to `length` characters.
std::string SHIFTUP(std::string_view text, std::size_t length);

// `text` without trailing blanks.
std::string_view trim_right(std::string_view text);

// Length of `text` without trailing blanks.
inline std::size_t trimmed_length(std::string_view text) {
  return trim_right(text).size();
}

// Columns `first`..`last` (1-based, inclusive) of a line, cut where the line ends.
std::string_view columns(std::string_view line, std::size_t first, std::size_t last);

// 1-based column of the first occurrence of `what` in `text`, 0 when absent (Fortran INDEX).
std::size_t index_of(std::string_view text, std::string_view what);

// `text` with every terminal control byte (0-31 and 127) in caret notation ("^[" for escape,
// "^?" for delete), so that a line quoted on the console cannot move the cursor or change the
// terminal's state. Every other byte stands as it is. The console lines of a run keep a tab as
// it is (TabByte::Kept): it moves nothing but the cursor along the line.
enum class TabByte : std::uint8_t { Shown, Kept };
std::string caret_notation(std::string_view text, TabByte tab = TabByte::Shown);

}  // namespace quillet
