// A GGA sentence read at the receiver's full precision, for the positions that the CSV file
// interpolates in time. The records of the other outputs keep `READ_GPGGA`, which cuts the minutes
// to four decimals (up to 18 cm) and the fix time to whole seconds.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet {

struct PreciseFix {
  double seconds = 0.0;    // fix time of day, UTC seconds since midnight with their fraction
  double latitude = 0.0;   // degrees, negative south, every decimal of the minutes
  double longitude = 0.0;  // degrees, negative west
  double altitude = 0.0;   // antenna altitude, metres
  std::int32_t quality = 0;
};

// Reads `sentence` as `READ_GPGGA` takes it (talker and "GGA" first, "*" and two hexadecimal
// checksum digits). True only for a good fix: the checksum matches, the time, latitude and
// longitude are complete and in range, and the fix quality is above 0. Never writes to the console:
// the record loop's reader reports the sentence's faults already.
bool read_precise_gga(std::string_view sentence, PreciseFix& fix);

namespace precise_gga_detail {
// A plain decimal number (digits with at most one point, no sign): the value std::from_chars
// gives, read directly when it has at most 15 digits. For the tests that hold it to
// std::from_chars.
bool read_decimal(std::string_view text, double& value);
}  // namespace precise_gga_detail

}  // namespace quillet
