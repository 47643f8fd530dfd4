// Channel conversion and the length-code prompt. Expected values are worked out by hand; the raw
// values and offsets are chosen so that every step is exact in binary where the test compares
// exactly, and compared within a few units in the last place otherwise.
#include "core/station_record.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/console.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

StationRecord with_raw(std::int32_t hi, std::int32_t pi, std::int32_t hq, std::int32_t pq) {
  StationRecord s;
  s.RAW_HI[0] = hi;
  s.RAW_PI[0] = pi;
  s.RAW_HQ[0] = hq;
  s.RAW_PQ[0] = pq;
  return s;
}

TEST(ChannelConversion, QuadratureVariantSubtractsPptOffsetsBeforeDividing) {
  StationRecord s = with_raw(-375, 50, 1250, 300);
  s.USER_OFFSET[0] = {0.25f, -0.5f, 0.5f, 1.0f};
  convert_scaled(s, ConversionVariant::Quadrature, {0.5f, 0.25f});
  EXPECT_EQ(s.HC[0], 24.0f);  // (12.50 - 0.5) / 0.5
  EXPECT_EQ(s.HI[0], -4.0f);  // -3.75 - 0.25
  EXPECT_EQ(s.PC[0], 8.0f);   // (3.00 - 1.0) / 0.25
  EXPECT_EQ(s.PI[0], 1.0f);   // 0.50 + 0.5
}

TEST(ChannelConversion, QuadratureOfOnePptOnAOneMetreReceiverIs56MilliSiemens) {
  StationRecord s = with_raw(0, 0, 100, 100);
  convert_scaled(s, ConversionVariant::Quadrature, {0.01776529f, 0.021496f});
  EXPECT_NEAR(s.HC[0], 56.2895f, 0.0005f);  // 1 / 0.01776529 = 56.28954
  EXPECT_NEAR(s.PC[0], 46.5203f, 0.0005f);  // 1 / 0.021496
}

TEST(ChannelConversion, ConductivityVariantTakesTenthsOfMilliSiemens) {
  StationRecord s = with_raw(1234, -5678, 1234, -40);
  convert_scaled(s, ConversionVariant::Conductivity, {0.2842446f, 0.2986345f});
  EXPECT_FLOAT_EQ(s.HC[0], 123.4f);  // 1234 / 10, whatever the spacing
  EXPECT_FLOAT_EQ(s.PC[0], -4.0f);
  EXPECT_FLOAT_EQ(s.HI[0], 12.34f);  // in-phase stays in 1/100 ppt
  EXPECT_FLOAT_EQ(s.PI[0], -56.78f);
}

TEST(ChannelConversion, ConductivityVariantTurnsPptOffsetsIntoMilliSiemens) {
  StationRecord s = with_raw(100, 100, 1000, 1000);
  s.USER_OFFSET[0] = {0.5f, 0.25f, 0.5f, 1.0f};
  convert_scaled(s, ConversionVariant::Conductivity, {0.25f, 0.5f});
  EXPECT_EQ(s.HC[0], 98.0f);  // 100.0 - 0.5 / 0.25
  EXPECT_EQ(s.PC[0], 98.0f);  // 100.0 - 1.0 / 0.5
  EXPECT_EQ(s.HI[0], 0.5f);   // 1.00 - 0.5
  EXPECT_EQ(s.PI[0], 0.75f);  // 1.00 - 0.25
}

TEST(ChannelConversion, ConductivityBeforeAnyFactorIsKnownLeavesOffsetsOut) {
  // No configuration yet: both factors 0. With and without offsets the result is raw / 10,
  // never NaN (0 / 0) or infinite (offset / 0).
  for (float offset : {0.0f, 0.5f}) {
    StationRecord s = with_raw(0, 0, 1234, 56);
    s.USER_OFFSET[0] = {0.0f, 0.0f, offset, -offset};
    convert_scaled(s, ConversionVariant::Conductivity, {0.0f, 0.0f});
    EXPECT_FLOAT_EQ(s.HC[0], 123.4f) << offset;
    EXPECT_FLOAT_EQ(s.PC[0], 5.6f) << offset;
  }
  // Only the factor that is 0 drops its offset term.
  StationRecord s = with_raw(0, 0, 1000, 1000);
  s.USER_OFFSET[0] = {0.0f, 0.0f, 1.0f, 1.0f};
  convert_scaled(s, ConversionVariant::Conductivity, {0.0f, 0.5f});
  EXPECT_EQ(s.HC[0], 100.0f);
  EXPECT_EQ(s.PC[0], 98.0f);
}

// D$ lines convert arrays 2 and 3 with the offsets and factors of array 1, X$ lines with their
// own: the array converted is the one named, whatever offsets and factors come with it.
TEST(ChannelConversion, AnyArrayWithTheOffsetsAndFactorsGiven) {
  StationRecord s = with_raw(100, 100, 1000, 1000);
  s.RAW_HI[2] = -375;
  s.RAW_PI[2] = 50;
  s.RAW_HQ[2] = 1250;
  s.RAW_PQ[2] = 300;
  convert_array(s, 3, ConversionVariant::Quadrature, {0.5f, 0.25f}, {0.25f, -0.5f, 0.5f, 1.0f});
  EXPECT_EQ(s.HC[2], 24.0f);  // (12.50 - 0.5) / 0.5
  EXPECT_EQ(s.HI[2], -4.0f);
  EXPECT_EQ(s.PC[2], 8.0f);
  EXPECT_EQ(s.PI[2], 1.0f);
  EXPECT_EQ(s.HC[0], 0.0f) << "array 1 untouched";
  EXPECT_EQ(s.HC[1], 0.0f) << "array 2 untouched";
  // A factor still 0 (array 1 before any configuration) leaves its offset term out.
  convert_array(s, 2, ConversionVariant::Conductivity, {0.0f, 0.0f}, {0.0f, 0.0f, 0.5f, 1.0f});
  EXPECT_EQ(s.HC[1], 0.0f);
  s.RAW_HQ[1] = 1234;
  convert_array(s, 2, ConversionVariant::Conductivity, {0.0f, 0.25f}, {0.0f, 0.0f, 0.5f, 1.0f});
  EXPECT_FLOAT_EQ(s.HC[1], 123.4f);
  EXPECT_EQ(s.PC[1], -4.0f);  // 0 - 1.0 / 0.25
}

// The channels converted four or twelve at a time against one at a time, bit for bit: raw values
// of every size, factors of the instruments' kind, 0, negative zero, tiny, huge and NaN, offsets
// likewise; the other arrays keep what they held.
TEST(ChannelConversion, VectorFormGivesTheBitsOfTheScalarForm) {
  std::mt19937 rng(31);
  const float specials[] = {0.0f,   -0.0f, 1.0f,  0.01776529f,   0.2842446f, 1e-30f,
                            1e-44f, 3e38f, -2.5f, std::nanf(""), INFINITY,   -INFINITY};
  const auto some_float = [&]() {
    switch (rng() % 4) {
      case 0:
        return specials[rng() % std::size(specials)];
      case 1:
        return static_cast<float>(static_cast<int>(rng() % 2001) - 1000) / 64.0f;
      case 2:
        return std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
      default:
        return std::ldexp(static_cast<float>(rng() % 1000000) / 1e6f,
                          static_cast<int>(rng() % 20) - 10);
    }
  };
  const auto some_raw = [&]() {
    switch (rng() % 3) {
      case 0:
        return static_cast<std::int32_t>(rng() % 20001) - 10000;
      case 1:
        return static_cast<std::int32_t>(rng());
      default:
        return static_cast<std::int32_t>(rng() % 3) - 1;
    }
  };
  const auto bits = [](const StationRecord& s) {
    std::vector<std::uint32_t> out;
    for (int k = 0; k < kStationArrays; ++k) {
      for (const float v : {s.HC[k], s.HI[k], s.PC[k], s.PI[k]}) {
        out.push_back(std::bit_cast<std::uint32_t>(v));
      }
    }
    return out;
  };
  for (int round = 0; round < 200000; ++round) {
    StationRecord s;
    for (int k = 0; k < kStationArrays; ++k) {
      s.RAW_HI[k] = some_raw();
      s.RAW_PI[k] = some_raw();
      s.RAW_HQ[k] = some_raw();
      s.RAW_PQ[k] = some_raw();
      s.HC[k] = s.HI[k] = s.PC[k] = s.PI[k] = static_cast<float>(k) + 0.5f;
    }
    const std::array<float, 4> offsets = {some_float(), some_float(), some_float(), some_float()};
    const ArrayFactors factors = {some_float(), some_float()};
    const int array = 1 + static_cast<int>(rng() % kStationArrays);
    const auto variant =
        rng() % 2 == 0 ? ConversionVariant::Quadrature : ConversionVariant::Conductivity;
    StationRecord vector = s;
    StationRecord scalar = s;
    convert_array(vector, array, variant, factors, offsets);
    convert_array_scalar(scalar, array, variant, factors, offsets);
    ASSERT_EQ(bits(vector), bits(scalar))
        << "round " << round << " array " << array << " raw " << s.RAW_HQ[array - 1] << ' '
        << s.RAW_PQ[array - 1] << " factors " << factors.F_HC << ' ' << factors.F_PC;
    // Every array from 1 on with the same factors and offsets (a D$ line).
    StationRecord shared = s;
    scalar = s;
    convert_arrays(shared, array, variant, factors, offsets);
    for (int k = 1; k <= array; ++k) convert_array_scalar(scalar, k, variant, factors, offsets);
    ASSERT_EQ(bits(shared), bits(scalar)) << "round " << round << " arrays 1.." << array;
    // A range of arrays, each with its own (an X$ line); the others keep their values.
    const int first = static_cast<int>(rng() % 4);
    const int last = static_cast<int>(rng() % 4);
    std::array<float, kStationArrays> hcp;
    std::array<float, kStationArrays> prp;
    std::array<std::array<float, 4>, kStationArrays> own;
    for (int k = 0; k < kStationArrays; ++k) {
      hcp[k] = some_float();
      prp[k] = some_float();
      for (float& offset : own[k]) offset = some_float();
    }
    StationRecord ranged = s;
    scalar = s;
    convert_arrays(ranged, first, last, variant, hcp, prp, own);
    for (int k = std::max(first, 1); k <= last; ++k) {
      convert_array_scalar(scalar, k, variant, {hcp[k - 1], prp[k - 1]}, own[k - 1]);
    }
    ASSERT_EQ(bits(ranged), bits(scalar))
        << "round " << round << " arrays " << first << ".." << last;
  }
}

TEST(ChannelConversion, PpmVariantUsesThePacketQuadraturesAndNoOffsets) {
  StationRecord s = with_raw(1500, -250, 777, 888);
  s.USER_OFFSET[0] = {9.0f, 9.0f, 9.0f, 9.0f};
  convert_ppm(s, 2000, -500, {0.5f, 0.25f});
  EXPECT_EQ(s.HC[0], 4.0f);     // 2000 ppm = 2 ppt, / 0.5
  EXPECT_EQ(s.PC[0], -2.0f);    // -0.5 ppt / 0.25
  EXPECT_EQ(s.HI[0], 1.5f);     // 1500 ppm
  EXPECT_EQ(s.PI[0], -0.25f);   // -250 ppm
  EXPECT_EQ(s.RAW_HQ[0], 777);  // the record's own quadratures are not touched
  EXPECT_EQ(s.RAW_PQ[0], 888);
  // A 2 m receiver: 71.06116 ppt of quadrature is 1000 mS/m.
  convert_ppm(s, 71061, 0, {0.07106116f, 0.07834492f});
  EXPECT_NEAR(s.HC[0], 999.9977f, 0.001f);  // 71.061 / 0.07106116 = 999.99775
}

struct PromptOutcome {
  std::int32_t code;
  std::vector<std::string> console;
};

PromptOutcome ask(const std::string& keyboard, std::int32_t before,
                  std::optional<std::int32_t> given = std::nullopt, bool batch = false) {
  std::istringstream in(keyboard);
  std::ostringstream out;
  StreamConsole stream_console(in, out);
  BatchConsole batch_console(stream_console);
  Console& console = batch ? static_cast<Console&>(batch_console) : stream_console;
  PromptOutcome outcome{before, {}};
  ask_length_code(outcome.code, "Enter Veltor Length Code (1, 2, or 4, default=1)", given, console);
  // What the prompt left unread stays for the next reader (a loop's own input).
  std::string rest;
  std::getline(in, rest, '\0');
  if (!rest.empty()) outcome.console.push_back("unread: " + rest);
  for (const std::string& line : testing::lines_of(out.str())) outcome.console.push_back(line);
  return outcome;
}

TEST(LengthCodePrompt, ShowsThePromptAndTakesAnIntegerReply) {
  const PromptOutcome answered = ask("62\n", 0);
  EXPECT_EQ(answered.code, 62);
  ASSERT_EQ(answered.console.size(), 1u);
  EXPECT_EQ(answered.console[0], " Enter Veltor Length Code (1, 2, or 4, default=1)");
  // An empty line gives no value: the reply is read from the next line.
  EXPECT_EQ(ask("\n421\n", 0).code, 421);
  EXPECT_EQ(ask(" 21 , 5\n", 0).code, 21);
}

TEST(LengthCodePrompt, EveryReplyWithoutAnIntegerGivesTheDefaultOne) {
  // The code in force before the prompt is never kept: the default 1 replaces it first.
  for (const char* keyboard : {"/\n", "abc\n", "2.5\n", ""}) {
    EXPECT_EQ(ask(keyboard, 421).code, 1) << '"' << keyboard << '"';
  }
}

TEST(LengthCodePrompt, AGivenCodeOrBatchModeReadsNothingAndShowsWhatWasTaken) {
  const std::string prompt = " Enter Veltor Length Code (1, 2, or 4, default=1)";
  const PromptOutcome given = ask("4\n", 0, 2);
  EXPECT_EQ(given.code, 2);
  EXPECT_EQ(given.console,
            (std::vector<std::string>{"unread: 4\n", prompt, "    (length code given: 2)"}));
  const PromptOutcome batch = ask("4\n", 421, std::nullopt, true);
  EXPECT_EQ(batch.code, 1);
  EXPECT_EQ(batch.console,
            (std::vector<std::string>{"unread: 4\n", prompt, "    (batch: default kept)"}));
  // A given code answers in batch mode too.
  EXPECT_EQ(ask("", 0, 642, true).code, 642);
}

}  // namespace
}  // namespace quillet
