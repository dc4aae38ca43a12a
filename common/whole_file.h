#pragma once
// Writing a file so that it appears complete or not at all, safely in a
// folder that others may write to as well: the bytes go into a new file
// beside the target under a name nobody can guess, created exclusively
// (never through a file or a link planted at that name), flushed to the
// disk, and that file is then renamed over the target. A reader sees the old
// content or the new, never a cut one. On any failure the new file is
// removed and the target is left as it was.
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <string_view>

namespace tavelund {

// How the new file beside a target is named: the target's file name, then
// `before`, `length` characters picked at random from `characters`, then
// `after`. Each caller keeps the form its readers and tests know. Where that
// name would be longer than a file name may be (kLongestFileName), the
// target's name in it is cut short, so that every target whose own name
// fits can be written.
struct TemporaryNameForm {
  std::string_view before;
  int length = 0;
  std::string_view characters;
  std::string_view after;
};

// "<name>.k3x9q0za.part" while it is being written: the form of the CSV
// save and the tools' files.
inline constexpr TemporaryNameForm kPartFileForm{".", 8, "abcdefghijklmnopqrstuvwxyz0123456789",
                                                 ".part"};

// The longest file name the file systems take: 255 bytes on Linux, 255
// UTF-16 units on Windows (units of path::value_type on both).
inline constexpr std::size_t kLongestFileName = 255;

// False when the file could not be written, or when `abandon` was set (by
// another thread) before it was complete; nothing of ours is left then.
bool writeWholeFile(const std::filesystem::path& target, std::string_view content,
                    const TemporaryNameForm& form, const std::atomic<bool>* abandon = nullptr);

// The steps, each for itself.

enum class NewFileResult {
  Written,    // made, written completely and flushed to the disk
  NameTaken,  // something (a file, a folder, a link) already has the name; left alone
  Failed,     // could not be made or written; nothing is left behind
};

// Makes `file`, which must not exist yet, with `content`; never opens what
// is already there. The content goes out in pieces of kWritePiece bytes,
// and `abandon`, when set between two of them, ends the write as a failure.
NewFileResult writeNewFile(const std::filesystem::path& file, std::string_view content,
                           const std::atomic<bool>* abandon = nullptr);
inline constexpr std::size_t kWritePiece = std::size_t{1} << 20;

// Renames `from` to `to`, replacing a file of that name (a link of that name
// is replaced itself, not followed).
bool renameOver(const std::filesystem::path& from, const std::filesystem::path& to);

// A fresh name of the given form beside `target`, at most kLongestFileName
// long: the target's name is cut between two characters where it must be.
std::filesystem::path temporaryNameBeside(const std::filesystem::path& target,
                                          const TemporaryNameForm& form);

}  // namespace tavelund
