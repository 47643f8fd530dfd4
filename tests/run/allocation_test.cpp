// The record loop allocates nothing per line: a run over ten times as many readings makes exactly
// as many heap allocations. Every allocation of this test program goes through the counting
// operator new below; the tests read the count around one run.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include "common/console.hpp"
#include "core/state.hpp"
#include "run/run.hpp"
#include "support/e2e.hpp"

namespace {

std::atomic<long> allocations{0};

}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace quillet {
namespace {

// A second of a three-array survey: a fix, ten D$ + X$ readings and a status line.
std::string three_array_second() {
  std::string s = " G$GPGGA,090000.00,4807.02000,N,01131.20000,E,5,08,0.7,245.0,M,46.9,M,,*6F\r\n";
  for (int i = 0; i < 10; ++i) {
    s += " D$090000 100      1       1 1   2919  -231  2819   281 12419 29919 -349 349\r\n";
    s += " X$090000 150   3919  -121  3819   161  4919    29  4819    71\r\n";
  }
  return s + " S$090030 12100 30000   -150   150\r\n";
}

// A second of a single-array survey: a fix and ten T$ readings.
std::string single_array_second() {
  std::string s = " G$GPGGA,090000.00,4807.02000,N,01131.20000,E,5,08,0.7,245.0,M,46.9,M,,*6F\r\n";
  for (int i = 0; i < 10; ++i) {
    s += " T$090000   0      0 CONV   1000  -250   900   300  2000  -150 12000 29800 -350 350\r\n";
  }
  return s;
}

std::string survey(const std::string& head, const std::string& second, int seconds) {
  std::string text = head + " C$090000 Sample 10 Hz\r\n";
  for (int k = 0; k < seconds; ++k) text += second;
  return text + " Z$\r\n";
}

long allocations_of_run(const std::string& input, char code) {
  std::istringstream keyboard("/\n");
  std::ostringstream screen;
  StreamConsole console(keyboard, screen);
  auto program = std::make_unique<ProgramState>();
  float height = 0.2f;
  const long before = allocations.load();
  const std::int32_t error = QUILLETSUB(input, code, height, true, *program, console);
  const long made = allocations.load() - before;
  EXPECT_EQ(error, 0) << code << "\n" << screen.str();
  return made;
}

void expect_no_allocation_per_line(const std::string& head, const std::string& second) {
  const testing::TempDir dir;
  const std::string short_file = dir.write("short.raw", survey(head, second, 20));
  const std::string long_file = dir.write("long.raw", survey(head, second, 200));
  for (char code : std::string("XGDLSPIRC")) {
    // The first run parses the layouts it uses, once for the program.
    allocations_of_run(short_file, code);
    const long short_run = allocations_of_run(short_file, code);
    EXPECT_GT(short_run, 0) << code;  // the count sees the run's own allocations
    EXPECT_EQ(allocations_of_run(long_file, code), short_run) << "code " << code;
  }
}

TEST(RecordLoopAllocations, DoNotGrowWithTheNumberOfThreeArrayReadings) {
  expect_no_allocation_per_line(
      " H$090000 BENCHDX1 261208 421\r\n C$000000 VELTOR-421 SN4242 SW VERSION 5.2a\r\n",
      three_array_second());
}

TEST(RecordLoopAllocations, DoNotGrowWithTheNumberOfSingleArrayReadings) {
  expect_no_allocation_per_line(
      " H$090000 BENCHT01 261208 4\r\n C$000000 VELTOR-4   SN1234 SW VERSION 4.1\r\n",
      single_array_second());
}

}  // namespace
}  // namespace quillet
