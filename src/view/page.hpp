// The one-page quality-control report of a survey: a self-contained HTML page (inline SVG and
// CSS, nothing loaded from elsewhere) with the summary, a map per channel and a profile per
// channel.
#pragma once

#include <string>

#include "view/survey.hpp"

namespace quillet::view {

// The page of `survey`. `generator` names the program and its version in the page's footer.
std::string render_page(const Survey& survey, const std::string& generator);

}  // namespace quillet::view
