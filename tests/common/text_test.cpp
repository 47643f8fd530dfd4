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

TEST(TextHelpers, CaretNotationDisarmsEveryControlByte) {
  EXPECT_EQ(caret_notation(std::string("a\x1b[2Jb\tc\r\x7f\0d", 12)), "a^[[2Jb^Ic^M^?^@d");
  EXPECT_EQ(caret_notation("10:14 \xc3\xa9 ~"), "10:14 \xc3\xa9 ~");  // UTF-8 stays
  for (int byte = 0; byte < 256; ++byte) {
    const std::string shown = caret_notation(std::string(1, static_cast<char>(byte)));
    for (const char c : shown) {
      const auto b = static_cast<unsigned char>(c);
      EXPECT_TRUE(b >= 0x20 && b != 0x7f) << byte;
    }
  }
}

TEST(TextHelpers, CaretNotationOfConsoleLinesKeepsTabs) {
  EXPECT_EQ(caret_notation("D$ 12\x1b[2J\x7f", TabByte::Kept), "D$ 12^[[2J^?");
  EXPECT_EQ(caret_notation(std::string("a\0b\x1f\r\n", 6), TabByte::Kept), "a^@b^_^M^J");
  EXPECT_EQ(caret_notation("a\tb ~\xc3\xa9^", TabByte::Kept), "a\tb ~\xc3\xa9^");
}

}  // namespace
}  // namespace quillet
