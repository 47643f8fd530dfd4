#include "core/coil_configuration.hpp"

#include <string_view>

#include "common/console.hpp"
#include "common/free_form.hpp"

namespace quillet {
namespace {

// Which tables a row belongs to. The X$ geometry table has exactly the rows of the T$ "RAW " table
// (62 as a 2 m / 6 m pair, no 15 and no 215), so it uses that membership.
enum TableBit : std::uint8_t {
  kHeaderTable = 1,  // identification and file header lines
  kTNuldTable = 2,
  kTRawTable = 4,
  kAllTables = kHeaderTable | kTNuldTable | kTRawTable,
};

// One row: the spacing digits of arrays 1..N in array order (N is their count).
struct Row {
  std::int32_t code;
  std::string_view digits;
  std::uint8_t tables;
};

constexpr Row kRows[] = {
    {1, "1", kAllTables},
    {5, "5", kAllTables},
    {2, "2", kAllTables},
    {15, "51", kHeaderTable | kTNuldTable},
    {21, "12", kAllTables},
    {42, "24", kAllTables},
    {215, "512", kHeaderTable | kTNuldTable},
    {421, "124", kAllTables},
    {621, "126", kAllTables},
    {642, "246", kAllTables},
    {620, "26", kAllTables},
    // Identification and file header lines give 62 the default 4 m array; packets take it for
    // the 2 m / 6 m pair of the prototype.
    {62, "26", kTNuldTable | kTRawTable},
};

// Every code without a row of its table, 0 (no code yet) included.
constexpr Row kDefaultRow = {0, "4", kAllTables};

const Row& row_of(std::int32_t code, TableBit table) {
  for (const Row& row : kRows) {
    if (row.code == code && (row.tables & table) != 0) return row;
  }
  return kDefaultRow;
}

struct Spacings {
  float hcp;
  float prp;
};

// Every PRP receiver sits 0.1 m further out than the HCP receiver of its array.
Spacings spacings_of(char digit) {
  switch (digit) {
    case '5':
      return {0.5f, 0.6f};
    case '1':
      return {1.0f, 1.1f};
    case '2':
      return {2.0f, 2.1f};
    case '6':
      return {6.0f, 6.1f};
    default:
      return {4.0f, 4.1f};
  }
}

void set_geometry(CoilConfiguration& config, const Row& row) {
  const int n = static_cast<int>(row.digits.size());
  for (int k = 0; k < n; ++k) {
    const Spacings s = spacings_of(row.digits[k]);
    config.S_HC[k] = s.hcp;
    config.S_PC[k] = s.prp;
  }
  config.N = n;
}

// Written in place: packets rebuild the labels on every reading.
void set_labels(std::string& labels, const Row& row) {
  static constexpr std::string_view kBlock = "HC#-mS/m.HI#-ppt.PC#-mS/m..PI#-ppt.";
  labels.assign(kChannelLabelsLength, ' ');
  std::size_t pos = 0;
  // The default line is one character longer than a block: it starts with a full stop.
  if (&row == &kDefaultRow) labels[pos++] = '.';
  for (char digit : row.digits) {
    for (char c : kBlock) labels[pos++] = c == '#' ? digit : c;
  }
}

void compute_factors(CoilConfiguration& config, int first_array, int last_array) {
  const double c = factor_constant(config.PI_D);
  for (int k = first_array - 1; k < last_array; ++k) {
    config.F_HC[k] = conversion_factor(c, config.S_HC[k]);
    config.F_PC[k] = conversion_factor(c, config.S_PC[k]);
  }
}

}  // namespace

double factor_constant(double pi_d) {
  return pi_d * 2.0 * 9000.0 * static_cast<double>(4.0e-7f) * pi_d;
}

float conversion_factor(double c, float spacing) {
  const double s = spacing;
  return static_cast<float>(c * s * s * 0.25 * 1000.0 / 1000.0);
}

void CoilConfiguration::set_arrays() {
  const Row& row = row_of(LENGTH_CODE, kHeaderTable);
  set_geometry(*this, row);
  set_labels(CHLABELS, row);
}

void CoilConfiguration::finish_configuration(Console& console) {
  compute_factors(*this, 1, N);
  detect_prototype(console);
}

bool CoilConfiguration::detect_prototype(Console& console) {
  if (LENGTH_CODE != 620) return false;
  console.write(FreeLine() << "***Prototype V-62 Configuration detected!***");
  // (4/6)^2 and (4.1/6.1)^2 from the single-precision spacings, the ratio squared in double.
  PROTO_HC_SCALE = 0.44444445f;
  PROTO_PC_SCALE = 0.45176026f;
  return true;
}

void CoilConfiguration::apply_packet_table(PacketTable table) {
  switch (table) {
    case PacketTable::TNuld: {
      const Row& row = row_of(LENGTH_CODE, kTNuldTable);
      set_geometry(*this, row);
      set_labels(CHLABELS, row);
      break;
    }
    case PacketTable::TRaw:
      set_geometry(*this, row_of(LENGTH_CODE, kTRawTable));
      break;
    case PacketTable::Pdlmt: {
      const char digit = LENGTH_CODE == 1 ? '1' : LENGTH_CODE == 2 ? '2' : '4';
      const Spacings s = spacings_of(digit);
      S_HC[0] = s.hcp;
      S_PC[0] = s.prp;
      break;
    }
  }
  compute_factors(*this, 1, 1);
}

void CoilConfiguration::apply_extra_array_geometry() {
  set_geometry(*this, row_of(LENGTH_CODE, kTRawTable));
}

void CoilConfiguration::compute_extra_array_factors() {
  compute_factors(*this, 2, N);
}

}  // namespace quillet
