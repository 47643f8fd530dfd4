// libFuzzer target that holds each fast path of the number reading and writing to the general
// path it stands in for, on the same field or value: the word-wide reader of short I fields
// against the general reader, whole records read through a layout against the engine's general
// reader and by the layout bound to an object's members, the columns of a line classified 16 at a
// time against one at a time, GGA sentences against their reading by layouts alone, the Fw.d
// writers of floats and doubles against the writer that rounds from the exact binary value, records
// written through a layout's compiled plan and by a layout bound to members against its general
// writer (runs of steady fields copied from the texts kept from earlier inputs too), the integer
// path of the shortest fixed notation against std::to_chars, and the inline search of a byte
// against memchr. A difference stops the fuzzer.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/console.hpp"
#include "common/field_writer.hpp"
#include "common/layout.hpp"
#include "common/layout_fast_paths.hpp"
#include "common/shortest_fixed.hpp"
#include "core/byte_scan.hpp"
#include "positioning/gga.hpp"

namespace {

template <typename Real>
void check_shortest(Real value) {
  if (!std::isfinite(value)) return;
  char fast[quillet::kShortestFixedRoom];
  char general[quillet::kShortestFixedRoom];
  const char* const fast_end = quillet::shortest_fixed_detail::fast(fast, value);
  if (fast_end == nullptr) return;
  const char* const general_end =
      std::to_chars(general, general + sizeof general, value, std::chars_format::fixed).ptr;
  const std::string_view a(fast, static_cast<std::size_t>(fast_end - fast));
  const std::string_view b(general, static_cast<std::size_t>(general_end - general));
  if (a != b) std::abort();
}

// Fw.d of the value through its fast writer and through the exact one.
template <typename Real>
void check_fixed(Real value, unsigned w, unsigned d) {
  char fast[32];
  char general[32];
  std::memset(fast, ' ', w);
  std::memset(general, ' ', w);
  if constexpr (sizeof(Real) == 4) {
    quillet::detail::write_fixed_float(fast, w, d, value);
  } else {
    quillet::detail::write_fixed_double(fast, w, d, value);
  }
  quillet::detail::write_fixed_general(general, w, d, static_cast<double>(value));
  if (std::memcmp(fast, general, w) != 0) std::abort();
}

struct RecordingConsole : quillet::Console {
  std::vector<std::string> lines;
  void write_line(std::string_view line) override { lines.emplace_back(line); }
  bool next_line(std::string&) override { return false; }
};

// The input as a record of the logger's three-array layout, read both ways.
void check_record(std::string_view line) {
  static const quillet::Layout layout(
      "(1X, 2X, 3I2, 1X, I3, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)");
  std::int32_t ints[2][15] = {};
  char chars[2][2] = {};
  std::vector<quillet::In> targets[2];
  for (int side = 0; side < 2; ++side) {
    std::int32_t* i = ints[side];
    char* c = chars[side];
    targets[side] = {i[0], i[1], i[2], i[3],  i[4],  c[0],  i[5],  c[1], i[6],
                     i[7], i[8], i[9], i[10], i[11], i[12], i[13], i[14]};
  }
  const auto fast = layout.read(line, targets[0].data(), targets[0].size());
  const auto general = layout.read_general(line, targets[1].data(), targets[1].size());
  if (fast.status != general.status || fast.item != general.item ||
      std::memcmp(ints[0], ints[1], sizeof ints[0]) != 0 ||
      std::memcmp(chars[0], chars[1], sizeof chars[0]) != 0) {
    std::abort();
  }
  // And through the layout bound to the members of an object.
  struct Record {
    std::int32_t i[15];
    char c[2];
  };
  Record prototype{};
  std::int32_t* i = prototype.i;
  char* c = prototype.c;
  static const quillet::Layout::Bound bound(
      layout,
      quillet::members_of(prototype, {i[0], i[1], i[2], i[3], i[4], c[0], i[5], c[1], i[6], i[7],
                                      i[8], i[9], i[10], i[11], i[12], i[13], i[14]}));
  Record record{};
  const auto read = bound.read_all(line, &record);
  if (read.status != general.status || read.item != general.item ||
      std::memcmp(record.i, ints[1], sizeof record.i) != 0 ||
      std::memcmp(record.c, chars[1], sizeof record.c) != 0) {
    std::abort();
  }
  // And bound to members in another order, as a station record holds them: runs of four, pairs
  // and members alone, which are stored in groups of their own.
  static constexpr int kPlace[15] = {0, 1, 2, 3, 16, 18, 7, 22, 25, 28, 31, 8, 9, 12, 13};
  struct Scattered {
    std::int32_t i[32];
    char c[2];
  };
  Scattered scattered_prototype{};
  std::int32_t* j = scattered_prototype.i;
  char* d = scattered_prototype.c;
  static const quillet::Layout::Bound scattered_bound(
      layout, quillet::members_of(
                  scattered_prototype,
                  {j[kPlace[0]], j[kPlace[1]], j[kPlace[2]], j[kPlace[3]], j[kPlace[4]], d[0],
                   j[kPlace[5]], d[1], j[kPlace[6]], j[kPlace[7]], j[kPlace[8]], j[kPlace[9]],
                   j[kPlace[10]], j[kPlace[11]], j[kPlace[12]], j[kPlace[13]], j[kPlace[14]]}));
  Scattered scattered{};
  const auto scattered_read = scattered_bound.read_all(line, &scattered);
  if (scattered_read.status != general.status || scattered_read.item != general.item ||
      std::memcmp(scattered.c, chars[1], sizeof scattered.c) != 0) {
    std::abort();
  }
  for (int k = 0; k < 15; ++k) {
    if (scattered.i[kPlace[k]] != ints[1][k]) std::abort();
  }
}

// The input as a line classified 16 columns at a time and one at a time.
void check_scan(std::string_view line) {
  using quillet::layout_detail::ScannedColumns;
  const std::size_t blocks = 1 + line.size() % 8;
  ScannedColumns fast;
  ScannedColumns slow;
  quillet::layout_detail::scan_columns(line, blocks, fast);
  quillet::layout_detail::scan_columns_scalar(line, blocks, slow);
  for (int h = 0; h < 2; ++h) {
    if (fast.plain[h] != slow.plain[h] || fast.numeric[h] != slow.numeric[h] ||
        fast.digit[h] != slow.digit[h]) {
      std::abort();
    }
  }
  if (std::memcmp(fast.values, slow.values, 16 * blocks + 16) != 0) std::abort();
}

// `body` as a GGA sentence (its checksum made right, so that it is decoded): READ_GPGGA against
// the layouts alone, and the reading of whole sentences, where it takes one, likewise.
void check_gga_body(std::string_view body) {
  std::string sentence(body);
  unsigned sum = 0;
  for (const char c : body) sum ^= static_cast<unsigned char>(c);
  constexpr char kHex[] = "0123456789ABCDEF";
  sentence += '*';
  sentence += kHex[sum >> 4 & 15];
  sentence += kHex[sum & 15];
  // The fast path gets the sentence alone in a buffer of its size, so that a read past its end
  // shows under the address sanitizer.
  const std::unique_ptr<char[]> exact(new char[sentence.size()]);
  std::memcpy(exact.get(), sentence.data(), sentence.size());
  const std::string_view exact_view(exact.get(), sentence.size());
  quillet::GpsFix fast;
  quillet::GpsFix general;
  RecordingConsole fast_console;
  RecordingConsole general_console;
  quillet::READ_GPGGA(exact_view, fast, fast_console);
  quillet::gga_detail::read_gpgga_general(sentence, general, general_console);
  const auto same = [&general](const quillet::GpsFix& fix) {
    return std::memcmp(&fix.GPS_TIME, &general.GPS_TIME, sizeof fix.GPS_TIME) == 0 &&
           std::memcmp(&fix.LAT, &general.LAT, sizeof fix.LAT) == 0 &&
           std::memcmp(&fix.LON, &general.LON, sizeof fix.LON) == 0 && fix.DMODE == general.DMODE &&
           fix.GPS_SATS == general.GPS_SATS &&
           std::memcmp(&fix.GPS_HDOP, &general.GPS_HDOP, sizeof fix.GPS_HDOP) == 0 &&
           std::memcmp(&fix.GPS_ALT, &general.GPS_ALT, sizeof fix.GPS_ALT) == 0;
  };
  if (!same(fast) || fast_console.lines != general_console.lines) std::abort();
  quillet::GpsFix plain;
  if (quillet::gga_detail::read_gpgga_plain(exact_view, plain) &&
      (!same(plain) || !general_console.lines.empty())) {
    std::abort();
  }
}

// The input as the body of a GGA sentence, and as the bytes written over a receiver's sentence
// from a column that its first byte chooses, so that most sentences stay near the usual shape.
void check_sentence(std::string_view text) {
  check_gga_body(text);
  std::string body = "GPGGA,123519.00,4807.0381,S,01131.0005,W,1,08,0.9,545.4,M,46.9,M,,";
  const std::size_t at = 6 + static_cast<unsigned char>(text[0]) % (body.size() - 6);
  const std::string_view bytes = text.substr(1, std::min<std::size_t>(text.size() - 1, 8));
  body.replace(at, std::min(bytes.size(), body.size() - at), bytes);
  check_gga_body(body);
}

// The values of a record of check_written as members of an object, one slot of each kind per
// field.
constexpr int kWrittenInts = 6;
constexpr int kWrittenReals = 22;

struct Written {
  std::int32_t ints[kWrittenInts + kWrittenReals];
  float floats[kWrittenInts + kWrittenReals];
  double doubles[kWrittenInts + kWrittenReals];
};

// The I fields, then the real ones: short whole parts, and whole parts of up to 9 digits beside
// fields with 4 to 10 or more columns left of the point.
constexpr std::string_view kWrittenLayout =
    "(I1, I3, I12, I6, I9, I7, F1.0, F3.0, F3.1, F4.2, F9.2, F5.3, F7.3, F9.6, F12.6, F8.1, "
    "F9.4, F14.8, F9.0, F12.1, F10.0, F11.2, F10.3, F16.6, F17.8, F7.1, F8.0, F13.8)";

// The layout bound to the members of pass `pass` of check_written: its k-th real field takes a
// float where (k + pass) % 4 is 0 or 2, else a double.
quillet::RecordWriter<Written> bound_layout(int pass) {
  const Written prototype{};
  return quillet::RecordWriter<Written>(
      kWrittenLayout, 0, 0,
      [pass](quillet::OutMembers& v, int, const Written& r) {
        for (int k = 0; k < kWrittenInts; ++k) v << r.ints[k];
        for (int k = kWrittenInts; k < kWrittenInts + kWrittenReals; ++k) {
          if ((k + pass) % 2 == 0) {
            v << r.floats[k];
          } else {
            v << r.doubles[k];
          }
        }
      },
      prototype);
}

// Values from the input written as records through the compiled plan, through the general
// writer and by the layout bound to members: every Fw.d and Iw shape of the fast paths, the bits
// as floats, doubles and integers.
void check_written(std::uint32_t f, std::uint64_t d) {
  static const quillet::Layout layout(kWrittenLayout);
  static const quillet::RecordWriter<Written> bound_layouts[4] = {bound_layout(0), bound_layout(1),
                                                                  bound_layout(2), bound_layout(3)};
  float fv;
  double dv;
  std::memcpy(&fv, &f, 4);
  std::memcpy(&dv, &d, 8);
  // The logger's magnitudes too: integers in units of a few decimals.
  const float scaled_f = static_cast<float>(static_cast<std::int32_t>(f)) / 1000.0f;
  const double scaled_d = static_cast<double>(static_cast<std::int64_t>(d) >> 20) / 1e6;
  const auto i = static_cast<std::int32_t>(f);
  for (int pass = 0; pass < 4; ++pass) {
    std::vector<quillet::Out> values{i,       i >> (f & 31), -(i >> 12),
                                     i >> 12, i >> (d & 31), static_cast<std::int32_t>(d >> 40)};
    for (int k = kWrittenInts; k < kWrittenInts + kWrittenReals; ++k) {
      if ((k + pass) % 4 == 0) values.emplace_back(fv);
      if ((k + pass) % 4 == 1) values.emplace_back(dv);
      if ((k + pass) % 4 == 2) values.emplace_back(scaled_f);
      if ((k + pass) % 4 == 3) values.emplace_back(scaled_d);
    }
    std::string compiled;
    std::string general;
    layout.write(compiled, values.data(), values.size());
    layout.write_general(general, values.data(), values.size());
    if (compiled != general) std::abort();
    // And by the layout bound to the members of an object that holds the same values.
    Written record{};
    for (std::size_t k = 0; k < values.size(); ++k) {
      const quillet::Out& v = values[k];
      if (v.kind == quillet::Out::Kind::Int) record.ints[k] = v.i;
      if (v.kind == quillet::Out::Kind::Real32) record.floats[k] = v.f;
      if (v.kind == quillet::Out::Kind::Real64) record.doubles[k] = v.d;
    }
    std::string bound;
    bound_layouts[pass].write(bound, 0, record);
    if (bound != general) std::abort();
  }
}

// A fix's columns as a run of steady values, one of them from a second object, written through
// KeptFields that last from input to input, twice (the second time copied, while the second
// object's other bytes change), against the general writer: the run is copied only for the bits
// it was written from, whatever the values (zeros of either sign, NaN payloads, values past their
// columns).
struct KeptRecord {
  std::int32_t ints[2];
  float floats[2];
  double doubles[4];
  float more[4];
};

void check_kept(std::uint32_t f, std::uint64_t d, float fv, double dv) {
  static constexpr std::string_view kText = "(I12, F12.6, F14.8, 1X, F7.1, 1X, I2, I3, F12.1)";
  static const quillet::Layout layout(kText);
  static const quillet::RecordWriter<KeptRecord, KeptRecord> writer(
      kText, 0, 0,
      [](quillet::OutMembers& v, int, const KeptRecord& r, const KeptRecord& o) {
        v.steady(true) << r.ints[0] << r.doubles[0] << r.doubles[1] << r.floats[0] << r.ints[1]
                       << o.ints[1] << r.doubles[2];
      },
      KeptRecord{}, KeptRecord{});
  static quillet::KeptFields kept;
  KeptRecord r{};
  r.ints[0] = static_cast<std::int32_t>(f);
  r.ints[1] = static_cast<std::int32_t>(d >> 58);
  r.floats[0] = fv;
  r.doubles[0] = dv;
  r.doubles[1] = static_cast<double>(static_cast<std::int64_t>(d) >> 20) / 1e6;
  r.doubles[2] = (f & 1) != 0 ? -0.0 : static_cast<double>(f) / 10.0;
  KeptRecord o{};
  o.ints[1] = static_cast<std::int32_t>(f >> 20) - 2048;
  const std::vector<quillet::Out> values{r.ints[0], r.doubles[0], r.doubles[1], r.floats[0],
                                         r.ints[1], o.ints[1],    r.doubles[2]};
  std::string general;
  layout.write_general(general, values.data(), values.size());
  for (int pass = 0; pass < 2; ++pass) {
    o.ints[0] = pass;
    o.floats[0] = fv * static_cast<float>(pass);
    std::string line(writer.write_room(0), ' ');
    line.resize(writer.write(line.data(), kept, 0, r, o));
    if (line != general) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  check_record(text);
  check_scan(text);
  check_sentence(text);
  // Line ends found inline against memchr, the first byte being the one looked for.
  const char* const found = quillet::find_byte(text.data() + 1, size - 1, text[0]);
  if (found != std::memchr(text.data() + 1, text[0], size - 1) ||
      found != quillet::byte_scan::find_portable(text.data() + 1, size - 1, text[0])) {
    std::abort();
  }
  // The first byte gives the field's width (1 to 8); its columns follow, blanks where the input
  // ends. The engine loads them as one word with blanks before the field.
  const std::size_t w = data[0] % 8 + 1;
  char bytes[8];
  std::memset(bytes, ' ', sizeof bytes);
  for (std::size_t k = 0; k < w; ++k) {
    if (1 + k < size) bytes[8 - w + k] = static_cast<char>(data[1 + k]);
  }
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  std::int32_t fast = 0;
  std::int32_t general = 0;
  if (quillet::layout_detail::read_int_word(word, fast)) {
    if (!quillet::layout_detail::read_int_general(std::string_view(bytes + 8 - w, w), general) ||
        general != fast) {
      std::abort();
    }
  }

  // The same bytes as the bits of a float and of a double.
  std::uint8_t bits[8] = {};
  std::memcpy(bits, data, size < 8 ? size : 8);
  std::uint32_t f;
  std::uint64_t d;
  std::memcpy(&f, bits, 4);
  std::memcpy(&d, bits, 8);
  float fv;
  double dv;
  std::memcpy(&fv, &f, 4);
  std::memcpy(&dv, &d, 8);
  check_shortest(fv);
  check_shortest(dv);
  // And values of the logger's kind: a few decimals from the input's integers.
  check_shortest(static_cast<float>(static_cast<std::int32_t>(f)) / 1000.0f);
  check_shortest(static_cast<double>(static_cast<std::int64_t>(d)) / 1e7);

  // A field from the ninth byte: widths 1 to 20, decimals 0 to 9 (9 is past the fast writers).
  const unsigned shape = size > 8 ? data[8] : 0;
  const unsigned fw = 1 + shape % 20;
  const unsigned fd = std::min(shape / 20 % 10, fw);
  check_fixed(fv, fw, fd);
  check_fixed(dv, fw, fd);
  check_written(f, d);
  check_kept(f, d, fv, dv);
  // Next to a decimal tie of that field: (m + 1/2) / 10^d from the input's integers, a few
  // units in the last place away.
  const double tie = (static_cast<double>(f % 100000000) + 0.5) / std::pow(10.0, fd);
  const int away = static_cast<int>(d >> 60) - 8;
  float ft = static_cast<float>(tie);
  double dt = tie;
  for (int k = 0; k < (away < 0 ? -away : away); ++k) {
    ft = std::nextafter(ft, away < 0 ? 0.0f : 1e30f);
    dt = std::nextafter(dt, away < 0 ? 0.0 : 1e300);
  }
  check_fixed(ft, fw, fd);
  check_fixed(dt, fw, fd);
  // Doubles below 1, down to where the integer path leaves them to std::to_chars.
  check_shortest(
      std::ldexp(static_cast<double>(d >> 11) / 9007199254740992.0, -static_cast<int>(f % 10)));
  return 0;
}
