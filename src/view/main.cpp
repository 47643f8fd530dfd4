#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "common/replacement_file.hpp"
#include "view/cli.hpp"

int main(int argc, char** argv) {
  // An interrupted run leaves no temporary of the page behind.
  const quillet::SignalCleanup cleanup(STDERR_FILENO);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return static_cast<int>(quillet::view::view_main(args, std::cout, std::cerr));
}
