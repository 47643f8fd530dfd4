// Throughput of the layout engine on the program's busiest records: writing a Geosoft XYZ station
// record, reading the 76-column D$ and 62-column X$ lines of a three-array reading and writing its
// XYZ and Santos records. Items per second are records (lines) per second. The *_Libc benchmarks
// do the same work with strtol and snprintf, as the yardstick the engine has to beat.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/layout.hpp"

namespace {

using quillet::In;
using quillet::Layout;
using quillet::Out;

void BM_WriteGeosoftRecord(benchmark::State& state) {
  const Layout layout(
      "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, "
      "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)");
  std::string line;
  float hc = 12.345f;
  float lat_offset = 0;
  std::int32_t station = 100;
  for (auto _ : state) {
    // Values change every record so that nothing is folded away.
    const std::array<Out, 22> values = {station,
                                        'N',
                                        7,
                                        'E',
                                        hc,
                                        -0.5f,
                                        31.25f + hc,
                                        456.78f,
                                        0,
                                        14,
                                        5,
                                        12.25f + lat_offset,
                                        12.5f,
                                        298.1f,
                                        3,
                                        1.5f,
                                        -2.25f,
                                        50400000 + station,
                                        48.1173 + lat_offset,
                                        -123.5,
                                        102.3f,
                                        2};
    layout.write(line, values.data(), values.size(), 1);
    benchmark::DoNotOptimize(line.data());
    ++station;
    hc += 0.01f;
    lat_offset += 1e-6f;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(line.size()) + " columns");
}
BENCHMARK(BM_WriteGeosoftRecord);

void BM_ReadDataLine(benchmark::State& state) {
  const Layout layout(
      "(1X, 2X, 3I2, 1X, I3, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)");
  // Lines made by the same layout, so that every field is well formed.
  std::string lines[3];
  layout.write(lines[0],
               {9, 30, 15, 250, 123, 'N', 4567, 'E', 3, 100, -200, 300, -400, 1234, 5678, 12, -34});
  layout.write(lines[1], {23, 59, 59, 999, 999999, 'A', 999999, 'B', 9, 99999, 99999, 99999, 99999,
                          99999, 99999, 999, 999});
  layout.write(lines[2], {0, 0, 1, 0, 1, ' ', 2, ' ', 0, 1, 2, 3, 4, 5, 6, 7, 8});
  std::int32_t v[15];
  char line_suffix = ' ', station_suffix = ' ';
  const std::array<In, 17> targets = {v[0],  v[1],           v[2],  v[3],  v[4], line_suffix,
                                      v[5],  station_suffix, v[6],  v[7],  v[8], v[9],
                                      v[10], v[11],          v[12], v[13], v[14]};
  std::size_t k = 0;
  for (auto _ : state) {
    const auto result = layout.read(lines[k], targets.data(), targets.size());
    if (!result.ok()) state.SkipWithError("a line did not read");
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(v);
    k = k == 2 ? 0 : k + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadDataLine);

// The D$ line of BM_ReadDataLine read field by field with strtol: each field copied out of its
// columns (strtol alone would run past a field that touches the next one).
void BM_ReadDataLine_Libc(benchmark::State& state) {
  const char* lines[] = {
      " D$090000 100      1       1 1   2919  -231  2819   281 12419 29919 -349 349",
      " D$235959 999 999999A 999999B9  99999 99999 99999 99999 99999 99999 999 999",
      " D$000001   0      1       2 0      1     2     3     4     5     6   7   8"};
  // Start column and width of the integer fields; the two suffixes are single characters.
  static const int kFields[][2] = {{3, 2},  {5, 2},  {7, 2},  {10, 3}, {14, 6},
                                   {22, 6}, {29, 1}, {31, 6}, {37, 6}, {43, 6},
                                   {49, 6}, {56, 5}, {62, 5}, {68, 4}, {72, 4}};
  std::int32_t v[15];
  char suffixes[2];
  std::size_t k = 0;
  for (auto _ : state) {
    const char* line = lines[k];
    char field[8];
    for (std::size_t f = 0; f < 15; ++f) {
      std::memcpy(field, line + kFields[f][0], static_cast<std::size_t>(kFields[f][1]));
      field[kFields[f][1]] = '\0';
      char* end = nullptr;
      v[f] = static_cast<std::int32_t>(std::strtol(field, &end, 10));
      if (end == field) v[f] = 0;  // a blank field reads as zero
    }
    suffixes[0] = line[20];
    suffixes[1] = line[27];
    benchmark::DoNotOptimize(v);
    benchmark::DoNotOptimize(suffixes);
    k = k == 2 ? 0 : k + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadDataLine_Libc);

// Arrays 2 and 3 of a three-array reading: the X$ line with milliseconds.
void BM_ReadThreeArrayLine(benchmark::State& state) {
  const Layout layout("(3X, 3I2, 1X, I3, 1X, (N-1)(4I6))");
  const std::string lines[] = {" X$090000 150   3919  -121  3819   161  4919    29  4819    71",
                               " X$235959 999 999999-99999999999-99999999999-99999999999-99999",
                               " X$000001   0      1     2     3     4     5     6     7     8"};
  std::int32_t v[12];
  const std::array<In, 12> targets = {v[0], v[1], v[2], v[3], v[4],  v[5],
                                      v[6], v[7], v[8], v[9], v[10], v[11]};
  std::size_t k = 0;
  for (auto _ : state) {
    const auto result = layout.read(lines[k], targets.data(), targets.size(), 3);
    if (!result.ok()) state.SkipWithError("a line did not read");
    benchmark::DoNotOptimize(v);
    k = k == 2 ? 0 : k + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadThreeArrayLine);

void BM_ReadThreeArrayLine_Libc(benchmark::State& state) {
  const char* lines[] = {" X$090000 150   3919  -121  3819   161  4919    29  4819    71",
                         " X$235959 999 999999-99999999999-99999999999-99999999999-99999",
                         " X$000001   0      1     2     3     4     5     6     7     8"};
  std::int32_t v[12];
  std::size_t k = 0;
  for (auto _ : state) {
    const char* line = lines[k];
    char field[8];
    const auto read = [&](std::size_t at, std::size_t width) {
      std::memcpy(field, line + at, width);
      field[width] = '\0';
      return static_cast<std::int32_t>(std::strtol(field, nullptr, 10));
    };
    v[0] = read(3, 2);
    v[1] = read(5, 2);
    v[2] = read(7, 2);
    v[3] = read(10, 3);
    for (std::size_t f = 0; f < 8; ++f) v[4 + f] = read(14 + 6 * f, 6);
    benchmark::DoNotOptimize(v);
    k = k == 2 ? 0 : k + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadThreeArrayLine_Libc);

// The XYZ record of a three-array reading (N = 3: twelve channel fields).
void BM_WriteThreeArrayXyzRecord(benchmark::State& state) {
  const Layout layout(
      "(I6, I6, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F7.2, 1X, I12, F12.6, 1X, F12.6, "
      "1X, F7.1, 1X, I2)");
  std::string line;
  float hc = 12.345f;
  std::int32_t station = 100;
  for (auto _ : state) {
    const std::array<Out, 27> values = {station, 1,      hc,     -0.5f,   31.25f,
                                        456.78f, hc + 1, -1.5f,  21.25f,  56.78f,
                                        hc + 2,  -2.5f,  11.25f, 6.78f,   1,
                                        9,       30,     15.25f, 12.345f, 298.15f,
                                        3,       -3.47f, 3.49f,  32400,   48.117 + hc * 1e-6,
                                        11.52,   245.1f};
    layout.write(line, values.data(), values.size(), 3);
    benchmark::DoNotOptimize(line.data());
    ++station;
    hc += 0.01f;
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(std::to_string(line.size()) + " columns");
}
BENCHMARK(BM_WriteThreeArrayXyzRecord);

void BM_WriteThreeArrayXyzRecord_Libc(benchmark::State& state) {
  char line[256];
  float hc = 12.345f;
  std::int32_t station = 100;
  for (auto _ : state) {
    const int length = std::snprintf(
        line, sizeof line,
        "%6d%6d%9.2f%9.2f%9.2f%9.2f%9.2f%9.2f%9.2f%9.2f%9.2f%9.2f%9.2f%9.2f%2d%3d%3d%7.3f%7.3f%7.1f"
        " %4d%7.2f%7.2f %12d%12.6f %12.6f %7.1f",
        station, 1, hc, -0.5, 31.25 + hc, 456.78, hc + 1, -1.5, 21.25, 56.78, hc + 2, -2.5, 11.25,
        6.78, 1, 9, 30, 15.25, 12.345, 298.15, 3, -3.47, 3.49, 32400, 48.117 + hc * 1e-6, 11.52,
        245.1);
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(length);
    ++station;
    hc += 0.01f;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteThreeArrayXyzRecord_Libc);

// The Santos record of a three-array reading: position, height, three pairs of channels.
void BM_WriteThreeArraySantosRecord(benchmark::State& state) {
  const Layout layout("(F12.1, 1X, F12.1, 1X, F8.2, N(2F9.2), 2F14.8, I12)");
  std::string line;
  double easting = 691234.5;
  for (auto _ : state) {
    const std::array<Out, 12> values = {easting, 5331234.5, 0.0f,   12.5f,     -0.5f, 31.25f,
                                        456.78f, 21.25f,    56.78f, 48.117312, 11.52, 32400};
    layout.write(line, values.data(), values.size(), 3);
    benchmark::DoNotOptimize(line.data());
    easting += 0.12;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteThreeArraySantosRecord);

void BM_WriteThreeArraySantosRecord_Libc(benchmark::State& state) {
  char line[160];
  double easting = 691234.5;
  for (auto _ : state) {
    const int length = std::snprintf(
        line, sizeof line, "%12.1f %12.1f %8.2f%9.2f%9.2f%9.2f%9.2f%9.2f%9.2f%14.8f%14.8f%12d",
        easting, 5331234.5, 0.0, 12.5, -0.5, 31.25, 456.78, 21.25, 56.78, 48.117312, 11.52, 32400);
    benchmark::DoNotOptimize(line);
    benchmark::DoNotOptimize(length);
    easting += 0.12;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteThreeArraySantosRecord_Libc);

void BM_WriteFixedField(benchmark::State& state) {
  const Layout layout("(F12.6)");
  std::string line;
  double value = 48.117312345;
  for (auto _ : state) {
    layout.write(line, {value});
    benchmark::DoNotOptimize(line.data());
    value += 1.1e-7;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteFixedField);

void BM_ReadFixedField(benchmark::State& state) {
  const Layout layout("(F9.2)");
  const std::string fields[] = {"  1234.56", "   -12.34", "123456789"};
  float value = 0;
  std::size_t k = 0;
  for (auto _ : state) {
    const auto result = layout.read(fields[k], {value});
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(value);
    k = k == 2 ? 0 : k + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadFixedField);

}  // namespace
