#include "run/record_loop.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/aligned_line.hpp"

namespace quillet {
namespace {

using testing::aligned;

TEST(LineClassification, FollowsTheOrderOfTheMarkerTests) {
  EXPECT_EQ(classify_line(aligned(" C$ comment with H$ inside")), LineKind::Config);
  EXPECT_EQ(classify_line(aligned(" T$120000 H$ in a field")), LineKind::FileHeader);
  EXPECT_EQ(classify_line(aligned("xH$120000 NAME")), LineKind::FileHeader);
  EXPECT_EQ(classify_line(aligned(" O$ 1")), LineKind::Offset);
  EXPECT_EQ(classify_line(aligned(" R$")), LineKind::Raw);
  EXPECT_EQ(classify_line(aligned(" A$")), LineKind::Aux);
  EXPECT_EQ(classify_line(aligned(" S$")), LineKind::Status);
  EXPECT_EQ(classify_line(aligned(" Z$")), LineKind::EndOfData);
  EXPECT_EQ(classify_line(aligned("T$120000")), LineKind::T);  // no lead character
  EXPECT_EQ(classify_line(aligned("$PDLMT,120000")), LineKind::Pdlmt);
  EXPECT_EQ(classify_line(aligned(" D$")), LineKind::D);
  EXPECT_EQ(classify_line(aligned(" X$")), LineKind::X);
  EXPECT_EQ(classify_line(aligned(" N$")), LineKind::N);
  EXPECT_EQ(classify_line(aligned(" I$")), LineKind::I);
  EXPECT_EQ(classify_line(aligned(" G$GPGGA")), LineKind::Gps);
  EXPECT_EQ(classify_line(aligned("G$GPGGA")), LineKind::Gps);
  EXPECT_EQ(classify_line(aligned("")), LineKind::Ignored);
  EXPECT_EQ(classify_line(aligned("  T$")), LineKind::Ignored);
  // A marker beyond column 120 is lost with the rest of the line.
  EXPECT_EQ(classify_line(aligned(std::string(150, ' ') + "H$")), LineKind::Ignored);
}

}  // namespace
}  // namespace quillet
