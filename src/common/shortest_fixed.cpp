#include "common/shortest_fixed.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "common/decimal_digits.hpp"

namespace quillet {

namespace {

using detail::kDigitPairs;
using detail::u128;
constexpr const std::uint64_t (&kPow10)[20] = detail::kPowersOfTen;

// A finite non-zero value m * 2^-s in magnitude, with the sign apart.
struct Binary {
  std::uint64_t m;
  int s;
  bool negative;
  bool usable;  // normal, not a power of two, and 0 < s <= 60
};

Binary split(float value) {
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const unsigned biased = (bits >> 23) & 0xFF;
  const std::uint64_t fraction = bits & 0x7FFFFF;
  const int s = 150 - static_cast<int>(biased);
  return {fraction | 0x800000, s, (bits >> 31) != 0,
          biased != 0 && biased != 0xFF && fraction != 0 && s > 0 && s <= 60};
}

Binary split(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  const unsigned biased = static_cast<unsigned>(bits >> 52) & 0x7FF;
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  const int s = 1075 - static_cast<int>(biased);
  return {fraction | (std::uint64_t{1} << 52), s, (bits >> 63) != 0,
          biased != 0 && biased != 0x7FF && fraction != 0 && s > 0 && s <= 52};
}

enum class Candidate : std::uint8_t { ReadsBack, Not, Undecided };

// q = the d-decimal number nearest m * 2^-s, times 10^d, and whether q / 10^d reads back as the
// value: within half a unit of the last place, which for a mantissa that is not a power of two
// is 2^-s / 2 on both sides. Exact ties (of the rounding to d decimals, or of q / 10^d between
// two neighbours) are left undecided. m * 10^d must stay below 2^117 and q below 2^64.
Candidate nearest(const Binary& b, unsigned d, std::uint64_t& q) {
  const u128 product = static_cast<u128>(b.m) * kPow10[d];
  const std::uint64_t half = std::uint64_t{1} << (b.s - 1);
  // What the rounding drops or adds, in units of 2^-s / 10^d: s is at most 60.
  const std::uint64_t rest = static_cast<std::uint64_t>(product) & ((half << 1) - 1);
  if (rest == half) return Candidate::Undecided;
  q = static_cast<std::uint64_t>((product + half) >> b.s);
  const std::uint64_t twice_off = 2 * (rest < half ? rest : (half << 1) - rest);
  if (twice_off == kPow10[d]) return Candidate::Undecided;
  return twice_off < kPow10[d] ? Candidate::ReadsBack : Candidate::Not;
}

// Writes the `count` lowest digits of v (leading zeros included) so that they end just before
// `end`, and drops them from v; returns the first digit written.
char* put_low_digits(char* end, std::uint64_t& v, unsigned count) {
  for (; count >= 2; count -= 2, v /= 100) {
    end -= 2;
    std::memcpy(end, kDigitPairs + 2 * (v % 100), 2);
  }
  if (count == 1) {
    *--end = static_cast<char>('0' + v % 10);
    v /= 10;
  }
  return end;
}

using detail::digit_count;

// q / 10^d with d decimals: at least one digit before the point.
char* put_fixed(char* out, bool negative, std::uint64_t q, unsigned d) {
  const unsigned digits = q == 0 ? d + 1 : std::max(digit_count(q), d + 1);
  char* const end = out + (negative ? 1 : 0) + digits + (d > 0 ? 1 : 0);
  char* point = put_low_digits(end, q, d);
  if (d > 0) *--point = '.';
  put_low_digits(point, q, digits - d);
  if (negative) *out = '-';
  return end;
}

// The nearest candidate with `first` decimals, which has the significant digits that always read
// back as the same decimal (6 for float, 15 for double): off by less than 0.12 in its last place
// from any shorter decimal that reads back as the value, it is that decimal padded with zeros,
// and dropping its trailing zeros gives the shortest. When it does not read back, no shorter
// decimal does, and one, two or three more digits give the nearest of the fewest (9 or 17
// significant digits always read back).
char* shortest_from(char* out, const Binary& b, unsigned first, unsigned extra) {
  for (unsigned d = first; d <= first + extra; ++d) {
    std::uint64_t q = 0;
    switch (nearest(b, d, q)) {
      case Candidate::ReadsBack: {
        unsigned decimals = d;
        if (d == first) {
          while (decimals > 0 && q % 10 == 0) {
            q /= 10;
            --decimals;
          }
        } else if (q % 10 == 0) {
          return nullptr;  // a zero at the end would have read back with fewer digits already
        }
        return put_fixed(out, b.negative, q, decimals);
      }
      case Candidate::Undecided:
        return nullptr;
      case Candidate::Not:
        break;
    }
  }
  return nullptr;
}

// Digits of the whole part of a value of at least 1 (0 when it has more than `most`).
unsigned whole_digits(const Binary& b, unsigned most) {
  const std::uint64_t whole = b.m >> b.s;
  unsigned digits = 1;
  while (digits <= most && whole >= kPow10[digits]) ++digits;
  return digits <= most ? digits : 0;
}

}  // namespace

namespace shortest_fixed_detail {

char* fast(char* out, float value) {
  const Binary b = split(value);
  if (!b.usable) return nullptr;
  if ((b.m >> b.s) != 0) {
    const unsigned digits = whole_digits(b, 6);
    return digits == 0 ? nullptr : shortest_from(out, b, 6 - digits, 3);
  }
  // Below 1: the first significant digit is the k-th decimal, the first k with v * 10^k >= 1.
  // Values that would need more than 19 decimals go to std::to_chars.
  const u128 one = static_cast<u128>(1) << b.s;
  for (unsigned k = 1; k + 8 <= 19; ++k) {
    if (static_cast<u128>(b.m) * kPow10[k] >= one) return shortest_from(out, b, k + 5, 3);
  }
  return nullptr;
}

char* fast(char* out, double value) {
  const Binary b = split(value);
  if (!b.usable || (b.m >> b.s) == 0) return nullptr;
  const unsigned digits = whole_digits(b, 15);
  return digits == 0 ? nullptr : shortest_from(out, b, 15 - digits, 2);
}

}  // namespace shortest_fixed_detail

char* write_shortest_fixed(char* out, float value) {
  if (char* end = shortest_fixed_detail::fast(out, value)) return end;
  return std::to_chars(out, out + kShortestFixedRoom, value, std::chars_format::fixed).ptr;
}

char* write_shortest_fixed(char* out, double value) {
  if (char* end = shortest_fixed_detail::fast(out, value)) return end;
  return std::to_chars(out, out + kShortestFixedRoom, value, std::chars_format::fixed).ptr;
}

}  // namespace quillet
