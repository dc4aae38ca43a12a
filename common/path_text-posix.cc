#include "common/path_text.h"

namespace tavelund {

// Paths are the console's narrow bytes as they are.
std::string pathText(const std::filesystem::path& path) { return path.string(); }

}  // namespace tavelund
