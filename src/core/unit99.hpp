// Unit 99: the diagnostic lines of the UTM conversion.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "common/free_form.hpp"

namespace quillet {

// Receiver of the range diagnostics of `LL2UTM` (unit 99 of the program).
class UtmDiagnostics {
 public:
  virtual ~UtmDiagnostics() = default;
  // Writes one line; a newline is added.
  virtual void write_line(std::string_view line) = 0;
  void write(const FreeLine& line) { write_line(line.str()); }
};

// The diagnostic file of a run: "fort.99" in the current folder unless told otherwise. Nothing is
// created until the first line arrives; the file is opened for appending, so a file left by an
// earlier execution grows. A link at its name is not followed: the file cannot be opened then.
// Each line is written at once: the lines are rare and must survive a run that ends badly.
class Unit99File : public UtmDiagnostics {
 public:
  explicit Unit99File(std::string path = "fort.99") : path_(std::move(path)) {}
  ~Unit99File() override;
  Unit99File(const Unit99File&) = delete;
  Unit99File& operator=(const Unit99File&) = delete;

  void write_line(std::string_view line) override;
  // True when the file could not be opened or a line could not be written whole; the lines from
  // then on are lost, and the run must not report success.
  bool failed() const { return failed_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string line_;  // the line and its line feed, written in one call
  int fd_ = -1;
  bool failed_ = false;
};

}  // namespace quillet
