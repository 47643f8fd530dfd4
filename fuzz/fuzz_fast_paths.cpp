// libFuzzer target that holds each fast path of the number reading and writing to the general
// path it stands in for, on the same field or value: the word-wide reader of short I fields
// against the general reader, and the integer path of the shortest fixed notation against
// std::to_chars. A difference stops the fuzzer.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/layout_fast_paths.hpp"
#include "common/shortest_fixed.hpp"

namespace {

template <typename Real>
void check_shortest(Real value) {
  if (!std::isfinite(value)) return;
  char fast[quillet::kShortestFixedRoom];
  char general[quillet::kShortestFixedRoom];
  const char* const fast_end = quillet::shortest_fixed_detail::fast(fast, value);
  if (fast_end == nullptr) return;
  const char* const general_end =
      std::to_chars(general, general + sizeof general, value, std::chars_format::fixed).ptr;
  const std::string_view a(fast, static_cast<std::size_t>(fast_end - fast));
  const std::string_view b(general, static_cast<std::size_t>(general_end - general));
  if (a != b) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte gives the field's width (1 to 8); its columns follow, blanks where the input
  // ends. The engine loads them as one word with blanks before the field.
  const std::size_t w = data[0] % 8 + 1;
  char bytes[8];
  std::memset(bytes, ' ', sizeof bytes);
  for (std::size_t k = 0; k < w; ++k) {
    if (1 + k < size) bytes[8 - w + k] = static_cast<char>(data[1 + k]);
  }
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  std::int32_t fast = 0;
  std::int32_t general = 0;
  if (quillet::layout_detail::read_int_word(word, fast)) {
    if (!quillet::layout_detail::read_int_general(std::string_view(bytes + 8 - w, w), general) ||
        general != fast) {
      std::abort();
    }
  }

  // The same bytes as the bits of a float and of a double.
  std::uint8_t bits[8] = {};
  std::memcpy(bits, data, size < 8 ? size : 8);
  std::uint32_t f;
  std::uint64_t d;
  std::memcpy(&f, bits, 4);
  std::memcpy(&d, bits, 8);
  float fv;
  double dv;
  std::memcpy(&fv, &f, 4);
  std::memcpy(&dv, &d, 8);
  check_shortest(fv);
  check_shortest(dv);
  // And values of the logger's kind: a few decimals from the input's integers.
  check_shortest(static_cast<float>(static_cast<std::int32_t>(f)) / 1000.0f);
  check_shortest(static_cast<double>(static_cast<std::int64_t>(d)) / 1e7);
  // Doubles below 1, down to where the integer path leaves them to std::to_chars.
  check_shortest(
      std::ldexp(static_cast<double>(d >> 11) / 9007199254740992.0, -static_cast<int>(f % 10)));
  return 0;
}
