#pragma once
// The platform's part of the CSV save: the file's path from narrow texts,
// and the rename that puts a finished file in
// place (replacing an older one of the same name).
#include <filesystem>
#include <string>

namespace tavelund {

std::filesystem::path csvFilePath(const std::filesystem::path& folder, const std::string& name);
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace tavelund
