#include "common/text.hpp"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(Shiftup, UpperCasesLettersOnlyAndPadsOrCuts) {
  EXPECT_EQ(SHIFTUP("xg", 16), "XG              ");
  EXPECT_EQ(SHIFTUP("a-z_09{}", 8), "A-Z_09{}");
  EXPECT_EQ(SHIFTUP("abcdef  ", 3), "ABC");
  EXPECT_EQ(SHIFTUP("", 2), "  ");
  // Only the first 255 characters of the trimmed text take part.
  EXPECT_EQ(SHIFTUP(std::string(300, 'q'), 300), std::string(255, 'Q') + std::string(45, ' '));
}

TEST(TextHelpers, ColumnsAndIndexFollowFortranCounting) {
  EXPECT_EQ(columns(" T$123", 2, 3), "T$");
  EXPECT_EQ(columns("abc", 2, 10), "bc");
  EXPECT_EQ(columns("abc", 5, 10), "");
  EXPECT_EQ(index_of("xxH$yy", "H$"), 3u);
  EXPECT_EQ(index_of("xx", "H$"), 0u);
  EXPECT_EQ(trim_right("ab  "), "ab");
  EXPECT_EQ(trimmed_length("    "), 0u);
}

TEST(TextHelpers, CaretNotationShowsControlBytesAndKeepsTheRest) {
  EXPECT_EQ(caret_notation("D$ 12\x1b[2J\x7f"), "D$ 12^[[2J^?");
  EXPECT_EQ(caret_notation(std::string("a\0b\x1f\r\n", 6)), "a^@b^_^M^J");
  // Tab, blanks, printable text and bytes above 127 pass unchanged.
  EXPECT_EQ(caret_notation("a\tb ~\xc3\xa9^"), "a\tb ~\xc3\xa9^");
  EXPECT_EQ(caret_notation(""), "");
}

}  // namespace
}  // namespace quillet
