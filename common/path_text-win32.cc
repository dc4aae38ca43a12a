#include "common/path_text.h"

#include <stdexcept>

#include "common/codepage.h"

namespace tavelund {

std::string pathText(const std::filesystem::path& path) {
  try {
    return wideToNarrow(path.wstring());
  } catch (const std::runtime_error&) {
  }
  try {
    return path.string();
  } catch (...) {
    return "?";
  }
}

}  // namespace tavelund
