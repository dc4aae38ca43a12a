// O_EXCL makes the name ours or fails, also where a symbolic link (even a
// dangling one) lies at it; O_NOFOLLOW says the same for older kernels'
// sake. The mode is the usual 0666 less the umask, as for any saved file.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/whole_file.h"

namespace tavelund {
namespace {

bool writeAll(int descriptor, std::string_view content, const std::atomic<bool>* abandon) {
  while (!content.empty()) {
    if (abandon != nullptr && abandon->load()) return false;
    const ssize_t count =
        ::write(descriptor, content.data(), std::min(content.size(), kWritePiece));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

}  // namespace

NewFileResult writeNewFile(const std::filesystem::path& file, std::string_view content,
                           const std::atomic<bool>* abandon) {
  const int descriptor =
      ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return errno == EEXIST || errno == ELOOP ? NewFileResult::NameTaken : NewFileResult::Failed;
  }
  // Flushed before the rename: after a crash the target holds the old
  // content or the new, not an empty file.
  bool written = writeAll(descriptor, content, abandon) && ::fsync(descriptor) == 0;
  if (::close(descriptor) != 0) written = false;
  if (written) return NewFileResult::Written;
  ::unlink(file.c_str());
  return NewFileResult::Failed;
}

bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace tavelund
