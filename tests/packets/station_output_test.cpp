// The station output records of every output type, written from one station record whose values
// are chosen away from rounding ties. Every expected line is put together by hand, field by field
// from the record's layout (the comment above each names the pieces); station_records_oracle.f90
// writes the same lines with gfortran's formatted output as an independent check.
#include "packets/station_output.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "packets/packet_harness.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::file_equals;

// A station of a one-array instrument with a 1 m array.
void set_station(ProgramState& p) {
  StationRecord& s = p.station;
  s.STATION = 17;
  s.LINENO = 1;
  s.HOUR = 9;
  s.MINUTE = 5;
  s.SECOND = 4;
  s.MSEC = 250;
  s.HC[0] = 123.4f;
  s.HI[0] = -2.5f;
  s.PC[0] = 110.0f;
  s.PI[0] = 3.1f;
  s.VOLTAGE = 12.5f;
  s.TEMPERATURE_K = 298.3f;
  s.PITCH = 1.2f;
  s.ROLL = -0.5f;
  s.AUX1 = 7;
  s.AUX2 = -3;
  p.CN = 2;
  p.gps.current_fix = {32704000, 48.1173, 11.51667, 1, 8, 0.9f, 245.4f};
  p.coils.N = 1;
  p.coils.S_HC[0] = 1.0f;
  p.coils.S_PC[0] = 1.1f;
  p.coils.F_HC[0] = 0.01776529f;
  p.coils.F_PC[0] = 0.021496f;
  p.names.FILE_YEAR = 8;
  p.names.FILE_MONTH = 12;
  p.names.FILE_DAY = 26;
}

// One run's output with the station above.
class Output : public testing::PacketHarness {
 public:
  explicit Output(OutputType type) : PacketHarness(type) { set_station(program()); }
  Flow write(PacketKind kind) { return write_station_record(kind, program(), run, files); }
};

TEST(Dat31Records, FirstStationOfALineGetsLineAndTimeRecords) {
  Output out(OutputType::D);
  ASSERT_EQ(out.write(PacketKind::T), Flow::NextLine);
  out.station().STATION = 18;
  out.write(PacketKind::T);  // same line: only the two station records
  out.station().LINENO = 2;
  out.station().LINE_SUFFIX = 'A';
  out.station().STN_SUFFIX = 'B';
  out.write(PacketKind::Pdlmt);
  EXPECT_EQ(out.program().DAT31_LAST_LINE, 2);
  EXPECT_EQ(out.program().CN, 0);
  EXPECT_EQ(out.main_text(),
            // 'L' "    1" 7X 'BB' "0" A3 "   " A2 "  " F4.1 " 1.0"
            "L    1       BB0      1.0\n"
            // 'T' "    9" ':' " 5" "26" '-' "12" '-' " 8"  (hour, minute, day, month, year)
            "T    9: 5 26-12- 8\n"
            // 'S' 'V' '10' "    17" '.000' "   123.400" "    -2.500"  (HC, HI)
            "SV10    17.000   123.400    -2.500\n"
            // 'S' 'H' '10' "    17" '.000' "   110.000" "     3.100"  (PC, PI)
            "SH10    17.000   110.000     3.100\n"
            "SV10    18.000   123.400    -2.500\n"
            "SH10    18.000   110.000     3.100\n"
            // line 2 with suffixes: A3 "  A", A2 " B"
            "L    2       BB0  A B 1.0\n"
            "T    9: 5 26-12- 8\n"
            "SV10    18.000   123.400    -2.500\n"
            "SH10    18.000   110.000     3.100\n");
}

TEST(Dat31Records, LastLineIsKeptAcrossRuns) {
  // A later run of the same program continues the survey line of the earlier one.
  Output out(OutputType::D);
  out.program().DAT31_LAST_LINE = 1;
  out.write(PacketKind::T);
  EXPECT_EQ(out.main_text(),
            "SV10    17.000   123.400    -2.500\n"
            "SH10    17.000   110.000     3.100\n");
}

TEST(LogRecords, TPacketAndPdlmtLayouts) {
  Output out(OutputType::L);
  out.write(PacketKind::T);
  out.station().STN_SUFFIX = 'A';
  out.station().LINE_SUFFIX = 'Z';
  out.program().CN = 0;
  out.write(PacketKind::Pdlmt);
  EXPECT_EQ(out.main_text(),
            // "    17" | "   123.40" "    -2.50" "   110.00" "     3.10" | N " 0" | blank suffix
            // "  32" | line "     1" | "  32" | "  9" "  5" | seconds 4.25 "  4.250" |
            // "12.500" in F7.3 | 298.3 in F7.1 "  298.3" | AUX as F8.0 "      7." "     -3." |
            // 1X | CN "   2" | "    1.20" "   -0.50" | 1X | "    32704000" | "   48.117300" | 1X |
            // "   11.516670" | 1X | "  245.4" | 1X | " 1"
            "    17   123.40    -2.50   110.00     3.10 0  32     1  32  9  5  4.250 12.500"
            "  298.3      7.     -3.    2    1.20   -0.50     32704000   48.117300"
            "    11.516670   245.4  1\n"
            // $PDLMT: whole seconds "  4" (3I3), temperature F7.2 " 298.30", AUX as F10.0,
            // attitude 2F7.2; suffix codes A = 65, Z = 90
            "    17   123.40    -2.50   110.00     3.10 0  65     1  90  9  5  4 12.500 298.30"
            "        7.       -3.    0   1.20  -0.50     32704000   48.117300"
            "    11.516670   245.4  1\n");
}

TEST(XyzRecords, TPacketAndPdlmtLayouts) {
  Output out(OutputType::X);
  out.write(PacketKind::T);
  out.write(PacketKind::Pdlmt);
  EXPECT_EQ(out.main_text(),
            // "    17" "     1" | channels | " 0" | "  9" "  5" | "  4.250" " 12.500" "  298.3" |
            // 1X "   2" | "    1.20" "   -0.50" | 1X "    32704000" "   48.117300" 1X
            // "   11.516670" 1X "  245.4" 1X " 1"   (CN 2 on the first record only)
            "    17     1   123.40    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3"
            "    2    1.20   -0.50     32704000   48.117300    11.516670   245.4  1\n"
            // $PDLMT: "  9  5  4" (3I3), " 12.500", " 298.30" (F7.2), 1X "   0", 2F7.2
            "    17     1   123.40    -2.50   110.00     3.10 0  9  5  4 12.500 298.30"
            "    0   1.20  -0.50     32704000   48.117300    11.516670   245.4  1\n");
}

TEST(GeosoftRecords, SuffixLettersAndOneChannelGroupForPdlmt) {
  Output out(OutputType::G);
  out.station().STN_SUFFIX = 'A';
  out.write(PacketKind::T);
  // $PDLMT: array 1 only whatever N is, and whole seconds as a real.
  out.program().coils.N = 2;
  out.station().HC[1] = 999.0f;
  out.write(PacketKind::Pdlmt);
  EXPECT_EQ(out.main_text(),
            // "    17" 1X "A" "     1" 1X " " | channels | " 0" "  9" "  5" | "  4.250"
            // " 12.500" "  298.3" | 1X "   2" | "    1.20" "   -0.50" | 1X GPS as for XYZ
            "    17 A     1     123.40    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3"
            "    2    1.20   -0.50     32704000   48.117300    11.516670   245.4  1\n"
            "    17 A     1     123.40    -2.50   110.00     3.10 0  9  5  4.000 12.500  298.3"
            "    0    1.20   -0.50     32704000   48.117300    11.516670   245.4  1\n");
}

TEST(SantosRecords, HeaderOnceThenLineAndStationWithoutPositions) {
  Output out(OutputType::S);
  out.run.SANTOS_HEADER_DUE = true;
  out.write(PacketKind::T);
  EXPECT_FALSE(out.run.SANTOS_HEADER_DUE);
  // The shared writer with two arrays (as the second packet group calls it).
  out.program().coils.N = 2;
  out.station().HC[1] = 45.5f;
  out.station().PC[1] = -1.25f;
  out.station().STATION = 18;
  write_santos_record(out.program(), out.run, out.files);
  EXPECT_EQ(out.main_text(),
            // "    -9" | height 0.2 in F12.2 "        0.20" | the third I6 has no value
            "    -9        0.20\n"
            // X = line 1 "         1.0" 1X Y = station 17 "        17.0" 1X "    0.00" |
            // HC "   123.40" PC "   110.00" | LAT, LON in F14.8 | "    32704000"
            "         1.0         17.0     0.00   123.40   110.00   48.11730000   11.51667000"
            "    32704000\n"
            "         1.0         18.0     0.00   123.40   110.00    45.50    -1.25"
            "   48.11730000   11.51667000    32704000\n");
}

TEST(PpmRecords, RecordInPpmWithTheSensorDefinitionFileOnce) {
  Output out(OutputType::P);
  out.run.sensor_height = 0.2f;
  out.program().names.SDF_PENDING = true;
  out.program().names.SDF_NAME = "LINE01.SDF";  // blank-padded as the header handling keeps it
  out.program().names.SDF_NAME.resize(50, ' ');
  out.write(PacketKind::T);
  EXPECT_FALSE(out.program().names.SDF_PENDING);
  EXPECT_EQ(out.program().names.LAST_SDF_NAME, out.program().names.SDF_NAME);
  // "           2" is 2 x N in free form; then (2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1) with
  // "  1  1" "   9000." " 1.00" "   3" " 0.00" " 1.00000" " 0.00000" "  1.0" "  1.0", and the
  // PRP receiver "  0  1", its spacing " 1.10" and "   4".
  const std::string sdf =
      "           2\n"
      "  1  1   9000. 1.00   3 0.00 1.00000 0.00000  1.0  1.0\n"
      "  0  1   9000. 1.10   4 0.00 1.00000 0.00000  1.0  1.0\n";
  EXPECT_TRUE(file_equals(out.dir.file("LINE01.SDF"), sdf));

  // Written once: a changed configuration does not rewrite it until SDF_PENDING is set again.
  out.program().coils.S_HC[0] = 2.0f;
  out.write(PacketKind::T);
  EXPECT_TRUE(file_equals(out.dir.file("LINE01.SDF"), sdf));

  EXPECT_EQ(out.main_text(),
            // "    17" | height "  0.20" | "   1.20" "  -0.50" | 1000 HI "   -2500." |
            // 1000 x 123.4 x 0.01776529 = 2192.24 "    2192." | 1000 PI "    3100." |
            // 1000 x 110 x 0.021496 = 2364.56 "    2365." | "   48.117300" 1X "   11.516670" 1X
            // "  245.4" 1X " 1" | GPS time in I10 "  32704000" | " 0" " 0" | "  8" | "    0.900"
            "    17  0.20   1.20  -0.50   -2500.    2192.    3100.    2365.   48.117300"
            "    11.516670   245.4  1  32704000 0 0  8    0.900\n"
            "    17  0.20   1.20  -0.50   -2500.    2192.    3100.    2365.   48.117300"
            "    11.516670   245.4  1  32704000 0 0  8    0.900\n");
}

TEST(PpmRecords, SensorDefinitionWaitsUntilArrayOneSpacingsAreKnown) {
  Output out(OutputType::P);
  out.program().names.SDF_PENDING = true;
  out.program().names.SDF_NAME = "Default.SDF";
  out.program().coils.S_PC[0] = 0.0f;
  out.write(PacketKind::Pdlmt);
  EXPECT_TRUE(out.program().names.SDF_PENDING);
  EXPECT_FALSE(std::filesystem::exists(out.dir.file("Default.SDF")));
  // The first station after both spacings are known writes it: two arrays, four receivers.
  out.program().coils.N = 2;
  out.program().coils.S_PC[0] = 1.1f;
  out.program().coils.S_HC[1] = 2.0f;
  out.program().coils.S_PC[1] = 2.1f;
  out.write(PacketKind::Pdlmt);
  EXPECT_FALSE(out.program().names.SDF_PENDING);
  EXPECT_TRUE(file_equals(out.dir.file("Default.SDF"),
                          "           4\n"
                          "  1  1   9000. 1.00   3 0.00 1.00000 0.00000  1.0  1.0\n"
                          "  0  1   9000. 1.10   4 0.00 1.00000 0.00000  1.0  1.0\n"
                          "  1  1   9000. 2.00   3 0.00 1.00000 0.00000  1.0  1.0\n"
                          "  0  1   9000. 2.10   4 0.00 1.00000 0.00000  1.0  1.0\n"));
}

TEST(PpmRecords, UnwritableSensorDefinitionFileEndsTheRun) {
  Output out(OutputType::P);
  out.program().names.SDF_PENDING = true;
  out.program().names.SDF_NAME = "missing-folder/X.SDF";
  EXPECT_EQ(out.write(PacketKind::T), Flow::OutputOpenError);
  EXPECT_EQ(out.files.open_failure, out.dir.file("missing-folder/X.SDF"));
  EXPECT_TRUE(out.program().names.SDF_PENDING);
}

TEST(PpmRecords, KorabStationsAreNumberedByTheTimeOfDay) {
  Output out(OutputType::P);
  out.program().identification.KORAB_FAMILY = true;
  out.station().HOUR = 1;
  out.station().MINUTE = 2;
  out.station().SECOND = 3;
  out.write(PacketKind::T);
  EXPECT_EQ(out.station().STATION, 3723);  // 3600 + 120 + 3, kept in the record
  out.station().STATION = 5;
  out.write(PacketKind::Pdlmt);  // $PDLMT stations keep their own numbers
  const std::string text = out.main_text();
  EXPECT_EQ(text.substr(0, 6), "  3723");
  EXPECT_EQ(text.substr(text.find('\n') + 1, 6), "     5");
  // Without KORAB the station number stays.
  Output other(OutputType::P);
  other.write(PacketKind::T);
  EXPECT_EQ(other.station().STATION, 17);
}

TEST(StationRecords, ValuesTooWideForTheirFieldsShowAsterisks) {
  Output out(OutputType::X);
  out.station().HC[0] = 1.0e6f;     // 1000000.00 needs 10 columns of F9.2
  out.station().STATION = 1234567;  // 7 digits in I6
  out.program().CN = 10000;         // I4
  out.write(PacketKind::T);
  EXPECT_EQ(out.main_text(),
            "******     1*********    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3"
            " ****    1.20   -0.50     32704000   48.117300    11.516670   245.4  1\n");
}

TEST(StationRecords, MultiArrayTPacketsWriteOnlyDat31AndAlwaysClearTheComment) {
  for (OutputType type : {OutputType::D, OutputType::L, OutputType::X, OutputType::G, OutputType::S,
                          OutputType::P, OutputType::I, OutputType::None}) {
    Output out(type);
    out.program().coils.N = 2;
    out.run.SANTOS_HEADER_DUE = type == OutputType::S;
    out.program().names.SDF_PENDING = true;
    EXPECT_EQ(out.write(PacketKind::T), Flow::NextLine);
    EXPECT_EQ(out.program().CN, 0);
    const std::string text = out.main_text();
    if (type == OutputType::D) {
      EXPECT_EQ(text,
                "L    1       BB0      1.0\nT    9: 5 26-12- 8\n"
                "SV10    17.000   123.400    -2.500\nSH10    17.000   110.000     3.100\n");
    } else {
      EXPECT_EQ(text, "") << static_cast<int>(type);
    }
  }
}

}  // namespace
}  // namespace quillet
