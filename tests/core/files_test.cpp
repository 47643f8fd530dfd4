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

}  // namespace
}  // namespace quillet
