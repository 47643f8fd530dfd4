// The values of one output record whose count is known only at run time (layouts with per-array
// groups N(...)), collected without allocating.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "common/layout.hpp"

namespace quillet {

class RecordValues {
 public:
  static constexpr std::size_t kCapacity = 64;

  RecordValues& operator<<(Out value) {
    if (count_ < kCapacity) values_[count_] = value;
    ++count_;  // an overfull list is refused by `write`
    return *this;
  }

  // Formats the values with `layout` (repeat count `n`) into `line`; false when the values do not
  // suit the layout or overflowed the list.
  bool write(const Layout& layout, std::string& line, int n) const {
    if (count_ > kCapacity) return false;
    return layout.write(line, values_.data(), count_, n);
  }

 private:
  template <std::size_t... I>
  static std::array<Out, sizeof...(I)> blank(std::index_sequence<I...>) {
    return {{((void)I, Out(0))...}};
  }

  std::array<Out, kCapacity> values_ = blank(std::make_index_sequence<kCapacity>());
  std::size_t count_ = 0;
};

}  // namespace quillet
