// The drawing arithmetic of the page: scales from data to pixels, axis ticks, the colour map and
// the thinning that keeps a plot of a million readings to a few points per pixel column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillet::view {

// Maps the data interval [d0, d1] linearly onto the pixel interval [p0, p1] (p1 < p0 for a
// y axis, whose pixels grow downwards). A zero-width data interval maps to the middle.
struct LinearScale {
  double d0 = 0.0, d1 = 1.0, p0 = 0.0, p1 = 1.0;
  double operator()(double v) const;
};

// Round tick values (1, 2 or 5 times a power of ten apart) inside [lo, hi], about `target` of
// them; the step chosen goes to `step`.
std::vector<double> nice_ticks(double lo, double hi, int target, double& step);

// A tick label with as many decimals as the step needs ("0.5", "120", "-2.25").
std::string tick_label(double value, double step);

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// The viridis colour map: dark violet at 0, through blue and green, to yellow at 1; values
// outside [0, 1] take the nearest end. Perceptually uniform and readable in grey and by people
// with a colour-vision deficiency.
Rgb viridis(double t);
std::string hex(Rgb colour);  // "#21918c"

// The two ends of the middle of a sample: its `low` and `high` quantiles (0.02 and 0.98 drop
// the odd spike that would squeeze the colours of everything else). NaN values are left out;
// false when no value is left.
bool quantile_range(const std::vector<float>& values, double low, double high, double& lo,
                    double& hi);

// One point kept by the thinning.
struct ThinPoint {
  std::size_t index;
  float value;
};

// Appends to `out` the points that a plot of values[first..last) against the reading index needs
// when reading i falls into pixel column floor(i * columns_per_reading): per column its minimum
// and its maximum, in reading order (one point when they are the same reading). NaN values are
// left out. Every extreme of the data survives, so a one-reading spike stays visible.
void thin_min_max(const std::vector<float>& values, std::size_t first, std::size_t last,
                  double columns_per_reading, std::vector<ThinPoint>& out);

}  // namespace quillet::view
