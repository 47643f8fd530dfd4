#include "core/line_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

#include "core/files.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

// Reads `path` twice, every line one by one and by the search for marked lines, and holds the
// search to the same lines, numbers and ends.
void expect_marked_lines_as_read_one_by_one(const std::string& path, std::size_t buffer,
                                            std::size_t read_size, const std::string& label) {
  InputFile every(buffer, read_size);
  InputFile marked(buffer, read_size);
  ASSERT_TRUE(every.open(path));
  ASSERT_TRUE(marked.open(path));
  std::int32_t every_number = 0;
  std::int32_t marked_number = 0;
  for (int found = 0;; ++found) {
    std::string_view every_line;
    Flow every_flow;
    do {
      every_flow = read_next_raw_line(every, every_number, every_line);
    } while (every_flow == Flow::NextLine && !raw_line_has_marker(every_line, "G$"));
    std::string_view marked_line;
    const Flow marked_flow = read_next_marked_line(marked, marked_number, "G$", marked_line);
    ASSERT_EQ(marked_flow, every_flow) << label << " after " << found;
    ASSERT_EQ(marked_number, every_number) << label << " after " << found;
    if (every_flow != Flow::NextLine) break;
    ASSERT_EQ(marked_line, every_line) << label << " line " << every_number;
  }
}

// Files built to meet the search where it takes 64 bytes at a time: the marker's letter at
// either side of a block's edge, in a line's first, second or a later column, lines of every
// length around a block (empty ones included), NULs and bytes with the high bit set, stretches
// of thousands of line ends or of letter-free text between marked lines (the counts of a long
// stretch are added up in parts), long lines past a small buffer, every kind of line end and
// files without a last one.
TEST(MarkedLineSearch, FindsTheLinesAndNumbersThatReadingEveryLineFinds) {
  testing::TempDir dir;
  std::mt19937_64 rng(4096);
  using namespace std::string_view_literals;
  // clang-format off
  const std::string_view pieces[] = {
      " G$GPGGA,1*00", "G$x", "xG$", "$G$", "G", "GG$", " G", "GGGG", "G$", "  G$", " D$1 2 3",
      "\r", "$$", "\0G$"sv, " G\xe9$", "GG$G$", " T$G$", "\xc7$", "G\r$", " T$090000 1 2", "",
      "G\n$", "\nG$"};
  // clang-format on
  for (int k = 0; k < 500; ++k) {
    const std::string_view end = k % 4 == 0 ? "\r" : k % 4 == 1 ? "\r\n" : "\n";
    std::string content;
    for (int n = static_cast<int>(rng() % 120); n > 0; --n) {
      switch (rng() % 8) {
        case 0:  // a stretch of line ends alone
          content.append(rng() % 2 == 0 ? rng() % 70 : 4000 + rng() % 20000, end.back());
          break;
        case 1:  // a long letter-free line
          content.append(rng() % 2 == 0 ? rng() % 130 : 3000 + rng() % 9000, 'y');
          content.append(end);
          break;
        default: {
          // A line whose length puts its start near a block's edge.
          const std::size_t edge = 64 - content.size() % 64;
          const std::size_t fill = rng() % 2 == 0 ? (edge + 62 + rng() % 5) % 64 : rng() % 90;
          std::string line(fill, 'x');
          for (char& c : line) c = rng() % 6 == 0 ? 'G' : c;
          content += std::string(pieces[rng() % std::size(pieces)]);
          content += line;
          if (rng() % 3 == 0) content += std::string(pieces[rng() % std::size(pieces)]);
          content.append(end);
        }
      }
    }
    // CR-only files hold no line feed; the others may end without their last line end.
    if (end == "\r") std::erase(content, '\n');
    if (k % 3 == 0 && !content.empty()) content.pop_back();
    const std::string path = dir.write("in.raw", content);
    const std::string label = "file " + std::to_string(k);
    expect_marked_lines_as_read_one_by_one(path, 1 << 20, 128 << 10, label);
    if (k % 5 == 0) {
      expect_marked_lines_as_read_one_by_one(path, k % 2 == 0 ? 512 : 700, 100 + rng() % 600,
                                             label);
    }
  }
}

// Each search starts after the line found before it: a marked line, then lines of F bytes, then
// the line looked at, for every F around the 64-byte blocks, so that the line looked at starts,
// has its letter or ends on either side of a block's edge, in a block or in the rest after the
// last block (a file that ends with it), with and without lines after it.
TEST(MarkedLineSearch, ALineAtEveryPlaceAroundTheBlocks) {
  testing::TempDir dir;
  const std::size_t lengths[] = {0, 5, 13, 62, 63, 64, 1, 65, 2};
  const auto segment = [&lengths](std::string_view end, std::size_t filler, std::string_view line,
                                  std::size_t after) {
    std::string text = "G$";
    text += end;
    std::size_t left = filler;
    for (std::size_t n = 0; left >= end.size(); ++n) {
      const std::size_t length = std::min(left - end.size(), lengths[n % std::size(lengths)]);
      text.append(length, 'q');
      text += end;
      left -= length + end.size();
    }
    text.append(left, '\n');
    text += line;
    text += end;
    if (after > 0) text.append(after, 'z') += end;
    return text;
  };
  for (const std::string_view end : {"\n", "\r\n", "\r"}) {
    const std::string kind = "end " + std::to_string(end.size()) + std::string(1, end[0]);
    for (const std::string_view line : {" G$a", "G$a", " Gx", "xG$", "G", " G"}) {
      for (const std::size_t after : {0, 1, 30, 70}) {
        std::string content;
        for (std::size_t filler = 0; filler <= 150; ++filler) {
          content += segment(end, filler, line, after);
        }
        const std::string path = dir.write("in.raw", content);
        const std::string label =
            kind + " line " + std::string(line) + " after " + std::to_string(after);
        expect_marked_lines_as_read_one_by_one(path, 1 << 20, 128 << 10, label);
        expect_marked_lines_as_read_one_by_one(path, 512, 512, label + " small buffer");
      }
    }
    // The line looked at last in the file.
    for (std::size_t filler = 0; filler <= 150; ++filler) {
      for (const std::string_view line : {" G$a", "G$a"}) {
        const std::string path = dir.write("in.raw", segment(end, filler, line, 0));
        expect_marked_lines_as_read_one_by_one(
            path, 4096, 4096, kind + " last line " + std::string(line) + std::to_string(filler));
      }
    }
  }
}

}  // namespace
}  // namespace quillet
