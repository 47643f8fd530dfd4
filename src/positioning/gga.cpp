#include "positioning/gga.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "common/console.hpp"
#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "common/text.hpp"
#include "core/byte_scan.hpp"

namespace quillet {

namespace {

// Only the boundaries of the first ten fields matter: everything after the altitude is ignored.
constexpr int kCommasUsed = 10;

// Comma-separated fields of the part of a sentence before its "*".
class GgaFields {
 public:
  // `fast`: the commas found sixteen characters at a time; otherwise one by one.
  GgaFields(std::string_view body, bool fast) : body_(body) {
    // Column 5 is the last letter of the talker and "GGA": the first comma can stand no earlier.
    std::size_t k = 4;
    if (fast) {
      for (; k + 16 <= body_.size(); k += 16) {
        if (take(k, byte_mask(body_.data() + k, ','))) return;
      }
      // The rest, shorter than sixteen characters, as the end of the last sixteen.
      if (k < body_.size() && body_.size() >= 16) {
        const std::size_t rest = body_.size() - k;
        take(k, byte_mask(body_.data() + body_.size() - 16, ',') >> (16 - rest));
        return;
      }
    }
    for (; k < body_.size() && count_ < kCommasUsed; ++k) {
      if (body_[k] == ',') commas_[static_cast<std::size_t>(count_++)] = k;
    }
  }

  // Field k (1-based) lies between comma k and comma k+1; it exists only when both were found.
  bool exists(int k) const { return k >= 1 && k + 1 <= count_; }

  // The text strictly between the two commas, empty for an absent field.
  std::string_view text(int k) const {
    if (!exists(k)) return {};
    const std::size_t first = comma(k) + 1;
    return body_.substr(first, comma(k + 1) - first);
  }

  // The sentence from the start of field k up to the character before the "*": what a failed
  // read shows, so the user sees the offending field in its context.
  std::string_view from(int k) const { return body_.substr(comma(k) + 1); }

 private:
  std::size_t comma(int k) const { return commas_[static_cast<std::size_t>(k - 1)]; }

  // Keeps the commas of `found` (bit j: a comma at k + j) up to the last one used; true when
  // that one was found.
  bool take(std::size_t k, unsigned found) {
    for (; found != 0; found &= found - 1) {
      commas_[static_cast<std::size_t>(count_++)] =
          k + static_cast<std::size_t>(std::countr_zero(found));
      if (count_ == kCommasUsed) return true;
    }
    return false;
  }

  std::string_view body_;
  std::array<std::size_t, kCommasUsed> commas_{};
  int count_ = 0;
};

// The exclusive or of every character of `body`, eight at a time and then folded into one byte.
int checksum_of(std::string_view body) {
  std::uint64_t folded = 0;
  std::size_t at = 0;
  if (body.size() >= 16) {
    // Sixteen at a time in the compiler's generic vector type, the two halves then folded.
    byte_scan::Bytes lanes{};
    for (; at + 16 <= body.size(); at += 16) {
      byte_scan::Bytes chunk;
      std::memcpy(&chunk, body.data() + at, 16);
      lanes ^= chunk;
    }
    std::uint64_t halves[2];
    std::memcpy(halves, &lanes, sizeof halves);
    folded = halves[0] ^ halves[1];
  }
  // The last fifteen characters at most: eight, four, two and one at a time.
  if (at + 8 <= body.size()) {
    std::uint64_t word;
    std::memcpy(&word, body.data() + at, 8);
    folded ^= word;
    at += 8;
  }
  if (at + 4 <= body.size()) {
    std::uint32_t word;
    std::memcpy(&word, body.data() + at, 4);
    folded ^= word;
    at += 4;
  }
  if (at + 2 <= body.size()) {
    std::uint16_t word;
    std::memcpy(&word, body.data() + at, 2);
    folded ^= word;
    at += 2;
  }
  if (at < body.size()) folded ^= static_cast<unsigned char>(body[at]);
  folded ^= folded >> 32;
  folded ^= folded >> 16;
  folded ^= folded >> 8;
  return static_cast<int>(folded & 0xFF);
}

// Two hexadecimal digits in either case; blanks are ignored and an all-blank pair reads as 0,
// as a fixed hexadecimal field does.
bool read_checksum(std::string_view digits, int& value) {
  int v = 0;
  for (char c : digits) {
    int d;
    if (c == ' ') continue;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else {
      return false;
    }
    v = v * 16 + d;
  }
  value = v;
  return true;
}

// Fast paths for the fields as receivers write them: plain digits, and one point in the decimal
// ones. Each gives exactly what the layout's reading gives, or declines (returns false and leaves
// `out` alone) so that the layout reads the field, errors and messages included.

// 1 to 9 digits and nothing else.
bool plain_digits(std::string_view text, std::int32_t& out) {
  if (text.empty() || text.size() > 9) return false;
  std::int32_t value = 0;
  for (const char c : text) {
    const auto digit = static_cast<unsigned>(c - '0');
    if (digit > 9) return false;
    value = value * 10 + static_cast<std::int32_t>(digit);
  }
  out = value;
  return true;
}

// A field of at most 7 characters: digits with one point among them (at least one digit). Its
// digits form an integer below 10^7 and the decimals a power of ten, both exact in a float and a
// double, so that one division rounds the decimal value correctly, as the layout's reading does.
template <typename Real>
bool plain_decimal(std::string_view text, Real& out) {
  static constexpr Real kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  if (text.size() < 2 || text.size() > 7) return false;
  std::int32_t digits = 0;
  std::size_t point = std::string_view::npos;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto digit = static_cast<unsigned>(text[k] - '0');
    if (digit <= 9) {
      digits = digits * 10 + static_cast<std::int32_t>(digit);
    } else if (text[k] == '.' && point == std::string_view::npos) {
      point = k;
    } else {
      return false;
    }
  }
  if (point == std::string_view::npos) return false;
  out = static_cast<Real>(digits) / kPowers[text.size() - 1 - point];
  return true;
}

// Degrees in the first `width` characters of an angle (all digits), minutes in the 7 after them.
bool plain_angle(std::string_view text, std::size_t width, std::int32_t& degrees, double& minutes) {
  std::int32_t d = 0;
  if (!plain_digits(text.substr(0, width), d) || !plain_decimal(text.substr(width, 7), minutes)) {
    return false;
  }
  degrees = d;
  return true;
}

// A hexadecimal digit in either case, or -1.
int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char upper = static_cast<char>(c & ~0x20);
  if (upper >= 'A' && upper <= 'F') return upper - 'A' + 10;
  return -1;
}

// Bit k set where lane k of `hit` holds.
[[gnu::always_inline]] inline unsigned lane_mask(byte_scan::Bytes hit) {
#if defined(__SSE2__)
  return static_cast<unsigned>(_mm_movemask_epi8(std::bit_cast<__m128i>(hit)));
#else
  unsigned mask = 0;
  for (unsigned k = 0; k < 16; ++k) mask |= static_cast<unsigned>(hit[k] != 0) << k;
  return mask;
#endif
}

constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
constexpr std::uint64_t kZeros = '0' * kEveryByte;

// True when every byte of `word` is the code of a decimal digit. The lowest byte that is not
// gets no carry or borrow from the bytes below it, so its high bit shows in one of the two.
[[gnu::always_inline]] inline bool all_digits(std::uint64_t word) {
  return (((word + 0x46 * kEveryByte) | (word - kZeros)) & 0x80 * kEveryByte) == 0;
}

// The value of the eight digits of `word`, the first character the leading digit.
[[gnu::always_inline]] inline std::uint32_t digits_value(std::uint64_t word) {
  std::uint64_t v = word - kZeros;
  v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFu;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFu;
  return static_cast<std::uint32_t>((v * 10000 + (v >> 32)) & 0xFFFFFFFFu);
}

// The eight characters at `at`, character k in byte k of the word.
[[gnu::always_inline]] inline std::uint64_t word_at(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// What plain_decimal gives for the `kLength` characters at the start of `word` where they are
// digits with the point at `kPoint`, the usual shapes of the fields, in a few word operations;
// false for any other characters.
template <unsigned kLength, unsigned kPoint, typename Real>
[[gnu::always_inline]] inline bool shaped_decimal(std::uint64_t word, Real& value) {
  static constexpr Real kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  static_assert(kLength >= 2 && kLength <= 7 && kPoint < kLength);
  constexpr unsigned kDigits = kLength - 1;
  constexpr std::uint64_t kWindow = (std::uint64_t{1} << (8 * kLength)) - 1;
  constexpr std::uint64_t kBelow = (std::uint64_t{1} << (8 * kPoint)) - 1;
  if ((word >> (8 * kPoint) & 0xFF) != '.') return false;
  // The point taken out, the digits after it moved down a byte, then all of them placed last
  // after leading zeros.
  const std::uint64_t packed = (word & kBelow) | (word >> 8 & (kWindow >> 8) & ~kBelow);
  const std::uint64_t aligned = packed << (8 * (8 - kDigits)) | kZeros >> (8 * kDigits);
  if (!all_digits(aligned)) return false;
  value = static_cast<Real>(static_cast<std::int32_t>(digits_value(aligned))) /
          kPowers[kDigits - kPoint];
  return true;
}

// What an Fw.d read of the next `width` characters of a field at `at` gives where they are digits
// with one point among them (at least `least` characters, fewer when the field ends sooner): the
// digits form an integer below 10^7 and the decimals a power of ten, both exact in a float and a
// double, so that one division rounds the decimal value correctly, as the layout's reading does.
// The number of characters read, or 0. A "*" ends the reading.
template <typename Real>
int field_window(const char* at, int width, int least, Real& value) {
  static constexpr Real kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  std::int32_t digits = 0;
  int point = -1;
  int k = 0;
  for (; k < width; ++k) {
    const auto digit = static_cast<unsigned>(at[k] - '0');
    if (digit <= 9) {
      digits = digits * 10 + static_cast<std::int32_t>(digit);
    } else if (at[k] == '.' && point < 0) {
      point = k;
    } else if (at[k] == ',') {
      break;
    } else {
      return 0;
    }
  }
  if (point < 0 || k < least) return 0;
  value = static_cast<Real>(digits) / kPowers[k - 1 - point];
  return k;
}

// A reading position in a sentence whose first "*" stands at least three characters before
// its end, followed by two hexadecimal digits: the "*" stops every loop below, the position
// never passes it, and nothing is read more than two characters past it.
class PlainCursor {
 public:
  PlainCursor(const char* at, const char* end) : at_(at), end_(end) {}

  // Past the rest of the field and its comma; false when the "*" comes first.
  [[gnu::always_inline]] bool next_field() {
    while (*at_ != ',' && *at_ != '*') ++at_;
    return *at_++ == ',';
  }
  bool at_comma() const { return *at_ == ','; }
  const char* at() const { return at_; }
  void skip(std::size_t count) { at_ += count; }
  // Whether the eight characters `offset` characters on lie in the sentence.
  bool word_fits(std::size_t offset) const {
    return end_ - at_ >= static_cast<std::ptrdiff_t>(offset + 8);
  }

  // What an Fw.d read of the field's next `width` characters gives, as field_window reads them;
  // the characters are taken.
  template <typename Real>
  [[gnu::always_inline]] bool decimal(int width, int least, Real& value) {
    const int taken = field_window(at_, width, least, value);
    at_ += taken;
    return taken > 0;
  }

  // Degrees (`width` digits) and minutes (the next 7 characters at most) of an angle field of at
  // least five characters, negated when the next field's letter is `negative_letter`; the cursor
  // ends past that letter's field.
  [[gnu::always_inline]] bool angle(std::size_t width, char negative_letter, double& angle) {
    // Reads of the first three characters stay within two past the "*".
    const auto hundreds = width == 3 ? static_cast<unsigned>(at_[0] - '0') : 0u;
    const auto tens = static_cast<unsigned>(at_[width - 2] - '0');
    const auto units = static_cast<unsigned>(at_[width - 1] - '0');
    if (hundreds > 9 || tens > 9 || units > 9) return false;
    double minutes = 0.0;
    // Minutes as receivers mostly write them, "mm.mmmm" filling the window of 7 characters.
    if (word_fits(width) && shaped_decimal<7, 2>(word_at(at_ + width), minutes)) {
      at_ += width + 7;
    } else {
      at_ += width;
      if (!decimal(7, static_cast<int>(5 - width), minutes)) return false;
    }
    if (!next_field()) return false;
    // A letter field reads as its first character, upper-cased; an empty one as a blank.
    const char letter = static_cast<char>(at_comma() ? ' ' : *at_ & ~0x20);
    const double sign = letter == negative_letter ? -1.0 : 1.0;
    angle = sign * (static_cast<std::int32_t>(hundreds * 100 + tens * 10 + units) + minutes / 60.0);
    // Mostly one letter and its comma (a "*" here has a digit after it).
    if (letter != ' ' && at_[1] == ',') {
      at_ += 2;
      return true;
    }
    return next_field();
  }

  // HDOP and altitude: zero for a field shorter than two characters, else F5.1.
  [[gnu::always_inline]] bool tenths(float& value) {
    const auto whole = static_cast<unsigned>(at_[0] - '0');
    if (whole <= 9 && at_[1] == '.') {
      // "d.d", as HDOP mostly is; the first character a digit, the next three are read.
      const auto tenth = static_cast<unsigned>(at_[2] - '0');
      if (tenth <= 9 && at_[3] == ',') {
        value = static_cast<float>(static_cast<std::int32_t>(whole * 10 + tenth)) / 10.0f;
        at_ += 4;
        return true;
      }
    } else if (word_fits(0) && shaped_decimal<5, 3>(word_at(at_), value)) {
      // "ddd.d", as altitudes mostly are.
      at_ += 5;
      return next_field();
    }
    if (at_comma() || at_[1] == ',') {
      value = 0.0f;
    } else if (!decimal(5, 2, value)) {
      return false;
    }
    return next_field();
  }

 private:
  const char* at_;
  const char* end_;
};

// The first "*" of `s` and the exclusive or of the characters before it, sixteen at a time;
// false when `s` is shorter than sixteen characters, holds no "*" or fewer than two characters
// after it. Every load lies in `s`.
[[gnu::always_inline]] inline bool find_star(std::string_view s, std::size_t& star, int& checksum) {
  using byte_scan::Bytes;
  const std::size_t size = s.size();
  if (size < 16) return false;
  const Bytes stars_wanted = byte_scan::splat('*');
  Bytes sum{};
  Bytes chunk;
  unsigned stars = 0;
  std::size_t at = 0;
  for (; at + 16 <= size; at += 16) {
    std::memcpy(&chunk, s.data() + at, 16);
    stars = lane_mask(chunk == stars_wanted);
    if (stars != 0) break;
    sum ^= chunk;
  }
  // Lanes of the last chunk before `first` were summed already.
  unsigned first = 0;
  if (stars == 0) {
    // The rest, shorter than sixteen characters, as the end of the last sixteen; its lanes
    // before `first` are the previous chunk's and hold no "*".
    if (at == size) return false;
    first = static_cast<unsigned>(at + 16 - size);
    std::memcpy(&chunk, s.data() + size - 16, 16);
    stars = lane_mask(chunk == stars_wanted);
    if (stars == 0) return false;
  }
  const auto last = static_cast<unsigned>(std::countr_zero(stars));
  star = at + last - first;
  if (star + 2 >= size) return false;
  // Lanes `first` to `last` (excluded) of the chunk: a run of -1 bytes cut out of a ramp.
  static constexpr signed char kRamp[48] = {
      0,  0,  0,  0,  0,  0,  0,  0,  0, 0, 0, 0, 0, 0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1,
      -1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0,  0,  0,  0,  0,  0,  0};
  Bytes from_first;
  Bytes before_last;
  std::memcpy(&from_first, kRamp + 16 - first, 16);
  std::memcpy(&before_last, kRamp + 32 - last, 16);
  sum ^= chunk & from_first & before_last;
  std::uint64_t halves[2];
  std::memcpy(halves, &sum, sizeof halves);
  std::uint64_t folded = halves[0] ^ halves[1];
  folded ^= folded >> 32;
  folded ^= folded >> 16;
  folded ^= folded >> 8;
  checksum = static_cast<int>(folded & 0xFF);
  return true;
}

// The sentence as receivers write it, read in one pass: a "*" with two hexadecimal digits after
// it and a matching checksum, the first comma after the talker and "GGA", a time of six digits
// or more, both angles plain, a digit for the mode, 1 to 9 digits of satellites, plain (or
// short) HDOP and altitude, and a comma after the altitude. Gives what the field by field
// reading gives for such a sentence, or declines (returns false with no result written) for
// anything else.
[[gnu::always_inline]] inline bool read_plain_sentence(std::string_view s, std::int32_t& GPS_TIME,
                                                       double& LAT, double& LON,
                                                       std::int32_t& DMODE, std::int32_t& GPS_SATS,
                                                       float& GPS_HDOP, float& GPS_ALT) {
  std::size_t p = 0;
  int checksum = 0;
  if (!find_star(s, p, checksum) || p < 6 || s[4] == ',' || s[5] != ',') return false;
  const int high = hex_digit(s[p + 1]);
  const int low = hex_digit(s[p + 2]);
  if (high < 0 || low < 0 || checksum != high * 16 + low) return false;

  // Six digits of time in columns 6 to 11, within the first sixteen characters; hours, minutes
  // and seconds then in bytes 0, 2 and 4 of `pairs`.
  const std::uint64_t time = word_at(s.data() + 6);
  if (!all_digits((time & 0x0000FFFFFFFFFFFFu) | (kZeros << 48))) return false;
  const std::uint64_t pairs = ((time - kZeros) * 10 + ((time - kZeros) >> 8)) & 0x000000FF00FF00FFu;
  PlainCursor at(s.data() + 12, s.data() + s.size());
  double latitude;
  double longitude;
  if (!at.next_field() || !at.angle(2, 'S', latitude) || !at.angle(3, 'W', longitude)) {
    return false;
  }
  const auto mode = static_cast<unsigned>(at.at()[0] - '0');
  if (mode > 9) return false;
  at.skip(1);
  if (!at.next_field()) return false;
  // Satellites: two digits mostly, else 1 to 9 digits.
  const char* const sats = at.at();
  const auto tens = static_cast<unsigned>(sats[0] - '0');
  const auto units = static_cast<unsigned>(sats[1] - '0');
  std::int32_t satellites = static_cast<std::int32_t>(tens * 10 + units);
  if (tens <= 9 && units <= 9 && sats[2] == ',') {
    at.skip(3);
  } else {
    satellites = 0;
    int count = 0;
    for (; count < 9 && !at.at_comma(); ++count) {
      const auto digit = static_cast<unsigned>(at.at()[0] - '0');
      if (digit > 9) return false;
      satellites = satellites * 10 + static_cast<std::int32_t>(digit);
      at.skip(1);
    }
    if (count == 0 || !at.at_comma() || !at.next_field()) return false;
  }
  float hdop;
  float altitude;
  if (!at.tenths(hdop) || !at.tenths(altitude)) return false;
  const auto hours = static_cast<std::int32_t>(pairs & 0xFF);
  const auto minutes = static_cast<std::int32_t>(pairs >> 16 & 0xFF);
  const auto seconds = static_cast<std::int32_t>(pairs >> 32 & 0xFF);
  GPS_TIME = ((hours * 60 + minutes) * 60 + seconds) * 1000;
  LAT = latitude;
  LON = longitude;
  DMODE = static_cast<std::int32_t>(mode);
  GPS_SATS = satellites;
  GPS_HDOP = hdop;
  GPS_ALT = altitude;
  return true;
}

// The hemisphere letter of field k, upper-cased; `absent` when the sentence has no such field.
bool read_hemisphere(const GgaFields& fields, int k, char absent, char& letter, bool fast) {
  static const Layout letter_layout("(A1)");
  if (!fields.exists(k)) {
    letter = absent;
    return true;
  }
  if (fast) {
    // An A1 read takes the field's first character, a blank for an empty field.
    const std::string_view text = fields.text(k);
    const char c = text.empty() ? ' ' : text[0];
    letter = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return true;
  }
  char c = ' ';
  if (!letter_layout.read(fields.text(k), {c}).ok()) return false;
  letter = SHIFTUP(std::string_view(&c, 1), 1)[0];
  return true;
}

void report(Console& console, std::string_view message, std::string_view rest) {
  console.write(FreeLine() << message << caret_notation(rest, TabByte::Kept));
}

// Degrees and minutes (ddmm.mmmm or dddmm.mmmm) from field k, with the hemisphere letter of the
// field after it; negated for `negative_letter`. A field shorter than five characters is zero.
bool read_angle(const GgaFields& fields, int k, const Layout& layout, std::size_t degree_width,
                char absent_letter, char negative_letter, std::string_view value_message,
                std::string_view letter_message, double& angle, Console& console, bool fast) {
  std::int32_t degrees = 0;
  double minutes = 0.0;
  const std::string_view text = fields.text(k);
  if (text.size() >= 5 && !(fast && plain_angle(text, degree_width, degrees, minutes)) &&
      !layout.read(text, {degrees, minutes}).ok()) {
    report(console, value_message, fields.from(k));
    return false;
  }
  char hemisphere;
  if (!read_hemisphere(fields, k + 1, absent_letter, hemisphere, fast)) {
    report(console, letter_message, fields.from(k + 1));
    return false;
  }
  const double sign = hemisphere == negative_letter ? -1.0 : 1.0;
  angle = sign * (degrees + minutes / 60.0);
  return true;
}

// HDOP and altitude: cleared, then read as F5.1 from a field of at least two characters.
bool read_tenths(const GgaFields& fields, int k, std::string_view message, float& result,
                 Console& console, bool fast) {
  static const Layout tenths_layout("(F5.1)");
  result = 0.0f;
  const std::string_view text = fields.text(k);
  if (text.size() < 2) return true;
  float value = 0.0f;
  if (!(fast && plain_decimal(text.substr(0, 5), value)) &&
      !tenths_layout.read(text, {value}).ok()) {
    report(console, message, fields.from(k));
    return false;
  }
  result = value;
  return true;
}

bool is_upper_letter(char c) {
  return c >= 'A' && c <= 'Z';
}

// Where the first talker identifier of a GGA sentence other than "GPGGA" starts: two upper-case
// letters followed by "GGA,". The comma is part of the test so that a "GGA" inside some other
// text of the line does not start a sentence.
std::size_t other_talker_gga(std::string_view line) {
  for (std::size_t at = line.find("GGA,", 2); at != std::string_view::npos;
       at = line.find("GGA,", at + 1)) {
    if (is_upper_letter(line[at - 2]) && is_upper_letter(line[at - 1])) return at - 2;
  }
  return std::string_view::npos;
}

// READ_GPGGA with the fast paths above (`fast`) or with the layouts alone.
void read_gpgga(std::string_view sentence, std::int32_t& GPS_TIME, double& LAT, double& LON,
                std::int32_t& DMODE, std::int32_t& GPS_SATS, float& GPS_HDOP, float& GPS_ALT,
                Console& console, bool fast) {
  static const Layout time_layout("(3I2)");
  static const Layout latitude_layout("(I2, F7.4)");
  static const Layout longitude_layout("(I3, F7.4)");
  static const Layout mode_layout("(I1)");

  const std::string_view s = sentence.substr(0, std::min(sentence.size(), kGgaSentenceWidth));

  const std::size_t p = s.find('*');
  if (p == std::string_view::npos || p <= 1) {
    console.write(FreeLine() << "Read_GPGGA:  no data in payload");
    return;
  }

  // The two characters after the "*"; columns past the end of the text are blanks.
  std::array<char, 2> digits = {' ', ' '};
  for (std::size_t k = 0; k < 2; ++k) {
    if (p + 1 + k < s.size()) digits[k] = s[p + 1 + k];
  }
  const std::string_view checksum_text(digits.data(), digits.size());
  int checksum = 0;
  if (!read_checksum(checksum_text, checksum)) {
    report(console, "Read_GPGGA:  Error reading checksum=", checksum_text);
    return;
  }

  const std::string_view body = s.substr(0, p);
  if (checksum_of(body) != checksum) return;

  const GgaFields fields(body, fast);

  // Fix time: hhmmss, fractions of a second ignored; a short field means no time.
  {
    const std::string_view time = fields.text(1);
    std::int32_t hours = 0, minutes = 0, seconds = 0;
    bool ok = true;
    if (time.size() >= 5) {
      ok = (fast && time.size() >= 6 && plain_digits(time.substr(0, 2), hours) &&
            plain_digits(time.substr(2, 2), minutes) && plain_digits(time.substr(4, 2), seconds)) ||
           time_layout.read(time, {hours, minutes, seconds}).ok();
    }
    const std::int64_t ms = ((std::int64_t{hours} * 60 + minutes) * 60 + seconds) * 1000;
    if (!ok || ms < 0) {
      GPS_TIME = 0;
      report(console, "Read_GPGGA:  Error reading GPS time=", time);
      return;
    }
    GPS_TIME = static_cast<std::int32_t>(ms);
  }

  double latitude;
  if (!read_angle(fields, 2, latitude_layout, 2, 'N', 'S',
                  "Read_GPGGA:  Error reading latitude data=",
                  "Read_GPGGA:  Error reading NS data=", latitude, console, fast)) {
    return;
  }
  LAT = latitude;

  // Only "W" is west: a missing letter field defaults to it, but an empty one gives a blank and
  // so east.
  double longitude;
  if (!read_angle(fields, 4, longitude_layout, 3, 'W', 'W',
                  "Read_GPGGA:  Error reading longitude data=",
                  "Read_GPGGA:  Error reading EW data=", longitude, console, fast)) {
    return;
  }
  LON = longitude;
  DMODE = 0;

  if (fields.exists(6)) {
    std::int32_t mode = 0;
    const std::string_view text = fields.text(6);
    if (!(fast && plain_digits(text.substr(0, 1), mode)) && !mode_layout.read(text, {mode}).ok()) {
      report(console, "Read_GPGGA:  Error reading dmode data=", fields.from(6));
      return;
    }
    DMODE = mode;
  }

  GPS_SATS = 0;
  if (fields.exists(7)) {
    std::int32_t satellites = 0;
    // An empty field gives no value rather than an error: receivers leave it empty without a fix.
    const std::string_view text = fields.text(7);
    if (!(fast && plain_digits(text, satellites)) &&
        read_free(text, {satellites}).status == FreeReadStatus::BadValue) {
      report(console, "Read_GPGGA:  Error reading nsat data=", fields.from(7));
      return;
    }
    GPS_SATS = satellites;
  }

  if (!read_tenths(fields, 8, "Read_GPGGA:  Error reading hdop data=", GPS_HDOP, console, fast)) {
    return;
  }
  // Only the first five characters count: a six-character altitude loses its last digit.
  read_tenths(fields, 9, "Read_GPGGA:  Error reading gps_alt data=", GPS_ALT, console, fast);
}

}  // namespace

void READ_GPGGA(std::string_view sentence, std::int32_t& GPS_TIME, double& LAT, double& LON,
                std::int32_t& DMODE, std::int32_t& GPS_SATS, float& GPS_HDOP, float& GPS_ALT,
                Console& console) {
  if (read_plain_sentence(sentence.substr(0, std::min(sentence.size(), kGgaSentenceWidth)),
                          GPS_TIME, LAT, LON, DMODE, GPS_SATS, GPS_HDOP, GPS_ALT)) {
    return;
  }
  read_gpgga(sentence, GPS_TIME, LAT, LON, DMODE, GPS_SATS, GPS_HDOP, GPS_ALT, console, true);
}

bool gga_detail::read_gpgga_plain(std::string_view sentence, GpsFix& fix) {
  return read_plain_sentence(sentence.substr(0, std::min(sentence.size(), kGgaSentenceWidth)),
                             fix.GPS_TIME, fix.LAT, fix.LON, fix.DMODE, fix.GPS_SATS, fix.GPS_HDOP,
                             fix.GPS_ALT);
}

void gga_detail::read_gpgga_general(std::string_view sentence, GpsFix& fix, Console& console) {
  read_gpgga(sentence, fix.GPS_TIME, fix.LAT, fix.LON, fix.DMODE, fix.GPS_SATS, fix.GPS_HDOP,
             fix.GPS_ALT, console, false);
}

std::string_view gga_sentence_of(std::string_view line) {
  // In a G$ line the sentence stands right after the marker; no "GPGGA" before that one can
  // overlap it, so it is the first.
  std::size_t start = line.size() >= 8 && line.substr(3, 5) == "GPGGA" ? 3 : line.find("GPGGA");
  if (start == std::string_view::npos) start = other_talker_gga(line);
  if (start == std::string_view::npos) return {};
  return trim_right(line.substr(start));
}

}  // namespace quillet
