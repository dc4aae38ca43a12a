#include "tests/support/second_user.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "tests/support/wait.h"

namespace tavelund::testing {
namespace {

namespace fs = std::filesystem;

std::string firstProgram(std::initializer_list<const char*> paths) {
  for (const char* path : paths) {
    if (access(path, X_OK) == 0) return path;
  }
  return {};
}

bool lookUp(const std::string& name, unsigned& id, unsigned& group) {
  const passwd* entry = getpwnam(name.c_str());
  if (entry == nullptr) return false;
  id = entry->pw_uid;
  group = entry->pw_gid;
  return true;
}

}  // namespace

SecondUser::SecondUser() {
  if (geteuid() != 0) {
    problem_ = "a second user needs root (useradd, and to act as that user)";
    return;
  }
  const std::string useradd = firstProgram({"/usr/sbin/useradd", "/sbin/useradd"});
  if (useradd.empty()) {
    problem_ = "useradd is missing (Debian: passwd)";
    return;
  }
  // Test programs running in parallel may add the user at the same time;
  // the loser finds the passwd file locked or the user there already.
  const std::string command = useradd + " --system --no-create-home --shell /usr/sbin/nologin " +
                              name_ + " >/dev/null 2>&1";
  const bool found = waitFor(
      [&] {
        if (lookUp(name_, id_, group_)) return true;
        [[maybe_unused]] const int rc = std::system(command.c_str());
        return lookUp(name_, id_, group_);
      },
      std::chrono::seconds(60), std::chrono::milliseconds(100));
  if (!found) problem_ = "useradd could not make the user " + name_;
}

SecondUser::~SecondUser() {
  std::error_code ignored;
  for (const std::string& folder : folders_) fs::remove_all(folder, ignored);
}

std::string SecondUser::runnableCopy(const std::string& program) {
  std::string pattern = (fs::temp_directory_path() / "tavelund-second-user-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  folders_.push_back(pattern);
  chmod(pattern.c_str(), 0755);
  const fs::path copy = fs::path(pattern) / fs::path(program).filename();
  std::error_code error;
  fs::copy_file(program, copy, error);
  if (error) return {};
  chmod(copy.c_str(), 0755);
  return copy.string();
}

std::unique_ptr<ChildProcess> SecondUser::start(const std::string& program,
                                                const std::vector<std::string>& arguments,
                                                const std::string& outputPath) const {
  return std::make_unique<ChildProcess>(program, arguments, outputPath,
                                        [this] { return becomeInChild(); });
}

bool SecondUser::becomeInChild() const {
  // The group first: once the user id is given up, the group can no longer
  // be changed.
  return setgroups(0, nullptr) == 0 && setgid(group_) == 0 && setuid(id_) == 0;
}

}  // namespace tavelund::testing
