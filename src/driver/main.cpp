#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/console.hpp"
#include "driver/driver.hpp"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  quillet::StreamConsole console(std::cin, std::cout, std::cerr);
  auto program = std::make_unique<quillet::ProgramState>();
  return quillet::run_program(args, *program, console);
}
