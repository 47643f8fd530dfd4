#include "common/layout.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace quillet {

// A layout is parsed into a flat list of items. A group becomes a Begin item that knows the index
// of its End item (to skip a group repeated zero times) and an End item where the walk goes back
// while repetitions are left; a repeat count, constant or run-time, is a*n + b. For execution the
// list is flattened once per value of n into a plan: one item per literal and per data field in
// record order, with the nX before it folded into the item and its input column worked out, so
// that a record costs one pass over a plain array.
struct Layout::Item {
  enum class Op : std::uint8_t { Int, Fixed, Text, TextAll, Skip, Literal, Begin, End };
  Op op = Op::Skip;
  std::uint8_t d = 0;  // decimals of Fw.d
  std::int32_t a = 0;  // repeat count = a * n + b
  std::int32_t b = 1;
  std::uint32_t w = 0;     // field width; Skip: columns; Literal: length
  std::uint32_t link = 0;  // Begin: index of its End; Literal: offset in the literal texts
  // In a plan (below) only: the columns skipped before the item on output, and the first column
  // (0-based) of its field on input.
  std::uint32_t blanks = 0;
  std::uint32_t column = 0;
  // Iw of up to 8 columns: the line length from which its field is read as the 8 bytes from its
  // column on (no limit otherwise), the shift that puts the field's last character into the
  // highest byte and the blanks put in its place before the field.
  std::uint32_t word_end = UINT32_MAX;
  std::uint8_t word_shift = 0;
  std::uint64_t word_blanks = 0;

  int repeat(int n) const {
    const long long count = static_cast<long long>(a) * n + b;
    return count < 0 ? 0 : count > INT32_MAX ? INT32_MAX : static_cast<int>(count);
  }
};

namespace {

using Item = Layout::Item;
using Op = Layout::Item::Op;
__extension__ typedef unsigned __int128 u128;  // exact products of a mantissa and 10^d

constexpr int kMaxDepth = 8;             // nesting of groups
constexpr unsigned kMaxFixedWidth = 39;  // keeps every scaled Fw.d value inside 128 bits
constexpr unsigned kMaxDecimals = 22;    // 2^53 * 10^22 < 2^127

[[noreturn]] void bad_layout(std::string_view text, std::size_t at, const char* why) {
  std::fprintf(stderr, "quillet: bad layout \"%.*s\" at character %zu: %s\n",
               static_cast<int>(text.size()), text.data(), at + 1, why);
  std::abort();
}

// Recursive-descent parser of a layout text into the flat item list.
class Parser {
 public:
  Parser(std::string_view text, std::string& literals, std::vector<Item>& items)
      : text_(text), literals_(literals), items_(items) {}

  void parse() {
    skip_blanks();
    expect('(');
    list(0);
    skip_blanks();
    if (pos_ != text_.size()) fail("text after the closing parenthesis");
  }

 private:
  struct Count {
    bool given = false;
    bool runtime = false;
    std::int32_t a = 0, b = 1;
  };

  [[noreturn]] void fail(const char* why) const { bad_layout(text_, pos_, why); }

  void skip_blanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  char peek() {
    skip_blanks();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  static char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
  static bool digit(char c) { return c >= '0' && c <= '9'; }
  void expect(char c) {
    if (peek() != c) fail("unexpected character");
    ++pos_;
  }

  // Digits, blanks between them ignored as Fortran does.
  std::int32_t number() {
    if (!digit(peek())) fail("a number is missing");
    long long value = 0;
    while (digit(peek())) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > 100000) fail("number too large");
    }
    return static_cast<std::int32_t>(value);
  }

  // [k] N|M [(+|-) j]  after an optional factor that the caller already read.
  bool runtime_term(Count& count, std::int32_t factor) {
    const char c = upper(peek());
    if (c != 'N' && c != 'M') return false;
    ++pos_;
    count.given = count.runtime = true;
    count.a = factor;
    count.b = 0;
    const char s = peek();
    if (s == '+' || s == '-') {
      ++pos_;
      count.b = s == '-' ? -number() : number();
    }
    return true;
  }

  // A parenthesised run-time count such as (N-1) or (4N), told apart from a nested group by
  // looking ahead; the position is restored when it is a group.
  bool parenthesised_count(Count& count) {
    const std::size_t start = pos_;
    ++pos_;  // '('
    std::int32_t factor = 1;
    if (digit(peek())) factor = number();
    Count inner;
    if (runtime_term(inner, factor) && peek() == ')') {
      ++pos_;
      count = inner;
      return true;
    }
    pos_ = start;
    return false;
  }

  Count count_prefix() {
    Count count;
    const char c = peek();
    if (digit(c)) {
      const std::int32_t k = number();
      if (!runtime_term(count, k)) {
        count.given = true;
        count.b = k;
      }
    } else if (c == '(') {
      parenthesised_count(count);
    } else {
      runtime_term(count, 1);
    }
    return count;
  }

  void list(int depth) {
    if (depth >= kMaxDepth) fail("groups nested too deeply");
    if (peek() == ')') {
      ++pos_;
      return;
    }
    for (;;) {
      item(depth);
      const char c = peek();
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (c == ')') {
        ++pos_;
        return;
      }
      if (c == '\0') fail("missing closing parenthesis");
      // Otherwise the next item follows without a comma, as Fortran allows around literals.
    }
  }

  void literal(char quote) {
    ++pos_;
    Item it;
    it.op = Op::Literal;
    it.link = static_cast<std::uint32_t>(literals_.size());
    for (;;) {
      if (pos_ >= text_.size()) fail("unterminated literal");
      const char c = text_[pos_++];
      if (c == quote) {
        if (pos_ < text_.size() && text_[pos_] == quote) {
          literals_.push_back(quote);  // a doubled quote stands for one
          ++pos_;
          continue;
        }
        break;
      }
      literals_.push_back(c);
    }
    it.w = static_cast<std::uint32_t>(literals_.size() - it.link);
    items_.push_back(it);
  }

  void item(int depth) {
    const char first = peek();
    if (first == '\'' || first == '"') {
      literal(first);
      return;
    }
    const Count count = count_prefix();
    const char c = upper(peek());
    if (c == '(') {
      ++pos_;
      const std::size_t begin = items_.size();
      Item open;
      open.op = Op::Begin;
      if (count.given) {
        open.a = count.a;
        open.b = count.b;
      }
      items_.push_back(open);
      list(depth + 1);
      Item close;
      close.op = Op::End;
      items_[begin].link = static_cast<std::uint32_t>(items_.size());
      items_.push_back(close);
      return;
    }
    Item it;
    if (count.given) {
      it.a = count.a;
      it.b = count.b;
    }
    ++pos_;
    switch (c) {
      case 'X':
        if (count.runtime) fail("X takes a constant count");
        it.op = Op::Skip;
        it.w = static_cast<std::uint32_t>(it.b);
        it.b = 1;
        break;
      case 'I':
        it.op = Op::Int;
        it.w = static_cast<std::uint32_t>(number());
        if (it.w == 0) fail("I needs a width");
        break;
      case 'F':
        it.op = Op::Fixed;
        it.w = static_cast<std::uint32_t>(number());
        expect('.');
        {
          const std::int32_t d = number();
          if (d > static_cast<std::int32_t>(kMaxDecimals)) fail("too many decimals");
          it.d = static_cast<std::uint8_t>(d);
        }
        if (it.w == 0 || it.w > kMaxFixedWidth) fail("F width out of range");
        break;
      case 'A':
        if (digit(peek())) {
          it.op = Op::Text;
          it.w = static_cast<std::uint32_t>(number());
          if (it.w == 0) fail("A needs a width above 0");
        } else {
          it.op = Op::TextAll;
        }
        break;
      default:
        --pos_;
        fail("unknown descriptor");
    }
    items_.push_back(it);
  }

  std::string_view text_;
  std::string& literals_;
  std::vector<Item>& items_;
  std::size_t pos_ = 0;
};

// ---- output ---------------------------------------------------------------------------------

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr std::uint64_t kPow10_64[20] = {1ULL,
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

// Number of decimal digits of `v`, 0 for 0.
[[gnu::always_inline]] inline unsigned digit_count(std::uint64_t v) {
  if (v == 0) return 0;
  // 1233 / 4096 is just above log10(2): a first guess from the bit length, then one comparison.
  const auto guess = static_cast<unsigned>((64 - std::countl_zero(v)) * 1233) >> 12;
  return guess + (v >= kPow10_64[guess] ? 1 : 0);
}

unsigned digit_count(u128 v) {
  unsigned extra = 0;
  for (; v > UINT64_MAX; v /= 10) ++extra;
  return extra + digit_count(static_cast<std::uint64_t>(v));
}

[[gnu::always_inline]] inline char* put_pair(char* end, unsigned pair) {
  *--end = kDigitPairs[2 * pair + 1];
  *--end = kDigitPairs[2 * pair];
  return end;
}

// Four digits at a time: one division by 10^4 per step keeps the chain of dependent divisions,
// which bounds the speed of digit generation, half as long as pairs would.
[[gnu::always_inline]] inline char* put_four_digits(char* end, unsigned four) {
  return put_pair(put_pair(end, four % 100), four / 100);
}

// Writes the decimal digits of `v` so that they end just before `end`; returns the first digit
// (`end` itself when v is 0).
[[gnu::always_inline]] inline char* put_digits(char* end, std::uint64_t v) {
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
  return put_digits(end, static_cast<std::uint64_t>(v));
}

// Writes the last `count` digits of `v` (with leading zeros) so that they end just before `end`,
// and drops them from `v`; returns the first digit written.
[[gnu::always_inline]] inline char* put_low_digits(char* end, std::uint64_t& v, unsigned count) {
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
  const std::uint64_t magnitude =
      negative ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(value)) : value;
  const unsigned digits = std::max(digit_count(magnitude), 1u);
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
  char* start = put_low_digits(field + w, q, d);
  *--start = '.';
  if (q != 0) {
    start = put_digits(start, q);
  } else if (room > 0) {
    *--start = '0';  // the zero before the point goes only where the field has room for it
  }
  if (negative) *--start = '-';
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

// Fw.d of a float. Its 24-bit mantissa times 10^d stays below 2^51 for d <= 8, and a value
// below 2^31 keeps the shifted mantissa times 10^d below 2^58, so the exact rounding needs no
// 128-bit product. Other values go the general way.
[[gnu::always_inline]] inline void put_fixed(char* field, float v, std::uint32_t w, unsigned d) {
  const auto bits = std::bit_cast<std::uint32_t>(v);
  const unsigned biased = (bits >> 23) & 0xFF;
  if (d > 8 || biased >= 127 + 31) {
    put_fixed(field, static_cast<double>(v), w, d);
    return;
  }
  const bool negative = (bits >> 31) != 0;
  std::uint64_t mantissa = bits & 0x7FFFFF;
  int exponent = -149;  // subnormal
  if (biased != 0) {
    mantissa |= 0x800000;
    exponent = static_cast<int>(biased) - 150;
  }
  std::uint64_t q;
  if (exponent >= 0) {
    q = (mantissa << exponent) * kPow10_64[d];
  } else if (exponent <= -52) {
    q = 0;  // the product is below 2^51, less than half of 2^-exponent
  } else {
    const unsigned shift = static_cast<unsigned>(-exponent);
    const std::uint64_t product = mantissa * kPow10_64[d];
    // Half of 2^shift less one, plus the last bit of the truncated quotient: ties to even.
    q = (product + ((std::uint64_t{1} << (shift - 1)) - 1) + ((product >> shift) & 1)) >> shift;
  }
  // The decimals the logger's records use most, with their digit loops unrolled.
  switch (d) {
    case 1:
      put_fixed_digits(field, w, 1, negative, q);
      break;
    case 2:
      put_fixed_digits(field, w, 2, negative, q);
      break;
    case 3:
      put_fixed_digits(field, w, 3, negative, q);
      break;
    default:
      put_fixed_digits(field, w, d, negative, q);
      break;
  }
}

// Fw.d of a double below 2^31 with d <= 8: its 53-bit mantissa times 10^d fits 80 bits, and the
// exponent is below -21, so one 128-bit product and a shift round it. Others go the general way.
[[gnu::always_inline]] inline void put_fixed_double(char* field, double v, std::uint32_t w,
                                                    unsigned d) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  const auto biased = static_cast<unsigned>(bits >> 52) & 0x7FF;
  if (d > 8 || biased >= 1023 + 31) {
    put_fixed(field, v, w, d);
    return;
  }
  const bool negative = (bits >> 63) != 0;
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const unsigned shift = 1075 - biased;
  // Zero and values whose product is below half of 2^shift (shift above 80, subnormals) give 0.
  std::uint64_t q = 0;
  if (shift <= 80) {
    const u128 product = static_cast<u128>(mantissa) * kPow10_64[d];
    // Half of 2^shift less one, plus the last bit of the truncated quotient: ties to even.
    q = static_cast<std::uint64_t>(
        (product + ((static_cast<u128>(1) << (shift - 1)) - 1) + ((product >> shift) & 1)) >>
        shift);
  }
  put_fixed_digits(field, w, d, negative, q);
}

// Aw: the first w characters, or the text right-justified.
inline void put_text_field(char* field, std::size_t w, std::string_view text) {
  if (text.size() >= w) {
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
        put_text(record, v.s, it);
      } else if (v.kind == Out::Kind::Char) {
        put_text(record, std::string_view(&v.c, 1), it);
      } else {
        return false;
      }
      return true;
  }
}

// ---- input ----------------------------------------------------------------------------------

// Columns [pos, pos + w) of the line, cut where the line ends.
[[gnu::always_inline]] inline std::string_view field_at(std::string_view line, std::size_t pos,
                                                        std::size_t w) {
  if (pos >= line.size()) return {};
  return line.substr(pos, w);
}

[[gnu::always_inline]] inline bool get_int(std::string_view field, std::int32_t& out) {
  const char* p = field.data();
  const char* const end = p + field.size();
  while (p != end && *p == ' ') ++p;  // right-justified fields start with blanks
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) {
    negative = *p++ == '-';
    while (p != end && *p == ' ') ++p;
    if (p == end) return false;  // a sign needs digits
  }
  std::uint64_t value = 0;
  for (; p != end; ++p) {
    const auto digit = static_cast<unsigned>(*p - '0');
    if (digit <= 9) {
      value = value * 10 + digit;
      if (value > 0x80000000ULL) return false;
    } else if (*p != ' ') {
      return false;
    }
  }
  if (value > (negative ? 0x80000000ULL : 0x7fffffffULL)) return false;
  out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                 : static_cast<std::int32_t>(value);
  return true;
}

// An Iw field of up to 8 columns in the shape the logger writes (blanks, an optional sign, then
// only digits), read as one 64-bit word instead of character by character. The 8 bytes loaded
// must lie inside the line: those from the field's first column on, or those ending at its last.
// Byte k of the word is the k-th character (the machine is little-endian). Returns false when
// the field is of another shape (inner blanks, a blank after the sign, anything invalid), which
// the general reader then decides.
//
// The blanks that stand for the columns before a field of width w in its word.
[[gnu::always_inline]] inline std::uint64_t blanks_before(std::size_t w) {
  return w >= 8 ? 0 : 0x2020202020202020ULL >> (8 * w);
}

// The field's characters in the highest bytes of `word`, blanks in the bytes before them.
[[gnu::always_inline]] inline bool decode_short_int(std::uint64_t word, std::int32_t& out) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  // High bit of each byte that is not a digit: (c ^ '0') below 10 is a digit.
  const std::uint64_t v = word ^ (0x30 * kOnes);
  const std::uint64_t other = ((((v & 0x7F * kOnes) + 0x76 * kOnes) | v) & 0x80 * kOnes);
  // Digits from the last character that is not one on: `lead` characters before them, which must
  // be blanks but for the last, which may be a sign.
  const unsigned lead = other == 0 ? 0 : static_cast<unsigned>(64 - std::countl_zero(other)) / 8;
  if (lead == 8) {
    if (word != 0x20 * kOnes) return false;
    out = 0;  // an all-blank field
    return true;
  }
  const std::uint64_t lead_mask = (std::uint64_t{1} << (8 * lead)) - 1;
  bool negative = false;
  if (lead > 0) {
    const auto last = static_cast<char>(word >> (8 * (lead - 1)));
    const std::uint64_t blanks_mask = lead_mask >> 8;
    if (((word ^ 0x20 * kOnes) & blanks_mask) != 0) return false;
    if (last == '-') {
      negative = true;
    } else if (last != '+' && last != ' ') {
      return false;
    }
  }
  // Digit values, the first (most significant) in the lowest byte; then pairs, fours and all
  // eight combined by multiplications.
  std::uint64_t digits = word & (0x0F * kOnes) & ~lead_mask;
  digits = (digits * 10) + (digits >> 8);
  digits = (((digits & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
            (((digits >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
           32;
  const auto value = static_cast<std::int32_t>(digits);  // below 10^8
  out = negative ? -value : value;
  return true;
}

[[gnu::always_inline]] inline bool get_short_int(std::string_view line, std::size_t column,
                                                 std::size_t w, std::int32_t& out) {
  if (std::endian::native != std::endian::little || w > 8) return false;
  std::uint64_t word;
  if (column + 8 <= line.size()) {
    std::memcpy(&word, line.data() + column, 8);
    word <<= 8 * (8 - w);  // the field's last character into the highest byte
  } else if (column + w >= 8 && column + w <= line.size()) {
    std::memcpy(&word, line.data() + column + w - 8, 8);
    if (w < 8) word &= ~(UINT64_MAX >> (8 * w));  // the columns before the field
  } else {
    return false;
  }
  return decode_short_int(word | blanks_before(w), out);
}

// Reads an Fw.d field. The field's characters (blanks dropped) form a decimal text that
// from_chars rounds correctly to the target type; without a point the last d digits are
// decimals, which an exponent of -d expresses.
template <typename Real>
bool get_fixed(std::string_view field, unsigned d, Real& out) {
  char buf[kMaxFixedWidth + 8];  // the field's characters and an exponent of up to -22
  std::size_t len = 0;
  bool sign = false, point = false, digits = false, negative = false;
  for (const char c : field) {
    if (c == ' ') continue;
    if (c >= '0' && c <= '9') {
      digits = true;
      buf[len++] = c;
    } else if (c == '.' && !point) {
      point = true;
      buf[len++] = c;
    } else if ((c == '-' || c == '+') && !sign && !digits && !point) {
      sign = true;
      negative = c == '-';
    } else {
      return false;
    }
  }
  if (!digits) {
    if (sign || point) return false;
    out = 0;
    return true;
  }
  if (!point && d > 0) {
    buf[len++] = 'e';
    buf[len++] = '-';
    if (d >= 10) buf[len++] = static_cast<char>('0' + d / 10);
    buf[len++] = static_cast<char>('0' + d % 10);
  }
  Real value{};
  const auto result = std::from_chars(buf, buf + len, value);
  // Out of range can only mean too large: the smallest non-zero field value is 10^-22.
  if (result.ec != std::errc() || result.ptr != buf + len) return false;
  out = negative ? -value : value;
  return true;
}

[[gnu::always_inline]] inline bool get_value(std::string_view line, const Item& step,
                                             const In& target) {
  const std::size_t column = step.column;
  if (step.op == Op::TextAll || step.op == Op::Text) {
    if (target.kind == In::Kind::Text) {
      const std::size_t w = step.op == Op::TextAll ? std::string_view::npos : step.w;
      *static_cast<std::string_view*>(target.target) = field_at(line, column, w);
      return true;
    }
    if (target.kind == In::Kind::Char) {
      // A one-character variable takes the last column of an Aw field, as Fortran does, and
      // the first of the rest of the line for A alone.
      const std::size_t at = step.op == Op::TextAll ? column : column + step.w - 1;
      *static_cast<char*>(target.target) = at < line.size() ? line[at] : ' ';
      return true;
    }
    return false;
  }
  if (step.op == Op::Int) {
    if (target.kind != In::Kind::Int) return false;
    auto& out = *static_cast<std::int32_t*>(target.target);
    return get_short_int(line, column, step.w, out) || get_int(field_at(line, column, step.w), out);
  }
  const std::string_view field = field_at(line, column, step.w);
  if (target.kind == In::Kind::Real32) {
    return get_fixed(field, step.d, *static_cast<float*>(target.target));
  }
  if (target.kind == In::Kind::Real64) {
    return get_fixed(field, step.d, *static_cast<double*>(target.target));
  }
  return false;
}

// Walks a layout in the order a record is written or read: every literal and nX once, every
// data descriptor once per repetition, groups entered as often as their count says.
class Walker {
 public:
  Walker(const std::vector<Item>& items, int n)
      : items_(items.data()), size_(items.size()), n_(n) {}

  // The next literal, nX or data descriptor; nullptr at the end of the layout.
  const Item* next() {
    if (left_ > 0) {
      --left_;
      return current_;
    }
    while (pc_ < size_) {
      const Item& it = items_[pc_];
      if (it.op == Op::Begin) {
        const int repeat = it.repeat(n_);
        if (repeat == 0) {
          pc_ = it.link + 1;
        } else {
          stack_[depth_++] = {pc_, repeat};
          ++pc_;
        }
        continue;
      }
      if (it.op == Op::End) {
        if (--stack_[depth_ - 1].left > 0) {
          pc_ = stack_[depth_ - 1].begin + 1;
        } else {
          --depth_;
          ++pc_;
        }
        continue;
      }
      ++pc_;
      if (it.op == Op::Skip || it.op == Op::Literal) return &it;
      const int repeat = it.repeat(n_);
      if (repeat == 0) continue;
      left_ = repeat - 1;
      current_ = &it;
      return &it;
    }
    return nullptr;
  }

 private:
  struct Frame {
    std::size_t begin;
    int left;
  };
  const Item* items_;
  std::size_t size_;
  int n_;
  std::size_t pc_ = 0;
  const Item* current_ = nullptr;
  int left_ = 0;  // repetitions of `current_` still to come
  Frame stack_[kMaxDepth];
  int depth_ = 0;
};

// The plan of a layout for one n, produced one item at a time: the Walker's literals and data
// descriptors with the nX before them folded in and their input columns counted.
class StepWalker {
 public:
  StepWalker(const std::vector<Item>& items, int n) : walker_(items, n) {}

  const Item* next() {
    std::uint32_t blanks = 0;
    while (const Item* it = walker_.next()) {
      if (it->op == Op::Skip) {
        blanks += it->w;
        column_ += it->w;
        continue;
      }
      step_ = *it;
      step_.a = 0;
      step_.b = 1;
      step_.blanks = blanks;
      step_.column = static_cast<std::uint32_t>(std::min<std::size_t>(column_, kPastLineEnd));
      if (std::endian::native == std::endian::little && it->op == Op::Int && it->w <= 8 &&
          column_ + 8 < kPastLineEnd) {
        step_.word_end = static_cast<std::uint32_t>(column_ + 8);
        step_.word_shift = static_cast<std::uint8_t>(8 * (8 - it->w));
        step_.word_blanks = blanks_before(it->w);
      }
      // A alone takes the rest of the line: whatever follows it reads past the end.
      column_ = it->op == Op::TextAll ? kPastLineEnd : column_ + it->w;
      return &step_;
    }
    return nullptr;  // nX at the end of the layout writes and reads nothing
  }

 private:
  static constexpr std::size_t kPastLineEnd = UINT32_MAX;
  Walker walker_;
  Item step_;
  std::size_t column_ = 0;
};

// A stored plan, item after item.
class PlanCursor {
 public:
  explicit PlanCursor(const std::vector<Item>& plan)
      : next_(plan.data()), end_(plan.data() + plan.size()) {}
  const Item* next() { return next_ == end_ ? nullptr : next_++; }

 private:
  const Item* next_;
  const Item* end_;
};

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

// A record of fixed width (a plan without A alone) is blanked once and each field written in
// place, with no bounds check per field and no call per step.
bool write_fixed_plan(const std::vector<Item>& plan, std::size_t width, const std::string& literals,
                      std::string& line, const Out* values, std::size_t count) {
  line.assign(width, ' ');
  char* const out = line.data();
  std::size_t next = 0;
  // Without A alone, a step's input column is also where its field starts in the record.
  for (const Item& step : plan) {
    char* const field = out + step.column;
    if (step.op == Op::Literal) {
      std::memcpy(field, literals.data() + step.link, step.w);
      continue;
    }
    // Literals and blanks before a data field are written even when no value is left for it.
    if (next == count) {
      line.resize(step.column - step.blanks);
      return true;
    }
    const Out& v = values[next++];
    bool suits = true;
    switch (step.op) {
      case Op::Int:
        suits = v.kind == Out::Kind::Int;
        if (suits) put_int(field, v.i, step.w);
        break;
      case Op::Fixed:
        if (v.kind == Out::Kind::Real32) {
          put_fixed(field, v.f, step.w, step.d);
        } else if (v.kind == Out::Kind::Real64) {
          put_fixed_double(field, v.d, step.w, step.d);
        } else {
          suits = false;
        }
        break;
      default:  // Text: a fixed plan has no A alone
        if (v.kind == Out::Kind::Text) {
          put_text_field(field, step.w, v.s);
        } else if (v.kind == Out::Kind::Char) {
          put_text_field(field, step.w, std::string_view(&v.c, 1));
        } else {
          suits = false;
        }
        break;
    }
    if (!suits) {
      line.resize(step.column);
      return false;
    }
  }
  return next == count;
}

template <typename Steps>
ReadResult read_steps(Steps steps, std::string_view line, const In* targets, std::size_t count) {
  std::size_t next = 0;
  while (const Item* step = steps.next()) {
    if (step->op == Op::Literal) continue;  // its columns are skipped on input
    if (next == count) return {};
    if (!get_value(line, *step, targets[next])) {
      return {ReadStatus::BadField, static_cast<int>(next)};
    }
    ++next;
  }
  if (next < count) return {ReadStatus::EndOfRecord, static_cast<int>(next)};
  return {};
}

// A stored plan read with short I fields, the common case, taken first and their 8 bytes loaded
// without further checks when the line reaches that far.
ReadResult read_plan(const std::vector<Item>& plan, std::string_view line, const In* targets,
                     std::size_t count) {
  std::size_t next = 0;
  for (const Item& step : plan) {
    if (step.op == Op::Literal) continue;  // its columns are skipped on input
    if (next == count) return {};
    const In& target = targets[next];
    bool ok;
    if (step.word_end <= line.size() && target.kind == In::Kind::Int) {
      auto& out = *static_cast<std::int32_t*>(target.target);
      std::uint64_t word;
      std::memcpy(&word, line.data() + step.column, 8);
      word = (word << step.word_shift) | step.word_blanks;
      ok = decode_short_int(word, out) || get_int(field_at(line, step.column, step.w), out);
    } else {
      ok = get_value(line, step, target);
    }
    if (!ok) return {ReadStatus::BadField, static_cast<int>(next)};
    ++next;
  }
  if (next < count) return {ReadStatus::EndOfRecord, static_cast<int>(next)};
  return {};
}

// Plans are kept for the run-time counts met in practice (coil arrays, EMS channels); a layout
// used with a larger n is walked instead.
constexpr int kPlannedCounts = 9;

}  // namespace

Layout::Layout(std::string_view text) : text_(text) {
  Parser(text_, literals_, items_).parse();
  const bool runtime =
      std::any_of(items_.begin(), items_.end(), [](const Item& it) { return it.a != 0; });
  for (int n = 0; n < (runtime ? kPlannedCounts : 1); ++n) {
    std::vector<Item>& plan = plans_.emplace_back();
    StepWalker steps(items_, n);
    std::size_t width = 0;
    bool fixed = true;
    while (const Item* step = steps.next()) {
      plan.push_back(*step);
      width += step->blanks + step->w;
      fixed = fixed && step->op != Op::TextAll;
    }
    widths_.push_back(fixed && width < UINT32_MAX ? static_cast<std::uint32_t>(width) : 0);
  }
}

Layout::Layout(const Layout& other) = default;
Layout::Layout(Layout&& other) noexcept = default;
Layout& Layout::operator=(const Layout& other) = default;
Layout& Layout::operator=(Layout&& other) noexcept = default;
Layout::~Layout() = default;

const std::vector<Layout::Item>* Layout::plan(int n) const {
  if (plans_.size() == 1) return &plans_[0];
  if (n >= 0 && n < static_cast<int>(plans_.size())) return &plans_[static_cast<std::size_t>(n)];
  return nullptr;
}

bool Layout::write(std::string& line, std::initializer_list<Out> values, int n) const {
  return write(line, values.begin(), values.size(), n);
}

bool Layout::write(std::string& line, const Out* values, std::size_t count, int n) const {
  if (const auto* steps = plan(n)) {
    const std::size_t width = widths_[plans_.size() == 1 ? 0 : static_cast<std::size_t>(n)];
    if (width != 0) return write_fixed_plan(*steps, width, literals_, line, values, count);
    return write_steps(PlanCursor(*steps), literals_, line, values, count);
  }
  return write_steps(StepWalker(items_, n), literals_, line, values, count);
}

ReadResult Layout::read(std::string_view line, std::initializer_list<In> targets, int n) const {
  return read(line, targets.begin(), targets.size(), n);
}

ReadResult Layout::read(std::string_view line, const In* targets, std::size_t count, int n) const {
  if (const auto* steps = plan(n)) return read_plan(*steps, line, targets, count);
  return read_steps(StepWalker(items_, n), line, targets, count);
}

std::string pad_to(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

}  // namespace quillet
