// The command line of quillet-view: reads one transcribed file and writes its page.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace quillet::view {

// Exit statuses of quillet-view.
enum class ViewStatus : int {
  Ok = 0,
  NotASurvey = 1,  // no line of the file is a record the viewer knows
  Usage = 2,       // wrong arguments
  Io = 3,          // the file cannot be read or the page cannot be written
};

// Runs quillet-view with the arguments after the program name; reports go to `out`, errors to
// `err`.
ViewStatus view_main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quillet::view
