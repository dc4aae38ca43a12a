#include <windows.h>

#include <algorithm>

#include "common/whole_file.h"

namespace tavelund {

ExclusiveWrite writeExclusively(const std::filesystem::path& path, std::string_view content) {
  // CREATE_NEW fails on any existing name, a link included.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? ExclusiveWrite::NameTaken
                                                                       : ExclusiveWrite::Failed;
  }
  bool written = true;
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
    DWORD count = 0;
    if (!WriteFile(file, data, chunk, &count, nullptr) || count == 0) {
      written = false;
      break;
    }
    data += count;
    left -= count;
  }
  if (!CloseHandle(file)) written = false;
  if (written) return ExclusiveWrite::Written;
  DeleteFileW(path.c_str());
  return ExclusiveWrite::Failed;
}

bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace tavelund
