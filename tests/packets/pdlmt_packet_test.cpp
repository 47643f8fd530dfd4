// The name of the output that the first $PDLMT packet opens, and the main file it replaces when a
// file header line named that one. The records and the renamed files of whole runs are checked by
// the pdlmt_* cases.
#include "packets/pdlmt_packet.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "packets/packet_harness.hpp"

namespace quillet {
namespace {

TEST(PdlmtOutputName, InputNameLosesThreeCharactersAndTakesTheExtensionOfItsType) {
  const std::string blank(19, ' ');
  EXPECT_EQ(pdlmt_output_name("LINE7", 'L', blank), "LILOG");
  EXPECT_EQ(pdlmt_output_name("ab", 'X', blank), "XYZ");
  EXPECT_EQ(pdlmt_output_name("d/x.raw", 'I', blank), "d/x.ICE");
  EXPECT_EQ(pdlmt_output_name("x.raw", 'P', blank), "x.IDF");
  // A name from a file header line stays for D, G, S and P, not for L, X and I.
  EXPECT_EQ(pdlmt_output_name("x.raw", 'D', "LINE0001.g31"), "");
  EXPECT_EQ(pdlmt_output_name("x.raw", 'L', "LINE0001.log"), "x.LOG");
  EXPECT_EQ(pdlmt_output_name("x.raw", 'R', blank), "");
}

TEST(PdlmtFirstPacket, KeepsAMainFileThatAFileHeaderLineNamed) {
  testing::PacketHarness h(OutputType::L, "2\n");
  h.run.code = 'L';
  h.run.input_name = h.dir.file("line7.raw");
  h.run.FILE_COUNT = 1;  // main.out was opened by a file header line
  h.files.main.write_line("kept");
  h.run.LINE.assign(
      "$PDLMT,1015 0    1234   25000    -567   30000      11      22 12500 29815  -1250    300 "
      "NULD");
  ASSERT_EQ(handle_pdlmt_packet(h.program(), h.run, h.files, h.console), Flow::NextLine);
  h.files.main.close(Disposition::Keep);
  EXPECT_EQ(testing::read_file(h.dir.file("main.out")), "kept\n");
  EXPECT_TRUE(std::filesystem::exists(h.dir.file("line7.LOG")));
  EXPECT_EQ(h.program().station.STATION, 1);
}

}  // namespace
}  // namespace quillet
