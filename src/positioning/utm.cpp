#include "positioning/utm.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/free_form.hpp"

namespace quillet {

namespace {

constexpr double kArcSecondsPerRadian = 206264.8062470964;
constexpr double kScale = 0.9996;
constexpr double kFalseEasting = 500000.0;
constexpr double kFalseNorthingSouth = 10000000.0;
constexpr double kZoneWidth = 21600.0;              // arc-seconds, 6 degrees
constexpr double kLatitudeLimit = 302400.0;         // arc-seconds, 84 degrees
constexpr double kLongitudeDifferenceLimit = 0.16;  // radians

constexpr std::array<Ellipsoid, kEllipsoidRows> kEllipsoids = {{
    {6378206.4, 6356583.8},       {6378249.145, 6356514.86955}, {6377397.155, 6356078.96284},
    {6378157.5, 6356772.2},       {6378388.0, 6356911.94613},   {6378135.0, 6356750.519915},
    {6377276.3452, 6356075.4133}, {6378145.0, 6356759.769356},  {6378137.0, 6356752.31414},
    {6377563.396, 6356256.91},    {6377304.063, 6356103.039},   {6377341.89, 6356036.143},
    {6376896.0, 6355834.8467},    {6378155.0, 6356773.3205},    {6378160.0, 6356774.719},
    {6378245.0, 6356863.0188},    {6378270.0, 6356794.343479},  {6378166.0, 6356784.283666},
    {6378150.0, 6356768.337303},
}};

void write_degrees_line(double latitude, double longitude, UtmDiagnostics& unit99) {
  unit99.write(FreeLine() << latitude / 3600.0 << longitude / 3600.0);
}

UtmPoint degrees_to_utm(double lat_degrees, double lon_degrees, std::int32_t& zone,
                        std::int32_t ellipsoid, UtmDiagnostics& unit99) {
  UtmPoint point{};
  double latitude = lat_degrees * 3600.0;
  const double longitude = -(lon_degrees * 3600.0);
  LL2UTM(point.easting, point.northing, latitude, longitude, zone, ellipsoid, unit99);
  return point;
}

}  // namespace

Ellipsoid ellipsoid_row(std::int32_t row) {
  if (row < 1 || row > kEllipsoidRows) {
    std::fprintf(stderr, "ellipsoid row %d outside 1..%d\n", static_cast<int>(row),
                 static_cast<int>(kEllipsoidRows));
    std::abort();
  }
  return kEllipsoids[static_cast<std::size_t>(row - 1)];
}

void LL2UTM(double& easting, double& northing, double& latitude, double longitude,
            std::int32_t& zone, std::int32_t ellipsoid, UtmDiagnostics& unit99) {
  const Ellipsoid ell = ellipsoid_row(ellipsoid);
  const double a = ell.a;
  const double b = ell.b;
  const double e2 = (a * a - b * b) / (a * a);
  const double ep2 = e2 / (1.0 - e2);

  // Zones count eastward from 180 degrees, while the longitude grows westward.
  std::int32_t z = zone;
  if (zone == 0) {
    z = (longitude < 0.0 ? 31 : 30) - static_cast<std::int32_t>(std::trunc(longitude / kZoneWidth));
  }

  const std::int32_t abs_z = std::abs(z);
  double lambda0;  // central meridian, arc-seconds west positive
  if (abs_z > 30) {
    lambda0 = static_cast<double>(((abs_z - 30) * 6 - 3) * -3600);
  } else {
    lambda0 = static_cast<double>(((30 - abs_z) * 6 + 3) * 3600);
  }

  if (latitude < 0.0) z = -abs_z;
  if (z < 0) latitude = -std::fabs(latitude);
  if (zone == 0) zone = z;
  if (latitude < 0.0 && zone > 0) zone = -zone;

  const double phi = latitude / kArcSecondsPerRadian;
  const double dlambda = -(longitude - lambda0) / kArcSecondsPerRadian;

  const double sin_phi = std::sin(phi);
  const double cos_phi = std::cos(phi);
  const double tan_phi = std::tan(phi);
  const double N = a / std::sqrt(1.0 - e2 * sin_phi * sin_phi);
  const double T = tan_phi * tan_phi;
  const double C = ep2 * cos_phi * cos_phi;
  const double A = dlambda * cos_phi;

  const double e4 = e2 * e2;
  const double e6 = e4 * e2;
  // Meridian arc from the equator, truncated after the e^6 terms (sub-millimetre on the Earth).
  const double M =
      a * ((1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0) * phi -
           (3.0 * e2 / 8.0 + 3.0 * e4 / 32.0 + 45.0 * e6 / 1024.0) * std::sin(2.0 * phi) +
           (15.0 * e4 / 256.0 + 45.0 * e6 / 1024.0) * std::sin(4.0 * phi) -
           (35.0 * e6 / 3072.0) * std::sin(6.0 * phi));

  const double A2 = A * A;
  const double A3 = A2 * A;
  const double A4 = A3 * A;
  const double A5 = A4 * A;
  const double A6 = A5 * A;
  easting = kScale * N *
                (A + (1.0 - T + C) * A3 / 6.0 +
                 (5.0 - 18.0 * T + T * T + 72.0 * C - 58.0 * ep2) * A5 / 120.0) +
            kFalseEasting;
  northing = kScale * (M + N * tan_phi *
                               (A2 / 2.0 + (5.0 - T + 9.0 * C + 4.0 * C * C) * A4 / 24.0 +
                                (61.0 - 58.0 * T + T * T + 600.0 * C - 330.0 * ep2) * A6 / 720.0));
  if (z < 0 || latitude < 0.0) northing += kFalseNorthingSouth;

  if (std::fabs(latitude) > kLatitudeLimit) {
    unit99.write(FreeLine() << " *************   error exit from utm. ");
    unit99.write(FreeLine() << "   latitude value is poleward of 84 degrees");
    unit99.write(FreeLine() << "   utm is not valid.");
    unit99.write(FreeLine() << "   calculation has continued but values ");
    unit99.write(FreeLine() << "   may not be valid.");
    write_degrees_line(latitude, longitude, unit99);
  }
  if (std::fabs(dlambda) > kLongitudeDifferenceLimit) {
    unit99.write(FreeLine() << " *************   error exit from utm. ");
    unit99.write(FreeLine() << "  d lon not within 0.16 radians of central merid.");
    unit99.write(FreeLine() << "   calculation has continued but values ");
    unit99.write(FreeLine() << "   may not be valid.");
    write_degrees_line(latitude, longitude, unit99);
  }
}

double DTAN(double x) {
  // 2^63 is where the x87 FSIN/FCOS instructions give up and leave their operand unreduced.
  constexpr double kLimit = 9223372036854775808.0;
  if (!(std::fabs(x) < kLimit)) return 0.0;
  return std::sin(x) / std::cos(x);
}

UtmPoint fix_to_utm(double lat_degrees, double lon_degrees, std::int32_t survey_zone,
                    std::int32_t ellipsoid, UtmDiagnostics& unit99) {
  return degrees_to_utm(lat_degrees, lon_degrees, survey_zone, ellipsoid, unit99);
}

UtmPoint mean_position_to_utm(double lat_degrees, double lon_degrees, std::int32_t& utm_zone,
                              std::int32_t ellipsoid, UtmDiagnostics& unit99) {
  return degrees_to_utm(lat_degrees, lon_degrees, utm_zone, ellipsoid, unit99);
}

}  // namespace quillet
