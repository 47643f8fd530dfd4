// The parts of the report page, each drawn by a file of its own (summary, maps, profiles), and
// the text and SVG helpers they share. Internal to the page: callers use view/page.hpp.
#pragma once

#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "view/plot.hpp"
#include "view/survey.hpp"

namespace quillet::view::detail {

// Text of the page: HTML-escaped text, numbers as the page shows them.
std::string escape(std::string_view text);
std::string fixed(double v, int decimals);  // a typographic minus for negative values
void px(std::string& out, double v);        // a pixel coordinate, one decimal at most
std::string px(double v);
std::string thousands(std::size_t n);                      // "1,000,000"
std::string percent(std::size_t part, std::size_t whole);  // never rounds to all or none
std::string clock(double seconds);                         // "10:14:05"
std::string duration(double seconds);                      // "1 h 05 min", "3 min 20 s", "12 s"
std::string later_day(double seconds);                     // " (+1 d)" past the first day
std::string value_text(double v);                          // two decimals, a dash when missing

// SVG pieces: a text, the ticks and grid of an axis, the frame of a plot box.
void text(std::string& out, double x, double y, const std::string& anchor, const std::string& t,
          const char* cls = "tick");
void x_axis(std::string& out, const LinearScale& sx, double y0, double y1, bool labels, int target);
void y_axis(std::string& out, const LinearScale& sy, double x0, double x1, int target);
void frame(std::string& out, double x0, double y0, double x1, double y1);

struct ChannelStats {
  std::size_t count = 0;
  double min = NAN, median = NAN, max = NAN;
  double low = NAN, high = NAN;  // 2nd and 98th percentile of the readings with a position
};
ChannelStats channel_stats(const Survey& s, std::size_t c);

// The sections of the page, in the order they appear.
void summary(std::string& out, const Survey& s, const std::vector<ChannelStats>& stats);
void maps(std::string& out, const Survey& s, const std::vector<ChannelStats>& stats);
void profiles(std::string& out, const Survey& s, const std::vector<ChannelStats>& stats);

}  // namespace quillet::view::detail
