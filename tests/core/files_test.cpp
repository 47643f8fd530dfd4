#include "core/files.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/e2e.hpp"

namespace quillet {
namespace {

TEST(OutputNames, SuffixGoesBeforeTheExtensionOfTheFileNameOnly) {
  EXPECT_EQ(with_suffix("FIELD421_1014 0.xyz", "~2"), "FIELD421_1014 0~2.xyz");
  EXPECT_EQ(with_suffix("d/A.B.CMT", "~3"), "d/A.B~3.CMT");
  EXPECT_EQ(with_suffix("survey.d/LOG", "~2"), "survey.d/LOG~2");  // a dot of the folder
  EXPECT_EQ(with_suffix("Default.xyz", ""), "Default.xyz");
}

TEST(OutputNames, ASetTakesTheFirstSuffixFreeForAllItsNamesWhateverTheCase) {
  testing::TempDir dir;
  FileUnits files;
  files.input_folder = dir.path().string() + "/";
  {
    OutputFile a;
    OutputFile b;
    OutputFile c;
    ASSERT_TRUE(files.open_output(a, "Default.xyz"));
    ASSERT_TRUE(files.open_output(b, "DEFAULT.GPS"));
    const std::string gps = files.path_of("Default.GPS");
    EXPECT_EQ(files.free_suffix({files.path_of("LOGGER.xyz"), files.path_of("LOGGER.GPS")}), "");
    EXPECT_EQ(files.free_suffix({files.path_of("LOGGER.xyz"), gps}), "~2");
    ASSERT_TRUE(files.open_output(c, "default~2.gps"));
    EXPECT_EQ(files.free_suffix({files.path_of("LOGGER.xyz"), gps}), "~3");
  }
  EXPECT_TRUE(dir.files().empty());  // a file never closed never reaches its name
}

TEST(OutputFiles, LinesFormattedInPlaceMixWithWrittenLinesAndBytesInOrder) {
  testing::TempDir dir;
  FileUnits files;
  files.input_folder = dir.path().string() + "/";
  OutputFile out;
  ASSERT_TRUE(files.open_output(out, "mixed.txt"));
  std::string expected;
  // Enough lines to fill the buffer several times, a line longer than the buffer, and lines
  // formatted in place right up to the buffer's end.
  const std::string huge(300000, 'h');
  for (int k = 0; k < 3000; ++k) {
    const std::string line(static_cast<std::size_t>(k % 97) * 7, static_cast<char>('a' + k % 26));
    if (k % 3 == 0) {
      char* space = out.line_space(line.size() + 40);
      ASSERT_NE(space, nullptr);
      line.copy(space, line.size());
      out.end_line(line.size());
    } else if (k % 3 == 1) {
      out.write_line(line);
    } else {
      out.write_bytes(line.data(), line.size());
      out.write_bytes("\n", 1);
    }
    expected += line + "\n";
    if (k == 1500) {
      EXPECT_EQ(out.line_space(huge.size()), nullptr);  // only write_line takes such a line
      out.write_line(huge);
      expected += huge + "\n";
    }
  }
  EXPECT_EQ(out.records(), 3000u + 1000u + 1u);
  ASSERT_TRUE(files.close(out, Disposition::Keep));
  EXPECT_EQ(testing::read_file(dir.file("mixed.txt")), expected);
  EXPECT_EQ(out.line_space(10), nullptr);  // a closed file takes nothing
}

}  // namespace
}  // namespace quillet
