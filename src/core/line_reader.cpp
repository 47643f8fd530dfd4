#include "core/line_reader.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "core/byte_scan.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillet {

Flow read_next_raw_line(InputFile& input, std::int32_t& line_number, std::string_view& raw) {
  ++line_number;
  switch (input.next_line(raw)) {
    case InputFile::Read::Line:
      return Flow::NextLine;
    case InputFile::Read::End:
      return Flow::EndOfFile;
    case InputFile::Read::Error:
      return Flow::InputReadError;
  }
  return Flow::InputReadError;
}

void load_line(Line& line, std::string_view raw, bool may_hold_h, bool readable_after) {
  line.assign(raw, may_hold_h, readable_after);
  line.align_marker();
}

bool trimmed_in_place(std::string_view raw, std::string_view& trimmed) {
  if (raw.size() > kLineWidth || (raw.size() > 1 && raw[1] == '$' && raw[0] != '$')) return false;
  const std::size_t last = raw.find_last_not_of(' ');
  trimmed = raw.substr(0, last == std::string_view::npos ? 0 : last + 1);
  return true;
}

Flow read_next_line(InputFile& input, std::int32_t& line_number, Line& line) {
  std::string_view raw;
  const Flow flow = read_next_raw_line(input, line_number, raw);
  if (flow == Flow::NextLine) load_line(line, raw, input.may_hold_h(), true);
  return flow;
}

namespace {

using byte_scan::Bytes;
// Counts per byte lane, wrapping at 256.
using Counts = unsigned char __attribute__((vector_size(16)));

bool any_lane(Bytes lanes) {
#if defined(__SSE2__)
  return _mm_movemask_epi8(std::bit_cast<__m128i>(lanes)) != 0;
#else
  std::uint64_t halves[2];
  std::memcpy(halves, &lanes, sizeof halves);
  return (halves[0] | halves[1]) != 0;
#endif
}

// The sum of sixteen lanes, each a count from 0 to 255.
std::int32_t lane_total(Counts counts) {
  std::uint64_t halves[2];
  std::memcpy(halves, &counts, sizeof halves);
  constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFu;
  // Pairs of lanes into sixteen-bit sums (at most 1020 over both halves), then those summed into
  // the top sixteen bits.
  const std::uint64_t pairs = (halves[0] & kLowBytes) + (halves[0] >> 8 & kLowBytes) +
                              (halves[1] & kLowBytes) + (halves[1] >> 8 & kLowBytes);
  return static_cast<std::int32_t>(pairs * 0x0001000100010001u >> 48);
}

// Where the search of the buffered lines 64 bytes at a time ended.
struct BlockSearch {
  enum class End : std::uint8_t { Found, Incomplete, Blocks } end;
  std::size_t first;    // Found: the line's first byte; Incomplete: the unfinished line's
  std::size_t stop;     // Found: its line end
  std::size_t next;     // Blocks: the first byte not searched
  std::int32_t passed;  // the lines before `first`, or before `next`
};

// The lines of the 64 bytes from k with the letter in their first or second byte, in order:
// true with `result` set when one holds the marker; else false with the block's line ends added
// to `passed`.
[[gnu::noinline]] bool search_block(std::string_view text, std::size_t k, char end,
                                    std::string_view marker, std::int32_t& passed,
                                    BlockSearch& result) {
  const char* const data = text.data();
  const std::uint64_t ends = byte_mask64(data + k, end);
  const bool after_end = k == 0 || data[k - 1] == end;
  const std::uint64_t starts = ends << 1 | std::uint64_t{after_end};
  // The byte before the block began a line that it did not end (k is 64 or more here).
  const bool second = !after_end && data[k - 2] == end;
  std::uint64_t candidates =
      byte_mask64(data + k, marker[0]) & (starts | (starts & ~ends) << 1 | std::uint64_t{second});
  for (; candidates != 0; candidates &= candidates - 1) {
    const auto bit = static_cast<unsigned>(std::countr_zero(candidates));
    const std::size_t first = k + bit - ((starts >> bit & 1) == 0);
    const std::int32_t before = passed + std::popcount(ends & ((std::uint64_t{1} << bit) - 1));
    std::size_t stop;
    if (const std::uint64_t later = ends >> bit; later != 0) {
      stop = k + bit + static_cast<std::size_t>(std::countr_zero(later));
    } else {
      const char* const found = find_byte(data + k + 64, text.size() - k - 64, end);
      if (found == nullptr) {
        result = {BlockSearch::End::Incomplete, first, 0, 0, before};
        return true;
      }
      stop = static_cast<std::size_t>(found - data);
    }
    if (raw_line_has_marker(buffered_line(text, first, stop), marker)) {
      result = {BlockSearch::End::Found, first, stop, 0, before};
      return true;
    }
  }
  passed += std::popcount(ends);
  return false;
}

// Looks at the buffered text 64 bytes at a time for a line with the marker's letter in column 1
// or 2 that holds the marker. Blocks without the letter only have their line ends counted, in
// byte lanes (a lane takes at most four a block, so the lanes are added up every 63 blocks).
BlockSearch search_blocks(std::string_view text, char end, std::string_view marker) {
  const char* const data = text.data();
  const std::size_t size = text.size();
  const Bytes end_lanes = byte_scan::splat(end);
  const Bytes letter_lanes = byte_scan::splat(marker[0]);
  std::int32_t passed = 0;
  BlockSearch result{};
  std::size_t k = 0;
  while (k + 64 <= size) {
    const std::size_t group_end = k + 64 * std::min<std::size_t>(63, (size - k) / 64);
    Counts tally{};  // line ends per lane
    for (; k < group_end; k += 64) {
      Bytes c0;
      Bytes c1;
      Bytes c2;
      Bytes c3;
      std::memcpy(&c0, data + k, 16);
      std::memcpy(&c1, data + k + 16, 16);
      std::memcpy(&c2, data + k + 32, 16);
      std::memcpy(&c3, data + k + 48, 16);
      const Bytes letters =
          (c0 == letter_lanes) | (c1 == letter_lanes) | (c2 == letter_lanes) | (c3 == letter_lanes);
      if (!any_lane(letters)) {
        // A lane of a comparison is all ones where it holds: 255, one less in the count.
        tally -= std::bit_cast<Counts>((c0 == end_lanes) + (c1 == end_lanes) + (c2 == end_lanes) +
                                       (c3 == end_lanes));
        continue;
      }
      passed += lane_total(tally);
      tally = Counts{};
      if (search_block(text, k, end, marker, passed, result)) return result;
    }
    passed += lane_total(tally);
  }
  return {BlockSearch::End::Blocks, 0, 0, k, passed};
}

}  // namespace

Flow read_next_marked_line(InputFile& input, std::int32_t& line_number, std::string_view marker,
                           std::string_view& raw) {
  const char end = input.line_end();
  for (;;) {
    const std::string_view text = input.buffered();
    const char* const data = text.data();
    const BlockSearch blocks = search_blocks(text, end, marker);
    std::int32_t counted = blocks.passed;  // lines passed over
    std::size_t start = blocks.first;      // of the next line
    // Gives the line from `start` that ends at `stop`.
    const auto give = [&](std::size_t stop) {
      line_number += counted + 1;
      input.skip_buffered(stop + 1);
      raw = buffered_line(text, start, stop);
      return Flow::NextLine;
    };
    if (blocks.end == BlockSearch::End::Found) return give(blocks.stop);
    if (blocks.end == BlockSearch::End::Blocks) {
      // The rest, shorter than a block, taken at its line ends sixteen bytes at a time: only a
      // line with the marker's first character in one of its first two columns is looked at.
      std::size_t k = blocks.next;
      start = k;
      while (start > 0 && data[start - 1] != end) --start;
      // A line ending at `stop` that holds the marker is given; false to go on.
      const auto take = [&](std::size_t stop) {
        const bool candidate = (start < stop && data[start] == marker[0]) ||
                               (start + 1 < stop && data[start + 1] == marker[0]);
        if (candidate && raw_line_has_marker(buffered_line(text, start, stop), marker)) {
          give(stop);
          return true;
        }
        ++counted;
        start = stop + 1;
        return false;
      };
      for (; k + 16 <= text.size(); k += 16) {
        for (unsigned ends = byte_mask(data + k, end); ends != 0; ends &= ends - 1) {
          if (take(k + static_cast<std::size_t>(std::countr_zero(ends)))) return Flow::NextLine;
        }
      }
      for (; k < text.size(); ++k) {
        if (data[k] == end && take(k)) return Flow::NextLine;
      }
    }
    line_number += counted;
    input.skip_buffered(start);
    // The next line is not complete in the buffer: read it as ever.
    const Flow flow = read_next_raw_line(input, line_number, raw);
    if (flow != Flow::NextLine || raw_line_has_marker(raw, marker)) return flow;
  }
}

bool raw_line_has_marker(std::string_view raw, std::string_view marker) {
  // Aligned lines are at least kLineWidth columns, so columns 1-3 always exist there; a raw
  // line shorter than that is blank beyond its end, and a blank is never part of a marker.
  const auto at = [raw](std::size_t k) { return k < raw.size() ? raw[k] : ' '; };
  if (at(1) == marker[0] && at(2) == marker[1]) return at(1) != '$' || at(0) == '$';
  // Shifted right by one: the first "$" of columns 1-5 is column 2.
  return at(1) == '$' && at(0) != '$' && at(0) == marker[0] && marker[1] == '$';
}

}  // namespace quillet
