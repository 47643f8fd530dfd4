#include "view/plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillet::view {

double LinearScale::operator()(double v) const {
  if (d1 == d0) return (p0 + p1) / 2;
  return p0 + (v - d0) * (p1 - p0) / (d1 - d0);
}

std::vector<double> nice_ticks(double lo, double hi, int target, double& step) {
  std::vector<double> ticks;
  step = 1.0;
  if (!std::isfinite(lo) || !std::isfinite(hi) || hi < lo || target < 1) return ticks;
  if (hi == lo) {
    ticks.push_back(lo);
    return ticks;
  }
  const double raw = (hi - lo) / target;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / power;
  step = (fraction < 1.5 ? 1 : fraction < 3.5 ? 2 : fraction < 7.5 ? 5 : 10) * power;
  // Counted in whole steps so that the ticks do not collect rounding errors.
  const double first = std::ceil(lo / step - 1e-9);
  const double last = std::floor(hi / step + 1e-9);
  for (double k = first; k <= last; ++k) {
    const double v = k * step;
    ticks.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
  }
  return ticks;
}

std::string tick_label(double value, double step) {
  int decimals = 0;
  while (decimals < 6 && std::abs(step * std::pow(10.0, decimals) -
                                  std::round(step * std::pow(10.0, decimals))) > 1e-6) {
    ++decimals;
  }
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  const std::string_view s(text);
  if (s.find_first_not_of("-0.") == std::string_view::npos) return "0";
  if (s[0] != '-') return std::string(s);
  // A typographic minus reads better than a hyphen in a figure.
  std::string minus("\u2212");
  minus.append(s.substr(1));
  return minus;
}

Rgb viridis(double t) {
  // The map at eleven even steps; between them the colour is interpolated linearly.
  static constexpr Rgb kStops[] = {{68, 1, 84},    {72, 36, 117},  {65, 68, 135},  {53, 95, 141},
                                   {42, 120, 142}, {33, 145, 140}, {34, 168, 132}, {68, 191, 112},
                                   {122, 209, 81}, {189, 223, 38}, {253, 231, 37}};
  if (!(t > 0.0)) return kStops[0];
  if (t >= 1.0) return kStops[10];
  const double x = t * 10.0;
  const int k = static_cast<int>(x);
  const double f = x - k;
  auto mix = [f](std::uint8_t a, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
  };
  return {mix(kStops[k].r, kStops[k + 1].r), mix(kStops[k].g, kStops[k + 1].g),
          mix(kStops[k].b, kStops[k + 1].b)};
}

std::string hex(Rgb c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", c.r, c.g, c.b);
  return text;
}

bool quantile_range(const std::vector<float>& values, double low, double high, double& lo,
                    double& hi) {
  std::vector<float> finite;
  finite.reserve(values.size());
  for (float v : values) {
    if (std::isfinite(v)) finite.push_back(v);
  }
  if (finite.empty()) return false;
  auto at = [&finite](double q) {
    const auto k =
        static_cast<std::size_t>(std::lround(q * static_cast<double>(finite.size() - 1)));
    std::nth_element(finite.begin(), finite.begin() + static_cast<std::ptrdiff_t>(k), finite.end());
    return static_cast<double>(finite[k]);
  };
  lo = at(low);
  hi = at(high);
  return true;
}

void thin_min_max(const std::vector<float>& values, std::size_t first, std::size_t last,
                  double columns_per_reading, std::vector<ThinPoint>& out) {
  std::size_t i = first;
  while (i < last) {
    const auto column = static_cast<long long>(std::floor(i * columns_per_reading));
    std::size_t lo = last;
    std::size_t hi = last;
    for (; i < last && static_cast<long long>(std::floor(i * columns_per_reading)) == column; ++i) {
      const float v = values[i];
      if (!std::isfinite(v)) continue;
      if (lo == last || v < values[lo]) lo = i;
      if (hi == last || v > values[hi]) hi = i;
    }
    if (lo == last) continue;
    if (lo == hi) {
      out.push_back({lo, values[lo]});
    } else {
      const std::size_t a = std::min(lo, hi);
      const std::size_t b = std::max(lo, hi);
      out.push_back({a, values[a]});
      out.push_back({b, values[b]});
    }
  }
}

}  // namespace quillet::view
