// The option grammar as a table: the arguments, where the positional ones start, the options
// read, and the error line.
#include "core/options.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillet {
namespace {

struct GrammarCase {
  std::vector<std::string> args;
  std::size_t first_argument;
  bool batch;
  std::optional<std::int32_t> length_code;
  std::string error;  // empty: no error
};

const GrammarCase kGrammar[] = {
    // No option: nothing changes.
    {{}, 0, false, std::nullopt, ""},
    {{"a.raw", "G", "0.3"}, 0, false, std::nullopt, ""},
    // Options come before the file name; after it every argument is positional.
    {{"--batch", "a.raw", "C"}, 1, true, std::nullopt, ""},
    {{"-b", "--length-code=42", "a.raw"}, 2, true, 42, ""},
    {{"a.raw", "--batch"}, 0, false, std::nullopt, ""},
    {{"--length-code=2", "--length-code=642", "a.raw"}, 2, false, 642, ""},
    // "--" ends the options: a file really named "-x", or "--batch".
    {{"--", "-x", "G"}, 1, false, std::nullopt, ""},
    {{"-b", "--", "--batch"}, 2, true, std::nullopt, ""},
    // A lone number, "-" and the negative height are never options.
    {{"-1", "G"}, 0, false, std::nullopt, ""},
    {{"-.5"}, 0, false, std::nullopt, ""},
    {{"-"}, 0, false, std::nullopt, ""},
    {{"--batch", "a.raw", "G", "-1"}, 1, true, std::nullopt, ""},
    // Errors name the option.
    {{"--bogus", "a.raw"}, 0, false, std::nullopt, "*** Unknown option: --bogus"},
    {{"-x"}, 0, false, std::nullopt, "*** Unknown option: -x"},
    {{"--batch", "-bx", "a.raw"}, 0, true, std::nullopt, "*** Unknown option: -bx"},
    {{"--length-code", "2", "a.raw"},
     0,
     false,
     std::nullopt,
     "*** Option --length-code needs a value: --length-code=N"},
    {{"--length-code=3", "a.raw"},
     0,
     false,
     std::nullopt,
     "*** Option --length-code, not a sensor length code (1, 2, 4, 21, 42, 421, 62, 621 or 642): "
     "3"},
    {{"--length-code=2x"},
     0,
     false,
     std::nullopt,
     "*** Option --length-code, not a sensor length code (1, 2, 4, 21, 42, 421, 62, 621 or 642): "
     "2x"},
    {{"--length-code="},
     0,
     false,
     std::nullopt,
     "*** Option --length-code, not a sensor length code (1, 2, 4, 21, 42, 421, 62, 621 or 642): "},
    {{"--batch=yes", "a.raw"},
     0,
     false,
     std::nullopt,
     "*** Option --batch takes no value: --batch=yes"},
    {{"--batch", "--help"},
     0,
     true,
     std::nullopt,
     "*** --help is given alone, without other arguments"},
};

TEST(OptionGrammar, CaseTable) {
  for (const GrammarCase& c : kGrammar) {
    std::string label;
    for (const std::string& arg : c.args) label += "[" + arg + "]";
    Options options;
    const OptionParse parse = parse_options(c.args, options);
    EXPECT_EQ(parse.error, c.error) << label;
    if (c.error.empty()) {
      EXPECT_EQ(parse.first_argument, c.first_argument) << label;
    }
    EXPECT_EQ(options.batch, c.batch) << label;
    EXPECT_EQ(options.length_code, c.length_code) << label;
  }
}

TEST(OptionGrammar, EveryOptionHasAHelpLine) {
  const std::vector<std::string> lines = option_help_lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("  --batch, -b ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("  --length-code=N ", 0), 0u) << lines[1];
}

}  // namespace
}  // namespace quillet
