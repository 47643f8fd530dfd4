// The current GPS fix that the station records carry.
#pragma once

#include <cstdint>

namespace quillet {

// A GPS fix as the records use it: the values of one GGA sentence.
struct GpsFix {
  std::int32_t GPS_TIME = 0;  // milliseconds since midnight, whole seconds
  double LAT = 0.0;           // degrees, negative south
  double LON = 0.0;           // degrees, negative west
  std::int32_t DMODE = 0;     // fix quality digit
  std::int32_t GPS_SATS = 0;  // satellites in use
  float GPS_HDOP = 0.0f;      // horizontal dilution of precision
  float GPS_ALT = 0.0f;       // antenna altitude, metres
};

}  // namespace quillet
