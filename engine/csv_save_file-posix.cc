#include <cstdio>

#include "engine/csv_save_file.h"

namespace tavelund {

std::filesystem::path csvFilePath(const std::filesystem::path& folder, const std::string& name) {
  // File names are the console's narrow bytes as they are.
  return folder / name;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace tavelund
