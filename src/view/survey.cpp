#include "view/survey.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_set>

#include "view/csv_records.hpp"

namespace quillet::view {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();
constexpr double kDay = 86400.0;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\r' || s.back() == '\t')) {
    s.remove_suffix(1);
  }
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string base_name(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

Channel default_channel(int index) {
  static const char* const kNames[] = {"HC", "HI", "PC", "PI"};
  static const char* const kQuantities[] = {"HCP conductivity", "HCP in-phase", "PRP conductivity",
                                            "PRP in-phase"};
  const int array = index / 4 + 1;
  const int kind = index % 4;
  return {kNames[kind] + std::to_string(array),
          kQuantities[kind],
          kind % 2 ? "ppt" : "mS/m",
          array,
          {}};
}

// The spacing that a Geosoft label's digit names: 5 is the 0.5 m array.
std::string label_spacing(std::string_view digit) {
  if (digit == "5") return "0.5 m";
  return digit.empty() ? std::string() : std::string(digit) + " m";
}

constexpr std::string_view kCsvHeaderStart = "station,";

class Loader {
 public:
  explicit Loader(Survey& survey) : s_(survey) { s_.values.assign(kMaxChannels, {}); }

  void add(std::string_view text, std::size_t line_number) {
    const std::string_view trimmed = trim(text);
    if (trimmed.empty()) return;
    note_first_line(trimmed);
    if (s_.type == FileType::None || s_.type == FileType::Csv) {
      if (trimmed.substr(0, kCsvHeaderStart.size()) == kCsvHeaderStart && csv_.read_header(text)) {
        csv_header();
        return;
      }
      if (s_.type == FileType::Csv) {
        RecordValues r;
        if (csv_.read_row(text, r)) {
          reading(r);
        } else {
          unfit(trimmed, line_number);
        }
        return;
      }
    }
    if (trimmed.front() == '\\') {
      header(trimmed);
      return;
    }
    RecordValues r;
    if (!read_record(text, s_.type, r)) {
      unfit(trimmed, line_number);
      return;
    }
    s_.type = r.type;
    reading(r);
  }

  // A line longer than kMaxLineBytes, of which `start` is read: it fits no layout.
  void overlong(std::string_view start, std::size_t line_number) {
    const std::string_view trimmed = trim(start);
    note_first_line(trimmed);
    unfit(trimmed, line_number);
  }

  bool finish(std::string& error) {
    if (s_.readings() == 0) {
      error = s_.path + (seen_line_ ? ": no line is a record of a simple XYZ, Geosoft XYZ, log or "
                                      "CSV file; the first line is: " +
                                          first_line_
                                    : ": the file is empty");
      if (seen_line_ && s_.type == FileType::Geosoft && s_.unfit_records == 0) {
        error = s_.path + ": the Geosoft XYZ file holds header lines but no records";
      }
      if (s_.type == FileType::Csv && s_.unfit_records == 0) {
        error = s_.path + ": the CSV file holds a header row but no readings";
      }
      return false;
    }
    s_.values.resize(static_cast<std::size_t>(4 * s_.arrays));
    s_.values.shrink_to_fit();
    s_.channels.clear();
    for (int c = 0; c < 4 * s_.arrays; ++c) {
      s_.channels.push_back(default_channel(c));
      s_.channels.back().spacing = spacings_[static_cast<std::size_t>(c / 4)];
    }
    if (units_.size() == s_.channels.size()) {
      for (std::size_t c = 0; c < units_.size(); ++c) {
        if (!units_[c].empty()) s_.channels[c].unit = units_[c];
      }
    }
    if (s_.logger_files.empty()) s_.logger_files.push_back(base_name(s_.path));
    return true;
  }

 private:
  void note_first_line(std::string_view trimmed) {
    if (!seen_line_) {
      first_line_ = std::string(trimmed.substr(0, 100));
      seen_line_ = true;
    }
  }

  void unfit(std::string_view trimmed, std::size_t line_number) {
    if (s_.unfit_records++ == 0) {
      s_.first_unfit_line = line_number;
      s_.first_unfit_text = std::string(trimmed.substr(0, 100));
    }
  }

  // A CSV header row: the spacings its receiver columns name, and how its fixes are judged.
  void csv_header() {
    s_.type = FileType::Csv;
    for (int k = 0; k < kMaxArrays; ++k) {
      const std::string spacing = csv_.spacing(k + 1);
      if (!spacing.empty()) spacings_[static_cast<std::size_t>(k)] = spacing + " m";
    }
    s_.fix_rule = csv_.has_position_column() ? FixRule::PositionColumn : FixRule::Position;
  }

  // Geosoft header lines: the file name of each logger file, and the channel labels with the
  // spacing digit of each array and the unit of each channel.
  void header(std::string_view text) {
    s_.type = FileType::Geosoft;
    constexpr std::string_view kName = "\\Veltor Filename is ";
    if (text.substr(0, kName.size()) == kName) {
      std::string name(trim(text.substr(kName.size())));
      const std::size_t dot = name.find('.');
      if (dot != std::string::npos) name.resize(dot);
      name = std::string(trim(name));
      if (name.empty() || !known_names_.insert(name).second) return;
      s_.logger_files.push_back(std::move(name));
      return;
    }
    if (text.substr(0, 3) != "\\..") return;
    std::vector<std::string> units;
    std::vector<std::string> digits;
    std::size_t start = 1;
    while (start <= text.size()) {
      std::size_t end = text.find('.', start);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view token = text.substr(start, end - start);
      const std::size_t dash = token.find('-');
      if (dash != std::string_view::npos && token.size() > 2 &&
          (token[0] == 'H' || token[0] == 'P') && (token[1] == 'C' || token[1] == 'I')) {
        units.emplace_back(token.substr(dash + 1));
        if (token.substr(0, 2) == "HC") digits.emplace_back(token.substr(2, dash - 2));
      }
      start = end + 1;
    }
    if (units.size() < units_.size()) return;
    units_ = std::move(units);
    for (std::size_t k = 0; k < digits.size() && k < spacings_.size(); ++k) {
      spacings_[k] = label_spacing(digits[k]);
    }
  }

  void reading(const RecordValues& r) {
    const std::size_t index = s_.readings();
    if (r.arrays > s_.arrays) {
      // The channels of arrays met for the first time were missing in the readings before.
      for (int c = 4 * s_.arrays; c < 4 * r.arrays; ++c) {
        s_.values[static_cast<std::size_t>(c)].assign(index, kNaNf);
      }
      s_.arrays = r.arrays;
    }
    ++s_.family_records[static_cast<int>(r.family)];
    for (int c = 0; c < 4 * s_.arrays; ++c) {
      s_.values[static_cast<std::size_t>(c)].push_back(c < 4 * r.arrays ? r.channels[c] : kNaNf);
    }
    s_.line.push_back(r.line);
    // T$ and $PDLMT records show a comment's number once, D$/X$ records until the next comment:
    // a comment is where the number changes.
    if (r.comment != 0 && r.comment != previous_comment_) s_.comments.push_back({index, r.comment});
    previous_comment_ = r.comment;

    double t = kNaN;
    if (r.hour != RecordValues::kMissing && r.minute != RecordValues::kMissing &&
        std::isfinite(r.second)) {
      t = r.hour * 3600.0 + r.minute * 60.0 + r.second;
      // A survey that runs over midnight goes on counting from the first day.
      if (std::isfinite(previous_time_) && t + day_offset_ < previous_time_ - kDay / 2) {
        day_offset_ += kDay;
      }
      t += day_offset_;
      previous_time_ = t;
    }
    s_.time_s.push_back(t);

    const bool located = std::isfinite(r.latitude) && std::isfinite(r.longitude) &&
                         !(r.latitude == 0.0 && r.longitude == 0.0);
    if (r.position != PositionState::Unstated) {
      // The file says which positions are interpolated between fixes and which are held.
      const bool position = located && r.position != PositionState::None;
      s_.latitude.push_back(position ? r.latitude : kNaN);
      s_.longitude.push_back(position ? r.longitude : kNaN);
      s_.fresh_fix.push_back(position && r.position == PositionState::Fresh ? 1 : 0);
      return;
    }
    const bool position = r.fix_quality > 0 && located;
    s_.latitude.push_back(position ? r.latitude : kNaN);
    s_.longitude.push_back(position ? r.longitude : kNaN);
    // The record repeats the last fix until a new sentence comes: a GPS time that stands still
    // while the readings go on is an old position. A CSV file has no GPS time; there the position
    // itself stands still.
    bool fresh = false;
    if (position) {
      const bool moved = s_.type == FileType::Csv
                             ? r.latitude != last_latitude_ || r.longitude != last_longitude_
                             : r.gps_time_ms != last_gps_time_;
      if (moved || !std::isfinite(gps_time_changed_)) {
        last_gps_time_ = r.gps_time_ms;
        last_latitude_ = r.latitude;
        last_longitude_ = r.longitude;
        gps_time_changed_ = t;
      }
      fresh = !(std::isfinite(t) && t - gps_time_changed_ > kStaleFixSeconds);
    } else {
      last_gps_time_ = RecordValues::kMissing;
      gps_time_changed_ = kNaN;
    }
    s_.fresh_fix.push_back(fresh ? 1 : 0);
  }

  Survey& s_;
  std::string first_line_;
  bool seen_line_ = false;
  std::unordered_set<std::string> known_names_;  // of logger_files
  std::vector<std::string> units_;               // per channel, from the Geosoft labels
  std::vector<std::string> spacings_ = std::vector<std::string>(kMaxArrays);  // "4 m" per array
  CsvColumns csv_;
  std::int32_t previous_comment_ = 0;
  double previous_time_ = kNaN;
  double day_offset_ = 0.0;
  std::int32_t last_gps_time_ = RecordValues::kMissing;
  double last_latitude_ = kNaN;
  double last_longitude_ = kNaN;
  double gps_time_changed_ = kNaN;
};

// What kind of file a path that is no regular file names, for the message.
const char* file_kind(mode_t mode) {
  if (S_ISDIR(mode)) return "Is a directory";
  if (S_ISFIFO(mode)) return "a FIFO, not a regular file";
  if (S_ISCHR(mode)) return "a character device, not a regular file";
  if (S_ISBLK(mode)) return "a block device, not a regular file";
  if (S_ISSOCK(mode)) return "a socket, not a regular file";
  return "not a regular file";
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::string Channel::description() const {
  std::string text = quantity + ", array " + std::to_string(array);
  if (!spacing.empty()) text += ", " + spacing;
  return text;
}

LoadStatus load_survey(const std::string& path, Survey& survey, std::string& error) {
  survey = Survey{};
  survey.path = path;
  const auto unreadable = [&](const char* why) {
    error = path + ": cannot be read (" + why + ")";
    return LoadStatus::Unreadable;
  };
  // Looked at before it is opened: the open of a FIFO without a writer would wait for ever.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) return unreadable(std::strerror(errno));
  if (!S_ISREG(before.st_mode)) return unreadable(file_kind(before.st_mode));
  // O_NONBLOCK: should the name have been replaced by a FIFO since, the open does not wait either.
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return unreadable(std::strerror(errno));
  struct stat opened {};
  if (::fstat(file.get(), &opened) != 0) return unreadable(std::strerror(errno));
  if (!S_ISREG(opened.st_mode)) return unreadable(file_kind(opened.st_mode));

  Loader loader(survey);
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::vector<char> buffer(kChunk);
  std::string carry;  // the start of a line that the previous chunk cut, at most kMaxLineBytes
  carry.reserve(kMaxLineBytes);
  bool overlong = false;  // the line in `carry` goes on beyond kMaxLineBytes
  std::size_t line_number = 0;
  const auto keep = [&](std::string_view piece) {
    const std::size_t room = kMaxLineBytes - carry.size();
    if (piece.size() > room) overlong = true;
    carry.append(piece.substr(0, room));
  };
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return unreadable(std::strerror(errno));
    }
    if (got == 0) break;
    std::string_view chunk(buffer.data(), static_cast<std::size_t>(got));
    while (!chunk.empty()) {
      const std::size_t end = chunk.find('\n');
      if (end == std::string_view::npos) {
        keep(chunk);
        break;
      }
      ++line_number;
      if (carry.empty() && !overlong && end <= kMaxLineBytes) {
        loader.add(chunk.substr(0, end), line_number);
      } else {
        keep(chunk.substr(0, end));
        if (overlong) {
          loader.overlong(carry, line_number);
        } else {
          loader.add(carry, line_number);
        }
        carry.clear();
        overlong = false;
      }
      chunk.remove_prefix(end + 1);
    }
  }
  if (overlong) {
    loader.overlong(carry, ++line_number);
  } else if (!carry.empty()) {
    loader.add(carry, ++line_number);
  }
  return loader.finish(error) ? LoadStatus::Ok : LoadStatus::NotASurvey;
}

}  // namespace quillet::view
