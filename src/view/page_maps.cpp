#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "view/page_parts.hpp"

namespace quillet::view::detail {

namespace {

constexpr double kMapSize = 216;  // plot box, pixels
constexpr double kMapLeft = 46;   // room for the north labels
constexpr double kMapTop = 6;
constexpr double kMapWidth = 270;  // the whole card
constexpr double kMapHeight = 312;
constexpr int kCell = 3;  // pixels per map cell: one dot per cell
constexpr int kColourLevels = 48;
// The widest a character of a tick label is drawn (10.5 px digits and the minus sign), pixels.
constexpr double kTickCharWidth = 6.5;

// Characters of a UTF-8 text (the minus sign of a label is one character of three bytes).
std::size_t characters(std::string_view text) {
  std::size_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
  return n;
}

struct MapGeometry {
  std::size_t placed = 0;
  double lat0 = 0, lon0 = 0;
  LinearScale sx, sy;
  int cells = 0;                   // per side
  std::vector<std::int32_t> cell;  // per reading; -1 without a position
};

MapGeometry map_geometry(const Survey& s) {
  MapGeometry g;
  double lat_sum = 0, lon_sum = 0;
  for (std::size_t i = 0; i < s.readings(); ++i) {
    if (!std::isfinite(s.latitude[i])) continue;
    ++g.placed;
    lat_sum += s.latitude[i];
    lon_sum += s.longitude[i];
  }
  if (g.placed == 0) return g;
  g.lat0 = lat_sum / static_cast<double>(g.placed);
  g.lon0 = lon_sum / static_cast<double>(g.placed);
  // Metres per degree at the mean latitude on the WGS 84 ellipsoid: plenty for a survey of a few
  // kilometres.
  const double a = 6378137.0, e2 = 0.00669437999014;
  const double phi = g.lat0 * std::numbers::pi / 180.0;
  const double w = 1.0 - e2 * std::sin(phi) * std::sin(phi);
  const double per_degree = std::numbers::pi / 180.0;
  const double east_m = a / std::sqrt(w) * std::cos(phi) * per_degree;
  const double north_m = a * (1.0 - e2) / (w * std::sqrt(w)) * per_degree;
  std::vector<float> east(s.readings()), north(s.readings());
  double e_lo = INFINITY, e_hi = -INFINITY, n_lo = INFINITY, n_hi = -INFINITY;
  for (std::size_t i = 0; i < s.readings(); ++i) {
    if (!std::isfinite(s.latitude[i])) continue;
    east[i] = static_cast<float>((s.longitude[i] - g.lon0) * east_m);
    north[i] = static_cast<float>((s.latitude[i] - g.lat0) * north_m);
    e_lo = std::min<double>(e_lo, east[i]);
    e_hi = std::max<double>(e_hi, east[i]);
    n_lo = std::min<double>(n_lo, north[i]);
    n_hi = std::max<double>(n_hi, north[i]);
  }
  // One scale for both axes, so that the map keeps its shape; a margin of 4 % all round.
  double span = std::max({e_hi - e_lo, n_hi - n_lo, 1.0}) * 1.08;
  const double ec = (e_lo + e_hi) / 2, nc = (n_lo + n_hi) / 2;
  g.sx = {ec - span / 2, ec + span / 2, kMapLeft, kMapLeft + kMapSize};
  g.sy = {nc - span / 2, nc + span / 2, kMapTop + kMapSize, kMapTop};
  g.cells = static_cast<int>(kMapSize) / kCell;
  g.cell.assign(s.readings(), -1);
  for (std::size_t i = 0; i < s.readings(); ++i) {
    if (!std::isfinite(s.latitude[i])) continue;
    const int cx = std::clamp(static_cast<int>((g.sx(east[i]) - kMapLeft) / kCell), 0, g.cells - 1);
    const int cy = std::clamp(static_cast<int>((g.sy(north[i]) - kMapTop) / kCell), 0, g.cells - 1);
    g.cell[i] = cy * g.cells + cx;
  }
  return g;
}

void colour_gradient(std::string& out, const std::string& id) {
  out += "<defs><linearGradient id=\"" + id + "\">";
  for (int k = 0; k <= 10; ++k) {
    out += std::string("<stop offset=\"") + px(k * 10.0) + "%\" stop-color=\"" +
           hex(viridis(k / 10.0)) + "\"/>";
  }
  out += "</linearGradient></defs>";
}

void map_card(std::string& out, const Survey& s, std::size_t c, const ChannelStats& st,
              const MapGeometry& g) {
  const Channel& ch = s.channels[c];
  out += std::string("<div class=\"card\"><h3>") + escape(ch.name) + " <span>" +
         escape(ch.description()) + "</span></h3>";
  out += std::string("<svg class=\"map\" data-region=\"map\" width=\"") + px(kMapWidth) +
         "\" height=\"" + px(kMapHeight) + "\" viewBox=\"0 0 " + px(kMapWidth) + " " +
         px(kMapHeight) + "\">";
  const double x1 = kMapLeft + kMapSize, y1 = kMapTop + kMapSize;
  out += std::string("<rect class=\"plot\" x=\"") + px(kMapLeft) + "\" y=\"" + px(kMapTop) +
         "\" width=\"" + px(kMapSize) + "\" height=\"" + px(kMapSize) + "\"/>";
  x_axis(out, g.sx, kMapTop, y1, true, 4);
  y_axis(out, g.sy, kMapLeft, x1, 4);
  text(out, x1, y1 + 26, "end", "m east", "axis");
  out += std::string("<text class=\"axis\" transform=\"translate(11 ") + px(kMapTop + 2) +
         ") rotate(-90)\" text-anchor=\"end\">m north</text>";

  // Each cell shows the mean of its readings; the colours span the channel's 2-98 % range.
  const auto cells = static_cast<std::size_t>(g.cells * g.cells);
  std::vector<double> sum(cells, 0.0);
  std::vector<std::uint32_t> count(cells, 0);
  for (std::size_t i = 0; i < s.readings(); ++i) {
    const float v = s.values[c][i];
    if (g.cell[i] < 0 || !std::isfinite(v)) continue;
    sum[static_cast<std::size_t>(g.cell[i])] += v;
    ++count[static_cast<std::size_t>(g.cell[i])];
  }
  const double lo = st.low, hi = st.high;
  std::vector<std::string> paths(kColourLevels);
  for (std::size_t k = 0; k < cells; ++k) {
    if (count[k] == 0) continue;
    const double mean = sum[k] / count[k];
    const double t = hi > lo ? (mean - lo) / (hi - lo) : 0.5;
    const int level = std::clamp(static_cast<int>(t * kColourLevels), 0, kColourLevels - 1);
    const double x = kMapLeft + (static_cast<double>(k % g.cells) + 0.5) * kCell;
    const double y = kMapTop + (static_cast<double>(k / g.cells) + 0.5) * kCell;
    std::string& p = paths[static_cast<std::size_t>(level)];
    p += 'M';
    px(p, x);
    p += ' ';
    px(p, y);
    p += "h0";
  }
  out += "<g class=\"dots\">";
  for (int level = 0; level < kColourLevels; ++level) {
    if (paths[static_cast<std::size_t>(level)].empty()) continue;
    out += std::string("<path stroke=\"") + hex(viridis((level + 0.5) / kColourLevels)) +
           "\" d=\"" + paths[static_cast<std::size_t>(level)] + "\"/>";
  }
  out += "</g>";
  frame(out, kMapLeft, kMapTop, x1, y1);

  // Colour bar with the channel's unit.
  const double bar_y = y1 + 40;
  const std::string id = std::string("colours") + std::to_string(c);
  colour_gradient(out, id);
  out += std::string("<rect data-region=\"colourbar\" x=\"") + px(kMapLeft) + "\" y=\"" +
         px(bar_y) + "\" width=\"" + px(kMapSize) + "\" height=\"10\" fill=\"url(#" + id + ")\"/>";
  if (std::isfinite(lo) && std::isfinite(hi)) {
    const LinearScale sb{lo, hi, kMapLeft, x1};
    double step = 1;
    std::string ticks;
    for (double t : nice_ticks(lo, hi, 4, step)) {
      const double x = std::round(sb(t)) + 0.5;
      ticks += std::string("M") + px(x) + " " + px(bar_y + 10) + "v4";
      // A label centred on a tick at the end of the bar would run past the card's edge, and the
      // browser cuts it there ("0.50" shows as "0.5"): such a label moves inwards to fit.
      const std::string label = tick_label(t, step);
      const double half = kTickCharWidth * static_cast<double>(characters(label)) / 2;
      text(out, std::clamp(x, half + 1, kMapWidth - half - 1), bar_y + 24, "middle", label);
    }
    out += "<path class=\"axisline\" d=\"" + ticks + "\"/>";
  }
  text(out, kMapLeft - 6, bar_y + 9, "end", escape(ch.unit), "unit");
  out += "</svg></div>\n";
}

}  // namespace

void maps(std::string& out, const Survey& s, const std::vector<ChannelStats>& stats) {
  out += "<section data-region=\"maps\"><h2>Map of the readings</h2>\n";
  const MapGeometry g = map_geometry(s);
  if (g.placed == 0) {
    out +=
        "<p class=\"note\">No reading of this file carries a GPS position, so there is no "
        "map.</p></section>\n";
    return;
  }
  char centre[96];
  std::snprintf(centre, sizeof centre, "%.6f\u00b0 %c, %.6f\u00b0 %c", std::abs(g.lat0),
                g.lat0 < 0 ? 'S' : 'N', std::abs(g.lon0), g.lon0 < 0 ? 'W' : 'E');
  out += std::string("<p class=\"note\">") + thousands(g.placed) +
         " readings with a GPS position, in metres east and north of their mean position (" +
         centre +
         "). One map per channel, a row per coil array; each dot is the mean of the readings "
         "in its " +
         std::to_string(kCell) +
         "-pixel cell, coloured from the 2nd to the 98th percentile of the channel.</p>\n"
         "<div class=\"maps\">\n";
  for (std::size_t c = 0; c < s.channels.size(); ++c) map_card(out, s, c, stats[c], g);
  out += "</div></section>\n";
}

}  // namespace quillet::view::detail
