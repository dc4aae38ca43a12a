#include "tests/support/second_user.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace tavelund::testing {
namespace {

namespace fs = std::filesystem;

std::string firstProgram(std::initializer_list<const char*> paths) {
  for (const char* path : paths) {
    if (access(path, X_OK) == 0) return path;
  }
  return {};
}

bool lookUp(const std::string& name, unsigned& id) {
  const passwd* entry = getpwnam(name.c_str());
  if (entry == nullptr) return false;
  id = entry->pw_uid;
  return true;
}

}  // namespace

SecondUser::SecondUser() {
  if (geteuid() != 0) {
    problem_ = "a second user needs root (useradd, runuser)";
    return;
  }
  runuser_ = firstProgram({"/usr/sbin/runuser", "/sbin/runuser", "/usr/bin/runuser"});
  const std::string useradd = firstProgram({"/usr/sbin/useradd", "/sbin/useradd"});
  if (runuser_.empty() || useradd.empty()) {
    problem_ = "runuser or useradd is missing (Debian: util-linux, passwd)";
    return;
  }
  if (lookUp(name_, id_)) return;
  // Another test run may make it at the same moment: look again afterwards.
  const std::string command = useradd + " --system --no-create-home --shell /usr/sbin/nologin " +
                              name_ + " >/dev/null 2>&1";
  [[maybe_unused]] const int rc = std::system(command.c_str());
  if (!lookUp(name_, id_)) problem_ = "useradd could not make the user " + name_;
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
  std::vector<std::string> all{"-u", name_, "--", program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return std::make_unique<ChildProcess>(runuser_, all, outputPath);
}

}  // namespace tavelund::testing
