#include "core/byte_scan.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace quillet {
namespace {

// Both searches against memchr, and both masks against the bytes one by one: every length around
// the sixteen-byte steps, the byte at every place or missing, bytes with the high bit set (a sign
// in the vector lanes), and texts that start anywhere in memory.
TEST(ByteScan, FindsAsTheLibraryDoes) {
  std::mt19937_64 rng(1986);
  std::string store(200, ' ');
  for (int trial = 0; trial < 20000; ++trial) {
    const std::size_t offset = rng() % 16;
    const std::size_t size = rng() % (store.size() - offset);
    const char wanted = trial % 3 == 0 ? '\xe9' : trial % 3 == 1 ? '\r' : '\n';
    for (char& c : store) {
      const auto draw = rng() % 40;
      c = draw == 0   ? wanted
          : draw == 1 ? static_cast<char>(wanted ^ 0x80)
                      : static_cast<char>(rng());
      if (c == wanted && rng() % 4 != 0) c = 'x';
    }
    const char* const data = store.data() + offset;
    const auto* expected = static_cast<const char*>(std::memchr(data, wanted, size));
    ASSERT_EQ(find_byte(data, size, wanted), expected) << trial;
    ASSERT_EQ(byte_scan::find_portable(data, size, wanted), expected) << trial;
    if (size >= 16) {
      unsigned expected_mask = 0;
      for (unsigned k = 0; k < 16; ++k) expected_mask |= (data[k] == wanted ? 1u : 0u) << k;
      ASSERT_EQ(byte_mask(data, wanted), expected_mask) << trial;
      ASSERT_EQ(byte_scan::mask_portable(data, wanted), expected_mask) << trial;
    }
  }
}

}  // namespace
}  // namespace quillet
