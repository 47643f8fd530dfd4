// Differential tests of output: the layout engine and free-form lines against gfortran's
// formatted and list-directed WRITE for thousands of random values (fixed seeds).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
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

// Writes one value per record: a kind letter and a format (or * for list-directed) on one line,
// then the value as an integer, a hexadecimal bit pattern or a length-prefixed text.
constexpr const char* kOneValueProgram = R"(
program one_value
  implicit none
  character(len=80) :: fmt, text
  character(len=1) :: kind
  integer :: n, i, iv, tl
  integer(4) :: b4
  integer(8) :: b8
  read(*,*) n
  do i = 1, n
    read(*,'(A1,1X,A)') kind, fmt
    select case (kind)
    case ('I')
      read(*,*) iv
      if (fmt == '*') then
        print *, iv
      else
        write(*,fmt) iv
      end if
    case ('F')
      read(*,'(Z8)') b4
      if (fmt == '*') then
        print *, transfer(b4, 1.0_4)
      else
        write(*,fmt) transfer(b4, 1.0_4)
      end if
    case ('D')
      read(*,'(Z16)') b8
      if (fmt == '*') then
        print *, transfer(b8, 1.0_8)
      else
        write(*,fmt) transfer(b8, 1.0_8)
      end if
    case ('A')
      read(*,'(I3,A)') tl, text
      if (fmt == '*') then
        print *, text(1:tl)
      else
        write(*,fmt) text(1:tl)
      end if
    end select
  end do
end program
)";

struct OneValueRecord {
  std::string format;  // "*" for list-directed
  Value value;
};

std::string describe(const OneValueRecord& r) {
  std::ostringstream text;
  text << r.format << " of ";
  if (const auto* i = std::get_if<std::int32_t>(&r.value)) text << *i;
  if (const auto* f = std::get_if<float>(&r.value)) text << "float " << hex(*f);
  if (const auto* d = std::get_if<double>(&r.value)) text << "double " << hex(*d);
  if (const auto* s = std::get_if<std::string>(&r.value)) text << '"' << *s << '"';
  return text.str();
}

std::string engine_line(const OneValueRecord& r) {
  if (r.format == "*") {
    FreeLine line;
    if (const auto* i = std::get_if<std::int32_t>(&r.value)) line << *i;
    if (const auto* f = std::get_if<float>(&r.value)) line << *f;
    if (const auto* d = std::get_if<double>(&r.value)) line << *d;
    if (const auto* s = std::get_if<std::string>(&r.value)) line << *s;
    return line.str();
  }
  std::string line;
  const Out out = to_out(r.value);
  Layout(r.format).write(line, &out, 1);
  return line;
}

void compare_one_value_records(
    const std::vector<OneValueRecord>& records,
    const std::function<std::string(const OneValueRecord&)>& engine_of = engine_line) {
  std::ostringstream input;
  input << records.size() << '\n';
  std::vector<std::string> engine, inputs;
  for (const auto& r : records) {
    if (const auto* i = std::get_if<std::int32_t>(&r.value)) {
      input << "I " << r.format << '\n' << *i << '\n';
    } else if (const auto* f = std::get_if<float>(&r.value)) {
      input << "F " << r.format << '\n' << hex(*f) << '\n';
    } else if (const auto* d = std::get_if<double>(&r.value)) {
      input << "D " << r.format << '\n' << hex(*d) << '\n';
    } else {
      const auto& s = std::get<std::string>(r.value);
      char length[8];
      std::snprintf(length, sizeof length, "%3zu", s.size());
      input << "A " << r.format << '\n' << length << s << '\n';
    }
    engine.push_back(engine_of(r));
    inputs.push_back(describe(r));
  }
  const auto fortran = run(kOneValueProgram, input.str());
  ASSERT_TRUE(fortran);
  expect_same_lines(engine, *fortran, inputs);
}

TEST(GfortranWrite, IntegerFields) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(1001);
  std::vector<OneValueRecord> records;
  for (int k = 0; k < 3000; ++k) {
    records.push_back({"(I" + std::to_string(uniform(rng, 1, 12)) + ")", random_int(rng)});
  }
  compare_one_value_records(records);
}

template <typename Real>
std::vector<OneValueRecord> fixed_records(std::uint64_t seed, int count) {
  Rng rng(seed);
  std::vector<OneValueRecord> records;
  for (int k = 0; k < count; ++k) {
    // Mostly F5.1 to F14.8; narrower fields too, for the leading-zero and asterisk rules.
    const int w = chance(rng, 0.85) ? uniform(rng, 5, 14) : uniform(rng, 1, 4);
    const int d = uniform(rng, 0, std::min(8, w - 1));
    records.push_back(
        {"(F" + std::to_string(w) + "." + std::to_string(d) + ")", random_real<Real>(rng, w, d)});
  }
  return records;
}

TEST(GfortranWrite, FixedFieldsOfSinglePrecisionValues) {
  QUILLET_REQUIRE_GFORTRAN();
  compare_one_value_records(fixed_records<float>(2002, 4000));
}

TEST(GfortranWrite, FixedFieldsOfDoublePrecisionValues) {
  QUILLET_REQUIRE_GFORTRAN();
  compare_one_value_records(fixed_records<double>(3003, 4000));
}

// An Fw.d record of `v` moved `steps` reals away from 0 (toward it when negative), negated at
// random.
template <typename Real>
OneValueRecord nudged_record(Rng& rng, Real v, int steps, int w, int d) {
  for (; steps != 0; steps += steps > 0 ? -1 : 1) {
    v = std::nextafter(v, steps > 0 ? std::numeric_limits<Real>::max() : Real(0));
  }
  if (chance(rng, 0.4)) v = -v;
  return {"(F" + std::to_string(w) + "." + std::to_string(d) + ")", v};
}

// Values at the edges where the writer changes how it rounds: magnitudes around 2^31, and small
// ones about 2^-29 (float) or 2^-28 (double), which at 8 decimals round to 0 or 1 in the last
// place.
template <typename Real>
std::vector<OneValueRecord> edge_records(std::uint64_t seed, int count) {
  Rng rng(seed);
  std::vector<OneValueRecord> records;
  for (int k = 0; k < count; ++k) {
    const int d = uniform(rng, 0, 9);
    const int w = uniform(rng, d + 2, 30);
    const int scale = chance(rng, 0.5) ? 31 + uniform(rng, -1, 14)
                                       : (sizeof(Real) == 4 ? -29 : -28) + uniform(rng, -2, 2);
    const Real v = static_cast<Real>(std::ldexp(1.0, scale));
    records.push_back(nudged_record(rng, v, uniform(rng, -4, 4), w, d));
  }
  return records;
}

TEST(GfortranWrite, FixedFieldsAtTheEdgesOfTheShortRoundings) {
  QUILLET_REQUIRE_GFORTRAN();
  compare_one_value_records(edge_records<float>(4004, 1500));
  compare_one_value_records(edge_records<double>(5005, 1500));
}

// Values next to a decimal tie at the last written digit (…5 one place further): the real
// nearest to the decimal and its neighbours, which lie just above or below the tie in binary and
// must round accordingly. Random values almost never land this close.
template <typename Real>
std::vector<OneValueRecord> near_tie_records(std::uint64_t seed, int count) {
  Rng rng(seed);
  std::vector<OneValueRecord> records;
  for (int k = 0; k < count; ++k) {
    const int d = uniform(rng, 0, 6);
    const int digits = uniform(rng, 1, sizeof(Real) == 4 ? 7 - d : 12 - d);
    const double units = std::floor(uniform_real(rng, 0, std::pow(10.0, digits)));
    const Real v = static_cast<Real>((units + 0.5) / std::pow(10.0, d));
    records.push_back(nudged_record(rng, v, uniform(rng, -2, 2), digits + d + 3, d));
  }
  return records;
}

TEST(GfortranWrite, FixedFieldsNextToDecimalTies) {
  QUILLET_REQUIRE_GFORTRAN();
  compare_one_value_records(near_tie_records<float>(6006, 3000));
  compare_one_value_records(near_tie_records<double>(7007, 3000));
}

// Fw.d and Iw fields written by a layout bound to a member, between two literals (a field must
// not write over what stands before it): the shapes of the program's records whose whole parts
// pass three digits, and narrower and wider ones, with values of every whole-part length.
TEST(GfortranWrite, BoundFieldsOfEveryWholePartLength) {
  QUILLET_REQUIRE_GFORTRAN();
  struct Box {
    float f;
    double d;
    std::int32_t i;
  };
  constexpr std::pair<int, int> kShapes[] = {
      {9, 0},  {12, 1}, {14, 8}, {7, 1},  {8, 0},  {10, 0}, {12, 6}, {9, 3}, {8, 3},  {13, 2},
      {11, 2}, {16, 6}, {17, 8}, {13, 8}, {15, 3}, {6, 2},  {5, 0},  {4, 0}, {12, 0}, {20, 8}};
  std::map<std::string, std::unique_ptr<RecordWriter<Box>>> writers;
  Rng rng(8008);
  std::vector<OneValueRecord> records;
  for (const auto& [w, d] : kShapes) {
    const std::string format = "('<', F" + std::to_string(w) + "." + std::to_string(d) + ", '>')";
    for (int pass = 0; pass < 3; ++pass) {
      for (const float v : whole_part_values<float>(rng, w, d)) records.push_back({format, v});
      for (const double v : whole_part_values<double>(rng, w, d)) records.push_back({format, v});
    }
    for (const bool is_double : {false, true}) {
      writers[format + (is_double ? "D" : "F")] = std::make_unique<RecordWriter<Box>>(
          format, 0, 0,
          [is_double](OutMembers& v, int, const Box& b) {
            if (is_double) {
              v << b.d;
            } else {
              v << b.f;
            }
          },
          Box{});
    }
  }
  for (const int w : {4, 5, 6, 7, 8, 9, 10, 11, 12}) {
    const std::string format = "('<', I" + std::to_string(w) + ", '>')";
    for (const std::int32_t v : whole_number_values(rng, w)) records.push_back({format, v});
    writers[format + "I"] = std::make_unique<RecordWriter<Box>>(
        format, 0, 0, [](OutMembers& v, int, const Box& b) { v << b.i; }, Box{});
  }
  compare_one_value_records(records, [&writers](const OneValueRecord& r) {
    Box box{};
    if (const auto* i = std::get_if<std::int32_t>(&r.value)) {
      box.i = *i;
      std::string line;
      writers.at(r.format + "I")->write(line, 0, box);
      return line;
    }
    const auto* f = std::get_if<float>(&r.value);
    if (f != nullptr) {
      box.f = *f;
    } else {
      box.d = std::get<double>(r.value);
    }
    std::string line;
    writers.at(r.format + (f != nullptr ? "F" : "D"))->write(line, 0, box);
    return line;
  });
}

TEST(GfortranWrite, TextFields) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(4004);
  std::vector<OneValueRecord> records;
  for (int k = 0; k < 1500; ++k) {
    const std::string format =
        chance(rng, 0.15) ? "(A)" : "(A" + std::to_string(uniform(rng, 1, 40)) + ")";
    records.push_back({format, random_text(rng, 50)});
  }
  compare_one_value_records(records);
}

TEST(GfortranWrite, ListDirectedSingleValues) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(5005);
  std::vector<OneValueRecord> records;
  for (int k = 0; k < 4000; ++k) {
    // Magnitudes from tiny to huge: random_real's field shape only steers the exponent.
    const int w = uniform(rng, 2, 39);
    const int d = uniform(rng, 0, std::min(22, w - 1));
    switch (uniform(rng, 0, 6)) {
      case 0:
        records.push_back({"*", random_int(rng)});
        break;
      case 1:
        records.push_back({"*", random_text(rng, 30)});
        break;
      case 2:
      case 3:
        records.push_back({"*", random_real<float>(rng, w, d)});
        break;
      default:
        records.push_back({"*", random_real<double>(rng, w, d)});
        break;
    }
  }
  compare_one_value_records(records);
}

// ---- records of several values ----------------------------------------------------------------

// Builds a Fortran program with one WRITE (or PRINT *) statement per record; the formats and the
// values are read from standard input into arrays first.
class MixedRecords {
 public:
  // `engine_layout` is given to the engine with `n`; `fortran_format` is the same layout with the
  // run-time counts written out.
  void add(const std::string& engine_layout, const std::string& fortran_format, int n,
           std::vector<Value> values) {
    std::string line;
    std::vector<Out> outs;
    for (const auto& v : values) outs.push_back(to_out(v));
    Layout(engine_layout).write(line, outs.data(), outs.size(), n);
    engine_.push_back(line);
    inputs_.push_back(engine_layout + " n=" + std::to_string(n) + " as " + fortran_format +
                      " with " + std::to_string(values.size()) + " values");
    formats_.push_back(fortran_format);
    const std::string refs = references(values);
    statements_ += "  write(*,fmt(" + std::to_string(formats_.size()) + ")) " +
                   (refs.empty() ? "" : refs.substr(2)) + "\n";
  }

  // A list-directed line of the same values.
  void add_free(std::vector<Value> values) {
    FreeLine line;
    for (const auto& v : values) {
      std::visit([&line](const auto& x) { line << x; }, v);
    }
    engine_.push_back(line.str());
    inputs_.push_back("print * with " + std::to_string(values.size()) + " values");
    statements_ += "  print *" + references(values) + "\n";
  }

  void compare() const {
    std::ostringstream input;
    for (const auto& f : formats_) input << f << '\n';
    for (const auto i : ints_) input << i << '\n';
    for (const auto& f : floats_) input << f << '\n';
    for (const auto& d : doubles_) input << d << '\n';
    for (const auto& t : texts_) {
      char length[8];
      std::snprintf(length, sizeof length, "%3zu", t.size());
      input << length << t << '\n';
    }
    const auto count = [](std::size_t n) { return std::to_string(std::max<std::size_t>(n, 1)); };
    std::string source = "program mixed\n  implicit none\n";
    source += "  character(len=400) :: fmt(" + count(formats_.size()) + ")\n";
    source += "  integer :: iv(" + count(ints_.size()) + ")\n";
    source += "  integer(4) :: fb(" + count(floats_.size()) + ")\n";
    source += "  integer(8) :: db(" + count(doubles_.size()) + ")\n";
    source += "  character(len=80) :: tv(" + count(texts_.size()) + ")\n";
    source += "  integer :: tl(" + count(texts_.size()) + "), k\n";
    source +=
        "  do k = 1, " + std::to_string(formats_.size()) + "\n    read(*,'(A)') fmt(k)\n  end do\n";
    source += "  do k = 1, " + std::to_string(ints_.size()) + "\n    read(*,*) iv(k)\n  end do\n";
    source +=
        "  do k = 1, " + std::to_string(floats_.size()) + "\n    read(*,'(Z8)') fb(k)\n  end do\n";
    source += "  do k = 1, " + std::to_string(doubles_.size()) +
              "\n    read(*,'(Z16)') db(k)\n  end do\n";
    source += "  do k = 1, " + std::to_string(texts_.size()) +
              "\n    read(*,'(I3,A)') tl(k), tv(k)\n  end do\n";
    source += statements_ + "end program\n";
    const auto fortran = run(source, input.str());
    ASSERT_TRUE(fortran);
    expect_same_lines(engine_, *fortran, inputs_);
  }

 private:
  // The value list of a statement, each item preceded by ", ".
  std::string references(const std::vector<Value>& values) {
    std::string refs;
    for (const auto& v : values) {
      refs += ", ";
      if (const auto* i = std::get_if<std::int32_t>(&v)) {
        ints_.push_back(*i);
        refs += "iv(" + std::to_string(ints_.size()) + ")";
      } else if (const auto* f = std::get_if<float>(&v)) {
        floats_.push_back(hex(*f));
        refs += "transfer(fb(" + std::to_string(floats_.size()) + "), 1.0_4)";
      } else if (const auto* d = std::get_if<double>(&v)) {
        doubles_.push_back(hex(*d));
        refs += "transfer(db(" + std::to_string(doubles_.size()) + "), 1.0_8)";
      } else {
        texts_.push_back(std::get<std::string>(v));
        const std::string k = std::to_string(texts_.size());
        refs += "tv(" + k + ")(1:tl(" + k + "))";
      }
    }
    return refs;
  }

  std::vector<std::string> formats_, floats_, doubles_, texts_, engine_, inputs_;
  std::vector<std::int32_t> ints_;
  std::string statements_;
};

// A layout as a tree, rendered both as the engine's text (with run-time counts) and as the
// Fortran format for one value of n (counts written out, parts repeated zero times left out).
struct Node {
  enum class Kind { Int, Fixed, Text, TextAll, Skip, Literal, Group } kind;
  int w = 0, d = 0;
  std::string literal;
  std::string count_text;  // "", "3", "N", "(N-1)", "(4N)", "M", "(M-1)"
  std::function<int(int)> count = [](int) { return 1; };
  std::vector<Node> children;
};

std::string join(const std::vector<std::string>& parts) {
  std::string text;
  for (const auto& p : parts) text += (text.empty() ? "" : ", ") + p;
  return text;
}

std::string descriptor(const Node& node) {
  switch (node.kind) {
    case Node::Kind::Int:
      return "I" + std::to_string(node.w);
    case Node::Kind::Fixed:
      return "F" + std::to_string(node.w) + "." + std::to_string(node.d);
    case Node::Kind::Text:
      return "A" + std::to_string(node.w);
    case Node::Kind::TextAll:
      return "A";
    case Node::Kind::Skip:
      return std::to_string(node.w) + "X";
    default: {
      std::string quoted = "'";
      for (const char c : node.literal) quoted += c == '\'' ? std::string("''") : std::string(1, c);
      return quoted + "'";
    }
  }
}

std::string engine_text(const std::vector<Node>& nodes) {
  std::vector<std::string> parts;
  for (const auto& node : nodes) {
    if (node.kind == Node::Kind::Group) {
      parts.push_back(node.count_text + "(" + engine_text(node.children) + ")");
    } else {
      parts.push_back(node.count_text + descriptor(node));
    }
  }
  return join(parts);
}

std::string fortran_text(const std::vector<Node>& nodes, int n) {
  std::vector<std::string> parts;
  for (const auto& node : nodes) {
    const int count = node.count(n);
    if (count <= 0) continue;
    const std::string repeat = count == 1 ? "" : std::to_string(count);
    if (node.kind == Node::Kind::Group) {
      const std::string inner = fortran_text(node.children, n);
      if (!inner.empty()) parts.push_back(repeat + "(" + inner + ")");
    } else {
      parts.push_back(repeat + descriptor(node));
    }
  }
  return join(parts);
}

// The data descriptors in the order the values meet them.
void data_kinds(const std::vector<Node>& nodes, int n, std::vector<const Node*>& out) {
  for (const auto& node : nodes) {
    for (int r = node.count(n); r > 0; --r) {
      if (node.kind == Node::Kind::Group) {
        data_kinds(node.children, n, out);
      } else if (node.kind != Node::Kind::Skip && node.kind != Node::Kind::Literal) {
        out.push_back(&node);
      }
    }
  }
}

Value value_for(const Node& node, Rng& rng) {
  switch (node.kind) {
    case Node::Kind::Int:
      return random_int(rng);
    case Node::Kind::Fixed:
      if (chance(rng, 0.5)) return random_real<float>(rng, node.w, node.d);
      return random_real<double>(rng, node.w, node.d);
    default:
      return random_text(rng, 20);
  }
}

void set_random_count(Node& node, Rng& rng, bool allow_runtime) {
  if (allow_runtime && chance(rng, 0.3)) {
    switch (uniform(rng, 0, 4)) {
      case 0:
        node.count_text = "N";
        node.count = [](int n) { return n; };
        break;
      case 1:
        node.count_text = "(N-1)";
        node.count = [](int n) { return n - 1; };
        break;
      case 2:
        node.count_text = "(4N)";
        node.count = [](int n) { return 4 * n; };
        break;
      case 3:
        node.count_text = "M";
        node.count = [](int n) { return n; };
        break;
      default:
        node.count_text = "(M-1)";
        node.count = [](int n) { return n - 1; };
        break;
    }
  } else if (chance(rng, 0.3)) {
    const int k = uniform(rng, 1, 4);
    node.count_text = std::to_string(k);
    node.count = [k](int) { return k; };
  }
}

std::vector<Node> random_nodes(Rng& rng, int depth) {
  std::vector<Node> nodes;
  for (int k = uniform(rng, 1, 5); k > 0; --k) {
    Node node{};
    const int pick = uniform(rng, 0, depth < 2 ? 9 : 8);
    if (pick <= 1) {
      node.kind = Node::Kind::Int;
      node.w = uniform(rng, 1, 12);
    } else if (pick <= 3) {
      node.kind = Node::Kind::Fixed;
      node.w = uniform(rng, 3, 14);
      node.d = uniform(rng, 0, std::min(8, node.w - 1));
    } else if (pick == 4) {
      node.kind = chance(rng, 0.2) ? Node::Kind::TextAll : Node::Kind::Text;
      node.w = uniform(rng, 1, 12);
    } else if (pick == 5 || pick == 6) {
      node.kind = Node::Kind::Skip;
      node.w = uniform(rng, 1, 4);
      nodes.push_back(node);
      continue;  // nX takes its count as its width
    } else if (pick <= 8) {
      node.kind = Node::Kind::Literal;
      const char* pieces[] = {"ab", " at: ", "'", "\\V", ".", "-", "x y", "L"};
      for (int p = uniform(rng, 1, 2); p > 0; --p) node.literal += pieces[uniform(rng, 0, 7)];
      nodes.push_back(node);
      continue;  // literals take no count
    } else {
      node.kind = Node::Kind::Group;
      node.children = random_nodes(rng, depth + 1);
    }
    set_random_count(node, rng, true);
    nodes.push_back(node);
  }
  return nodes;
}

TEST(GfortranWrite, RandomLayoutsWithGroupsLiteralsAndEarlyStops) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(6006);
  MixedRecords records;
  for (int k = 0; k < 400; ++k) {
    std::vector<Node> nodes = random_nodes(rng, 0);
    // The leading literal keeps the Fortran format from becoming empty for any n.
    nodes.insert(nodes.begin(),
                 Node{Node::Kind::Literal, 0, 0, "|", "", [](int) { return 1; }, {}});
    const int n = uniform(rng, 0, 3);
    std::vector<const Node*> kinds;
    data_kinds(nodes, n, kinds);
    // Often fewer values than descriptors, so that the output stops early.
    const std::size_t count =
        chance(rng, 0.5)
            ? kinds.size()
            : static_cast<std::size_t>(uniform(rng, 0, static_cast<int>(kinds.size())));
    std::vector<Value> values;
    for (std::size_t v = 0; v < count; ++v) values.push_back(value_for(*kinds[v], rng));
    records.add("(" + engine_text(nodes) + ")", "(" + fortran_text(nodes, n) + ")", n, values);
  }
  records.compare();
}

// The layouts of the program's records, with plausible values and now and then an overflow.
TEST(GfortranWrite, RecordLayoutsOfTheProgram) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(7007);
  MixedRecords records;
  const auto real = [&rng](double scale) -> Value {
    const double v = uniform_real(rng, -1, 1) * scale * (chance(rng, 0.05) ? 1e6 : 1.0);
    return chance(rng, 0.5) ? Value(static_cast<float>(v)) : Value(v);
  };
  const auto integer = [&rng](int limit) -> Value { return uniform(rng, -limit / 10, limit); };
  const auto letter = [&rng]() -> Value {
    return std::string(1, static_cast<char>(uniform(rng, 'A', 'Z')));
  };
  for (int k = 0; k < 20; ++k) {
    for (int n = 0; n <= 3; ++n) {
      const std::string repeat = n == 1 ? "" : std::to_string(n);
      std::vector<Value> g = {integer(999999), letter(), integer(999999), letter()};
      for (int a = 0; a < 4 * n; ++a) g.push_back(real(2000));
      for (const Value& v : {integer(9), integer(24), integer(60), real(60), real(15), real(400),
                             integer(100), real(90), real(90), integer(86400000), Value(48.1173),
                             Value(-123.5), real(3000), integer(9)}) {
        g.push_back(v);
      }
      records.add(
          "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, "
          "F12.6, 1X, F12.6, 1X, F7.1, 1X, I2)",
          "(I6, 1X, A1, I6, 1X, A1, " + (n == 0 ? "" : repeat + "(4F9.2), ") +
              "I2, 2I3, F7.3, F7.3, F7.1, 1X, I4, 2F8.2, 1X, I12, F12.6, 1X, F12.6, 1X, F7.1, 1X, "
              "I2)",
          n, g);
      if (n >= 1) {
        std::vector<Value> x = {integer(24), integer(60), integer(60)};
        for (int a = 0; a < 4 * (n - 1); ++a) x.push_back(integer(99999));
        records.add("(3X, 3I2, 1X, (N-1)(4I6))",
                    "(3X, 3I2, 1X" + (n == 1 ? "" : ", " + std::to_string(n - 1) + "(4I6)") + ")",
                    n, x);
        std::vector<Value> log = {integer(999999)};
        for (int a = 0; a < 4 * n; ++a) log.push_back(real(2000));
        log.push_back(integer(9));
        records.add("(I6, (4N)F9.2, I2)", "(I6, " + std::to_string(4 * n) + "F9.2, I2)", n, log);
      }
    }
    const int m = uniform(rng, 1, 5);
    std::vector<Value> ems = {integer(24),    integer(60),  integer(60),
                              integer(9999),  integer(999), integer(9999),
                              integer(99999), integer(9),   integer(99999)};
    for (int a = 0; a < m - 1; ++a) ems.push_back(integer(99999));
    records.add("(1X, 2X, 3I2, 1X, I4, I4, I4, 1X, I5, 1X, I2, 1X, I5, (M-1)I6)",
                "(1X, 2X, 3I2, 1X, I4, I4, I4, 1X, I5, 1X, I2, 1X, I5" +
                    (m == 1 ? "" : ", " + std::to_string(m - 1) + "I6") + ")",
                m, ems);
    std::vector<Value> ice = {real(90), real(180), integer(5)};
    for (int a = 0; a < m; ++a) ice.push_back(real(100));
    for (const Value& v :
         {real(10), Value(1), real(3), real(90), real(90), integer(86400), Value(0), Value(0),
          real(1e6), real(1e7), integer(9), integer(30), real(50), real(3000)}) {
      ice.push_back(v);
    }
    records.add(
        "(2F14.6, I3, M(F9.4), F7.4, I2, F7.2, 2F7.2, 1X, I12, I2, I4, 2F14.1, 2I4, F9.3, F8.1)",
        "(2F14.6, I3, " + std::to_string(m) +
            "(F9.4), F7.4, I2, F7.2, 2F7.2, 1X, I12, I2, I4, 2F14.1, 2I4, F9.3, F8.1)",
        m, ice);
    const std::string literal_layouts[] = {"('L', I5, 7X, 'BB', I1, A3, A2, F4.1)",
                                           "('\\Veltor Filename is ', A19)",
                                           "(A8, A16, ' at: ', 3I3)",
                                           "(I5, 1X, A16)",
                                           "(A14, A40)",
                                           "(1X, I9, 3I3, '.', I3, 7I10)",
                                           "('S', A1, '10', I6, '.000', 2F10.3)",
                                           "('T', I5, ':', I2, I3, '-', I2, '-', I2)",
                                           "('EM31', 1X, 'V1.XX', A8, 5X, 'Veltor-4 Data ')",
                                           "(2I3, F8.0, F5.2, I4, F5.2, 2F8.5, 2F5.1)",
                                           "(I6, F12.2, I6)"};
    const std::vector<std::vector<Value>> literal_values = {
        {integer(99999), integer(9), random_text(rng, 4), random_text(rng, 3), real(10)},
        {random_text(rng, 25)},
        {random_text(rng, 10), random_text(rng, 20), integer(24), integer(60), integer(60)},
        {integer(100), random_text(rng, 20)},
        {random_text(rng, 16), random_text(rng, 45)},
        {integer(999999999), integer(24), integer(60), integer(60), integer(999), integer(1 << 30),
         integer(1 << 30), integer(1 << 30), integer(1 << 30), integer(1 << 30), integer(1 << 30),
         integer(1 << 30)},
        {letter(), integer(999999), real(1e5), real(1e5)},
        {integer(99999), integer(24), integer(60), integer(99), integer(99)},
        {random_text(rng, 12)},
        {integer(6), integer(999), real(1e5), real(10), integer(9999), real(10), real(100),
         real(100), real(100), real(100)},
        {Value(-9), real(3)}};
    for (std::size_t l = 0; l < std::size(literal_layouts); ++l) {
      records.add(literal_layouts[l], literal_layouts[l], 0, literal_values[l]);
    }
  }
  records.compare();
}

Value random_free_item(Rng& rng) {
  switch (uniform(rng, 0, 3)) {
    case 0:
      return random_int(rng);
    case 1:
      return random_text(rng, 12);
    case 2:
      return random_real<float>(rng, uniform(rng, 3, 20), uniform(rng, 0, 2));
    default:
      return random_real<double>(rng, uniform(rng, 3, 30), uniform(rng, 0, 2));
  }
}

TEST(GfortranWrite, ListDirectedLinesOfMixedItems) {
  QUILLET_REQUIRE_GFORTRAN();
  Rng rng(8008);
  MixedRecords records;
  for (int k = 0; k < 600; ++k) {
    std::vector<Value> values(static_cast<std::size_t>(uniform(rng, 0, 6)));
    for (Value& v : values) v = random_free_item(rng);
    records.add_free(values);
  }
  records.compare();
}

}  // namespace
}  // namespace quillet::gfortran
