#pragma once
// A path as narrow text in the console's code page, for messages and the
// run log. Never fails: a path the code page cannot carry falls back to the
// library's own narrowing, then to "?".
#include <filesystem>
#include <string>

namespace tavelund {

std::string pathText(const std::filesystem::path& path);

}  // namespace tavelund
