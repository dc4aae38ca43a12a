#pragma once
// A folder that only this user can enter, for the launcher's local socket:
// another user must neither find the socket nor put one in its place.
#include <string>

namespace tavelund {

struct PrivateFolder {
  std::string path;     // empty when there is none
  std::string problem;  // why there is none, for the user
};

// True for a real folder (not a link) owned by the effective user that
// grants nothing to group or others.
bool isPrivateFolder(const std::string& path);

// `runtimeFolder` ($XDG_RUNTIME_DIR, may be null or empty) when it is
// private; else "<temporaryFolder>/vantrell-<uid>", made with user-only
// access if missing and refused if anyone else made it or may enter it.
PrivateFolder privateSocketFolder(const char* runtimeFolder, const std::string& temporaryFolder);

}  // namespace tavelund
