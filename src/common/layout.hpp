// Fixed-column record layouts, written as Fortran format texts and executed by one engine.
//
// A `Layout` is parsed once from a text such as "(I6, 1X, A1, I6, 1X, A1, N(4F9.2), I2)" and
// then used to write or read one line at a time. The semantics are those of Fortran formatted
// I/O as gfortran implements it:
//  - Iw, Fw.d, Aw, A, nX, 'text' (or "text"), k(...) and groups whose repeat count is given at
//    call time: N(...), (N-1)(...), (4N)F9.2, M(F9.4), (M-1)I6. Every run-time count is
//    a*n + b for the one value `n` passed to the call (the number of coil arrays, or of EMS
//    channels); a count that comes out below 0 counts as 0.
//  - Output: numbers right-justified, a field too narrow is filled with asterisks, Fw.d rounds
//    the exact binary value (ties to even), "-0.00" for negative values that round to zero, the
//    leading zero dropped when the field has no room for it, Aw pads on the left or keeps the
//    first w characters. Output stops at the first data descriptor for which no value is left
//    (literals and blanks before it are written; blanks at the end of the record are not).
//  - Input: blanks inside numeric fields are ignored, an all-blank field is zero, an explicit
//    decimal point overrides d, a line shorter than the layout reads blanks. Numeric fields accept
//    only blanks, one sign before the first digit or point, digits and, for F, one point; anything
//    else (exponents, NaN, Inf, letters, a sign or point without any digit, an integer beyond 32
//    bits, a value too large for the variable) is an error of that field, even where gfortran
//    is more lenient. An F field's decimal value is rounded correctly to float or double.
// A layout text that cannot be parsed is a programming error: the constructor aborts. So is a
// value of a kind that does not suit its descriptor: `write` aborts, `read` reports the variable
// as BadField. On input a literal skips as many columns as it has characters, and A
// alone takes the rest of the line (a character variable its first column), so that fields after
// it read blanks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillet {

// One value handed to a write. Integers go to Iw, reals to Fw.d, texts and characters to Aw/A.
// Sixteen bytes, filled for every field of every record: a text keeps its length in 32 bits.
struct Out {
  enum class Kind : std::uint8_t { Int, Real32, Real64, Text, Char };
  union {
    std::int32_t i;
    float f;
    double d;
    char c;
    const char* chars;  // Text: its first character
  };
  std::uint32_t size;  // Text: its length
  Kind kind;

  constexpr Out(std::int32_t v) : i(v), kind(Kind::Int) {}
  constexpr Out(char v) : c(v), kind(Kind::Char) {}  // a one-character text (a suffix letter)
  constexpr Out(float v) : f(v), kind(Kind::Real32) {}
  constexpr Out(double v) : d(v), kind(Kind::Real64) {}
  constexpr Out(std::string_view v)
      : chars(v.data()), size(static_cast<std::uint32_t>(v.size())), kind(Kind::Text) {}
  constexpr Out(const char* v) : Out(std::string_view(v)) {}
  Out(const std::string& v) : Out(std::string_view(v)) {}

  std::string_view text() const { return {chars, size}; }
};

// A value that a bound writer (Layout::Writer) takes from one of the objects it writes from: its
// kind (Int, Real32, Real64 or Char), the place of its object among them and its offset there.
struct OutMember {
  Out::Kind kind;
  std::uint8_t object;
  std::uint32_t offset;
  bool steady = false;            // seldom changes from one record to the next (see KeptFields)
  std::uint32_t object_size = 0;  // the bytes of its object
};

// The values of one record named as members of the objects a bound writer writes from, in
// record order: `members << s.STATION << s.HC[0]`. Only the offsets are kept, so any objects of
// the same types serve. A value outside every object (a temporary, a constant) aborts: values
// computed per record go into an object of their own.
class OutMembers {
 public:
  template <typename... Objects>
  explicit OutMembers(const Objects&... objects)
      : objects_{{static_cast<const void*>(&objects), sizeof(Objects)}...} {}

  OutMembers& operator<<(const std::int32_t& v) { return add(Out::Kind::Int, &v, sizeof v); }
  OutMembers& operator<<(const float& v) { return add(Out::Kind::Real32, &v, sizeof v); }
  OutMembers& operator<<(const double& v) { return add(Out::Kind::Real64, &v, sizeof v); }
  OutMembers& operator<<(const char& v) { return add(Out::Kind::Char, &v, sizeof v); }
  // Values of other types would be converted into temporaries.
  template <typename T>
  OutMembers& operator<<(const T&) = delete;
  // Marks the values named from here on as steady (or no longer): values that stay the same
  // over several records in a row, such as those of a GPS fix (see KeptFields).
  OutMembers& steady(bool on) {
    steady_ = on;
    return *this;
  }

  std::vector<OutMember> take() { return std::move(members_); }

 private:
  OutMembers& add(Out::Kind kind, const void* value, std::size_t size);

  std::vector<std::pair<const void*, std::size_t>> objects_;
  std::vector<OutMember> members_;
  bool steady_ = false;
};

// One variable filled by a read. A texts take the field's characters as a view into the line
// (cut short where the line ends; use `pad_to` for a blank-padded copy).
struct In {
  enum class Kind : std::uint8_t { Int, Real32, Real64, Text, Char };
  Kind kind;
  void* target;

  In(std::int32_t& v) : kind(Kind::Int), target(&v) {}
  In(float& v) : kind(Kind::Real32), target(&v) {}
  In(double& v) : kind(Kind::Real64), target(&v) {}
  In(std::string_view& v) : kind(Kind::Text), target(&v) {}
  In(char& v) : kind(Kind::Char), target(&v) {}  // A1: a blank when the line has ended
  In(Kind k, void* t) : kind(k), target(t) {}    // a variable of that kind at `t`
};

// A variable that a bound layout (Layout::Bound) reads into: a member of the object it reads,
// by its kind and its offset in the object; for a text (an A field's view into the line), the
// index of the text among the texts of the call instead.
struct InMember {
  In::Kind kind;
  std::uint32_t offset;
};

// The members of `object` behind `variables` (in their order), for a Layout::Bound built once.
// Every variable lies inside the object but the texts, which are numbered in their order.
std::vector<InMember> members_in(const void* object, std::size_t size, const In* variables,
                                 std::size_t count);
template <typename Object>
std::vector<InMember> members_of(Object& object, std::initializer_list<In> variables) {
  return members_in(&object, sizeof(Object), variables.begin(), variables.size());
}

enum class ReadStatus : std::uint8_t {
  Ok,
  BadField,     // a field is not a number of its descriptor (or does not fit the variable)
  EndOfRecord,  // more variables than the layout has data descriptors
};

struct ReadResult {
  ReadStatus status = ReadStatus::Ok;
  int item = 0;  // 0-based index of the variable whose field failed
  bool ok() const { return status == ReadStatus::Ok; }
};

class Layout {
 public:
  // Parses the layout text; aborts with a message on a malformed text.
  explicit Layout(std::string_view text);

  // Formats one record into `line` (cleared first; no newline added) from the values in order.
  // `n` is the value of the run-time repeat count. A value whose kind does not suit its
  // descriptor, or values left over at the end of the layout, are a programming error: the call
  // aborts with a message, as the constructor does on a malformed text. `line` keeps its
  // capacity, so a reused string does not allocate.
  void write(std::string& line, std::initializer_list<Out> values, int n = 0) const;
  void write(std::string& line, const Out* values, std::size_t count, int n = 0) const;

  // Writing a record straight into a caller's buffer. `write_room` is the number of bytes from
  // `out` on that such a write may change (the record's columns and a few after them), or 0 when
  // records of `n` have no fixed width (A alone) or no plan is kept for `n`: those go through a
  // string. The write returns
  // the record's length, and treats the values as the other forms do.
  std::size_t write_room(int n) const;
  std::size_t write(char* out, const Out* values, std::size_t count, int n = 0) const;
  // The same record written by the engine's general writer alone, item by item without the
  // compiled plan: what tests and the fuzz target hold the faster writing to.
  void write_general(std::string& line, const Out* values, std::size_t count, int n = 0) const;

  // Reads one record from `line` into the variables in order. Variables before a failing field
  // keep what was read into them.
  ReadResult read(std::string_view line, std::initializer_list<In> targets, int n = 0) const;
  ReadResult read(std::string_view line, const In* targets, std::size_t count, int n = 0) const;
  // The same read by the engine's general reader alone, field by field without the word-wide
  // paths: what tests and the fuzz target hold the faster reading to.
  ReadResult read_general(std::string_view line, const In* targets, std::size_t count,
                          int n = 0) const;

  const std::string& text() const { return text_; }

  // One data field of a record as the layout places it for the run-time count `n`: for readers
  // that check a record's shape column by column before they trust its values.
  struct Field {
    enum class Kind : std::uint8_t { Int, Fixed, Text };
    Kind kind;
    std::uint32_t column;  // first column, 0-based
    std::uint32_t width;   // 0 for A alone, which takes the rest of the line
    std::uint8_t decimals;
  };
  // The data fields in record order (literals and blanks left out), and the record's width in
  // `columns`.
  std::vector<Field> fields(int n, std::size_t& columns) const;

  Layout(const Layout& other);
  Layout(Layout&& other) noexcept;
  Layout& operator=(const Layout& other);
  Layout& operator=(Layout&& other) noexcept;
  ~Layout();

  class Bound;   // a layout bound once to the members of one kind of object (below)
  class Writer;  // a layout bound once to members of objects, for writing (below)

  struct Item;  // one parsed descriptor or group marker, or one step of a plan (layout_plan.hpp)
  struct WritePlan;  // a plan compiled for writing (layout_plan.hpp)
  struct Reading;    // a plan's data fields in the compact form the reader runs (layout_plan.hpp)

 private:
  // The flattened plan for `n`, or nullptr when none is kept for it.
  const std::vector<Item>* plan(int n) const;

  std::string text_;
  std::string literals_;                  // the texts of all literals, one after another
  std::vector<Item> items_;               // the parsed layout; groups jump back to their start
  std::vector<std::vector<Item>> plans_;  // per n from 0 (just one without run-time counts)
  std::vector<std::uint32_t> widths_;     // per plan: its record's columns; 0 where A varies it
  std::vector<WritePlan> write_plans_;    // per plan: its writing form where its width is fixed
  std::vector<Reading> readings_;         // per plan: its data fields for reading
};

// A layout bound once to variables of one kind of object, for records read line after line
// into such an object: a read takes the object alone instead of a list of variables, and the
// variables' kinds are checked against the fields once per plan instead of on every line. Reads
// as Layout::read does, with the same results, errors included.
class Layout::Bound {
 public:
  // `members`: the variables of a read in their order (members_of). Aborts beyond 64 members.
  Bound(Layout layout, std::vector<InMember> members);

  // Reads the first `count` members (no more than were bound) of `object`; the texts among
  // them go to `texts`, which has room for every text member.
  ReadResult read(std::string_view line, void* object, std::size_t count, int n = 0,
                  std::string_view* texts = nullptr) const {
    // One form per plan of the layout: the only one, or the one of `n`.
    const std::size_t p = form_count_ == 1 ? 0 : static_cast<std::size_t>(n);
    if (p < form_count_ && count == directs_[p].count) {
      const Direct& direct = directs_[p];
      return direct.read(*direct.form, line.data(), line.size(), static_cast<char*>(object), texts);
    }
    return read_fields(line, object, count, n, texts);
  }
  // Every member, for a layout without a run-time count.
  ReadResult read_all(std::string_view line, void* object,
                      std::string_view* texts = nullptr) const {
    return read(line, object, members_.size(), 0, texts);
  }

  const Layout& layout() const { return layout_; }

  Bound(const Bound&) = delete;
  Bound& operator=(const Bound&) = delete;
  ~Bound();

  struct Form;  // how a read of one plan runs (layout_plan.hpp)

 private:
  // A form's read of `count` members that takes a line of the usual shape at once (of any other
  // count: none, SIZE_MAX).
  struct Direct {
    ReadResult (*read)(const Form& form, const char* line, std::size_t size, char* object,
                       std::string_view* texts) = nullptr;
    std::size_t count = SIZE_MAX;
    const Form* form = nullptr;
  };
  // The read field by field, through the layout with the members as variables.
  ReadResult read_fields(std::string_view line, void* object, std::size_t count, int n,
                         std::string_view* texts) const;

  Layout layout_;
  std::vector<InMember> members_;
  std::vector<Form> forms_;      // per plan of the layout
  std::vector<Direct> directs_;  // per plan too
  std::size_t form_count_ = 0;   // their number, kept apart for the reads
};

// The texts of fields that bound writers (Layout::Writer) keep from one record to the next. A
// logger reads some ten times a second and fixes its position once a second, so the fields of a
// fix (its time, its position, the UTM coordinates) stand unchanged in record after record. A
// record's steady fields (OutMembers::steady) that stand next to each other form a run where they
// take their values from one object, within 64 bytes of it, and from at most one other object,
// within 16 bytes of that one (the zeros that some records put among the columns of a fix); a
// writer copies a run's columns from here when those bytes and the run's fields are those it
// wrote there last, instead of formatting the values again (the first object must have 64 bytes
// and the other 16; a change of the bytes among the 64 that are not the run's values costs a run
// written afresh, never a wrong text). Owned by whoever writes the records (one per run) and
// handed to each write of any bound writer: a slot that a run of other fields used misses, so
// layouts and counts may change between records. Fixed size.
struct KeptFields {
  static constexpr std::size_t kSlots = 4;        // runs kept per record
  static constexpr std::size_t kFields = 9;       // fields per run at most
  static constexpr std::size_t kBytes = 64;       // bytes of an object a run's values lie in
  static constexpr std::size_t kOtherBytes = 16;  // bytes of the other object
  static constexpr std::size_t kColumns = 64;     // columns per run at most
  // The writer's own: one run as last written.
  struct Slot {
    alignas(16) unsigned char fields[32] = {};      // the run's fields described; 0: never written
    alignas(16) unsigned char values[kBytes] = {};  // the bytes its values lie in
    alignas(16) unsigned char other[kOtherBytes] = {};  // those in the other object
    alignas(16) char text[kColumns] = {};               // its columns
  };
  Slot slots[kSlots];
};

// A layout bound once to members of a few kinds of object, for records written again and again
// from such objects: a write takes the objects alone instead of a list of values, the kinds are
// checked against the fields once, and the literals and blanks of a record are laid from its
// image at once. Writes what Layout::write writes from the same values. Every record of a bound
// count has a fixed width (no A alone).
class Layout::Writer {
 public:
  // `members[k]`: the values of a record of the run-time count first + k, as many as its data
  // fields and each of a kind its field takes (Int for Iw, Real32 or Real64 for Fw.d, Char for
  // Aw). Anything else aborts, as a malformed layout text does.
  Writer(Layout layout, int first, std::vector<std::vector<OutMember>> members);

  // The bytes from `out` on that a write of a record of `n` may change (its columns and a few
  // after them); 0 when no record of `n` was bound.
  std::size_t write_room(int n) const;
  // Writes the record of the bound count `n` from `objects` (as many as were bound, in their
  // order) into `out`, which has write_room(n) bytes; returns the record's length. An unbound
  // count aborts. The runs of steady fields are copied from `kept` where their values are those
  // last written there, and kept there otherwise; the bytes written are the same.
  std::size_t write(char* out, const void* const* objects, int n, KeptFields& kept) const;

  const Layout& layout() const { return layout_; }

  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer();

  struct Form;  // how the records of one count are written (layout_plan.hpp)

 private:
  const Form& form(int n) const;

  Layout layout_;
  int first_;
  std::vector<Form> forms_;     // per count from first_
  std::size_t form_count_ = 0;  // their number, kept apart: the vector's takes a division
};

// A Layout::Writer with the types of its objects: records of the counts first..last, written
// from objects of these types in this order.
template <typename... Objects>
class RecordWriter {
 public:
  // `bind(members, n, objects...)` names the values of a record of `n` as members of `objects`
  // (any objects of these types: only their offsets are kept).
  template <typename Bind>
  RecordWriter(std::string_view text, int first, int last, Bind bind, const Objects&... objects)
      : writer_(Layout(text), first, [&] {
          std::vector<std::vector<OutMember>> members;
          for (int n = first; n <= last; ++n) {
            OutMembers named(objects...);
            bind(named, n, objects...);
            members.push_back(named.take());
          }
          return members;
        }()) {}

  std::size_t write_room(int n) const { return writer_.write_room(n); }
  // Every field formatted, none kept from an earlier record.
  std::size_t write(char* out, int n, const Objects&... objects) const {
    KeptFields none;
    return write(out, none, n, objects...);
  }
  // The same with the texts of the runs of steady fields kept in `kept`.
  std::size_t write(char* out, KeptFields& kept, int n, const Objects&... objects) const {
    const void* const bases[] = {static_cast<const void*>(&objects)...};
    return writer_.write(out, bases, n, kept);
  }
  // The same into a string (which keeps its capacity).
  void write(std::string& line, int n, const Objects&... objects) const {
    line.resize(write_room(n));
    line.resize(write(line.data(), n, objects...));
  }

  const Layout& layout() const { return writer_.layout(); }

 private:
  Layout::Writer writer_;
};

// `text` blank-padded or cut to exactly `width` characters (for A fields read into fixed texts).
std::string pad_to(std::string_view text, std::size_t width);

}  // namespace quillet
