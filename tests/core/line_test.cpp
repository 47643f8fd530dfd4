#include "core/line.hpp"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

#include "common/text.hpp"
#include "core/files.hpp"
#include "core/line_reader.hpp"
#include "support/aligned_line.hpp"
#include "support/e2e.hpp"

namespace quillet {
namespace {

using testing::aligned;

TEST(MarkerAlignment, ShiftsOnlyLinesWhoseFirstDollarIsInColumnTwo) {
  EXPECT_EQ(aligned("T$123456").trimmed(), " T$123456");
  EXPECT_EQ(aligned("xT$123456").trimmed(), "xT$123456");
  EXPECT_EQ(aligned("$PDLMT,1").trimmed(), "$PDLMT,1");  // "$" in column 1 stays
  EXPECT_EQ(aligned("abcdefg$").trimmed(), "abcdefg$");  // no "$" in columns 1-5
  // The shift drops the last of the 120 columns.
  const Line full = aligned("G$" + std::string(115, 'x') + "END");
  EXPECT_EQ(full.view().size(), 120u);
  EXPECT_EQ(full.view().substr(0, 3), " G$");
  EXPECT_EQ(full.view().substr(117), "xEN");
}

TEST(MarkerAlignment, TrimmedLengthFollowsTheShift) {
  // Trailing blanks of the raw line, the blank put in front by the shift, and a last column that
  // the shift pushes out while the columns before it are blank.
  EXPECT_EQ(aligned("G$12   ").trimmed(), " G$12");
  EXPECT_EQ(aligned("   ").trimmed(), "");
  EXPECT_EQ(aligned("G$" + std::string(117, ' ') + "Z").trimmed(), " G$");
  EXPECT_EQ(aligned(" G$" + std::string(200, 'y')).trimmed().size(), 120u);
}

// One line taking lines of every length in turn: each shows its own columns, blank-padded, and
// nothing of a longer line before it, nor of the bytes after it that it may read.
TEST(Line, EveryLengthShowsItsColumnsBlankPadded) {
  std::mt19937 random(27);
  Line line;
  for (int k = 0; k < 4000; ++k) {
    std::string bytes(random() % 131 + InputFile::kSlack, 'x');
    for (char& c : bytes) c = random() % 3 == 0 ? ' ' : static_cast<char>('!' + random() % 90);
    const std::string raw = bytes.substr(0, bytes.size() - InputFile::kSlack);
    if (k % 2 == 0) {
      line.assign(raw);
    } else {
      line.assign(std::string_view(bytes).substr(0, raw.size()), true, true);
    }
    std::string padded = raw.substr(0, kLineWidth);
    padded.resize(kLineWidth, ' ');
    ASSERT_EQ(line.view(), padded) << k;
    ASSERT_EQ(line.trimmed(), padded.substr(0, padded.find_last_not_of(' ') + 1)) << k;
  }
}

// A line read where the input holds it reads as the loaded line does.
TEST(Line, TrimmedInPlaceIsTheLoadedLine) {
  std::mt19937 random(5);
  const char kChars[] = {' ', ' ', '$', 'G', 'x', '\t'};
  for (int k = 0; k < 3000; ++k) {
    std::string raw(random() % 126, ' ');
    for (char& c : raw) c = kChars[random() % sizeof kChars];
    std::string_view trimmed;
    if (trimmed_in_place(raw, trimmed)) {
      ASSERT_EQ(trimmed, aligned(raw).trimmed()) << "[" << raw << "]";
    } else {
      ASSERT_TRUE(raw.size() > kLineWidth || aligned(raw).trimmed() != trim_right(raw)) << k;
    }
  }
}

// The pre-scan looks for its marker before aligning: the answer must be that of the aligned line.
TEST(MarkerAlignment, MarkerOfTheRawLineIsThatOfTheAlignedLine) {
  const std::string lines[] = {" G$GPGGA", "G$GPGGA", "xG$",  "$G$", "G$",  "G",
                               "",         " G",      "$$G$", "GG$", " $G", "$G",
                               "  G$",     "G $",     " T$",  "T$",  "$$"};
  for (const std::string& raw : lines) {
    for (const std::string_view marker : {"G$", "T$", "$G", "$$"}) {
      EXPECT_EQ(raw_line_has_marker(raw, marker), aligned(raw).columns(2, 3) == marker)
          << "[" << raw << "] " << marker;
    }
  }
}

TEST(InputFile, ReadsLinesDroppingCarriageReturnsAndCuttingOverlongLines) {
  testing::TempDir dir;
  const std::string long_line(5000, 'L');
  const std::string path =
      dir.write("in.raw", "one\r\n\r\n" + long_line + "\r\ntwo\nlast without feed\r");
  InputFile input(600);  // a buffer smaller than the long line
  ASSERT_TRUE(input.open(path));
  std::string_view line;
  std::vector<std::string> got;
  while (input.next_line(line) == InputFile::Read::Line) got.emplace_back(line);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got[0], "one");
  EXPECT_EQ(got[1], "");
  EXPECT_EQ(got[2], std::string(256, 'L'));
  EXPECT_EQ(got[3], "two");
  EXPECT_EQ(got[4], "last without feed");
  EXPECT_EQ(input.next_line(line), InputFile::Read::End);
  ASSERT_TRUE(input.rewind());
  ASSERT_EQ(input.next_line(line), InputFile::Read::Line);
  EXPECT_EQ(line, "one");
}

TEST(InputFile, RefusesFoldersAndMissingFiles) {
  testing::TempDir dir;
  InputFile input;
  EXPECT_FALSE(input.open(dir.path().string()));
  EXPECT_EQ(input.not_regular(), "");
  EXPECT_FALSE(input.open(dir.file("missing.raw")));
  EXPECT_EQ(input.not_regular(), "");
  EXPECT_FALSE(input.open("/dev/null"));
  EXPECT_EQ(input.not_regular(), "a character device");
}

std::vector<std::string> all_lines(InputFile& input) {
  std::vector<std::string> got;
  std::string_view line;
  while (input.next_line(line) == InputFile::Read::Line) got.emplace_back(line);
  return got;
}

// The first 64 KiB decide: a CR and no LF there, and the file is read at its CRs (a line longer
// than the buffer included, and again after a rewind); an LF there, and a CR is a character.
TEST(InputFile, FileWithCrAloneInItsFirst64KiBIsReadAtItsCrs) {
  testing::TempDir dir;
  const std::string long_line(5000, 'L');
  InputFile input(600);
  ASSERT_TRUE(input.open(dir.write("cr.raw", "one\r\r" + long_line + "\rtwo\rlast")));
  EXPECT_TRUE(input.cr_line_ends());
  const std::vector<std::string> expected{"one", "", std::string(256, 'L'), "two", "last"};
  EXPECT_EQ(all_lines(input), expected);
  ASSERT_TRUE(input.rewind());
  EXPECT_EQ(all_lines(input), expected);

  // An LF only after the first 64 KiB: still a file of CR lines, the LF a character.
  const std::string filler(70000, 'x');
  ASSERT_TRUE(input.open(dir.write("late_lf.raw", "a\r" + filler + "\nb\rc")));
  EXPECT_TRUE(input.cr_line_ends());
  EXPECT_EQ(all_lines(input), (std::vector<std::string>{"a", std::string(256, 'x'), "c"}));

  // An LF within them: CRs stay in their lines, but for the one before an LF.
  ASSERT_TRUE(input.open(dir.write("lf.raw", "a\rb\r\nc\r")));
  EXPECT_FALSE(input.cr_line_ends());
  EXPECT_EQ(all_lines(input), (std::vector<std::string>{"a\rb", "c"}));

  // Neither: one line.
  ASSERT_TRUE(input.open(dir.write("none.raw", "only")));
  EXPECT_FALSE(input.cr_line_ends());
  EXPECT_EQ(all_lines(input), (std::vector<std::string>{"only"}));
}

// The buffer is filled a part at a time: lines, long ones cut at the buffer's size, CR line ends
// and last lines without a line end come out the same whatever a read brings, again after a
// rewind, and so do the marked lines of the pre-scan.
TEST(InputFile, LinesDoNotDependOnHowMuchOneReadBrings) {
  testing::TempDir dir;
  std::mt19937_64 rng(2026);
  for (int k = 0; k < 60; ++k) {
    const char* const end = k % 3 == 0 ? "\r" : k % 3 == 1 ? "\r\n" : "\n";
    std::string content;
    for (int n = static_cast<int>(rng() % 40); n > 0; --n) {
      content += rng() % 4 == 0 ? " G$GPGGA" : " D$1 2";
      const std::size_t length = rng() % 8 == 0 ? rng() % 2000 : rng() % 90;
      content += std::string(length, static_cast<char>('a' + rng() % 26));
      if (rng() % 7 != 0) content += end;
    }
    const std::string path = dir.write("in.raw", content);
    InputFile whole(600, 600);
    ASSERT_TRUE(whole.open(path));
    const std::vector<std::string> expected = all_lines(whole);
    for (const std::size_t read_size : {1, 7, 64, 599, 4096}) {
      InputFile parts(600, read_size);
      ASSERT_TRUE(parts.open(path));
      EXPECT_EQ(parts.cr_line_ends(), whole.cr_line_ends()) << k;
      EXPECT_EQ(all_lines(parts), expected) << k << " read " << read_size;
      ASSERT_TRUE(parts.rewind());
      EXPECT_EQ(all_lines(parts), expected) << k << " read " << read_size << " again";
      ASSERT_TRUE(parts.rewind());
      std::int32_t number = 0;
      std::int32_t every_number = 0;
      std::string_view raw;
      std::size_t at = 0;
      for (;;) {
        while (at < expected.size() && !raw_line_has_marker(expected[at], "G$")) ++at;
        every_number = static_cast<std::int32_t>(std::min(at, expected.size())) + 1;
        const Flow flow = read_next_marked_line(parts, number, "G$", raw);
        if (at == expected.size()) {
          EXPECT_EQ(flow, Flow::EndOfFile) << k << " read " << read_size;
          break;
        }
        ASSERT_EQ(flow, Flow::NextLine) << k << " read " << read_size;
        EXPECT_EQ(raw, expected[at]) << k << " read " << read_size;
        EXPECT_EQ(number, every_number) << k << " read " << read_size;
        ++at;
      }
    }
  }
}

TEST(OutputFile, NeverOpensTheInputEvenUnderAnotherName) {
  testing::TempDir dir;
  const std::string path = dir.write("in.raw", "T$ data\n");
  std::filesystem::create_hard_link(path, dir.file("link.raw"));
  InputFile input;
  ASSERT_TRUE(input.open(path));
  OutputFile out;
  EXPECT_FALSE(out.open(path, input));
  EXPECT_FALSE(out.open(dir.file("link.raw"), input));
  EXPECT_FALSE(out.open(dir.path().string() + "/./in.raw", input));
  EXPECT_EQ(testing::read_file(path), "T$ data\n");
  ASSERT_TRUE(out.open(dir.file("out.txt"), input));
  out.write_line("abc");
  out.close(Disposition::Keep);
  EXPECT_TRUE(testing::file_equals(dir.file("out.txt"), "abc\n"));
  ASSERT_TRUE(out.open(dir.file("gone.txt"), input));
  out.write_line("abc");
  out.close(Disposition::Delete);
  EXPECT_FALSE(std::filesystem::exists(dir.file("gone.txt")));
}

// Line ends are found for many lines at once: the lines are still those of a plain split at
// every line feed (less a carriage return before it), whatever the lengths, and when one reader
// takes some lines one by one and passes over others to the next marked one. A line that holds
// an "H" is never said to hold none.
TEST(InputFile, LinesAreThoseOfAPlainSplitWhenEveryAndMarkedReadsMix) {
  testing::TempDir dir;
  std::mt19937_64 rng(77);
  for (int k = 0; k < 300; ++k) {
    std::vector<std::string> expected;
    std::string content;
    for (int n = static_cast<int>(rng() % 80); n > 0; --n) {
      std::string line(rng() % 4 == 0 ? rng() % 200 : rng() % 70, 'x');
      for (char& c : line) c = rng() % 500 == 0 ? 'H' : "ab G$\r 7"[rng() % 9];
      const bool crlf = rng() % 3 == 0;
      content += line + (crlf ? "\r\n" : "\n");
      if (!crlf && !line.empty() && line.back() == '\r') line.pop_back();
      expected.push_back(line);
    }
    const std::string path = dir.write("in.raw", content);
    InputFile input(k % 2 == 0 ? 512 : 1 << 20, k % 3 == 0 ? 100 : 4096);
    ASSERT_TRUE(input.open(path));
    std::int32_t number = 0;
    std::size_t at = 0;
    std::string_view raw;
    for (;;) {
      const bool marked = rng() % 3 == 0;
      if (marked) {
        while (at < expected.size() && !raw_line_has_marker(expected[at], "G$")) ++at;
        const Flow flow = read_next_marked_line(input, number, "G$", raw);
        if (at == expected.size()) {
          ASSERT_EQ(flow, Flow::EndOfFile) << k;
          break;
        }
        ASSERT_EQ(flow, Flow::NextLine) << k;
      } else if (read_next_raw_line(input, number, raw) != Flow::NextLine) {
        ASSERT_EQ(at, expected.size()) << k;
        break;
      }
      ASSERT_LT(at, expected.size()) << k;
      ASSERT_EQ(raw, expected[at]) << k << " line " << at;
      if (!marked && raw.find('H') != std::string_view::npos) {
        ASSERT_TRUE(input.may_hold_h()) << k << " line " << at;
      }
      ASSERT_EQ(number, static_cast<std::int32_t>(++at)) << k;
    }
  }
}

// The "H" of a line makes the lines that share its 64 bytes of the buffer uncertain, and those
// that the reader took one at a time; the others are known to hold none.
TEST(InputFile, LinesFarFromAnyHAreKnownToHoldNone) {
  testing::TempDir dir;
  std::string content;
  for (int k = 0; k < 2000; ++k) {
    content += k == 1000 ? " C$090000 Sample 10 Hz\n" : " X$090000 150   3919  -121  3819\n";
  }
  InputFile input(1 << 20, 4096);
  ASSERT_TRUE(input.open(dir.write("in.raw", content)));
  int uncertain = 0;
  std::string_view raw;
  while (input.next_line(raw) == InputFile::Read::Line) {
    if (raw.find('H') != std::string_view::npos) {
      EXPECT_TRUE(input.may_hold_h());
    } else if (input.may_hold_h()) {
      ++uncertain;
    }
  }
  EXPECT_LT(uncertain, 100);
}

}  // namespace
}  // namespace quillet
