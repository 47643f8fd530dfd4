#include "view/page.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <set>
#include <string_view>
#include <vector>

#include "view/plot.hpp"

namespace quillet::view {

namespace {

// ---------------------------------------------------------------------------------------------
// Text

std::string escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  std::string s(text);
  if (s[0] == '-') s.replace(0, 1, "\u2212");
  return s;
}

// A pixel coordinate with one decimal at most: enough for the screen, and short.
void px(std::string& out, double v) {
  char text[32];
  const long tenths = std::lround(v * 10.0);
  if (tenths % 10 == 0) {
    std::snprintf(text, sizeof text, "%ld", tenths / 10);
  } else {
    std::snprintf(text, sizeof text, "%.1f", tenths / 10.0);
  }
  out += text;
}

std::string px(double v) {
  std::string s;
  px(s, v);
  return s;
}

std::string thousands(std::size_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string percent(std::size_t part, std::size_t whole) {
  if (whole == 0) return "0 %";
  if (part == 0 || part == whole) return part == 0 ? "0 %" : "100 %";
  // A share that rounds to a whole does not claim all or nothing.
  const double p = 100.0 * static_cast<double>(part) / static_cast<double>(whole);
  if (p > 99.9) return "> 99.9 %";
  if (p < 0.1) return "< 0.1 %";
  return fixed(p, 1) + " %";
}

std::string clock(double seconds) {
  const auto s = static_cast<long>(std::floor(seconds));
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", (s / 3600) % 24, (s / 60) % 60, s % 60);
  return text;
}

std::string duration(double seconds) {
  const auto s = static_cast<long>(std::lround(seconds));
  char text[48];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld h %02ld min", s / 3600, (s / 60) % 60);
  } else if (s >= 60) {
    std::snprintf(text, sizeof text, "%ld min %02ld s", s / 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld s", s);
  }
  return text;
}

// " (+1 d)" for a time of day on a later day than the first reading's.
std::string later_day(double seconds) {
  const auto days = static_cast<long>(std::floor(seconds / 86400.0));
  return days > 0 ? " (+" + std::to_string(days) + " d)" : std::string();
}

// A value of a channel as the files give it: two decimals.
std::string value_text(double v) {
  return std::isfinite(v) ? fixed(v, 2) : "\u2013";
}

// ---------------------------------------------------------------------------------------------
// Figures of the summary

struct ChannelStats {
  std::size_t count = 0;
  double min = NAN, median = NAN, max = NAN;
  double low = NAN, high = NAN;  // 2nd and 98th percentile of the readings with a position
};

ChannelStats channel_stats(const Survey& s, std::size_t c) {
  ChannelStats st;
  std::vector<float> finite;
  finite.reserve(s.readings());
  for (float v : s.values[c]) {
    if (std::isfinite(v)) finite.push_back(v);
  }
  st.count = finite.size();
  if (finite.empty()) return st;
  const auto [lo, hi] = std::minmax_element(finite.begin(), finite.end());
  st.min = *lo;
  st.max = *hi;
  const std::size_t mid = finite.size() / 2;
  std::nth_element(finite.begin(), finite.begin() + static_cast<std::ptrdiff_t>(mid), finite.end());
  st.median = finite[mid];
  if (finite.size() % 2 == 0) {
    const float below =
        *std::max_element(finite.begin(), finite.begin() + static_cast<std::ptrdiff_t>(mid));
    st.median = (static_cast<double>(below) + finite[mid]) / 2;
  }
  std::vector<float> placed;
  placed.reserve(s.readings());
  for (std::size_t i = 0; i < s.readings(); ++i) {
    if (std::isfinite(s.latitude[i])) placed.push_back(s.values[c][i]);
  }
  if (!quantile_range(placed, 0.02, 0.98, st.low, st.high)) {
    st.low = st.min;
    st.high = st.max;
  }
  return st;
}

struct Figures {
  std::size_t lines = 0;
  double first_time = NAN, last_time = NAN;
  std::size_t placed = 0, fresh = 0;
};

Figures figures(const Survey& s) {
  Figures f;
  std::set<std::int32_t> lines;
  for (std::size_t i = 0; i < s.readings(); ++i) {
    if (s.line[i] != RecordValues::kMissing) lines.insert(s.line[i]);
    if (std::isfinite(s.time_s[i])) {
      if (!std::isfinite(f.first_time)) f.first_time = s.time_s[i];
      f.last_time = s.time_s[i];
    }
    if (std::isfinite(s.latitude[i])) ++f.placed;
    if (s.fresh_fix[i]) ++f.fresh;
  }
  f.lines = lines.size();
  return f;
}

void figure(std::string& out, const std::string& label, const std::string& value,
            const std::string& detail) {
  out += "<div class=\"figure\"><div class=\"label\">" + label + "</div><div class=\"value\">" +
         value + "</div><div class=\"detail\">" + detail + "</div></div>\n";
}

void summary(std::string& out, const Survey& s, const std::vector<ChannelStats>& stats) {
  const Figures f = figures(s);
  out += "<section data-region=\"summary\"><h2>Summary</h2>\n<div class=\"figures\">\n";
  std::string names;
  for (std::size_t k = 0; k < s.logger_files.size() && k < 4; ++k) {
    names += (k ? ", " : "") + escape(s.logger_files[k]);
  }
  if (s.logger_files.size() > 4) names += ", \u2026";
  figure(out, "Logger files", std::to_string(s.logger_files.size()), names);
  std::string kinds;
  for (int k = 0; k < 4; ++k) {
    if (s.family_records[k] == 0) continue;
    if (!kinds.empty()) kinds += ", ";
    kinds += family_name(s.type, static_cast<RecordFamily>(k));
  }
  figure(out, "Readings", thousands(s.readings()), escape(kinds) + " records");
  figure(out, "Survey lines", thousands(f.lines),
         f.lines ? "by the line column" : "no line numbers");
  if (std::isfinite(f.first_time)) {
    figure(out, "Time span", duration(f.last_time - f.first_time),
           clock(f.first_time) + " \u2013 " + clock(f.last_time) + later_day(f.last_time));
  } else {
    figure(out, "Time span", "\u2013", "no times");
  }
  figure(out, "GPS fix", percent(f.placed, s.readings()),
         std::string("of readings have a position; ") + percent(f.fresh, s.readings()) +
             " a fresh one");
  figure(out, "Records skipped", thousands(s.unfit_records),
         s.unfit_records ? "fit no layout, first at line " + std::to_string(s.first_unfit_line)
                         : "every record fits its layout");
  out +=
      "</div>\n<table><thead><tr><th>Channel</th><th>Quantity</th><th>Coil array</th>"
      "<th>Unit</th><th class=\"n\">Minimum</th><th class=\"n\">Median</th>"
      "<th class=\"n\">Maximum</th><th class=\"n\">Missing</th></tr></thead><tbody>\n";
  for (std::size_t c = 0; c < s.channels.size(); ++c) {
    const Channel& ch = s.channels[c];
    const ChannelStats& st = stats[c];
    out += std::string("<tr><td><b>") + escape(ch.name) + "</b></td><td>" + ch.quantity +
           "</td><td>" + std::to_string(ch.array) + "</td><td>" + escape(ch.unit) +
           "</td><td class=\"n\">" + value_text(st.min) + "</td><td class=\"n\">" +
           value_text(st.median) + "</td><td class=\"n\">" + value_text(st.max) +
           "</td><td class=\"n\">" + thousands(s.readings() - st.count) + "</td></tr>\n";
  }
  out += "</tbody></table></section>\n";
}

// ---------------------------------------------------------------------------------------------
// Axes

void text(std::string& out, double x, double y, const std::string& anchor, const std::string& t,
          const char* cls = "tick") {
  out += "<text class=\"" + std::string(cls) + "\" x=\"" + px(x) + "\" y=\"" + px(y) +
         "\" text-anchor=\"" + anchor + "\">" + t + "</text>";
}

// Ticks with grid lines across the plot box [x0, x1] x [y0, y1]; labels below or to the left.
void x_axis(std::string& out, const LinearScale& sx, double y0, double y1, bool labels,
            int target) {
  double step = 1;
  const double lo = std::min(sx.d0, sx.d1), hi = std::max(sx.d0, sx.d1);
  std::string grid;
  for (double t : nice_ticks(lo, hi, target, step)) {
    const double x = std::round(sx(t)) + 0.5;
    grid += std::string("M") + px(x) + " " + px(y0) + "V" + px(y1);
    if (labels) text(out, x, y1 + 13, "middle", tick_label(t, step));
  }
  out += "<path class=\"grid\" d=\"" + grid + "\"/>";
}

void y_axis(std::string& out, const LinearScale& sy, double x0, double x1, int target) {
  double step = 1;
  const double lo = std::min(sy.d0, sy.d1), hi = std::max(sy.d0, sy.d1);
  std::string grid;
  for (double t : nice_ticks(lo, hi, target, step)) {
    const double y = std::round(sy(t)) + 0.5;
    grid += std::string("M") + px(x0) + " " + px(y) + "H" + px(x1);
    text(out, x0 - 5, y + 3.5, "end", tick_label(t, step));
  }
  out += "<path class=\"grid\" d=\"" + grid + "\"/>";
}

void frame(std::string& out, double x0, double y0, double x1, double y1) {
  out += std::string("<rect class=\"frame\" x=\"") + px(x0 + 0.5) + "\" y=\"" + px(y0 + 0.5) +
         "\" width=\"" + px(x1 - x0 - 1) + "\" height=\"" + px(y1 - y0 - 1) + "\"/>";
}

// ---------------------------------------------------------------------------------------------
// Maps

constexpr double kMapSize = 216;  // plot box, pixels
constexpr double kMapLeft = 46;   // room for the north labels
constexpr double kMapTop = 6;
constexpr double kMapWidth = 270;  // the whole card
constexpr double kMapHeight = 312;
constexpr int kCell = 3;  // pixels per map cell: one dot per cell
constexpr int kColourLevels = 48;

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
  out += std::string("<div class=\"card\"><h3>") + escape(ch.name) + " <span>" + ch.quantity +
         "</span></h3>";
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
      text(out, x, bar_y + 24, "middle", tick_label(t, step));
    }
    out += "<path class=\"axisline\" d=\"" + ticks + "\"/>";
  }
  text(out, kMapLeft - 6, bar_y + 9, "end", escape(ch.unit), "unit");
  out += "</svg></div>\n";
}

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

// ---------------------------------------------------------------------------------------------
// Profiles

constexpr double kProfileWidth = 1138;
constexpr double kProfileLeft = 64;
constexpr double kProfileRight = 1124;
constexpr double kProfileTop = 20;
constexpr double kProfilePlot = 92;  // height of the plot box

struct Track {
  LinearScale sx;  // reading index to x
  double columns_per_reading = 1;
  std::vector<std::size_t> segments;  // first reading of each survey line's run, then n
  std::string not_fresh;              // path of the pixel columns without a fresh fix
  std::string comment_lines;          // vertical marks of the comments
  std::string line_changes;           // vertical marks where a survey line begins
  bool per_line = true;           // false when the survey lines change too often to draw one by one
  std::vector<std::size_t> runs;  // the runs of the traces: the segments, or all readings
};

Track track(const Survey& s) {
  Track t;
  const auto n = static_cast<double>(s.readings());
  const double width = kProfileRight - kProfileLeft;
  t.sx = {0.0, n, kProfileLeft, kProfileRight};
  t.columns_per_reading = width / n;
  t.segments.push_back(0);
  for (std::size_t i = 1; i < s.readings(); ++i) {
    if (s.line[i] != s.line[i - 1]) t.segments.push_back(i);
  }
  t.segments.push_back(s.readings());
  // A file whose line number changes about as often as there are pixel columns gets one run.
  t.per_line = t.segments.size() <= 1001;
  t.runs = t.per_line ? t.segments : std::vector<std::size_t>{0, s.readings()};
  // Where the survey lines change hands, when they are few enough to tell apart.
  if (t.segments.size() <= 150) {
    for (std::size_t k = 1; k + 1 < t.segments.size(); ++k) {
      const double x = std::round(t.sx(static_cast<double>(t.segments[k]))) + 0.5;
      t.line_changes += std::string("M") + px(x) + " " + px(kProfileTop) + "v" + px(kProfilePlot);
    }
  }
  return t;
}

// The pixel columns whose readings are all of one state, merged into runs.
template <typename State>
void column_runs(const Survey& s, const Track& t, State state,
                 const std::function<void(double, double, int)>& run) {
  const std::size_t n = s.readings();
  std::size_t i = 0;
  int current = -1;
  double start = 0;
  while (i < n) {
    const auto column = static_cast<long long>(std::floor(i * t.columns_per_reading));
    int worst = 0;
    for (; i < n && static_cast<long long>(std::floor(i * t.columns_per_reading)) == column; ++i) {
      worst = std::max(worst, state(i));
    }
    const double x = t.sx(static_cast<double>(column) / t.columns_per_reading);
    if (worst != current) {
      if (current >= 0) run(start, x, current);
      current = worst;
      start = x;
    }
  }
  if (current >= 0) run(start, kProfileRight, current);
}

void rect_path(std::string& p, double x0, double x1, double y0, double y1) {
  p += 'M';
  px(p, x0);
  p += ' ';
  px(p, y0);
  p += 'H';
  px(p, std::max(x1, x0 + 1.0));
  p += 'V';
  px(p, y1);
  p += 'H';
  px(p, x0);
  p += 'Z';
}

// 0: fresh fix; 1: a position whose GPS time stands still; 2: no position.
int gps_state(const Survey& s, std::size_t i) {
  return s.fresh_fix[i] ? 0 : std::isfinite(s.latitude[i]) ? 1 : 2;
}

void track_bands(std::string& out, const Survey& s, Track& t) {
  const double height = 74;
  out += std::string("<svg class=\"track\" data-region=\"track\" width=\"") + px(kProfileWidth) +
         "\" height=\"" + px(height) + "\" viewBox=\"0 0 " + px(kProfileWidth) + " " + px(height) +
         "\">";
  // Survey lines: alternating tints, numbered where there is room.
  std::string tint[2];
  std::string labels;
  const double ly0 = 4, ly1 = 22;
  double last_label = -1e9;
  if (!t.per_line) {
    rect_path(tint[0], kProfileLeft, kProfileRight, ly0, ly1);
    text(labels, (kProfileLeft + kProfileRight) / 2, ly1 - 5, "middle",
         thousands(t.segments.size() - 1) + " survey lines, too many to draw one by one", "band");
  }
  for (std::size_t k = 0; t.per_line && k + 1 < t.segments.size(); ++k) {
    const double x0 = t.sx(static_cast<double>(t.segments[k]));
    const double x1 = t.sx(static_cast<double>(t.segments[k + 1]));
    rect_path(tint[k % 2], x0, x1, ly0, ly1);
    const std::int32_t line = s.line[t.segments[k]];
    const std::string name = line == RecordValues::kMissing ? "?" : std::to_string(line);
    const double need = 7.0 * static_cast<double>(name.size()) + 6;
    if (x1 - x0 >= need && x0 >= last_label) {
      text(labels, (x0 + x1) / 2, ly1 - 5, "middle", name, "band");
      last_label = x1;
    }
  }
  out += "<path fill=\"#d9e2ec\" d=\"" + tint[0] + "\"/><path fill=\"#bcccdc\" d=\"" + tint[1] +
         "\"/>" + labels;
  text(out, kProfileLeft - 8, ly1 - 5, "end", "Line", "bandlabel");

  // GPS: fresh fix, standing still, none. The profiles shade the columns of the last two.
  std::string state_paths[3];
  const bool any_position =
      std::any_of(s.latitude.begin(), s.latitude.end(), [](double v) { return std::isfinite(v); });
  const double gy0 = 28, gy1 = 40;
  column_runs(
      s, t, [&s](std::size_t i) { return gps_state(s, i); },
      [&](double x0, double x1, int state) {
        rect_path(state_paths[state], x0, x1, gy0, gy1);
        // A file without any position shades nothing: the band says it once.
        if (state > 0 && any_position) {
          rect_path(t.not_fresh, x0, x1, kProfileTop, kProfileTop + kProfilePlot);
        }
      });
  static const char* const kGpsColours[] = {"#3f9f7a", "#f0a04b", "#d64545"};
  for (int k = 0; k < 3; ++k) {
    if (!state_paths[k].empty()) {
      out += "<path fill=\"" + std::string(kGpsColours[k]) + "\" d=\"" + state_paths[k] + "\"/>";
    }
  }
  text(out, kProfileLeft - 8, gy1 - 2, "end", "GPS", "bandlabel");

  // Comments: a mark each, the number where there is room.
  const double cy = 58;
  std::string marks;
  last_label = -1e9;
  double last_mark = -1e9;
  for (const Comment& c : s.comments) {
    const double x = t.sx(static_cast<double>(c.reading) + 0.5);
    if (x - last_mark < 1.0) continue;  // one mark a pixel column
    last_mark = x;
    marks += std::string("M") + px(x) + " " + px(cy - 10) + "l-3.5 -6h7Z";
    if (s.comments.size() <= 200) {
      t.comment_lines += std::string("M") + px(std::round(x) + 0.5) + " " + px(kProfileTop) + "v" +
                         px(kProfilePlot);
    }
    // Centred labels: the gap must hold half of each, at about 7 px a digit, and a space.
    const std::string label = std::to_string(c.number);
    const double half = 3.5 * static_cast<double>(label.size());
    if (x - half - last_label >= 6) {
      text(out, x, cy + 4, "middle", label, "band");
      last_label = x + half;
    }
  }
  if (!marks.empty()) out += "<path fill=\"#52606d\" d=\"" + marks + "\"/>";
  text(out, kProfileLeft - 8, cy + 4, "end", s.comments.empty() ? "Comments: none" : "Comment",
       "bandlabel");
  out += "</svg>\n";
}

void profile(std::string& out, const Survey& s, std::size_t c, const ChannelStats& st,
             const Track& t, bool last) {
  const Channel& ch = s.channels[c];
  const double y0 = kProfileTop, y1 = kProfileTop + kProfilePlot;
  const double height = y1 + (last ? 36 : 8);
  out += std::string("<svg class=\"profile\" data-region=\"profile\" width=\"") +
         px(kProfileWidth) + "\" height=\"" + px(height) + "\" viewBox=\"0 0 " + px(kProfileWidth) +
         " " + px(height) + "\">";
  out += std::string("<text class=\"title\" x=\"") + px(kProfileLeft) +
         "\" y=\"13\"><tspan class=\"name\">" + escape(ch.name) + "</tspan> " + ch.quantity + ", " +
         escape(ch.unit) + "</text>";
  out += std::string("<rect class=\"plot\" x=\"") + px(kProfileLeft) + "\" y=\"" + px(y0) +
         "\" width=\"" + px(kProfileRight - kProfileLeft) + "\" height=\"" + px(kProfilePlot) +
         "\"/>";
  if (!t.not_fresh.empty()) out += "<path class=\"nofix\" d=\"" + t.not_fresh + "\"/>";
  x_axis(out, t.sx, y0, y1, last, 10);
  if (st.count == 0) {
    text(out, (kProfileLeft + kProfileRight) / 2, (y0 + y1) / 2 + 4, "middle",
         "no values in this channel", "axis");
  } else {
    const double pad = st.max > st.min ? (st.max - st.min) * 0.06 : 1.0;
    const LinearScale sy{st.min - pad, st.max + pad, y1, y0};
    y_axis(out, sy, kProfileLeft, kProfileRight, 4);
    if (!t.line_changes.empty()) out += "<path class=\"sep\" d=\"" + t.line_changes + "\"/>";
    if (!t.comment_lines.empty()) out += "<path class=\"cmt\" d=\"" + t.comment_lines + "\"/>";
    // One run of the line per survey line, thinned to the extremes of each pixel column.
    std::string d;
    std::vector<ThinPoint> points;
    for (std::size_t k = 0; k + 1 < t.runs.size(); ++k) {
      points.clear();
      thin_min_max(s.values[c], t.runs[k], t.runs[k + 1], t.columns_per_reading, points);
      for (std::size_t p = 0; p < points.size(); ++p) {
        d += p == 0 ? 'M' : 'L';
        px(d, t.sx(static_cast<double>(points[p].index) + 0.5));
        d += ' ';
        px(d, sy(points[p].value));
      }
      if (points.size() == 1) d += "h0.01";
    }
    out += "<path class=\"trace\" d=\"" + d + "\"/>";
  }
  frame(out, kProfileLeft, y0, kProfileRight, y1);
  if (last) text(out, kProfileRight, y1 + 30, "end", "Reading number", "axis");
  out += "</svg>\n";
}

void profiles(std::string& out, const Survey& s, const std::vector<ChannelStats>& stats) {
  Track t = track(s);
  out +=
      "<section data-region=\"profiles\"><h2>Profiles</h2>\n<p class=\"note\">Every channel "
      "against the reading number, one run per survey line; each pixel column keeps the "
      "minimum and maximum of its readings, so single spikes stay visible.</p>\n"
      "<div class=\"legend\"><span><i class=\"swatch\" style=\"background:#3f9f7a\"></i>"
      "fresh GPS fix</span><span><i class=\"swatch\" style=\"background:#f0a04b\"></i>GPS "
      "time standing still for more than 5 s</span><span><i class=\"swatch\" "
      "style=\"background:#d64545\"></i>no GPS position</span><span><i class=\"swatch\" "
      "style=\"background:#fbe3c8\"></i>shaded in the profiles: no fresh fix</span>"
      "<span>\u25bc operator comment (its number)</span></div>\n";
  track_bands(out, s, t);
  for (std::size_t c = 0; c < s.channels.size(); ++c) {
    profile(out, s, c, stats[c], t, c + 1 == s.channels.size());
  }
  out += "</section>\n";
}

constexpr std::string_view kStyle = R"(
:root { color-scheme: light; }
body { margin: 0; background: #f3f4f6; color: #1f2933;
  font: 14px/1.45 "Helvetica Neue", Helvetica, Arial, "Liberation Sans", "DejaVu Sans", sans-serif; }
main { width: 1180px; margin: 0 auto; padding: 26px 0 32px; }
header { margin: 0 0 18px; padding: 0 20px 14px; border-bottom: 3px solid #2a788e; }
.eyebrow { text-transform: uppercase; letter-spacing: .12em; font-size: 11px; font-weight: 700;
  color: #2a788e; }
h1 { font-size: 26px; font-weight: 600; margin: 2px 0 2px; letter-spacing: -.01em; }
.sub { color: #52606d; }
section { background: #fff; border: 1px solid #e1e4e8; border-radius: 6px; padding: 16px 20px 18px;
  margin: 0 0 16px; }
h2 { font-size: 16px; font-weight: 600; margin: 0 0 4px; }
.note { color: #616e7c; font-size: 12.5px; margin: 0 0 12px; max-width: 1000px; }
.figures { display: grid; grid-template-columns: repeat(6, 1fr); gap: 14px; margin: 12px 0 18px; }
.figure { border-left: 3px solid #2a788e; padding: 1px 0 1px 10px; }
.figure .label { font-size: 11px; text-transform: uppercase; letter-spacing: .08em; color: #616e7c; }
.figure .value { font-size: 21px; font-weight: 600; font-variant-numeric: tabular-nums; }
.figure .detail { font-size: 12px; color: #616e7c; }
table { border-collapse: collapse; width: 100%; font-size: 13px; font-variant-numeric: tabular-nums; }
th { text-align: left; font-size: 11px; text-transform: uppercase; letter-spacing: .06em;
  color: #616e7c; font-weight: 600; border-bottom: 1px solid #cbd2d9; padding: 5px 10px; }
td { padding: 3px 10px; border-bottom: 1px solid #eef0f2; }
.n { text-align: right; }
.maps { display: grid; grid-template-columns: repeat(4, 270px); gap: 12px 18px; }
.card h3 { font-size: 13px; font-weight: 600; margin: 0 0 4px 46px; }
.card h3 span { font-weight: 400; color: #616e7c; }
.legend { display: flex; flex-wrap: wrap; gap: 6px 22px; font-size: 12px; color: #52606d;
  margin: 0 0 6px; }
.swatch { display: inline-block; width: 14px; height: 10px; margin-right: 6px; vertical-align: -1px; }
svg { display: block; }
svg text { font-family: inherit; }
.tick { font-size: 10.5px; fill: #52606d; }
.axis { font-size: 11px; fill: #3e4c59; }
.unit { font-size: 11px; fill: #3e4c59; font-weight: 600; }
.band { font-size: 10px; fill: #243b53; }
.bandlabel { font-size: 11px; fill: #52606d; }
.title { font-size: 12px; fill: #52606d; }
.title .name { font-weight: 700; fill: #1f2933; }
.plot { fill: #fbfbfc; }
.frame { fill: none; stroke: #9aa5b1; stroke-width: 1; }
.grid { stroke: #e4e7eb; stroke-width: 1; fill: none; }
.axisline { stroke: #616e7c; stroke-width: 1; fill: none; }
.dots path { fill: none; stroke-width: 3.4; stroke-linecap: round; }
.nofix { fill: #f0a04b; fill-opacity: .2; }
.sep { stroke: #829ab1; stroke-width: 1; fill: none; }
.cmt { stroke: #7b8794; stroke-width: 1; stroke-dasharray: 2 2; fill: none; }
.trace { fill: none; stroke: #1d4e89; stroke-width: 1; stroke-linejoin: round; }
footer { color: #7b8794; font-size: 12px; text-align: center; }
)";

}  // namespace

std::string render_page(const Survey& s, const std::string& generator) {
  std::vector<ChannelStats> stats;
  for (std::size_t c = 0; c < s.channels.size(); ++c) stats.push_back(channel_stats(s, c));
  std::string name = s.path.substr(
      s.path.find_last_of('/') == std::string::npos ? 0 : s.path.find_last_of('/') + 1);
  std::string out;
  out.reserve(1 << 20);
  out +=
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<title>" +
      escape(name) + " \u2013 survey QC</title>\n<style>";
  out += kStyle;
  out +=
      "</style>\n</head>\n<body>\n<main>\n<header><div class=\"eyebrow\">Survey quality "
      "control</div><h1>" +
      escape(name) + "</h1><div class=\"sub\">" + std::string(file_type_name(s.type)) +
      " file \u00b7 " + std::to_string(s.arrays) +
      (s.arrays == 1 ? " coil array" : " coil arrays") + " \u00b7 " + thousands(s.readings()) +
      " readings</div></header>\n";
  summary(out, s, stats);
  maps(out, s, stats);
  profiles(out, s, stats);
  out += std::string("<footer>Made by ") + escape(generator) + " from " + escape(s.path) +
         "</footer>\n</main>\n</body>\n</html>\n";
  return out;
}

}  // namespace quillet::view
