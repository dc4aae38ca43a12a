#pragma once
// Writing a file so that it appears complete or not at all, safely in a
// folder that others may write to as well: the bytes go into a new file
// beside the target under a name nobody else has, created exclusively
// (never through a file or a link planted at that name), and that file is
// then renamed over the target. On any failure the new file is removed and
// the target is left as it was.
#include <filesystem>
#include <string_view>

namespace tavelund {

// False when the file could not be written; nothing of ours is left then.
bool writeWholeFile(const std::filesystem::path& target, std::string_view content);

// The steps, each for itself.

enum class ExclusiveWrite {
  Written,
  NameTaken,  // something (a file, a folder, a link) already has the name
  Failed,     // created but not written completely: removed again
};

// Creates `path`, which must not exist yet, and writes `content` into it.
ExclusiveWrite writeExclusively(const std::filesystem::path& path, std::string_view content);

// Renames `from` to `to`, replacing a file of that name (a link of that name
// is replaced itself, not followed).
bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// A temporary name beside `target`: its file name, ".", eight random
// letters or digits, ".part".
std::filesystem::path temporaryNameBeside(const std::filesystem::path& target);

}  // namespace tavelund
