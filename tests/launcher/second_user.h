#pragma once
// A second local user for the attack tests, made once with `useradd -M`
// (no home folder) and left in place for later runs. Only root can make it
// and act as it; elsewhere the tests skip with the reason.
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "tests/support/wait.h"

namespace tavelund::testing_support {

struct SecondUser {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
  std::string problem;  // empty when the user is there
};

inline SecondUser secondUser() {
  SecondUser user;
  user.name = "tavelund-attacker";
  if (::geteuid() != 0) {
    user.problem = "needs root to make a second local user (useradd) and act as it";
    return user;
  }
  if (std::system("command -v useradd >/dev/null") != 0) {
    user.problem = "useradd is missing";
    return user;
  }
  // Parallel tests may add the user at the same time; the loser finds the
  // passwd file locked or the user there already.
  const passwd* entry = nullptr;
  tavelund::testing::waitFor(
      [&] {
        if ((entry = ::getpwnam(user.name.c_str())) != nullptr) return true;
        const std::string add = "useradd -M -s /usr/sbin/nologin " + user.name + " 2>/dev/null";
        [[maybe_unused]] int ignored = std::system(add.c_str());
        return (entry = ::getpwnam(user.name.c_str())) != nullptr;
      },
      std::chrono::seconds(60), std::chrono::milliseconds(100));
  if (!entry) {
    user.problem = "useradd could not make " + user.name;
    return user;
  }
  user.uid = entry->pw_uid;
  user.gid = entry->pw_gid;
  return user;
}

}  // namespace tavelund::testing_support
