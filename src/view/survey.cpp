#include "view/survey.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

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
  return {kNames[kind] + std::to_string(array), kQuantities[kind], kind % 2 ? "ppt" : "mS/m",
          array};
}

class Loader {
 public:
  explicit Loader(Survey& survey) : s_(survey) { s_.values.assign(kMaxChannels, {}); }

  void add(std::string_view text, std::size_t line_number) {
    const std::string_view trimmed = trim(text);
    if (trimmed.empty()) return;
    if (first_line_.empty() && !seen_line_) {
      first_line_ = std::string(trimmed.substr(0, 100));
      seen_line_ = true;
    }
    if (trimmed.front() == '\\') {
      header(trimmed);
      return;
    }
    RecordValues r;
    if (!read_record(text, s_.type, r)) {
      if (s_.unfit_records++ == 0) {
        s_.first_unfit_line = line_number;
        s_.first_unfit_text = std::string(trimmed.substr(0, 100));
      }
      return;
    }
    s_.type = r.type;
    reading(r);
  }

  bool finish(std::string& error) {
    if (s_.readings() == 0) {
      error = s_.path + (seen_line_ ? ": no line is a record of a simple XYZ, Geosoft XYZ or log "
                                      "file; the first line is: " +
                                          first_line_
                                    : ": the file is empty");
      if (seen_line_ && s_.type == FileType::Geosoft && s_.unfit_records == 0) {
        error = s_.path + ": the Geosoft XYZ file holds header lines but no records";
      }
      return false;
    }
    s_.values.resize(static_cast<std::size_t>(4 * s_.arrays));
    s_.values.shrink_to_fit();
    s_.channels.clear();
    for (int c = 0; c < 4 * s_.arrays; ++c) s_.channels.push_back(default_channel(c));
    if (labels_.size() == s_.channels.size()) {
      for (std::size_t c = 0; c < labels_.size(); ++c) {
        s_.channels[c].name = labels_[c].first;
        if (!labels_[c].second.empty()) s_.channels[c].unit = labels_[c].second;
      }
    }
    if (s_.logger_files.empty()) s_.logger_files.push_back(base_name(s_.path));
    return true;
  }

 private:
  // Geosoft header lines: the file name of each logger file and the channel labels.
  void header(std::string_view text) {
    s_.type = FileType::Geosoft;
    constexpr std::string_view kName = "\\Veltor Filename is ";
    if (text.substr(0, kName.size()) == kName) {
      std::string name(trim(text.substr(kName.size())));
      const std::size_t dot = name.find('.');
      if (dot != std::string::npos) name.resize(dot);
      name = std::string(trim(name));
      if (name.empty()) return;
      for (const std::string& known : s_.logger_files) {
        if (known == name) return;
      }
      s_.logger_files.push_back(name);
      return;
    }
    if (text.substr(0, 3) != "\\..") return;
    std::vector<std::pair<std::string, std::string>> labels;
    std::size_t start = 1;
    while (start <= text.size()) {
      std::size_t end = text.find('.', start);
      if (end == std::string_view::npos) end = text.size();
      const std::string_view token = text.substr(start, end - start);
      const std::size_t dash = token.find('-');
      if (dash != std::string_view::npos && token.size() > 2 &&
          (token[0] == 'H' || token[0] == 'P') && (token[1] == 'C' || token[1] == 'I')) {
        labels.emplace_back(std::string(token.substr(0, dash)),
                            std::string(token.substr(dash + 1)));
      }
      start = end + 1;
    }
    if (labels.size() >= labels_.size()) labels_ = std::move(labels);
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

    const bool position = r.fix_quality > 0 && std::isfinite(r.latitude) &&
                          std::isfinite(r.longitude) && !(r.latitude == 0.0 && r.longitude == 0.0);
    s_.latitude.push_back(position ? r.latitude : kNaN);
    s_.longitude.push_back(position ? r.longitude : kNaN);
    // The record repeats the last fix until a new sentence comes: a GPS time that stands still
    // while the readings go on is an old position.
    bool fresh = false;
    if (position) {
      if (r.gps_time_ms != last_gps_time_ || !std::isfinite(gps_time_changed_)) {
        last_gps_time_ = r.gps_time_ms;
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
  std::vector<std::pair<std::string, std::string>> labels_;
  std::int32_t previous_comment_ = 0;
  double previous_time_ = kNaN;
  double day_offset_ = 0.0;
  std::int32_t last_gps_time_ = RecordValues::kMissing;
  double gps_time_changed_ = kNaN;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

LoadStatus load_survey(const std::string& path, Survey& survey, std::string& error) {
  survey = Survey{};
  survey.path = path;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = path + ": cannot be read (" + std::strerror(errno) + ")";
    return LoadStatus::Unreadable;
  }
  Loader loader(survey);
  constexpr std::size_t kChunk = std::size_t{1} << 22;
  std::vector<char> buffer(kChunk);
  std::string carry;  // the start of a line that the previous chunk cut
  std::size_t line_number = 0;
  for (;;) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
    if (got == 0) break;
    std::string_view chunk(buffer.data(), got);
    while (!chunk.empty()) {
      const std::size_t end = chunk.find('\n');
      if (end == std::string_view::npos) {
        carry.append(chunk);
        break;
      }
      ++line_number;
      if (carry.empty()) {
        loader.add(chunk.substr(0, end), line_number);
      } else {
        carry.append(chunk.substr(0, end));
        loader.add(carry, line_number);
        carry.clear();
      }
      chunk.remove_prefix(end + 1);
    }
  }
  if (std::ferror(file.get())) {
    error = path + ": cannot be read (" + std::strerror(errno) + ")";
    return LoadStatus::Unreadable;
  }
  if (!carry.empty()) loader.add(carry, ++line_number);
  return loader.finish(error) ? LoadStatus::Ok : LoadStatus::NotASurvey;
}

}  // namespace quillet::view
