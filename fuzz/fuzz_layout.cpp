// libFuzzer target for the format engine alone: any line read with the program's packet layouts,
// and whatever was read written back through the record layouts. Much faster per input than the
// whole-program target, so it reaches deeper into the field readers and writers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/free_form.hpp"
#include "common/layout.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quillet::Layout kT83(
      "(3X, 3I2, 1X, I3, 1X, I6, 1X, A4, 1X, 6I6, 1X, I5, 1X, I5, 1X, 2I4)");
  static const quillet::Layout kS21("(3X, 3I2, 1X, F5.3, 1X, F5.1)");
  static const quillet::Layout kGga("(I2, F7.4)");
  static const quillet::Layout kEms(
      "(1X, 2X, 3I2, 1X, I4, I4, I4, 1X, I5, 1X, I2, 1X, I5, (M-1)I6)");
  static const quillet::Layout kGeosoft(
      "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, "
      "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)");
  static const quillet::Layout kSantos("(F12.1, 1X, F12.1, 1X, F8.2, N(2F9.2), 2F14.8, I12)");
  const std::string_view line(reinterpret_cast<const char*>(data), size);

  std::int32_t i[16] = {};
  float f[4] = {};
  double d[2] = {};
  std::string_view tag;
  kT83.read(line, {i[0], i[1], i[2], i[3], i[4], tag, i[5], i[6], i[7], i[8], i[9], i[10], i[11],
                   i[12], i[13], i[14]});
  kS21.read(line, {i[0], i[1], i[2], f[0], f[1]});
  kGga.read(line, {i[15], d[0]});
  const int m = (i[3] & 7) + 1;
  kEms.read(line, {i[0], i[1], i[2], i[3], i[4], i[5], i[6], i[7], i[8], i[9], i[10], i[11]}, m);
  quillet::read_free(line, {i[12], f[2], d[1]});

  // The record writers give one group of channels per coil array: 1 to 3. Values that do not
  // suit the layout are a fault of the caller and stop the program.
  std::string out;
  const int n = static_cast<int>(static_cast<std::uint32_t>(i[4]) % 3) + 1;
  std::vector<quillet::Out> geosoft = {i[0], "A", i[1], "B"};
  for (int k = 0; k < n; ++k) geosoft.insert(geosoft.end(), {f[k], f[k + 1], f[2], f[3]});
  geosoft.insert(geosoft.end(), {i[2], i[3], i[4], f[0], f[1], f[2], i[5], f[3], f[0], i[6], d[0],
                                 d[1], f[1], i[7]});
  kGeosoft.write(out, geosoft.data(), geosoft.size(), n);
  kSantos.write(out, {d[0], d[1], f[0], f[1], f[2], d[0], d[1], i[8]}, 1);
  quillet::FreeLine free_line;
  free_line << tag << i[9] << f[0] << d[0];
  return 0;
}
