// Parsing a layout text once into its items and its plans: the front of the format engine.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/layout.hpp"
#include "common/layout_fast_paths.hpp"
#include "common/layout_plan.hpp"

namespace quillet {

namespace {

using namespace layout_detail;

[[noreturn]] void bad_layout(std::string_view text, std::size_t at, const char* why) {
  std::fprintf(stderr, "quillet: bad layout \"%.*s\" at character %zu: %s\n",
               static_cast<int>(text.size()), text.data(), at + 1, why);
  std::abort();
}

// Recursive-descent parser of a layout text into the flat item list.
class Parser {
 public:
  Parser(std::string_view text, std::string& literals, std::vector<Item>& items)
      : text_(text), literals_(literals), items_(items) {}

  void parse() {
    skip_blanks();
    expect('(');
    list(0);
    skip_blanks();
    if (pos_ != text_.size()) fail("text after the closing parenthesis");
  }

 private:
  struct Count {
    bool given = false;
    bool runtime = false;
    std::int32_t a = 0, b = 1;
  };

  [[noreturn]] void fail(const char* why) const { bad_layout(text_, pos_, why); }

  void skip_blanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  char peek() {
    skip_blanks();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  static char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
  static bool digit(char c) { return c >= '0' && c <= '9'; }
  void expect(char c) {
    if (peek() != c) fail("unexpected character");
    ++pos_;
  }

  // Digits, blanks between them ignored as Fortran does.
  std::int32_t number() {
    if (!digit(peek())) fail("a number is missing");
    long long value = 0;
    while (digit(peek())) {
      value = value * 10 + (text_[pos_++] - '0');
      if (value > 100000) fail("number too large");
    }
    return static_cast<std::int32_t>(value);
  }

  // [k] N|M [(+|-) j]  after an optional factor that the caller already read.
  bool runtime_term(Count& count, std::int32_t factor) {
    const char c = upper(peek());
    if (c != 'N' && c != 'M') return false;
    ++pos_;
    count.given = count.runtime = true;
    count.a = factor;
    count.b = 0;
    const char s = peek();
    if (s == '+' || s == '-') {
      ++pos_;
      count.b = s == '-' ? -number() : number();
    }
    return true;
  }

  // A parenthesised run-time count such as (N-1) or (4N), told apart from a nested group by
  // looking ahead; the position is restored when it is a group.
  bool parenthesised_count(Count& count) {
    const std::size_t start = pos_;
    ++pos_;  // '('
    std::int32_t factor = 1;
    if (digit(peek())) factor = number();
    Count inner;
    if (runtime_term(inner, factor) && peek() == ')') {
      ++pos_;
      count = inner;
      return true;
    }
    pos_ = start;
    return false;
  }

  Count count_prefix() {
    Count count;
    const char c = peek();
    if (digit(c)) {
      const std::int32_t k = number();
      if (!runtime_term(count, k)) {
        count.given = true;
        count.b = k;
      }
    } else if (c == '(') {
      parenthesised_count(count);
    } else {
      runtime_term(count, 1);
    }
    return count;
  }

  void list(int depth) {
    if (depth >= kMaxDepth) fail("groups nested too deeply");
    if (peek() == ')') {
      ++pos_;
      return;
    }
    for (;;) {
      item(depth);
      const char c = peek();
      if (c == ',') {
        ++pos_;
        continue;
      }
      if (c == ')') {
        ++pos_;
        return;
      }
      if (c == '\0') fail("missing closing parenthesis");
      // Otherwise the next item follows without a comma, as Fortran allows around literals.
    }
  }

  void literal(char quote) {
    ++pos_;
    Item it;
    it.op = Op::Literal;
    it.link = static_cast<std::uint32_t>(literals_.size());
    for (;;) {
      if (pos_ >= text_.size()) fail("unterminated literal");
      const char c = text_[pos_++];
      if (c == quote) {
        if (pos_ < text_.size() && text_[pos_] == quote) {
          literals_.push_back(quote);  // a doubled quote stands for one
          ++pos_;
          continue;
        }
        break;
      }
      literals_.push_back(c);
    }
    it.w = static_cast<std::uint32_t>(literals_.size() - it.link);
    items_.push_back(it);
  }

  void item(int depth) {
    const char first = peek();
    if (first == '\'' || first == '"') {
      literal(first);
      return;
    }
    const Count count = count_prefix();
    const char c = upper(peek());
    if (c == '(') {
      ++pos_;
      const std::size_t begin = items_.size();
      Item open;
      open.op = Op::Begin;
      if (count.given) {
        open.a = count.a;
        open.b = count.b;
      }
      items_.push_back(open);
      list(depth + 1);
      Item close;
      close.op = Op::End;
      items_[begin].link = static_cast<std::uint32_t>(items_.size());
      items_.push_back(close);
      return;
    }
    Item it;
    if (count.given) {
      it.a = count.a;
      it.b = count.b;
    }
    ++pos_;
    switch (c) {
      case 'X':
        if (count.runtime) fail("X takes a constant count");
        it.op = Op::Skip;
        it.w = static_cast<std::uint32_t>(it.b);
        it.b = 1;
        break;
      case 'I':
        it.op = Op::Int;
        it.w = static_cast<std::uint32_t>(number());
        if (it.w == 0) fail("I needs a width");
        break;
      case 'F':
        it.op = Op::Fixed;
        it.w = static_cast<std::uint32_t>(number());
        expect('.');
        {
          const std::int32_t d = number();
          if (d > static_cast<std::int32_t>(kMaxDecimals)) fail("too many decimals");
          it.d = static_cast<std::uint8_t>(d);
        }
        if (it.w == 0 || it.w > kMaxFixedWidth) fail("F width out of range");
        break;
      case 'A':
        if (digit(peek())) {
          it.op = Op::Text;
          it.w = static_cast<std::uint32_t>(number());
          if (it.w == 0) fail("A needs a width above 0");
        } else {
          it.op = Op::TextAll;
        }
        break;
      default:
        --pos_;
        fail("unknown descriptor");
    }
    items_.push_back(it);
  }

  std::string_view text_;
  std::string& literals_;
  std::vector<Item>& items_;
  std::size_t pos_ = 0;
};

// Plans are kept for the run-time counts met in practice (coil arrays, EMS channels); a layout
// used with a larger n is walked instead.
constexpr int kPlannedCounts = 9;

// The compact form of a plan for its reader; a plan too long for it gets none (it is then read
// item by item).
Layout::Reading reading_of(const std::vector<Item>& plan) {
  Layout::Reading reading;
  if (plan.size() > UINT16_MAX) return reading;
  std::size_t min_line = 0;
  std::size_t scanned_end = 0;
  bool scanned = true;
  const auto set = [](std::uint64_t* mask, std::size_t column) {
    mask[column / 64] |= std::uint64_t{1} << (column % 64);
  };
  for (std::size_t k = 0; k < plan.size(); ++k) {
    const Item& step = plan[k];
    if (step.op == Op::Literal) continue;
    Layout::Reading::Field field;
    field.column = step.column;
    field.step = static_cast<std::uint16_t>(k);
    if (step.word_end != UINT32_MAX) {
      field.word = true;
      field.shift = step.word_shift;
      field.blanks = step.word_blanks;
      field.slot = static_cast<std::uint16_t>(reading.words.size());
      reading.words.push_back({step.column, step.word_shift});
      min_line = std::max<std::size_t>(min_line, step.word_end);
      const std::size_t end = std::size_t{step.column} + step.w;
      if (end > layout_detail::kScannedColumns) {
        scanned = false;
      } else {
        for (std::size_t c = step.column; c < end; ++c) set(reading.word_columns, c);
        for (std::size_t c = step.column + 1; c < end; ++c) set(reading.inner_columns, c);
        set(reading.last_columns, end - 1);
        scanned_end = std::max(scanned_end, end);
      }
    }
    reading.fields.push_back(field);
  }
  reading.min_line = min_line;
  reading.blocks = scanned ? (scanned_end + 15) / 16 : 0;
  // The scanned reader combines four fields at a time: the last four are completed by fields
  // whose values nobody takes.
  while (reading.words.size() % 4 != 0) reading.words.push_back({0, 0});
  return reading;
}

}  // namespace

Layout::Layout(std::string_view text) : text_(text) {
  Parser(text_, literals_, items_).parse();
  const bool runtime =
      std::any_of(items_.begin(), items_.end(), [](const Item& it) { return it.a != 0; });
  for (int n = 0; n < (runtime ? kPlannedCounts : 1); ++n) {
    std::vector<Item>& plan = plans_.emplace_back();
    StepWalker steps(items_, n);
    std::size_t width = 0;
    bool fixed = true;
    while (const Item* step = steps.next()) {
      plan.push_back(*step);
      width += step->blanks + step->w;
      fixed = fixed && step->op != Op::TextAll;
    }
    widths_.push_back(fixed && width < UINT32_MAX ? static_cast<std::uint32_t>(width) : 0);
    write_plans_.push_back(widths_.back() != 0 ? compile_write_plan(plan, literals_) : WritePlan());
    readings_.push_back(reading_of(plan));
  }
}

std::vector<Layout::Field> Layout::fields(int n, std::size_t& columns) const {
  std::vector<Field> out;
  StepWalker steps(items_, n);
  columns = 0;
  while (const Item* step = steps.next()) {
    if (step->column == UINT32_MAX) break;  // after A alone: nothing has a column of its own
    columns = std::max<std::size_t>(columns, std::size_t{step->column} + step->w);
    switch (step->op) {
      case Op::Int:
        out.push_back({Field::Kind::Int, step->column, step->w, 0});
        break;
      case Op::Fixed:
        out.push_back({Field::Kind::Fixed, step->column, step->w, step->d});
        break;
      case Op::Text:
      case Op::TextAll:
        out.push_back({Field::Kind::Text, step->column, step->w, 0});
        break;
      default:
        break;
    }
  }
  return out;
}

Layout::Layout(const Layout& other) = default;
Layout::Layout(Layout&& other) noexcept = default;
Layout& Layout::operator=(const Layout& other) = default;
Layout& Layout::operator=(Layout&& other) noexcept = default;
Layout::~Layout() = default;

std::string pad_to(std::string_view text, std::size_t width) {
  std::string out(text.substr(0, width));
  out.resize(width, ' ');
  return out;
}

}  // namespace quillet
