// CREATE_NEW makes the name ours or fails; a symbolic link or junction at
// the name counts as taken and is not followed.
#include <windows.h>

#include <algorithm>

#include "common/whole_file.h"

namespace tavelund {
namespace {

bool writeAll(HANDLE file, std::string_view content, const std::atomic<bool>* abandon) {
  while (!content.empty()) {
    if (abandon != nullptr && abandon->load()) return false;
    const DWORD chunk = static_cast<DWORD>(std::min(content.size(), kWritePiece));
    DWORD count = 0;
    if (!::WriteFile(file, content.data(), chunk, &count, nullptr) || count == 0) return false;
    content.remove_prefix(count);
  }
  return true;
}

}  // namespace

NewFileResult writeNewFile(const std::filesystem::path& file, std::string_view content,
                           const std::atomic<bool>* abandon) {
  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFileResult::NameTaken
                                                                       : NewFileResult::Failed;
  }
  // Flushed before the rename: after a crash the target holds the old
  // content or the new, not an empty file.
  bool written = writeAll(handle, content, abandon) && ::FlushFileBuffers(handle);
  if (!::CloseHandle(handle)) written = false;
  if (written) return NewFileResult::Written;
  ::DeleteFileW(file.c_str());
  return NewFileResult::Failed;
}

bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace tavelund
