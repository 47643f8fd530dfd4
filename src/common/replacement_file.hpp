// Files that appear under their final names only when complete, and their clean-up on a signal.
//
// `ReplacementFile` writes a hidden temporary ".NAME.tmp" beside NAME (same folder, so the rename
// is atomic), created with O_CREAT | O_EXCL | O_NOFOLLOW and mode 0666 less the umask, and renames
// it onto NAME on commit(). Whatever stood at NAME (a file, a link) stays untouched until then,
// and a link there is replaced, never written through. A temporary name that already exists is a
// leftover of a killed program or a planted link: it is removed (a link itself, never its target)
// and the creation tried once more; a second failure is the open's error. Callers hold the output
// folder's lock, so no other program of ours is writing that temporary.
//
// `SignalCleanup` (one object, made by main()) removes every live temporary on SIGINT, SIGTERM and
// SIGHUP, writes one line naming the files that were not written, and dies by the same signal, so
// that a shell loop over many files stops. A signal that was ignored when the program started
// (`nohup`, a background job) stays ignored. SIGPIPE and SIGXFSZ are ignored, so that a closed
// console or a file size limit is a failed write, reported as such, rather than a silent death.
#pragma once

#include <signal.h>

#include <atomic>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

namespace quillet {

class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();  // discards a temporary that was not committed
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary of `final_path`. 0, or the errno of the failure: EISDIR when the final
  // name is a folder, EACCES (EROFS) when it is a regular file the user may not write (refused
  // before anything is created), EMFILE when the signal clean-up has no room left to track it.
  [[nodiscard]] int open(std::string final_path);
  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& final_path() const { return final_path_; }
  const std::string& temporary_path() const { return temporary_path_; }

  // Writes all of `data` (retrying short writes and EINTR); 0 or the errno of the failure.
  [[nodiscard]] int write(std::string_view data);
  // Closes the temporary and renames it onto the final name; 0 or errno. On failure the
  // temporary is removed and the final name keeps what it held.
  [[nodiscard]] int commit();
  // Closes and removes the temporary; the final name keeps what it held. Does nothing when closed.
  void discard();

 private:
  int fd_ = -1;
  int slot_ = -1;  // the signal clean-up's slot holding the temporary's path, or -1
  std::string final_path_;
  std::string temporary_path_;
};

// Writes all of `data` to `fd` (retrying short writes and EINTR); 0 or the errno of the failure.
[[nodiscard]] int write_all(int fd, std::string_view data);

// The hidden temporary name of `final_path`: ".NAME.tmp" in the same folder.
std::string temporary_path_of(std::string_view final_path);

class SignalCleanup {
 public:
  static constexpr std::size_t kSlots = 16;       // temporaries alive at once
  static constexpr std::size_t kPathRoom = 4096;  // longest path, terminating zero included

  // Installs the handlers; the line goes to `console_fd` on a signal.
  explicit SignalCleanup(int console_fd);
  ~SignalCleanup();  // restores the earlier dispositions
  SignalCleanup(const SignalCleanup&) = delete;
  SignalCleanup& operator=(const SignalCleanup&) = delete;

  // The installed clean-up, or nullptr (a program or test that made none).
  static SignalCleanup* installed() { return installed_; }

  // Takes a slot for a temporary's path before it is created; -1 when none is free or the path
  // is too long. release() frees the slot once the temporary is renamed or removed.
  int track(std::string_view temporary_path);
  void release(int slot);

  // Removes every tracked temporary and writes the line; what the handler does before it dies.
  // Async-signal-safe: no allocation, no locks, only unlink(2) and write(2).
  void clean_up_after(int signal) noexcept;

 private:
  static_assert(std::atomic<bool>::is_always_lock_free);

  static void handle(int signal);

  // A signal handler has no argument through which to reach an object: this one pointer to the
  // object main() made is the program's only static state, set while that object lives.
  static SignalCleanup* installed_;

  int console_fd_;
  // The flags apart from the paths: making the object writes one page of it rather than one a
  // slot (each first write to a page costs the process a fault), and a path's page is written
  // only when a temporary takes its slot.
  std::atomic<bool> live_[kSlots] = {};
  char paths_[kSlots][kPathRoom];
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};
  struct sigaction saved_[std::size(kSignals)];  // the dispositions to restore
};

}  // namespace quillet
