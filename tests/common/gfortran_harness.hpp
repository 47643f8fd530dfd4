// Runs small Fortran programs compiled by gfortran at test time: the oracle of the differential
// tests of the layout engine and of free-form I/O. Values travel to the program through its
// standard input as integers, texts or hexadecimal bit patterns, so they arrive exactly.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace quillet::gfortran {

inline bool available() {
  return std::system("command -v gfortran >/dev/null 2>&1") == 0;
}

// Skips the calling test when there is no gfortran (CI installs it).
#define QUILLET_REQUIRE_GFORTRAN()                                        \
  do {                                                                    \
    if (!::quillet::gfortran::available()) GTEST_SKIP() << "no gfortran"; \
  } while (0)

// Compiles `source`, runs it with `input` on its standard input and returns its standard output
// as lines; nullopt (with the reason added as a test failure) when compiling or running fails.
inline std::optional<std::vector<std::string>> run(const std::string& source,
                                                   const std::string& input) {
  const testing::TempDir folder;
  const auto dir = folder.path();
  std::ofstream(dir / "prog.f90") << source;
  std::ofstream(dir / "in.txt") << input;
  // Runs a shell command in the folder; on failure reports it with what it wrote to `log`.
  const auto step = [&dir](const std::string& command, const char* log, const char* what) {
    if (std::system(("cd '" + dir.string() + "' && " + command).c_str()) == 0) return true;
    std::ifstream file(dir / log);
    std::stringstream text;
    text << file.rdbuf();
    ADD_FAILURE() << what << ":\n" << text.str();
    return false;
  };
  if (!step("gfortran -O0 -ffree-line-length-none -o prog prog.f90 >compile.txt 2>&1",
            "compile.txt", "gfortran failed") ||
      !step("./prog <in.txt >out.txt 2>err.txt", "err.txt", "the Fortran program failed")) {
    return std::nullopt;
  }
  std::vector<std::string> lines;
  std::ifstream out(dir / "out.txt");
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  return lines;
}

inline std::string hex(std::uint32_t bits) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", bits);
  return text;
}
inline std::string hex(std::uint64_t bits) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(bits));
  return text;
}
inline std::string hex(float v) {
  return hex(std::bit_cast<std::uint32_t>(v));
}
inline std::string hex(double v) {
  return hex(std::bit_cast<std::uint64_t>(v));
}

// Compares the engine's lines with gfortran's, reporting the first few differences together with
// what produced them (`inputs[k]` describes record k).
inline void expect_same_lines(const std::vector<std::string>& engine,
                              const std::vector<std::string>& fortran,
                              const std::vector<std::string>& inputs) {
  ASSERT_EQ(engine.size(), fortran.size()) << "record counts differ";
  int reported = 0;
  int differing = 0;
  for (std::size_t k = 0; k < engine.size(); ++k) {
    if (engine[k] == fortran[k]) continue;
    ++differing;
    if (reported++ < 8) {
      ADD_FAILURE() << "record " << k << ": " << inputs[k] << "\n  engine:   [" << engine[k]
                    << "]\n  gfortran: [" << fortran[k] << "]";
    }
  }
  EXPECT_EQ(differing, 0) << "of " << engine.size() << " records";
}

}  // namespace quillet::gfortran
