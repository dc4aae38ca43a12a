#include "common/codepage.h"
#include "engine/csv_save_file.h"

namespace tavelund {

std::filesystem::path csvFilePath(const std::filesystem::path& folder, const std::string& name) {
  return std::filesystem::path(folder.wstring() + L"\\" + narrowToWide(name));
}

std::string_view csvLineEnd() { return "\r\n"; }

}  // namespace tavelund
