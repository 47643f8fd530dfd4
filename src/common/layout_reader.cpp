// Reading a record through a layout: the input half of the format engine.
#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <span>
#include <system_error>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/layout.hpp"
#include "common/layout_fast_paths.hpp"
#include "common/layout_plan.hpp"

namespace quillet {

namespace {

using namespace layout_detail;

// A second copy of the scanned columns in the buffer of scanned columns that bound reads fill,
// column c at kSecondScan + c, stored sixteen at a time from column -8 on (zeros before column 0).
// A load soon after a store takes its bytes straight from the store only when it lies within that
// one store; a field's 8 columns that cross a multiple of 16 columns lie within one store of this
// copy, and the load takes them there instead of waiting for the stores to reach the cache.
constexpr std::size_t kSecondScan = kScanFront + kScannedColumns + 8;
constexpr std::size_t kScanBuffer = kSecondScan + kScannedColumns + 8;

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

// Digit values, the first (most significant) in the lowest byte, zeros in the bytes before
// them: pairs, fours and all eight combined by multiplications.
[[gnu::always_inline]] inline std::int32_t combine_digits(std::uint64_t digits) {
  digits = (digits * 10) + (digits >> 8);
  digits = (((digits & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
            (((digits >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
           32;
  return static_cast<std::int32_t>(digits);  // below 10^8
}

// The field's characters in the highest bytes of `word`, blanks in the bytes before them.
[[gnu::always_inline]] inline bool decode_short_int(std::uint64_t word, std::int32_t& out) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  // Each byte less '0': a digit's value, for a digit. High bit of each byte that is not a digit:
  // (c ^ '0') below 10 is a digit.
  const std::uint64_t v = word ^ (0x30 * kOnes);
  const std::uint64_t other = ((((v & 0x7F * kOnes) + 0x76 * kOnes) | v) & 0x80 * kOnes);
  // The bytes that are not digits must come first (the lead, before the field's digits), all
  // of them blanks but the last, which may be a sign.
  const std::uint64_t lead_mask = (other >> 7) * 0xFF;
  const std::uint64_t lead = (word ^ 0x20 * kOnes) & lead_mask;
  std::uint64_t digits = v & ~lead_mask;
  bool negative = false;
  if ((lead | (lead_mask & (lead_mask + 1))) != 0) [[unlikely]] {
    // A digit before a character that is not one, or a lead that is not all blanks: the field
    // is plain only when its last character before the digits is a sign and digits follow.
    if ((lead_mask & (lead_mask + 1)) != 0 || lead_mask == ~std::uint64_t{0}) return false;
    const std::uint64_t sign_byte = lead_mask ^ (lead_mask >> 8);
    if (lead == (('-' ^ ' ') * kOnes & sign_byte)) {
      negative = true;
    } else if (lead != (('+' ^ ' ') * kOnes & sign_byte)) {
      return false;
    }
  }
  const std::int32_t value = combine_digits(digits);
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

// `words`: whether short I fields may be taken by the word-wide reader first.
[[gnu::always_inline]] inline bool get_value(std::string_view line, const Item& step,
                                             const In& target, bool words = true) {
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
    return (words && get_short_int(line, column, step.w, out)) ||
           get_int(field_at(line, column, step.w), out);
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

template <typename Steps>
ReadResult read_steps(Steps steps, std::string_view line, const In* targets, std::size_t count,
                      bool words = true) {
  std::size_t next = 0;
  while (const Item* step = steps.next()) {
    if (step->op == Op::Literal) continue;  // its columns are skipped on input
    if (next == count) return {};
    if (!get_value(line, *step, targets[next], words)) {
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

// A field of a plan's compact form that the word-wide reader did not take.
[[gnu::noinline]] bool read_field(const Layout::Reading::Field& field, const Item& step,
                                  std::string_view line, const In& target) {
  if (field.word && target.kind == In::Kind::Int) {
    return get_int(field_at(line, field.column, step.w),
                   *static_cast<std::int32_t*>(target.target));
  }
  return get_value(line, step, target);
}

// A plan's compact form read on a line that reaches every word it loads.
ReadResult read_compact(const Layout::Reading& reading, const std::vector<Item>& plan,
                        std::string_view line, const In* targets, std::size_t count) {
  const std::size_t fields = reading.fields.size();
  const std::size_t read = count < fields ? count : fields;
  const Layout::Reading::Field* field = reading.fields.data();
  for (std::size_t k = 0; k < read; ++k, ++field) {
    const In& target = targets[k];
    if (field->word && target.kind == In::Kind::Int) {
      std::uint64_t word;
      std::memcpy(&word, line.data() + field->column, 8);
      word = (word << field->shift) | field->blanks;
      if (decode_short_int(word, *static_cast<std::int32_t*>(target.target))) continue;
    }
    if (!read_field(*field, plan[field->step], line, target)) {
      return {ReadStatus::BadField, static_cast<int>(k)};
    }
  }
  if (count > fields) return {ReadStatus::EndOfRecord, static_cast<int>(fields)};
  return {};
}

#if defined(__SSE2__)
using Bytes = unsigned char __attribute__((vector_size(16)));

// The `n` (below 16) bytes at `p`, blanks after them, loaded without touching a byte past them.
[[gnu::always_inline]] inline Bytes load_partial(const char* p, std::size_t n) {
  using Words = std::uint64_t __attribute__((vector_size(16)));
  constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
  std::uint64_t low = kBlanks;
  std::uint64_t high = kBlanks;
  if (n >= 8) {
    std::memcpy(&low, p, 8);
    if (n > 8) {
      std::memcpy(&high, p + n - 8, 8);
      high = (high >> (8 * (16 - n))) | (kBlanks << (8 * (n - 8)));
    }
  } else if (n >= 4) {
    std::uint32_t first;
    std::uint32_t last;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + n - 4, 4);
    low = (first | std::uint64_t{last} << (8 * (n - 4))) | kBlanks << (8 * n);
  } else if (n > 0) {
    const auto byte = [&](std::size_t k) {
      return std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
    };
    low = byte(0) | byte(n / 2) | byte(n - 1) | kBlanks << (8 * n);
  }
  const Words words = {low, high};
  return reinterpret_cast<Bytes>(words);
}
#endif

#if defined(__SSE2__)
// The masks of 16 columns (bit k for the k-th), as ScannedColumns holds them.
struct BlockMasks {
  std::uint32_t digit;
  std::uint32_t numeric;
  std::uint32_t plain;
};

// Classifies 16 columns, and puts their digit values at `values`.
[[gnu::always_inline]] inline BlockMasks classify_block(Bytes c, unsigned char* values) {
  const Bytes value = c - '0';
  const Bytes is_digit = reinterpret_cast<Bytes>(value <= 9);
  const Bytes is_minus = reinterpret_cast<Bytes>(c == '-');
  const Bytes is_numeric = is_digit | is_minus | reinterpret_cast<Bytes>(c == '+');
  const Bytes v = (value & is_digit) | (is_minus & 0x80);
  std::memcpy(values, &v, 16);
  const auto bits = [](Bytes mask) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(mask)));
  };
  return {bits(is_digit), bits(is_numeric), bits(is_numeric | reinterpret_cast<Bytes>(c == ' '))};
}

// Classifies block `b` of a line, `c`: its digit values at `values` + 16 b, and its three masks
// as 16 bits in their place of the two words per mask.
[[gnu::always_inline]] inline void scan_block(std::size_t b, Bytes c, unsigned char* values,
                                              std::uint64_t* plain, std::uint64_t* numeric,
                                              std::uint64_t* digit) {
  const BlockMasks masks = classify_block(c, values + 16 * b);
  const unsigned shift = 16 * (b % 4);
  digit[b / 4] |= std::uint64_t{masks.digit} << shift;
  numeric[b / 4] |= std::uint64_t{masks.numeric} << shift;
  plain[b / 4] |= std::uint64_t{masks.plain} << shift;
}
#endif

// Classifies the first 16 * `blocks` columns into the three masks and the digit values at
// `values` (which has room for them).
[[gnu::always_inline]] inline void scan_line(std::string_view line, std::size_t blocks,
                                             std::uint64_t* plain, std::uint64_t* numeric,
                                             std::uint64_t* digit, unsigned char* values) {
#if defined(__SSE2__)
  for (int h = 0; h < 2; ++h) plain[h] = numeric[h] = digit[h] = 0;
  const auto scan = [&](std::size_t b, Bytes c) {
    scan_block(b, c, values, plain, numeric, digit);
  };
  const std::size_t whole = std::min(blocks, line.size() / 16);
  for (std::size_t b = 0; b < whole; ++b) {
    Bytes c;
    std::memcpy(&c, line.data() + 16 * b, 16);
    scan(b, c);
  }
  for (std::size_t b = whole; b < blocks; ++b) {
    // The line ends before this block does: the columns past it read as blanks.
    const std::size_t first = 16 * b;
    scan(b, load_partial(line.data() + first, first < line.size() ? line.size() - first : 0));
  }
#else
  ScannedColumns scanned;
  scan_columns_scalar(line, blocks, scanned);
  std::memcpy(plain, scanned.plain, sizeof scanned.plain);
  std::memcpy(numeric, scanned.numeric, sizeof scanned.numeric);
  std::memcpy(digit, scanned.digit, sizeof scanned.digit);
  std::memcpy(values, scanned.values, 16 * blocks);
#endif
}

[[gnu::always_inline]] inline void scan_line(std::string_view line, std::size_t blocks,
                                             ScannedColumns& out) {
  scan_line(line, blocks, out.plain, out.numeric, out.digit, out.values);
  std::memset(out.values + 16 * blocks, 0, 16);
}

// Whether every word field of the plan has the shape the scanned reader takes: blanks, then
// perhaps a sign, then digits (or blanks alone). Within a field a digit or a sign is followed
// by a digit, and a sign does not end the field.
[[gnu::always_inline]] inline bool plain_word_fields(const std::uint64_t* word_columns,
                                                     const std::uint64_t* inner_columns,
                                                     const std::uint64_t* last_columns,
                                                     const std::uint64_t* plain,
                                                     const std::uint64_t* numeric,
                                                     const std::uint64_t* digit) {
  std::uint64_t bad = 0;
  std::uint64_t carry = 0;  // a digit or sign in the last column of the half before
  for (int h = 0; h < 2; ++h) {
    const std::uint64_t after_numeric = (numeric[h] << 1) | carry;
    carry = numeric[h] >> 63;
    bad |= (word_columns[h] & ~plain[h]) | (inner_columns[h] & after_numeric & ~digit[h]) |
           (last_columns[h] & numeric[h] & ~digit[h]);
  }
  return bad == 0;
}

[[gnu::always_inline]] inline bool plain_word_fields(const Layout::Reading& reading,
                                                     const ScannedColumns& s) {
  return plain_word_fields(reading.word_columns, reading.inner_columns, reading.last_columns,
                           s.plain, s.numeric, s.digit);
}

[[gnu::always_inline]] inline std::int32_t combine_word(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  const std::int32_t value = combine_digits(word & 0x0F * kOnes);
  return (word & 0x80 * kOnes) != 0 ? -value : value;
}

#if defined(__SSE2__)
// Four fields at once, two words per vector: digit pairs by one multiplication per 16-bit lane
// (the first, more significant digit in the low byte: (lo + 256 hi) * 0x0A01 holds 10 lo + hi
// in its high byte), fours and all eight by multiply-adds, the sign applied where a byte of the
// field holds 0x80 (the sum of a field's bytes is then above 127: eight digits make at most 72).
// `kCharacters`: the words hold the fields' characters themselves (zeros before them), which
// are blanks, digits and perhaps a minus sign, instead of digit values.
template <bool kCharacters = false>
[[gnu::always_inline]] inline __m128i combine_four(__m128i ab, __m128i cd) {
  using Lanes = std::uint16_t __attribute__((vector_size(16)));
  const __m128i zero = _mm_setzero_si128();
  const __m128i hundred_one = _mm_set1_epi32(100 | 1 << 16);
  const __m128i ten_thousand_one = _mm_set1_epi32(10000 | 1 << 16);
  // One multiplication, which the compiler would otherwise spell out in shifts and additions.
  __m128i times = _mm_set1_epi16(0x0A01);
  asm("" : "+x"(times));
  const auto pairs = [&](__m128i v) {
    // A character less '0' saturates to 0 for a blank or a sign.
    const __m128i digits =
        kCharacters ? _mm_subs_epu8(v, _mm_set1_epi8('0')) : _mm_and_si128(v, _mm_set1_epi8(0x0F));
    return reinterpret_cast<__m128i>(reinterpret_cast<Lanes>(_mm_mullo_epi16(digits, times)) >> 8);
  };
  const __m128i fours = _mm_packs_epi32(_mm_madd_epi16(pairs(ab), hundred_one),
                                        _mm_madd_epi16(pairs(cd), hundred_one));  // below 10^4
  const __m128i magnitude = _mm_madd_epi16(fours, ten_thousand_one);
  // Per field the sum of its bytes (of its minus signs as 0xFF); 32-bit lanes in field order
  // after the pack.
  const auto signs = [](__m128i v) {
    return kCharacters ? _mm_cmpeq_epi8(v, _mm_set1_epi8('-')) : v;
  };
  const __m128i sums =
      _mm_packs_epi32(_mm_sad_epu8(signs(ab), zero), _mm_sad_epu8(signs(cd), zero));
  const __m128i negative = _mm_cmpgt_epi32(sums, _mm_set1_epi32(127));
  return _mm_sub_epi32(_mm_xor_si128(magnitude, negative), negative);
}
#endif

// The values of a plan's word fields on a line whose word fields are all plain, by slot.
[[gnu::always_inline]] inline void combine_fields(const Layout::Reading& reading,
                                                  const ScannedColumns& scanned,
                                                  std::int32_t* values) {
  const Layout::Reading::Word* word = reading.words.data();
  const Layout::Reading::Word* const words_end = word + reading.words.size();
  const auto load = [&](const Layout::Reading::Word& w) {
    std::uint64_t bytes;
    std::memcpy(&bytes, scanned.values + w.column, 8);
    return bytes << w.shift;  // the field's last column into the highest byte
  };
  for (std::int32_t* out = values; word != words_end; word += 4, out += 4) {
#if defined(__SSE2__)
    const __m128i ab = _mm_set_epi64x(static_cast<long long>(load(word[1])),
                                      static_cast<long long>(load(word[0])));
    const __m128i cd = _mm_set_epi64x(static_cast<long long>(load(word[3])),
                                      static_cast<long long>(load(word[2])));
    _mm_store_si128(reinterpret_cast<__m128i*>(out), combine_four(ab, cd));
#else
    for (int k = 0; k < 4; ++k) out[k] = combine_word(load(word[k]));
#endif
  }
}

// A plan's compact form read on a line whose word fields are all plain: their values combined
// from the scanned columns first, every other field then read by the plan's item.
ReadResult read_scanned(const Layout::Reading& reading, const std::vector<Item>& plan,
                        const ScannedColumns& scanned, std::string_view line, const In* targets,
                        std::size_t count) {
  alignas(16) std::int32_t values[kScannedColumns];  // no more word fields than columns
  combine_fields(reading, scanned, values);
  const std::size_t fields = reading.fields.size();
  const std::size_t read = count < fields ? count : fields;
  const Layout::Reading::Field* field = reading.fields.data();
  const Layout::Reading::Field* const end = field + read;
  for (; field != end; ++field, ++targets) {
    if (field->word && targets->kind == In::Kind::Int) {
      *static_cast<std::int32_t*>(targets->target) = values[field->slot];
      continue;
    }
    if (!read_field(*field, plan[field->step], line, *targets)) {
      return {ReadStatus::BadField, static_cast<int>(field - reading.fields.data())};
    }
  }
  if (count > fields) return {ReadStatus::EndOfRecord, static_cast<int>(fields)};
  return {};
}

}  // namespace

void layout_detail::scan_columns_scalar(std::string_view line, std::size_t blocks,
                                        ScannedColumns& out) {
  for (int h = 0; h < 2; ++h) out.plain[h] = out.numeric[h] = out.digit[h] = 0;
  const std::size_t columns = 16 * blocks;
  for (std::size_t k = 0; k < columns; ++k) {
    const char c = k < line.size() ? line[k] : ' ';
    const bool digit = c >= '0' && c <= '9';
    const bool sign = c == '-' || c == '+';
    const std::uint64_t bit = std::uint64_t{1} << (k % 64);
    if (digit) out.digit[k / 64] |= bit;
    if (digit || sign) out.numeric[k / 64] |= bit;
    if (digit || sign || c == ' ') out.plain[k / 64] |= bit;
    out.values[k] = digit ? static_cast<unsigned char>(c - '0') : c == '-' ? 0x80 : 0;
  }
  std::memset(out.values + columns, 0, 16);
}

void layout_detail::scan_columns(std::string_view line, std::size_t blocks, ScannedColumns& out) {
  scan_line(line, blocks, out);
}

void layout_detail::combine_words(const std::uint64_t* words, std::size_t count,
                                  std::int32_t* values) {
#if defined(__SSE2__)
  for (std::size_t k = 0; k < count; k += 4) {
    std::uint64_t four[4] = {0, 0, 0, 0};
    std::memcpy(four, words + k, 8 * std::min<std::size_t>(4, count - k));
    alignas(16) std::int32_t out[4];
    _mm_store_si128(
        reinterpret_cast<__m128i*>(out),
        combine_four(
            _mm_set_epi64x(static_cast<long long>(four[1]), static_cast<long long>(four[0])),
            _mm_set_epi64x(static_cast<long long>(four[3]), static_cast<long long>(four[2]))));
    std::memcpy(values + k, out, 4 * std::min<std::size_t>(4, count - k));
  }
#else
  combine_words_scalar(words, count, values);
#endif
}

void layout_detail::combine_words_scalar(const std::uint64_t* words, std::size_t count,
                                         std::int32_t* values) {
  for (std::size_t k = 0; k < count; ++k) values[k] = combine_word(words[k]);
}

bool layout_detail::read_int_word(std::uint64_t word, std::int32_t& out) {
  return std::endian::native == std::endian::little && decode_short_int(word, out);
}

bool layout_detail::read_int_general(std::string_view field, std::int32_t& out) {
  return get_int(field, out);
}

std::vector<InMember> members_in(const void* object, std::size_t size, const In* variables,
                                 std::size_t count) {
  std::vector<InMember> members;
  std::uint32_t texts = 0;
  for (const In& variable : std::span(variables, count)) {
    if (variable.kind == In::Kind::Text) {
      members.push_back({variable.kind, texts++});
      continue;
    }
    const auto at = reinterpret_cast<std::uintptr_t>(variable.target);
    const auto first = reinterpret_cast<std::uintptr_t>(object);
    if (at < first || at - first >= size) {
      std::fprintf(stderr, "members_in: a variable outside its object\n");
      std::abort();
    }
    members.push_back({variable.kind, static_cast<std::uint32_t>(at - first)});
  }
  return members;
}

namespace {

constexpr std::size_t kMaxBoundMembers = 64;

using Group = Layout::Bound::Form::Group;

// A word field of a bound plan with its member: where its 8 values are loaded, which of them
// are its own, and the member's offset.
struct BoundWord {
  std::uint32_t at;
  std::uint64_t keep;
  std::uint32_t offset;
};

// The groups of four that combine and store the word fields. Members that do not overlap are
// taken in the order of their offsets, so that runs of four and pairs of neighbouring members
// take their values in one store each; members that overlap keep the record's order, so that the
// last field read into a member wins as in a read field by field. A group short of fields is
// completed by its last one again, which stores the same value twice.
std::vector<Group> groups_of(const std::vector<BoundWord>& in_record_order) {
  std::vector<BoundWord> words = in_record_order;
  std::sort(words.begin(), words.end(),
            [](const BoundWord& a, const BoundWord& b) { return a.offset < b.offset; });
  bool disjoint = true;
  for (std::size_t k = 1; k < words.size(); ++k) {
    disjoint = disjoint && words[k].offset >= words[k - 1].offset + 4;
  }
  if (!disjoint) words = in_record_order;
  std::vector<Group> groups;
  const auto add = [&](Group::Store store, std::initializer_list<const BoundWord*> lanes) {
    Group& group = groups.emplace_back();
    group.store = store;
    int k = 0;
    for (const BoundWord* word : lanes) {
      group.at[k] = word->at;
      group.keep[k] = word->keep;
      group.offset[k] = word->offset;
      ++k;
    }
  };
  const auto next_to = [&](std::size_t k, std::size_t count) {
    if (!disjoint || k + count > words.size()) return false;
    for (std::size_t j = 1; j < count; ++j) {
      if (words[k + j].offset != words[k].offset + 4 * j) return false;
    }
    return true;
  };
  // The rest in halves of a group: a pair of neighbouring members, or two members apart.
  std::vector<const BoundWord*> pairs;
  std::vector<const BoundWord*> singles;
  for (std::size_t k = 0; k < words.size();) {
    if (next_to(k, 4)) {
      add(Group::Store::Whole, {&words[k], &words[k + 1], &words[k + 2], &words[k + 3]});
      k += 4;
    } else if (next_to(k, 2)) {
      pairs.push_back(&words[k]);
      pairs.push_back(&words[k + 1]);
      k += 2;
    } else {
      singles.push_back(&words[k]);
      k += 1;
    }
  }
  if (singles.size() % 2 != 0) singles.push_back(singles.back());
  struct Half {
    bool pair;
    const BoundWord* words[2];
  };
  std::vector<Half> halves;
  for (std::size_t k = 0; k < pairs.size(); k += 2)
    halves.push_back({true, {pairs[k], pairs[k + 1]}});
  for (std::size_t k = 0; k < singles.size(); k += 2) {
    halves.push_back({false, {singles[k], singles[k + 1]}});
  }
  if (halves.size() % 2 != 0) halves.push_back(halves.back());
  for (std::size_t k = 0; k < halves.size(); k += 2) {
    const Half& low = halves[k];
    const Half& high = halves[k + 1];
    const auto store = static_cast<Group::Store>((low.pair ? 1 : 0) | (high.pair ? 2 : 0));
    add(store, {low.words[0], low.words[1], high.words[0], high.words[1]});
  }
  return groups;
}

#if defined(__SSE2__)
// A group's four fields combined from the buffer of scanned columns (the line's characters),
// in the group's order.
[[gnu::always_inline]] inline __m128i combine_group(const Group& group,
                                                    const unsigned char* buffer) {
  const auto pair = [&](int k) {
    const __m128i low = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(buffer + group.at[k]));
    const __m128d both = _mm_loadh_pd(_mm_castsi128_pd(low),
                                      reinterpret_cast<const double*>(buffer + group.at[k + 1]));
    return _mm_and_si128(_mm_castpd_si128(both),
                         _mm_load_si128(reinterpret_cast<const __m128i*>(group.keep + k)));
  };
  return combine_four<true>(pair(0), pair(2));
}
#endif

// Combines a group's four fields from the buffer of scanned columns (the line's characters;
// elsewhere their digit values) and stores them in their members.
[[gnu::always_inline]] inline void store_group(const Group& group, const unsigned char* buffer,
                                               char* base) {
#if defined(__SSE2__)
  const __m128i four = combine_group(group, buffer);
  const auto store = static_cast<unsigned>(group.store);
  const auto put = [&](int k, __m128i v) {
    const std::int32_t value = _mm_cvtsi128_si32(v);
    std::memcpy(base + group.offset[k], &value, sizeof value);
  };
  if (store == static_cast<unsigned>(Group::Store::Whole)) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(base + group.offset[0]), four);
    return;
  }
  if ((store & 1) != 0) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(base + group.offset[0]), four);
  } else {
    put(0, four);
    put(1, _mm_shuffle_epi32(four, 1));
  }
  const __m128i high = _mm_unpackhi_epi64(four, four);
  if ((store & 2) != 0) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(base + group.offset[2]), high);
  } else {
    put(2, high);
    put(3, _mm_shuffle_epi32(four, 3));
  }
#else
  for (int k = 0; k < 4; ++k) {
    std::uint64_t word;
    std::memcpy(&word, buffer + group.at[k], 8);
    const std::int32_t value = combine_word(word & group.keep[k]);
    std::memcpy(base + group.offset[k], &value, sizeof value);
  }
#endif
}

using Form = Layout::Bound::Form;

#if defined(__SSE2__)
// What the scan of a line's blocks carries from one block to the next.
struct BlockScan {
  __m128i bad = _mm_setzero_si128();     // the word columns that are not plain (bytes of 0xFF)
  __m128i before = _mm_setzero_si128();  // the block before (zeros before the first)
  __m128i blanks_before = _mm_setzero_si128();
};

// Block `b` of a line, `c`, checked against a bound form's masks, and its columns put in the
// buffer of scanned columns at `buffer` (both copies). A plus sign counts as not plain here (the
// logger writes none; a field with one is read field by field).
[[gnu::always_inline]] inline void check_block(std::size_t b, __m128i c, const Form& form,
                                               unsigned char* buffer, BlockScan& scan) {
  const auto mask = [b](const unsigned char(&masks)[8][16]) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(masks[b]));
  };
  _mm_store_si128(reinterpret_cast<__m128i*>(buffer + kScanFront + 16 * b), c);
  // The second copy's columns from 16 b - 8 on: the last half of the block before, the first of
  // this one.
  _mm_store_si128(
      reinterpret_cast<__m128i*>(buffer + kSecondScan + 16 * b - 8),
      _mm_castpd_si128(_mm_shuffle_pd(_mm_castsi128_pd(scan.before), _mm_castsi128_pd(c), 1)));
  // c - '0' below 10, as a signed comparison: c - '0' - 128 below 10 - 128.
  const __m128i digit = _mm_cmpgt_epi8(_mm_set1_epi8(10 - 128), _mm_add_epi8(c, _mm_set1_epi8(80)));
  const __m128i minus = _mm_cmpeq_epi8(c, _mm_set1_epi8('-'));
  const __m128i blank = _mm_cmpeq_epi8(c, _mm_set1_epi8(' '));
  const __m128i after_blank =
      _mm_or_si128(_mm_slli_si128(blank, 1), _mm_srli_si128(scan.blanks_before, 15));
  // A column of a word field is plain as a digit, or as a blank or (but in the field's last
  // column) a sign where the column before it in the field is a blank. That column is a word
  // column itself: where it is neither a blank, a sign nor a digit, it is not plain anyway, so
  // that "not after a blank" stands for "after a digit or a sign".
  const __m128i allowed = _mm_or_si128(blank, _mm_and_si128(minus, mask(form.block_signs)));
  const __m128i after_other = _mm_andnot_si128(after_blank, mask(form.block_inner));
  const __m128i plain = _mm_or_si128(digit, _mm_andnot_si128(after_other, allowed));
  scan.bad = _mm_or_si128(scan.bad, _mm_andnot_si128(plain, mask(form.block_words)));
  scan.before = c;
  scan.blanks_before = blank;
}
#endif

// A bound read that goes through the layout with the members as variables.
[[gnu::noinline]] ReadResult read_members(const Layout& layout, const InMember* members,
                                          std::string_view line, char* base, std::size_t count,
                                          int n, std::string_view* texts) {
  union Variables {
    char none;
    In in[kMaxBoundMembers];
  } variables{};
  for (std::size_t k = 0; k < count; ++k) {
    const InMember& member = members[k];
    variables.in[k] =
        In(member.kind, member.kind == In::Kind::Text ? static_cast<void*>(texts + member.offset)
                                                      : static_cast<void*>(base + member.offset));
  }
  return layout.read(line, variables.in, count, n);
}

// The same for a direct read of a form's `count` members whose line has a field of another
// shape.
[[gnu::noinline]] ReadResult read_form_members(const Form& form, const char* line, std::size_t size,
                                               char* base, std::string_view* texts) {
  return read_members(*form.layout, form.members, std::string_view(line, size), base, form.count,
                      form.n, texts);
}

// The values of a bound form's fields stored in their members, on a line whose word fields are
// plain, its columns scanned into `buffer` (check_block, or scan_line's digit values where there
// is no vector form).
[[gnu::always_inline]] inline void store_fields(const Form& form, const unsigned char* buffer,
                                                const char* line, std::size_t size, char* base,
                                                std::string_view* texts) {
  for (const Group& group : form.groups) store_group(group, buffer, base);
  for (const Form::Text& c : form.chars) base[c.offset] = c.column < size ? line[c.column] : ' ';
  for (const Form::Text& text : form.texts) {
    texts[text.offset] = field_at(std::string_view(line, size), text.column,
                                  text.width == UINT32_MAX ? std::string_view::npos : text.width);
  }
}

// A direct read of a form's `count` members (Layout::Bound::Direct) whatever the line's length, its
// blocks scanned one after another, those past the line's end as blanks.
[[gnu::noinline]] ReadResult read_direct_any(const Form& form, const char* line, std::size_t size,
                                             char* base, std::string_view* texts) {
  alignas(16) unsigned char buffer[kScanBuffer];
  std::memset(buffer + kScanFront - 8, 0, 8);  // before column 0, for fields that reach it
  bool plain;
#if defined(__SSE2__)
  BlockScan scan;
  for (std::size_t b = 0; b < form.blocks; ++b) {
    const std::size_t first = 16 * b;
    const __m128i c = first + 16 <= size
                          ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + first))
                          : reinterpret_cast<__m128i>(
                                load_partial(line + first, first < size ? size - first : 0));
    check_block(b, c, form, buffer, scan);
  }
  plain = _mm_movemask_epi8(scan.bad) == 0;
#else
  std::uint64_t plain_columns[2];
  std::uint64_t numeric[2];
  std::uint64_t digit[2];
  scan_line(std::string_view(line, size), form.blocks, plain_columns, numeric, digit,
            buffer + kScanFront);
  // The second copy from the first, columns -8 up to the last scanned one.
  std::memcpy(buffer + kSecondScan - 8, buffer + kScanFront - 8, 16 * form.blocks + 8);
  plain = plain_word_fields(form.word_columns, form.inner_columns, form.last_columns, plain_columns,
                            numeric, digit);
#endif
  if (!plain) return read_form_members(form, line, size, base, texts);
  store_fields(form, buffer, line, size, base, texts);
  return {};
}

// A direct read of a form whose word fields lie in the first `kBlocks` blocks.
template <std::size_t kBlocks>
ReadResult read_direct(const Form& form, const char* line, std::size_t size, char* base,
                       std::string_view* texts) {
#if defined(__SSE2__)
  if (size < 16 * kBlocks) [[unlikely]] {
    return read_direct_any(form, line, size, base, texts);
  }
  alignas(16) unsigned char buffer[kScanBuffer];
  std::memset(buffer + kScanFront - 8, 0, 8);  // before column 0, for fields that reach it
  BlockScan scan;
  [&]<std::size_t... b>(std::index_sequence<b...>) {
    (check_block(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + 16 * b)), form, buffer,
                 scan),
     ...);
  }
  (std::make_index_sequence<kBlocks>());
  if (_mm_movemask_epi8(scan.bad) != 0) [[unlikely]] {
    return read_form_members(form, line, size, base, texts);
  }
  store_fields(form, buffer, line, size, base, texts);
  return {};
#else
  return read_direct_any(form, line, size, base, texts);
#endif
}

// The direct reads by the blocks their word fields lie in.
using DirectRead = ReadResult (*)(const Form&, const char*, std::size_t, char*, std::string_view*);
constexpr DirectRead kDirectReads[] = {
    nullptr,        read_direct<1>, read_direct<2>, read_direct<3>, read_direct<4>,
    read_direct<5>, read_direct<6>, read_direct<7>, read_direct<8>,
};
static_assert(std::size(kDirectReads) == kScannedColumns / 16 + 1);

}  // namespace

Layout::Bound::Bound(Layout layout, std::vector<InMember> members)
    : layout_(std::move(layout)), members_(std::move(members)) {
  if (members_.size() > kMaxBoundMembers) {
    std::fprintf(stderr, "Layout::Bound: more than %zu members\n", kMaxBoundMembers);
    std::abort();
  }
  for (std::size_t p = 0; p < layout_.plans_.size(); ++p) {
    const std::vector<Item>& plan = layout_.plans_[p];
    const Reading& reading = layout_.readings_[p];
    Form& form = forms_.emplace_back();
    form.layout = &layout_;
    form.members = members_.data();
    form.n = static_cast<int>(p);
    form.count = std::min(members_.size(), reading.fields.size());
    bool direct = reading.blocks != 0;
    form.blocks = reading.blocks;
    for (int h = 0; h < 2; ++h) {
      form.word_columns[h] = reading.word_columns[h];
      form.inner_columns[h] = reading.inner_columns[h];
      form.last_columns[h] = reading.last_columns[h];
    }
    for (std::size_t c = 0; c < 16 * form.blocks; ++c) {
      const auto in = [c](const std::uint64_t* columns) { return (columns[c / 64] >> c % 64) & 1; };
      const auto set = [c](unsigned char(&columns)[8][16], bool on) {
        columns[c / 16][c % 16] = on ? 0xFF : 0;
      };
      set(form.block_words, in(form.word_columns) != 0);
      set(form.block_inner, in(form.inner_columns) != 0);
      set(form.block_signs, in(form.word_columns) != 0 && in(form.last_columns) == 0);
    }
    std::vector<BoundWord> words;
    for (std::size_t k = 0; k < form.count && direct; ++k) {
      const Reading::Field& field = reading.fields[k];
      const Item& step = plan[field.step];
      const InMember& member = members_[k];
      const bool text = step.op == Op::Text || step.op == Op::TextAll;
      if (field.word && member.kind == In::Kind::Int) {
        const std::uint32_t end = step.column + step.w;
        const auto first = static_cast<std::uint32_t>(kScanFront + end - 8);
        const bool crosses = first % 16 > 8;  // a multiple of 16 columns: the second copy
        words.push_back(
            {crosses ? static_cast<std::uint32_t>(first - kScanFront + kSecondScan) : first,
             step.w == 0 ? 0 : UINT64_MAX << (8 * (8 - step.w)), member.offset});
      } else if (text && member.kind == In::Kind::Text) {
        form.texts.push_back({step.column, step.op == Op::TextAll ? UINT32_MAX : step.w,
                              member.kind, member.offset});
      } else if (text && member.kind == In::Kind::Char) {
        // A one-character variable takes the last column of an Aw field, the first of A alone.
        form.chars.push_back({step.op == Op::TextAll ? step.column : step.column + step.w - 1, 1,
                              member.kind, member.offset});
      } else {
        direct = false;  // a field whose reading may fail: read field by field
      }
    }
    // The characters are stored after the integers: one inside an integer member would take its
    // place out of the record's order.
    for (const Form::Text& c : form.chars) {
      for (const BoundWord& word : words) {
        if (c.offset >= word.offset && c.offset < word.offset + 4) direct = false;
      }
    }
    if (!direct) continue;
    form.groups = groups_of(words);
    form.direct = true;
  }
  for (const Form& form : forms_) {
    Direct& direct = directs_.emplace_back();
    if (!form.direct) continue;
    direct.read = kDirectReads[form.blocks];
    direct.count = form.count;
    direct.form = &form;
  }
  form_count_ = forms_.size();
}

Layout::Bound::~Bound() = default;

ReadResult Layout::Bound::read_fields(std::string_view line, void* object, std::size_t count, int n,
                                      std::string_view* texts) const {
  if (count > members_.size()) [[unlikely]] {
    std::fprintf(stderr, "Layout::Bound: a read of more members than were bound\n");
    std::abort();
  }
  return read_members(layout_, members_.data(), line, static_cast<char*>(object), count, n, texts);
}

ReadResult Layout::read(std::string_view line, std::initializer_list<In> targets, int n) const {
  return read(line, targets.begin(), targets.size(), n);
}

ReadResult Layout::read(std::string_view line, const In* targets, std::size_t count, int n) const {
  if (const auto* steps = plan(n)) {
    const Reading& reading = readings_[plans_.size() == 1 ? 0 : static_cast<std::size_t>(n)];
    if (reading.blocks != 0) {
      ScannedColumns scanned;
      scan_line(line, reading.blocks, scanned);
      if (plain_word_fields(reading, scanned)) {
        return read_scanned(reading, *steps, scanned, line, targets, count);
      }
    }
    if (line.size() >= reading.min_line) return read_compact(reading, *steps, line, targets, count);
    return read_plan(*steps, line, targets, count);
  }
  return read_steps(StepWalker(items_, n), line, targets, count);
}

ReadResult Layout::read_general(std::string_view line, const In* targets, std::size_t count,
                                int n) const {
  return read_steps(StepWalker(items_, n), line, targets, count, false);
}

}  // namespace quillet
