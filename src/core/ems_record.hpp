// The values of the EMS data stream that the I$ packets carry beyond the station record. They live
// for the whole program, as the station record does: a packet that carries fewer channels leaves
// the others as they were.
#pragma once

#include <array>
#include <cstdint>

namespace quillet {

// Channels the storage holds; a packet that announces more is refused.
inline constexpr int kEmsChannels = 5;

struct EmsRecord {
  std::int32_t EMS_HEIGHT_RAW = 0;  // sensor height, cm
  std::int32_t EMS_AUX_RAW = 0;
  float EMS_AUX = 0.0f;        // EMS_AUX_RAW / 10000
  std::int32_t EMS_COUNT = 0;  // channels on the last packet, 0..5
  std::array<std::int32_t, kEmsChannels> EMS_RAW{};
  std::array<float, kEmsChannels> EMS_VALUE{};  // scaled channels
  std::int32_t DAY_SECONDS = 0;                 // time of day of the last packet, s
  // The software-version notice is still to be shown: once per execution, cleared by the first
  // packet that parses.
  bool EMS_VERSION_NOTICE = true;
};

}  // namespace quillet
