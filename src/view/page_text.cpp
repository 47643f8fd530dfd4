#include <cmath>
#include <cstdio>

#include "view/page_parts.hpp"

namespace quillet::view::detail {

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

void text(std::string& out, double x, double y, const std::string& anchor, const std::string& t,
          const char* cls) {
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

}  // namespace quillet::view::detail
