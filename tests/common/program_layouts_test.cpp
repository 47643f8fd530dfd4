// Every layout text of the program parses. A malformed text aborts when its record is first
// written or read, which may be in a branch that only a rare input reaches.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "common/layout.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

TEST(ProgramLayouts, EveryLayoutTextOfTheProgramParses) {
  // `Layout name("text" "text" ...)`: the texts of one layout may be split over lines.
  const std::regex declaration(R"re(Layout\s+\w+\(\s*((?:"(?:[^"\\]|\\.)*"\s*)+)\))re");
  const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
  int count = 0;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(std::string(QUILLET_SOURCE_DIR) + "/src")) {
    if (entry.path().extension() != ".cpp") continue;
    const std::string source = testing::read_file(entry.path().string());
    for (std::sregex_iterator m(source.begin(), source.end(), declaration), end; m != end; ++m) {
      const std::string pieces = (*m)[1];
      std::string text;
      for (std::sregex_iterator p(pieces.begin(), pieces.end(), literal); p != end; ++p) {
        text += std::regex_replace((*p)[1].str(), std::regex(R"(\\(.))"), "$1");
      }
      SCOPED_TRACE(entry.path().filename().string() + ": " + text);
      const Layout layout(text);  // aborts with the text on a malformed one
      EXPECT_EQ(layout.text(), text);
      ++count;
    }
  }
  EXPECT_GE(count, 37);  // as many as the program had when this test was written
}

}  // namespace
}  // namespace quillet
