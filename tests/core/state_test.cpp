#include "core/state.hpp"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(ZeroedList, StartsAtZeroEverywhereAndCopiesItsValues) {
  GpsState gps;
  const auto& lists = gps;
  for (std::size_t k = 0; k < GpsState::kListCapacity; k += 997) {
    EXPECT_EQ(lists.lat_list[k] + lists.lon_list[k] + lists.alt_list[k], 0.0) << k;
  }
  EXPECT_EQ(lists.lat_list[GpsState::kListCapacity - 1], 0.0);

  gps.lat_list[0] = 48.5;
  gps.alt_list[GpsState::kListCapacity - 1] = 245.0f;
  GpsState copy = gps;
  gps.lat_list[0] = 1.0;
  EXPECT_EQ(copy.lat_list[0], 48.5);
  EXPECT_EQ(copy.alt_list[GpsState::kListCapacity - 1], 245.0f);
  copy = gps;
  EXPECT_EQ(copy.lat_list[0], 1.0);
  EXPECT_EQ(copy.lon_list[0], 0.0);

  // Readying pages for writing keeps every value, at the start, the end and past it.
  constexpr std::size_t kLast = GpsState::kListCapacity - 1;
  copy.lat_list.prepare(0, 8192);
  copy.alt_list.prepare(kLast, 8192);
  copy.alt_list.prepare(kLast + 1, 8192);
  EXPECT_EQ(copy.lat_list[0], 1.0);
  EXPECT_EQ(copy.alt_list[kLast], 245.0f);
  copy.lat_list[8191] = 2.0;
  EXPECT_EQ(copy.lat_list[8191] + copy.lat_list[8190], 2.0);
}

}  // namespace
}  // namespace quillet
