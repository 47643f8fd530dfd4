// Differential tests of input: fixed-column fields and list-directed values read by the engine
// and by gfortran's formatted and list-directed READ from the same random texts (fixed seeds).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/free_form.hpp"
#include "common/layout.hpp"
#include "gfortran_harness.hpp"
#include "gfortran_values.hpp"

namespace quillet::gfortran {
namespace {

// Reads one variable per record (three integers for kind T) from an internal file (a text of the
// given length, so a short line reads blanks past its end) and prints the status and the
// values' bits. Format "*" is a list-directed read. The text arrives as character codes, so that
// tabs and carriage returns reach the read as they stand.
constexpr const char* kReadProgram = R"(
program read_one
  implicit none
  character(len=120) :: fmt, line
  character(len=1) :: kind
  integer :: n, i, j, ll, ios, iv, iv3(3), codes(120)
  real(4) :: f
  real(8) :: d
  read(*,*) n
  do i = 1, n
    read(*,'(A1,1X,A)') kind, fmt
    read(*,'(I3,120Z2)') ll, (codes(j), j = 1, ll)
    line = ' '
    do j = 1, ll
      line(j:j) = achar(codes(j))
    end do
    ios = 0
    select case (kind)
    case ('I')
      iv = -7
      if (fmt == '*') then
        read(line(1:ll), *, iostat=ios) iv
      else
        read(line(1:ll), fmt, iostat=ios) iv
      end if
      write(*,'(I0,1X,I0)') ios, iv
    case ('T')
      iv3 = -7
      read(line(1:ll), *, iostat=ios) iv3
      write(*,'(I0,1X,I0,2(",",I0))') ios, iv3
    case ('F')
      f = -7
      if (fmt == '*') then
        read(line(1:ll), *, iostat=ios) f
      else
        read(line(1:ll), fmt, iostat=ios) f
      end if
      write(*,'(I0,1X,Z8.8)') ios, transfer(f, 0_4)
    case ('D')
      d = -7
      if (fmt == '*') then
        read(line(1:ll), *, iostat=ios) d
      else
        read(line(1:ll), fmt, iostat=ios) d
      end if
      write(*,'(I0,1X,Z16.16)') ios, transfer(d, 0_8)
    end select
  end do
end program
)";

struct ReadRecord {
  char kind;           // I, F (real(4)), D (real(8)) or T (three integers, list-directed)
  std::string format;  // "*" for list-directed
  std::string line;
};

struct Outcome {
  int status;  // 0 read, 1 refused, -1 end of input
  std::string value;
};

int status_of(const FreeReadResult& result) {
  return result.status == FreeReadStatus::Ok           ? 0
         : result.status == FreeReadStatus::EndOfInput ? -1
                                                       : 1;
}

Outcome engine_outcome(const ReadRecord& r) {
  if (r.kind == 'T') {
    std::int32_t v[3] = {-7, -7, -7};
    const int status = status_of(read_free(r.line, {v[0], v[1], v[2]}));
    return {status, std::to_string(v[0]) + ',' + std::to_string(v[1]) + ',' + std::to_string(v[2])};
  }
  std::int32_t i = -7;
  float f = -7;
  double d = -7;
  In target = r.kind == 'I' ? In(i) : r.kind == 'F' ? In(f) : In(d);
  int status = 0;
  if (r.format == "*") {
    status = status_of(read_free(r.line, {target}));
  } else {
    status = Layout(r.format).read(r.line, &target, 1).ok() ? 0 : 1;
  }
  if (r.kind == 'I') return {status, std::to_string(i)};
  return {status, r.kind == 'F' ? hex(f) : hex(d)};
}

Outcome fortran_outcome(const std::string& line) {
  std::istringstream text(line);
  int ios = 0;
  std::string value;
  text >> ios >> value;
  return {ios == 0 ? 0 : ios < 0 ? -1 : 1, value};
}

// Runs every record through both readers. `refused_on_purpose` names the texts that the engine
// refuses although gfortran reads them; for those only the engine's refusal is checked.
template <typename Refused>
void compare_reads(const std::vector<ReadRecord>& records, Refused refused_on_purpose) {
  std::ostringstream input;
  input << records.size() << '\n';
  for (const auto& r : records) {
    char length[8];
    std::snprintf(length, sizeof length, "%3zu", r.line.size());
    input << r.kind << ' ' << r.format << '\n' << length;
    for (const char c : r.line) {
      char code[4];
      std::snprintf(code, sizeof code, "%02X", static_cast<unsigned char>(c));
      input << code;
    }
    input << '\n';
  }
  const auto fortran = run(kReadProgram, input.str());
  ASSERT_TRUE(fortran);
  ASSERT_EQ(fortran->size(), records.size());
  int reported = 0, differing = 0, compared = 0;
  for (std::size_t k = 0; k < records.size(); ++k) {
    const ReadRecord& r = records[k];
    const Outcome mine = engine_outcome(r);
    const Outcome theirs = fortran_outcome((*fortran)[k]);
    bool same;
    if (refused_on_purpose(r)) {
      same = mine.status == 1;  // whatever gfortran makes of it
    } else {
      ++compared;
      same = mine.status == theirs.status && (mine.status != 0 || mine.value == theirs.value);
    }
    if (same) continue;
    ++differing;
    if (reported++ < 8) {
      ADD_FAILURE() << r.kind << " " << r.format << " of [" << r.line
                    << "]\n  engine:   " << mine.status << " " << mine.value
                    << "\n  gfortran: " << theirs.status << " " << theirs.value;
    }
  }
  EXPECT_EQ(differing, 0) << "of " << records.size() << " records";
  EXPECT_GT(compared, static_cast<int>(records.size()) / 2) << "too few records compared";
}

// The field of a descriptor that starts at column `skip` + 1 of the line.
std::string field_of(const ReadRecord& r, std::size_t skip, std::size_t w) {
  if (skip >= r.line.size()) return {};
  return r.line.substr(skip, w);
}

// Numeric fields that gfortran reads and the engine refuses by design: exponents, more than one
// sign, a sign after a digit or the point, or a sign or a point without any digit.
bool refused_numeric_field(std::string_view field) {
  int signs = 0;
  bool digit = false, point = false, late_sign = false, letter = false;
  for (const char c : field) {
    if (c >= '0' && c <= '9') digit = true;
    if (c == '.') point = true;
    if (c == '+' || c == '-') {
      ++signs;
      late_sign = late_sign || digit || point;
    }
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D' || c == 'q' || c == 'Q') letter = true;
  }
  return signs > 1 || late_sign || letter || (!digit && (signs > 0 || point));
}

// A field of `w` columns: mostly a well-formed number with blanks about it, sometimes random
// characters from the alphabet of numbers (and a few letters).
std::string random_field(Rng& rng, int w, bool with_point) {
  std::string field;
  if (chance(rng, 0.7)) {
    field.append(static_cast<std::size_t>(uniform(rng, 0, w / 3)), ' ');
    const bool sign = chance(rng, 0.4);
    if (sign) field += chance(rng, 0.6) ? '-' : '+';
    const int digits = uniform(rng, sign ? 1 : 0, w);
    const int point_at = with_point && chance(rng, 0.5) ? uniform(rng, 0, digits) : -1;
    for (int k = 0; k < digits; ++k) {
      if (k == point_at) field += '.';
      field += chance(rng, 0.08) ? ' ' : static_cast<char>('0' + uniform(rng, 0, 9));
    }
    if (point_at == digits) field += '.';
  } else {
    const char alphabet[] = "0123456789012345678901234567890123456789      +-..eEdx";
    for (int k = uniform(rng, 0, w); k > 0; --k) {
      field += alphabet[uniform(rng, 0, static_cast<int>(sizeof alphabet) - 2)];
    }
  }
  if (static_cast<int>(field.size()) > w) field.resize(static_cast<std::size_t>(w));
  // Right-justified as the logger writes, or left as it stands, or padded out to the field.
  if (chance(rng, 0.5)) field.insert(0, static_cast<std::size_t>(w) - field.size(), ' ');
  return field;
}

// "(kX, Iw)" or "(kX, Fw.d)" (d >= 0), without the kX when k is 0.
std::string layout_of(int skip, char letter, int w, int d = -1) {
  std::string layout = "(";
  if (skip > 0) {
    layout += std::to_string(skip);
    layout += "X, ";
  }
  layout += letter;
  layout += std::to_string(w);
  if (d >= 0) {
    layout += '.';
    layout += std::to_string(d);
  }
  layout += ')';
  return layout;
}

TEST(GfortranRead, IntegerFields) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(9009);
  std::vector<ReadRecord> records;
  for (int k = 0; k < 3000; ++k) {
    const int w = uniform(rng, 1, 13);
    const int skip = chance(rng, 0.3) ? uniform(rng, 1, 5) : 0;
    const std::string prefix = random_text(rng, skip);
    std::string field = random_field(rng, w, false);
    if (chance(rng, 0.25)) {
      // A number as the program writes them, or one at the edges of the 32-bit range.
      const char* edges[] = {"2147483647",  "2147483648", "-2147483648", "-2147483649",
                             "+2147483647", "4294967296", "-0000000001", "02147483648"};
      field = chance(rng, 0.5) ? std::to_string(random_int(rng)) : edges[uniform(rng, 0, 7)];
      if (static_cast<int>(field.size()) < w) field.insert(0, w - field.size(), ' ');
    }
    std::string line =
        prefix + std::string(static_cast<std::size_t>(skip) - prefix.size(), ' ') + field;
    if (chance(rng, 0.2)) {
      line.resize(static_cast<std::size_t>(uniform(rng, 0, static_cast<int>(line.size()))));
    }
    records.push_back({'I', layout_of(skip, 'I', w), line});
  }
  // gfortran and the engine agree on every integer field.
  compare_reads(records, [](const ReadRecord&) { return false; });
}

TEST(GfortranRead, FixedFieldsIntoSingleAndDoublePrecision) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(10010);
  std::vector<ReadRecord> records;
  for (int k = 0; k < 5000; ++k) {
    const int w = uniform(rng, 1, 14);
    const int d = uniform(rng, 0, std::min(8, w));
    const int skip = chance(rng, 0.3) ? uniform(rng, 1, 5) : 0;
    std::string line =
        std::string(static_cast<std::size_t>(skip), ' ') + random_field(rng, w, true);
    if (chance(rng, 0.2))
      line.resize(static_cast<std::size_t>(uniform(rng, 0, static_cast<int>(line.size()))));
    records.push_back({chance(rng, 0.5) ? 'F' : 'D', layout_of(skip, 'F', w, d), line});
  }
  compare_reads(records, [](const ReadRecord& r) {
    // The field is what follows the optional "kX, " up to the descriptor's width.
    const std::size_t open = r.format.find('F');
    const std::size_t skip = r.format.find('X') == std::string::npos
                                 ? 0
                                 : static_cast<std::size_t>(std::stoi(r.format.substr(1)));
    const std::size_t w = static_cast<std::size_t>(std::stoi(r.format.substr(open + 1)));
    return refused_numeric_field(field_of(r, skip, w));
  });
}

// A list-directed value: integers of any length, reals with points and exponents in range.
std::string random_token(Rng& rng, bool real) {
  std::string token;
  if (chance(rng, 0.3)) token += chance(rng, 0.6) ? '-' : '+';
  const int digits = uniform(rng, 0, real ? 20 : 11);
  const int point_at = real && chance(rng, 0.7) ? uniform(rng, 0, digits) : -1;
  for (int k = 0; k < digits; ++k) {
    if (k == point_at) token += '.';
    token += static_cast<char>('0' + uniform(rng, 0, 9));
  }
  if (point_at == digits) token += '.';
  if (real && chance(rng, 0.4)) {
    // An exponent letter, or only the exponent's sign ("1.5+3").
    const char letter = "eEdDqQ "[uniform(rng, 0, 6)];
    if (letter != ' ') token += letter;
    if (letter == ' ' || chance(rng, 0.5)) token += chance(rng, 0.5) ? '-' : '+';
    token += std::to_string(uniform(rng, 0, 15));
  }
  if (chance(rng, 0.05)) token += "xa.e"[uniform(rng, 0, 3)];  // spoilt
  return token;
}

TEST(GfortranRead, ListDirectedValues) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(11011);
  std::vector<ReadRecord> records;
  for (int k = 0; k < 3000; ++k) {
    const char kind = "IFD"[uniform(rng, 0, 2)];
    std::string line = std::string(static_cast<std::size_t>(uniform(rng, 0, 3)), ' ') +
                       random_token(rng, kind != 'I');
    if (chance(rng, 0.2)) line += chance(rng, 0.5) ? " , 5" : "/";
    records.push_back({kind, "*", line});
  }
  compare_reads(records, [](const ReadRecord&) { return false; });
}

// Lists of values, empty values and repeat forms ("3*7", "2*"), separated by blanks, tabs,
// carriage returns and commas, read into one number or into three integers.
TEST(GfortranRead, ListDirectedRepeatsAndSeparators) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(13013);
  const char* separators[] = {" ", ",", " , ", "\t", "\r", "\t,", ",\r", "  ", "\r\r"};
  std::vector<ReadRecord> records;
  for (int k = 0; k < 4000; ++k) {
    const char kind = "TTIFD"[uniform(rng, 0, 4)];
    const bool real = kind == 'F' || kind == 'D';
    std::string line;
    if (chance(rng, 0.3)) line += chance(rng, 0.7) ? "\r" : "\t";  // a stray leading blank
    for (int item = uniform(rng, 1, 4); item > 0; --item) {
      const double form = uniform(rng, 0, 99) / 100.0;
      if (form < 0.35) {
        // A repeat count: mostly 1 to 3, sometimes 0, with leading zeros, or spoilt.
        std::string count = std::to_string(uniform(rng, chance(rng, 0.1) ? 0 : 1, 3));
        if (chance(rng, 0.1)) count = "0" + count;
        if (chance(rng, 0.05)) count = chance(rng, 0.5) ? "-2" : "x";
        if (chance(rng, 0.03)) count = chance(rng, 0.5) ? "200000000" : "200000001";
        line += count;
        line += chance(rng, 0.05) ? " *" : "*";
        if (chance(rng, 0.7)) line += random_token(rng, real && chance(rng, 0.9));
      } else if (form < 0.45) {
        // An empty value: nothing before the next comma.
      } else {
        line += random_token(rng, real && chance(rng, 0.9));
      }
      line += separators[uniform(rng, 0, static_cast<int>(std::size(separators)) - 1)];
    }
    if (chance(rng, 0.15)) line += chance(rng, 0.5) ? "/ 9" : "/";
    if (line.size() > 110) line.resize(110);  // the Fortran side holds 120 characters
    records.push_back({kind, "*", line});
  }
  compare_reads(records, [](const ReadRecord&) { return false; });
}

// The 76-column D$ layout read field by field against gfortran, with every variable printed.
TEST(GfortranRead, TheSeventySixColumnLayout) {
  QUILLET_REQUIRE_GFORTRAN();
  const std::string layout =
      "(1X, 2X, 3I2, 1X, I3, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)";
  const std::string program = R"(
program read_d
  implicit none
  character(len=120) :: line
  character(len=1) :: c1, c2
  integer :: v(15), n, i, ll, ios
  read(*,*) n
  do i = 1, n
    read(*,'(I3,A)') ll, line
    v = -7
    c1 = '?'
    c2 = '?'
    read(line(1:ll), ')" + layout +
                              R"(', iostat=ios) v(1:5), c1, v(6), c2, v(7:15)
    write(*,'(I0,15(1X,I0),1X,A1,A1)') min(max(ios, -1), 1), v, c1, c2
  end do
end program
)";
  Rng rng(12012);
  std::ostringstream input;
  std::vector<std::string> lines, engine;
  const int count = 1500;
  input << count << '\n';
  for (int k = 0; k < count; ++k) {
    std::string line = " D$";
    for (const int w : {2, 2, 2}) line += random_field(rng, w, false);
    line += ' ' + random_field(rng, 3, false) + ' ' + random_field(rng, 6, false) + "N " +
            random_field(rng, 6, false) + "E" + random_field(rng, 1, false) + ' ';
    for (int r = 0; r < 4; ++r) line += random_field(rng, 6, false);
    line += ' ' + random_field(rng, 5, false) + ' ' + random_field(rng, 5, false) + ' ' +
            random_field(rng, 4, false) + random_field(rng, 4, false);
    if (chance(rng, 0.2))
      line.resize(std::min(line.size(), static_cast<std::size_t>(uniform(rng, 10, 76))));
    lines.push_back(line);
    char length[8];
    std::snprintf(length, sizeof length, "%3zu", line.size());
    input << length << line << '\n';

    std::int32_t v[15];
    std::fill(std::begin(v), std::end(v), -7);
    char c1 = '?', c2 = '?';
    const ReadResult r =
        Layout(layout).read(line, {v[0], v[1], v[2], v[3], v[4], c1, v[5], c2, v[6], v[7], v[8],
                                   v[9], v[10], v[11], v[12], v[13], v[14]});
    std::string expected = r.ok() ? "0" : "1";
    for (const auto x : v) expected += ' ' + std::to_string(x);
    expected += ' ';
    expected += c1;
    expected += c2;
    engine.push_back(expected);
  }
  const auto fortran = run(program, input.str());
  ASSERT_TRUE(fortran);
  ASSERT_EQ(fortran->size(), engine.size());
  // Column and width of every integer field of the layout, counted by hand.
  constexpr std::pair<std::size_t, std::size_t> kIntFields[] = {
      {4, 2},  {6, 2},  {8, 2},  {11, 3}, {15, 6}, {23, 6}, {30, 1}, {32, 6},
      {38, 6}, {44, 6}, {50, 6}, {57, 5}, {63, 5}, {69, 4}, {73, 4}};
  int differing = 0, compared = 0;
  for (std::size_t k = 0; k < engine.size(); ++k) {
    // A sign without digits is refused by design (gfortran reads "+ " as 0 but refuses "+" at
    // the end of a field).
    bool sign_only = false;
    for (const auto& [column, w] : kIntFields) {
      const std::string field = column - 1 < lines[k].size() ? lines[k].substr(column - 1, w) : "";
      sign_only = sign_only || (field.find_first_of("+-") != std::string::npos &&
                                field.find_first_of("0123456789") == std::string::npos);
    }
    bool same;
    if (sign_only) {
      same = engine[k][0] == '1';
    } else {
      ++compared;
      // After a refused field the two may leave different partial results; the status must
      // agree, and all values when both read the whole line.
      same = engine[k][0] == '1' ? (*fortran)[k][0] == '1' : engine[k] == (*fortran)[k];
    }
    if (!same && differing++ < 8) {
      ADD_FAILURE() << "[" << lines[k] << "]\n  engine:   " << engine[k]
                    << "\n  gfortran: " << (*fortran)[k];
    }
  }
  EXPECT_GT(compared, count / 2);
  EXPECT_EQ(differing, 0) << "of " << engine.size() << " lines";
}

}  // namespace
}  // namespace quillet::gfortran
