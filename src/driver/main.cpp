#include <unistd.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/console.hpp"
#include "common/replacement_file.hpp"
#include "driver/driver.hpp"

int main(int argc, char** argv) {
  // Removes the temporaries of unfinished outputs when a signal ends the program.
  quillet::SignalCleanup cleanup(STDOUT_FILENO);
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  quillet::StreamConsole console(std::cin, std::cout, std::cerr);
  auto program = std::make_unique<quillet::ProgramState>();
  return quillet::run_program(args, *program, console);
}
