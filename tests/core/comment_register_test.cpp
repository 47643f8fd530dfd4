#include "core/comment_register.hpp"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

std::string nth_comment(int i) {
  return "NOTE " + std::to_string(i);
}

TEST(CommentRegister, RepeatedCommentKeepsItsNumberAndIsListedOnce) {
  CommentRegister reg;
  const CommentNumber first = reg.register_comment("fence line");
  EXPECT_EQ(first.number, 1);
  EXPECT_TRUE(first.is_new_line);
  const CommentNumber again = reg.register_comment("fence line");
  EXPECT_EQ(again.number, 1);
  EXPECT_FALSE(again.is_new_line);

  const CommentNumber other = reg.register_comment("pipe");
  EXPECT_EQ(other.number, 2);
  EXPECT_TRUE(other.is_new_line);
  EXPECT_EQ(reg.register_comment("fence line").number, 1);
  EXPECT_EQ(reg.entry(1), "FENCE LINE      ");
  EXPECT_EQ(reg.entry(2), "PIPE            ");
  EXPECT_EQ(reg.entry(3), "________________");
}

TEST(CommentRegister, CaseTrailingBlanksAndLengthDoNotMakeNewEntries) {
  CommentRegister reg;
  EXPECT_EQ(reg.register_comment("Wet Ground").number, 1);
  const CommentNumber upper = reg.register_comment("WET GROUND      ");
  EXPECT_EQ(upper.number, 1);
  EXPECT_FALSE(upper.is_new_line);
  EXPECT_FALSE(reg.register_comment("wet ground").is_new_line);
  // Only the first 16 characters are a comment.
  EXPECT_EQ(reg.register_comment("abcdefghijklmnopXYZ").number, 2);
  EXPECT_EQ(reg.register_comment("ABCDEFGHIJKLMNOP").number, 2);
  EXPECT_EQ(reg.entry(2), "ABCDEFGHIJKLMNOP");
  // A leading blank is part of the text.
  EXPECT_EQ(reg.register_comment(" wet ground").number, 3);
}

TEST(CommentRegister, UnderscoresLookLikeAFreeEntry) {
  CommentRegister reg;
  const CommentNumber first = reg.register_comment("________________");
  EXPECT_EQ(first.number, 1);
  EXPECT_TRUE(first.is_new_line);
  // The entry still reads as free, so the next comment takes it over.
  const CommentNumber next = reg.register_comment("road");
  EXPECT_EQ(next.number, 1);
  EXPECT_TRUE(next.is_new_line);
  EXPECT_EQ(reg.entry(1), "ROAD            ");
}

TEST(CommentRegister, EntryHundredIsReusedAndListedAgain) {
  CommentRegister reg;
  for (int i = 1; i <= 99; ++i) {
    const CommentNumber n = reg.register_comment(nth_comment(i));
    ASSERT_EQ(n.number, i);
    ASSERT_TRUE(n.is_new_line);
  }
  for (const char* comment : {"one more", "one more", "yet another", "ONE MORE"}) {
    SCOPED_TRACE(comment);
    const CommentNumber n = reg.register_comment(comment);
    EXPECT_EQ(n.number, 100);
    EXPECT_TRUE(n.is_new_line);
  }
  EXPECT_EQ(reg.entry(100), "ONE MORE        ");
  // Entries 1..99 still answer without a new line.
  const CommentNumber old = reg.register_comment(nth_comment(57));
  EXPECT_EQ(old.number, 57);
  EXPECT_FALSE(old.is_new_line);
  EXPECT_EQ(reg.register_comment(nth_comment(99)).number, 99);
}

TEST(CommentRegister, ClearStartsTheNumberingAgain) {
  CommentRegister reg;
  reg.register_comment("first");
  reg.register_comment("second");
  reg.clear();
  for (int k = 1; k <= CommentRegister::kCapacity; ++k) {
    ASSERT_EQ(reg.entry(k), "________________");
  }
  const CommentNumber n = reg.register_comment("second");
  EXPECT_EQ(n.number, 1);
  EXPECT_TRUE(n.is_new_line);
}

// Expected lines counted out column by column from the layouts.
TEST(CommentLines, ConsoleEchoShowsTheCommentAsRead) {
  std::string line = "left over";
  format_comment_echo(line, "Fence Post", 9, 5, 7);
  // A8 "Comment>", A16 comment + 6 blanks, " at: ", I3 "  9", I3 "  5", I3 "  7".
  EXPECT_EQ(line, "Comment>Fence Post       at:   9  5  7");
  format_comment_echo(line, "abcdefghijklmnopqr", 23, 59, 59);
  EXPECT_EQ(line, "Comment>abcdefghijklmnop at:  23 59 59");
}

TEST(CommentLines, CommentFileLineIsNumberAndUpperCasedText) {
  std::string line;
  format_comment_file_line(line, 1, "Fence Post");
  // I5 "    1", 1X, A16 "FENCE POST" + 6 blanks.
  EXPECT_EQ(line, "    1 FENCE POST      ");
  format_comment_file_line(line, 100, "x");
  EXPECT_EQ(line, "  100 X               ");
}

TEST(CommentLines, GeosoftLineStartsWithABackslash) {
  std::string line;
  format_geosoft_comment_line(line, "Fence Post", 14, 3, 0);
  // '\', A16 "FENCE POST" + 6 blanks, " at: ", I3 " 14", I3 "  3", I3 "  0".
  EXPECT_EQ(line, "\\FENCE POST       at:  14  3  0");
}

}  // namespace
}  // namespace quillet
