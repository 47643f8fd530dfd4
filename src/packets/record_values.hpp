// The values of one output record whose count is known only at run time (layouts with per-array
// groups N(...)), collected without allocating.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <string>
#include <type_traits>

#include "common/layout.hpp"

namespace quillet {

class RecordValues {
 public:
  static constexpr std::size_t kCapacity = 64;

  RecordValues() {}  // the list is filled by `<<`; no slot is read before it is written

  RecordValues& operator<<(Out value) {
    if (count_ < kCapacity) slots_.values[count_] = value;
    ++count_;  // an overfull list is refused by `write`
    return *this;
  }

  // Formats the values with `layout` (repeat count `n`) into `line`. Values that do not suit the
  // layout, or more than the list holds, are a programming error and abort.
  void write(const Layout& layout, std::string& line, int n) const {
    if (count_ > kCapacity) std::abort();
    layout.write(line, slots_.values, count_, n);
  }
  // The same straight into `out`, which has layout.write_room(n) bytes; returns the length.
  std::size_t write(const Layout& layout, char* out, int n) const {
    if (count_ > kCapacity) std::abort();
    return layout.write(out, slots_.values, count_, n);
  }

 private:
  // Left unconstructed: a record fills a third of it, and blanking all of it on every record
  // cost more than formatting several of its fields.
  union Slots {
    Slots() {}
    Out values[kCapacity];
  };
  static_assert(std::is_trivially_copyable_v<Out> && std::is_trivially_destructible_v<Out>);

  Slots slots_;
  std::size_t count_ = 0;
};

}  // namespace quillet
