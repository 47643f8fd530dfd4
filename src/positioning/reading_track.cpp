#include "positioning/reading_track.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "core/byte_scan.hpp"
#include "core/files.hpp"
#include "core/line.hpp"
#include "core/line_reader.hpp"
#include "positioning/gga.hpp"
#include "positioning/precise_gga.hpp"
#include "positioning/utm.hpp"

namespace quillet {

namespace {

constexpr double kDay = 86400.0;
constexpr double kHalfDay = 43200.0;
constexpr double kPi = 3.14159265358979323846;
constexpr double kRadian = kPi / 180.0;
// GRS 80, the ellipsoid of the program's projection.
constexpr double kSemiMajor = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257222101;
constexpr double kEccentricity2 = kFlattening * (2.0 - kFlattening);

constexpr std::size_t kEventCapacity = 1024;
constexpr std::size_t kFixCapacity = 512;
constexpr std::size_t kOffsetSamples = 50000;
// Fixes logged between two readings whose midpoint rule they wait for.
constexpr std::size_t kWaitingFixes = 64;
constexpr double kHeadingWindow = 1.0;    // s on either side of the reading
constexpr double kShortestHeading = 0.2;  // m between the window's ends

bool digit_or_blank(char c) {
  return c == ' ' || (c >= '0' && c <= '9');
}

// An integer field as the layouts read it: leading blanks, then digits.
[[gnu::always_inline]] inline bool read_field(std::string_view text, std::int32_t& value) {
  value = 0;
  bool digits = false;
  for (const char c : text) {
    if (!digit_or_blank(c)) return false;
    if (c == ' ') {
      if (digits) return false;
      continue;
    }
    digits = true;
    value = value * 10 + (c - '0');
  }
  return true;
}

// HHMMSS: seconds since midnight; false when it is not a time of day.
[[gnu::always_inline]] inline bool read_clock(std::string_view text, double& seconds) {
  if (text.size() == 6) {
    // Six digits, as nearly every stamp has them, checked at once: no blank to weigh.
    std::uint64_t bytes = 0x3030303030303030ULL;
    std::memcpy(&bytes, text.data(), 6);
    if constexpr (std::endian::native == std::endian::big) bytes = __builtin_bswap64(bytes);
    // Every byte 0x30 to 0x39: its high half 3, and still 3 with 6 added.
    constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
    constexpr std::uint64_t kZeros = 0x3030303030303030ULL;
    if ((bytes & kHigh) == kZeros && ((bytes + 0x0606060606060606ULL) & kHigh) == kZeros) {
      const std::uint64_t d = bytes - kZeros;  // digit k in byte k
      const auto digit = [d](unsigned k) {
        return static_cast<std::int32_t>((d >> (8 * k)) & 0xF);
      };
      const std::int32_t h = digit(0) * 10 + digit(1);
      const std::int32_t m = digit(2) * 10 + digit(3);
      const std::int32_t s = digit(4) * 10 + digit(5);
      if (h > 23 || m > 59 || s > 60) return false;
      seconds = (h * 60 + m) * 60 + s;
      return true;
    }
  }
  std::int32_t h = 0, m = 0, s = 0;
  if (!read_field(text.substr(0, 2), h) || !read_field(text.substr(2, 2), m) ||
      !read_field(text.substr(4, 2), s)) {
    return false;
  }
  if (h > 23 || m > 59 || s > 60) return false;
  seconds = (h * 60 + m) * 60 + s;
  return true;
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t days_from_civil(std::int32_t y, std::int32_t m, std::int32_t d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(std::int64_t z, DateTime& out) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t m = mp + (mp < 10 ? 3 : -9);
  out.year = static_cast<std::int32_t>(yoe + era * 400 + (m <= 2));
  out.month = static_cast<std::int32_t>(m);
  out.day = static_cast<std::int32_t>(d);
}

// The date of the last day asked for: the readings of a logger file fall on a day or two.
struct DayCache {
  bool filled = false;
  std::int64_t day = 0;
  DateTime date;
};

// A time in seconds from midnight of `day` (days since 1970) as a date and a time of day, to the
// millisecond.
DateTime date_time_of(std::int64_t day, double seconds, DayCache& cache) {
  const double scaled = seconds * 1000.0;
  std::int64_t milliseconds = 0;
  if (scaled >= 0.0 && scaled < 4503599627370496.0) {
    // std::llround without the library call: the fraction below 2^52 is exact.
    milliseconds = static_cast<std::int64_t>(scaled);
    milliseconds += scaled - static_cast<double>(milliseconds) >= 0.5 ? 1 : 0;
  } else {
    milliseconds = static_cast<std::int64_t>(std::llround(scaled));
  }
  std::int64_t days = milliseconds / 86400000;
  std::int64_t rest = milliseconds % 86400000;
  if (rest < 0) {
    rest += 86400000;
    --days;
  }
  if (!cache.filled || cache.day != day + days) {
    cache.filled = true;
    cache.day = day + days;
    civil_from_days(cache.day, cache.date);
  }
  DateTime out = cache.date;
  out.milliseconds = rest;
  return out;
}

// Reduces a difference of times of day into (-12 h, +12 h].
double reduce_half_day(double seconds) {
  double r = std::fmod(seconds, kDay);
  if (r <= -kHalfDay) r += kDay;
  if (r > kHalfDay) r -= kDay;
  return r;
}

// What a line of the input is to the track. The tests mirror the record loop's classification,
// so that both agree about where a logger file starts and where the data end.
enum class TrackLine : std::uint8_t { Other, Header, End, Reading, Fix, Sampling };

// The readings per second of a sampling line ("Sample 10 Hz"); 0 when it tells none.
std::int32_t sampling_rate(std::string_view text) {
  const std::size_t sample = text.find("Sample") + 6;
  const std::size_t hz = text.find("Hz", sample);
  std::int32_t rate = 0;
  for (std::size_t k = sample; k < hz; ++k) {
    const char c = text[k];
    if (c >= '0' && c <= '9') {
      rate = rate * 10 + (c - '0');
      if (rate > 10000) return 0;
    } else if (c != ' ') {
      return 0;
    }
  }
  return rate;
}

// `has_header_mark`: the line holds "H$" (worth_loading tells it from the line as read).
TrackLine classify(const Line& line, bool has_header_mark) {
  // The marker's letter, or a blank where column 3 holds no "$". Compared a character at a time:
  // a whole-program build would otherwise call out to compare two characters.
  const char marker = line.column(3) == '$' ? line.column(2) : ' ';
  if (marker == 'C') {
    const std::string_view text = line.view();
    const std::size_t sample = text.find("Sample");
    if (sample != std::string_view::npos && text.find("Hz", sample) != std::string_view::npos) {
      return TrackLine::Sampling;
    }
    return TrackLine::Other;
  }
  if (has_header_mark && line.view().find("H$") != std::string_view::npos) {
    return TrackLine::Header;
  }
  if (marker == 'Z') return TrackLine::End;
  if (marker == 'T' || marker == 'D' || marker == 'N') return TrackLine::Reading;
  if (marker == 'G') return TrackLine::Fix;  // "$PDLMT" has no "$" in column 3
  if (line.columns(1, 6) == "$PDLMT") return TrackLine::Reading;
  return TrackLine::Other;
}

// Whether `text` holds "H$".
bool has_header_pair(std::string_view text) {
  const char* const end = text.data() + text.size();
  for (const char* h = text.data(); h < end; ++h) {
    h = static_cast<const char*>(std::memchr(h, 'H', static_cast<std::size_t>(end - h)));
    if (h == nullptr) return false;
    if (h + 1 < end && h[1] == '$') return true;
  }
  return false;
}

// Whether the marker of a line as read is one that `classify` tells apart from Other.
[[gnu::always_inline]] inline bool worth_by_marker(std::string_view raw) {
  const auto at = [raw](std::size_t k) { return k < raw.size() ? raw[k] : ' '; };
  const char marker = at(2) == '$' ? at(1) : (at(1) == '$' ? at(0) : ' ');
  switch (marker) {
    case 'T':
    case 'D':
    case 'N':
    case 'G':
    case 'C':
    case 'Z':
      return true;
    default:
      break;
  }
  return raw.substr(0, 6) == "$PDLMT";
}

}  // namespace

namespace reading_track_detail {

// Whether a line as read may be one that `classify` tells apart from Other: most lines of a
// survey (X$ and S$ lines, R$ copies) are passed over without being aligned. A header line is
// one with "H$" anywhere in its first 120 columns, aligned.
bool worth_loading(std::string_view raw, bool& has_header_mark) {
  has_header_mark = has_header_pair(raw.substr(0, kLineWidth + 1));
  return has_header_mark || worth_by_marker(raw);
}

// The next line of `input` that worth_loading takes, with its "H$" mark, counting every line in
// `line_number`; false at the end of the input or on a read error. The lines complete in the
// buffer are taken at their ends sixteen bytes at a time, with the "H$" pairs of the same bytes;
// a line that is not complete there is read as ever.
bool next_worth_loading(InputFile& input, std::int32_t& line_number, std::string_view& raw,
                        bool& has_header_mark) {
  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  const char end = input.line_end();
  for (;;) {
    const std::string_view text = input.buffered();
    const char* const data = text.data();
    std::int32_t counted = 0;  // lines looked at
    std::size_t start = 0;     // of the next line
    std::size_t pair = kNone;  // the first "H$" of that line
    // The line that ends at `stop` is given when worth_loading takes it; false to go on.
    const auto take = [&](std::size_t stop) {
      ++counted;
      const std::string_view line = buffered_line(text, start, stop);
      // "H$" in the first 121 columns.
      const bool mark = pair != kNone && pair - start < kLineWidth;
      if (mark || worth_by_marker(line)) {
        line_number += counted;
        input.skip_buffered(stop + 1);
        raw = line;
        has_header_mark = mark;
        return true;
      }
      start = stop + 1;
      pair = kNone;
      return false;
    };
    std::size_t k = 0;
    // The line ends and the "H$" pairs of the 16 or 32 bytes from k (bit j for byte k + j): each
    // line that ends there is taken, with the first pair before its end; true when one is given.
    const auto step = [&](std::uint32_t ends, std::uint32_t pairs) {
      for (; ends != 0; ends &= ends - 1) {
        const auto at = static_cast<unsigned>(std::countr_zero(ends));
        const std::uint32_t before = pairs & ((std::uint32_t{1} << at) - 1);
        if (before != 0 && pair == kNone) {
          pair = k + static_cast<std::size_t>(std::countr_zero(before));
        }
        // Those up to the line end gone (all of them at bit 31, where 2 << 31 wraps to 0).
        pairs &= ~((std::uint32_t{2} << at) - 1);
        if (take(k + at)) return true;
      }
      if (pairs != 0 && pair == kNone) pair = k + static_cast<std::size_t>(std::countr_zero(pairs));
      return false;
    };
    // Thirty-two bytes a step; their "$" only where an "H" stands among them.
    for (; k + 33 <= text.size(); k += 32) {
      const char* const block = data + k;
      std::uint32_t pairs = byte_mask(block, 'H') | byte_mask(block + 16, 'H') << 16;
      if (pairs != 0) pairs &= byte_mask(block + 1, '$') | byte_mask(block + 17, '$') << 16;
      if (step(byte_mask(block, end) | byte_mask(block + 16, end) << 16, pairs)) return true;
    }
    for (; k + 17 <= text.size(); k += 16) {
      if (step(byte_mask(data + k, end), byte_mask(data + k, 'H') & byte_mask(data + k + 1, '$'))) {
        return true;
      }
    }
    for (; k < text.size(); ++k) {
      if (pair == kNone && data[k] == 'H' && k + 1 < text.size() && data[k + 1] == '$') pair = k;
      if (data[k] == end && take(k)) return true;
    }
    line_number += counted;
    input.skip_buffered(start);
    // The next line is not complete in the buffer.
    if (read_next_raw_line(input, line_number, raw) != Flow::NextLine) return false;
    if (worth_loading(raw, has_header_mark)) return true;
  }
}

}  // namespace reading_track_detail

namespace {

using reading_track_detail::next_worth_loading;

// The time stamp of a reading line: seconds since midnight, and whether it holds milliseconds.
bool reading_stamp(const Line& line, double& seconds, bool& milliseconds) {
  if (line.column(1) == '$' && line.columns(1, 6) == "$PDLMT") {
    milliseconds = false;
    return read_clock(line.columns(8, 13), seconds);
  }
  if (!read_clock(line.columns(4, 9), seconds)) return false;
  const std::size_t length = line.trimmed().size();
  const char marker = line.column(3) == '$' ? line.column(2) : ' ';
  milliseconds = (marker == 'D' && length == 76) || (marker == 'T' && length == 83);
  if (!milliseconds) return true;
  std::int32_t ms = 0;
  if (!read_field(line.columns(11, 13), ms)) return false;
  seconds += ms / 1000.0;
  return true;
}

// The date and time of a header line: days since 1970 (or none), and seconds since midnight.
struct FileStart {
  bool has_date = false;
  std::int64_t day = 0;
  bool has_time = false;
  double seconds = 0.0;
};

FileStart header_start(const Line& line) {
  FileStart start;
  start.has_time = read_clock(line.columns(4, 9), start.seconds);
  std::int32_t y = 0, m = 0, d = 0;
  if (read_field(line.columns(20, 21), y) && read_field(line.columns(22, 23), m) &&
      read_field(line.columns(24, 25), d) &&
      line.columns(20, 25).find(' ') == std::string_view::npos && m >= 1 && m <= 12 && d >= 1) {
    const std::int32_t year = y >= 80 ? 1900 + y : 2000 + y;
    const std::int64_t first = days_from_civil(year, m, 1);
    const std::int64_t next =
        m == 12 ? days_from_civil(year + 1, 1, 1) : days_from_civil(year, m + 1, 1);
    if (d <= next - first) {
      start.has_date = true;
      start.day = first + d - 1;
    }
  }
  return start;
}

// One event of a logger file, in file order.
struct Event {
  bool is_fix = false;
  bool resolved = false;  // a reading's time is final
  std::int32_t line = 0;
  double time = 0.0;  // reading: logger seconds since midnight of the file's first day
  PreciseFix fix;
};

// One pass over the input, logger file by logger file, turning lines into timed events.
class TimedLines {
 public:
  enum class Step : std::uint8_t { Event, FileEnd, InputEnd };

  bool open(const std::string& path) {
    events_.assign(kEventCapacity, Event{});
    return input_.open(path);
  }

  // The next event of the current logger file; FileEnd at its end (the header line of the next
  // one has been read), InputEnd at the end of the data.
  Step next(Event& event) {
    for (;;) {
      if (count_ > 0 && events_[head_].resolved) {
        event = events_[head_];
        head_ = (head_ + 1) % kEventCapacity;
        --count_;
        return Step::Event;
      }
      if (stop_ != Step::Event) {
        close_group(true);
        if (count_ > 0) continue;
        return stop_;
      }
      read_line();
    }
  }

  // Moves on to the logger file whose header line ended the current one.
  void start_next_file() {
    if (stop_ != Step::FileEnd) return;
    stop_ = Step::Event;
    file_ = pending_;
    has_reference_ = file_.has_time;
    first_group_ = true;
    reference_ = file_.seconds;
    last_reading_ = reference_;
  }

  const FileStart& file() const { return file_; }
  std::int32_t file_end_line() const { return stop_ == Step::FileEnd ? end_line_ : 0; }
  bool at_input_end() const { return stop_ == Step::InputEnd && count_ == 0; }

  // The logger time of a stamp read by the record loop, on the day nearest the last reading.
  double place(double stamp) const {
    return stamp + kDay * std::round((last_reading_ - stamp) / kDay);
  }

 private:
  void read_line() {
    std::string_view raw;
    bool has_header_mark = false;
    if (!next_worth_loading(input_, line_number_, raw, has_header_mark)) {
      stop_ = Step::InputEnd;
      return;
    }
    load_line(line_, raw, true, true);
    switch (classify(line_, has_header_mark)) {
      case TrackLine::Header:
        pending_ = header_start(line_);
        end_line_ = line_number_;
        stop_ = Step::FileEnd;
        return;
      case TrackLine::End:
        stop_ = Step::InputEnd;
        return;
      case TrackLine::Reading: {
        double stamp = 0.0;
        bool milliseconds = false;
        if (!reading_stamp(line_, stamp, milliseconds)) return;
        add_reading(stamp, milliseconds);
        return;
      }
      case TrackLine::Fix: {
        const std::string_view sentence = gga_sentence_of(line_.trimmed());
        Event fix;
        fix.is_fix = true;
        fix.resolved = true;
        fix.line = line_number_;
        if (!sentence.empty() && read_precise_gga(sentence, fix.fix)) push(fix);
        return;
      }
      case TrackLine::Sampling:
        rate_ = sampling_rate(line_.view());
        return;
      case TrackLine::Other:
        return;
    }
  }

  void add_reading(double stamp, bool milliseconds) {
    // Stamps are never negative: their floor is their integer part.
    const double whole = stamp >= 0.0 && stamp < 4503599627370496.0
                             ? static_cast<double>(static_cast<std::int64_t>(stamp))
                             : std::floor(stamp);
    if (!has_reference_) {
      has_reference_ = true;
      reference_ = whole;
    }
    // Within the day, as nearly every stamp is, the rounding gives 0 (43,000 s stays clear of
    // half a day, where the quotient's own rounding could reach 0.5).
    const double behind = reference_ - whole;
    const double day = std::fabs(behind) < 43000.0 ? 0.0 : kDay * std::round(behind / kDay);
    reference_ = whole + day;
    Event reading;
    reading.line = line_number_;
    reading.time = stamp + day;
    last_reading_ = reading.time;
    if (milliseconds) {
      close_group();
      first_group_ = false;
      reading.resolved = true;
    } else if (group_size_ > 0 && reading.time == group_stamp_) {
      ++group_size_;
    } else {
      close_group();
      group_stamp_ = reading.time;
      group_size_ = 1;
      group_start_ = (head_ + count_) % kEventCapacity;
    }
    push(reading);
  }

  // Spreads the readings of the open group evenly over their second, each in the middle of its
  // share: the logger samples at some phase of its second that the stamp does not tell, and the
  // middle is right on average (the start would put every reading half a share early). A group
  // with fewer readings than the sampling line announces is a part of its second: at the start of
  // a logger file the end of it, at the end of the data its start.
  void close_group(bool at_end = false) {
    if (group_size_ == 0) return;
    double step = 1.0 / static_cast<double>(group_size_);
    double first = 0.0;
    if (rate_ > 0 && group_size_ < static_cast<std::size_t>(rate_)) {
      if (first_group_) {
        step = 1.0 / rate_;
        first = static_cast<double>(static_cast<std::size_t>(rate_) - group_size_) * step;
      } else if (at_end) {
        step = 1.0 / rate_;
      }
    }
    std::size_t k = 0;
    for (std::size_t at = group_start_; k < group_size_; at = (at + 1) % kEventCapacity) {
      Event& e = events_[at];
      if (e.is_fix) continue;
      e.time = group_stamp_ + first + (static_cast<double>(k) + 0.5) * step;
      e.resolved = true;
      ++k;
    }
    group_size_ = 0;
    first_group_ = false;
  }

  void push(const Event& event) {
    if (count_ == kEventCapacity) close_group();
    if (count_ == kEventCapacity) return;  // the consumer takes events before this can happen
    events_[(head_ + count_) % kEventCapacity] = event;
    ++count_;
    if (count_ == kEventCapacity) close_group();
  }

  InputFile input_{std::size_t{1} << 18};
  Line line_;
  std::int32_t line_number_ = 0;
  std::vector<Event> events_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
  std::size_t group_start_ = 0;
  std::size_t group_size_ = 0;
  double group_stamp_ = 0.0;
  bool first_group_ = true;  // no reading of the logger file has been timed yet
  std::int32_t rate_ = 0;    // readings per second, from the latest sampling line
  bool has_reference_ = false;
  double reference_ = 0.0;
  double last_reading_ = 0.0;
  FileStart file_;
  FileStart pending_;
  std::int32_t end_line_ = 0;
  Step stop_ = Step::Event;
};

// A good fix of the look-ahead, on the GPS time axis, with its projection once it is needed.
struct TrackFix {
  double time = 0.0;  // seconds on the axis of the readings' logger times plus the offset
  double latitude = 0.0;
  double longitude = 0.0;
  double altitude = 0.0;
  std::int32_t quality = 0;
  double east_per_degree = 0.0;  // metres per degree of longitude and of latitude at the fix
  double north_per_degree = 0.0;
  bool projected = false;
  double easting = 0.0;
  double northing = 0.0;
  // Easting and northing per metre east (e_*) and per metre north (n_*).
  double e_x = 0.0, e_y = 0.0, n_x = 0.0, n_y = 0.0;
};

// Metres per degree east and north around a latitude.
struct LocalScale {
  double east;
  double north;
};

LocalScale local_scale(double latitude) {
  const double s = std::sin(latitude * kRadian);
  const double w = 1.0 - kEccentricity2 * s * s;
  const double prime_vertical = kSemiMajor / std::sqrt(w);
  const double meridian = kSemiMajor * (1.0 - kEccentricity2) / (w * std::sqrt(w));
  return {prime_vertical * std::cos(latitude * kRadian) * kRadian, meridian * kRadian};
}

struct Metres {
  double east = 0.0;
  double north = 0.0;
};

}  // namespace

struct ReadingTrack::Impl {
  explicit Impl(const PositionOptions& o) : options(o) {}

  PositionOptions options;
  TimedLines scan;
  TimedLines ahead;
  std::vector<double> samples;
  DayCache dates;

  bool started = false;
  bool has_offset = false;
  double offset = 0.0;

  // Readings of the look-ahead not yet written: line and logger time.
  struct Reading {
    std::int32_t line;
    double time;
  };
  std::vector<Reading> readings = std::vector<Reading>(kEventCapacity);
  std::size_t reading_head = 0;
  std::size_t reading_count = 0;
  std::vector<TrackFix> fixes = std::vector<TrackFix>(kFixCapacity);
  std::size_t fix_head = 0;
  std::size_t fix_count = 0;
  double last_logged = 0.0;  // logger time of the look-ahead's latest reading
  bool ahead_done = false;   // the look-ahead reached the end of the logger file
  bool logged_any = false;   // the look-ahead has met a reading of the logger file

  TrackFix& fix(std::size_t k) { return fixes[(fix_head + k) % kFixCapacity]; }
  const Reading& reading(std::size_t k) const {
    return readings[(reading_head + k) % kEventCapacity];
  }

  // The scan of one logger file: the median clock offset.
  void estimate_offset() {
    samples.clear();
    std::array<double, kWaitingFixes> waiting{};
    std::size_t waiting_count = 0;
    bool has_previous = false;
    double previous = 0.0;
    auto add = [&](double fix_time, double logged) {
      if (samples.size() < kOffsetSamples) {
        samples.push_back(reduce_half_day(fix_time + options.latency - logged));
      }
    };
    Event e;
    // The rest of a logger file with more fixes than the samples hold is read only when the next
    // logger file starts (if one does).
    while (samples.size() < kOffsetSamples && scan.next(e) == TimedLines::Step::Event) {
      if (e.is_fix) {
        if (waiting_count < kWaitingFixes) waiting[waiting_count++] = e.fix.seconds;
        continue;
      }
      for (std::size_t k = 0; k < waiting_count; ++k) {
        add(waiting[k], has_previous ? (previous + e.time) / 2.0 : e.time);
      }
      waiting_count = 0;
      has_previous = true;
      previous = e.time;
    }
    if (has_previous) {
      for (std::size_t k = 0; k < waiting_count; ++k) add(waiting[k], previous);
    }
    has_offset = !samples.empty();
    offset = 0.0;
    if (has_offset) {
      const std::size_t middle = samples.size() / 2;
      std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(middle),
                       samples.end());
      offset = samples[middle];
      if (samples.size() % 2 == 0) {
        const double below = *std::max_element(
            samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(middle));
        offset = (offset + below) / 2.0;
      }
    }
  }

  void start_file() {
    if (started) {
      Event rest;
      while (scan.next(rest) == TimedLines::Step::Event) {
      }
    }
    started = true;
    scan.start_next_file();
    ahead.start_next_file();
    estimate_offset();
    reading_count = 0;
    fix_count = 0;
    ahead_done = false;
    logged_any = false;
    last_logged = ahead.file().seconds;
  }

  // Takes the look-ahead's next event; false at the end of the logger file.
  bool pull() {
    Event e;
    if (ahead.next(e) != TimedLines::Step::Event) {
      ahead_done = true;
      return false;
    }
    if (!e.is_fix) {
      if (reading_count < kEventCapacity) {
        readings[(reading_head + reading_count) % kEventCapacity] = {e.line, e.time};
        ++reading_count;
      }
      last_logged = e.time;
      logged_any = true;
      return true;
    }
    if (!has_offset) return true;
    // The fix on the readings' axis: its time of day on the day that puts it nearest the time
    // the logger received it.
    TrackFix f;
    f.time = e.fix.seconds;
    if (logged_any || ahead.file().has_time) {
      const double expected = last_logged + offset - options.latency;
      f.time += kDay * std::round((expected - e.fix.seconds) / kDay);
    }
    f.latitude = e.fix.latitude;
    f.longitude = e.fix.longitude;
    f.altitude = e.fix.altitude;
    f.quality = e.fix.quality;
    const LocalScale scale = local_scale(f.latitude);
    f.east_per_degree = scale.east;
    f.north_per_degree = scale.north;
    if (fix_count > 0 && f.time <= fix(fix_count - 1).time) return true;  // out of order
    if (fix_count == kFixCapacity) {
      fix_head = (fix_head + 1) % kFixCapacity;
      --fix_count;
    }
    fixes[(fix_head + fix_count) % kFixCapacity] = f;
    ++fix_count;
    return true;
  }

  // Reads ahead until the reading of `line` and the fixes within reach of it are known.
  void fill(std::int32_t line) {
    const double horizon = kHeadingWindow + options.max_gap + std::max(options.latency, 0.0) + 1.0;
    while (!ahead_done) {
      while (reading_count > 0 && reading(0).line < line) {
        reading_head = (reading_head + 1) % kEventCapacity;
        --reading_count;
      }
      bool seen = false;
      double time = 0.0;
      for (std::size_t k = 0; k < reading_count; ++k) {
        if (reading(k).line >= line) {
          seen = true;
          time = reading(k).time;
          break;
        }
      }
      if (seen && last_logged > time + horizon) return;
      if (reading_count == kEventCapacity) return;
      pull();
    }
  }

  // The antenna position at `u` on the curve between fix i and fix i + 1, in metres east and
  // north of fix `origin`.
  Metres local(std::size_t k, std::size_t origin) {
    const TrackFix& o = fix(origin);
    const TrackFix& f = fix(k);
    return {(f.longitude - o.longitude) * o.east_per_degree,
            (f.latitude - o.latitude) * o.north_per_degree};
  }

  bool joined(std::size_t k) {  // fix k and fix k + 1 lie within the longest gap
    return k + 1 < fix_count && fix(k + 1).time - fix(k).time <= options.max_gap;
  }

  // Index of the last fix at or before `u`; false when there is none.
  bool fix_before(double u, std::size_t& i) {
    std::size_t low = 0;  // fixes before `low` are at or before u, from `high` on after it
    std::size_t high = fix_count;
    while (low < high) {
      const std::size_t middle = (low + high) / 2;
      if (fix(middle).time <= u) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    if (low == 0) return false;
    i = low - 1;
    return true;
  }

  Metres curve(double u, std::size_t origin) {
    std::size_t i = 0;
    fix_before(u, i);
    return curve_at(u, i, origin);
  }

  // The same with the last fix at or before `u` known: fix `i`.
  Metres curve_at(double u, std::size_t i, std::size_t origin) {
    if (!joined(i) && i > 0) --i;  // the end of a stretch: the interval before it
    const double t0 = fix(i).time;
    const double t1 = fix(i + 1).time;
    const double h = t1 - t0;
    const Metres p0 = local(i, origin);
    const Metres p1 = local(i + 1, origin);
    Metres m0{(p1.east - p0.east) / h, (p1.north - p0.north) / h};
    Metres m1 = m0;
    if (i > 0 && joined(i - 1)) {
      const Metres p = local(i - 1, origin);
      const double span = t1 - fix(i - 1).time;
      m0 = {(p1.east - p.east) / span, (p1.north - p.north) / span};
    }
    if (joined(i + 1)) {
      const Metres p = local(i + 2, origin);
      const double span = fix(i + 2).time - t0;
      m1 = {(p.east - p0.east) / span, (p.north - p0.north) / span};
    }
    const double s = std::clamp((u - t0) / h, 0.0, 1.0);
    const double s2 = s * s;
    const double s3 = s2 * s;
    const double h00 = 2 * s3 - 3 * s2 + 1;
    const double h10 = s3 - 2 * s2 + s;
    const double h01 = -2 * s3 + 3 * s2;
    const double h11 = s3 - s2;
    return {h00 * p0.east + h10 * h * m0.east + h01 * p1.east + h11 * h * m1.east,
            h00 * p0.north + h10 * h * m0.north + h01 * p1.north + h11 * h * m1.north};
  }

  void project(TrackFix& f, const SurveyProjection& projection) {
    if (f.projected) return;
    UtmDiagnostics& diagnostics = *projection.diagnostics;
    const UtmPoint at =
        fix_to_utm(f.latitude, f.longitude, projection.zone, projection.ellipsoid, diagnostics);
    const UtmPoint east = fix_to_utm(f.latitude, f.longitude + 1.0 / f.east_per_degree,
                                     projection.zone, projection.ellipsoid, diagnostics);
    const UtmPoint north = fix_to_utm(f.latitude + 1.0 / f.north_per_degree, f.longitude,
                                      projection.zone, projection.ellipsoid, diagnostics);
    f.easting = at.easting;
    f.northing = at.northing;
    f.e_x = east.easting - at.easting;
    f.e_y = east.northing - at.northing;
    f.n_x = north.easting - at.easting;
    f.n_y = north.northing - at.northing;
    f.projected = true;
  }

  void place(ReadingPosition& out, std::size_t origin, Metres m,
             const SurveyProjection& projection) {
    TrackFix& o = fix(origin);
    project(o, projection);
    out.latitude = o.latitude + m.north / o.north_per_degree;
    out.longitude = o.longitude + m.east / o.east_per_degree;
    out.easting = o.easting + o.e_x * m.east + o.n_x * m.north;
    out.northing = o.northing + o.e_y * m.east + o.n_y * m.north;
  }

  void position(double u, ReadingPosition& out, const SurveyProjection& projection) {
    // The fixes stay until the look-ahead needs their room: a reading with a damaged stamp far
    // ahead must not take the fixes of the readings after it.
    std::size_t i = 0;
    if (!fix_before(u, i)) return;  // PositionKind::None
    const TrackFix& before = fix(i);
    out.quality = before.quality;
    out.fix_age = u - before.time;
    if (!joined(i)) {
      out.kind = PositionKind::Held;
      out.elevation = static_cast<float>(before.altitude);
      place(out, i, {}, projection);
      return;
    }
    Metres antenna = curve_at(u, i, i);
    const TrackFix& after = fix(i + 1);
    const double s = (u - before.time) / (after.time - before.time);
    out.elevation = static_cast<float>(before.altitude + s * (after.altitude - before.altitude));
    out.kind = PositionKind::Interpolated;
    if (options.along != 0.0 || options.across != 0.0) {
      // The stretch of fixes joined by short gaps around the reading bounds the heading window.
      std::size_t first = i;
      while (first > 0 && fix(first).time > u - kHeadingWindow && joined(first - 1)) --first;
      std::size_t last = i + 1;
      while (fix(last).time < u + kHeadingWindow && joined(last)) ++last;
      const Metres a = curve(std::max(u - kHeadingWindow, fix(first).time), i);
      const Metres b = curve(std::min(u + kHeadingWindow, fix(last).time), i);
      const double de = b.east - a.east;
      const double dn = b.north - a.north;
      const double length = std::hypot(de, dn);
      if (length < kShortestHeading) {
        out.kind = PositionKind::Uncorrected;
      } else {
        const double he = de / length;
        const double hn = dn / length;
        // The right of the direction of travel (he, hn) is (hn, -he).
        antenna.east -= options.along * he + options.across * hn;
        antenna.north -= options.along * hn - options.across * he;
      }
    }
    place(out, i, antenna, projection);
  }
};

ReadingTrack::ReadingTrack(const PositionOptions& options)
    : impl_(std::make_unique<Impl>(options)) {
  impl_->samples.reserve(kOffsetSamples);
}

ReadingTrack::~ReadingTrack() = default;

bool ReadingTrack::open(const std::string& path) {
  return impl_->scan.open(path) && impl_->ahead.open(path);
}

ReadingPosition ReadingTrack::locate(std::int32_t reading_line, const StationRecord& station,
                                     const SurveyProjection& projection) {
  Impl& t = *impl_;
  if (!t.started) t.start_file();
  for (;;) {
    t.fill(reading_line);
    // A logger file that ended before the reading's line is done with.
    if (!(t.ahead_done && t.ahead.file_end_line() != 0 && t.ahead.file_end_line() < reading_line)) {
      break;
    }
    t.start_file();
  }
  while (t.reading_count > 0 && t.reading(0).line < reading_line) {
    t.reading_head = (t.reading_head + 1) % kEventCapacity;
    --t.reading_count;
  }
  double time;
  if (t.reading_count > 0 && t.reading(0).line == reading_line) {
    time = t.reading(0).time;
  } else {
    // A line the track could not time: the record loop's stamp, whole seconds.
    time = t.ahead.place(
        static_cast<double>((station.HOUR * 60 + station.MINUTE) * 60 + station.SECOND));
  }

  ReadingPosition out;
  const FileStart& file = t.ahead.file();
  if (file.has_date) {
    out.has_datetime = true;
    out.datetime = date_time_of(file.day, time, t.dates);
  }
  if (!t.has_offset) return out;
  const double u = time + t.offset;
  if (file.has_date) {
    out.has_utc = true;
    out.utc = date_time_of(file.day, u, t.dates);
  }
  if (projection.diagnostics != nullptr) t.position(u, out, projection);
  return out;
}

}  // namespace quillet
