// Decoding of the GPS receiver's NMEA 0183 GGA sentences that the logger stores in G$ lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/gps_fix.hpp"

namespace quillet {

class Console;

// Longest sentence the parser looks at; the rest of a longer text is ignored.
inline constexpr std::size_t kGgaSentenceWidth = 250;

// READ_GPGGA: tests the checksum of one GGA sentence and decodes its fields into the results.
//
// `sentence` starts with the talker identifier and "GGA" ("GPGGA", "GNGGA", ...; the "$" of the
// receiver's sentence already cut off, as the checksum excludes it) and holds
// the "*" and the two hexadecimal checksum digits; it is treated as blank-padded or cut to 250
// characters. A sentence whose checksum does not match is dropped silently. A field that cannot
// be read gives one console line "Read_GPGGA:  Error reading ..." and ends the decoding.
//
// The results are written one after another in this order: GPS_TIME; LAT; LON together with
// DMODE := 0; DMODE; GPS_SATS; GPS_HDOP; GPS_ALT. A decoding that ends early leaves the later
// results untouched, so a caller keeps its previous values for them. The pre-scan relies on the
// separate references: it keeps LAT, LON and GPS_ALT for its mean and sends the rest to the
// current fix.
void READ_GPGGA(std::string_view sentence, std::int32_t& GPS_TIME, double& LAT, double& LON,
                std::int32_t& DMODE, std::int32_t& GPS_SATS, float& GPS_HDOP, float& GPS_ALT,
                Console& console);

inline void READ_GPGGA(std::string_view sentence, GpsFix& fix, Console& console) {
  READ_GPGGA(sentence, fix.GPS_TIME, fix.LAT, fix.LON, fix.DMODE, fix.GPS_SATS, fix.GPS_HDOP,
             fix.GPS_ALT, console);
}

namespace gga_detail {
// READ_GPGGA without its fast paths for plain fields, every field read by its layout: what tests
// and the fuzz target hold READ_GPGGA to.
void read_gpgga_general(std::string_view sentence, GpsFix& fix, Console& console);
// READ_GPGGA's reading of a whole sentence in the receivers' usual shape (checksum right, time,
// angles, mode, satellites, HDOP and altitude plain): true with every result in `fix`; false,
// with `fix` untouched, for any other sentence, which READ_GPGGA then reads field by field.
bool read_gpgga_plain(std::string_view sentence, GpsFix& fix);
}  // namespace gga_detail

// The GGA sentence of a G$ line, up to the line's last non-blank character (the caller's blank
// padding to 250 characters is implied by READ_GPGGA); empty when the line holds none. It starts
// at the first "GPGGA"; in a line without one, at the first two upper-case letters followed by
// "GGA," (the sentence of another satellite system: "GNGGA", "GLGGA", "GBGGA", "BDGGA", ...).
// GPS-only files therefore give the sentences they always gave. The pre-scan and the record loop
// both take their decision from this one function, so they never disagree about a line.
std::string_view gga_sentence_of(std::string_view line);

}  // namespace quillet
