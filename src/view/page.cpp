#include "view/page.hpp"

#include <string_view>
#include <vector>

#include "view/page_parts.hpp"

namespace quillet::view {

namespace {

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
.card h3 { font-size: 13px; font-weight: 600; margin: 0 0 4px; white-space: nowrap; overflow: hidden;
  text-overflow: ellipsis; }
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
  using namespace detail;
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
