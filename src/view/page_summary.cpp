#include <algorithm>
#include <cmath>
#include <unordered_set>

#include "view/page_parts.hpp"

namespace quillet::view::detail {

namespace {

struct Figures {
  std::size_t lines = 0;
  double first_time = NAN, last_time = NAN;
  std::size_t placed = 0, fresh = 0;
};

Figures figures(const Survey& s) {
  Figures f;
  std::unordered_set<std::int32_t> lines;
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

}  // namespace

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
  for (int k = 0; k < kRecordFamilies; ++k) {
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
  // These are lines of the file the page is made of, not lines the transcription skipped: the
  // transcription counts those in the summary line of its console.
  figure(out, "Lines fitting no layout", thousands(s.unfit_records),
         std::string("lines of this file that fit no record layout") +
             (s.unfit_records ? ", the first at line " + std::to_string(s.first_unfit_line) : "") +
             "; lines the transcription skipped: its \u201cSummary:\u201d line");
  out +=
      "</div>\n<table><thead><tr><th>Channel</th><th>Quantity</th><th>Coil array</th>"
      "<th>Unit</th><th class=\"n\">Minimum</th><th class=\"n\">Median</th>"
      "<th class=\"n\">Maximum</th><th class=\"n\">Missing</th></tr></thead><tbody>\n";
  for (std::size_t c = 0; c < s.channels.size(); ++c) {
    const Channel& ch = s.channels[c];
    const ChannelStats& st = stats[c];
    out += std::string("<tr><td><b>") + escape(ch.name) + "</b></td><td>" + ch.quantity +
           "</td><td>" + std::to_string(ch.array) +
           (ch.spacing.empty() ? "" : ", " + escape(ch.spacing)) + "</td><td>" + escape(ch.unit) +
           "</td><td class=\"n\">" + value_text(st.min) + "</td><td class=\"n\">" +
           value_text(st.median) + "</td><td class=\"n\">" + value_text(st.max) +
           "</td><td class=\"n\">" + thousands(s.readings() - st.count) + "</td></tr>\n";
  }
  out += "</tbody></table></section>\n";
}

}  // namespace quillet::view::detail
