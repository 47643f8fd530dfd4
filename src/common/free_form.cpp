#include "common/free_form.hpp"

#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

namespace quillet {

namespace {

// gfortran's list-directed form of a real: significant digits, field width (without the
// separating blank) and exponent digits per kind.
struct RealForm {
  std::size_t digits;
  std::size_t width;
  std::size_t exponent_digits;
};
constexpr RealForm kReal32{9, 16, 2};
constexpr RealForm kReal64{17, 25, 3};

void append_right_justified(std::string& line, std::string_view text, std::size_t width) {
  if (text.size() < width) line.append(width - text.size(), ' ');
  line.append(text);
}

// The G form of list-directed output: the value rounded to `digits` significant digits is
// written in fixed form when 0.1 <= |rounded| < 10^digits (keeping all its digits, with the
// exponent's columns left blank) and in 1P E form otherwise; zero is written as 0.000...
void append_real(std::string& line, double v, const RealForm& form) {
  if (std::isnan(v)) {
    append_right_justified(line, "NaN", form.width);
    return;
  }
  if (std::isinf(v)) {
    append_right_justified(line, v < 0 ? "-Infinity" : "Infinity", form.width);
    return;
  }
  const std::size_t digits = form.digits;
  const std::string blanks_for_exponent(form.exponent_digits + 2, ' ');
  std::string text = std::signbit(v) ? "-" : "";
  if (v == 0) {
    text += "0.";
    text.append(digits - 1, '0');
    text += blanks_for_exponent;
    append_right_justified(line, text, form.width);
    return;
  }
  // d.ddddde[+-]x with exactly `digits` significant digits, correctly rounded.
  char sci[48];
  const auto end = std::to_chars(sci, sci + sizeof sci, std::fabs(v), std::chars_format::scientific,
                                 static_cast<int>(digits) - 1)
                       .ptr;
  const std::string_view scientific(sci, static_cast<std::size_t>(end - sci));
  const std::size_t e = scientific.find('e');
  int exponent = 0;
  std::from_chars(sci + e + (sci[e + 1] == '+' ? 2 : 1), end, exponent);
  std::string mantissa;  // the significant digits without the point
  mantissa += scientific[0];
  mantissa += scientific.substr(2, digits - 1);
  if (exponent >= -1 && exponent < static_cast<int>(digits)) {
    const auto int_digits = static_cast<std::size_t>(exponent + 1);
    text +=
        int_digits == 0 ? std::string_view("0") : std::string_view(mantissa).substr(0, int_digits);
    text += '.';
    text += std::string_view(mantissa).substr(int_digits);
    text += blanks_for_exponent;
  } else {
    text += mantissa[0];
    text += '.';
    text += std::string_view(mantissa).substr(1);
    text += exponent < 0 ? "E-" : "E+";
    const std::string magnitude = std::to_string(exponent < 0 ? -exponent : exponent);
    if (magnitude.size() < form.exponent_digits) {
      text.append(form.exponent_digits - magnitude.size(), '0');
    }
    text += magnitude;
  }
  append_right_justified(line, text, form.width);
}

// ---- input ----------------------------------------------------------------------------------

// A carriage return separates values too: Windows copies of logger files may end a line with two.
bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}
bool ends_value(char c) {
  return is_blank(c) || c == ',' || c == '/';
}

bool parse_int(std::string_view token, std::int32_t& out) {
  std::size_t k = 0;
  bool negative = false;
  if (k < token.size() && (token[k] == '+' || token[k] == '-')) negative = token[k++] == '-';
  if (k == token.size()) return false;
  std::uint64_t value = 0;
  for (; k < token.size(); ++k) {
    const char c = token[k];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 0x80000000ULL) return false;
  }
  if (value > (negative ? 0x80000000ULL : 0x7fffffffULL)) return false;
  out = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value))
                 : static_cast<std::int32_t>(value);
  return true;
}

// Sign, digits with at most one point (at least one digit), then optionally an exponent letter
// E or D (either case), an optional sign and digits. The value must be finite in the target.
template <typename Real>
bool parse_real(std::string_view token, Real& out) {
  char buf[128];
  if (token.size() >= sizeof buf) return false;
  std::size_t k = 0, len = 0;
  bool negative = false;
  if (k < token.size() && (token[k] == '+' || token[k] == '-')) negative = token[k++] == '-';
  bool digits = false, point = false, significant = false;
  long magnitude =
      0;  // the value lies between 10^(magnitude - 1) and 10^magnitude, before the exponent
  for (; k < token.size(); ++k) {
    const char c = token[k];
    if (c >= '0' && c <= '9') {
      digits = true;
      if (!point && (significant || c != '0')) ++magnitude;
      if (point && !significant && c == '0') --magnitude;
      significant = significant || c != '0';
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
    buf[len++] = c;
  }
  if (!digits) return false;
  long exponent = 0;
  if (k < token.size()) {
    // The exponent letter may be E, D or Q, or left out before a signed exponent ("1.5+3").
    const char letter = token[k];
    if (letter == '+' || letter == '-') {
    } else if (letter == 'e' || letter == 'E' || letter == 'd' || letter == 'D' || letter == 'q' ||
               letter == 'Q') {
      ++k;
    } else {
      return false;
    }
    buf[len++] = 'e';
    bool exponent_negative = false;
    if (k < token.size() && (token[k] == '+' || token[k] == '-')) {
      exponent_negative = token[k] == '-';
      buf[len++] = token[k++];
    }
    if (k == token.size()) return false;
    for (; k < token.size(); ++k) {
      if (token[k] < '0' || token[k] > '9') return false;
      if (exponent < 100000) exponent = exponent * 10 + (token[k] - '0');
      buf[len++] = token[k];
    }
    if (exponent_negative) exponent = -exponent;
  }
  Real value{};
  const auto result = std::from_chars(buf, buf + len, value);
  if (result.ptr != buf + len) return false;
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars reports an underflow as out of range too; that one reads as zero, as in
    // gfortran, while an overflow (which gfortran would turn into Infinity) is refused.
    if (magnitude + exponent > 0) return false;
    value = 0;
  } else if (result.ec != std::errc()) {
    return false;
  }
  out = negative ? -value : value;
  return true;
}

bool parse_value(std::string_view token, const In& target) {
  switch (target.kind) {
    case In::Kind::Int:
      return parse_int(token, *static_cast<std::int32_t*>(target.target));
    case In::Kind::Real32:
      return parse_real(token, *static_cast<float*>(target.target));
    case In::Kind::Real64:
      return parse_real(token, *static_cast<double*>(target.target));
    default:
      return false;
  }
}

// Walks the characters of a list-directed read, taking further lines from `source` (when
// there is one) where the current text ends.
class FreeScanner {
 public:
  FreeScanner(std::string_view text, LineSource* source) : text_(text), source_(source) {}

  // Skips blanks and ended lines; returns false at the end of all input.
  bool skip_blanks() {
    for (;;) {
      while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
      if (pos_ < text_.size()) return true;
      if (source_ == nullptr || !source_->next_line(buffer_)) return false;
      text_ = buffer_;
      pos_ = 0;
    }
  }
  char peek() const { return text_[pos_]; }
  void advance() { ++pos_; }
  std::string_view token() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !ends_value(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

 private:
  std::string_view text_;
  LineSource* source_;
  std::string buffer_;
  std::size_t pos_ = 0;
};

// The items of a list-directed read, one per variable: values, null values (an empty value
// between separators, or a repeat form "r*" without a value) and the "/" that ends the input. A
// repeat form "r*c" gives r items c.
class FreeItems {
 public:
  enum class Kind { Value, Null, Slash, End, Bad };
  struct Item {
    Kind kind;
    std::string_view text;  // the value of a Value item
  };

  FreeItems(std::string_view text, LineSource* source) : scanner_(text, source) {}

  Item next() {
    // The copies of a repeat are handed out before any further line is looked at, so the text
    // they point into stays where it is.
    if (repeats_left_ > 0) {
      --repeats_left_;
      return repeated_item();
    }
    if (!scanner_.skip_blanks()) return {Kind::End, {}};
    // A value's closing comma may stand after blanks or even on the next line; it is taken when
    // the next value is looked for, so that a read never waits for a line it does not need.
    if (comma_owed_ && scanner_.peek() == ',') {
      scanner_.advance();
      if (!scanner_.skip_blanks()) return {Kind::End, {}};
    }
    comma_owed_ = false;
    const char c = scanner_.peek();
    if (c == '/') return {Kind::Slash, {}};
    if (c == ',') {
      scanner_.advance();
      return {Kind::Null, {}};
    }
    const std::string_view token = scanner_.token();
    comma_owed_ = true;
    const std::size_t star = token.find('*');
    if (star == std::string_view::npos) return {Kind::Value, token};
    const std::int32_t count = repeat_count(token.substr(0, star));
    if (count == 0) return {Kind::Bad, {}};
    repeated_ = token.substr(star + 1);
    repeats_left_ = count - 1;
    return repeated_item();
  }

 private:
  // Above this count gfortran refuses a repeat form as an overflow.
  static constexpr std::int32_t kMaxRepeat = 200000000;

  // The r of "r*": unsigned digits worth 1 to kMaxRepeat; 0 when it is not one.
  static std::int32_t repeat_count(std::string_view digits) {
    if (digits.empty()) return 0;
    std::int64_t count = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return 0;
      count = count * 10 + (c - '0');
      if (count > kMaxRepeat) return 0;
    }
    return static_cast<std::int32_t>(count);
  }

  Item repeated_item() const {
    return repeated_.empty() ? Item{Kind::Null, {}} : Item{Kind::Value, repeated_};
  }

  FreeScanner scanner_;
  bool comma_owed_ = false;
  std::int32_t repeats_left_ = 0;
  std::string_view repeated_;
};

FreeReadResult read_list(FreeItems& items, std::initializer_list<In> targets) {
  FreeReadResult result;
  for (const In& target : targets) {
    const FreeItems::Item item = items.next();
    switch (item.kind) {
      case FreeItems::Kind::End:
        result.status = FreeReadStatus::EndOfInput;
        return result;
      case FreeItems::Kind::Slash:
        return result;
      case FreeItems::Kind::Null:  // the variable keeps its value
        continue;
      case FreeItems::Kind::Bad:
        result.status = FreeReadStatus::BadValue;
        return result;
      case FreeItems::Kind::Value:
        if (!parse_value(item.text, target)) {
          result.status = FreeReadStatus::BadValue;
          return result;
        }
        ++result.assigned;
        break;
    }
  }
  return result;
}

}  // namespace

FreeLine& FreeLine::operator<<(std::string_view text) {
  // Texts that follow texts are joined without the separating blank, as gfortran writes them.
  if (line_.empty() || !last_was_text_) line_.push_back(' ');
  last_was_text_ = true;
  line_.append(text);
  return *this;
}

FreeLine& FreeLine::operator<<(std::int32_t value) {
  line_.push_back(' ');
  last_was_text_ = false;
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  append_right_justified(line_, std::string_view(digits, end - digits), 11);
  return *this;
}

FreeLine& FreeLine::operator<<(float value) {
  line_.push_back(' ');
  last_was_text_ = false;
  append_real(line_, static_cast<double>(value), kReal32);
  return *this;
}

FreeLine& FreeLine::operator<<(double value) {
  line_.push_back(' ');
  last_was_text_ = false;
  append_real(line_, value, kReal64);
  return *this;
}

FreeReadResult read_free(std::string_view text, std::initializer_list<In> targets) {
  FreeItems items(text, nullptr);
  return read_list(items, targets);
}

FreeReadResult read_free(LineSource& source, std::initializer_list<In> targets) {
  FreeItems items({}, &source);
  return read_list(items, targets);
}

OneValue read_one_value(std::string_view text, float& value) {
  FreeItems items(text, nullptr);
  const FreeItems::Item first = items.next();
  float read = 0.0f;
  switch (first.kind) {
    case FreeItems::Kind::End:
      return OneValue::Blank;
    case FreeItems::Kind::Slash:
      return OneValue::None;
    case FreeItems::Kind::Bad:
      return OneValue::NotOne;
    case FreeItems::Kind::Null:
      break;
    case FreeItems::Kind::Value:
      if (!parse_real(first.text, read)) return OneValue::NotOne;
      break;
  }
  const FreeItems::Kind after = items.next().kind;
  if (after != FreeItems::Kind::End && after != FreeItems::Kind::Slash) return OneValue::NotOne;
  if (first.kind == FreeItems::Kind::Null) return OneValue::None;
  value = read;
  return OneValue::Read;
}

}  // namespace quillet
