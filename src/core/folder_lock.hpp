// The lock of an output folder: one execution of the program writes in a folder at a time.
//
// Two raw files in one folder share the `Default.*` names and may share logger names, and two
// runs of one raw file share every name: runs at the same time would mix their files. An
// exclusive flock(2) on the folder, held for all the runs of an execution, makes a second
// execution wait, saying so in one console line. Where the file system has no locks, one warning
// line, and the runs go on unlocked.
#pragma once

#include <string>

#include "common/console.hpp"

namespace quillet {

class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock() { release(); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the lock of `folder` ("" for the working folder), waiting while another execution holds
  // it. A folder that does not exist is not locked (its runs cannot open their input).
  void take(const std::string& folder, Console& console);
  void release();
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace quillet
