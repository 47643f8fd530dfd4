#include "core/unit99.hpp"

#include <fcntl.h>
#include <unistd.h>

#include "common/replacement_file.hpp"

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
  if (write_all(fd_, line_) != 0) failed_ = true;
}

}  // namespace quillet
