#include "engine/csv_save_file.h"

namespace tavelund {

std::filesystem::path csvFilePath(const std::filesystem::path& folder, const std::string& name) {
  // File names are the console's narrow bytes as they are.
  return folder / name;
}

std::string_view csvLineEnd() { return "\n"; }

}  // namespace tavelund
