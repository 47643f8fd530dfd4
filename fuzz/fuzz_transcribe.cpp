// libFuzzer target: one raw file transcribed into every output type in one program, as a field
// geophysicist's worst day would give it. Built with -DQUILLET_FUZZ=ON (clang).
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "common/console.hpp"
#include "core/state.hpp"
#include "run/run.hpp"

namespace {

const std::filesystem::path& work_folder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillet-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return std::filesystem::path(pattern);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path folder = work_folder();
  const std::string input = (folder / "fuzz.raw").string();
  {
    std::ofstream out(input, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  auto program = std::make_unique<quillet::ProgramState>();
  float height = 0.2f;
  for (char code : std::string("XGDLSPIR")) {
    std::istringstream keyboard("/\n2\n/\n");
    std::ostringstream screen;
    quillet::StreamConsole console(keyboard, screen);
    quillet::QUILLETSUB(input, code, height, false, *program, console);
  }
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    if (entry.path().filename() != "fuzz.raw") std::filesystem::remove(entry.path(), ignored);
  }
  return 0;
}
