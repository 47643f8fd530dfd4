// Throughput of the layout engine on the program's busiest records: writing a Geosoft XYZ station
// record and reading a 76-column D$ data line. Items per second are records (lines) per second.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
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
