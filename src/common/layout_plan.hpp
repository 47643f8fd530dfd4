// The engine's own pieces, shared by its parser, writer and reader: the parsed form of a layout
// and the walk over it. Not for use outside src/common/layout_*.cpp.
#pragma once

#include <algorithm>
#include <bit>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/layout.hpp"

namespace quillet {

// A layout is parsed into a flat list of items. A group becomes a Begin item that knows the index
// of its End item (to skip a group repeated zero times) and an End item where the walk goes back
// while repetitions are left; a repeat count, constant or run-time, is a*n + b. For execution the
// list is flattened once per value of n into a plan: one item per literal and per data field in
// record order, with the nX before it folded into the item and its input column worked out, so
// that a record costs one pass over a plain array.
struct Layout::Item {
  enum class Op : std::uint8_t { Int, Fixed, Text, TextAll, Skip, Literal, Begin, End };
  Op op = Op::Skip;
  std::uint8_t d = 0;  // decimals of Fw.d
  std::int32_t a = 0;  // repeat count = a * n + b
  std::int32_t b = 1;
  std::uint32_t w = 0;     // field width; Skip: columns; Literal: length
  std::uint32_t link = 0;  // Begin: index of its End; Literal: offset in the literal texts
  // In a plan (below) only: the columns skipped before the item on output, and the first column
  // (0-based) of its field on input.
  std::uint32_t blanks = 0;
  std::uint32_t column = 0;
  // Iw of up to 8 columns: the line length from which its field is read as the 8 bytes from its
  // column on (no limit otherwise), the shift that puts the field's last character into the
  // highest byte and the blanks put in its place before the field.
  std::uint32_t word_end = UINT32_MAX;
  std::uint8_t word_shift = 0;
  std::uint64_t word_blanks = 0;

  int repeat(int n) const {
    const long long count = static_cast<long long>(a) * n + b;
    return count < 0 ? 0 : count > INT32_MAX ? INT32_MAX : static_cast<int>(count);
  }
};

namespace layout_detail {

// A plan of fixed width compiled for writing: one step per literal and data field, in record
// order, with the kind of field decided once.
struct WriteStep {
  // Fixed0..3, Fixed6: Fw.d with that d, the decimals the records use most.
  enum class Kind : std::uint8_t {
    Int,
    Fixed0,
    Fixed1,
    Fixed2,
    Fixed3,
    Fixed6,
    Fixed,
    Text,
    Literal
  };
  Kind kind = Kind::Literal;
  std::uint8_t d = 0;        // decimals of Fw.d
  std::uint32_t column = 0;  // first column of the field
  std::uint32_t end = 0;     // the column after the field: its digits are written back from it
  std::uint32_t start = 0;   // first column of the blanks before it
  std::uint32_t w = 0;       // field width; Literal: length
  std::uint32_t link = 0;    // Literal: offset of its text in the plan's `texts`
  // Iw, and Fw.d with d <= 8: the magnitudes (of a positive value, of a negative one), scaled by
  // 10^d and rounded, that are written by digits alone: below 2^32, with a column left of the
  // point and one for the minus sign. Larger ones (asterisks among them) and fields without a
  // column for the zero before the point go the general way.
  std::uint64_t fits[2] = {0, 0};
  double sum_fits[2] = {0, 0};  // 2^52 + fits, exact
  // The whole parts (Iw: magnitudes) below small_below[negative] are written from a text of
  // their digits and sign, its last `small` characters (4 or 2; 0: none are).
  std::uint8_t small = 0;
  std::uint32_t small_below[2] = {0, 0};
};

// A run of steady fields kept from record to record (KeptFields): the 64 bytes of one object
// its values lie in, the 16 bytes of the other one, its columns, and its fields described as a
// slot records them. A short run (up to 5 fields, of one object) in 128 bits: their number, then
// per field the offset of its value among those bytes, its kind, width and decimals and the
// blank columns after it. A long one in 256 bits: three zero bits (a short run's number is never
// 0), the number, then per field the same and its object.
struct KeptRun {
  alignas(16) unsigned char fields[32] = {};
  alignas(16) unsigned char other_mask[16] = {};  // the bytes of the other object's values
  std::uint32_t offset = 0;                       // of the KeptFields::kBytes bytes in their object
  std::uint8_t object = 0;
  // The other object and the offset of its KeptFields::kOtherBytes bytes; a short run's first
  // object and its offset, whose bytes are kept but never compared.
  std::uint32_t other_offset = 0;
  std::uint8_t other_object = 0;
  std::uint32_t column = 0;
  std::uint32_t columns = 0;  // 16 to KeptFields::kColumns
  // The starts of four pieces of 16 that cover the columns (see pieces_of).
  std::uint8_t column_pieces[4] = {};
};

// A step of a bound writer: a literal that a field before it may have written over, or a field
// with the member it takes, the pair of field kind and value kind decided once.
struct BoundStep {
  enum class Op : std::uint8_t {
    Int,
    Float0,
    Float1,
    Float2,
    Float3,
    Float6,
    Float,  // any other d
    Double0,
    Double1,
    Double2,
    Double3,
    Double6,
    Double8,  // Fw.8 of a double: latitudes and longitudes
    Double,
    Char,     // Aw of one character: it stands in the field's last column
    Literal,  // the 16 columns of the record's image from the field's column laid again
    // Two or four steps of one of the kinds above in a row, this one and those after it, written
    // as one: fields of one kind often stand together (the channels of the arrays, the time).
    Int2,
    Int4,
    Float0x2,
    Float0x4,
    Float2x2,
    Float2x4,
    Float3x2,
    Double1x2,
    Double6x2,
    Double8x2,
    // Around the steps of a run of fields kept from record to record (KeptFields): the first
    // copies the run's columns where its values are those written last and passes over the
    // run's steps (KeptLong: of a long run) and the last, which keeps the columns the run's steps
    // wrote.
    Kept,
    KeptLong,
    KeptEnd,
    End,  // the last step of every form: the record is written
  };
  Op op = Op::Literal;
  std::uint8_t object = 0;   // of the member among the objects written from
  std::uint32_t offset = 0;  // of the member in its object
  // Float0..6, Double0..6: the magnitudes, scaled by 10^d and rounded (of a positive value, of a
  // negative one), whose whole part comes from a text of four characters and whose decimals from
  // one of four (one of two, d = 6): those with a small whole part (WriteStep::small) that fit
  // (0: none); as 2^52 + that bound, exact, for floats. The text of the whole part is laid from
  // `whole_at`, from its character `whole_skip` on (in fields with two columns for it, the
  // point and the decimals are laid over its last two characters afterwards).
  std::uint64_t quick[2] = {0, 0};
  double quick_sum[2] = {0, 0};
  // Int, Float0..6, Double0..8: the magnitudes, scaled and rounded as above, that the step
  // writes inline when they miss the quick ones, in fields with at least 4 columns left of the
  // point (Iw: w columns) (0: none): those that fit with a whole part of up to 9 digits, laid
  // three at a time from the right and the rest from a text with its sign; in 4 characters where
  // the columns allow, else in 2 (see set_wide); as 2^52 + that bound, exact, for floats.
  std::uint64_t wide[2] = {0, 0};
  double wide_sum[2] = {0, 0};
  // Fw.d: where the text of a wide whole part's leading digits and sign (WriteStep::small) is
  // laid, relative to the point, and the texts of 0 and of -0 from its first character laid,
  // when three digits follow the text (0) and when six do (1).
  std::int32_t top_at[2] = {0, 0};
  const char* top_texts[2][2] = {{nullptr, nullptr}, {nullptr, nullptr}};
  std::uint32_t columns = 0;  // left of the point, the sign's included; Iw: w
  std::uint32_t point = 0;    // the column of the point
  std::uint32_t whole_at = 0;
  std::uint8_t whole_skip = 0;
  const char* whole_texts[2] = {nullptr, nullptr};  // the texts of 0 and of -0, from whole_skip
  // A field: whether its value is steady (OutMember::steady) and the bytes of the value. Kept
  // and KeptEnd: the run (among its form's runs) and its slot; Kept: the steps it passes over
  // where the slot serves.
  bool steady = false;
  std::uint8_t value_size = 0;
  std::uint8_t slot = 0;
  std::uint8_t run = 0;
  const KeptRun* kept_run = nullptr;
  WriteStep field;
};

// The bytes past a record that a write through its compiled plan may change: the blanks are laid
// 32 bytes at a time, and literals of up to 16 characters copied 16 bytes at a time.
constexpr std::size_t kWriteSlack = 32;

}  // namespace layout_detail

struct Layout::WritePlan {
  std::vector<layout_detail::WriteStep> steps;  // empty where the record's width varies (A alone)
  std::size_t fields = 0;                       // its data fields
  std::string texts;                            // the literals' texts, each followed by 16 blanks
};

// How a bound writer writes the records of one run-time count: their image (the literals in
// their columns, blanks elsewhere, as long as the 32-byte steps that lay it reach and 16 bytes
// more), then each field from its member, up to the End step.
struct Layout::Writer::Form {
  std::size_t width = 0;   // the record's columns; 0 where the count was not bound
  std::size_t chunks = 0;  // the 32-byte steps that lay the image
  std::string image;
  std::vector<layout_detail::BoundStep> steps;
  std::vector<layout_detail::KeptRun> runs;  // by their slots
};

// A plan's data fields as the reader runs them on a line that reaches every column it loads:
// one entry per data field in record order, each Iw of up to 8 columns read from the word of the
// 8 columns from its first one, every other field by the plan's item.
struct Layout::Reading {
  struct Field {
    std::uint32_t column = 0;  // first column of the field (0-based)
    std::uint16_t step = 0;    // index of the field's item in the plan
    std::uint8_t shift = 0;    // Iw as a word: the shift that puts its last column highest
    bool word = false;         // an Iw read as a word
    std::uint16_t slot = 0;    // Iw as a word: its place among the plan's word fields
    std::uint64_t blanks = 0;  // Iw as a word: the blanks put before the field
  };
  // A word field as the scanned reader loads it from the digit values of the columns.
  struct Word {
    std::uint32_t column = 0;  // first column of the field
    std::uint8_t shift = 0;    // the shift that puts its last column highest
  };
  std::vector<Field> fields;
  std::vector<Word> words;          // the word fields in record order, each at its slot, then to 4n
  std::size_t min_line = SIZE_MAX;  // no line is read this way unless it is at least this long
  // Where every word field lies in the first 128 columns: the 16-column blocks that hold them,
  // classified at once before the fields are read (0: none, or a field beyond them), and per
  // half of those columns (bit k for column k) the columns of the word fields, those that are
  // not the first of their field, and the last one of each field.
  std::size_t blocks = 0;
  std::uint64_t word_columns[2] = {0, 0};
  std::uint64_t inner_columns[2] = {0, 0};
  std::uint64_t last_columns[2] = {0, 0};
};

// A plan of a bound layout read with the members it holds: where every field up to `count`
// takes its member without a check on the line (a word field an integer member, an A field a
// text or character), a read of `count` members stores the word fields' values and the A fields'
// columns directly once the scan shows the word fields plain. The word fields are combined four
// at a time in groups ordered by their members, so that members that lie next to each other in
// the object take their values in one store.
struct Layout::Bound::Form {
  struct Group {
    // How a group's four values reach their members: all four at `offset[0]` on (members one
    // after another in the object), or per half, the first two and the last two, the half's
    // two at its first offset on (bit 0 for the first half, bit 1 for the second) or each alone.
    enum class Store : std::uint8_t { Lanes = 0, LowPair = 1, HighPair = 2, Pairs = 3, Whole = 4 };
    // Per field: where the 8 scanned columns that end with its last column lie (from kScanFront
    // + its first column + its width - 8 on, or in the second copy when they cross a multiple of
    // 16 columns), and of those the bytes that are its own.
    alignas(16) std::uint64_t keep[4] = {0, 0, 0, 0};
    std::uint32_t at[4] = {0, 0, 0, 0};
    std::uint32_t offset[4] = {0, 0, 0, 0};  // of the members
    Store store = Store::Lanes;
  };
  struct Text {
    std::uint32_t column = 0;  // Char: the column it takes; Text: the field's first column
    std::uint32_t width = 0;   // Text: the field's width, UINT32_MAX for the rest of the line
    In::Kind kind = In::Kind::Text;
    std::uint32_t offset = 0;  // of the member, or the index of the text
  };
  bool direct = false;  // whether a read of `count` members may store the fields directly
  std::size_t count = 0;
  std::size_t blocks = 0;  // as in the plan's Reading, and its masks
  std::uint64_t word_columns[2] = {0, 0};
  std::uint64_t inner_columns[2] = {0, 0};
  std::uint64_t last_columns[2] = {0, 0};
  // The same columns per block as byte masks (0xFF for a column in the set), as the vector scan
  // applies them: the word fields' columns, those that are not the first of their field, and
  // those where a sign may stand (every column of a word field but its last).
  alignas(16) unsigned char block_words[8][16] = {};
  alignas(16) unsigned char block_inner[8][16] = {};
  alignas(16) unsigned char block_signs[8][16] = {};
  std::vector<Group> groups;
  std::vector<Text> chars;  // the Char texts
  std::vector<Text> texts;  // the Text texts
  // What a read field by field takes.
  const Layout* layout = nullptr;
  const InMember* members = nullptr;
  int n = 0;  // the run-time count of the form's plan
};

namespace layout_detail {

// The bytes before column 0 in the buffer of scanned columns that bound reads fill: a field's 8
// columns are loaded ending at its last one, so that a field near column 0 reaches into them.
inline constexpr std::size_t kScanFront = 16;

// The writing form of a plan of fixed width (no A alone) whose literals' texts are in `literals`.
Layout::WritePlan compile_write_plan(const std::vector<Layout::Item>& plan,
                                     const std::string& literals);

using Item = Layout::Item;
using Op = Layout::Item::Op;

constexpr int kMaxDepth = 8;             // nesting of groups
constexpr unsigned kMaxFixedWidth = 39;  // keeps every scaled Fw.d value inside 128 bits
constexpr unsigned kMaxDecimals = 22;    // 2^53 * 10^22 < 2^127

// The blanks that stand for the columns before a field of width w in its word.
[[gnu::always_inline]] inline std::uint64_t blanks_before(std::size_t w) {
  return w >= 8 ? 0 : 0x2020202020202020ULL >> (8 * w);
}

// Walks a layout in the order a record is written or read: every literal and nX once, every
// data descriptor once per repetition, groups entered as often as their count says.
class Walker {
 public:
  Walker(const std::vector<Item>& items, int n)
      : items_(items.data()), size_(items.size()), n_(n) {}

  // The next literal, nX or data descriptor; nullptr at the end of the layout.
  const Item* next() {
    if (left_ > 0) {
      --left_;
      return current_;
    }
    while (pc_ < size_) {
      const Item& it = items_[pc_];
      if (it.op == Op::Begin) {
        const int repeat = it.repeat(n_);
        if (repeat == 0) {
          pc_ = it.link + 1;
        } else {
          stack_[depth_++] = {pc_, repeat};
          ++pc_;
        }
        continue;
      }
      if (it.op == Op::End) {
        if (--stack_[depth_ - 1].left > 0) {
          pc_ = stack_[depth_ - 1].begin + 1;
        } else {
          --depth_;
          ++pc_;
        }
        continue;
      }
      ++pc_;
      if (it.op == Op::Skip || it.op == Op::Literal) return &it;
      const int repeat = it.repeat(n_);
      if (repeat == 0) continue;
      left_ = repeat - 1;
      current_ = &it;
      return &it;
    }
    return nullptr;
  }

 private:
  struct Frame {
    std::size_t begin;
    int left;
  };
  const Item* items_;
  std::size_t size_;
  int n_;
  std::size_t pc_ = 0;
  const Item* current_ = nullptr;
  int left_ = 0;  // repetitions of `current_` still to come
  Frame stack_[kMaxDepth];
  int depth_ = 0;
};

// The plan of a layout for one n, produced one item at a time: the Walker's literals and data
// descriptors with the nX before them folded in and their input columns counted.
class StepWalker {
 public:
  StepWalker(const std::vector<Item>& items, int n) : walker_(items, n) {}

  const Item* next() {
    std::uint32_t blanks = 0;
    while (const Item* it = walker_.next()) {
      if (it->op == Op::Skip) {
        blanks += it->w;
        column_ += it->w;
        continue;
      }
      step_ = *it;
      step_.a = 0;
      step_.b = 1;
      step_.blanks = blanks;
      step_.column = static_cast<std::uint32_t>(std::min<std::size_t>(column_, kPastLineEnd));
      if (std::endian::native == std::endian::little && it->op == Op::Int && it->w <= 8 &&
          column_ + 8 < kPastLineEnd) {
        step_.word_end = static_cast<std::uint32_t>(column_ + 8);
        step_.word_shift = static_cast<std::uint8_t>(8 * (8 - it->w));
        step_.word_blanks = blanks_before(it->w);
      }
      // A alone takes the rest of the line: whatever follows it reads past the end.
      column_ = it->op == Op::TextAll ? kPastLineEnd : column_ + it->w;
      return &step_;
    }
    return nullptr;  // nX at the end of the layout writes and reads nothing
  }

 private:
  static constexpr std::size_t kPastLineEnd = UINT32_MAX;
  Walker walker_;
  Item step_;
  std::size_t column_ = 0;
};

// A stored plan, item after item.
class PlanCursor {
 public:
  explicit PlanCursor(const std::vector<Item>& plan)
      : next_(plan.data()), end_(plan.data() + plan.size()) {}
  const Item* next() { return next_ == end_ ? nullptr : next_++; }

 private:
  const Item* next_;
  const Item* end_;
};

}  // namespace layout_detail

inline const std::vector<Layout::Item>* Layout::plan(int n) const {
  if (plans_.size() == 1) return &plans_[0];
  if (n >= 0 && n < static_cast<int>(plans_.size())) return &plans_[static_cast<std::size_t>(n)];
  return nullptr;
}

}  // namespace quillet
