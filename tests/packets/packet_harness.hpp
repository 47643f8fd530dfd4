// A run as the packet handlers see it: program and run state, a main output file in a temporary
// folder (which is also the input folder), and a console with scripted keyboard lines.
#pragma once

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/console.hpp"
#include "core/files.hpp"
#include "core/state.hpp"
#include "packets/station_output.hpp"
#include "support/e2e.hpp"

namespace quillet::testing {

class PacketHarness {
 public:
  explicit PacketHarness(OutputType type, const std::string& keyboard = "")
      : program_(std::make_unique<ProgramState>()),
        keyboard_(keyboard),
        console(keyboard_, screen_) {
    run.type = type;
    files.input_folder = dir.path().string() + "/";
    EXPECT_TRUE(files.open_output(files.main, "main.out"));
  }

  ProgramState& program() { return *program_; }
  StationRecord& station() { return program_->station; }

  // Closes the main output file and returns its text.
  std::string main_text() {
    files.main.close(Disposition::Keep);
    return read_file(dir.file("main.out"));
  }
  // The console lines written so far.
  std::vector<std::string> console_lines() const { return lines_of(screen_.str()); }

  TempDir dir;
  RunState run;
  FileUnits files;

 private:
  std::unique_ptr<ProgramState> program_;
  std::istringstream keyboard_;
  std::ostringstream screen_;

 public:
  StreamConsole console;
  StationWriter writer{*program_, run, files};
};

}  // namespace quillet::testing
