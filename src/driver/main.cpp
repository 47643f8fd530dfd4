#include <iostream>

#include "common/console.hpp"

int main() {
  quillet::StreamConsole console(std::cin, std::cout);
  console.write_line(" ***************************************************");
  console.write_line(" ************* Program QUILLET5 V1.71 **************");
  console.write_line(" ******* Transcribes Veltor Data RAW Files  ********");
  console.write_line(" ***************************************************");
  return 0;
}
