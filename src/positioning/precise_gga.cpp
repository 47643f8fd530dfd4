#include "positioning/precise_gga.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/byte_scan.hpp"

namespace quillet {

namespace precise_gga_detail {

// A plain decimal number: digits with at most one point, nothing else.
bool read_decimal(std::string_view text, double& value) {
  if (text.empty() || text.front() == '+' || text.front() == '-') return false;
  // Up to 15 digits: the digits as an integer and a power of ten are both exact doubles, so
  // their quotient is the correctly rounded value, which std::from_chars gives too.
  std::uint64_t digits = 0;
  std::size_t count = 0;
  std::size_t point = text.size();
  bool plain = text.size() <= 16;
  for (std::size_t k = 0; plain && k < text.size(); ++k) {
    const char c = text[k];
    if (c >= '0' && c <= '9') {
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      ++count;
    } else if (c == '.' && point == text.size()) {
      point = k;
    } else {
      plain = false;
    }
  }
  if (plain && count > 0 && count <= 15) {
    constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const std::size_t decimals = point == text.size() ? 0 : text.size() - point - 1;
    value = static_cast<double>(digits) / kPowersOfTen[decimals];
    return true;
  }
  const auto result =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

}  // namespace precise_gga_detail

namespace {

using precise_gga_detail::read_decimal;

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool all_digits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return !text.empty();
}

// ddmm.mmmmmmm or dddmm.mmmmmmm: the minutes are the two digits before the point and every
// decimal after it.
bool read_angle(std::string_view text, std::string_view hemisphere, char positive, char negative,
                double limit, double& degrees) {
  const std::size_t point = text.find('.');
  const std::size_t whole = point == std::string_view::npos ? text.size() : point;
  if (whole < 3 || !all_digits(text.substr(0, whole - 2))) return false;
  double minutes = 0.0;
  if (!read_decimal(text.substr(whole - 2), minutes) || minutes >= 60.0) return false;
  std::int32_t whole_degrees = 0;
  if (whole - 2 <= 9) {
    // Digits all (checked above), too few to overflow.
    for (std::size_t k = 0; k < whole - 2; ++k)
      whole_degrees = whole_degrees * 10 + (text[k] - '0');
  } else if (std::from_chars(text.data(), text.data() + whole - 2, whole_degrees).ec !=
             std::errc()) {
    return false;
  }
  degrees = whole_degrees + minutes / 60.0;
  if (degrees > limit) return false;
  if (hemisphere.size() != 1) return false;
  if (hemisphere[0] == negative) {
    degrees = -degrees;
  } else if (hemisphere[0] != positive) {
    return false;
  }
  return true;
}

}  // namespace

bool read_precise_gga(std::string_view sentence, PreciseFix& fix) {
  const std::size_t star = sentence.find('*');
  if (star == std::string_view::npos || star + 3 > sentence.size()) return false;
  const int high = hex_digit(sentence[star + 1]);
  const int low = hex_digit(sentence[star + 2]);
  if (high < 0 || low < 0) return false;
  const std::string_view body = sentence.substr(0, star);
  // One pass for the checksum and the commas.
  int sum = 0;
  std::array<std::size_t, 11> comma{};
  std::size_t commas = 0;
  std::size_t k = 0;
  // Sixteen bytes at a time: their XOR folded into the sum at the end, their commas from a mask.
  std::uint64_t folded = 0;
  for (; k + 16 <= body.size(); k += 16) {
    for (unsigned mask = byte_mask(body.data() + k, ','); mask != 0 && commas < comma.size();
         mask &= mask - 1) {
      comma[commas++] = k + static_cast<std::size_t>(std::countr_zero(mask));
    }
    std::uint64_t words[2];
    std::memcpy(words, body.data() + k, 16);
    folded ^= words[0] ^ words[1];
  }
  for (int shift = 32; shift >= 8; shift /= 2) folded ^= folded >> shift;
  sum = static_cast<int>(folded & 0xFF);
  for (; k < body.size(); ++k) {
    sum ^= static_cast<unsigned char>(body[k]);
    if (body[k] == ',' && commas < comma.size()) comma[commas++] = k;
  }
  if (sum != high * 16 + low) return false;

  // Fields 1..9: time, latitude, N/S, longitude, E/W, quality, satellites, HDOP, altitude; the
  // last one taken ends at the next comma or at the checksum.
  std::array<std::string_view, 10> field{};
  const std::size_t count = std::min(commas, field.size());
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t end = k + 1 < commas ? comma[k + 1] : body.size();
    field[k] = body.substr(comma[k] + 1, end - comma[k] - 1);
  }
  if (count < 6) return false;

  const std::string_view time = field[0];
  if (time.size() < 6 || !all_digits(time.substr(0, 4))) return false;
  double seconds = 0.0;
  if (!read_decimal(time.substr(4), seconds) || seconds >= 61.0) return false;
  const int hours = (time[0] - '0') * 10 + (time[1] - '0');
  const int minutes = (time[2] - '0') * 10 + (time[3] - '0');
  if (hours > 23 || minutes > 59) return false;
  fix.seconds = (hours * 60 + minutes) * 60 + seconds;

  if (!read_angle(field[1], field[2], 'N', 'S', 90.0, fix.latitude)) return false;
  if (!read_angle(field[3], field[4], 'E', 'W', 180.0, fix.longitude)) return false;
  if (field[5].size() != 1 || !all_digits(field[5])) return false;
  fix.quality = field[5][0] - '0';
  fix.altitude = 0.0;
  if (count > 8 && !read_decimal(field[8], fix.altitude)) {
    // A negative altitude (below the geoid) is a plain number with a sign.
    if (field[8].size() > 1 && field[8][0] == '-' &&
        read_decimal(field[8].substr(1), fix.altitude)) {
      fix.altitude = -fix.altitude;
    } else {
      fix.altitude = 0.0;
    }
  }
  return fix.quality > 0;
}

}  // namespace quillet
