#include "common/replacement_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace quillet {

SignalCleanup* SignalCleanup::installed_ = nullptr;

namespace {

int create_exclusive(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// write(2) of a whole text; for the signal handler, so nothing but the system call.
void put(int fd, const char* text, std::size_t size) noexcept {
  while (size > 0) {
    const ssize_t done = ::write(fd, text, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return;
    text += done;
    size -= static_cast<std::size_t>(done);
  }
}

void put(int fd, const char* text) noexcept {
  put(fd, text, std::strlen(text));
}

const char* signal_name(int signal) noexcept {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace

std::string temporary_path_of(std::string_view final_path) {
  // Only "/" separates folders here: the temporary must be in the very folder of the final name.
  const std::size_t slash = final_path.find_last_of('/');
  const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
  std::string path(final_path.substr(0, base));
  path += '.';
  path += final_path.substr(base);
  path += ".tmp";
  return path;
}

ReplacementFile::~ReplacementFile() {
  discard();
}

int ReplacementFile::open(std::string final_path) {
  discard();
  if (final_path.empty() || final_path.back() == '/') return EISDIR;
  struct stat info {};
  if (::lstat(final_path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return EISDIR;
    // Refused before anything is created, as an open for writing in place would be.
    if (S_ISREG(info.st_mode) && ::access(final_path.c_str(), W_OK) != 0 &&
        (errno == EACCES || errno == EPERM || errno == EROFS)) {
      return errno;
    }
  }
  std::string temporary = temporary_path_of(final_path);
  SignalCleanup* cleanup = SignalCleanup::installed();
  // Tracked before it exists: a signal between its creation and the tracking would leave it.
  const int slot = cleanup != nullptr ? cleanup->track(temporary) : -1;
  if (cleanup != nullptr && slot < 0) return EMFILE;
  int fd = create_exclusive(temporary);
  if (fd < 0 && errno == EEXIST && ::unlink(temporary.c_str()) == 0)
    fd = create_exclusive(temporary);
  if (fd < 0) {
    const int error = errno;
    if (cleanup != nullptr) cleanup->release(slot);
    return error;
  }
  fd_ = fd;
  slot_ = slot;
  final_path_ = std::move(final_path);
  temporary_path_ = std::move(temporary);
  return 0;
}

int write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t done = ::write(fd, data.data(), data.size());
    if (done > 0) {
      data.remove_prefix(static_cast<std::size_t>(done));
    } else if (done < 0 && errno == EINTR) {
      continue;
    } else {
      return done < 0 ? errno : EIO;
    }
  }
  return 0;
}

int ReplacementFile::write(std::string_view data) {
  if (fd_ < 0) return EBADF;
  return write_all(fd_, data);
}

int ReplacementFile::commit() {
  if (fd_ < 0) return EBADF;
  const int closed = ::close(fd_);
  fd_ = -1;
  int error = closed == 0 ? 0 : errno;
  if (error == 0 && ::rename(temporary_path_.c_str(), final_path_.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary_path_.c_str());
  if (SignalCleanup* cleanup = SignalCleanup::installed(); cleanup != nullptr && slot_ >= 0) {
    cleanup->release(slot_);
  }
  slot_ = -1;
  return error;
}

void ReplacementFile::discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  ::unlink(temporary_path_.c_str());
  if (SignalCleanup* cleanup = SignalCleanup::installed(); cleanup != nullptr && slot_ >= 0) {
    cleanup->release(slot_);
  }
  slot_ = -1;
}

SignalCleanup::SignalCleanup(int console_fd) : console_fd_(console_fd) {
  installed_ = this;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) {
    const int signal = kSignals[i];
    struct sigaction action {};
    // One clean-up at a time: the other handled signals wait until this one has died.
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGHUP);
    const bool cleaned = signal == SIGINT || signal == SIGTERM || signal == SIGHUP;
    action.sa_handler = cleaned ? &SignalCleanup::handle : SIG_IGN;
    ::sigaction(signal, nullptr, &saved_[i]);
    if (cleaned && saved_[i].sa_handler == SIG_IGN) continue;  // nohup: the user asked for that
    ::sigaction(signal, &action, nullptr);
  }
}

SignalCleanup::~SignalCleanup() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i)
    ::sigaction(kSignals[i], &saved_[i], nullptr);
  installed_ = nullptr;
}

int SignalCleanup::track(std::string_view temporary_path) {
  if (temporary_path.size() >= kPathRoom) return -1;
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (live_[i].load()) continue;
    std::memcpy(paths_[i], temporary_path.data(), temporary_path.size());
    paths_[i][temporary_path.size()] = '\0';
    live_[i].store(true);  // after the path is whole: the handler reads only live slots
    return static_cast<int>(i);
  }
  return -1;
}

void SignalCleanup::release(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < kSlots) live_[slot].store(false);
}

void SignalCleanup::clean_up_after(int signal) noexcept {
  const int saved_errno = errno;
  put(console_fd_, "*** Run interrupted by ");
  put(console_fd_, signal_name(signal));
  bool any = false;
  for (std::size_t i = 0; i < kSlots; ++i) {
    if (!live_[i].load()) continue;
    live_[i].store(false);
    const char* const path = paths_[i];
    // A temporary already renamed (the signal came between the rename and the release of its
    // slot) is a complete file under its final name: not one to name as lost.
    if (::unlink(path) != 0 && errno == ENOENT) continue;
    // The final name: the temporary's without the leading "." of its base name and the ".tmp".
    const std::size_t length = std::strlen(path);
    const char* slash = std::strrchr(path, '/');
    const std::size_t base = slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
    put(console_fd_, any ? ", " : "; files not written: ");
    put(console_fd_, path, base);
    if (length >= base + 5) put(console_fd_, path + base + 1, length - base - 5);
    any = true;
  }
  if (!any) put(console_fd_, "; no file was being written");
  put(console_fd_, "\n");
  errno = saved_errno;
}

void SignalCleanup::handle(int signal) {
  if (installed_ != nullptr) installed_->clean_up_after(signal);
  // The default action, taken once this handler returns and unblocks the signal: the shell sees
  // a death by the signal and stops a loop over many files.
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = SIG_DFL;
  ::sigaction(signal, &action, nullptr);
  ::raise(signal);
}

}  // namespace quillet
