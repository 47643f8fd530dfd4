#include "core/unit99.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quillet {

Unit99File::~Unit99File() {
  if (fd_ >= 0) ::close(fd_);
}

void Unit99File::write_line(std::string_view line) {
  if (failed_) return;
  if (fd_ < 0) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      failed_ = true;
      return;
    }
  }
  line_.assign(line);
  line_ += '\n';
  std::size_t done = 0;
  while (done < line_.size()) {
    const ssize_t put = ::write(fd_, line_.data() + done, line_.size() - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put < 0 && errno == EINTR) {
      continue;
    } else {
      failed_ = true;
      return;
    }
  }
}

}  // namespace quillet
