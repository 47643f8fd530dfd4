#include "common/text.hpp"

#include <algorithm>

namespace quillet {

std::string_view trim_right(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return text.substr(0, end);
}

std::string SHIFTUP(std::string_view text, std::size_t length) {
  std::string_view body = trim_right(text);
  if (body.size() > 255) body = body.substr(0, 255);
  std::string out(length, ' ');
  const std::size_t count = std::min(length, body.size());
  for (std::size_t k = 0; k < count; ++k) {
    const char c = body[k];
    out[k] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

std::string_view columns(std::string_view line, std::size_t first, std::size_t last) {
  if (first < 1) first = 1;
  if (last < first || first > line.size()) return {};
  return line.substr(first - 1, std::min(last, line.size()) - (first - 1));
}

std::size_t index_of(std::string_view text, std::string_view what) {
  const std::size_t at = text.find(what);
  return at == std::string_view::npos ? 0 : at + 1;
}

std::string caret_notation(std::string_view text, TabByte tab) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 || byte == 0x7f) && !(byte == '	' && tab == TabByte::Kept)) {
      out += '^';
      out += static_cast<char>(byte ^ 0x40);  // 0 -> '@', 27 -> '[', 127 -> '?'
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillet
