#include "view/cli.hpp"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "common/replacement_file.hpp"
#include "common/text.hpp"
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
         "code X (simple XYZ), G (Geosoft XYZ), L (log) or C (CSV): a summary, a map of the\n"
         "readings with a GPS position for every channel, and a profile of every channel with\n"
         "the survey lines, the operator's comments and the stretches without a fresh GPS fix.\n"
         "The page is one self-contained HTML file; it needs no network. FILE must be a\n"
         "regular file, and the page never replaces it.\n"
         "\n"
         "  -o PAGE.html   where to write the page (default: FILE with .html appended)\n"
         "\n"
         "Exit status: 0 page written; 1 no line of FILE is a record of those files;\n"
         "2 wrong arguments; 3 FILE cannot be read (or is no regular file), or the page cannot\n"
         "be written (or would be FILE itself).\n";
}

// The page's path names the input file itself, however it is spelled (another path, a link).
bool same_file(const std::string& input, const std::string& page) {
  struct stat a {
  }, b{};
  return ::stat(input.c_str(), &a) == 0 && ::stat(page.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
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
      err << "quillet-view: unexpected argument \"" << caret_notation(args[k]) << "\"\n";
      usage(err);
      return ViewStatus::Usage;
    }
  }
  if (input.empty()) {
    usage(err);
    return ViewStatus::Usage;
  }
  if (page_path.empty()) page_path = input + ".html";
  // Names and lines of the file go to the console with their control bytes made visible.
  const std::string shown_input = caret_notation(input);
  const std::string shown_page = caret_notation(page_path);
  // The page is written to a temporary beside it, which a leftover of that name makes way for:
  // neither may be the input.
  if (same_file(input, page_path) || same_file(input, temporary_path_of(page_path))) {
    err << "quillet-view: " << shown_page << " is the input file " << shown_input
        << "; the page goes elsewhere (-o)\n";
    return ViewStatus::Io;
  }

  const auto start = std::chrono::steady_clock::now();
  Survey survey;
  std::string error;
  const LoadStatus loaded = load_survey(input, survey, error);
  if (loaded != LoadStatus::Ok) {
    err << "quillet-view: " << caret_notation(error) << "\n";
    return loaded == LoadStatus::Unreadable ? ViewStatus::Io : ViewStatus::NotASurvey;
  }
  const std::string page = render_page(survey, kGenerator);
  {
    // Under its name only when complete; a link standing there is replaced, not followed.
    ReplacementFile file;
    int failure = file.open(page_path);
    if (failure == 0) failure = file.write(page);
    if (failure == 0) failure = file.commit();
    if (failure != 0) {
      file.discard();
      err << "quillet-view: cannot write " << shown_page << " (" << std::strerror(failure) << ")\n";
      return ViewStatus::Io;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out << shown_input << ": " << file_type_name(survey.type) << " file, " << survey.arrays
      << (survey.arrays == 1 ? " coil array, " : " coil arrays, ") << survey.readings()
      << " readings\n";
  if (survey.unfit_records > 0) {
    out << shown_input << ": " << survey.unfit_records
        << (survey.unfit_records == 1 ? " line fits" : " lines fit")
        << " no record layout (not drawn), the first at line " << survey.first_unfit_line << ": "
        << caret_notation(survey.first_unfit_text) << "\n";
  }
  char figures[96];
  std::snprintf(figures, sizeof figures, " (%.1f kB, %.2f s)", page.size() / 1000.0, seconds);
  out << "Page: " << shown_page << figures << "\n";
  return ViewStatus::Ok;
}

}  // namespace quillet::view
