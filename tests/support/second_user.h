#pragma once
// Test support (Linux): a second local user for attack tests, and programs
// run as that user. Needs root: the user is made once with useradd (no
// home, no login) and kept, as other test runs may be using it.
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace tavelund::testing {

class SecondUser {
 public:
  // The user "tavelund-intruder", made when missing. `problem()` says why
  // not when that is impossible here (not root, no useradd or runuser).
  SecondUser();
  ~SecondUser();  // removes the runnable copies
  SecondUser(const SecondUser&) = delete;
  SecondUser& operator=(const SecondUser&) = delete;

  bool ready() const { return problem_.empty(); }
  const std::string& problem() const { return problem_; }
  const std::string& name() const { return name_; }
  unsigned id() const { return id_; }

  // A copy of `program` that the user may run: in a fresh folder of its
  // own under the temporary folder, readable and runnable by everyone.
  std::string runnableCopy(const std::string& program);

  // Starts `program` as the user; its standard output goes to `outputPath`.
  std::unique_ptr<ChildProcess> start(const std::string& program,
                                      const std::vector<std::string>& arguments,
                                      const std::string& outputPath) const;

 private:
  std::string name_ = "tavelund-intruder";
  unsigned id_ = 0;
  std::string problem_;
  std::string runuser_;
  std::vector<std::string> folders_;
};

}  // namespace tavelund::testing
