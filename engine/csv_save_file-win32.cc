#include <windows.h>

#include "common/codepage.h"
#include "engine/csv_save_file.h"

namespace tavelund {

std::filesystem::path csvFilePath(const std::filesystem::path& folder, const std::string& name) {
  return std::filesystem::path(folder.wstring() + L"\\" + narrowToWide(name));
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

}  // namespace tavelund
