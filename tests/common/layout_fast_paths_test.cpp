// The word-wide reader of short I fields held to the general reader on fields made of the
// characters that matter to either (blanks, signs, digits, a point, a letter): whatever the fast
// path takes, it must read as the general one does, and it must take the shapes the logger writes.
#include "common/layout_fast_paths.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/layout.hpp"

namespace quillet::layout_detail {
namespace {

// The word the engine loads for a field of up to 8 columns: the field in the highest bytes,
// blanks before it.
std::uint64_t word_of(const std::string& field) {
  std::string bytes(8 - field.size(), ' ');
  bytes += field;
  std::uint64_t word;
  std::memcpy(&word, bytes.data(), 8);
  return word;
}

TEST(LayoutFastPaths, ShortIntegerFieldsReadAsTheGeneralReaderReadsThem) {
  if (std::endian::native != std::endian::little) GTEST_SKIP() << "no fast path here";
  std::mt19937_64 rng(27);
  constexpr char kAlphabet[] = "  +-0123456789.x";
  int taken = 0;
  for (int k = 0; k < 300000; ++k) {
    std::string field(1 + rng() % 8, ' ');
    for (char& c : field) c = kAlphabet[rng() % (sizeof kAlphabet - 1)];
    // Half of them in the logger's shape: blanks, maybe a sign, digits.
    if (k % 2 == 0) {
      const std::size_t digits = rng() % (field.size() + 1);
      for (std::size_t i = 0; i < field.size(); ++i) {
        field[i] = i + digits < field.size() ? ' ' : static_cast<char>('0' + rng() % 10);
      }
      if (digits > 0 && digits < field.size() && rng() % 3 == 0)
        field[field.size() - digits - 1] = '-';
    }
    std::int32_t fast = -7;
    std::int32_t general = -7;
    const bool general_ok = read_int_general(field, general);
    if (read_int_word(word_of(field), fast)) {
      ++taken;
      ASSERT_TRUE(general_ok) << '"' << field << '"';
      ASSERT_EQ(fast, general) << '"' << field << '"';
    } else {
      ASSERT_EQ(fast, -7) << '"' << field << "\" declined, but its variable changed";
      if (k % 2 == 0) ADD_FAILURE() << '"' << field << "\" is in the shape the fast path takes";
    }
  }
  EXPECT_GT(taken, 150000);
}

// Whole records: the engine's reading (the compact form of a plan, word-wide I fields) against
// its general reader alone, on lines of the logger's shape, damaged ones and short ones.
struct Shape {
  std::string_view layout;
  int n;
};
constexpr Shape kShapes[] = {
    {"(1X, 2X, 3I2, 1X, I3, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)", 0},
    {"(3X, 3I2, 1X, (N-1)(4I6))", 3},
    {"(3X, 3I2, 1X, I3, 1X, (N-1)(4I6))", 2},
    {"(I3, 'ab', F6.2, A3, I9, I2, A, I4)", 0},
    {"(N(I8, 1X), I12)", 4},
    {"(3X, 3I2, 1X, I3, I7, 1X, A4, 8I6, 2I4)", 0},
    // Fields past the columns that are classified at once, and fields reaching their end.
    {"(10X, 4I8, 50X, 2I8, I6, 3I4)", 0},
    {"(N(1X, I7))", 8},
    {"(2X, A1, I2, A, I3)", 0},
};

// Numbers right-justified in their fields, then perhaps a few characters changed and the line
// cut short.
std::string record_line(const std::vector<Layout::Field>& fields, std::size_t columns, int k,
                        std::mt19937_64& rng) {
  constexpr char kAlphabet[] = "   -+0123456789.x";
  std::string line(columns + rng() % 4, ' ');
  for (const Layout::Field& field : fields) {
    if (field.width == 0) continue;
    std::string value = std::to_string(static_cast<std::int64_t>(rng() % 2000000) - 1000000);
    if (rng() % 16 == 0) value = value[0] == '-' ? value : '+' + value;
    value = value.substr(0, std::min<std::size_t>(value.size(), field.width));
    line.replace(field.column + field.width - value.size(), value.size(), value);
  }
  if (k % 3 != 0) {
    for (int n = static_cast<int>(rng() % 3); n > 0; --n) {
      line[rng() % line.size()] = kAlphabet[rng() % (sizeof kAlphabet - 1)];
    }
  }
  if (k % 7 == 0) line.resize(rng() % (line.size() + 1));
  return line;
}

TEST(LayoutFastPaths, RecordsReadAsTheGeneralReaderReadsThem) {
  std::mt19937_64 rng(26);
  int whole = 0;
  for (const Shape& shape : kShapes) {
    const Layout layout(shape.layout);
    std::size_t columns = 0;
    const std::vector<Layout::Field> fields = layout.fields(shape.n, columns);
    for (int k = 0; k < 20000; ++k) {
      const std::string line = record_line(fields, columns, k, rng);
      // Every variable an integer but the texts and reals the layout's fields ask for.
      std::int32_t ints[2][40];
      float reals[2][40];
      char chars[2][40];
      std::string_view texts[2][40];
      std::vector<In> targets[2];
      for (int side = 0; side < 2; ++side) {
        for (std::size_t f = 0; f < fields.size(); ++f) {
          ints[side][f] = -99;
          reals[side][f] = -99.0f;
          chars[side][f] = '?';
          if (fields[f].kind == Layout::Field::Kind::Fixed) {
            targets[side].emplace_back(reals[side][f]);
          } else if (fields[f].kind == Layout::Field::Kind::Text) {
            if (fields[f].width == 1) {
              targets[side].emplace_back(chars[side][f]);
            } else {
              targets[side].emplace_back(texts[side][f]);
            }
          } else {
            targets[side].emplace_back(ints[side][f]);
          }
        }
      }
      // Now and then a variable of the wrong kind, or fewer or more variables than fields.
      std::size_t count = fields.size();
      if (k % 11 == 0) count = rng() % (fields.size() + 2);
      if (count > fields.size()) {
        for (int side = 0; side < 2; ++side) targets[side].emplace_back(ints[side][39]);
      }
      if (k % 13 == 0) {
        const std::size_t f = rng() % fields.size();
        for (int side = 0; side < 2; ++side) targets[side][f] = In(reals[side][f]);
      }
      const ReadResult fast = layout.read(line, targets[0].data(), count, shape.n);
      const ReadResult general = layout.read_general(line, targets[1].data(), count, shape.n);
      ASSERT_EQ(fast.status, general.status) << shape.layout << " \"" << line << '"';
      ASSERT_EQ(fast.item, general.item) << shape.layout << " \"" << line << '"';
      for (std::size_t f = 0; f < fields.size(); ++f) {
        ASSERT_EQ(ints[0][f], ints[1][f]) << shape.layout << " \"" << line << "\" field " << f;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(reals[0][f]),
                  std::bit_cast<std::uint32_t>(reals[1][f]))
            << shape.layout << " \"" << line << "\" field " << f;
        ASSERT_EQ(chars[0][f], chars[1][f]) << shape.layout << " \"" << line << "\" field " << f;
        if (fields[f].kind == Layout::Field::Kind::Text && fields[f].width != 1) {
          ASSERT_EQ(texts[0][f], texts[1][f]) << shape.layout << " \"" << line << '"';
        }
      }
      if (fast.ok()) ++whole;
    }
  }
  EXPECT_GT(whole, 20000);  // lines read whole, not only refused ones
}

// Plain fields of every width combined four at a time, a field at a time and by the general
// reader from their text: the words hold the digit values the scan leaves, 0x80 for a minus.
TEST(LayoutFastPaths, PlainFieldsCombineAsTheGeneralReaderReadsThem) {
  std::mt19937_64 rng(29);
  for (int round = 0; round < 2000; ++round) {
    const std::size_t count = 1 + rng() % 40;
    std::vector<std::uint64_t> words(count);
    std::vector<std::int32_t> expected(count);
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t w = 1 + rng() % 8;
      const std::size_t digits = rng() % (w + 1);
      const bool minus = digits > 0 && digits < w && rng() % 2 == 0;
      std::string text(w, ' ');
      std::uint64_t word = 0;
      for (std::size_t i = w - digits; i < w; ++i) {
        const unsigned d = rng() % 10;
        text[i] = static_cast<char>('0' + d);
        word |= std::uint64_t{d} << (8 * (8 - w + i));
      }
      if (minus) {
        text[w - digits - 1] = '-';
        word |= std::uint64_t{0x80} << (8 * (8 - digits - 1));
      }
      words[k] = word;
      ASSERT_TRUE(read_int_general(text, expected[k])) << '"' << text << '"';
    }
    std::vector<std::int32_t> four(count, -7);
    std::vector<std::int32_t> one(count, -7);
    combine_words(words.data(), count, four.data());
    combine_words_scalar(words.data(), count, one.data());
    ASSERT_EQ(four, expected);
    ASSERT_EQ(one, expected);
  }
}

// The columns classified 16 at a time against their classification one at a time, on lines of
// every length around the blocks asked for.
TEST(LayoutFastPaths, ColumnsScanAsTheyDoOneAtATime) {
  std::mt19937_64 rng(28);
  constexpr char kAlphabet[] = "    --++0123456789./x*\t\x80\xff";
  for (int k = 0; k < 20000; ++k) {
    const std::size_t blocks = 1 + rng() % 8;
    std::string line(rng() % (16 * blocks + 20), ' ');
    for (char& c : line) c = kAlphabet[rng() % (sizeof kAlphabet - 1)];
    ScannedColumns fast;
    ScannedColumns slow;
    std::memset(&fast, 0x5a, sizeof fast);
    std::memset(&slow, 0xa5, sizeof slow);
    scan_columns(line, blocks, fast);
    scan_columns_scalar(line, blocks, slow);
    for (int h = 0; h < 2; ++h) {
      ASSERT_EQ(fast.plain[h], slow.plain[h]) << '"' << line << "\" " << blocks;
      ASSERT_EQ(fast.numeric[h], slow.numeric[h]) << '"' << line << "\" " << blocks;
      ASSERT_EQ(fast.digit[h], slow.digit[h]) << '"' << line << "\" " << blocks;
    }
    ASSERT_EQ(0, std::memcmp(fast.values, slow.values, 16 * blocks + 16))
        << '"' << line << "\" " << blocks;
  }
  // A line of the logger's kind, column by column.
  ScannedColumns s;
  scan_columns(" D$090000 100   -12  +3 x", 2, s);
  EXPECT_EQ(s.digit[0], 0x1F8u | 0x7u << 10 | 0x3u << 17 | 1u << 22);
  EXPECT_EQ(s.digit[1], 0u);
  EXPECT_EQ(s.values[4], 9);
  EXPECT_EQ(s.values[16], 0x80);
  EXPECT_EQ(s.values[18], 2);
  EXPECT_EQ(s.values[21], 0);  // a plus sign counts for nothing
  EXPECT_EQ(s.numeric[0] >> 16 & 0b111, 0b111u);
  EXPECT_EQ(s.plain[0] >> 24 & 1, 0u);                       // the letter
  EXPECT_EQ(s.plain[0] >> 25, (std::uint64_t{1} << 7) - 1);  // blanks past the line's end
}

// The same records read through layouts bound to the members of an object, now and then with a
// member of a kind its field cannot take, and fewer members than fields; the integer members in
// the fields' order, shuffled among gaps (runs and pairs of neighbours, and members alone), or
// several fields read into one member (the last one read wins).
TEST(LayoutFastPaths, BoundRecordsReadAsTheGeneralReaderReadsThem) {
  struct Variables {
    std::int32_t ints[40];
    float reals[40];
    char chars[40];
  };
  std::mt19937_64 rng(30);
  int whole = 0;
  for (const Shape& shape : kShapes) {
    for (int variant = 0; variant < 5; ++variant) {
      const Layout layout(shape.layout);
      std::size_t columns = 0;
      const std::vector<Layout::Field> fields = layout.fields(shape.n, columns);
      // Variant 1 gives one integer field a real; variant 2 binds fewer members than fields.
      const std::size_t wrong = variant == 1 ? rng() % fields.size() : fields.size();
      const std::size_t bound = variant == 2 ? 1 + rng() % fields.size() : fields.size();
      std::vector<std::size_t> slot(40);
      for (std::size_t f = 0; f < slot.size(); ++f) slot[f] = f;
      if (variant == 3) std::shuffle(slot.begin(), slot.end(), rng);
      if (variant == 4) {
        for (std::size_t& f : slot) f = rng() % 6;
      }
      const auto variables_of = [&](Variables& v, std::string_view* texts) {
        std::vector<In> in;
        for (std::size_t f = 0; f < bound; ++f) {
          if (fields[f].kind == Layout::Field::Kind::Fixed || f == wrong) {
            in.emplace_back(v.reals[f]);
          } else if (fields[f].kind == Layout::Field::Kind::Text) {
            if (fields[f].width == 1) {
              in.emplace_back(v.chars[f]);
            } else {
              in.emplace_back(texts[f]);
            }
          } else {
            in.emplace_back(v.ints[slot[f]]);
          }
        }
        return in;
      };
      Variables prototype{};
      std::string_view prototype_texts[40];
      const std::vector<In> prototype_in = variables_of(prototype, prototype_texts);
      const std::vector<InMember> members =
          members_in(&prototype, sizeof prototype, prototype_in.data(), prototype_in.size());
      const Layout::Bound bound_layout(layout, members);
      for (int k = 0; k < 3000; ++k) {
        const std::string line = record_line(fields, columns, k, rng);
        Variables fast;
        Variables general;
        std::memset(&fast, 0x55, sizeof fast);
        std::memset(&general, 0x55, sizeof general);
        std::string_view fast_texts[40];
        std::string_view general_views[40];
        std::vector<In> general_in = variables_of(general, general_views);
        const std::size_t count = k % 5 == 0 ? rng() % (bound + 1) : bound;
        const ReadResult a = bound_layout.read(line, &fast, count, shape.n, fast_texts);
        const ReadResult b = layout.read_general(line, general_in.data(), count, shape.n);
        ASSERT_EQ(a.status, b.status) << shape.layout << " \"" << line << '"';
        ASSERT_EQ(a.item, b.item) << shape.layout << " \"" << line << '"';
        ASSERT_EQ(0, std::memcmp(&fast, &general, sizeof fast))
            << shape.layout << " \"" << line << '"';
        // Texts are numbered among the texts in the bound form, by field in the general one.
        std::size_t t = 0;
        for (std::size_t f = 0; f < count; ++f) {
          if (general_in[f].kind == In::Kind::Text) {
            ASSERT_EQ(fast_texts[t++], general_views[f]) << shape.layout << " \"" << line << '"';
          }
        }
        if (a.ok()) ++whole;
      }
    }
  }
  EXPECT_GT(whole, 20000);
}

// Every pair of neighbouring columns of a record of the logger's shape given every pair of the
// characters that decide a field's shape, and the record cut at every length: the bound read
// against the general reader, on layouts whose fields start, end and straddle at every place of
// the 16-column blocks the columns are checked in.
TEST(LayoutFastPaths, BoundReadsDecideEveryColumnAsTheGeneralReader) {
  struct Record {
    std::int32_t ints[24];
    char chars[4];
  };
  constexpr Shape kEdges[] = {
      {"(13X, 8I6)", 0},
      {"(N(1X, I7))", 8},
      {"(2X, I8, 5I5, 1X, I3, A1, 4I8, 2I1)", 0},
      {"(1X, 2X, 3I2, 1X, I3, 1X, I6, A1, 1X, I6, A1, I1, 1X, 4I6, 2(1X, I5), 1X, 2I4)", 0},
  };
  constexpr char kCharacters[] = " -+7x";
  std::mt19937_64 rng(31);
  for (const Shape& shape : kEdges) {
    const Layout layout(shape.layout);
    std::size_t columns = 0;
    const std::vector<Layout::Field> fields = layout.fields(shape.n, columns);
    const auto variables_of = [&](Record& record) {
      std::vector<In> in;
      std::size_t i = 0;
      std::size_t c = 0;
      for (const Layout::Field& field : fields) {
        if (field.kind == Layout::Field::Kind::Text) {
          in.emplace_back(record.chars[c++]);
        } else {
          in.emplace_back(record.ints[i++]);
        }
      }
      return in;
    };
    Record prototype{};
    const std::vector<In> prototype_in = variables_of(prototype);
    const Layout::Bound bound(
        layout, members_in(&prototype, sizeof prototype, prototype_in.data(), prototype_in.size()));
    const auto check = [&](const std::string& line) {
      Record fast;
      Record general;
      std::memset(&fast, 0x55, sizeof fast);
      std::memset(&general, 0x55, sizeof general);
      const std::vector<In> general_in = variables_of(general);
      const ReadResult a = bound.read(line, &fast, general_in.size(), shape.n);
      const ReadResult b = layout.read_general(line, general_in.data(), general_in.size(), shape.n);
      ASSERT_EQ(a.status, b.status) << shape.layout << " \"" << line << '"';
      ASSERT_EQ(a.item, b.item) << shape.layout << " \"" << line << '"';
      ASSERT_EQ(0, std::memcmp(&fast, &general, sizeof fast))
          << shape.layout << " \"" << line << '"';
    };
    for (int round = 0; round < 4; ++round) {
      const std::string line = record_line(fields, columns, 3, rng);  // whole, unchanged
      for (std::size_t length = 0; length <= line.size(); ++length) {
        ASSERT_NO_FATAL_FAILURE(check(line.substr(0, length)));
      }
      for (std::size_t column = 1; column < columns; ++column) {
        for (const char before : std::string_view(kCharacters)) {
          for (const char at : std::string_view(kCharacters)) {
            std::string changed = line;
            changed[column - 1] = before;
            changed[column] = at;
            ASSERT_NO_FATAL_FAILURE(check(changed));
            if (round == 0) {
              ASSERT_NO_FATAL_FAILURE(check(changed.substr(0, column + 1)));
            }
          }
        }
      }
    }
  }
}

// A bound layout's members come from the variables of one object, texts numbered apart.
TEST(LayoutFastPaths, MembersOfAnObject) {
  struct Record {
    std::int32_t a = 0;
    char b = ' ';
    std::int32_t c[3] = {};
  } record;
  std::string_view tag;
  const std::vector<InMember> members = members_of(record, {record.c[2], tag, record.b, record.a});
  ASSERT_EQ(members.size(), 4u);
  EXPECT_EQ(members[0].offset, offsetof(Record, c) + 8);
  EXPECT_EQ(members[1].kind, In::Kind::Text);
  EXPECT_EQ(members[1].offset, 0u);
  EXPECT_EQ(members[2].kind, In::Kind::Char);
  EXPECT_EQ(members[2].offset, offsetof(Record, b));
  EXPECT_EQ(members[3].offset, 0u);
  const Layout::Bound layout(Layout("(I2, A4, A1, I3)"), members);
  Record other;
  EXPECT_TRUE(layout.read_all("12CONVx-45", &other, &tag).ok());
  EXPECT_EQ(other.c[2], 12);
  EXPECT_EQ(tag, "CONV");
  EXPECT_EQ(other.b, 'x');
  EXPECT_EQ(other.a, -45);
}

}  // namespace
}  // namespace quillet::layout_detail
