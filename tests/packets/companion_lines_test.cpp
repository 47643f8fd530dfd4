// The O$ and A$ rules that leave no trace in an output file: which O$ lines change the offsets
// and which leave them, and an A$ line while no XYX side file is open. The records of R$, A$
// and S$ lines are checked byte for byte by the cases raw_copies and aux_and_status.
#include "packets/companion_lines.hpp"

#include <gtest/gtest.h>

#include <array>

#include "packets/packet_harness.hpp"

namespace quillet {
namespace {

using Offsets = std::array<float, 4>;
constexpr Offsets kBefore = {9.0f, 9.0f, 9.0f, 9.0f};

struct OffsetCase {
  const char* line;
  Flow flow;
  Offsets array2;  // offsets of array 2 afterwards, ppt
};

TEST(OffsetLine, SetsOneArrayOrNothing) {
  const OffsetCase cases[] = {
      {" O$ 2  1000 -2000,3000.5 4E3", Flow::NextLine, {1.0f, -2.0f, 3.0005f, 4.0f}},
      {" O$ 2  1000,,3000 /", Flow::NextLine, {1.0f, 9.0f, 3.0f, 9.0f}},  // null, then "/"
      {" O$ 2  /", Flow::NextLine, kBefore},
      {" O$ 2  1 2 3", Flow::PacketSkip, kBefore},       // three values and no "/"
      {" O$ 2  1 2 x 4", Flow::PacketSkip, kBefore},     // not a number
      {" O$ 2  1 2 1E39 4", Flow::PacketSkip, kBefore},  // beyond a real
      {" O$ 0  1 2 3 4", Flow::PacketSkip, kBefore},     // arrays are 1 to 3
      {" O$ 4  1 2 3 4", Flow::PacketSkip, kBefore},
      {" O$    1 2 3 4", Flow::PacketSkip, kBefore},  // no index
      {" O$ /  1 2 3 4", Flow::PacketSkip, kBefore},
      {" O$ ,  1 2 3 4", Flow::PacketSkip, kBefore},
  };
  for (const OffsetCase& c : cases) {
    StationRecord station;
    for (Offsets& offsets : station.USER_OFFSET) offsets = kBefore;
    Line line;
    line.assign(c.line);
    EXPECT_EQ(handle_offset_line(line, station), c.flow) << c.line;
    EXPECT_EQ(station.USER_OFFSET[0], kBefore) << c.line;
    EXPECT_EQ(station.USER_OFFSET[2], kBefore) << c.line;
    for (int j = 0; j < 4; ++j) EXPECT_FLOAT_EQ(station.USER_OFFSET[1][j], c.array2[j]) << c.line;
  }
}

TEST(AuxLine, IsDroppedUncountedWithoutSideFileAndCountedWithIt) {
  testing::PacketHarness h(OutputType::L);
  h.run.LINE.assign(" A$ 12345   -10     0    123 -2500     7   2512");
  EXPECT_EQ(handle_aux_line(h.run.LINE, h.writer), Flow::NextLine);
  EXPECT_EQ(h.run.xyx_record_count, 0);

  ASSERT_TRUE(h.files.open_output(h.files.xyx, "side.xyx"));
  EXPECT_EQ(handle_aux_line(h.run.LINE, h.writer), Flow::NextLine);
  EXPECT_EQ(h.run.xyx_record_count, 1);
  h.run.LINE.assign(" A$ 12345 bad");
  EXPECT_EQ(handle_aux_line(h.run.LINE, h.writer), Flow::PacketSkip);
  EXPECT_EQ(h.run.xyx_record_count, 1);
}

}  // namespace
}  // namespace quillet
