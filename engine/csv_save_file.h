#pragma once
// The platform's part of the CSV save: the file's path from narrow texts,
// and the line end (CRLF on Windows, as a text-mode stream writes there; LF
// elsewhere).
#include <filesystem>
#include <string>
#include <string_view>

namespace tavelund {

std::filesystem::path csvFilePath(const std::filesystem::path& folder, const std::string& name);

std::string_view csvLineEnd();

}  // namespace tavelund
