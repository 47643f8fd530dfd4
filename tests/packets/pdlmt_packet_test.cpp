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
  // Only the base name is cut: the file stays in the input's folder.
  EXPECT_EQ(pdlmt_output_name("d/ab", 'L', blank), "d/LOG");
  EXPECT_EQ(pdlmt_output_name("d\\e/f\\a", 'X', blank), "d\\e/f\\XYZ");
  EXPECT_EQ(pdlmt_output_name("x.raw", 'P', blank), "x.IDF");
  // A name from a file header line stays for D, G, S and P, not for L, X and I.
  EXPECT_EQ(pdlmt_output_name("x.raw", 'D', "LINE0001.g31"), "");
  EXPECT_EQ(pdlmt_output_name("x.raw", 'L', "LINE0001.log"), "x.LOG");
  EXPECT_EQ(pdlmt_output_name("x.raw", 'R', blank), "");
}

// A main file that a file header line named (main.out here) when the first packet comes: an L
// run keeps it and moves to the input's name; a D run, whose name that is, goes on writing to it.
class PdlmtFirstPacket : public testing::PacketHarness {
 public:
  PdlmtFirstPacket(OutputType type, char code) : PacketHarness(type, "2\n") {
    run.code = code;
    run.input_name = dir.file("line7.raw");
    run.FILE_COUNT = 1;
    program().names.FILE_NAME = "LINE0001.log";
    files.main.write_line("kept");
    run.LINE.assign(
        "$PDLMT,1015 0    1234   25000    -567   30000      11      22 12500 29815  -1250    300 "
        "NULD");
    EXPECT_EQ(
        handle_pdlmt_packet(run.LINE, station(), program().coils, program().pdlmt, writer, console),
        Flow::NextLine);
  }
};

TEST(PdlmtFirstPacketAfterHeader, KeepsTheHeaderNamedFile) {
  PdlmtFirstPacket l(OutputType::L, 'L');
  EXPECT_EQ(l.main_text(), "kept\n");
  EXPECT_EQ(l.program().names.FILE_NAME, l.dir.file("line7.LOG"));
  EXPECT_EQ(testing::lines_of(testing::read_file(l.dir.file("line7.LOG"))).size(), 1u);

  PdlmtFirstPacket d(OutputType::D, 'D');
  EXPECT_EQ(testing::lines_of(d.main_text()).size(), 5u);  // "kept", "L", "T", "S", "S"
  EXPECT_FALSE(std::filesystem::exists(d.dir.file("line7.G31")));
}

}  // namespace
}  // namespace quillet
