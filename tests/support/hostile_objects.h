#pragma once
// Test support (POSIX): what a misbehaving process of the same user can do
// to the link's system objects, which nothing keeps it from: hold the attach
// guard, or cut or grow an object under the processes attached to it.
// Objects are named as systemObjectName names them (in the test's
// namespace).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "link/shared_memory.h"

namespace tavelund::testing {

// Holds this user's attach guard the way a stuck process would, until
// released or destroyed.
class HeldGuard {
 public:
  HeldGuard() {
    fd_ = shm_open(systemObjectName(L"LOW_ATTACHmutex").c_str(), O_RDWR | O_CREAT, 0600);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    held_ = fd_ >= 0 && fcntl(fd_, F_OFD_SETLK, &lock) == 0;
  }
  ~HeldGuard() { release(); }
  HeldGuard(const HeldGuard&) = delete;
  HeldGuard& operator=(const HeldGuard&) = delete;
  bool held() const { return held_; }
  void release() {
    if (fd_ >= 0) close(fd_);  // closing the description drops its lock
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  bool held_ = false;
};

// Gives the object of channel object name `name` the size `bytes` (cutting
// it discards what lay behind); false when it cannot be opened or resized.
inline bool resizeObject(const wchar_t* name, off_t bytes) {
  const int fd = shm_open(systemObjectName(name).c_str(), O_RDWR, 0);
  if (fd < 0) return false;
  const bool done = ftruncate(fd, bytes) == 0;
  close(fd);
  return done;
}

// The object's size now; -1 when it is not there.
inline off_t objectSize(const wchar_t* name) {
  struct stat info {};
  return stat(("/dev/shm" + systemObjectName(name)).c_str(), &info) == 0 ? info.st_size : -1;
}

}  // namespace tavelund::testing
