// End to end: raw files of T$ packets transcribed by the whole program for every output type,
// each output file compared byte for byte with golden text. The first file has data lines only;
// the second holds two logger files with their header, identification, sampling and comment lines.
//
// How the golden lines were made: the values of the five station records were worked out by hand
// from the packet fields (table below), then every line was put together field by field from its
// layout. t_packet_e2e_oracle.f90 computes the same values in real*4 and writes them with
// gfortran's formatted output; its output matched every golden line.
//
// The raw file has no header or configuration lines, so the runs write to the default-named files,
// the line number is 0, the file date 0-0-0 and the GPS fix all zeros; the comment number starts
// at -1 (the program's initial value) and is 0 after the first record.
//
//  station  packet            HC       HI      PC       PI     V      T-K    pitch  roll  seconds
//  17       83 cols, CONV     123.4   -2.5    110.0    3.1    12.5   298.3   45.0  -12.0  4.250
//  18       79 cols, NULD     281.448 -2.5    186.081  3.1    12.6   299.3   12.3   -4.5  5.250
//  18       70 cols (wrong)   the previous station again                                  5.250
//  19       65 cols, RAW      337.737  1.0    139.561 -0.5    12.6   299.3   -4.5   12.0  6.250
//  20       58 cols, ABCD     as station 19 (unknown tag: channels kept; 58 columns: angles,
//                             voltage and temperature kept)                               7.250
//
//  - CONV before any configuration: raw / 10 for the conductivities, raw / 100 for in-phase.
//  - NULD prompts for the length code; the answer 1 gives the 1 m array, factors 0.01776529 and
//    0.021496: HC = 5.00 / 0.01776529 = 281.4477, PC = 4.00 / 0.021496 = 186.0811.
//  - RAW with the same table: HC = 6.00 / 0.01776529 = 337.7372, PC = 3.00 / 0.021496 = 139.5609.
//  - Milliseconds come only with the 83-column layout, so 250 stays for all later stations.
//  - 83 columns: pitch 345 is 45 degrees, roll -120 is -12.0; 79 and 65 columns: tenths.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::file_equals;
using testing::lines_of;
using testing::run_quillet;
using testing::TempDir;

// clang-format off
const std::string kRaw =
    // Columns: 1........10........20........30........40........50........60........70........80..
    " T$090504 250     17 CONV      7    -3  1234  -250  1100   310 12500 29830  345-120\n"
    " T$090505     18 NULD      8    -4   500  -250   400   310 12600 29930  123 -45\n"
    " T$090509     99 CONV      1     2     3     4     5     6 12345 12345\n"
    "\n"
    "a line without a marker\n"
    " T$090506     19 RAW       9    -5   600   100   300   -50 -45120\n"
    "T$090507     20 ABCD      1     2  1234  -250  1100   310\n"
    " Z$\n"
    " T$090600     99 CONV      0     0     0     0     0     0\n";

// The closing columns of the X, G and L records: a GPS fix of zeros, 1X I12 F12.6 1X F12.6 1X
// F7.1 1X I2.
#define FIX "            0    0.000000     0.000000     0.0  0\n"

// X: I6 station, I6 line, 4F9.2 HC HI PC PI, I2 N, 2I3 hour minute, F7.3 seconds, F7.3 volts,
// F7.1 T-K, 1X, I4 CN, 2F8.2 pitch roll, fix.
const std::string kXyz =
    "    17     0   123.40    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3   -1   45.00  -12.00" FIX
    "    18     0   281.45    -2.50   186.08     3.10 0  9  5  5.250 12.600  299.3    0   12.30   -4.50" FIX
    "    18     0   281.45    -2.50   186.08     3.10 0  9  5  5.250 12.600  299.3    0   12.30   -4.50" FIX
    "    19     0   337.74     1.00   139.56    -0.50 0  9  5  6.250 12.600  299.3    0   -4.50   12.00" FIX
    "    20     0   337.74     1.00   139.56    -0.50 0  9  5  7.250 12.600  299.3    0   -4.50   12.00" FIX;

// G: as X with the suffix letters, blank here: I6, 1X, A1, I6, 1X, A1 before the channels.
const std::string kGeosoft =
    "    17       0     123.40    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3   -1   45.00  -12.00" FIX
    "    18       0     281.45    -2.50   186.08     3.10 0  9  5  5.250 12.600  299.3    0   12.30   -4.50" FIX
    "    18       0     281.45    -2.50   186.08     3.10 0  9  5  5.250 12.600  299.3    0   12.30   -4.50" FIX
    "    19       0     337.74     1.00   139.56    -0.50 0  9  5  6.250 12.600  299.3    0   -4.50   12.00" FIX
    "    20       0     337.74     1.00   139.56    -0.50 0  9  5  7.250 12.600  299.3    0   -4.50   12.00" FIX;

// D: the first station starts line 0 ("L": 'L' I5 7X 'BB' I1 A3 A2 F4.1; "T": hour 9, minute 5,
// date 0-0-0); then 'S' A1 '10' I6 '.000' 2F10.3 with V: HC, HI and H: PC, PI.
const std::string kDat31 =
    "L    0       BB0      1.0\n"
    "T    9: 5  0- 0- 0\n"
    "SV10    17.000   123.400    -2.500\n"
    "SH10    17.000   110.000     3.100\n"
    "SV10    18.000   281.448    -2.500\n"
    "SH10    18.000   186.081     3.100\n"
    "SV10    18.000   281.448    -2.500\n"
    "SH10    18.000   186.081     3.100\n"
    "SV10    19.000   337.737     1.000\n"
    "SH10    19.000   139.561    -0.500\n"
    "SV10    20.000   337.737     1.000\n"
    "SH10    20.000   139.561    -0.500\n";

// L: I6 station, channels, I2 N, I4 suffix code (blank: 32), I6 line, I4 suffix code, 2I3,
// F7.3 seconds, F7.3 volts, F7.1 T-K, 2F8.0 AUX1 AUX2, 1X, I4 CN, 2F8.2, fix.
const std::string kLog =
    "    17   123.40    -2.50   110.00     3.10 0  32     0  32  9  5  4.250 12.500  298.3      7.     -3.   -1   45.00  -12.00" FIX
    "    18   281.45    -2.50   186.08     3.10 0  32     0  32  9  5  5.250 12.600  299.3      8.     -4.    0   12.30   -4.50" FIX
    "    18   281.45    -2.50   186.08     3.10 0  32     0  32  9  5  5.250 12.600  299.3      8.     -4.    0   12.30   -4.50" FIX
    "    19   337.74     1.00   139.56    -0.50 0  32     0  32  9  5  6.250 12.600  299.3      9.     -5.    0   -4.50   12.00" FIX
    "    20   337.74     1.00   139.56    -0.50 0  32     0  32  9  5  7.250 12.600  299.3      1.      2.    0   -4.50   12.00" FIX;

// S: header I6 -9, F12.2 height 0.2; data F12.1 X = line 0, 1X, F12.1 Y = station, 1X, F8.2 0.0,
// 2F9.2 HC PC, 2F14.8 latitude longitude, I12 GPS time.
const std::string kSantos =
    "    -9        0.20\n"
    "         0.0         17.0     0.00   123.40   110.00    0.00000000    0.00000000           0\n"
    "         0.0         18.0     0.00   281.45   186.08    0.00000000    0.00000000           0\n"
    "         0.0         18.0     0.00   281.45   186.08    0.00000000    0.00000000           0\n"
    "         0.0         19.0     0.00   337.74   139.56    0.00000000    0.00000000           0\n"
    "         0.0         20.0     0.00   337.74   139.56    0.00000000    0.00000000           0\n";

// P: I6 station, F6.2 height, 2F7.2 pitch roll, 4F9.0 in ppm: 1000 HI, 1000 HC F_HC, 1000 PI,
// 1000 PC F_PC (the factors are 0 at station 17; 1000 x 281.4477 x 0.01776529 = 5000 and so on),
// F12.6 1X F12.6 1X F7.1 1X I2 fix, I10 GPS time, 2I2 zeros, I3 satellites, F9.3 dilution.
const std::string kPpm =
    "    17  0.20  45.00 -12.00   -2500.       0.    3100.       0.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "    18  0.20  12.30  -4.50   -2500.    5000.    3100.    4000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "    18  0.20  12.30  -4.50   -2500.    5000.    3100.    4000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "    19  0.20  -4.50  12.00    1000.    6000.    -500.    3000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "    20  0.20  -4.50  12.00    1000.    6000.    -500.    3000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n";

// Written at station 18, the first whose array-1 spacings are known: 2 x N in free form, then
// the HCP and PRP receivers of the 1 m array.
const std::string kSensorDefinition =
    "           2\n"
    "  1  1   9000. 1.00   3 0.00 1.00000 0.00000  1.0  1.0\n"
    "  0  1   9000. 1.10   4 0.00 1.00000 0.00000  1.0  1.0\n";
// clang-format on
#undef FIX

const char* kPrompt = " Enter Veltor Length Code (1, 2, 4, 21, 42, 421, 62, 621 or 642, default=1)";

struct Case {
  const char* code;
  const char* file;
  const std::string* golden;
};

TEST(TPacketEndToEnd, EveryOutputTypeOfARawFileOfTPackets) {
  const Case cases[] = {{"X", "Default.xyz", &kXyz},    {"G", "Default.xyz", &kGeosoft},
                        {"D", "Default.G31", &kDat31},  {"L", "Default.LOG", &kLog},
                        {"S", "Default.SAN", &kSantos}, {"P", "Default.IDF", &kPpm}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TempDir dir;
    const std::string input = dir.write("survey.raw", kRaw);
    // Keyboard: "/" keeps the height 0.2; 1 answers the length-code prompt.
    const testing::ProgramResult result = run_quillet({input, c.code}, "/\n1\n");
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(file_equals(dir.file(c.file), *c.golden));

    const std::vector<std::string> console = lines_of(result.console);
    EXPECT_EQ(std::count(console.begin(), console.end(), kPrompt), 1);
    EXPECT_EQ(std::count(console.begin(), console.end(),
                         " T$ packet error: T$090509     99 CONV      1     2     3     4     5"
                         "     6 12345 12345"),
              1);
    EXPECT_EQ(std::count(console.begin(), console.end(), "    Data type not implemented ABCD"), 1);
    EXPECT_EQ(std::count(console.begin(), console.end(), "    Normal end of data encountered."), 1);

    // Side files without content are gone; the ppm run leaves its sensor-definition file.
    std::vector<std::string> expected_files = {c.file, "survey.raw"};
    if (std::string(c.code) == "P") {
      expected_files = {"Default.IDF", "Default.SDF", "survey.raw"};
      EXPECT_TRUE(file_equals(dir.file("Default.SDF"), kSensorDefinition));
    }
    EXPECT_EQ(dir.files(), expected_files);
  }
}

TEST(TPacketEndToEnd, LaterRunsOfTheSameProgramKeepTheConfiguration) {
  // X, then P: the length code answered in the first run stays known, so the P run neither
  // prompts nor waits for a spacing; its first station converts the quadratures back with the 1 m
  // factors (1000 x 123.4 x 0.01776529 = 2192.24, 1000 x 110 x 0.021496 = 2364.56) and carries
  // CN 0, and the sensor-definition file comes with it.
  TempDir dir;
  const std::string input = dir.write("survey.raw", kRaw);
  const testing::ProgramResult result = run_quillet({input, "XP"}, "/\n1\n/\n");
  EXPECT_EQ(result.status, 0);
  const std::vector<std::string> console = lines_of(result.console);
  EXPECT_EQ(std::count(console.begin(), console.end(), kPrompt), 1);
  EXPECT_TRUE(file_equals(dir.file("Default.xyz"), kXyz));
  const std::vector<std::string> ppm = lines_of(testing::read_file(dir.file("Default.IDF")));
  ASSERT_EQ(ppm.size(), 5u);
  EXPECT_EQ(ppm[0],
            "    17  0.20  45.00 -12.00   -2500.    2192.    3100.    2365.    0.000000     "
            "0.000000     0.0  0         0 0 0  0    0.000");
  EXPECT_TRUE(file_equals(dir.file("Default.SDF"), kSensorDefinition));
}

}  // namespace
}  // namespace quillet
