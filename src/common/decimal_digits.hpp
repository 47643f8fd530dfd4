// The decimal building blocks of the number writers (the fixed-column writer and the shortest
// fixed-point form of code C): powers of ten, digit pairs, and the digit count of an integer.
// Internal to common and to the CSV rows, which put their integers and dates by digit pairs.
#pragma once

#include <bit>
#include <cstdint>

namespace quillet::detail {

__extension__ typedef unsigned __int128 u128;  // exact products of a mantissa and 10^d

// 10^k for k = 0..19, every power that fits in 64 bits.
inline constexpr std::uint64_t kPowersOfTen[20] = {1ULL,
                                                   10ULL,
                                                   100ULL,
                                                   1000ULL,
                                                   10000ULL,
                                                   100000ULL,
                                                   1000000ULL,
                                                   10000000ULL,
                                                   100000000ULL,
                                                   1000000000ULL,
                                                   10000000000ULL,
                                                   100000000000ULL,
                                                   1000000000000ULL,
                                                   10000000000000ULL,
                                                   100000000000000ULL,
                                                   1000000000000000ULL,
                                                   10000000000000000ULL,
                                                   100000000000000000ULL,
                                                   1000000000000000000ULL,
                                                   10000000000000000000ULL};

// "00" to "99": two digits a division by 100.
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Number of decimal digits of `v`, 0 for 0.
[[gnu::always_inline]] inline unsigned digit_count(std::uint64_t v) {
  if (v == 0) return 0;
  // 1233 / 4096 is just above log10(2): a first guess from the bit length, then one comparison.
  const auto guess = static_cast<unsigned>((64 - std::countl_zero(v)) * 1233) >> 12;
  return guess + (v >= kPowersOfTen[guess] ? 1 : 0);
}

}  // namespace quillet::detail
