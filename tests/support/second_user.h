#pragma once
// Test support (Linux): a second local user for attack tests, and programs
// run as that user. Needs root: the user is made once with useradd (no
// home, no login) and kept, as other test runs may be using it. Programs
// become the user in the child itself before exec (no runuser between), so
// that ending the child ends the other user's program.
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace tavelund::testing {

class SecondUser {
 public:
  // The user "tavelund-intruder", made when missing. `problem()` says why
  // not when that is impossible here (not root, no useradd).
  SecondUser();
  ~SecondUser();  // removes the runnable copies
  SecondUser(const SecondUser&) = delete;
  SecondUser& operator=(const SecondUser&) = delete;

  bool ready() const { return problem_.empty(); }
  const std::string& problem() const { return problem_; }
  const std::string& name() const { return name_; }
  unsigned id() const { return id_; }
  unsigned group() const { return group_; }

  // A copy of `program` that the user may run: in a fresh folder of its
  // own under the temporary folder, readable and runnable by everyone.
  // Empty when it could not be made.
  std::string runnableCopy(const std::string& program);

  // Starts `program` as the user; its standard output goes to `outputPath`.
  std::unique_ptr<ChildProcess> start(const std::string& program,
                                      const std::vector<std::string>& arguments,
                                      const std::string& outputPath) const;

  // Makes the calling process this user for good: no supplementary groups,
  // the user's group, the user's id. For a child between fork and exec (also
  // a QProcess child modifier): only async-signal-safe calls. False when a
  // step failed; the process must not go on then.
  bool becomeInChild() const;

 private:
  std::string name_ = "tavelund-intruder";
  unsigned id_ = 0;
  unsigned group_ = 0;
  std::string problem_;
  std::vector<std::string> folders_;
};

}  // namespace tavelund::testing
