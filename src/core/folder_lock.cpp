#include "core/folder_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillet {

void FolderLock::take(const std::string& folder, Console& console) {
  release();
  const std::string shown = folder.empty() ? "./" : folder;
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) {
      console.write_line(" *** Warning: output folder " + shown + " cannot be locked (" +
                         std::strerror(errno) + "); runs at the same time in it mix their files");
    }
    return;
  }
  int status = ::flock(fd, LOCK_EX | LOCK_NB);
  if (status != 0 && errno == EWOULDBLOCK) {
    console.write_line("   Another quillet run is writing in folder " + shown +
                       "; waiting for it to end");
    console.flush();
    while ((status = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
  }
  if (status != 0) {
    console.write_line(" *** Warning: output folder " + shown + " cannot be locked (" +
                       std::strerror(errno) + "); runs at the same time in it mix their files");
    ::close(fd);
    return;
  }
  fd_ = fd;
}

void FolderLock::release() {
  if (fd_ >= 0) ::close(fd_);  // closing the last descriptor of the folder releases its lock
  fd_ = -1;
}

}  // namespace quillet
