#include "core/coil_configuration.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/console.hpp"

namespace quillet {
namespace {

class RecordingConsole : public Console {
 public:
  void write_line(std::string_view line) override { lines.emplace_back(line); }
  bool next_line(std::string&) override { return false; }
  std::vector<std::string> lines;
};

std::string seven_digits(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
  return text;
}

std::uint32_t bits_of(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::string padded(std::string text) {
  text.resize(kChannelLabelsLength, ' ');
  return text;
}

// Label blocks written out by hand from the block pattern of the instrument's channel names.
const std::string kLabels5 = "HC5-mS/m.HI5-ppt.PC5-mS/m..PI5-ppt.";
const std::string kLabels1 = "HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt.";
const std::string kLabels2 = "HC2-mS/m.HI2-ppt.PC2-mS/m..PI2-ppt.";
const std::string kLabels4 = "HC4-mS/m.HI4-ppt.PC4-mS/m..PI4-ppt.";
const std::string kLabels6 = "HC6-mS/m.HI6-ppt.PC6-mS/m..PI6-ppt.";
const std::string kDefaultLabels = ".HC4-mS/m.HI4-ppt.PC4-mS/m..PI4-ppt.";

// Factor of each spacing: the digits of the instrument's documentation, and the bits that
// coil_factors_oracle.f90 (gfortran) stores from c*s*s*0.25*1000.0/1000.0 in real*8 into real*4;
// it stores the same bits for the order s*c*s*... of the X$ packets.
struct FactorCase {
  float spacing;
  const char* digits;
  std::uint32_t bits;
};

constexpr FactorCase kFactors[] = {
    {0.5f, "0.004441322", 0x3B918883}, {0.6f, "0.006395505", 0x3BD19162},
    {1.0f, "0.01776529", 0x3C918883},  {1.1f, "0.021496", 0x3CB01862},
    {2.0f, "0.07106116", 0x3D918883},  {2.1f, "0.07834492", 0x3DA0734D},
    {4.0f, "0.2842446", 0x3E918883},   {4.1f, "0.2986345", 0x3E98E69F},
    {6.0f, "0.6395504", 0x3F23B993},   {6.1f, "0.6610464", 0x3F293A56},
};

float factor_for(float spacing) {
  for (const FactorCase& f : kFactors) {
    if (f.spacing != spacing) continue;
    float value;
    std::memcpy(&value, &f.bits, sizeof value);
    return value;
  }
  ADD_FAILURE() << "no factor known for spacing " << spacing;
  return 0.0f;
}

TEST(CoilFactors, ConstantIsOmegaMu0WithSinglePrecisionPiAndMu0) {
  CoilConfiguration config;
  EXPECT_EQ(config.PI_D, static_cast<double>(3.1415927f));
  // coil_factors_oracle.f90: pi_d*2.0*9000.0*4.0e-7*pi_d in real*8, printed with ES25.17.
  EXPECT_EQ(factor_constant(config.PI_D), 7.10611564731844225e-02);
}

TEST(CoilFactors, EverySpacingGivesTheListedFactor) {
  const double c = factor_constant(CoilConfiguration{}.PI_D);
  for (const FactorCase& f : kFactors) {
    SCOPED_TRACE(f.spacing);
    const float factor = conversion_factor(c, f.spacing);
    EXPECT_EQ(seven_digits(factor), f.digits);
    EXPECT_EQ(bits_of(factor), f.bits);
  }
  EXPECT_EQ(conversion_factor(c, 0.0f), 0.0f);
}

struct RowCase {
  std::int32_t code;
  int n;
  std::vector<float> hcp;
  std::vector<float> prp;
  std::string labels;
};

const std::vector<RowCase>& header_rows() {
  static const std::vector<RowCase> rows = {
      {1, 1, {1.0f}, {1.1f}, kLabels1},
      {5, 1, {0.5f}, {0.6f}, kLabels5},
      {2, 1, {2.0f}, {2.1f}, kLabels2},
      {15, 2, {0.5f, 1.0f}, {0.6f, 1.1f}, kLabels5 + kLabels1},
      {21, 2, {1.0f, 2.0f}, {1.1f, 2.1f}, kLabels1 + kLabels2},
      {42, 2, {2.0f, 4.0f}, {2.1f, 4.1f}, kLabels2 + kLabels4},
      {215, 3, {0.5f, 1.0f, 2.0f}, {0.6f, 1.1f, 2.1f}, kLabels5 + kLabels1 + kLabels2},
      {421, 3, {1.0f, 2.0f, 4.0f}, {1.1f, 2.1f, 4.1f}, kLabels1 + kLabels2 + kLabels4},
      {621, 3, {1.0f, 2.0f, 6.0f}, {1.1f, 2.1f, 6.1f}, kLabels1 + kLabels2 + kLabels6},
      {642, 3, {2.0f, 4.0f, 6.0f}, {2.1f, 4.1f, 6.1f}, kLabels2 + kLabels4 + kLabels6},
      {620, 2, {2.0f, 6.0f}, {2.1f, 6.1f}, kLabels2 + kLabels6},
      {4, 1, {4.0f}, {4.1f}, kDefaultLabels},
      {0, 1, {4.0f}, {4.1f}, kDefaultLabels},
      {62, 1, {4.0f}, {4.1f}, kDefaultLabels},
      {7, 1, {4.0f}, {4.1f}, kDefaultLabels},
      {-421, 1, {4.0f}, {4.1f}, kDefaultLabels},
  };
  return rows;
}

// Checks N, the spacings and the factors of arrays 1..N.
void expect_arrays(const CoilConfiguration& config, int n, const std::vector<float>& hcp,
                   const std::vector<float>& prp) {
  ASSERT_EQ(config.N, n);
  for (int k = 0; k < n; ++k) {
    SCOPED_TRACE(k + 1);
    EXPECT_EQ(config.S_HC[k], hcp[k]);
    EXPECT_EQ(config.S_PC[k], prp[k]);
  }
}

TEST(CoilConfigurationTable, EveryRowSetsArraysFactorsAndLabels) {
  for (const RowCase& row : header_rows()) {
    SCOPED_TRACE(row.code);
    CoilConfiguration config;
    RecordingConsole console;
    config.LENGTH_CODE = row.code;
    config.set_arrays();
    expect_arrays(config, row.n, row.hcp, row.prp);
    EXPECT_EQ(config.CHLABELS, padded(row.labels));
    for (int k = 0; k < row.n; ++k) EXPECT_EQ(config.F_HC[k], 0.0f) << "before finishing";
    config.finish_configuration(console);
    for (int k = 0; k < row.n; ++k) {
      EXPECT_EQ(config.F_HC[k], factor_for(row.hcp[k]));
      EXPECT_EQ(config.F_PC[k], factor_for(row.prp[k]));
    }
    for (int k = row.n; k < kMaxCoilArrays; ++k) EXPECT_EQ(config.F_HC[k], 0.0f);
    if (row.code != 620) {
      EXPECT_TRUE(console.lines.empty());
      EXPECT_EQ(config.PROTO_HC_SCALE, 0.0f);
    }
  }
}

TEST(CoilConfigurationTable, LabelLinesOfTheDocumentedExamples) {
  CoilConfiguration config;
  config.LENGTH_CODE = 421;
  config.set_arrays();
  EXPECT_EQ(config.CHLABELS,
            "HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt.HC2-mS/m.HI2-ppt.PC2-mS/m..PI2-ppt."
            "HC4-mS/m.HI4-ppt.PC4-mS/m..PI4-ppt." +
                std::string(15, ' '));
  config.LENGTH_CODE = 215;
  config.set_arrays();
  EXPECT_EQ(config.CHLABELS.substr(0, 9), "HC5-mS/m.");
  EXPECT_EQ(config.CHLABELS.size(), 120u);
  config.LENGTH_CODE = 4;
  config.set_arrays();
  EXPECT_EQ(config.CHLABELS.find_last_not_of(' '), 35u);
  EXPECT_EQ(config.CHLABELS.substr(0, 2), ".H");
}

TEST(CoilConfigurationTable, StartsWithOneUnknownArray) {
  const CoilConfiguration config;
  EXPECT_EQ(config.LENGTH_CODE, 0);
  EXPECT_EQ(config.N, 1);
  EXPECT_EQ(config.CHLABELS, std::string(120, ' '));
  for (int k = 0; k < kMaxCoilArrays; ++k) {
    EXPECT_EQ(config.S_HC[k], 0.0f);
    EXPECT_EQ(config.S_PC[k], 0.0f);
    EXPECT_EQ(config.F_HC[k], 0.0f);
    EXPECT_EQ(config.F_PC[k], 0.0f);
  }
}

TEST(CoilConfigurationTable, ArraysBeyondNKeepEarlierValues) {
  CoilConfiguration config;
  RecordingConsole console;
  config.LENGTH_CODE = 421;
  config.set_arrays();
  config.finish_configuration(console);
  config.LENGTH_CODE = 1;
  config.set_arrays();
  config.finish_configuration(console);
  EXPECT_EQ(config.N, 1);
  EXPECT_EQ(config.S_HC[1], 2.0f);
  EXPECT_EQ(config.S_HC[2], 4.0f);
  EXPECT_EQ(config.S_PC[2], 4.1f);
  EXPECT_EQ(config.F_HC[2], factor_for(4.0f));
  EXPECT_EQ(config.CHLABELS, padded(kLabels1));
}

TEST(CoilConfigurationTable, PrototypeCodeAnnouncesItselfAndSetsScales) {
  CoilConfiguration config;
  RecordingConsole console;
  config.LENGTH_CODE = 620;
  config.set_arrays();
  config.finish_configuration(console);
  ASSERT_EQ(console.lines.size(), 1u);
  EXPECT_EQ(console.lines[0], " ***Prototype V-62 Configuration detected!***");
  EXPECT_EQ(seven_digits(config.F_HC[1]), "0.6395504");
  EXPECT_EQ(seven_digits(config.F_PC[1]), "0.6610464");
  // The squared ratios of the single-precision spacings of arrays 1 and 2 (4 m / 6 m and
  // 4.1 m / 6.1 m), evaluated in double and rounded once; the documented digits besides.
  const double hc_ratio = static_cast<double>(4.0f) / static_cast<double>(6.0f);
  const double pc_ratio = static_cast<double>(4.1f) / static_cast<double>(6.1f);
  EXPECT_EQ(config.PROTO_HC_SCALE, static_cast<float>(hc_ratio * hc_ratio));
  EXPECT_EQ(config.PROTO_PC_SCALE, static_cast<float>(pc_ratio * pc_ratio));
  char text[32];
  std::snprintf(text, sizeof text, "%.8g %.8g", static_cast<double>(config.PROTO_HC_SCALE),
                static_cast<double>(config.PROTO_PC_SCALE));
  EXPECT_STREQ(text, "0.44444445 0.45176026");

  // The scales are never cleared, and another code prints nothing.
  config.LENGTH_CODE = 62;
  config.set_arrays();
  config.finish_configuration(console);
  EXPECT_EQ(console.lines.size(), 1u);
  EXPECT_EQ(config.N, 1);
  EXPECT_EQ(config.S_HC[0], 4.0f);
  EXPECT_EQ(config.PROTO_HC_SCALE, 0.44444445f);
  EXPECT_EQ(config.PROTO_PC_SCALE, 0.45176026f);
}

TEST(CoilPacketTables, NuldTableTakes62AsThePrototypePairWithoutItsExtras) {
  for (std::int32_t code : {62, 620}) {
    SCOPED_TRACE(code);
    CoilConfiguration config;
    config.LENGTH_CODE = code;
    config.apply_packet_table(PacketTable::TNuld);
    expect_arrays(config, 2, {2.0f, 6.0f}, {2.1f, 6.1f});
    EXPECT_EQ(config.CHLABELS, padded(kLabels2 + kLabels6));
    EXPECT_EQ(config.F_HC[0], factor_for(2.0f));
    EXPECT_EQ(config.F_PC[0], factor_for(2.1f));
    EXPECT_EQ(config.F_HC[1], 0.0f) << "only array 1 is recomputed";
    EXPECT_EQ(config.F_PC[1], 0.0f);
    EXPECT_EQ(config.PROTO_HC_SCALE, 0.0f);
    EXPECT_EQ(config.PROTO_PC_SCALE, 0.0f);
  }
}

TEST(CoilPacketTables, NuldTableOtherwiseFollowsTheHeaderRows) {
  for (const RowCase& row : header_rows()) {
    if (row.code == 62) continue;
    SCOPED_TRACE(row.code);
    CoilConfiguration config;
    config.LENGTH_CODE = row.code;
    config.apply_packet_table(PacketTable::TNuld);
    expect_arrays(config, row.n, row.hcp, row.prp);
    EXPECT_EQ(config.CHLABELS, padded(row.labels));
    EXPECT_EQ(config.F_HC[0], factor_for(row.hcp[0]));
    EXPECT_EQ(config.F_PC[0], factor_for(row.prp[0]));
  }
}

TEST(CoilPacketTables, RawTableLeavesLabelsAndHasNoRowFor15Or215) {
  struct Case {
    std::int32_t code;
    int n;
    std::vector<float> hcp, prp;
  };
  const Case cases[] = {
      {15, 1, {4.0f}, {4.1f}},
      {215, 1, {4.0f}, {4.1f}},
      {5, 1, {0.5f}, {0.6f}},
      {62, 2, {2.0f, 6.0f}, {2.1f, 6.1f}},
      {620, 2, {2.0f, 6.0f}, {2.1f, 6.1f}},
      {421, 3, {1.0f, 2.0f, 4.0f}, {1.1f, 2.1f, 4.1f}},
      {642, 3, {2.0f, 4.0f, 6.0f}, {2.1f, 4.1f, 6.1f}},
      {0, 1, {4.0f}, {4.1f}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    CoilConfiguration config;
    config.LENGTH_CODE = 21;
    config.set_arrays();
    const std::string labels_before = config.CHLABELS;
    config.LENGTH_CODE = c.code;
    config.apply_packet_table(PacketTable::TRaw);
    expect_arrays(config, c.n, c.hcp, c.prp);
    EXPECT_EQ(config.CHLABELS, labels_before);
    EXPECT_EQ(config.F_HC[0], factor_for(c.hcp[0]));
    EXPECT_EQ(config.F_PC[0], factor_for(c.prp[0]));
    EXPECT_EQ(config.F_HC[1], 0.0f);
  }
}

TEST(CoilPacketTables, PdlmtTableSetsArrayOneOnly) {
  struct Case {
    std::int32_t code;
    float hcp, prp;
  };
  for (const Case& c : {Case{1, 1.0f, 1.1f}, Case{2, 2.0f, 2.1f}, Case{21, 4.0f, 4.1f},
                        Case{5, 4.0f, 4.1f}, Case{0, 4.0f, 4.1f}}) {
    SCOPED_TRACE(c.code);
    CoilConfiguration config;
    config.LENGTH_CODE = 642;
    config.set_arrays();
    config.LENGTH_CODE = c.code;
    config.apply_packet_table(PacketTable::Pdlmt);
    EXPECT_EQ(config.N, 3);
    EXPECT_EQ(config.CHLABELS, padded(kLabels2 + kLabels4 + kLabels6));
    EXPECT_EQ(config.S_HC[0], c.hcp);
    EXPECT_EQ(config.S_PC[0], c.prp);
    EXPECT_EQ(config.S_HC[1], 4.0f);
    EXPECT_EQ(config.S_PC[2], 6.1f);
    EXPECT_EQ(config.F_HC[0], factor_for(c.hcp));
    EXPECT_EQ(config.F_PC[0], factor_for(c.prp));
    EXPECT_EQ(config.F_HC[1], 0.0f);
  }
}

TEST(CoilExtraArrays, GeometryTableSetsEveryArrayButNotLabelsOrFactors) {
  CoilConfiguration config;
  config.LENGTH_CODE = 15;
  config.set_arrays();
  const std::string labels_before = config.CHLABELS;

  config.LENGTH_CODE = 421;
  config.apply_extra_array_geometry();
  expect_arrays(config, 3, {1.0f, 2.0f, 4.0f}, {1.1f, 2.1f, 4.1f});
  EXPECT_EQ(config.CHLABELS, labels_before);
  for (int k = 0; k < kMaxCoilArrays; ++k) EXPECT_EQ(config.F_HC[k], 0.0f);

  config.compute_extra_array_factors();
  EXPECT_EQ(config.F_HC[0], 0.0f) << "array 1 keeps its factors";
  EXPECT_EQ(config.F_PC[0], 0.0f);
  EXPECT_EQ(config.F_HC[1], factor_for(2.0f));
  EXPECT_EQ(config.F_PC[1], factor_for(2.1f));
  EXPECT_EQ(config.F_HC[2], factor_for(4.0f));
  EXPECT_EQ(config.F_PC[2], factor_for(4.1f));

  for (std::int32_t code : {62, 620}) {
    config.LENGTH_CODE = code;
    config.apply_extra_array_geometry();
    expect_arrays(config, 2, {2.0f, 6.0f}, {2.1f, 6.1f});
  }
  for (std::int32_t code : {15, 215, 4, 0}) {
    config.LENGTH_CODE = code;
    config.apply_extra_array_geometry();
    expect_arrays(config, 1, {4.0f}, {4.1f});
  }
  config.LENGTH_CODE = 5;
  config.apply_extra_array_geometry();
  expect_arrays(config, 1, {0.5f}, {0.6f});
  EXPECT_EQ(config.S_HC[2], 4.0f) << "arrays beyond N keep earlier values";
}

}  // namespace
}  // namespace quillet
