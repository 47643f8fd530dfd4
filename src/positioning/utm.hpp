// Geographic to Universal Transverse Mercator conversion of survey positions.
//
// `LL2UTM` is the classic series form of the transverse Mercator projection (terms to A^6 in the
// longitude difference, the meridian arc to e^6), on one of 19 reference ellipsoids. Its angles
// are arc-seconds with longitude positive WEST, as the instrument's original survey software kept
// them; everywhere else in the program positions are degrees with east positive, and the two
// `*_to_utm` helpers below do the conversion for callers.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/unit99.hpp"

namespace quillet {

// Number of rows of the ellipsoid table; rows are numbered from 1. Row 9 (GRS 80) is the one
// the program uses.
inline constexpr std::int32_t kEllipsoidRows = 19;
inline constexpr std::int32_t kGrs80Row = 9;

struct Ellipsoid {
  double a;  // semi-major axis, metres
  double b;  // semi-minor axis, metres
};

// Row `row` (1 to 19) of the ellipsoid table. A row outside 1..19 is a programming error: aborts.
Ellipsoid ellipsoid_row(std::int32_t row);

// LL2UTM: transverse Mercator easting and northing of a position, UTM conventions.
//
//   easting    out, metres: 500000 m false easting on the central meridian.
//   northing   out, metres: from the equator, plus 10000000 m in the southern hemisphere.
//   latitude   in/out, arc-seconds, positive NORTH. Set to -|latitude| when the zone is (or
//              becomes) negative: a negative zone given in forces the southern hemisphere.
//   longitude  in, arc-seconds, positive WEST (the opposite of the rest of the program).
//   zone       in/out: 1 to 60, negative for the southern hemisphere; 0 = determine it.
//              Determined: 30 - trunc(longitude / 21600) for longitude >= 0, one more for a
//              negative (eastern) longitude; so longitude 0 falls in zone 30, whose central
//              meridian is 3 degrees west (and 180 degrees itself gives 61 from the east, 0
//              from the west). A given zone is kept even when the position lies
//              outside it. The zone receives its sign from the hemisphere: a zero zone receives
//              the determined one, negative for a southern latitude, and a positive zone given
//              with a southern latitude comes back negated (callers that must not have their
//              zone changed pass a copy).
//   ellipsoid  in, row of the ellipsoid table, 1 to 19.
//   unit99     receiver of the range diagnostics below.
//
// Valid range: |latitude| <= 84 degrees (302400") and a longitude within 0.16 radians (about
// 9.2 degrees) of the zone's central meridian. Outside it the results are still returned and a
// block of diagnostic lines goes to `unit99` for each limit exceeded.
//
// Accuracy (GRS 80, against GeographicLib's exact transverse Mercator, all zones and latitudes
// up to 84 degrees): northing within 1 mm everywhere in the zone (the meridian arc cut after e^6 is
// 0.96 mm off at worst, near 72 degrees); easting within 0.01 mm up to 2 degrees from the central
// meridian and 0.1 mm at the zone edge, 3 degrees away. Beyond the zone the error grows with the
// seventh power of the distance: 1.6 mm at 4.5 degrees, 12 mm at 6 and 0.2 m at 9 degrees, where
// the northing is up to 15 mm off.
void LL2UTM(double& easting, double& northing, double& latitude, double longitude,
            std::int32_t& zone, std::int32_t ellipsoid, UtmDiagnostics& unit99);

// DTAN: tangent of an angle in radians as sine over cosine; 0 where the angle lies outside the
// range of the processor's trigonometric instruction (|x| >= 2^63, NaN or infinite).
double DTAN(double x);

// UTM coordinates in metres, as `LL2UTM` gives them.
struct UtmPoint {
  double easting;
  double northing;
};

// Projects one fix (degrees, north and east positive) in the survey's zone. The zone is taken BY
// VALUE on purpose: an individual fix must never change the program-wide zone, or the first
// southern fix of a survey near the equator would negate it for every later fix and run.
UtmPoint fix_to_utm(double lat_degrees, double lon_degrees, std::int32_t survey_zone,
                    std::int32_t ellipsoid, UtmDiagnostics& unit99);

// Projects the mean position of the survey (degrees, north and east positive) and fixes the
// program-wide zone through `utm_zone` when it is still 0 (and gives it the sign of the
// hemisphere, as `LL2UTM` does). The only conversion that may change the zone.
UtmPoint mean_position_to_utm(double lat_degrees, double lon_degrees, std::int32_t& utm_zone,
                              std::int32_t ellipsoid, UtmDiagnostics& unit99);

}  // namespace quillet
