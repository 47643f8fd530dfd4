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
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind("  --batch, -b ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("  --length-code=N ", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("  --gps-latency=SECONDS ", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3].rfind("  --max-gap=SECONDS ", 0), 0u) << lines[3];
  EXPECT_EQ(lines[4].rfind("  --gps-offset=ALONG[,ACROSS] ", 0), 0u) << lines[4];
}

TEST(OptionGrammar, PositionOptionsTakeNumbersInTheirRange) {
  struct Case {
    std::vector<std::string> args;
    PositionOptions expected;
    std::string error;
  };
  const Case cases[] = {
      {{"a.raw"}, {0.0, 2.5, 0.0, 0.0}, ""},
      {{"--gps-latency=0.3", "--max-gap=4", "--gps-offset=-1.2,0.5", "a.raw"},
       {0.3, 4.0, -1.2, 0.5},
       ""},
      {{"--gps-offset=1", "a.raw"}, {0.0, 2.5, 1.0, 0.0}, ""},
      {{"--gps-latency=-0.1"},
       {},
       "*** Option --gps-latency, not a time from 0 to 60 seconds: -0.1"},
      {{"--max-gap=0"}, {}, "*** Option --max-gap, not a time from 0.001 to 3600 seconds: 0"},
      {{"--gps-offset=1,"},
       {},
       "*** Option --gps-offset, not one or two distances from -100 to 100 metres: 1,"},
      {{"--gps-offset=1m"},
       {},
       "*** Option --gps-offset, not one or two distances from -100 to 100 metres: 1m"},
      {{"--gps-latency=nan"}, {}, "*** Option --gps-latency, not a time from 0 to 60 seconds: nan"},
  };
  for (const Case& c : cases) {
    Options options;
    const OptionParse parse = parse_options(c.args, options);
    EXPECT_EQ(parse.error, c.error) << c.args[0];
    if (c.error.empty()) {
      EXPECT_EQ(options.positions, c.expected) << c.args[0];
      EXPECT_EQ(options.positions_given, c.args.size() > 1) << c.args[0];
    }
  }
}

}  // namespace
}  // namespace quillet
