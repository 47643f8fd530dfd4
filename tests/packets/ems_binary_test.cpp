// The binary data file of the I runs, decoded field by field: big-endian 32-bit integers and
// reals, 35 bytes per record. The raw files are those of the I cases under tests/cases;
// the expected values are read off their lines by hand (the layouts of the G$ and I$ lines). The
// binary file of the run without GPS is compared byte for byte by its case.
// Also the N$ packet's refusal of a cut multi-array line, which no output file can show.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "packets/i_packet.hpp"
#include "packets/n_packet.hpp"
#include "packets/packet_harness.hpp"

namespace quillet {
namespace {

using testing::read_file;
using testing::run_quillet;
using testing::TempDir;

struct BinaryRecord {
  std::int32_t lat;  // 1e-7 degrees
  std::int32_t lon;
  std::int32_t day_seconds;
  float height;
  float channel2;
  float aux_thousandths;
  float channel1;
  float zero;
  std::string tail;  // the last three bytes
};

std::uint32_t big_endian_at(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
  return v;
}

std::vector<BinaryRecord> decode(const std::string& bytes) {
  std::vector<BinaryRecord> records;
  for (std::size_t at = 0; at + 35 <= bytes.size(); at += 35) {
    auto i = [&](std::size_t off) {
      return static_cast<std::int32_t>(big_endian_at(bytes, at + off));
    };
    auto f = [&](std::size_t off) { return std::bit_cast<float>(big_endian_at(bytes, at + off)); };
    records.push_back(
        {i(0), i(4), i(8), f(12), f(16), f(20), f(24), f(28), bytes.substr(at + 32, 3)});
  }
  return records;
}

// Runs the program on the raw file of a case and returns the binary data file it wrote.
std::string binary_file_of(const std::string& case_name, const std::string& codes,
                           const std::string& dat_name) {
  TempDir dir;
  const std::filesystem::path raw =
      std::filesystem::path(QUILLET_SOURCE_DIR) / "tests/cases" / case_name / "in/survey.raw";
  const std::string input = dir.write("survey.raw", read_file(raw.string()));
  const auto result = run_quillet({input, codes}, "/\n/\n");
  EXPECT_EQ(result.status, 0);
  return read_file(dir.file(dat_name));
}

TEST(EmsBinaryFile, RunWithGpsCarriesTruncatedPositionsAndTheLineHeightOfVersion61) {
  const std::string bytes = binary_file_of("i_run_gps", "I", "EMSGPS01.DAT");
  // Counts 5, 6 (refused), 0 and 2: three records and nothing else.
  ASSERT_EQ(bytes.size(), 3u * 35u);
  const auto r = decode(bytes);
  // 3315.0000,S is -33.25 degrees exactly; 3315.0001,S is -33.2500016666..., truncated toward
  // zero and not rounded or floored; 15107.4074,E is 151.1234566666...
  EXPECT_EQ(r[0].lat, -332500000);
  EXPECT_EQ(r[1].lat, -332500016);
  EXPECT_EQ(r[0].lon, 1511234566);
  EXPECT_EQ(r[2].lon, 1511234566);
  EXPECT_EQ(r[0].day_seconds, 7 * 3600 + 3);
  EXPECT_EQ(r[1].day_seconds, 7 * 3600 + 6);
  // Height fields 150, 175, 200 cm of a version-6.1 file.
  EXPECT_EQ(r[0].height, 1.5f);
  EXPECT_EQ(r[1].height, 1.75f);
  EXPECT_EQ(r[2].height, 2.0f);
  // Channels 12345 and -2500 of the count-5 line survive the refused count-6 line and the
  // count-0 line, whose stray digits are no channel.
  EXPECT_EQ(r[0].channel1, 12345 / 10000.0f);
  EXPECT_EQ(r[0].channel2, -25.0f);
  EXPECT_EQ(r[1].channel1, 12345 / 10000.0f);
  EXPECT_EQ(r[1].channel2, -25.0f);
  EXPECT_EQ(r[2].channel1, -9999 / 10000.0f);
  EXPECT_EQ(r[2].channel2, 999.99f);
  // Auxiliary 12345, -3 and 5000 in 1e-4: thousandths truncated; -0.3 gives +0, not -0.
  EXPECT_EQ(r[0].aux_thousandths, 1234.0f);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(r[1].aux_thousandths), 0u);
  EXPECT_EQ(r[2].aux_thousandths, 500.0f);
  for (const BinaryRecord& record : r) {
    EXPECT_EQ(std::bit_cast<std::uint32_t>(record.zero), 0u);
    EXPECT_EQ(record.tail, std::string(3, '\0'));
  }
}

TEST(EmsBinaryFile, PositionBeyondThirtyTwoBitsIsHeldAtTheEndOfTheRange) {
  // A garbled GGA longitude can read up to 999 degrees: 10^-7 degree units overflow 32 bits.
  ProgramState program;
  program.gps.current_fix.LAT = -99.5;
  const auto with_longitude = [&](double lon) {
    program.gps.current_fix.LON = lon;
    const auto record = binary_record(program.ems, program.gps.current_fix, 0.2f);
    return decode(std::string(record.begin(), record.end()))[0];
  };
  EXPECT_EQ(with_longitude(999.0).lon, 2147483647);
  EXPECT_EQ(with_longitude(-999.0).lon, -2147483647 - 1);
  EXPECT_EQ(with_longitude(-999.0).lat, -995000000);
}

TEST(NPacket, CutMultiArrayLineChangesNoValue) {
  testing::PacketHarness h(OutputType::X);
  h.program().coils.N = 2;
  StationRecord& s = h.station();
  s.HOUR = 1;
  s.VOLT_RAW = 2;
  s.PITCH_RAW = 3;
  s.RAW_HQ = {4, 5, 6};
  s.RAW_PI = {7, 8, 9};
  s.PC = {1.5f, 2.5f, 3.5f};
  const StationRecord before = s;
  // Columns 35-82 hold two arrays; the last field is cut after "-1" of "-10".
  h.run.LINE.assign(
      " N$090002 12200 29800    260  -135  1100   210   910  -310  2100   410  1810   -1");
  EXPECT_EQ(handle_n_packet(h.run.LINE, h.station(), h.program().coils, h.writer, h.console),
            Flow::PacketSkip);
  EXPECT_EQ(s.HOUR, before.HOUR);
  EXPECT_EQ(s.VOLT_RAW, before.VOLT_RAW);
  EXPECT_EQ(s.PITCH_RAW, before.PITCH_RAW);
  EXPECT_EQ(s.RAW_HQ, before.RAW_HQ);
  EXPECT_EQ(s.RAW_PI, before.RAW_PI);
  EXPECT_EQ(s.PC, before.PC);
  EXPECT_EQ(h.main_text(), "");
}

}  // namespace
}  // namespace quillet
