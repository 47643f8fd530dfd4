#include "core/files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "core/byte_scan.hpp"

namespace quillet {

namespace {

constexpr std::size_t kOutputBuffer = OutputFile::kBufferSize;
constexpr std::size_t kLongLineKept = 256;
// The start of the input that decides its line end.
constexpr std::size_t kLineEndProbe = std::size_t{1} << 16;

// What a file of this mode is, for the message that refuses it; empty for a regular file and a
// folder (refused with the message it always had).
std::string_view special_kind(mode_t mode) {
  if (S_ISREG(mode) || S_ISDIR(mode)) return {};
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "a file of another kind";
}

}  // namespace

InputFile::~InputFile() {
  close();
}

bool InputFile::open(const std::string& path) {
  close();
  not_regular_ = {};
  // Looked at first: opening a FIFO without a writer would wait for one, and reading a device
  // such as /dev/zero would never end.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  not_regular_ = special_kind(info.st_mode);
  if (!S_ISREG(info.st_mode)) return false;
  // Without blocking, in case the name was given to a FIFO since it was looked at.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    not_regular_ = special_kind(info.st_mode);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  // Left uninitialised: a short file touches only the pages it fills.
  if (!buffer_) {
    capacity_ = buffer_size_ < 2 * kLongLineKept ? 2 * kLongLineKept : buffer_size_;
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_ + kSlack);
    std::memset(buffer_.get() + capacity_, ' ', kSlack);
  }
  begin_ = end_ = 0;
  at_end_ = false;
  error_status_ = 0;
  line_end_ = find_line_end();
  return true;
}

char InputFile::find_line_end() {
  bool carriage_return = false;
  std::size_t offset = 0;
  while (offset < kLineEndProbe) {
    const std::size_t wanted = std::min(capacity_, kLineEndProbe - offset);
    const ssize_t got = ::pread(fd_, buffer_.get(), wanted, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    // An error shows again, and is reported, when the lines are read.
    if (got <= 0) break;
    const auto size = static_cast<std::size_t>(got);
    if (std::memchr(buffer_.get(), '\n', size) != nullptr) return '\n';
    carriage_return = carriage_return || std::memchr(buffer_.get(), '\r', size) != nullptr;
    offset += size;
  }
  return carriage_return ? '\r' : '\n';
}

bool InputFile::fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  while (end_ < capacity_) {
    const std::size_t wanted = std::min(capacity_ - end_, read_size_);
    const ssize_t got = ::read(fd_, buffer_.get() + end_, wanted);
    if (got > 0) {
      end_ += static_cast<std::size_t>(got);
      return true;
    }
    if (got == 0) {
      at_end_ = true;
      return false;
    }
    if (errno == EINTR) continue;
    error_status_ = errno;
    return false;
  }
  return true;
}

InputFile::Read InputFile::next_line_scanning(std::string_view& line) {
  if (fd_ < 0) {
    error_status_ = EBADF;
    return Read::Error;
  }
  // Every line end of the open window is taken: the next windows, while the buffer holds them.
  // With no window open, from the first unread byte.
  std::size_t scanned = begin_;
  if (window_open_) {
    carry_letters();
    scanned = window_ + 64;
  } else {
    letters_before_ = false;
  }
  for (; scanned + 64 <= end_; scanned += 64) {
    window_ = scanned;
    open_window();
    if (ends_ != 0) {
      window_open_ = true;
      return next_line(line);
    }
    letters_before_ = letters_before_ || window_holds_h_;
  }
  // Near the end of the bytes read: one line at a time, as the buffer is filled again. These
  // lines may hold an "H" as far as the reader tells.
  window_open_ = false;
  ends_ = 0;
  may_hold_h_ = true;
  for (;;) {
    const char* const found = find_byte(buffer_.get() + scanned, end_ - scanned, line_end_);
    if (found != nullptr) {
      const auto at = static_cast<std::size_t>(found - buffer_.get());
      std::size_t stop = at;
      if (stop > begin_ && buffer_[stop - 1] == '\r') --stop;
      line = std::string_view(buffer_.get() + begin_, stop - begin_);
      begin_ = at + 1;
      return Read::Line;
    }
    if (end_ - begin_ == capacity_) {
      // A line longer than the whole buffer: keep its first part, drop the rest.
      long_line_.assign(buffer_.get() + begin_, kLongLineKept + kSlack);
      for (;;) {
        begin_ = end_ = 0;
        if (!fill()) {
          if (error_status_ != 0) return Read::Error;
          break;
        }
        const char* const nl = find_byte(buffer_.get(), end_, line_end_);
        if (nl != nullptr) {
          begin_ = static_cast<std::size_t>(nl - buffer_.get()) + 1;
          break;
        }
      }
      line = std::string_view(long_line_).substr(0, kLongLineKept);
      return Read::Line;
    }
    if (at_end_) {
      if (begin_ == end_) return Read::End;
      // Last line without a line feed.
      std::size_t stop = end_;
      if (buffer_[stop - 1] == '\r') --stop;
      line = std::string_view(buffer_.get() + begin_, stop - begin_);
      begin_ = end_;
      return Read::Line;
    }
    scanned = end_;
    const std::size_t kept = begin_;
    if (!fill()) {
      if (error_status_ != 0) return Read::Error;
    }
    scanned -= kept;
  }
}

bool InputFile::rewind() {
  ends_ = 0;
  window_open_ = false;
  if (fd_ < 0) return false;
  if (::lseek(fd_, 0, SEEK_SET) != 0) {
    error_status_ = errno;
    return false;
  }
  begin_ = end_ = 0;
  at_end_ = false;
  error_status_ = 0;
  return true;
}

void InputFile::close() {
  ends_ = 0;
  window_open_ = false;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  begin_ = end_ = 0;
  at_end_ = false;
}

bool OutputFile::open(const std::string& path, const InputFile& input) {
  abandon();
  if (path.empty()) return false;
  struct stat info {};
  if (input.is_open() && ::stat(path.c_str(), &info) == 0 && info.st_dev == input.device() &&
      info.st_ino == input.inode()) {
    return false;  // never write over the input
  }
  if (file_.open(path) != 0) return false;
  path_ = path;
  used_ = 0;
  records_ = 0;
  station_records_ = 0;
  failed_ = false;
  return true;
}

bool OutputFile::flush() {
  if (!file_.is_open()) return true;
  if (!failed_ && used_ != 0 && file_.write(std::string_view(buffer_.get(), used_)) != 0) {
    failed_ = true;
  }
  used_ = 0;
  return !failed_;
}

char* OutputFile::more_line_space(std::size_t size) {
  if (!file_.is_open()) return nullptr;
  if (used_ + size + 1 > kOutputBuffer) {
    flush();
    if (size + 1 > kOutputBuffer) return nullptr;
  }
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kOutputBuffer);
  return buffer_.get() + used_;
}

void OutputFile::write_line(std::string_view line) {
  if (char* space = line_space(line.size())) {
    std::memcpy(space, line.data(), line.size());
    end_line(line.size());
  } else if (file_.is_open()) {
    // A line longer than the buffer.
    put(line.data(), line.size());
    put("\n", 1);
    ++records_;
  }
}

void OutputFile::write_bytes(const void* data, std::size_t size) {
  if (!file_.is_open()) return;
  put(static_cast<const char*>(data), size);
  ++records_;
}

void OutputFile::put(const char* data, std::size_t size) {
  if (used_ + size > kOutputBuffer) flush();
  if (size > kOutputBuffer) {
    // Straight to the file: the buffer holds nothing now.
    if (!failed_ && file_.write(std::string_view(data, size)) != 0) failed_ = true;
    return;
  }
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kOutputBuffer);
  std::memcpy(buffer_.get() + used_, data, size);
  used_ += size;
}

bool OutputFile::close(Disposition disposition) {
  if (!file_.is_open()) return true;
  if (disposition == Disposition::Delete) {
    abandon();
    struct stat info {};
    if (::lstat(path_.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) ::unlink(path_.c_str());
    return true;
  }
  if (!flush()) {
    abandon();
    return false;
  }
  if (file_.commit() != 0) failed_ = true;
  return !failed_;
}

void OutputFile::abandon() {
  used_ = 0;
  file_.discard();
}

bool FileUnits::open_output(OutputFile& file, std::string_view name) {
  std::string path = input_folder;
  path += name;
  return open_output_path(file, std::move(path));
}

namespace {

std::string lower_case(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

bool FileUnits::open_output_path(OutputFile& file, std::string path) {
  if (file.is_open() && !close(file, Disposition::Keep)) return false;
  if (file.open(path, input)) {
    opened_.push_back(lower_case(path));
    return true;
  }
  open_failure = std::move(path);
  return false;
}

bool FileUnits::close(OutputFile& file, Disposition disposition) {
  const std::int64_t records = file.station_records();
  if (file.close(disposition)) {
    if (disposition == Disposition::Keep) station_records += records;
    return true;
  }
  note_write_failure(file);
  roll_back();
  return false;
}

bool FileUnits::close_set(std::initializer_list<std::pair<OutputFile*, Disposition>> files) {
  for (const auto& [file, disposition] : files) {
    if (disposition == Disposition::Keep && !file->flush()) {
      note_write_failure(*file);
      roll_back();
      return false;
    }
  }
  bool closed = true;
  for (const auto& [file, disposition] : files) {
    if (!close(*file, disposition)) closed = false;
  }
  return closed;
}

void FileUnits::roll_back() {
  for (OutputFile* file : outputs()) file->abandon();
}

std::string FileUnits::free_suffix(const std::vector<std::string>& paths) const {
  std::string suffix;
  for (int n = 2;; ++n) {
    const bool free = std::none_of(paths.begin(), paths.end(), [&](const std::string& path) {
      return std::find(opened_.begin(), opened_.end(), lower_case(with_suffix(path, suffix))) !=
             opened_.end();
    });
    if (free) return suffix;
    suffix.assign(1, '~');
    suffix += std::to_string(n);
  }
}

std::string with_suffix(std::string_view name, std::string_view suffix) {
  const std::size_t dot = name.find_last_of('.');
  const std::size_t slash = name.find_last_of('/');
  const bool extension =
      dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
  const std::size_t at = extension ? dot : name.size();
  std::string named(name.substr(0, at));
  named += suffix;
  named += name.substr(at);
  return named;
}

}  // namespace quillet
