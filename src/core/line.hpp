// `LINE`, the current input line, as every handler sees it.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace quillet {

// Width of `LINE`: a longer input line is cut, a shorter one blank-padded.
inline constexpr std::size_t kLineWidth = 120;

// The current input line, `LINE`, blank-padded to 120 columns (columns counted from 1).
class Line {
 public:
  Line() { text_.fill(' '); }
  // `may_hold_h` false: the reader saw that `raw` holds no "H" (so no file header mark).
  // `readable_after`: 16 bytes after `raw` may be read (InputFile::kSlack), so that the line's
  // last columns are copied sixteen at a time as the others.
  void assign(std::string_view raw, bool may_hold_h = true, bool readable_after = false);
  std::string_view view() const { return {text_.data(), kLineWidth}; }
  // The line without trailing blanks.
  std::string_view trimmed() const { return {text_.data(), trimmed_length_}; }
  // Columns first..last (1-based, inclusive).
  std::string_view columns(std::size_t first, std::size_t last) const {
    return view().substr(first - 1, last - first + 1);
  }
  char column(std::size_t k) const { return text_[k - 1]; }
  // Whether the line may hold "H$": false only when it holds no "H" at all.
  bool may_hold_header_mark() const { return may_hold_h_; }
  // When the first "$" of columns 1-5 stands in column 2, shifts the line right by one column so
  // that every marker stands in columns 2-3.
  void align_marker();

 private:
  // The 120 columns, and blanks after them that let the line's last columns and the blanks after
  // them be stored sixteen at a time (kept blank: nothing else writes there). Each sixteen columns
  // from column 1 on are stored at once: a reader that loads them sixteen at a time soon after
  // takes them from that store instead of waiting for several to reach the cache.
  std::array<char, kLineWidth + 16> text_;
  // Kept with the text: handlers ask for it on every line, and the raw line already tells it.
  // Every column beyond it is blank, so the next line blanks only the columns this one filled.
  std::size_t trimmed_length_ = 0;
  bool may_hold_h_ = true;
};

}  // namespace quillet
