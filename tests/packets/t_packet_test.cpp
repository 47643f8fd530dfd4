// The T$ decoder: its four layouts, the values derived from each, the attitude decoding of the
// newest generation, the tag step and the three failure paths. Input lines are written out with
// their columns; expected values are read off those columns by hand.
#include "packets/t_packet.hpp"

#include <gtest/gtest.h>

#include <string>

#include "packets/packet_harness.hpp"

namespace quillet {
namespace {

using testing::PacketHarness;

// clang-format off
// Columns:        1........10........20........30........40........50........60........70........80..
const char* k83 = " T$090504 250     17 CONV      7    -3  1234  -250  1100   310 12500 29815  345-120";
const char* k79 = " T$090505     18 CONV      8    -4  1234  -250  1100   310 12600 29915  345-120";
const char* k65 = " T$090506     19 CONV      9    -5  1234  -250  1100   310 -45120";
const char* k58 = " T$090507     20 CONV      1     2  1234  -250  1100   310";
// clang-format on

class TPacket : public PacketHarness {
 public:
  explicit TPacket(OutputType type = OutputType::L, const std::string& keyboard = "")
      : PacketHarness(type, keyboard) {
    // A known 4 m array, so that "CONV" packets convert without a prompt.
    program().coils.S_HC[0] = 4.0f;
    program().coils.S_PC[0] = 4.1f;
    program().coils.F_HC[0] = 0.2842446f;
    program().coils.F_PC[0] = 0.2986345f;
  }
  Flow handle(const std::string& text) {
    run.LINE.assign(text);
    run.LINE.align_marker();
    return handle_t_packet(run.LINE, station(), program().coils, writer, console);
  }
};

TEST(TPacketLayouts, LongestLayoutCarriesMillisecondsHousekeepingAndAttitude) {
  TPacket t;
  ASSERT_EQ(t.handle(k83), Flow::NextLine);
  const StationRecord& s = t.station();
  EXPECT_EQ(s.HOUR, 9);
  EXPECT_EQ(s.MINUTE, 5);
  EXPECT_EQ(s.SECOND, 4);
  EXPECT_EQ(s.MSEC, 250);
  EXPECT_EQ(s.STATION, 17);
  EXPECT_EQ(s.data_tag(), "CONV");
  EXPECT_EQ(s.AUX1, 7);
  EXPECT_EQ(s.AUX2, -3);
  // The six integers are, in line order, HCP quadrature, HCP in-phase, PRP quadrature, PRP
  // in-phase.
  EXPECT_EQ(s.RAW_HQ[0], 1234);
  EXPECT_EQ(s.RAW_HI[0], -250);
  EXPECT_EQ(s.RAW_PQ[0], 1100);
  EXPECT_EQ(s.RAW_PI[0], 310);
  EXPECT_FLOAT_EQ(s.VOLTAGE, 12.5f);          // 12500 / 1000
  EXPECT_FLOAT_EQ(s.TEMPERATURE_K, 298.15f);  // 29815 / 100
  EXPECT_EQ(s.PITCH, 45.0f);                  // 345: whole degrees offset by 300
  EXPECT_FLOAT_EQ(s.ROLL, -12.0f);            // -120: tenths
  EXPECT_EQ(t.program().CN, 0);
}

TEST(TPacketLayouts, ShorterLayoutsScaleAttitudeInTenthsAndKeepWhatTheyDoNotCarry) {
  TPacket t;
  t.handle(k83);
  t.handle(k79);  // the same attitude fields read as tenths here
  const StationRecord& s = t.station();
  EXPECT_EQ(s.STATION, 18);
  EXPECT_EQ(s.MSEC, 250);  // not in this layout
  EXPECT_FLOAT_EQ(s.VOLTAGE, 12.6f);
  EXPECT_FLOAT_EQ(s.TEMPERATURE_K, 299.15f);
  EXPECT_FLOAT_EQ(s.PITCH, 34.5f);
  EXPECT_FLOAT_EQ(s.ROLL, -12.0f);

  t.handle(k65);
  EXPECT_EQ(s.STATION, 19);
  EXPECT_EQ(s.AUX1, 9);
  EXPECT_FLOAT_EQ(s.PITCH, -4.5f);
  EXPECT_FLOAT_EQ(s.ROLL, 12.0f);
  EXPECT_FLOAT_EQ(s.VOLTAGE, 12.6f);  // kept from the 79-column line

  t.handle(k58);
  EXPECT_EQ(s.STATION, 20);
  EXPECT_EQ(s.AUX2, 2);
  EXPECT_EQ(s.PITCH_RAW, 0);  // no attitude fields: the raw values read 0 ...
  EXPECT_EQ(s.ROLL_RAW, 0);
  EXPECT_FLOAT_EQ(s.PITCH, -4.5f);  // ... and the angles stay
  EXPECT_FLOAT_EQ(s.ROLL, 12.0f);
  EXPECT_FLOAT_EQ(s.VOLTAGE, 12.6f);
  EXPECT_FLOAT_EQ(s.TEMPERATURE_K, 299.15f);
  EXPECT_EQ(s.MSEC, 250);
}

TEST(TPacketLayouts, AttitudeOfTheLongestLayoutAroundTheThreshold) {
  EXPECT_EQ(attitude_degrees(345), 45.0f);
  EXPECT_EQ(attitude_degrees(-345), -45.0f);
  EXPECT_FLOAT_EQ(attitude_degrees(320), 32.0f);
  EXPECT_FLOAT_EQ(attitude_degrees(-320), -32.0f);
  EXPECT_EQ(attitude_degrees(321), 21.0f);
  EXPECT_EQ(attitude_degrees(-321), -21.0f);
  EXPECT_FLOAT_EQ(attitude_degrees(-120), -12.0f);
  EXPECT_EQ(attitude_degrees(0), 0.0f);
}

TEST(TPacketLayouts, LineWithoutLeadCharacterIsShiftedIntoPlace) {
  TPacket t;
  ASSERT_EQ(t.handle(std::string(k58).substr(1)), Flow::NextLine);
  EXPECT_EQ(t.station().STATION, 20);
  EXPECT_EQ(t.station().RAW_PI[0], 310);
}

TEST(TPacketTags, ConvTakesConductivityInTenths) {
  TPacket t;
  t.handle(k83);
  EXPECT_FLOAT_EQ(t.station().HC[0], 123.4f);  // 1234 / 10, whatever the spacing
  EXPECT_FLOAT_EQ(t.station().PC[0], 110.0f);
  EXPECT_FLOAT_EQ(t.station().HI[0], -2.5f);  // -250 / 100
  EXPECT_FLOAT_EQ(t.station().PI[0], 3.1f);
}

TEST(TPacketTags, NuldAsksForTheLengthCodeOnceThenReappliesItsTable) {
  TPacket t(OutputType::L, "/\n");
  t.program().coils = CoilConfiguration{};  // nothing known yet
  std::string nuld = k58;
  nuld.replace(17, 4, "NULD");  // columns 18-21
  t.handle(nuld);
  EXPECT_EQ(t.program().coils.LENGTH_CODE, 1);  // "/" keeps the default
  EXPECT_EQ(t.program().coils.S_HC[0], 1.0f);
  EXPECT_EQ(t.program().coils.S_PC[0], 1.1f);
  // 12.34 ppt / 0.01776529 and -2.50 ppt in-phase
  EXPECT_NEAR(t.station().HC[0], 694.61f, 0.01f);
  EXPECT_FLOAT_EQ(t.station().HI[0], -2.5f);
  EXPECT_EQ(t.program().coils.CHLABELS.substr(0, 36), "HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt. ");
  t.handle(nuld);  // the spacings are known now: no second prompt
  const std::vector<std::string> console = t.console_lines();
  ASSERT_EQ(console.size(), 1u);
  EXPECT_EQ(console[0],
            " Enter Veltor Length Code (1, 2, 4, 21, 42, 421, 62, 621 or 642, default=1)");
  EXPECT_EQ(testing::lines_of(t.main_text()).size(), 2u);
}

TEST(TPacketTags, RawUsesItsOwnTableAndLeavesTheLabelsAlone) {
  TPacket t(OutputType::L, "215\n");
  t.program().coils = CoilConfiguration{};
  std::string raw = k58;
  raw.replace(17, 4, "RAW ");
  t.handle(raw);
  // 215 has no row in this table: one 4 m array.
  EXPECT_EQ(t.program().coils.LENGTH_CODE, 215);
  EXPECT_EQ(t.program().coils.N, 1);
  EXPECT_EQ(t.program().coils.S_HC[0], 4.0f);
  EXPECT_EQ(t.program().coils.CHLABELS, std::string(120, ' '));
  EXPECT_NEAR(t.station().HC[0], 43.41f, 0.01f);  // 12.34 / 0.2842446
}

TEST(TPacketTags, UnknownTagKeepsTheChannelsAndSaysSo) {
  TPacket t;
  t.handle(k83);
  std::string other = k58;
  other.replace(17, 4, "ABCD");
  other.replace(34, 6,
                "  9999");  // columns 35-40  // a new HCP quadrature that must not be converted
  t.handle(other);
  EXPECT_EQ(t.station().data_tag(), "ABCD");
  EXPECT_FLOAT_EQ(t.station().HC[0], 123.4f);
  EXPECT_EQ(t.console_lines(), std::vector<std::string>{"    Data type not implemented ABCD"});
  EXPECT_EQ(testing::lines_of(t.main_text()).size(), 2u);  // both packets wrote a record
}

TEST(TPacketFailures, UnknownLengthReportsTheLineAndWritesThePreviousStationAgain) {
  TPacket t(OutputType::X);
  t.handle(k58);
  const std::string wrong = std::string(k58) + "   12";  // 63 columns
  t.program().CN = 4;
  // Reported as a packet error, so that the run counts the line as skipped.
  ASSERT_EQ(t.handle(wrong), Flow::PacketError);
  EXPECT_EQ(t.console_lines(),
            std::vector<std::string>{" T$ packet error: T$090507     20 CONV      1     2  1234  "
                                     "-250  1100   310   12"});
  EXPECT_EQ(t.program().CN, 0);
  const std::vector<std::string> lines = testing::lines_of(t.main_text());
  ASSERT_EQ(lines.size(), 2u);
  // The same station; only the comment number in columns 79-82 differs (-1 as the program
  // starts, then 4).
  EXPECT_EQ(lines[0].substr(0, 78), lines[1].substr(0, 78));
  EXPECT_EQ(lines[0].substr(78, 4), "  -1");
  EXPECT_EQ(lines[1].substr(78, 4), "   4");
  EXPECT_EQ(lines[0].substr(82), lines[1].substr(82));
}

TEST(TPacketFailures, UnreadableFieldSkipsThePacketAfterTheFieldsBeforeIt) {
  TPacket t(OutputType::X);
  t.program().CN = 3;
  std::string bad = k83;
  bad.replace(44, 6, "  -2x0");  // HCP in-phase, columns 45-50
  EXPECT_EQ(t.handle(bad), Flow::PacketSkip);
  // The fields before the bad one were taken; the rest of the packet did not happen.
  EXPECT_EQ(t.station().STATION, 17);
  EXPECT_EQ(t.station().data_tag(), "CONV");
  EXPECT_EQ(t.station().RAW_HQ[0], 1234);
  EXPECT_EQ(t.station().RAW_PQ[0], 0);
  EXPECT_EQ(t.station().VOLTAGE, 0.0f);
  EXPECT_EQ(t.station().HC[0], 0.0f);
  EXPECT_EQ(t.program().CN, 3);
  EXPECT_EQ(t.main_text(), "");
  // A bad time field fails before the tag, which keeps its value.
  bad = k58;
  bad.replace(3, 2, "a9");  // hour, columns 4-5
  bad.replace(17, 4, "NULD");
  EXPECT_EQ(t.handle(bad), Flow::PacketSkip);
  EXPECT_EQ(t.station().data_tag(), "CONV");
}

}  // namespace
}  // namespace quillet
