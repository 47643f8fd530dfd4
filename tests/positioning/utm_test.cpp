#include "positioning/utm.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace quillet {
namespace {

namespace fs = std::filesystem;

struct RecordedLines : UtmDiagnostics {
  std::vector<std::string> lines;
  void write_line(std::string_view line) override { lines.emplace_back(line); }
};

struct Projected {
  double easting;
  double northing;
  double latitude;  // arc-seconds, as LL2UTM leaves it
  std::int32_t zone;
  std::vector<std::string> diagnostics;
};

Projected project(double lat_degrees, double lon_degrees_east, std::int32_t zone,
                  std::int32_t row = kGrs80Row) {
  RecordedLines unit99;
  Projected p{};
  p.latitude = lat_degrees * 3600.0;
  p.zone = zone;
  LL2UTM(p.easting, p.northing, p.latitude, -lon_degrees_east * 3600.0, p.zone, row, unit99);
  p.diagnostics = unit99.lines;
  return p;
}

// Bounds of the series against an exact transverse Mercator, measured over every zone at every
// latitude up to 84 degrees. Easting: the first neglected term grows with the seventh power of
// the distance from the central meridian (0.10 mm measured at 3 degrees, 0.01 mm at 2). Northing:
// the meridian arc cut after e^6 is off by up to 0.96 mm near 72 degrees, whatever the longitude.
double easting_bound(double degrees_from_central_meridian) {
  return 1e-5 + 2e-4 * std::pow(std::fabs(degrees_from_central_meridian) / 3.0, 7);
}
constexpr double kNorthingBound = 1.1e-3;
// Beyond the zone (a survey keeps one zone) the northing error grows too: 0.6 mm at 6 degrees,
// 15 mm at 9 degrees measured, with the eighth power of the distance.
double far_northing_bound(double degrees_from_central_meridian) {
  return kNorthingBound + 5e-6 * std::pow(std::fabs(degrees_from_central_meridian) / 3.0, 8);
}

// UTM zone and central meridian (degrees east) by the usual definition, independent of the
// program's arc-second arithmetic.
int standard_zone(double lon_degrees_east) {
  return static_cast<int>(std::floor((lon_degrees_east + 180.0) / 6.0)) + 1;
}
double central_meridian(int zone) {
  return 6.0 * zone - 183.0;
}

// GeographicLib's exact transverse Mercator (scale 0.9996, no false origin) for one ellipsoid.
// Each point is (latitude, longitude relative to the central meridian), degrees. Returns false
// when the tool is not installed.
bool oracle_projection(const Ellipsoid& ell, const std::vector<std::pair<double, double>>& points,
                       std::vector<std::pair<double, double>>& xy) {
  if (std::system("command -v TransverseMercatorProj >/dev/null 2>&1") != 0) return false;
  testing::TempDir folder;
  const fs::path in = folder.path() / "points.txt";
  const fs::path out = folder.path() / "projected.txt";
  {
    std::ofstream f(in);
    f.precision(17);
    for (const auto& [lat, dlon] : points) f << lat << ' ' << dlon << '\n';
  }
  char flattening[64];
  std::snprintf(flattening, sizeof flattening, "%.17g", (ell.a - ell.b) / ell.a);
  char axis[64];
  std::snprintf(axis, sizeof axis, "%.17g", ell.a);
  const std::string command = std::string("TransverseMercatorProj -k 0.9996 -l 0 -p 9 -e ") + axis +
                              " " + flattening + " --input-file '" + in.string() +
                              "' --output-file '" + out.string() + "'";
  if (std::system(command.c_str()) != 0) return false;
  std::ifstream f(out);
  xy.clear();
  double x, y, convergence, scale;
  while (f >> x >> y >> convergence >> scale) xy.emplace_back(x, y);
  return xy.size() == points.size();
}

TEST(Ll2utmOracle, EveryZoneBothHemispheresWithinThreeDegreesOfTheCentralMeridian) {
  std::vector<std::pair<double, double>> relative;  // the oracle's input
  struct Case {
    double lat, lon;
    int zone;
  };
  std::vector<Case> cases;
  for (int zone = 1; zone <= 60; ++zone) {
    for (int lat = -84; lat <= 84; lat += 6) {
      for (int step = -12; step <= 12; ++step) {
        const double dlon = step * 0.25;
        relative.emplace_back(lat, dlon);
        cases.push_back({double(lat), central_meridian(zone) + dlon, zone});
      }
    }
  }
  std::vector<std::pair<double, double>> xy;
  if (!oracle_projection(ellipsoid_row(kGrs80Row), relative, xy)) {
    GTEST_SKIP() << "GeographicLib's TransverseMercatorProj is not installed";
  }

  double worst_easting_at_3 = 0, worst_northing = 0;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const Case& c = cases[k];
    const double dlon = relative[k].second;
    // Inside the zone the zone is determined from the position; on its edges it is given.
    const bool inside = std::fabs(dlon) < 3.0;
    const Projected p = project(c.lat, c.lon, inside ? 0 : c.zone);
    const int expected_zone = c.lat < 0 ? -c.zone : c.zone;
    ASSERT_EQ(p.zone, expected_zone) << "lat " << c.lat << " lon " << c.lon;
    const double easting = xy[k].first + 500000.0;
    const double northing = xy[k].second + (c.lat < 0 ? 10000000.0 : 0.0);
    ASSERT_NEAR(p.easting, easting, easting_bound(dlon)) << "lat " << c.lat << " lon " << c.lon;
    ASSERT_NEAR(p.northing, northing, kNorthingBound) << "lat " << c.lat << " lon " << c.lon;
    EXPECT_TRUE(p.diagnostics.empty());
    if (std::fabs(dlon) == 3.0) {
      worst_easting_at_3 = std::fmax(worst_easting_at_3, std::fabs(p.easting - easting));
    }
    worst_northing = std::fmax(worst_northing, std::fabs(p.northing - northing));
  }
  // The bounds are meant to be tight: a measured error far below them would mean the oracle
  // comparison no longer sees the series' own truncation.
  EXPECT_GT(worst_easting_at_3, 5e-5);
  EXPECT_GT(worst_northing, 5e-4);
}

TEST(Ll2utmOracle, ErrorBeyondTheZoneUpToTheLongitudeLimit) {
  std::vector<std::pair<double, double>> relative;
  for (int lat = -84; lat <= 84; lat += 3) {
    for (int step = 6; step <= 18; ++step) {
      relative.emplace_back(lat, step * 0.5);
      relative.emplace_back(lat, -step * 0.5);
    }
  }
  std::vector<std::pair<double, double>> xy;
  if (!oracle_projection(ellipsoid_row(kGrs80Row), relative, xy)) {
    GTEST_SKIP() << "GeographicLib's TransverseMercatorProj is not installed";
  }
  const int zone = 10;  // central meridian 123 degrees west
  double worst_at_9 = 0;
  for (std::size_t k = 0; k < relative.size(); ++k) {
    const auto [lat, dlon] = relative[k];
    const Projected p = project(lat, central_meridian(zone) + dlon, zone);
    const double easting = xy[k].first + 500000.0;
    ASSERT_NEAR(p.easting, easting, easting_bound(dlon)) << "lat " << lat << " dlon " << dlon;
    ASSERT_NEAR(p.northing, xy[k].second + (lat < 0 ? 10000000.0 : 0.0), far_northing_bound(dlon))
        << "lat " << lat << " dlon " << dlon;
    if (std::fabs(dlon) == 9.0) worst_at_9 = std::fmax(worst_at_9, std::fabs(p.easting - easting));
  }
  EXPECT_GT(worst_at_9, 0.1);  // 0.19 m measured on the equator
}

TEST(Ll2utmOracle, EveryEllipsoidRowProjectsOnItsOwnAxes) {
  // The axes of the table, typed in a second time so that a mistyped digit on either side shows.
  const Ellipsoid rows[kEllipsoidRows] = {
      {6378206.4, 6356583.8},       {6378249.145, 6356514.86955}, {6377397.155, 6356078.96284},
      {6378157.5, 6356772.2},       {6378388.0, 6356911.94613},   {6378135.0, 6356750.519915},
      {6377276.3452, 6356075.4133}, {6378145.0, 6356759.769356},  {6378137.0, 6356752.31414},
      {6377563.396, 6356256.91},    {6377304.063, 6356103.039},   {6377341.89, 6356036.143},
      {6376896.0, 6355834.8467},    {6378155.0, 6356773.3205},    {6378160.0, 6356774.719},
      {6378245.0, 6356863.0188},    {6378270.0, 6356794.343479},  {6378166.0, 6356784.283666},
      {6378150.0, 6356768.337303},
  };
  const std::vector<std::pair<double, double>> relative = {{52.0, 2.0}, {-41.0, -2.5}, {8.0, 1.0}};
  const int zone = 33;  // central meridian 15 degrees east
  for (int row = 1; row <= kEllipsoidRows; ++row) {
    const Ellipsoid table = ellipsoid_row(row);
    EXPECT_EQ(table.a, rows[row - 1].a) << "row " << row;
    EXPECT_EQ(table.b, rows[row - 1].b) << "row " << row;
    std::vector<std::pair<double, double>> xy;
    if (!oracle_projection(rows[row - 1], relative, xy)) {
      GTEST_SKIP() << "GeographicLib's TransverseMercatorProj is not installed";
    }
    for (std::size_t k = 0; k < relative.size(); ++k) {
      const auto [lat, dlon] = relative[k];
      const Projected p = project(lat, central_meridian(zone) + dlon, 0, row);
      EXPECT_NEAR(p.easting, xy[k].first + 500000.0, easting_bound(dlon)) << "row " << row;
      EXPECT_NEAR(p.northing, xy[k].second + (lat < 0 ? 10000000.0 : 0.0), kNorthingBound)
          << "row " << row;
    }
  }
}

// Expected coordinates below are GeographicLib's (TransverseMercatorProj on GRS 80).
TEST(Ll2utmZones, DeterminedFromThePositionWithTheHemisphereInItsSign) {
  Projected p = project(45.0, -75.0, 0);
  EXPECT_EQ(p.zone, 18);
  EXPECT_NEAR(p.easting, 500000.0, 1e-6);
  EXPECT_NEAR(p.northing, 4982950.400106, kNorthingBound);

  p = project(-33.0, 151.0, 0);
  EXPECT_EQ(p.zone, -56);
  EXPECT_NEAR(p.easting, 313152.777214, easting_bound(2.0));
  EXPECT_NEAR(p.northing, 10000000.0 - 3653063.504190, kNorthingBound);

  // Longitude 0 belongs to zone 30 (central meridian 3 degrees west), not 31.
  p = project(51.5, 0.0, 0);
  EXPECT_EQ(p.zone, 30);
  EXPECT_NEAR(p.easting, 500000.0 + 208216.872178, easting_bound(3.0));
  EXPECT_NEAR(p.northing, 5709696.983449, kNorthingBound);

  // On a zone edge the truncation puts a western longitude in the zone to its west and an eastern
  // one in the zone to its east.
  EXPECT_EQ(project(10.0, -72.0, 0).zone, 18);
  EXPECT_EQ(project(10.0, 6.0, 0).zone, 32);
  EXPECT_EQ(project(10.0, 5.999, 0).zone, standard_zone(5.999));
  EXPECT_EQ(project(10.0, -72.001, 0).zone, standard_zone(-72.001));
  EXPECT_EQ(project(-10.0, 179.5, 0).zone, -60);
  EXPECT_EQ(project(10.0, -179.5, 0).zone, 1);
}

TEST(Ll2utmZones, TheSignOfAGivenZoneAndTheLatitudeAgree) {
  const Projected north = project(10.0, 9.0, 32);
  EXPECT_EQ(north.zone, 32);
  EXPECT_EQ(north.latitude, 36000.0);

  // A negative zone forces the southern hemisphere: the northern latitude is mirrored, and the
  // projection of a mirrored latitude is the false northing less the northern one.
  const Projected forced = project(10.0, 9.0, -32);
  EXPECT_EQ(forced.zone, -32);
  EXPECT_EQ(forced.latitude, -36000.0);
  EXPECT_DOUBLE_EQ(forced.easting, north.easting);
  EXPECT_NEAR(forced.northing, 10000000.0 - north.northing, 1e-6);

  // A positive zone given with a southern latitude comes back negated.
  const Projected south = project(-10.0, 9.0, 32);
  EXPECT_EQ(south.zone, -32);
  EXPECT_EQ(south.latitude, -36000.0);
  EXPECT_DOUBLE_EQ(south.northing, forced.northing);

  // A given zone is kept for a position outside it (one zone for the whole survey).
  const Projected outside = project(10.0, 16.0, 32);
  EXPECT_EQ(outside.zone, 32);
  EXPECT_GT(outside.easting, 500000.0 + 6.9 * 109000.0);  // 7 degrees east of 9E at 10N

  // On the equator and on the central meridian the origin is exact.
  const Projected origin = project(0.0, 9.0, 0);
  EXPECT_EQ(origin.easting, 500000.0);
  EXPECT_EQ(origin.northing, 0.0);
}

TEST(Ll2utmConvert, OnlyTheMeanPositionMayChangeTheSurveyZone) {
  RecordedLines unit99;
  std::int32_t utm_zone = 0;
  const UtmPoint mean = mean_position_to_utm(45.0, -75.0, utm_zone, kGrs80Row, unit99);
  EXPECT_EQ(utm_zone, 18);
  EXPECT_NEAR(mean.easting, 500000.0, 1e-6);

  // A southern fix near the equator is projected as southern but leaves the survey zone alone.
  const UtmPoint fix = fix_to_utm(-0.5, -75.0, utm_zone, kGrs80Row, unit99);
  EXPECT_EQ(utm_zone, 18);
  EXPECT_GT(fix.northing, 9900000.0);
  const UtmPoint back_north = fix_to_utm(0.5, -75.0, utm_zone, kGrs80Row, unit99);
  EXPECT_NEAR(back_north.northing, 10000000.0 - fix.northing, 1e-6);

  // A zone already set is kept for a later mean position elsewhere (and takes its hemisphere).
  const UtmPoint later = mean_position_to_utm(-20.0, -60.0, utm_zone, kGrs80Row, unit99);
  EXPECT_EQ(utm_zone, -18);
  EXPECT_GT(later.easting, 500000.0 + 14.0 * 104000.0);  // 15 degrees east of 75W at 20S
  EXPECT_EQ(unit99.lines.size(), 5u);                    // far outside the zone
}

TEST(Ll2utmDiagnostics, PolewardOf84DegreesAndFarFromTheCentralMeridian) {
  // 85N, 3W: on the central meridian of zone 30, beyond the latitude limit.
  Projected p = project(85.0, -3.0, 0);
  const std::vector<std::string> poleward = {
      "  *************   error exit from utm. ",
      "    latitude value is poleward of 84 degrees",
      "    utm is not valid.",
      "    calculation has continued but values ",
      "    may not be valid.",
      // gfortran's list-directed form of 85.0d0 and 3.0d0 (arc-seconds back to degrees, the
      // longitude still positive west).
      "   85.000000000000000        3.0000000000000000     ",
  };
  EXPECT_EQ(p.diagnostics, poleward);
  EXPECT_EQ(p.zone, 30);
  EXPECT_GT(p.northing, 9000000.0);  // the values are still returned

  EXPECT_TRUE(project(84.0, -3.0, 0).diagnostics.empty());
  EXPECT_TRUE(project(-84.0, -3.0, 0).diagnostics.empty());
  EXPECT_EQ(project(-84.01, -3.0, 0).diagnostics.size(), 6u);

  // 45S, 65W in zone 18 (75W): 10 degrees, 0.1745 rad from the central meridian.
  p = project(-45.0, -65.0, 18);
  const std::vector<std::string> far = {
      "  *************   error exit from utm. ",
      "   d lon not within 0.16 radians of central merid.",
      "    calculation has continued but values ",
      "    may not be valid.",
      "  -45.000000000000000        65.000000000000000     ",
  };
  EXPECT_EQ(p.diagnostics, far);
  EXPECT_GT(p.easting, 1200000.0);

  // 0.16 rad is 9.167 degrees.
  EXPECT_TRUE(project(45.0, -75.0 + 9.1, 18).diagnostics.empty());
  EXPECT_EQ(project(45.0, -75.0 - 9.2, 18).diagnostics.size(), 5u);

  // Both limits exceeded: both blocks, the latitude block first.
  p = project(86.0, -65.0, 18);
  ASSERT_EQ(p.diagnostics.size(), 11u);
  EXPECT_EQ(p.diagnostics[1], poleward[1]);
  EXPECT_EQ(p.diagnostics[7], far[1]);
}

TEST(Unit99File, CreatedOnTheFirstLineAndAppendedTo) {
  testing::TempDir folder;
  const fs::path path = folder.path() / "fort.99";
  {
    Unit99File file(path.string());
    EXPECT_FALSE(fs::exists(path));
    double e, n, lat = 45.0 * 3600.0;
    std::int32_t zone = 18;
    LL2UTM(e, n, lat, 75.0 * 3600.0, zone, kGrs80Row, file);
    EXPECT_FALSE(fs::exists(path));  // a valid position writes nothing
    file.write_line("first");
    EXPECT_TRUE(fs::exists(path));
    file.write(FreeLine() << "second");
    EXPECT_FALSE(file.failed());
  }
  {
    Unit99File again(path.string());  // a later execution
    again.write_line("third");
  }
  std::ifstream f(path);
  std::stringstream all;
  all << f.rdbuf();
  EXPECT_EQ(all.str(), "first\n second\nthird\n");

  Unit99File nowhere((folder.path() / "missing" / "fort.99").string());
  nowhere.write_line("lost");
  EXPECT_TRUE(nowhere.failed());
}

// A link at the name is never written through: the file it points to keeps its bytes, and the
// file counts as one that could not be opened. So does a disk that is full.
TEST(Unit99File, NeverFollowsALinkAndReportsWhatItCouldNotWrite) {
  testing::TempDir folder;
  const std::string victim = folder.write("victim.txt", "keep\n");
  fs::create_symlink(victim, folder.path() / "fort.99");
  Unit99File linked((folder.path() / "fort.99").string());
  linked.write_line("diagnostic");
  EXPECT_TRUE(linked.failed());
  EXPECT_EQ(testing::read_file(victim), "keep\n");

  if (fs::exists("/dev/full")) {
    Unit99File full("/dev/full");
    full.write_line("diagnostic");
    EXPECT_TRUE(full.failed());
  }
}

TEST(Dtan, SineOverCosineWithinTheInstructionRange) {
  EXPECT_DOUBLE_EQ(DTAN(0.5), std::tan(0.5));
  EXPECT_DOUBLE_EQ(DTAN(-1.2), std::tan(-1.2));
  EXPECT_EQ(DTAN(0.0), 0.0);
  EXPECT_NE(DTAN(1e18), 0.0);
  EXPECT_EQ(DTAN(9223372036854775808.0), 0.0);  // 2^63
  EXPECT_EQ(DTAN(-1e300), 0.0);
  EXPECT_EQ(DTAN(INFINITY), 0.0);
  EXPECT_EQ(DTAN(NAN), 0.0);
}

}  // namespace
}  // namespace quillet
