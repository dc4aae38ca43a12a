#pragma once
// Replacing a small file in one step. The new content goes into a file of
// its own beside the old one, made exclusively: never through a link planted
// at its name and never into a file that someone else made there. It is then
// renamed over the old file, so a reader sees the old or the new content,
// never a cut one.
#include <filesystem>
#include <string_view>

namespace tavelund {

enum class NewFileResult {
  Written,    // made, written completely and flushed to the disk
  NameTaken,  // something is at that name already (a link too); left alone
  Failed,     // could not be made or written; nothing is left behind
};

// Makes `file` anew with `content`; never opens what is already there.
NewFileResult writeNewFile(const std::filesystem::path& file, std::string_view content);

// Writes `content` into a new file with an unpredictable name in the folder
// of `file` ("<name>.new-<hex>") and renames it over `file`. On failure
// `file` is as it was and the new file is removed.
bool replaceFile(const std::filesystem::path& file, std::string_view content);

}  // namespace tavelund
