#include "common/layout.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

namespace quillet {

// A layout is executed as a flat list of items. A group becomes a Begin item that knows the index
// of its End item (to skip a group repeated zero times) and an End item where the walk goes back
// while repetitions are left, so a write needs no recursion and no allocation. A repeat count,
// constant or run-time, is a*n + b.
struct Layout::Item {
  enum class Op : std::uint8_t { Int, Fixed, Text, TextAll, Skip, Literal, Begin, End };
  Op op = Op::Skip;
  std::uint8_t d = 0;  // decimals of Fw.d
  std::int32_t a = 0;  // repeat count = a * n + b
  std::int32_t b = 1;
  std::uint32_t w = 0;     // field width; Skip: columns; Literal: length
  std::uint32_t link = 0;  // Begin: index of its End; Literal: offset in the literal texts

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

// Writes the decimal digits of `v` so that they end just before `end`; returns the first digit
// (`end` itself when v is 0).
char* put_digits(char* end, std::uint64_t v) {
  while (v >= 100) {
    const unsigned pair = static_cast<unsigned>(v % 100) * 2;
    v /= 100;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  }
  if (v >= 10) {
    const unsigned pair = static_cast<unsigned>(v) * 2;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  } else if (v > 0) {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

char* put_digits(char* end, u128 v) {
  constexpr std::uint64_t kChunk = 10000000000000000000ULL;  // 10^19
  while (v > static_cast<u128>(UINT64_MAX)) {
    const auto low = static_cast<std::uint64_t>(v % kChunk);
    v /= kChunk;
    char* start = put_digits(end, low);
    while (end - start < 19) *--start = '0';
    end = start;
  }
  return put_digits(end, static_cast<std::uint64_t>(v));
}

// Appends `w` columns and returns them; the caller fills them right to left.
char* grow(std::string& line, std::size_t w) {
  const std::size_t at = line.size();
  line.resize(at + w, ' ');
  return line.data() + at;
}

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

void put_int(std::string& line, std::int32_t value, std::uint32_t w) {
  char buf[16];
  char* end = buf + sizeof buf;
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(value)) : value;
  char* start = put_digits(end, magnitude);
  if (start == end) *--start = '0';
  if (negative) *--start = '-';
  right_justify(grow(line, w), w, start, static_cast<std::size_t>(end - start));
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

// round(a * 10^d) of a finite a >= 0, computed exactly from its binary value with ties to even.
// The caller guarantees that the result fits 128 bits.
u128 scaled_rounded(double a, unsigned d) {
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
  const u128 product = static_cast<u128>(mantissa) * kPow10.exact[d];
  const int shift = -exponent;
  if (shift >= 128) return 0;  // the product is below 2^127, so below half of 2^shift
  u128 q = product >> shift;
  const u128 remainder = product - (q << shift);
  const u128 half = static_cast<u128>(1) << (shift - 1);
  if (remainder > half || (remainder == half && (q & 1) != 0)) ++q;
  return q;
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

void put_fixed(std::string& line, double v, std::uint32_t w, unsigned d) {
  char* field = grow(line, w);
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
  char buf[48];
  char* end = buf + sizeof buf;
  char* start = put_digits(end, scaled_rounded(a, d));
  while (end - start < static_cast<std::ptrdiff_t>(d)) *--start = '0';
  const auto int_digits = static_cast<std::size_t>(end - start) - d;
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
  char* out = field + (w - len);
  if (negative) *out++ = '-';
  if (leading_zero) *out++ = '0';
  std::memcpy(out, start, int_digits);
  out += int_digits;
  *out++ = '.';
  std::memcpy(out, start + int_digits, d);
}

void put_text(std::string& line, std::string_view text, const Item& it) {
  if (it.op == Op::TextAll) {
    line.append(text);
    return;
  }
  char* field = grow(line, it.w);
  if (text.size() >= it.w) {
    std::memcpy(field, text.data(), it.w);
  } else {
    std::memcpy(field + (it.w - text.size()), text.data(), text.size());
  }
}

bool put_value(std::string& line, const Item& it, const Out& v) {
  switch (it.op) {
    case Op::Int:
      if (v.kind != Out::Kind::Int) return false;
      put_int(line, v.i, it.w);
      return true;
    case Op::Fixed:
      if (v.kind == Out::Kind::Real32) {
        put_fixed(line, static_cast<double>(v.f), it.w, it.d);
      } else if (v.kind == Out::Kind::Real64) {
        put_fixed(line, v.d, it.w, it.d);
      } else {
        return false;
      }
      return true;
    default:  // Text, TextAll
      if (v.kind == Out::Kind::Text) {
        put_text(line, v.s, it);
      } else if (v.kind == Out::Kind::Char) {
        put_text(line, std::string_view(&v.c, 1), it);
      } else {
        return false;
      }
      return true;
  }
}

// ---- input ----------------------------------------------------------------------------------

// Columns [pos, pos + w) of the line, cut where the line ends.
std::string_view field_at(std::string_view line, std::size_t pos, std::size_t w) {
  if (pos >= line.size()) return {};
  return line.substr(pos, w);
}

bool get_int(std::string_view field, std::int32_t& out) {
  std::uint64_t value = 0;
  bool negative = false, sign = false, digits = false;
  for (const char c : field) {
    if (c == ' ') continue;
    if (c >= '0' && c <= '9') {
      digits = true;
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (value > 0x80000000ULL) return false;
    } else if ((c == '-' || c == '+') && !sign && !digits) {
      sign = true;
      negative = c == '-';
    } else {
      return false;
    }
  }
  if (sign && !digits) return false;
  if (value > (negative ? 0x80000000ULL : 0x7fffffffULL)) return false;
  out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                 : static_cast<std::int32_t>(value);
  return true;
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

bool get_value(std::string_view line, std::size_t& pos, const Item& it, const In& target) {
  if (it.op == Op::TextAll || it.op == Op::Text) {
    if (target.kind == In::Kind::Text) {
      const std::size_t w = it.op == Op::TextAll ? std::string_view::npos : it.w;
      *static_cast<std::string_view*>(target.target) = field_at(line, pos, w);
      pos = it.op == Op::TextAll ? std::max(pos, line.size()) : pos + w;
      return true;
    }
    if (target.kind == In::Kind::Char) {
      // A one-character variable takes the last column of an Aw field, as Fortran does.
      const std::size_t w = it.op == Op::TextAll ? 1 : it.w;
      const std::size_t col = pos + w - 1;
      *static_cast<char*>(target.target) = col < line.size() ? line[col] : ' ';
      pos += w;
      return true;
    }
    return false;
  }
  const std::string_view field = field_at(line, pos, it.w);
  pos += it.w;
  if (it.op == Op::Int) {
    if (target.kind != In::Kind::Int) return false;
    return get_int(field, *static_cast<std::int32_t*>(target.target));
  }
  if (target.kind == In::Kind::Real32) {
    return get_fixed(field, it.d, *static_cast<float*>(target.target));
  }
  if (target.kind == In::Kind::Real64) {
    return get_fixed(field, it.d, *static_cast<double*>(target.target));
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

}  // namespace

Layout::Layout(std::string_view text) : text_(text) {
  Parser(text_, literals_, items_).parse();
}

Layout::Layout(const Layout& other) = default;
Layout::Layout(Layout&& other) noexcept = default;
Layout& Layout::operator=(const Layout& other) = default;
Layout& Layout::operator=(Layout&& other) noexcept = default;
Layout::~Layout() = default;

bool Layout::write(std::string& line, std::initializer_list<Out> values, int n) const {
  return write(line, values.begin(), values.size(), n);
}

bool Layout::write(std::string& line, const Out* values, std::size_t count, int n) const {
  line.clear();
  std::size_t next = 0;
  std::size_t pending_blanks = 0;  // nX output is held back until something follows it
  Walker walker(items_, n);
  while (const Item* it = walker.next()) {
    if (it->op == Op::Skip) {
      pending_blanks += it->w;
      continue;
    }
    if (it->op != Op::Literal && next == count) return true;
    if (pending_blanks != 0) {
      line.append(pending_blanks, ' ');
      pending_blanks = 0;
    }
    if (it->op == Op::Literal) {
      line.append(literals_, it->link, it->w);
    } else if (!put_value(line, *it, values[next++])) {
      return false;
    }
  }
  return next == count;
}

ReadResult Layout::read(std::string_view line, std::initializer_list<In> targets, int n) const {
  return read(line, targets.begin(), targets.size(), n);
}

ReadResult Layout::read(std::string_view line, const In* targets, std::size_t count, int n) const {
  std::size_t next = 0;
  std::size_t pos = 0;
  Walker walker(items_, n);
  while (const Item* it = walker.next()) {
    if (it->op == Op::Skip || it->op == Op::Literal) {
      pos += it->w;
      continue;
    }
    if (next == count) return {};
    if (!get_value(line, pos, *it, targets[next])) {
      return {ReadStatus::BadField, static_cast<int>(next)};
    }
    ++next;
  }
  if (next < count) return {ReadStatus::EndOfRecord, static_cast<int>(next)};
  return {};
}

std::string pad_to(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

}  // namespace quillet
