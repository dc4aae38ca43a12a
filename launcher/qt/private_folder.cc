#include "launcher/qt/private_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavelund {

bool isPrivateFolder(const std::string& path) {
  struct stat status {};
  // lstat: a link could be turned to another folder after the check.
  if (::lstat(path.c_str(), &status) != 0) return false;
  return S_ISDIR(status.st_mode) && status.st_uid == ::geteuid() &&
         (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

PrivateFolder privateSocketFolder(const char* runtimeFolder, const std::string& temporaryFolder) {
  if (runtimeFolder && *runtimeFolder && isPrivateFolder(runtimeFolder)) return {runtimeFolder, {}};
  const std::string own = temporaryFolder + "/vantrell-" + std::to_string(::geteuid());
  // mkdir never follows a link at the name and never widens the mode.
  if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) {
    return {{}, "cannot make " + own + ": " + std::strerror(errno)};
  }
  if (!isPrivateFolder(own)) {
    return {{}, own + " is not a folder of this user closed to others"};
  }
  return {own, {}};
}

}  // namespace tavelund
