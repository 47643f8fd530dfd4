#include "common/shortest_fixed.hpp"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "common/decimal_digits.hpp"

namespace quillet {

namespace {

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
          biased != 0 && biased != 0x7FF && fraction != 0 && s > 0 && s <= 60};
}

enum class Candidate : std::uint8_t { ReadsBack, Not, Undecided };

// q = the d-decimal number nearest m * 2^-s, times 10^d, and whether q / 10^d reads back as the
// value: within half a unit of the last place, which for a mantissa that is not a power of two
// is 2^-s / 2 on both sides. Exact ties (of the rounding to d decimals, or of q / 10^d between
// two neighbours) are left undecided. m * 10^d must stay below 2^117 and q below 2^64; Wide is
// u128, or std::uint64_t where m * 10^d stays below 2^63 (a float of at least 1).
template <typename Wide>
[[gnu::always_inline]] inline Candidate nearest(const Binary& b, unsigned d, std::uint64_t& q) {
  const Wide product = static_cast<Wide>(b.m) * kPow10[d];
  const std::uint64_t half = std::uint64_t{1} << (b.s - 1);
  // What the rounding drops or adds, in units of 2^-s / 10^d: s is at most 60.
  const std::uint64_t rest = static_cast<std::uint64_t>(product) & ((half << 1) - 1);
  if (rest == half) return Candidate::Undecided;
  q = static_cast<std::uint64_t>((product + half) >> b.s);
  const std::uint64_t twice_off = 2 * (rest < half ? rest : (half << 1) - rest);
  if (twice_off == kPow10[d]) return Candidate::Undecided;
  return twice_off < kPow10[d] ? Candidate::ReadsBack : Candidate::Not;
}

using detail::digit_count;

// The eight decimal digits of v < 10^8 (leading zeros included), one a byte from the lowest
// byte up, as numbers 0 to 9: v is split into halves of four digits, each half into pairs, each
// pair into digits, every lane at once (the quotients by 10^4, 100 and 10 as multiplications by
// rounded-up reciprocals, exact in these ranges).
[[gnu::always_inline]] constexpr std::uint64_t eight_digits(std::uint32_t v) {
  const std::uint64_t x = v;
  const std::uint64_t high = (x * 109951163) >> 40;
  const std::uint64_t halves = high + ((x - high * 10000) << 32);
  const std::uint64_t hundreds = ((halves * 5243) >> 19) & 0x0000007F0000007FULL;
  const std::uint64_t pairs = hundreds + ((halves - hundreds * 100) << 16);
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000FULL;
  return tens + ((pairs - tens * 10) << 8);
}

// Stores the digits of `eight_digits` as characters, the first digit first.
void store_digits(char* out, std::uint64_t digits) {
  digits += 0x3030303030303030ULL;
  if constexpr (std::endian::native == std::endian::big) digits = __builtin_bswap64(digits);
  std::memcpy(out, &digits, 8);
}

// Digits 0 at the end of `eight_digits`' digits (8 when they are all 0).
unsigned trailing_zero_digits(std::uint64_t digits) {
  return digits == 0 ? 8 : static_cast<unsigned>(std::countl_zero(digits)) / 8;
}

// q / 10^d with d decimals: at least one digit before the point. With `trim`, the trailing
// zeros of the decimals go, and the point with them when none is left. Writes up to 50
// characters from `out` on, whatever the length of the text.
char* put_fixed(char* out, bool negative, std::uint64_t q, unsigned d, bool trim) {
  const unsigned digits = q == 0 ? d + 1 : std::max(digit_count(q), d + 1);
  char* p = out;
  if (negative) *p++ = '-';
  if (digits <= 8) {
    // One word of digits: the integer part and the decimals shifted down to its first byte.
    const std::uint64_t eight = eight_digits(static_cast<std::uint32_t>(q));
    store_digits(p, eight >> (8 * (8 - digits)));
    p += digits - d;
    if (d == 0) return p;
    const unsigned zeros = trim ? trailing_zero_digits(eight) : 0;
    if (zeros >= d) return p;
    *p++ = '.';
    store_digits(p, eight >> (8 * (8 - d)));
    return p + d - zeros;
  }
  if (digits <= 16 && std::endian::native == std::endian::little) {
    // Two words of digits, taken as one 16-byte number: the same shifts on 16 places.
    const std::uint64_t upper = q / 100000000;
    const std::uint64_t low = eight_digits(static_cast<std::uint32_t>(q - upper * 100000000));
    const std::uint64_t high = eight_digits(static_cast<std::uint32_t>(upper));
    const u128 sixteen =
        (static_cast<u128>(low) << 64 | high) +
        static_cast<u128>(0x3030303030303030ULL) * ((static_cast<u128>(1) << 64) + 1);
    const u128 integer_part = sixteen >> (8 * (16 - digits));
    std::memcpy(p, &integer_part, 16);
    p += digits - d;
    if (d == 0) return p;
    const unsigned zeros =
        !trim ? 0 : (low != 0 ? trailing_zero_digits(low) : 8 + trailing_zero_digits(high));
    if (zeros >= d) return p;
    *p++ = '.';
    const u128 decimals = sixteen >> (8 * (16 - d));
    std::memcpy(p, &decimals, 16);
    return p + d - zeros;
  }
  // q's digits end at the 24th place of `text`; 24 more places let every copy below take 24.
  char text[48] = {};
  std::uint64_t last = 0;
  if (q < 100000000) {
    last = eight_digits(static_cast<std::uint32_t>(q));
    std::memset(text, '0', 16);
  } else {
    const std::uint64_t upper = q / 100000000;
    last = eight_digits(static_cast<std::uint32_t>(q - upper * 100000000));
    store_digits(text, eight_digits(static_cast<std::uint32_t>(upper / 100000000)));
    store_digits(text + 8, eight_digits(static_cast<std::uint32_t>(upper % 100000000)));
  }
  store_digits(text + 16, last);
  unsigned shown = d;
  if (trim && d > 0) {
    unsigned zeros = trailing_zero_digits(last);
    for (unsigned k = 16; zeros == 24 - k && k > 0; --k) zeros += text[k - 1] == '0' ? 1 : 0;
    shown = zeros >= d ? 0 : d - zeros;
  }
  std::memcpy(p, text + 24 - digits, 24);
  p += digits - d;
  if (shown > 0) {
    *p++ = '.';
    std::memcpy(p, text + 24 - d, 24);
    p += shown;
  }
  return p;
}

// The nearest candidate with `first` decimals, which has the significant digits that always read
// back as the same decimal (6 for float, 15 for double): off by less than 0.12 in its last place
// from any shorter decimal that reads back as the value, it is that decimal padded with zeros,
// and dropping its trailing zeros gives the shortest. When it does not read back, no shorter
// decimal does, and one, two or three more digits give the nearest of the fewest (9 or 17
// significant digits always read back).
template <typename Wide>
[[gnu::always_inline]] inline char* shortest_from(char* out, const Binary& b, unsigned first,
                                                  unsigned extra) {
  for (unsigned d = first; d <= first + extra; ++d) {
    std::uint64_t q = 0;
    switch (nearest<Wide>(b, d, q)) {
      case Candidate::ReadsBack:
        if (d == first) return put_fixed(out, b.negative, q, d, true);
        // A zero at the end would have read back with fewer digits already.
        if (q % 10 == 0) return nullptr;
        return put_fixed(out, b.negative, q, d, false);
      case Candidate::Undecided:
        return nullptr;
      case Candidate::Not:
        break;
    }
  }
  return nullptr;
}

// Below 1: the first significant digit is the k-th decimal, the first k with m * 10^k >= 2^s;
// 0 when it is beyond the `last`-th. m * 10^last stays below 2^64 (a float's m below 2^24 with
// `last` up to 11, a double's below 2^53 with `last` up to 3), and s is at most 60.
unsigned first_decimal(const Binary& b, unsigned last) {
  const std::uint64_t one = std::uint64_t{1} << b.s;
  for (unsigned k = 1; k <= last; ++k) {
    if (b.m * kPow10[k] >= one) return k;
  }
  return 0;
}

// What the first candidate of a float leaves: later candidates, and values below 1 (whose first
// significant digit is the k-th decimal). Apart, so that the common path keeps to few registers.
[[gnu::noinline]] char* float_rest(char* out, const Binary& b, unsigned whole_digits) {
  if (whole_digits > 0) return shortest_from<std::uint64_t>(out, b, 6 - whole_digits, 3);
  // Values that would need more than 19 decimals go to std::to_chars.
  const unsigned k = first_decimal(b, 19 - 8);
  if (k == 0) return nullptr;
  // Up to the third decimal, m * 10^(k + 8) < 2^24 * 10^11 stays below 2^63.
  return k <= 3 ? shortest_from<std::uint64_t>(out, b, k + 5, 3)
                : shortest_from<u128>(out, b, k + 5, 3);
}

// The integer path of a float: the candidate of 6 significant digits first, then float_rest.
char* integer_path(char* out, float value) {
  const Binary b = split(value);
  if (!b.usable) return nullptr;
  const std::uint64_t whole = b.m >> b.s;
  if (whole == 0) return float_rest(out, b, 0);
  const unsigned digits = digit_count(whole);
  if (digits > 6) return nullptr;
  // Most values end here: the first candidate, as shortest_from takes it, written directly.
  // Its q lies in [10^5, 10^6], so it has 6 digits (7 when it rounded up to 10^6), at least
  // one more than its decimals. m < 2^24 and d <= 8: m * 10^d < 2^51.
  const unsigned d = 6 - digits;
  std::uint64_t q = 0;
  if (nearest<std::uint64_t>(b, d, q) != Candidate::ReadsBack) return float_rest(out, b, digits);
  char* p = out;
  if (b.negative) *p++ = '-';
  const unsigned length = q >= 1000000 ? 7 : 6;
  const std::uint64_t eight = eight_digits(static_cast<std::uint32_t>(q));
  store_digits(p, eight >> (8 * (8 - length)));
  p += length - d;
  const unsigned zeros = trailing_zero_digits(eight);
  if (zeros >= d) return p;
  *p++ = '.';
  store_digits(p, eight >> (8 * (8 - d)));
  return p + d - zeros;
}

// `v` < 10000 in decimal.
[[gnu::always_inline]] inline char* put_below_10000(char* p, std::uint32_t v) {
  using detail::kDigitPairs;
  if (v < 10) {
    *p = static_cast<char>('0' + v);
    return p + 1;
  }
  if (v < 100) {
    std::memcpy(p, kDigitPairs + 2 * v, 2);
    return p + 2;
  }
  const std::uint32_t high = v / 100;
  const bool three = high < 10;
  // Of three digits the first is the second character of its pair.
  std::memcpy(p, kDigitPairs + 2 * high + three, 2);
  std::memcpy(p + 2 - three, kDigitPairs + 2 * (v - high * 100), 2);
  return p + 4 - three;
}

// The `n` (1 to 4) digits of `v` < 10^n, zeros first.
[[gnu::always_inline]] inline char* put_digits(char* p, std::uint32_t v, unsigned n) {
  using detail::kDigitPairs;
  if (n <= 2) {
    // One digit is the second character of the pair of its tenfold.
    std::memcpy(p, kDigitPairs + 2 * (n == 1 ? v * 10 : v), 2);
    return p + n;
  }
  const std::uint32_t high = v / 100;
  std::memcpy(p, kDigitPairs + 2 * high + (n == 3), 2);
  std::memcpy(p + n - 2, kDigitPairs + 2 * (v - high * 100), 2);
  return p + n;
}

// `v` in decimal, most values here having one to four digits.
[[gnu::always_inline]] inline char* put_whole(char* p, std::uint32_t v) {
  if (v < 10000) return put_below_10000(p, v);
  if (v < 100000000) {
    const std::uint32_t high = v / 10000;
    return put_digits(put_below_10000(p, high), v - high * 10000, 4);
  }
  const std::uint32_t high = v / 100000000;
  p = put_below_10000(p, high);
  store_digits(p, eight_digits(v - high * 100000000));
  return p + 8;
}

// The point and the `d` (1 to 4) decimals of `v` < 10^d, zeros first.
[[gnu::always_inline]] inline char* put_decimals(char* p, std::uint32_t v, unsigned d) {
  *p++ = '.';
  return put_digits(p, v, d);
}

// 10^d as doubles, exact for every d here.
constexpr double kPow10Double[13] = {1e0, 1e1, 1e2, 1e3,  1e4,  1e5, 1e6,
                                     1e7, 1e8, 1e9, 1e10, 1e11, 1e12};

// A float's magnitude v times 10^d is exact in a double for d <= 12 (24 bits of mantissa times
// 5^d below 2^29), and so is half its unit in the last place times 10^d. So the decimals d = 0,
// 1, 2, ... can be tried in turn, each with a few double operations: q = v * 10^d rounded to an
// integer reads back as the value when |q - v * 10^d| is below that half unit (the interval's
// ends, where the mantissa's parity would decide, and exact ties between two candidates go to
// the integer path). The first d that reads back gives the shortest text, and its q has no zero
// at the end (q / 10 would have read back with d - 1 decimals). The logger's values, tenths and
// hundredths, stop after one to three tries.
[[gnu::always_inline]] inline char* float_by_double(char* out, float value) {
#if FLT_EVAL_METHOD == 0
  const auto bits = std::bit_cast<std::uint32_t>(value);
  const unsigned biased = (bits >> 23) & 0xFF;
  // Normal, below 2^23 (below 1/2 a unit in the last place), and not a power of two, whose
  // lower neighbour is nearer than the upper one.
  if (biased == 0 || biased >= 150 || (bits & 0x7FFFFF) == 0) return nullptr;
  const double v = std::fabs(static_cast<double>(value));
  // Half a unit in the last place: 2^(biased - 151).
  const double half = std::bit_cast<double>(std::uint64_t{biased + 1023 - 151} << 52);
  // Adding and taking away 2^52 rounds a double in [0, 2^52) to the nearest integer.
  constexpr double kRound = 4503599627370496.0;
  for (unsigned d = 0; d < 13; ++d) {
    const double x = v * kPow10Double[d];
    const double q = (x + kRound) - kRound;
    const double off = std::fabs(x - q);
    const double bound = half * kPow10Double[d];
    if (off <= bound) {
      // At an end of the interval (off = bound), or q - 1 or q + 1 as near and reading back too
      // (off = 0.5 < bound); off is at most 0.5.
      if (off >= std::min(bound, 0.5)) return nullptr;
      if (q >= 100000000.0 || d > 4) {
        return put_fixed(out, bits >> 31, static_cast<std::uint64_t>(q), d, false);
      }
      // No decimal that reads back lies across an integer from the value (that integer is a
      // float of its own below 2^23), so the integer part is the value's.
      const auto whole = static_cast<std::uint32_t>(v);
      const auto decimals = static_cast<std::uint32_t>(q) - whole * kPow10[d];
      char* p = out;
      *p = '-';
      p += bits >> 31;
      p = put_whole(p, whole);
      return d == 0 ? p : put_decimals(p, decimals, d);
    }
  }
#else
  (void)out;
  (void)value;
#endif
  return nullptr;
}

// `v` < 10^15 in decimal.
char* put_whole(char* p, std::uint64_t v) {
  if (v < 100000000) return put_whole(p, static_cast<std::uint32_t>(v));
  const std::uint64_t high = v / 100000000;
  p = put_whole(p, static_cast<std::uint32_t>(high));
  store_digits(p, eight_digits(static_cast<std::uint32_t>(v - high * 100000000)));
  return p + 8;
}

// The point and the `d` (1 to 16) decimals of `v` < 10^d, zeros first; with `trim`, without
// its zeros at the end, and without the point where none is left.
char* put_long_decimals(char* p, std::uint64_t v, unsigned d, bool trim) {
  if (trim && v == 0) return p;
  *p++ = '.';
  if (d <= 8) {
    const std::uint64_t digits = eight_digits(static_cast<std::uint32_t>(v));
    store_digits(p, digits >> (8 * (8 - d)));
    return p + d - (trim ? trailing_zero_digits(digits) : 0);
  }
  const std::uint64_t high = v / 100000000;
  const auto rest = static_cast<std::uint32_t>(v - high * 100000000);
  char* last = p + d - 8;
  if (d <= 12) {
    put_digits(p, static_cast<std::uint32_t>(high), d - 8);
  } else {
    store_digits(p, eight_digits(static_cast<std::uint32_t>(high)) >> (8 * (16 - d)));
  }
  const std::uint64_t digits = eight_digits(rest);
  store_digits(last, digits);
  if (!trim) return last + 8;
  if (rest != 0) return last + 8 - trailing_zero_digits(digits);
  // The last eight are zeros, and some digit before them is not.
  while (last[-1] == '0') --last;
  return last;
}

// A double of at least 1 below 2^52, whose integer part is `whole`: the candidates of 15, 16 and
// 17 significant digits as shortest_from takes them, written as that integer part (no decimal
// that reads back lies across an integer from the value: the integer is a double of its own)
// and the decimals.
char* double_from_one(char* out, const Binary& b, std::uint64_t whole) {
  const unsigned digits = digit_count(whole);
  if (digits > 15) return nullptr;
  const unsigned first = 15 - digits;
  for (unsigned d = first; d <= first + 2; ++d) {
    std::uint64_t q = 0;
    switch (nearest<u128>(b, d, q)) {
      case Candidate::ReadsBack: {
        // A zero at the end would have read back with fewer digits already.
        if (d != first && q % 10 == 0) return nullptr;
        const std::uint64_t decimals = q - whole * kPow10[d];
        if (decimals >= kPow10[d]) return nullptr;
        char* p = out;
        *p = '-';
        p += b.negative;
        p = put_whole(p, whole);
        return d == 0 ? p : put_long_decimals(p, decimals, d, d == first);
      }
      case Candidate::Undecided:
        return nullptr;
      case Candidate::Not:
        break;
    }
  }
  return nullptr;
}

// The shortest text of a double of thousandths: the decimal itself, which has fewer than 15
// significant digits, and any two such decimals read back as different doubles.
[[gnu::always_inline]] inline char* thousandths_direct(char* out, double thousandths) {
  if (!(thousandths >= 0.0 && thousandths < 4e9) || std::signbit(thousandths)) return nullptr;
  const auto k = static_cast<std::uint32_t>(thousandths);
  if (static_cast<double>(k) != thousandths) return nullptr;
  const std::uint32_t whole = k / 1000;
  const std::uint32_t rest = k - whole * 1000;
  char* p = put_whole(out, whole);
  if (rest == 0) return p;
  // Without the zeros at the end.
  const unsigned d = rest % 100 == 0 ? 1 : (rest % 10 == 0 ? 2 : 3);
  return put_decimals(p, d == 1 ? rest / 100 : (d == 2 ? rest / 10 : rest), d);
}

}  // namespace

namespace shortest_fixed_detail {

char* by_double(char* out, float value) {
  return float_by_double(out, value);
}

char* fast(char* out, float value) {
  if (char* end = float_by_double(out, value)) return end;
  return integer_path(out, value);
}

char* fast(char* out, double value) {
  const Binary b = split(value);
  if (!b.usable) return nullptr;
  const std::uint64_t whole = b.m >> b.s;
  if (whole != 0) return double_from_one(out, b, whole);
  // Below 1 (s is at most 60 here: down to 2^-8), as for float with 15 significant digits.
  const unsigned k = first_decimal(b, 19 - 16);
  return k == 0 ? nullptr : shortest_from<u128>(out, b, k + 14, 2);
}

}  // namespace shortest_fixed_detail

namespace {

// Zero, which has no binary form of the kind the integer path takes: "0" or "-0".
template <typename Real>
char* put_zero(char* out, Real value) {
  if (std::signbit(value)) *out++ = '-';
  *out++ = '0';
  return out;
}

}  // namespace

char* write_shortest_fixed(char* out, float value) {
  if (char* end = float_by_double(out, value)) return end;
  if (value == 0.0f) return put_zero(out, value);
  if (char* end = integer_path(out, value)) return end;
  return std::to_chars(out, out + kShortestFixedRoom, value, std::chars_format::fixed).ptr;
}

char* write_shortest_fields(char* out, const float* values, std::size_t count, char separator) {
  for (std::size_t k = 0; k < count; ++k) {
    *out++ = separator;
    const float value = values[k];
    if (char* end = float_by_double(out, value)) {
      out = end;
    } else if (std::isfinite(value)) {
      out = write_shortest_fixed(out, value);
    }
  }
  return out;
}

char* write_shortest_thousandths(char* out, double thousandths) {
  if (char* end = thousandths_direct(out, thousandths)) return end;
  return write_shortest_fixed(out, thousandths / 1000.0);
}

char* write_shortest_fixed(char* out, double value) {
  if (value == 0.0) return put_zero(out, value);
  if (char* end = shortest_fixed_detail::fast(out, value)) return end;
  return std::to_chars(out, out + kShortestFixedRoom, value, std::chars_format::fixed).ptr;
}

}  // namespace quillet
