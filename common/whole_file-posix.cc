#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/whole_file.h"

namespace tavelund {

ExclusiveWrite writeExclusively(const std::filesystem::path& path, std::string_view content) {
  // O_EXCL fails on any existing name, a dangling link included; O_NOFOLLOW
  // says so once more. The mode is the usual one for a new file (umask).
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0)
    return errno == EEXIST || errno == ELOOP ? ExclusiveWrite::NameTaken : ExclusiveWrite::Failed;
  bool written = true;
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    const ssize_t count = ::write(fd, data, left);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      written = false;
      break;
    }
    data += count;
    left -= static_cast<size_t>(count);
  }
  if (::close(fd) != 0) written = false;
  if (written) return ExclusiveWrite::Written;
  ::unlink(path.c_str());
  return ExclusiveWrite::Failed;
}

bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace tavelund
