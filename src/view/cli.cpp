#include "view/cli.hpp"

#include <chrono>
#include <cstdio>
#include <fstream>

#include "view/page.hpp"
#include "view/survey.hpp"

namespace quillet::view {

namespace {

constexpr const char* kGenerator = "quillet-view 1.71";

void usage(std::ostream& out) {
  out << "Usage: quillet-view FILE [-o PAGE.html]\n"
         "       quillet-view --help | --version\n"
         "\n"
         "Writes a one-page quality-control report of a file that quillet transcribed with\n"
         "code X (simple XYZ), G (Geosoft XYZ) or L (log): a summary, a map of the readings\n"
         "with a GPS position for every channel, and a profile of every channel with the\n"
         "survey lines, the operator's comments and the stretches without a fresh GPS fix.\n"
         "The page is one self-contained HTML file; it needs no network.\n"
         "\n"
         "  -o PAGE.html   where to write the page (default: FILE with .html appended)\n"
         "\n"
         "Exit status: 0 page written; 1 no line of FILE is a record of those files;\n"
         "2 wrong arguments; 3 FILE cannot be read or the page cannot be written.\n";
}

}  // namespace

ViewStatus view_main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && args[0] == "--help") {
    usage(out);
    return ViewStatus::Ok;
  }
  if (args.size() == 1 && args[0] == "--version") {
    out << kGenerator << "\n";
    return ViewStatus::Ok;
  }
  std::string input;
  std::string page_path;
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (args[k] == "-o" && k + 1 < args.size() && page_path.empty()) {
      page_path = args[++k];
    } else if (input.empty() && !args[k].empty() && (args[k][0] != '-' || args[k] == "-")) {
      input = args[k];
    } else {
      err << "quillet-view: unexpected argument \"" << args[k] << "\"\n";
      usage(err);
      return ViewStatus::Usage;
    }
  }
  if (input.empty()) {
    usage(err);
    return ViewStatus::Usage;
  }
  if (page_path.empty()) page_path = input + ".html";

  const auto start = std::chrono::steady_clock::now();
  Survey survey;
  std::string error;
  const LoadStatus loaded = load_survey(input, survey, error);
  if (loaded != LoadStatus::Ok) {
    err << "quillet-view: " << error << "\n";
    return loaded == LoadStatus::Unreadable ? ViewStatus::Io : ViewStatus::NotASurvey;
  }
  const std::string page = render_page(survey, kGenerator);
  {
    std::ofstream file(page_path, std::ios::binary | std::ios::trunc);
    file.write(page.data(), static_cast<std::streamsize>(page.size()));
    if (!file.flush()) {
      err << "quillet-view: cannot write " << page_path << "\n";
      return ViewStatus::Io;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out << input << ": " << file_type_name(survey.type) << " file, " << survey.arrays
      << (survey.arrays == 1 ? " coil array, " : " coil arrays, ") << survey.readings()
      << " readings\n";
  if (survey.unfit_records > 0) {
    out << input << ": " << survey.unfit_records
        << (survey.unfit_records == 1 ? " line fits" : " lines fit")
        << " no record layout (not drawn), the first at line " << survey.first_unfit_line << ": "
        << survey.first_unfit_text << "\n";
  }
  char figures[96];
  std::snprintf(figures, sizeof figures, " (%.1f kB, %.2f s)", page.size() / 1000.0, seconds);
  out << "Page: " << page_path << figures << "\n";
  return ViewStatus::Ok;
}

}  // namespace quillet::view
