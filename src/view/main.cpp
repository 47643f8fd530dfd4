#include <iostream>
#include <string>
#include <vector>

#include "view/cli.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return static_cast<int>(quillet::view::view_main(args, std::cout, std::cerr));
}
