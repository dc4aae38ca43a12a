// CREATE_NEW makes the name ours or fails; a symbolic link or junction at
// the name counts as taken and is not followed.
#include <windows.h>

#include "launcher/replace_file.h"

namespace tavelund {
namespace {

bool writeAll(HANDLE file, std::string_view content) {
  while (!content.empty()) {
    const DWORD chunk =
        content.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(content.size());
    DWORD written = 0;
    if (!::WriteFile(file, content.data(), chunk, &written, nullptr) || written == 0) return false;
    content.remove_prefix(written);
  }
  return true;
}

}  // namespace

NewFileResult writeNewFile(const std::filesystem::path& file, std::string_view content) {
  HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? NewFileResult::NameTaken
                                                                       : NewFileResult::Failed;
  }
  bool written = writeAll(handle, content) && ::FlushFileBuffers(handle);
  if (!::CloseHandle(handle)) written = false;
  if (written) return NewFileResult::Written;
  ::DeleteFileW(file.c_str());
  return NewFileResult::Failed;
}

}  // namespace tavelund
