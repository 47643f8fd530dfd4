// End to end: a raw file with two logger files of T$ packets, each with its file header line,
// transcribed by the whole program for every output type; each output file of each logger file is
// compared byte for byte with golden text.
//
// How the golden lines were made: the values of the station records were worked out by hand from
// the packet fields (table below) and every line put together field by field from its layout, as
// in t_packet_e2e_test.cpp (the record layouts are described there). t_packet_e2e_oracle.f90
// computes the same values in real*4 and writes them with gfortran's formatted output; its output
// matched every record line. Header and comment lines are written out from their layouts below.
//
// Logger file SURVEY01 (length code 1 from its header line and from the identification line, so
// the 1 m factors 0.01776529 / 0.021496 are known from the start and no prompt appears):
//
//  station  packet            HC       HI      PC       PI     V      T-K    pitch  roll  sec    CN
//  17       83 cols, CONV     123.4   -2.5    110.0    3.1    12.5   298.3   45.0  -12.0  4.250  1
//  18       79 cols, NULD     281.448 -2.5    186.081  3.1    12.6   299.3   12.3   -4.5  5.250  0
//  18       70 cols (wrong)   the previous station again, with the time of the comment before it:
//                             09:05:05 and MSEC 0                                    5.000  1
//  19       65 cols, RAW      337.737  1.0    139.561 -0.5    12.6   299.3   -4.5   12.0  6.000  0
//  20       58 cols, ABCD     as station 19                                          7.000  0
//
// Logger file SURVEY02 (no length code in its header line: code 1 stays):
//
//  1        83 cols, NULD     140.724  1.25    93.041 -0.75   12.4   297.0  -45.0   32.0  2.500  1
//  2        58 cols, CONV      56.7    0.33    89.0   -0.12   12.4   297.0  -45.0   32.0  3.500  0
//
//  - The first comment makes CN 1 for station 17; the second comment line is the same comment in
//    other letter case, so it is number 1 again and adds no comment-file line. A comment line
//    also sets the time and MSEC 0, which the 70-column line and the 65-column line then show.
//  - HC of station 1 = 2.50 / 0.01776529 = 140.7239, PC = 2.00 / 0.021496 = 93.0406; pitch -345
//    in the 83-column layout is -45 degrees, roll 320 is 32.0.
//  - ppm records: 1000 HC F_HC and 1000 PC F_PC give back the quadratures: 2192.24 and 2364.56
//    for station 17, 5000 and 4000 for 18, 6000 and 3000 for 19, 2500 and 2000 for station 1,
//    1000 x 56.7 x 0.01776529 = 1007.29 and 1000 x 89 x 0.021496 = 1913.14 for station 2.
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
    " H$090500 SURVEY01 081226 1\n"
    " C$000000 VELTOR-1   SN1234 SW VERSION 3.2a\n"
    " C$090501 Sample 10 Hz\n"
    " C$090502 start of line 1\n"
    " T$090504 250     17 CONV      7    -3  1234  -250  1100   310 12500 29830  345-120\n"
    " T$090505     18 NULD      8    -4   500  -250   400   310 12600 29930  123 -45\n"
    " C$090505 START of line 1\n"
    " T$090509     99 CONV      1     2     3     4     5     6 12345 12345\n"
    " T$090506     19 RAW       9    -5   600   100   300   -50 -45120\n"
    "T$090507     20 ABCD      1     2  1234  -250  1100   310\n"
    " H$091000 SURVEY02 081226\n"
    " C$091001 second part\n"
    " T$091002 500      1 NULD      0     0   250   125   200   -75 12400 29700 -345 320\n"
    " T$091003      2 CONV      5     6   567    33   890   -12\n"
    " Z$\n";

// The closing columns of the X, G and L records: a GPS fix of zeros.
#define FIX "            0    0.000000     0.000000     0.0  0\n"

const std::string kXyz1 =
    "    17     1   123.40    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3    1   45.00  -12.00" FIX
    "    18     1   281.45    -2.50   186.08     3.10 0  9  5  5.250 12.600  299.3    0   12.30   -4.50" FIX
    "    18     1   281.45    -2.50   186.08     3.10 0  9  5  5.000 12.600  299.3    1   12.30   -4.50" FIX
    "    19     1   337.74     1.00   139.56    -0.50 0  9  5  6.000 12.600  299.3    0   -4.50   12.00" FIX
    "    20     1   337.74     1.00   139.56    -0.50 0  9  5  7.000 12.600  299.3    0   -4.50   12.00" FIX;
const std::string kXyz2 =
    "     1     1   140.72     1.25    93.04    -0.75 0  9 10  2.500 12.400  297.0    1  -45.00   32.00" FIX
    "     2     1    56.70     0.33    89.00    -0.12 0  9 10  3.500 12.400  297.0    0  -45.00   32.00" FIX;

// Geosoft header block, written by every file header line and again by the identification line:
// ('\Veltor Filename is ', A19) with the name blank-padded to 19; ('\Veltor Sensor Length Code
// is ', I2); the column header with the labels of the 1 m array.
#define GEOSOFT_HEADER(name)                                                                     \
  "\\Veltor Filename is " name "\n"                                                             \
  "\\Veltor Sensor Length Code is  1\n"                                                         \
  "\\..STN.SP.LINE.LP.HC1-mS/m.HI1-ppt.PC1-mS/m..PI1-ppt..N.HH.MM.SS.V.......T-K.....CN..Ptch"  \
  "...Roll......GPS_TIME..Lat..........Lon.........GPS_Alt.DMode\n"

// Comment lines of G output: '\', the upper-cased comment in A16, ' at: ', 3I3 time.
const std::string kGeosoft1 =
    GEOSOFT_HEADER("SURVEY01.xyz       ")
    GEOSOFT_HEADER("SURVEY01.xyz       ")
    "\\START OF LINE 1  at:   9  5  2\n"
    "    17       1     123.40    -2.50   110.00     3.10 0  9  5  4.250 12.500  298.3    1   45.00  -12.00" FIX
    "    18       1     281.45    -2.50   186.08     3.10 0  9  5  5.250 12.600  299.3    0   12.30   -4.50" FIX
    "\\START OF LINE 1  at:   9  5  5\n"
    "    18       1     281.45    -2.50   186.08     3.10 0  9  5  5.000 12.600  299.3    1   12.30   -4.50" FIX
    "    19       1     337.74     1.00   139.56    -0.50 0  9  5  6.000 12.600  299.3    0   -4.50   12.00" FIX
    "    20       1     337.74     1.00   139.56    -0.50 0  9  5  7.000 12.600  299.3    0   -4.50   12.00" FIX;
const std::string kGeosoft2 =
    GEOSOFT_HEADER("SURVEY02.xyz       ")
    "\\SECOND PART      at:   9 10  1\n"
    "     1       1     140.72     1.25    93.04    -0.75 0  9 10  2.500 12.400  297.0    1  -45.00   32.00" FIX
    "     2       1      56.70     0.33    89.00    -0.12 0  9 10  3.500 12.400  297.0    0  -45.00   32.00" FIX;

// DAT31: header ('EM31', 1X, 'V1.XX', A8, 5X, 'Veltor-4 Data ') with the logger file's name;
// every file starts line 1 again ("L"), with the time of its first station and the date
// 26-12-08 of its header line ("T").
const std::string kDat31_1 =
    "EM31 V1.XXSURVEY01     Veltor-4 Data \n"
    "L    1       BB0      1.0\n"
    "T    9: 5 26-12- 8\n"
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
const std::string kDat31_2 =
    "EM31 V1.XXSURVEY02     Veltor-4 Data \n"
    "L    1       BB0      1.0\n"
    "T    9:10 26-12- 8\n"
    "SV10     1.000   140.724     1.250\n"
    "SH10     1.000    93.041    -0.750\n"
    "SV10     2.000    56.700     0.330\n"
    "SH10     2.000    89.000    -0.120\n";

const std::string kLog1 =
    "    17   123.40    -2.50   110.00     3.10 0  32     1  32  9  5  4.250 12.500  298.3      7.     -3.    1   45.00  -12.00" FIX
    "    18   281.45    -2.50   186.08     3.10 0  32     1  32  9  5  5.250 12.600  299.3      8.     -4.    0   12.30   -4.50" FIX
    "    18   281.45    -2.50   186.08     3.10 0  32     1  32  9  5  5.000 12.600  299.3      8.     -4.    1   12.30   -4.50" FIX
    "    19   337.74     1.00   139.56    -0.50 0  32     1  32  9  5  6.000 12.600  299.3      9.     -5.    0   -4.50   12.00" FIX
    "    20   337.74     1.00   139.56    -0.50 0  32     1  32  9  5  7.000 12.600  299.3      1.      2.    0   -4.50   12.00" FIX;
const std::string kLog2 =
    "     1   140.72     1.25    93.04    -0.75 0  32     1  32  9 10  2.500 12.400  297.0      0.      0.    1  -45.00   32.00" FIX
    "     2    56.70     0.33    89.00    -0.12 0  32     1  32  9 10  3.500 12.400  297.0      5.      6.    0  -45.00   32.00" FIX;

// Santos: the header only once per run, so only the first logger file's file has it; X is the
// line number 1.
const std::string kSantos1 =
    "    -9        0.20\n"
    "         1.0         17.0     0.00   123.40   110.00    0.00000000    0.00000000           0\n"
    "         1.0         18.0     0.00   281.45   186.08    0.00000000    0.00000000           0\n"
    "         1.0         18.0     0.00   281.45   186.08    0.00000000    0.00000000           0\n"
    "         1.0         19.0     0.00   337.74   139.56    0.00000000    0.00000000           0\n"
    "         1.0         20.0     0.00   337.74   139.56    0.00000000    0.00000000           0\n";
const std::string kSantos2 =
    "         1.0          1.0     0.00   140.72    93.04    0.00000000    0.00000000           0\n"
    "         1.0          2.0     0.00    56.70    89.00    0.00000000    0.00000000           0\n";

const std::string kPpm1 =
    "    17  0.20  45.00 -12.00   -2500.    2192.    3100.    2365.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "    18  0.20  12.30  -4.50   -2500.    5000.    3100.    4000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "    18  0.20  12.30  -4.50   -2500.    5000.    3100.    4000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "    19  0.20  -4.50  12.00    1000.    6000.    -500.    3000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "    20  0.20  -4.50  12.00    1000.    6000.    -500.    3000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n";
const std::string kPpm2 =
    "     1  0.20 -45.00  32.00    1250.    2500.    -750.    2000.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n"
    "     2  0.20 -45.00  32.00     330.    1007.    -120.    1913.    0.000000     0.000000     0.0  0         0 0 0  0    0.000\n";

// Each logger file gets its own sensor-definition file, written with its first station.
const std::string kSensorDefinition =
    "           2\n"
    "  1  1   9000. 1.00   3 0.00 1.00000 0.00000  1.0  1.0\n"
    "  0  1   9000. 1.10   4 0.00 1.00000 0.00000  1.0  1.0\n";

// Comment files: (I5, 1X, A16) with the number and the upper-cased comment.
const std::string kComments1 = "    1 START OF LINE 1 \n";
const std::string kComments2 = "    1 SECOND PART     \n";
// clang-format on
#undef FIX
#undef GEOSOFT_HEADER

struct Case {
  const char* code;
  const char* extension;
  const std::string* first;
  const std::string* second;
};

TEST(TPacketEndToEnd, TwoLoggerFilesWithHeaderAndCommentLines) {
  const Case cases[] = {{"X", "xyz", &kXyz1, &kXyz2},       {"G", "xyz", &kGeosoft1, &kGeosoft2},
                        {"D", "g31", &kDat31_1, &kDat31_2}, {"L", "log", &kLog1, &kLog2},
                        {"S", "san", &kSantos1, &kSantos2}, {"P", "idf", &kPpm1, &kPpm2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TempDir dir;
    const std::string input = dir.write("survey.raw", kRaw);
    const testing::ProgramResult result = run_quillet({input, c.code}, "/\n");
    EXPECT_EQ(result.status, 0);
    const std::string extension = c.extension;
    EXPECT_TRUE(file_equals(dir.file("SURVEY01." + extension), *c.first));
    EXPECT_TRUE(file_equals(dir.file("SURVEY02." + extension), *c.second));
    EXPECT_TRUE(file_equals(dir.file("SURVEY01.CMT"), kComments1));
    EXPECT_TRUE(file_equals(dir.file("SURVEY02.CMT"), kComments2));
    if (std::string(c.code) == "P") {
      EXPECT_TRUE(file_equals(dir.file("SURVEY01.SDF"), kSensorDefinition));
      EXPECT_TRUE(file_equals(dir.file("SURVEY02.SDF"), kSensorDefinition));
    }

    const std::vector<std::string> console = lines_of(result.console);
    const auto count = [&](const std::string& line) {
      return std::count(console.begin(), console.end(), line);
    };
    EXPECT_EQ(count(" T$ packet error: T$090509     99 CONV      1     2     3     4     5"
                    "     6 12345 12345"),
              1);
    EXPECT_EQ(count("    Data type not implemented ABCD"), 1);
    // The configuration comes from the input: no length-code prompt.
    EXPECT_EQ(std::count_if(console.begin(), console.end(),
                            [](const std::string& line) {
                              return line.find("Enter Veltor Length Code") != std::string::npos;
                            }),
              0);
  }
}

}  // namespace
}  // namespace quillet
