// The word-wide reader of short I fields held to the general reader on fields made of the
// characters that matter to either (blanks, signs, digits, a point, a letter): whatever the fast
// path takes, it must read as the general one does, and it must take the shapes the logger writes.
#include "common/layout_fast_paths.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

namespace quillet::layout_detail {
namespace {

// The word the engine loads for a field of up to 8 columns: the field in the highest bytes,
// blanks before it.
std::uint64_t word_of(const std::string& field) {
  std::string bytes(8 - field.size(), ' ');
  bytes += field;
  std::uint64_t word;
  std::memcpy(&word, bytes.data(), 8);
  return word;
}

TEST(LayoutFastPaths, ShortIntegerFieldsReadAsTheGeneralReaderReadsThem) {
  if (std::endian::native != std::endian::little) GTEST_SKIP() << "no fast path here";
  std::mt19937_64 rng(27);
  constexpr char kAlphabet[] = "  +-0123456789.x";
  int taken = 0;
  for (int k = 0; k < 300000; ++k) {
    std::string field(1 + rng() % 8, ' ');
    for (char& c : field) c = kAlphabet[rng() % (sizeof kAlphabet - 1)];
    // Half of them in the logger's shape: blanks, maybe a sign, digits.
    if (k % 2 == 0) {
      const std::size_t digits = rng() % (field.size() + 1);
      for (std::size_t i = 0; i < field.size(); ++i) {
        field[i] = i + digits < field.size() ? ' ' : static_cast<char>('0' + rng() % 10);
      }
      if (digits > 0 && digits < field.size() && rng() % 3 == 0) field[field.size() - digits - 1] = '-';
    }
    std::int32_t fast = -7;
    std::int32_t general = -7;
    const bool general_ok = read_int_general(field, general);
    if (read_int_word(word_of(field), fast)) {
      ++taken;
      ASSERT_TRUE(general_ok) << '"' << field << '"';
      ASSERT_EQ(fast, general) << '"' << field << '"';
    } else {
      ASSERT_EQ(fast, -7) << '"' << field << "\" declined, but its variable changed";
      if (k % 2 == 0) ADD_FAILURE() << '"' << field << "\" is in the shape the fast path takes";
    }
  }
  EXPECT_GT(taken, 150000);
}

}  // namespace
}  // namespace quillet::layout_detail
