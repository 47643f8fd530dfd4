// The register of the operator's comments of one output file, and the three lines a comment
// produces: the console echo, the comment-file line and the Geosoft data-file line.
//
// The register only numbers comments. Which of the lines are written, to which file, and the
// current comment number `CN` belong to the caller (the run), so these pieces hold no files and
// no run state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

inline constexpr std::size_t kCommentLength = 16;

struct CommentNumber {
  int number;        // 1..100: the comment's entry, the value of `CN`
  bool is_new_line;  // the comment was stored: list it in the comment file with this number
};

// `COMMENT_TABLE`: the distinct comments of one output file, numbered 1..100.
class CommentRegister {
 public:
  static constexpr int kCapacity = 100;
  // A free entry. A comment of 16 underscores is therefore taken for a free entry.
  static constexpr std::string_view kFreeEntry = "________________";

  CommentRegister() { clear(); }

  // Frees every entry: the next comment is number 1 again.
  void clear();

  // Numbers a comment. It is upper-cased and blank-padded or cut to 16 characters first, so
  // comments differing only in case are one entry. The entries are searched from 1: an entry equal
  // to the comment gives its number; a free entry, or entry 100 once 1..99 are taken, receives the
  // comment and gives its number with a new comment-file line. Entry 100 is thus overwritten and
  // listed again by every comment that is not among entries 1..99.
  CommentNumber register_comment(std::string_view comment);

  // Entry `number` (1..100), 16 characters.
  std::string_view entry(int number) const;

 private:
  std::array<std::array<char, kCommentLength>, kCapacity> table_;
};

// The console echo of a comment line: "Comment>", the comment as read (16 characters), " at: " and
// the time, as (A8, A16, ' at: ', 3I3).
void format_comment_echo(std::string& line, std::string_view comment, std::int32_t hour,
                         std::int32_t minute, std::int32_t second);

// The comment-file line of a newly registered comment: (I5, 1X, A16) with the entry number and
// the upper-cased comment.
void format_comment_file_line(std::string& line, std::int32_t number, std::string_view comment);

// The comment line of a Geosoft XYZ data file: a backslash, the comment upper-cased (A16),
// " at: " and the time (3I3).
void format_geosoft_comment_line(std::string& line, std::string_view comment, std::int32_t hour,
                                 std::int32_t minute, std::int32_t second);

}  // namespace quillet
