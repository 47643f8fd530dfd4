#include "core/comment_register.hpp"

#include <algorithm>

#include "common/layout.hpp"
#include "common/text.hpp"

namespace quillet {
namespace {

using CommentText = std::array<char, kCommentLength>;

// A comment read from a short line is shorter than its 16 columns; it stands blank-padded.
CommentText padded_comment(std::string_view comment) {
  CommentText text;
  text.fill(' ');
  std::copy_n(comment.begin(), std::min(comment.size(), text.size()), text.begin());
  return text;
}

std::string_view view_of(const CommentText& text) {
  return {text.data(), text.size()};
}

}  // namespace

void CommentRegister::clear() {
  for (auto& entry : table_) std::copy(kFreeEntry.begin(), kFreeEntry.end(), entry.begin());
}

CommentNumber CommentRegister::register_comment(std::string_view comment) {
  const std::string upper = SHIFTUP(comment, kCommentLength);
  for (int k = 1; k <= kCapacity; ++k) {
    CommentText& entry = table_[static_cast<std::size_t>(k - 1)];
    // Storing is decided before equality: a comment equal to entry 100 is stored and listed again,
    // and one of 16 underscores meeting a free entry is stored and listed.
    if (k == kCapacity || view_of(entry) == kFreeEntry) {
      std::copy(upper.begin(), upper.end(), entry.begin());
      return {k, true};
    }
    if (view_of(entry) == upper) return {k, false};
  }
  return {kCapacity, false};  // not reached: entry 100 always decides
}

std::string_view CommentRegister::entry(int number) const {
  return view_of(table_[static_cast<std::size_t>(number - 1)]);
}

void format_comment_echo(std::string& line, std::string_view comment, std::int32_t hour,
                         std::int32_t minute, std::int32_t second) {
  static const Layout layout("(A8, A16, ' at: ', 3I3)");
  const CommentText text = padded_comment(comment);
  layout.write(line, {"Comment>", view_of(text), hour, minute, second});
}

void format_comment_file_line(std::string& line, std::int32_t number, std::string_view comment) {
  static const Layout layout("(I5, 1X, A16)");
  layout.write(line, {number, SHIFTUP(comment, kCommentLength)});
}

void format_geosoft_comment_line(std::string& line, std::string_view comment, std::int32_t hour,
                                 std::int32_t minute, std::int32_t second) {
  static const Layout layout("('\\', A16, ' at: ', 3I3)");
  layout.write(line, {SHIFTUP(comment, kCommentLength), hour, minute, second});
}

}  // namespace quillet
