#include <algorithm>
#include <cmath>
#include <functional>

#include "view/page_parts.hpp"

namespace quillet::view::detail {

namespace {

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
         "\" y=\"13\"><tspan class=\"name\">" + escape(ch.name) + "</tspan> " +
         escape(ch.description()) + ", " + escape(ch.unit) + "</text>";
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

}  // namespace

void profiles(std::string& out, const Survey& s, const std::vector<ChannelStats>& stats) {
  Track t = track(s);
  // What the two first GPS states mean depends on what the file tells of its fixes.
  const char* fresh = "fresh GPS fix";
  const char* old = "GPS time standing still for more than 5 s";
  if (s.fix_rule == FixRule::Position) {
    old = "position standing still for more than 5 s";
  } else if (s.fix_rule == FixRule::PositionColumn) {
    fresh = "position interpolated between GPS fixes";
    old = "GPS fix held (a gap in the fixes, or after the last)";
  }
  out += std::string(
             "<section data-region=\"profiles\"><h2>Profiles</h2>\n<p class=\"note\">Every "
             "channel against the reading number, one run per survey line; each pixel column "
             "keeps the minimum and maximum of its readings, so single spikes stay visible.</p>\n"
             "<div class=\"legend\"><span><i class=\"swatch\" style=\"background:#3f9f7a\"></i>") +
         fresh + "</span><span><i class=\"swatch\" style=\"background:#f0a04b\"></i>" + old +
         "</span><span><i class=\"swatch\" "
         "style=\"background:#d64545\"></i>no GPS position</span><span><i class=\"swatch\" "
         "style=\"background:#fbe3c8\"></i>shaded in the profiles: no fresh fix</span>"
         "<span>\u25bc operator comment (its number)</span></div>\n";
  track_bands(out, s, t);
  for (std::size_t c = 0; c < s.channels.size(); ++c) {
    profile(out, s, c, stats[c], t, c + 1 == s.channels.size());
  }
  out += "</section>\n";
}

}  // namespace quillet::view::detail
