// Writing a record through a layout: the output half of the format engine.
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/decimal_digits.hpp"
#include "common/field_writer.hpp"
#include "common/layout.hpp"
#include "common/layout_plan.hpp"

namespace quillet {

namespace {

using namespace layout_detail;

// Values that do not suit the layout are a fault of the caller, found by the first test that
// writes the record, like a malformed layout text: a record written without them would be wrong.
[[noreturn, gnu::cold]] void bad_values(std::string_view text, std::size_t count, int n) {
  std::fprintf(stderr, "quillet: %zu values do not suit layout \"%.*s\" (n = %d)\n", count,
               static_cast<int>(text.size()), text.data(), n);
  std::abort();
}

using detail::digit_count;
using detail::kDigitPairs;
using detail::u128;
// 10^d as 64-bit integers.
constexpr const std::uint64_t (&kPow10_64)[20] = detail::kPowersOfTen;

unsigned digit_count(u128 v) {
  unsigned extra = 0;
  for (; v > UINT64_MAX; v /= 10) ++extra;
  return extra + digit_count(static_cast<std::uint64_t>(v));
}

[[gnu::always_inline]] inline char* put_pair(char* end, std::size_t pair) {
  end -= 2;
  std::memcpy(end, kDigitPairs + 2 * pair, 2);
  return end;
}

// Four digits at a time: one division by 10^4 per step keeps the chain of dependent divisions,
// which bounds the speed of digit generation, half as long as pairs would.
[[gnu::always_inline]] inline char* put_four_digits(char* end, unsigned four) {
  return put_pair(put_pair(end, four % 100), four / 100);
}

// Writes the decimal digits of `v` so that they end just before `end`; returns the first digit
// (`end` itself when v is 0). `Unsigned` is 32 or 64 bits: the divisions of 32-bit values by
// constants cost fewer instructions.
template <typename Unsigned>
[[gnu::always_inline]] inline char* put_digits(char* end, Unsigned v) {
  while (v >= 10000) {
    end = put_four_digits(end, static_cast<unsigned>(v % 10000));
    v /= 10000;
  }
  if (v >= 100) {
    end = put_pair(end, static_cast<unsigned>(v % 100));
    v /= 100;
  }
  if (v >= 10) {
    end = put_pair(end, static_cast<unsigned>(v));
  } else if (v > 0) {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

char* put_digits(char* end, u128 v) {
  for (; v > UINT64_MAX; v /= 10) *--end = static_cast<char>('0' + static_cast<unsigned>(v % 10));
  return put_digits<std::uint64_t>(end, static_cast<std::uint64_t>(v));
}

// Writes the last `count` digits of `v` (with leading zeros) so that they end just before `end`,
// and drops them from `v`; returns the first digit written.
template <typename Unsigned>
[[gnu::always_inline]] inline char* put_low_digits(char* end, Unsigned& v, unsigned count) {
  for (; count >= 4; count -= 4) {
    end = put_four_digits(end, static_cast<unsigned>(v % 10000));
    v /= 10000;
  }
  if (count >= 2) {
    end = put_pair(end, static_cast<unsigned>(v % 100));
    v /= 100;
    count -= 2;
  }
  if (count == 1) {
    *--end = static_cast<char>('0' + static_cast<unsigned>(v % 10));
    v /= 10;
  }
  return end;
}

char* put_low_digits(char* end, u128& v, unsigned count) {
  for (; count > 0; --count, v /= 10)
    *--end = static_cast<char>('0' + static_cast<unsigned>(v % 10));
  return end;
}

// The record being written. The caller's string is filled with blanks up to its capacity once,
// then written through a pointer, so a field costs no string call and blanks (nX, the padding of
// right-justified fields) are passed over rather than written. The string is cut to the record's
// length at the end.
class RecordBuffer {
 public:
  explicit RecordBuffer(std::string& line) : line_(line) {
    line_.assign(std::max<std::size_t>(line_.capacity(), 256), ' ');
  }
  ~RecordBuffer() { line_.resize(used_); }
  RecordBuffer(const RecordBuffer&) = delete;
  RecordBuffer& operator=(const RecordBuffer&) = delete;

  // The next `w` columns, all blank; valid until the next call.
  [[gnu::always_inline]] char* take(std::size_t w) {
    if (used_ + w > line_.size()) line_.resize(std::max(2 * line_.size(), used_ + w), ' ');
    char* field = line_.data() + used_;
    used_ += w;
    return field;
  }

 private:
  std::string& line_;
  std::size_t used_ = 0;
};

void stars(char* field, std::size_t w) {
  std::memset(field, '*', w);
}

void right_justify(char* field, std::size_t w, const char* text, std::size_t len) {
  if (len > w) {
    stars(field, w);
    return;
  }
  std::memcpy(field + (w - len), text, len);
}

inline void put_int(char* field, std::int32_t value, std::uint32_t w) {
  const bool negative = value < 0;
  const std::uint32_t magnitude =
      negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  const unsigned digits = std::max(digit_count(std::uint64_t{magnitude}), 1u);
  if (digits + (negative ? 1 : 0) > w) {
    stars(field, w);
    return;
  }
  char* start = put_digits(field + w, magnitude);
  if (magnitude == 0) *--start = '0';
  if (negative) *--start = '-';
}

constexpr u128 pow10_128(unsigned k) {
  u128 p = 1;
  for (unsigned i = 0; i < k; ++i) p *= 10;
  return p;
}

struct Pow10Table {
  u128 exact[kMaxDecimals + 1];
  double approx[kMaxFixedWidth + 1];
  constexpr Pow10Table() : exact(), approx() {
    for (unsigned k = 0; k <= kMaxDecimals; ++k) exact[k] = pow10_128(k);
    double p = 1;
    for (unsigned k = 0; k <= kMaxFixedWidth; ++k, p *= 10) approx[k] = p;
  }
};
constexpr Pow10Table kPow10;

// The largest mantissa whose product with 10^d stays below 2^63, per d.
constexpr auto kMantissaFor63Bits = [] {
  std::array<std::uint64_t, 19> limits{};
  for (std::size_t d = 0; d < limits.size(); ++d) limits[d] = (UINT64_MAX >> 1) / kPow10_64[d];
  return limits;
}();

// round(a * 10^d) of a finite a >= 0, computed exactly from its binary value with ties to even.
// The caller guarantees that the result fits 128 bits.
[[gnu::always_inline]] inline u128 scaled_rounded(double a, unsigned d) {
  const auto bits = std::bit_cast<std::uint64_t>(a);
  const auto biased = static_cast<int>(bits >> 52);
  std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
  int exponent;
  if (biased == 0) {
    exponent = -1074;
  } else {
    mantissa |= std::uint64_t{1} << 52;
    exponent = biased - 1075;
  }
  if (mantissa == 0) return 0;
  if (exponent >= 0) return (static_cast<u128>(mantissa) << exponent) * kPow10.exact[d];
  const int shift = -exponent;
  // Adding half of 2^shift less one, plus the last bit of the truncated quotient, before the
  // shift rounds to nearest with ties to even.
  if (shift < 64 && d < 19 && mantissa <= kMantissaFor63Bits[d]) {
    // The common case: a float with up to 11 decimals, a double with up to 3.
    const std::uint64_t product = mantissa * kPow10_64[d];
    const std::uint64_t truncated = product >> shift;
    return (product + ((std::uint64_t{1} << (shift - 1)) - 1) + (truncated & 1)) >> shift;
  }
  if (shift >= 128) return 0;  // the product is below 2^127, so below half of 2^shift
  const u128 product = static_cast<u128>(mantissa) * kPow10.exact[d];
  const u128 truncated = product >> shift;
  return (product + ((static_cast<u128>(1) << (shift - 1)) - 1) + (truncated & 1)) >> shift;
}

void put_special(char* field, std::uint32_t w, double v) {
  // gfortran's forms: NaN, Inf or Infinity (with a minus sign when negative), or asterisks.
  if (std::isnan(v)) {
    right_justify(field, w, "NaN", 3);
    return;
  }
  const bool negative = std::signbit(v);
  const unsigned sign = negative ? 1 : 0;
  if (w >= 8 + sign) {
    right_justify(field, w, negative ? "-Infinity" : "Infinity", 8 + sign);
  } else if (w >= 3 + sign) {
    right_justify(field, w, negative ? "-Inf" : "Inf", 3 + sign);
  } else {
    stars(field, w);
  }
}

// Writes round(|v| * 10^d) = q as a fixed-point number right-justified in the field.
template <typename Unsigned>
[[gnu::always_inline]] inline void put_fixed_digits(char* field, std::size_t w, unsigned d,
                                                    bool negative, Unsigned q) {
  const unsigned digits = digit_count(q);
  const std::size_t int_digits = digits > d ? digits - d : 0;
  std::size_t len = (negative ? 1 : 0) + int_digits + 1 + d;
  bool leading_zero = false;
  if (int_digits == 0) {
    // The zero before the point goes only where the field has room for it; F.0 needs it.
    leading_zero = len + 1 <= w || d == 0;
    if (leading_zero) ++len;
  }
  if (len > w) {
    stars(field, w);
    return;
  }
  char* start = put_low_digits(field + w, q, d);
  *--start = '.';
  start = put_digits(start, q);
  if (leading_zero) *--start = '0';
  if (negative) *--start = '-';
}

// The text of a fixed-point number q / 10^d that fits its field, ending just before `end`; `room`
// is the columns left of the point.
template <typename Unsigned>
[[gnu::always_inline]] inline void put_fixed_text(char* end, unsigned d, bool negative,
                                                  std::size_t room, Unsigned q) {
  char* start = put_low_digits(end, q, d);
  *--start = '.';
  if (q != 0) {
    start = put_digits(start, q);
  } else if (room > 0) {
    *--start = '0';  // the zero before the point goes only where the field has room for it
  }
  if (negative) *--start = '-';
}

// The same for q below 2^64: the room left of the point decides against powers of ten, with no
// digit count.
[[gnu::always_inline]] inline void put_fixed_digits(char* field, std::size_t w, unsigned d,
                                                    bool negative, std::uint64_t q) {
  const std::size_t sign = negative ? 1 : 0;
  // Columns left of the point; F.0 needs one of them for the zero of a value below 1.
  const std::size_t room = w >= sign + 1 + d ? w - sign - 1 - d : SIZE_MAX;
  if (room == SIZE_MAX || (room + d < 20 && q >= kPow10_64[room + d]) ||
      (room == 0 && d == 0 && q == 0)) {
    stars(field, w);
    return;
  }
  if (q <= UINT32_MAX) {
    put_fixed_text(field + w, d, negative, room, static_cast<std::uint32_t>(q));
  } else {
    put_fixed_text(field + w, d, negative, room, q);
  }
}

inline void put_fixed(char* field, double v, std::uint32_t w, unsigned d) {
  if (!std::isfinite(v)) {
    put_special(field, w, v);
    return;
  }
  const bool negative = std::signbit(v);
  const double a = std::fabs(v);
  const int room = static_cast<int>(w) - static_cast<int>(d) - 1 - (negative ? 1 : 0);
  // The factor 2 keeps the test safe where 10^room is not exact; the digit count decides.
  if (room < 0 || a >= 2 * kPow10.approx[room]) {
    stars(field, w);
    return;
  }
  const u128 q = scaled_rounded(a, d);
  if (q <= UINT64_MAX) {
    put_fixed_digits(field, w, d, negative, static_cast<std::uint64_t>(q));
  } else {
    put_fixed_digits(field, w, d, negative, q);  // only a field wider than 20 gets here
  }
}

// 10^d as doubles, exact for every d here.
constexpr double kScale[9] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// round(|v| * 10^d) of a float with d <= 8, exactly, with ties to even; false for values whose
// product reaches 2^51 (NaN and infinities included). A float's 24-bit mantissa times 10^d =
// 2^d * 5^d (5^8 < 2^19) is exact in a double, and adding 2^52 to a double below 2^51 rounds it to
// an integer in the default rounding mode, ties to even, which then stands in the mantissa bits.
[[gnu::always_inline]] inline bool scaled_float(float v, unsigned d, bool& negative,
                                                std::uint64_t& q) {
  const double x = std::fabs(static_cast<double>(v)) * kScale[d];
  if (!(x < 0x1p51)) return false;
  negative = std::signbit(v);
  q = std::bit_cast<std::uint64_t>(x + 0x1p52) & ((std::uint64_t{1} << 52) - 1);
  return true;
}

// round(|v| * 10^d) of a double with d <= 8 below 2^31, exactly; false for other values.
[[gnu::always_inline]] inline bool scaled_double(double v, unsigned d, bool& negative,
                                                 std::uint64_t& q) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  const auto biased = static_cast<unsigned>(bits >> 52) & 0x7FF;
  if (d > 8 || biased >= 1023 + 31) return false;
  negative = (bits >> 63) != 0;
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const unsigned shift = 1075 - biased;
  // Zero and values whose product is below half of 2^shift (shift above 80, subnormals) give 0.
  q = 0;
  if (shift <= 80) {
    const u128 product = static_cast<u128>(mantissa) * kPow10_64[d];
    // Half of 2^shift less one, plus the last bit of the truncated quotient: ties to even.
    q = static_cast<std::uint64_t>(
        (product + ((static_cast<u128>(1) << (shift - 1)) - 1) + ((product >> shift) & 1)) >>
        shift);
  }
  return true;
}

// Fw.d of a float with d <= 8 (others go the general way).
[[gnu::always_inline]] inline void put_fixed(char* field, float v, std::uint32_t w, unsigned d) {
  bool negative;
  std::uint64_t q;
  if (d > 8 || !scaled_float(v, d, negative, q)) {
    put_fixed(field, static_cast<double>(v), w, d);
    return;
  }
  put_fixed_digits(field, w, d, negative, q);
}

// round(|v| * 10^d) of a double with d <= 8 from the product in double arithmetic, where that is
// safe: the product, rounded once, is within 2^-53 of itself of the exact one, so below 2^44
// within 2^-9, and an integer nearest to it that lies more than 2^-8 from a half is the exact
// one's too. False for the rest (ties and values next to them included), which the exact
// computation takes.
[[gnu::always_inline]] inline bool nearest_double(double v, unsigned d, bool& negative,
                                                  std::uint64_t& q) {
  if (d > 8) return false;
  const double x = std::fabs(v) * kScale[d];
  if (!(x < 0x1p44)) return false;
  const double shifted = x + 0x1p52;  // rounded to an integer, as in scaled_float
  if (std::fabs(x - (shifted - 0x1p52)) > 0.5 - 0x1p-8) return false;
  negative = std::signbit(v);
  q = std::bit_cast<std::uint64_t>(shifted) & ((std::uint64_t{1} << 52) - 1);
  return true;
}

// Fw.d of a double with d <= 8: from the rounded product where that is safe, else, below 2^31, by
// one 128-bit product and a shift (its 53-bit mantissa times 10^d fits 80 bits, and the exponent is
// below -21). Others go the general way.
[[gnu::always_inline]] inline void put_fixed_double(char* field, double v, std::uint32_t w,
                                                    unsigned d) {
  bool negative;
  std::uint64_t q;
  if (!nearest_double(v, d, negative, q) && !scaled_double(v, d, negative, q)) {
    put_fixed(field, v, w, d);
    return;
  }
  put_fixed_digits(field, w, d, negative, q);
}

// Aw: the first w characters, or the text right-justified.
inline void put_text_field(char* field, std::size_t w, std::string_view text) {
  if (w == 1) {  // A1, the suffix letters: no call for one character
    if (!text.empty()) field[0] = text[0];
  } else if (text.size() >= w) {
    std::memcpy(field, text.data(), w);
  } else {
    std::memcpy(field + (w - text.size()), text.data(), text.size());
  }
}

[[gnu::always_inline]] inline void put_text(RecordBuffer& record, std::string_view text,
                                            const Item& it) {
  if (it.op == Op::TextAll) {
    std::memcpy(record.take(text.size()), text.data(), text.size());
    return;
  }
  put_text_field(record.take(it.w), it.w, text);
}

[[gnu::always_inline]] inline bool put_value(RecordBuffer& record, const Item& it, const Out& v) {
  switch (it.op) {
    case Op::Int:
      if (v.kind != Out::Kind::Int) return false;
      put_int(record.take(it.w), v.i, it.w);
      return true;
    case Op::Fixed:
      if (v.kind == Out::Kind::Real32) {
        put_fixed(record.take(it.w), v.f, it.w, it.d);
      } else if (v.kind == Out::Kind::Real64) {
        put_fixed(record.take(it.w), v.d, it.w, it.d);
      } else {
        return false;
      }
      return true;
    default:  // Text, TextAll
      if (v.kind == Out::Kind::Text) {
        put_text(record, v.text(), it);
      } else if (v.kind == Out::Kind::Char) {
        put_text(record, std::string_view(&v.c, 1), it);
      } else {
        return false;
      }
      return true;
  }
}

template <typename Steps>
bool write_steps(Steps steps, const std::string& literals, std::string& line, const Out* values,
                 std::size_t count) {
  RecordBuffer record(line);
  std::size_t next = 0;
  while (const Item* step = steps.next()) {
    // Literals and blanks before a data field are written even when no value is left for it.
    if (step->op != Op::Literal && next == count) return true;
    if (step->blanks != 0) record.take(step->blanks);
    if (step->op == Op::Literal) {
      std::memcpy(record.take(step->w), literals.data() + step->link, step->w);
    } else if (!put_value(record, *step, values[next++])) {
      return false;
    }
  }
  return next == count;
}

using StepKind = WriteStep::Kind;

// The digits of v, at least one, so that they end just before `end`; returns the first.
[[gnu::always_inline]] inline char* put_whole(char* end, std::uint32_t v) {
  while (v >= 100) {
    end = put_pair(end, v % 100);
    v /= 100;
  }
  if (v >= 10) return put_pair(end, v);
  *--end = static_cast<char>('0' + v);
  return end;
}

// Texts of four characters for the parts of a number that most fields hold, each written with
// one store: a whole number below 1000 right-justified with its sign (" 123", "-123", "  -0"),
// and the point with the decimals of F.1 to F.3 followed by blanks (".1  ", ".12 ", ".123").
// A text that ends with blanks is written over the columns after its field, which a later step
// writes, or the nX blanks that stay, or the slack past the record.
using Chars4 = std::array<char, 4>;

// The whole numbers below 1000 without a sign, then with a minus sign, then four blanks, so that
// four characters may be taken from two columns into any text.
constexpr auto kSmallWhole = [] {
  std::array<Chars4, 2001> texts{};
  for (unsigned sign = 0; sign < 2; ++sign) {
    for (unsigned v = 0; v < 1000; ++v) {
      Chars4& text = texts[1000 * sign + v];
      text.fill(' ');
      int at = 3;
      unsigned rest = v;
      do {
        text[at--] = static_cast<char>('0' + rest % 10);
        rest /= 10;
      } while (rest != 0);
      if (sign != 0) text[at] = '-';
    }
  }
  texts[2000].fill(' ');
  return texts;
}();

template <unsigned D>
constexpr auto kDecimals = [] {
  constexpr unsigned kCount = D == 1 ? 10 : D == 2 ? 100 : 1000;
  std::array<Chars4, kCount> texts{};
  for (unsigned v = 0; v < kCount; ++v) {
    Chars4& text = texts[v];
    text.fill(' ');
    text[0] = '.';
    unsigned rest = v;
    for (unsigned k = D; k > 0; --k, rest /= 10) text[k] = static_cast<char>('0' + rest % 10);
  }
  return texts;
}();

// A whole number below the step's bound for its sign, right-justified with its sign so that it
// ends just before `end`: the last four or two characters of its text, as the step's columns
// allow. False for larger ones.
[[gnu::always_inline]] inline bool put_small_whole(char* end, const WriteStep& step, bool negative,
                                                   std::uint32_t v) {
  if (v >= step.small_below[negative]) return false;
  const char* const text = kSmallWhole[1000 * negative + v].data();
  if (step.small == 4) {
    std::memcpy(end - 4, text, 4);
  } else {
    std::memcpy(end - 2, text + 2, 2);
  }
  return true;
}

// q / 10^D written as a fixed-point number ending just before `end`, with the zero before the
// point and the sign: the step has checked that they fit.
template <unsigned D>
[[gnu::always_inline]] inline void put_scaled(char* end, bool negative, std::uint32_t q,
                                              const WriteStep& step) {
  constexpr std::uint32_t kUnit = static_cast<std::uint32_t>(kPow10_64[D]);
  const std::uint32_t whole = q / kUnit;
  std::uint32_t fraction = q - whole * kUnit;
  char* const point = end - D - 1;
  if constexpr (D >= 1 && D <= 3) {
    std::memcpy(point, kDecimals<D>[fraction].data(), 4);
  } else {
    if constexpr (D == 6) {
      end = put_pair(end, fraction % 100);
      fraction /= 100;
      end = put_pair(end, fraction % 100);
      put_pair(end, fraction / 100);
    }
    *point = '.';
  }
  if (put_small_whole(point, step, negative, whole)) return;
  char* const first = put_whole(point, whole);
  if (negative) first[-1] = '-';
}

// The general writers of a field, out of the way of the common path.
[[gnu::noinline]] void put_float_field(char* field, float v, std::uint32_t w, unsigned d) {
  put_fixed(field, v, w, d);
}

[[gnu::noinline]] void put_double_field(char* field, double v, std::uint32_t w, unsigned d) {
  put_fixed_double(field, v, w, d);
}

// Fw.D of a float: round(|v| * 10^D) in double arithmetic (see scaled_float), by digits where
// the step says it fits. The sum 2^52 + round(|v| * 10^D) is compared with 2^52 + the bound, both
// exact, so that NaN, infinities and every product too large for the sum fail the same test; the
// low 32 bits of the sum are then the scaled value.
template <unsigned D>
[[gnu::always_inline]] inline void put_float_step(char* out, const WriteStep& step, float v) {
  const auto negative = std::bit_cast<std::uint32_t>(v) >> 31;
  const double sum = std::fabs(static_cast<double>(v)) * kScale[D] + 0x1p52;
  if (sum < step.sum_fits[negative]) {
    put_scaled<D>(out + step.end, negative != 0,
                  static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(sum)), step);
    return;
  }
  put_float_field(out + step.column, v, step.w, D);
}

// Fw.D of a double: by digits where its rounded product is safe (see nearest_double) and fits.
template <unsigned D>
[[gnu::always_inline]] inline void put_double_step(char* out, const WriteStep& step, double v) {
  bool negative;
  std::uint64_t q;
  if (nearest_double(v, D, negative, q) && q < step.fits[negative]) {
    put_scaled<D>(out + step.end, negative, static_cast<std::uint32_t>(q), step);
    return;
  }
  put_double_field(out + step.column, v, step.w, D);
}

// A field's kind and its value's kind as one number.
constexpr unsigned dispatch(StepKind field, Out::Kind value) {
  return static_cast<unsigned>(field) * 8 + static_cast<unsigned>(value);
}

[[gnu::always_inline]] inline void put_int_step(char* out, const WriteStep& step,
                                                std::int32_t value) {
  const bool negative = value < 0;
  const std::uint32_t magnitude =
      negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  if (put_small_whole(out + step.end, step, negative, magnitude)) return;
  if (magnitude >= step.fits[negative]) {
    stars(out + step.column, step.w);
    return;
  }
  char* const first = put_whole(out + step.end, magnitude);
  if (negative) first[-1] = '-';
}

// Writes the steps of a record of fixed width into `out` (which has room for the record's
// `width`); returns its length, or SIZE_MAX when a value does not suit its field or values are
// left over. The record is blanked once, and each field written in place, its digits from its
// last column back. `kEveryField`: the values are as many as the data fields, so that none runs
// out on the way.
template <bool kEveryField>
std::size_t write_compiled(const Layout::WritePlan& plan, std::size_t width, char* const out,
                           const Out* values, std::size_t count) {
  constexpr std::size_t kUnsuited = SIZE_MAX;
  static constexpr char kBlanks[32] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  for (std::size_t k = 0; k < width; k += 32) std::memcpy(out + k, kBlanks, 32);
  const Out* v = values;
  const Out* const end = values + count;
  for (const WriteStep& step : plan.steps) {
    if (step.kind == StepKind::Literal) {
      // The blanks after a short literal's text fall on columns that later steps write, or
      // past the record.
      if (step.w <= 16) {
        std::memcpy(out + step.column, plan.texts.data() + step.link, 16);
      } else {
        std::memcpy(out + step.column, plan.texts.data() + step.link, step.w);
      }
      continue;
    }
    if constexpr (!kEveryField) {
      // Literals and blanks before a data field are written even when no value is left for it.
      if (v == end) return step.start;
    }
    // One jump per field on its kind and its value's kind together.
    switch (dispatch(step.kind, v->kind)) {
      case dispatch(StepKind::Int, Out::Kind::Int):
        put_int_step(out, step, v->i);
        break;
      // The decimals the logger's records use most, with their digit loops unrolled.
      case dispatch(StepKind::Fixed0, Out::Kind::Real32):
        put_float_step<0>(out, step, v->f);
        break;
      case dispatch(StepKind::Fixed0, Out::Kind::Real64):
        put_double_step<0>(out, step, v->d);
        break;
      case dispatch(StepKind::Fixed1, Out::Kind::Real32):
        put_float_step<1>(out, step, v->f);
        break;
      case dispatch(StepKind::Fixed1, Out::Kind::Real64):
        put_double_step<1>(out, step, v->d);
        break;
      case dispatch(StepKind::Fixed2, Out::Kind::Real32):
        put_float_step<2>(out, step, v->f);
        break;
      case dispatch(StepKind::Fixed2, Out::Kind::Real64):
        put_double_step<2>(out, step, v->d);
        break;
      case dispatch(StepKind::Fixed3, Out::Kind::Real32):
        put_float_step<3>(out, step, v->f);
        break;
      case dispatch(StepKind::Fixed3, Out::Kind::Real64):
        put_double_step<3>(out, step, v->d);
        break;
      case dispatch(StepKind::Fixed6, Out::Kind::Real32):
        put_float_step<6>(out, step, v->f);
        break;
      case dispatch(StepKind::Fixed6, Out::Kind::Real64):
        put_double_step<6>(out, step, v->d);
        break;
      case dispatch(StepKind::Fixed, Out::Kind::Real32):
        put_fixed(out + step.column, v->f, step.w, step.d);
        break;
      case dispatch(StepKind::Fixed, Out::Kind::Real64):
        put_fixed_double(out + step.column, v->d, step.w, step.d);
        break;
      case dispatch(StepKind::Text, Out::Kind::Char):
        put_text_field(out + step.column, step.w, std::string_view(&v->c, 1));
        break;
      case dispatch(StepKind::Text, Out::Kind::Text):
        put_text_field(out + step.column, step.w, v->text());
        break;
      default:  // a value that does not suit its field
        return kUnsuited;
    }
    ++v;
  }
  return v == end ? width : kUnsuited;
}

// A member of the objects a bound writer writes from.
template <typename T>
[[gnu::always_inline]] inline T member(const void* const* objects, const BoundStep& step) {
  T value;
  std::memcpy(&value, static_cast<const char*>(objects[step.object]) + step.offset, sizeof value);
  return value;
}

using BoundOp = BoundStep::Op;

// The step that writes a value of `value` kind into a field of `field` kind with `d` decimals;
// false where the field does not take such values.
bool bound_op(StepKind field, unsigned d, Out::Kind value, BoundOp& op) {
  constexpr BoundOp kFloats[] = {BoundOp::Float0, BoundOp::Float1, BoundOp::Float2,
                                 BoundOp::Float3, BoundOp::Float6, BoundOp::Float};
  constexpr BoundOp kDoubles[] = {BoundOp::Double0, BoundOp::Double1, BoundOp::Double2,
                                  BoundOp::Double3, BoundOp::Double6, BoundOp::Double};
  switch (field) {
    case StepKind::Int:
      op = BoundOp::Int;
      return value == Out::Kind::Int;
    case StepKind::Text:
      op = BoundOp::Char;
      return value == Out::Kind::Char;
    case StepKind::Literal:
      return false;
    default: {
      const auto k = static_cast<std::size_t>(field) - static_cast<std::size_t>(StepKind::Fixed0);
      if (value == Out::Kind::Real32) {
        op = kFloats[k];
        return true;
      }
      op = field == StepKind::Fixed && d == 8 ? BoundOp::Double8 : kDoubles[k];
      return value == Out::Kind::Real64;
    }
  }
}

// The columns past its field that a step may write blanks on (the point and decimals of F.1 and
// F.2 are laid as four characters).
std::uint32_t overrun(BoundOp op) {
  switch (op) {
    case BoundOp::Float1:
    case BoundOp::Double1:
      return 2;
    case BoundOp::Float2:
    case BoundOp::Double2:
      return 1;
    default:
      return 0;
  }
}

// The general ways of a bound step's field, out of the way of the quick one.
template <typename Real>
[[gnu::noinline]] void put_rest(char* out, const WriteStep& field, Real v) {
  const auto put = [&]<unsigned D>() {
    if constexpr (sizeof(Real) == 4) {
      put_float_step<D>(out, field, v);
    } else {
      put_double_step<D>(out, field, v);
    }
  };
  switch (field.d) {
    case 0:
      return put.template operator()<0>();
    case 1:
      return put.template operator()<1>();
    case 2:
      return put.template operator()<2>();
    case 3:
      return put.template operator()<3>();
    default:
      return put.template operator()<6>();
  }
}

// The point and the D decimals of `fraction` from the point's column on (F.1 and F.2 write
// blanks past the field's last column, see overrun).
template <unsigned D, typename Unsigned>
[[gnu::always_inline]] inline void put_point(char* point, Unsigned fraction) {
  if constexpr (D == 0) {
    *point = '.';
  } else if constexpr (D <= 3) {
    std::memcpy(point, kDecimals<D>[fraction].data(), 4);
  } else if constexpr (D == 6) {
    // The last three decimals as a point and three digits from the third decimal's column, then
    // the first three over that point.
    const auto high = static_cast<std::uint32_t>(fraction / 1000);
    std::memcpy(point + 3, kDecimals<3>[fraction - high * 1000].data(), 4);
    std::memcpy(point, kDecimals<3>[high].data(), 4);
  } else {
    static_assert(D == 8);
    // Three decimals at a time from the last, each text's point covered by the one before it,
    // then the first two over the last of those points.
    const auto f = static_cast<std::uint32_t>(fraction);
    const std::uint32_t high = f / 1000;
    const std::uint32_t first = high / 1000;
    std::memcpy(point + 5, kDecimals<3>[f - high * 1000].data(), 4);
    std::memcpy(point + 2, kDecimals<3>[high - first * 1000].data(), 4);
    put_pair(point + 3, first);
    *point = '.';
  }
}

// q / 10^D of a bound step's quick magnitudes: the whole part's text, then the point and the
// decimals (over the text's last two characters where the whole part has two columns).
template <unsigned D>
[[gnu::always_inline]] inline void put_quick(char* out, const BoundStep& step, unsigned negative,
                                             std::uint32_t q) {
  constexpr std::uint32_t kUnit = static_cast<std::uint32_t>(kPow10_64[D]);
  const std::uint32_t whole = q / kUnit;
  std::memcpy(out + step.whole_at, step.whole_texts[negative] + 4 * whole, 4);
  put_point<D>(out + step.point, q - whole * kUnit);
}

// A whole number from 1000 on among a bound step's wide ones, with its sign, ending just before
// `end`: its digits three at a time from the right (as the decimals of F.3, each text's point
// covered by the next one), below them the text of the rest and its sign, all 4 characters of it
// where the columns reach that far, else its last 2.
[[gnu::always_inline]] inline void put_wide_whole(char* end, const BoundStep& step,
                                                  unsigned negative, std::uint32_t v) {
  std::uint32_t rest = v / 1000;
  std::memcpy(end - 4, kDecimals<3>[v - rest * 1000].data(), 4);
  unsigned at = 3;  // the digits laid so far
  if (rest >= 1000) {
    const std::uint32_t top = rest / 1000;
    std::memcpy(end - 7, kDecimals<3>[rest - top * 1000].data(), 4);
    rest = top;
    at = 6;
  }
  const char* const text = kSmallWhole[1000 * negative + rest].data();
  if (step.columns >= at + 4) {
    std::memcpy(end - at - 4, text, 4);
  } else {
    std::memcpy(end - at - 2, text + 2, 2);
  }
}

// Three digits followed by a point, "000." to "999.": the last three digits of a whole part laid
// with the point after them in one store.
constexpr auto kDigitsAndPoint = [] {
  std::array<Chars4, 1000> texts{};
  for (unsigned v = 0; v < 1000; ++v) {
    texts[v] = {static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
                static_cast<char>('0' + v % 10), '.'};
  }
  return texts;
}();

// q / 10^D of a bound step's wide magnitudes (see BoundStep::wide): below 1000 the whole part as
// a text of four characters with its sign; from 1000 on the text of its leading digits and sign
// first (where it has two columns, the two characters after them fall on the digits that follow),
// then its digits three at a time with a point after them, each over the point of the one before,
// then the point and the decimals.
template <unsigned D>
[[gnu::always_inline]] inline void put_wide(char* out, const BoundStep& step, unsigned negative,
                                            std::uint64_t q) {
  // Below 2^32 where every wide magnitude is: 10^9 * 10^D.
  using Scaled = std::conditional_t<(D == 0), std::uint32_t, std::uint64_t>;
  constexpr Scaled kUnit = static_cast<Scaled>(kPow10_64[D]);
  const auto scaled = static_cast<Scaled>(q);
  const auto whole = static_cast<std::uint32_t>(scaled / kUnit);
  char* const point = out + step.point;
  if (whole < 1000) {
    put_point<D>(point, scaled - whole * kUnit);
    std::memcpy(point - 4, kSmallWhole[1000 * negative + whole].data(), 4);
    return;
  }
  std::uint32_t rest = whole / 1000;
  const std::uint32_t last = whole - rest * 1000;
  if (rest < 1000) {
    std::memcpy(point + step.top_at[0], step.top_texts[0][negative] + 4 * rest, 4);
  } else {
    const std::uint32_t top = rest / 1000;
    std::memcpy(point + step.top_at[1], step.top_texts[1][negative] + 4 * top, 4);
    std::memcpy(point - 6, kDigitsAndPoint[rest - top * 1000].data(), 4);
  }
  std::memcpy(point - 3, kDigitsAndPoint[last].data(), 4);
  if constexpr (D != 0) put_point<D>(point, scaled - whole * kUnit);
}

template <unsigned D>
[[gnu::always_inline]] inline void put_bound_float(char* out, const BoundStep& step, float v) {
  const auto negative = std::bit_cast<std::uint32_t>(v) >> 31;
  const double sum = std::fabs(static_cast<double>(v)) * kScale[D] + 0x1p52;
  // F.0: the wide magnitudes take in the quick ones wherever there are quick ones (four columns
  // left of the point), and write them alike, so one test serves; they are below 2^32, the low
  // bits of the sum.
  if constexpr (D == 0) {
    if (sum < step.wide_sum[negative]) {
      put_wide<D>(out, step, negative,
                  static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(sum)));
      return;
    }
  } else {
    if (sum < step.quick_sum[negative]) {
      put_quick<D>(out, step, negative,
                   static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(sum)));
      return;
    }
    if (sum < step.wide_sum[negative]) {
      put_wide<D>(out, step, negative,
                  std::bit_cast<std::uint64_t>(sum) & ((std::uint64_t{1} << 52) - 1));
      return;
    }
  }
  put_rest(out, step.field, v);
}

template <unsigned D>
[[gnu::always_inline]] inline void put_bound_double(char* out, const BoundStep& step, double v) {
  bool negative;
  std::uint64_t q;
  if (nearest_double(v, D, negative, q)) {
    if (q < step.quick[negative]) {
      put_quick<D>(out, step, negative ? 1 : 0, static_cast<std::uint32_t>(q));
      return;
    }
    if (q < step.wide[negative]) {
      put_wide<D>(out, step, negative ? 1 : 0, q);
      return;
    }
  }
  if constexpr (D == 8) {
    put_double_field(out + step.field.column, v, step.field.w, D);
  } else {
    put_rest(out, step.field, v);
  }
}

// The whole parts that put_wide_whole writes in `columns` columns, the sign's included, of a
// positive value and of a negative one: 9 digits at most, and no more than the columns hold;
// where the text of the rest has 2 characters only (fewer than 3 + 4 or 6 + 4 columns), up to
// 99 with no sign or 9 with one.
void set_wide(BoundStep& step, std::int64_t columns, unsigned d) {
  step.columns = static_cast<std::uint32_t>(std::max<std::int64_t>(columns, 0));
  if (columns < 4) return;
  for (std::int64_t sign = 0; sign < 2; ++sign) {
    const std::int64_t digits = columns >= 10  ? 9
                                : columns >= 8 ? 8 - sign
                                : columns >= 7 ? 6
                                : columns >= 5 ? 5 - sign
                                               : 3;
    step.wide[sign] = kPow10_64[std::min(digits, columns - sign)] * kPow10_64[d];
    step.wide_sum[sign] = 0x1p52 + static_cast<double>(step.wide[sign]);
  }
  // The text before three digits and before six: all four characters where the columns reach
  // that far, else its last two (up to 99, or 9 with a sign, as the bounds above allow). Read from
  // its third character, the text's four bytes end two bytes into the next text, which stands in
  // kSmallWhole after every one of these.
  for (std::size_t k = 0; k < 2; ++k) {
    const std::int64_t digits = 3 * static_cast<std::int64_t>(k + 1);
    const std::int64_t skip = columns >= digits + 4 ? 0 : 2;
    step.top_at[k] = static_cast<std::int32_t>(skip - digits - 4);
    for (std::size_t sign = 0; sign < 2; ++sign) {
      step.top_texts[k][sign] = kSmallWhole[1000 * sign].data() + skip;
    }
  }
}

// The quick and the wide magnitudes of a bound step of Fw.d with d <= 8 (see BoundStep).
void set_quick(BoundStep& step) {
  const WriteStep& field = step.field;
  step.point = field.end - field.d - 1;
  set_wide(step, std::int64_t{field.w} - 1 - field.d, field.d);
  if (field.d > 6) return;  // no quick ones: their magnitudes pass 2^32
  if (field.small == 4) {
    step.whole_at = step.point - 4;
  } else if (field.small == 2 && field.d != 0) {
    step.whole_at = step.point - 2;
    step.whole_skip = 2;
  } else {
    return;  // F.0 lays no point over the text's last columns
  }
  for (int sign = 0; sign < 2; ++sign) {
    step.whole_texts[sign] = kSmallWhole[1000 * sign].data() + step.whole_skip;
    step.quick[sign] = std::min(field.fits[sign], field.small_below[sign] * kPow10_64[field.d]);
    step.quick_sum[sign] = 0x1p52 + static_cast<double>(step.quick[sign]);
  }
}

// Iw of a bound step: from the text of the small whole numbers, else by put_wide_whole.
[[gnu::always_inline]] inline void put_bound_int(char* out, const BoundStep& step,
                                                 std::int32_t value) {
  const WriteStep& field = step.field;
  const unsigned negative = value < 0 ? 1 : 0;
  const std::uint32_t magnitude =
      negative != 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  if (put_small_whole(out + field.end, field, negative != 0, magnitude)) return;
  if (magnitude < step.wide[negative]) {
    put_wide_whole(out + field.end, step, negative, magnitude);
    return;
  }
  put_int_step(out, field, value);
}

// One field of a bound step of kind kOp (not a group).
template <BoundOp kOp>
[[gnu::always_inline]] inline void put_field(char* out, const void* const* objects,
                                             const char* image, const BoundStep& step) {
  const WriteStep& field = step.field;
  if constexpr (kOp == BoundOp::Int) {
    put_bound_int(out, step, member<std::int32_t>(objects, step));
  } else if constexpr (kOp == BoundOp::Float0) {
    put_bound_float<0>(out, step, member<float>(objects, step));
  } else if constexpr (kOp == BoundOp::Float1) {
    put_bound_float<1>(out, step, member<float>(objects, step));
  } else if constexpr (kOp == BoundOp::Float2) {
    put_bound_float<2>(out, step, member<float>(objects, step));
  } else if constexpr (kOp == BoundOp::Float3) {
    put_bound_float<3>(out, step, member<float>(objects, step));
  } else if constexpr (kOp == BoundOp::Float6) {
    put_bound_float<6>(out, step, member<float>(objects, step));
  } else if constexpr (kOp == BoundOp::Float) {
    put_fixed(out + field.column, member<float>(objects, step), field.w, field.d);
  } else if constexpr (kOp == BoundOp::Double0) {
    put_bound_double<0>(out, step, member<double>(objects, step));
  } else if constexpr (kOp == BoundOp::Double1) {
    put_bound_double<1>(out, step, member<double>(objects, step));
  } else if constexpr (kOp == BoundOp::Double2) {
    put_bound_double<2>(out, step, member<double>(objects, step));
  } else if constexpr (kOp == BoundOp::Double3) {
    put_bound_double<3>(out, step, member<double>(objects, step));
  } else if constexpr (kOp == BoundOp::Double6) {
    put_bound_double<6>(out, step, member<double>(objects, step));
  } else if constexpr (kOp == BoundOp::Double8) {
    put_bound_double<8>(out, step, member<double>(objects, step));
  } else if constexpr (kOp == BoundOp::Double) {
    put_fixed_double(out + field.column, member<double>(objects, step), field.w, field.d);
  } else if constexpr (kOp == BoundOp::Char) {
    out[field.end - 1] = member<char>(objects, step);
  } else {
    static_assert(kOp == BoundOp::Literal);
    // Laid again over the blanks that a field before it wrote past its last column.
    std::memcpy(out + field.column, image + field.column, 16);
  }
}

// `step` and the kCount - 1 steps from `next` on, all of kind kOp, in straight code; `next` is
// moved past them.
template <BoundOp kOp, int kCount>
[[gnu::always_inline]] inline void put_fields(char* out, const void* const* objects,
                                              const char* image, const BoundStep& step,
                                              const BoundStep*& next) {
  put_field<kOp>(out, objects, image, step);
  if constexpr (kCount >= 2) put_field<kOp>(out, objects, image, next[0]);
  if constexpr (kCount == 4) {
    put_field<kOp>(out, objects, image, next[1]);
    put_field<kOp>(out, objects, image, next[2]);
  }
  next += kCount - 1;
}

// 16 bytes as one value of the compiler's generic vectors.
using Lanes = std::uint64_t __attribute__((vector_size(16)));

[[gnu::always_inline]] inline Lanes xor16(const unsigned char* a, const unsigned char* b) {
  Lanes x;
  Lanes y;
  std::memcpy(&x, a, 16);
  std::memcpy(&y, b, 16);
  return x ^ y;
}

// The starts of four pieces of 16 bytes that cover `count` bytes (16 to 64) from 0 on: every
// 16th byte while a whole piece fits, then the last 16, repeated where fewer pieces serve.
void pieces_of(std::uint8_t (&pieces)[4], std::uint32_t count) {
  for (std::uint32_t k = 0; k < 4; ++k) {
    pieces[k] = static_cast<std::uint8_t>(std::min(16 * k, count - 16));
  }
}

// The bytes of the pieces from `from` to `to`.
[[gnu::always_inline]] inline void copy_pieces(char* to, const char* from,
                                               const std::uint8_t (&pieces)[4]) {
  for (const std::uint8_t at : pieces) std::memcpy(to + at, from + at, 16);
}

// Whether the slot holds the run of `run`: the same fields and the same bytes of their values.
// A field's text is a function of its value's bits, its kind, width and decimals alone (the
// field is blank before it is written, and what a field writes past its last column is blank),
// and the columns between the run's fields are blanks, so the slot's columns are what the
// writer would write.
// A short run's description fills the first 16 bytes and differs from a long one's there, so a
// short run looks at those alone (kLong false) and at the bytes of its first object.
template <bool kLong>
[[gnu::always_inline]] inline bool holds(const KeptFields::Slot& slot, const KeptRun& run,
                                         const void* const* objects) {
  const auto* const values = static_cast<const unsigned char*>(objects[run.object]) + run.offset;
  Lanes differ = xor16(run.fields, slot.fields);
  for (std::size_t at = 0; at < KeptFields::kBytes; at += 16) {
    differ |= xor16(values + at, slot.values + at);
  }
  if constexpr (kLong) {
    const auto* const other =
        static_cast<const unsigned char*>(objects[run.other_object]) + run.other_offset;
    Lanes mask;
    std::memcpy(&mask, run.other_mask, 16);
    differ |= xor16(run.fields + 16, slot.fields + 16) | (xor16(other, slot.other) & mask);
  }
  return (differ[0] | differ[1]) == 0;
}

// At a run's first step: where the slot holds the run, its text copied and `next` set past the
// run's steps.
template <bool kLong>
[[gnu::always_inline]] inline void copy_kept(char* out, const void* const* objects,
                                             const KeptFields& kept, const BoundStep& step,
                                             const BoundStep*& next) {
  const KeptRun& run = *step.kept_run;
  const KeptFields::Slot& slot = kept.slots[step.slot];
  if (holds<kLong>(slot, run, objects)) {
    copy_pieces(out + run.column, slot.text, run.column_pieces);
    next = &step + 1 + step.run;
  }
}

// Keeps the run as the record's steps wrote it.
[[gnu::always_inline]] inline void keep(KeptFields::Slot& slot, const KeptRun& run,
                                        const void* const* objects, const char* out) {
  std::memcpy(slot.fields, run.fields, sizeof slot.fields);
  std::memcpy(slot.values, static_cast<const unsigned char*>(objects[run.object]) + run.offset,
              sizeof slot.values);
  std::memcpy(slot.other,
              static_cast<const unsigned char*>(objects[run.other_object]) + run.other_offset,
              sizeof slot.other);
  copy_pieces(slot.text, out + run.column, run.column_pieces);
}

// The image of a record, `chunks` steps of 32 bytes, in straight code up to 8 of them (256
// columns): a loop would cost a compare and a jump per step.
[[gnu::always_inline]] inline void lay_image(char* out, const char* image, std::size_t chunks) {
  const auto lay = [out, image](std::size_t k) { std::memcpy(out + 32 * k, image + 32 * k, 32); };
  switch (chunks) {
    default:
      for (std::size_t k = 8; k < chunks; ++k) lay(k);
      [[fallthrough]];
    case 8:
      lay(7);
      [[fallthrough]];
    case 7:
      lay(6);
      [[fallthrough]];
    case 6:
      lay(5);
      [[fallthrough]];
    case 5:
      lay(4);
      [[fallthrough]];
    case 4:
      lay(3);
      [[fallthrough]];
    case 3:
      lay(2);
      [[fallthrough]];
    case 2:
      lay(1);
      [[fallthrough]];
    case 1:
      lay(0);
      [[fallthrough]];
    case 0:
      break;
  }
}

// Sets `width` bits of `bits` from bit `at` on to `value`.
void put_bits(std::uint64_t (&bits)[4], unsigned at, std::uint64_t value, unsigned width) {
  for (unsigned k = 0; k < width; ++k, ++at) {
    bits[at / 64] |= ((value >> k) & 1) << (at % 64);
  }
}

// Makes runs of the steady fields of `form` that stand next to each other with blanks alone
// between them in its image and take their values from one object and at most one other,
// within KeptFields' bounds, each between a Kept (or KeptLong) and a KeptEnd step. A run is kept
// where it is worth a check and a copy: where one of its fields would take a slow path of the
// writer (a double, or a field of 8 columns or more), while slots are left.
void make_runs(Layout::Writer::Form& form, const std::vector<std::uint32_t>& object_sizes) {
  constexpr std::size_t kShortFields = 5;
  const std::vector<BoundStep> steps = std::move(form.steps);
  form.steps.clear();
  for (std::size_t k = 0; k < steps.size();) {
    const BoundStep& head = steps[k];
    if (!head.steady) {
      form.steps.push_back(head);
      ++k;
      continue;
    }
    std::uint32_t low = head.offset;
    std::uint32_t high = head.offset + head.value_size;
    bool with_other = false;  // whether a field takes its value from another object
    std::uint8_t other = 0;
    std::uint32_t other_low = 0;
    std::uint32_t other_high = 0;
    std::size_t count = 1;
    bool worth = false;
    for (;; ++count) {
      const BoundStep& last = steps[k + count - 1];
      worth = worth || last.value_size == 8 || last.field.w >= 8;
      if (k + count == steps.size() || count == KeptFields::kFields) break;
      const BoundStep& next = steps[k + count];
      if (!next.steady || next.field.end - head.field.column > KeptFields::kColumns ||
          form.image.find_first_not_of(' ', last.field.end) < next.field.column) {
        break;
      }
      const std::uint32_t next_end = next.offset + next.value_size;
      if (next.object == head.object) {
        if (std::max(high, next_end) - std::min(low, next.offset) > KeptFields::kBytes) break;
        low = std::min(low, next.offset);
        high = std::max(high, next_end);
      } else if (!with_other) {
        if (object_sizes[next.object] < KeptFields::kOtherBytes) break;
        with_other = true;
        other = next.object;
        other_low = next.offset;
        other_high = next_end;
      } else {
        if (next.object != other ||
            std::max(other_high, next_end) - std::min(other_low, next.offset) >
                KeptFields::kOtherBytes) {
          break;
        }
        other_low = std::min(other_low, next.offset);
        other_high = std::max(other_high, next_end);
      }
    }
    KeptRun run;
    // The bytes from `low` on, or the object's last ones where it ends before them.
    const std::uint32_t size = object_sizes[head.object];
    run.offset =
        size >= KeptFields::kBytes ? std::min<std::uint32_t>(low, size - KeptFields::kBytes) : 0;
    run.object = head.object;
    run.other_object = with_other ? other : head.object;
    run.other_offset = with_other ? std::min<std::uint32_t>(
                                        other_low, object_sizes[other] - KeptFields::kOtherBytes)
                                  : run.offset;
    run.column = head.field.column;
    run.columns = steps[k + count - 1].field.end - head.field.column;
    // Every run within these bounds has its description's fields in their bits: offsets below
    // 64, widths up to 64 and gaps below 64 (kColumns), decimals below 16.
    static_assert(KeptFields::kBytes <= 64 && KeptFields::kColumns <= 64 &&
                  kShortFields * 25 + 3 <= 128 && KeptFields::kFields * 26 + 7 <= 256 &&
                  KeptFields::kFields < 16);
    bool small_decimals = true;
    for (std::size_t j = 0; j < count; ++j)
      small_decimals = small_decimals && steps[k + j].field.d < 16;
    const bool kept = worth && small_decimals && size >= KeptFields::kBytes && run.columns >= 16 &&
                      run.columns <= KeptFields::kColumns && form.runs.size() < KeptFields::kSlots;
    const bool long_run = with_other || count > kShortFields;
    BoundStep bounds;
    if (kept) {
      // A short run: 3 bits for the count, then 25 per field. A long one: 3 zero bits, 4 for the
      // count, then 26 per field.
      std::uint64_t described[4] = {0, 0, 0, 0};
      unsigned at = 3;
      if (long_run) {
        put_bits(described, at, count, 4);
        at += 4;
      } else {
        put_bits(described, 0, count, 3);
      }
      for (std::size_t j = 0; j < count; ++j) {
        const BoundStep& step = steps[k + j];
        const bool in_other = step.object != head.object;
        const std::uint32_t kind = step.op == BoundOp::Int    ? 0
                                   : step.op == BoundOp::Char ? 1
                                   : step.value_size == 4     ? 2
                                                              : 3;
        const std::uint32_t gap =
            j + 1 < count ? steps[k + j + 1].field.column - step.field.end : 0;
        const std::uint32_t offset = step.offset - (in_other ? run.other_offset : run.offset);
        const std::uint32_t field = offset | kind << 6 | step.field.w << 8 |
                                    std::uint32_t{step.field.d} << 15 | gap << 19 |
                                    std::uint32_t{in_other} << 25;
        put_bits(described, at, field, long_run ? 26 : 25);
        at += long_run ? 26 : 25;
        if (in_other) std::memset(run.other_mask + offset, 0xFF, step.value_size);
      }
      std::memcpy(run.fields, described, sizeof run.fields);
      pieces_of(run.column_pieces, run.columns);
      bounds.op = long_run ? BoundOp::KeptLong : BoundOp::Kept;
      bounds.slot = static_cast<std::uint8_t>(form.runs.size());
      bounds.run = static_cast<std::uint8_t>(count + 1);
      form.runs.push_back(run);
      form.steps.push_back(bounds);
    }
    form.steps.insert(form.steps.end(), steps.begin() + static_cast<std::ptrdiff_t>(k),
                      steps.begin() + static_cast<std::ptrdiff_t>(k + count));
    if (kept) {
      bounds.op = BoundOp::KeptEnd;
      form.steps.push_back(bounds);
    }
    k += count;
  }
}

// Runs of steps of one kind made into groups of four and of two where there are such.
void group_steps(std::vector<BoundStep>& steps) {
  struct Grouping {
    BoundOp op, by2, by4;  // by4 == op: none of four
  };
  constexpr Grouping kGroups[] = {
      {BoundOp::Int, BoundOp::Int2, BoundOp::Int4},
      {BoundOp::Float0, BoundOp::Float0x2, BoundOp::Float0x4},
      {BoundOp::Float2, BoundOp::Float2x2, BoundOp::Float2x4},
      {BoundOp::Float3, BoundOp::Float3x2, BoundOp::Float3},
      {BoundOp::Double1, BoundOp::Double1x2, BoundOp::Double1},
      {BoundOp::Double6, BoundOp::Double6x2, BoundOp::Double6},
      {BoundOp::Double8, BoundOp::Double8x2, BoundOp::Double8},
  };
  for (std::size_t k = 0; k < steps.size();) {
    const BoundOp op = steps[k].op;
    const Grouping* group = std::find_if(std::begin(kGroups), std::end(kGroups),
                                         [op](const Grouping& g) { return g.op == op; });
    std::size_t run = 1;
    while (k + run < steps.size() && steps[k + run].op == op) ++run;
    if (group == std::end(kGroups)) {
      k += run;
      continue;
    }
    for (; run >= 4 && group->by4 != op; run -= 4, k += 4) steps[k].op = group->by4;
    for (; run >= 2; run -= 2, k += 2) steps[k].op = group->by2;
    k += run;
  }
}

// The whole parts that a field of `columns` columns left of its point (an Iw field: w) writes
// from their texts: any below 1000 in four columns, in two or three those below 100, or below 10
// with a minus sign.
void set_small_whole(WriteStep& step, std::int64_t columns) {
  if (columns >= 4) {
    step.small = 4;
    step.small_below[0] = step.small_below[1] = 1000;
  } else if (columns >= 2) {
    step.small = 2;
    step.small_below[0] = 100;
    step.small_below[1] = 10;
  }
}

// The magnitudes that a field of `columns` columns for digits, sign included, and `decimals`
// decimals writes by digits alone (see WriteStep::fits): 0 where it has no column left of the
// point.
std::uint64_t digits_fit(std::int64_t columns, unsigned decimals) {
  if (columns < static_cast<std::int64_t>(decimals) + 1) return 0;
  const auto digits = static_cast<std::uint64_t>(columns);
  return digits >= 10 ? std::uint64_t{1} << 32 : kPow10_64[digits];
}

}  // namespace

Layout::WritePlan layout_detail::compile_write_plan(const std::vector<Item>& plan,
                                                    const std::string& literals) {
  Layout::WritePlan compiled;
  for (const Item& item : plan) {
    WriteStep step;
    step.column = item.column;
    step.end = item.column + item.w;
    step.start = item.column - item.blanks;
    step.w = item.w;
    step.d = item.d;
    step.link = item.link;
    switch (item.op) {
      case Op::Int:
        step.kind = StepKind::Int;
        step.fits[0] = digits_fit(item.w, 0);
        step.fits[1] = digits_fit(std::int64_t{item.w} - 1, 0);
        set_small_whole(step, item.w);
        break;
      case Op::Fixed:
        if (item.d <= 8) {
          // The point takes a column; the zero before it must have one.
          step.fits[0] = digits_fit(std::int64_t{item.w} - 1, item.d);
          step.fits[1] = digits_fit(std::int64_t{item.w} - 2, item.d);
          set_small_whole(step, std::int64_t{item.w} - 1 - item.d);
          for (int sign = 0; sign < 2; ++sign) {
            step.sum_fits[sign] = 0x1p52 + static_cast<double>(step.fits[sign]);
          }
        }
        step.kind = item.d == 0   ? StepKind::Fixed0
                    : item.d == 1 ? StepKind::Fixed1
                    : item.d == 2 ? StepKind::Fixed2
                    : item.d == 3 ? StepKind::Fixed3
                    : item.d == 6 ? StepKind::Fixed6
                                  : StepKind::Fixed;
        break;
      case Op::Literal:
        step.kind = StepKind::Literal;
        step.link = static_cast<std::uint32_t>(compiled.texts.size());
        compiled.texts.append(literals, item.link, item.w);
        compiled.texts.append(16, ' ');
        break;
      default:
        step.kind = StepKind::Text;
        break;
    }
    if (step.kind != StepKind::Literal) ++compiled.fields;
    compiled.steps.push_back(step);
  }
  return compiled;
}

OutMembers& OutMembers::add(Out::Kind kind, const void* value, std::size_t size) {
  const auto at = reinterpret_cast<std::uintptr_t>(value);
  for (std::size_t k = 0; k < objects_.size(); ++k) {
    const auto first = reinterpret_cast<std::uintptr_t>(objects_[k].first);
    if (k <= UINT8_MAX && at >= first && objects_[k].second >= size &&
        at - first <= objects_[k].second - size) {
      members_.push_back({kind, static_cast<std::uint8_t>(k),
                          static_cast<std::uint32_t>(at - first), steady_,
                          static_cast<std::uint32_t>(objects_[k].second)});
      return *this;
    }
  }
  std::fprintf(stderr, "OutMembers: a value outside its objects\n");
  std::abort();
}

Layout::Writer::Writer(Layout layout, int first, std::vector<std::vector<OutMember>> members)
    : layout_(std::move(layout)), first_(first) {
  for (std::size_t k = 0; k < members.size(); ++k) {
    const int n = first + static_cast<int>(k);
    const std::vector<OutMember>& values = members[k];
    if (layout_.write_room(n) == 0) bad_values(layout_.text_, values.size(), n);
    const std::size_t index = layout_.plans_.size() == 1 ? 0 : static_cast<std::size_t>(n);
    const WritePlan& plan = layout_.write_plans_[index];
    if (values.size() != plan.fields) bad_values(layout_.text_, values.size(), n);
    Form& form = forms_.emplace_back();
    form.width = layout_.widths_[index];
    form.chunks = (form.width + 31) / 32;
    form.image.assign(form.chunks * 32 + 16, ' ');
    std::uint32_t reach = 0;  // the fields so far may have written up to here
    std::size_t next = 0;
    for (const WriteStep& field : plan.steps) {
      BoundStep step;
      step.field = field;
      if (field.kind == StepKind::Literal) {
        std::memcpy(form.image.data() + field.column, plan.texts.data() + field.link, field.w);
        if (field.column < reach) form.steps.push_back(step);
        continue;
      }
      const OutMember& value = values[next++];
      if (!bound_op(field.kind, field.d, value.kind, step.op))
        bad_values(layout_.text_, values.size(), n);
      step.object = value.object;
      step.offset = value.offset;
      if (step.op == BoundOp::Int) {
        set_wide(step, field.w, 0);
      } else if (step.op != BoundOp::Char && step.op != BoundOp::Float &&
                 step.op != BoundOp::Double) {
        set_quick(step);
      }
      reach = std::max(reach, field.end + overrun(step.op));
      if (step.op == BoundOp::Char && field.w == 0) continue;  // A0 writes nothing
      if (value.steady) {
        step.steady = true;
        step.value_size = value.kind == Out::Kind::Real64 ? 8
                          : value.kind == Out::Kind::Char ? 1
                                                          : 4;
      }
      form.steps.push_back(step);
    }
    std::vector<std::uint32_t> object_sizes;
    for (const OutMember& value : values) {
      if (value.object >= object_sizes.size()) object_sizes.resize(value.object + 1u, 0);
      object_sizes[value.object] = value.object_size;
    }
    make_runs(form, object_sizes);
    group_steps(form.steps);
    form.steps.emplace_back().op = BoundOp::End;
  }
  form_count_ = forms_.size();
  // The runs stay where they are from here on.
  for (Form& form : forms_) {
    for (BoundStep& step : form.steps) {
      if (step.op == BoundOp::Kept || step.op == BoundOp::KeptLong || step.op == BoundOp::KeptEnd) {
        step.kept_run = &form.runs[step.slot];
      }
    }
  }
}

Layout::Writer::~Writer() = default;

const Layout::Writer::Form& Layout::Writer::form(int n) const {
  const auto k = static_cast<std::size_t>(static_cast<unsigned>(n - first_));
  if (k >= form_count_) bad_values(layout_.text_, 0, n);
  return forms_[k];
}

std::size_t Layout::Writer::write_room(int n) const {
  const auto k = static_cast<std::size_t>(static_cast<unsigned>(n - first_));
  return k < form_count_ ? forms_[k].width + kWriteSlack : 0;
}

std::size_t Layout::Writer::write(char* const out, const void* const* objects, int n,
                                  KeptFields& kept) const {
  const Form& f = form(n);
  const char* const image = f.image.data();
  // The width in a local: the stores into `out` could otherwise change it, for all the compiler
  // knows, and it would be loaded again after each of them.
  const std::size_t width = f.width;
  lay_image(out, image, f.chunks);
  const BoundStep* next = f.steps.data();
  for (;;) {
    const BoundStep& step = *next++;
    switch (step.op) {
      case BoundOp::Int:
        put_fields<BoundOp::Int, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Float0:
        put_fields<BoundOp::Float0, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Float1:
        put_fields<BoundOp::Float1, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Float2:
        put_fields<BoundOp::Float2, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Float3:
        put_fields<BoundOp::Float3, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Float6:
        put_fields<BoundOp::Float6, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Float:
        put_fields<BoundOp::Float, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Double0:
        put_fields<BoundOp::Double0, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Double1:
        put_fields<BoundOp::Double1, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Double2:
        put_fields<BoundOp::Double2, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Double3:
        put_fields<BoundOp::Double3, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Double6:
        put_fields<BoundOp::Double6, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Double8:
        put_fields<BoundOp::Double8, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Double:
        put_fields<BoundOp::Double, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Char:
        put_fields<BoundOp::Char, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Literal:
        put_fields<BoundOp::Literal, 1>(out, objects, image, step, next);
        break;
      case BoundOp::Int2:
        put_fields<BoundOp::Int, 2>(out, objects, image, step, next);
        break;
      case BoundOp::Int4:
        put_fields<BoundOp::Int, 4>(out, objects, image, step, next);
        break;
      case BoundOp::Float0x2:
        put_fields<BoundOp::Float0, 2>(out, objects, image, step, next);
        break;
      case BoundOp::Float0x4:
        put_fields<BoundOp::Float0, 4>(out, objects, image, step, next);
        break;
      case BoundOp::Float2x2:
        put_fields<BoundOp::Float2, 2>(out, objects, image, step, next);
        break;
      case BoundOp::Float2x4:
        put_fields<BoundOp::Float2, 4>(out, objects, image, step, next);
        break;
      case BoundOp::Float3x2:
        put_fields<BoundOp::Float3, 2>(out, objects, image, step, next);
        break;
      case BoundOp::Double1x2:
        put_fields<BoundOp::Double1, 2>(out, objects, image, step, next);
        break;
      case BoundOp::Double6x2:
        put_fields<BoundOp::Double6, 2>(out, objects, image, step, next);
        break;
      case BoundOp::Double8x2:
        put_fields<BoundOp::Double8, 2>(out, objects, image, step, next);
        break;
      case BoundOp::Kept:
        copy_kept<false>(out, objects, kept, step, next);
        break;
      case BoundOp::KeptLong:
        copy_kept<true>(out, objects, kept, step, next);
        break;
      case BoundOp::KeptEnd:
        keep(kept.slots[step.slot], *step.kept_run, objects, out);
        break;
      case BoundOp::End:
        return width;
      default:
        __builtin_unreachable();
    }
  }
}

void detail::write_fixed_float(char* field, unsigned w, unsigned d, float value) {
  put_fixed(field, value, w, d);
}

void detail::write_fixed_double(char* field, unsigned w, unsigned d, double value) {
  put_fixed_double(field, value, w, d);
}

void detail::write_fixed_general(char* field, unsigned w, unsigned d, double value) {
  put_fixed(field, value, w, d);
}

void Layout::write(std::string& line, std::initializer_list<Out> values, int n) const {
  write(line, values.begin(), values.size(), n);
}

std::size_t Layout::write_room(int n) const {
  if (plan(n) == nullptr) return 0;
  const std::size_t index = plans_.size() == 1 ? 0 : static_cast<std::size_t>(n);
  return widths_[index] == 0 ? 0 : widths_[index] + kWriteSlack;
}

std::size_t Layout::write(char* out, const Out* values, std::size_t count, int n) const {
  if (write_room(n) == 0) bad_values(text_, count, n);  // a record that has no fixed width
  const std::size_t index = plans_.size() == 1 ? 0 : static_cast<std::size_t>(n);
  const WritePlan& plan = write_plans_[index];
  const std::size_t length = count == plan.fields
                                 ? write_compiled<true>(plan, widths_[index], out, values, count)
                                 : write_compiled<false>(plan, widths_[index], out, values, count);
  if (length == SIZE_MAX) bad_values(text_, count, n);
  return length;
}

void Layout::write_general(std::string& line, const Out* values, std::size_t count, int n) const {
  if (!write_steps(StepWalker(items_, n), literals_, line, values, count)) {
    bad_values(text_, count, n);
  }
}

void Layout::write(std::string& line, const Out* values, std::size_t count, int n) const {
  if (const std::size_t room = write_room(n)) {
    line.resize(room);
    line.resize(write(line.data(), values, count, n));
    return;
  }
  const auto* steps = plan(n);
  const bool suits = steps != nullptr
                         ? write_steps(PlanCursor(*steps), literals_, line, values, count)
                         : write_steps(StepWalker(items_, n), literals_, line, values, count);
  if (!suits) bad_values(text_, count, n);
}

}  // namespace quillet
