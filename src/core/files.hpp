// The files of a run: the input file (unit 1) read line by line, and the buffered output files.
//
// `FileUnits` owns every file a run opens and knows how each is closed. Output files are written
// through a large buffer into hidden temporaries, and on close either reach their names complete
// or are removed; a failed open or write rolls back every file the run holds, so no name ever
// shows a partial file. No name is opened twice in a run: a set whose names were used takes a
// suffix. No output file may be the input file: an open whose target is the input (same device
// and inode, whatever the path says) fails and the input is left untouched.
#pragma once

#include <sys/types.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/replacement_file.hpp"
#include "core/byte_scan.hpp"
#include "core/unit99.hpp"

namespace quillet {

// The input file, read sequentially with one large buffer. Lines come without their line feed and
// without the carriage return of a Windows line end; a line longer than the buffer keeps only its
// first part (no handler looks beyond column 120). The buffer is filled `read_size` bytes at a
// time: the lines are taken while the bytes just read still sit in the processor's cache, and
// what lines come never depends on it. A file whose first 64 KiB (the whole file when
// smaller) hold a carriage return and no line feed was written with CR line ends: it is read line
// by line at its carriage returns. Elsewhere a carriage return stays part of its line. The choice
// is made once at open and kept by rewind, so every pass over the file sees the same lines.
class InputFile {
 public:
  enum class Read : std::uint8_t { Line, End, Error };
  // Bytes after the end of every line next_line gives, and after the bytes buffered() gives, that
  // may be read (what they hold is unspecified): a reader may load a line sixteen bytes at a time.
  static constexpr std::size_t kSlack = 16;

  explicit InputFile(std::size_t buffer_size = std::size_t{1} << 20,
                     std::size_t read_size = std::size_t{128} << 10)
      : buffer_size_(buffer_size), read_size_(read_size) {}
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens an existing regular file (or a link to one) for reading; false when it cannot be
  // opened or is not a regular file. Looks before it opens, so that a FIFO without a writer is
  // refused at once instead of blocking.
  bool open(const std::string& path);
  // What the path of the last refused open named when that was neither a regular file nor a
  // folder ("a FIFO", "a character device", "a block device", "a socket"); empty otherwise.
  std::string_view not_regular() const { return not_regular_; }
  // True when the lines end with a carriage return alone (see above).
  bool cr_line_ends() const { return line_end_ == '\r'; }
  bool is_open() const { return fd_ >= 0; }
  // Next line into `line` (a view valid until the next call). On Read::Error, `error_status`
  // holds the system's error number.
  Read next_line(std::string_view& line) {
    // The common case inline: the next line end lies in the open window or in one of the next
    // windows of 64 bytes that the buffer holds whole.
    for (;;) {
      if (ends_ != 0) {
        const std::size_t at = window_ + static_cast<std::size_t>(std::countr_zero(ends_));
        may_hold_h_ = letters_before_ || window_holds_h_;
        letters_before_ = false;
        ends_ &= ends_ - 1;
        std::size_t stop = at;
        if (stop > begin_ && buffer_[stop - 1] == '\r') --stop;
        line = std::string_view(buffer_.get() + begin_, stop - begin_);
        begin_ = at + 1;
        return Read::Line;
      }
      if (!window_open_ || window_ + 128 > end_) return next_line_scanning(line);
      carry_letters();
      window_ += 64;
      open_window();
    }
  }
  // Whether the line last given may hold an "H": false only when none of its bytes is one. The
  // record loop looks for the file header's mark "H$" anywhere on every line; the line-end scan
  // tells for a few instructions that most lines hold no "H" at all.
  bool may_hold_h() const { return may_hold_h_; }
  int error_status() const { return error_status_; }
  // For a reader that looks for a few lines among many: the bytes read ahead and not yet
  // returned as lines (they begin a line; a view valid until the next read), the character
  // that ends lines, and the first `count` of those bytes marked read, where `count` ends just
  // after a line end. The lines found so are the lines next_line would give.
  std::string_view buffered() const {
    return buffer_ ? std::string_view(buffer_.get() + begin_, end_ - begin_) : std::string_view();
  }
  char line_end() const { return line_end_; }
  void skip_buffered(std::size_t count) {
    begin_ += count;
    ends_ = 0;
    window_open_ = false;
  }
  bool rewind();
  void close();
  // Device and inode of the open file, to refuse it as an output.
  dev_t device() const { return device_; }
  ino_t inode() const { return inode_; }

 private:
  Read next_line_scanning(std::string_view& line);
  bool fill();
  // The line end of the open file, decided from its first 64 KiB (read through the buffer).
  char find_line_end();
  // The line ends of the window at `window_`, and whether it holds an "H".
  void open_window() {
    const WindowScan scan = scan_window(buffer_.get() + window_, line_end_, 'H');
    ends_ = scan.ends;
    window_holds_h_ = scan.holds;
  }
  // Leaving the open window, whose line ends are all taken: an "H" in it may belong to the line
  // that goes on past it.
  void carry_letters() {
    letters_before_ = letters_before_ || (window_holds_h_ && begin_ < window_ + 64);
  }

  std::size_t buffer_size_;
  std::size_t read_size_;  // bytes asked of one read(2)
  std::size_t capacity_ = 0;
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  int error_status_ = 0;
  bool at_end_ = false;
  char line_end_ = '\n';
  std::string_view not_regular_;
  std::unique_ptr<char[]> buffer_;
  std::string long_line_;  // the kept start of a line longer than the buffer
  std::size_t begin_ = 0;  // first unread byte in buffer_
  std::size_t end_ = 0;    // one past the last valid byte in buffer_
  // The line ends of the 64 bytes from `window_` (bit k: the byte at window_ + k) that no line
  // returned yet: while a window is open, every line end from begin_ up to window_ + 64 is among
  // them. Once they are all taken, next_line looks on from the window's end; with no window open
  // (after a fill, a skip, a rewind), from begin_.
  std::uint64_t ends_ = 0;
  std::size_t window_ = 0;
  bool window_open_ = false;
  // Whether the open window holds an "H" (in any of its lines), whether the unfinished line held
  // one before the window, and whether the line last given may hold one.
  bool window_holds_h_ = false;
  bool letters_before_ = false;
  bool may_hold_h_ = true;
};

enum class Disposition : std::uint8_t { Keep, Delete };

// One output file: text lines (each ends with LF) or raw bytes, written through a buffer into a
// hidden temporary beside its name. The file reaches its name only when it is closed with
// Disposition::Keep and every byte was written; until then whatever stood at the name (an earlier
// run's file, a link) is left as it was.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile() { abandon(); }  // a file never closed never reaches its name
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Starts the file that will replace `path`. Fails (false) when its temporary cannot be created,
  // when `path` is a folder or a file the user may not write, or when it is `input`.
  bool open(const std::string& path, const InputFile& input);
  bool is_open() const { return file_.is_open(); }
  // The final name, folder included.
  const std::string& path() const { return path_; }

  void write_line(std::string_view line);
  void write_bytes(const void* data, std::size_t size);
  // The bytes gathered before they are written out.
  static constexpr std::size_t kBufferSize = std::size_t{1} << 18;

  // A line formatted in place: `line_space` gives room for up to `size` bytes at the end of the
  // buffer (written out first where it lacks them), and `end_line` ends the line after its first
  // `length` of them, as write_line would. nullptr when the file is not open or the line would
  // not fit the buffer: write_line takes it then.
  char* line_space(std::size_t size) {
    // The common case in the caller: an open file whose buffer has room.
    if (buffer_ && used_ + size < kBufferSize && file_.is_open()) return buffer_.get() + used_;
    return more_line_space(size);
  }
  void end_line(std::size_t length) {
    buffer_[used_ + length] = '\n';
    used_ += length + 1;
    ++records_;
  }
  // Number of lines (or byte blocks) written since the file was opened.
  std::size_t records() const { return records_; }
  // Station records among them, for the run's summary.
  void count_station_record() { ++station_records_; }
  std::int64_t station_records() const { return station_records_; }
  // True when a write to the file failed (the disk is full, say).
  bool failed() const { return failed_; }

  // Writes what waits in the buffer into the temporary; false when a write to the open file failed.
  bool flush();
  // Keep: flushes and renames the temporary onto the name (false when that failed: the temporary
  // is then removed). Delete: removes the temporary and whatever stands at the name (a link
  // itself, never its target), as a file emptied and deleted would leave it. Closing a closed
  // file does nothing and succeeds.
  bool close(Disposition disposition);
  // Removes the temporary; the name keeps what it held.
  void abandon();

 private:
  // line_space where the buffer lacks room, is not there yet or the file is closed.
  char* more_line_space(std::size_t size);
  // Appends bytes to the buffer, or writes them out where they exceed it.
  void put(const char* data, std::size_t size);

  ReplacementFile file_;
  std::string path_;
  std::unique_ptr<char[]> buffer_;  // taken at the first write: many side files are never written
  std::size_t used_ = 0;            // bytes waiting in buffer_
  std::size_t records_ = 0;
  std::int64_t station_records_ = 0;
  bool failed_ = false;
};

// Every file unit of a run. Unit numbers are kept in the member names' comments only.
struct FileUnits {
  InputFile input;     // unit 1
  OutputFile main;     // unit 7: main output file of the run's type
  OutputFile comment;  // unit 9: comment file
  OutputFile gps;      // unit 10: GPS side file
  OutputFile binary;   // unit 12: big-endian binary data file (type I)
  OutputFile raw;      // unit 14: raw copy file
  OutputFile xyx;      // unit 15: XYX side file
  OutputFile csvt;     // column types beside a CSV file (code C)
  OutputFile prj;      // projection beside a CSV file (code C)
  Unit99File unit99;   // unit 99: "fort.99", diagnostic lines of the UTM conversion, appended

  // Every output unit above, for what concerns them all (a new unit joins this list).
  std::array<OutputFile*, 8> outputs() {
    return {&main, &comment, &gps, &binary, &raw, &xyx, &csvt, &prj};
  }

  // The folder of the input name, up to and including its last "/" or "\": every output file of
  // the run is opened there.
  std::string input_folder;

  // Path of the output file that could not be opened, folder included; empty until one fails.
  std::string open_failure;
  // Path of the first output file whose data could not all be written (the disk was full, say);
  // empty while every write succeeded. A run must not report such a file as transcribed.
  std::string write_failure;
  // Station records in main files that reached their names.
  std::int64_t station_records = 0;

  // Remembers `file` when a write to it failed.
  void note_write_failure(const OutputFile& file) {
    if (file.failed() && write_failure.empty()) write_failure = file.path();
  }

  // Opens `file` as `name` in the input's folder (a file still open there is closed and kept
  // first). False when it cannot be opened (or is the input); its path is then remembered for
  // the run's end.
  bool open_output(OutputFile& file, std::string_view name);
  // The same for a path of its own: a name made from the input's name, which holds its folder.
  bool open_output_path(OutputFile& file, std::string path);

  // Closes one file (see OutputFile::close) and counts the station records of a kept one. False
  // when its data could not all be written: the file is remembered and every unit rolled back.
  bool close(OutputFile& file, Disposition disposition);
  // Closes files together: each reaches its name only when all of them were written whole. False
  // when one could not be: then it is remembered, and every unit of the run rolled back.
  bool close_set(std::initializer_list<std::pair<OutputFile*, Disposition>> files);
  // Removes the temporary of every unit: the names keep what they held before the run.
  void roll_back();

  // The path of `name` in the input's folder.
  std::string path_of(std::string_view name) const { return input_folder + std::string(name); }
  // The suffix ("", "~2", "~3", ...) that the files of a new set take: the first with which none
  // of `paths` was opened earlier in this run, compared without regard to case (survey files
  // travel on FAT and exFAT cards, where "DEFAULT.GPS" and "Default.GPS" are one file).
  std::string free_suffix(const std::vector<std::string>& paths) const;

 private:
  std::vector<std::string> opened_;  // every output path opened in this run, in lower case
};

// `path` with `suffix` put before the extension of its file name: "d/A.xyz" and "~2" give
// "d/A~2.xyz".
std::string with_suffix(std::string_view path, std::string_view suffix);

}  // namespace quillet
