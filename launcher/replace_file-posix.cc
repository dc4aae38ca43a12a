// O_EXCL makes the name ours or fails, also where a symbolic link (even a
// dangling one) lies at it; O_NOFOLLOW says the same for older kernels'
// sake. The mode is the usual 0666 less the umask, as for any saved file.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "launcher/replace_file.h"

namespace tavelund {
namespace {

bool writeAll(int descriptor, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(descriptor, content.data(), content.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

NewFileResult writeNewFile(const std::filesystem::path& file, std::string_view content) {
  const int descriptor =
      ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (descriptor < 0) return errno == EEXIST ? NewFileResult::NameTaken : NewFileResult::Failed;
  bool written = writeAll(descriptor, content) && ::fsync(descriptor) == 0;
  if (::close(descriptor) != 0) written = false;
  if (written) return NewFileResult::Written;
  ::unlink(file.c_str());
  return NewFileResult::Failed;
}

}  // namespace tavelund
