// A TICKWELL_NAMESPACE longer than the object names take. Cut to fit, two
// long namespaces that differ only behind the cut would meet, a user's
// programs reaching those of another set; so the library attaches to
// nothing under one, and every program that attaches to the channels
// refuses it at its start, with a message and a non-zero exit code.
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/object_namespace.h"
#include "link/shared_memory.h"
#include "link/tickwell.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/wait.h"

namespace tavelund::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
constexpr std::chrono::milliseconds kTimeout = 30s;

std::string testNamespace() {
  const char* own = std::getenv(kNamespaceVariable);
  return own ? own : "tw-long-namespace-";
}

// The test's own namespace, filled up with `fill` to `length` bytes: what
// such a namespace makes cannot meet anybody else's objects.
std::string namespaceOfLength(std::size_t length, char fill = 'x') {
  std::string value = testNamespace();
  value.resize(length, fill);
  return value;
}

// The objects in /dev/shm whose names start with `prefix`.
std::vector<std::string> objectsStartingWith(const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator("/dev/shm")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string refusal(std::size_t length) {
  return "TICKWELL_NAMESPACE is " + std::to_string(length) + " characters long";
}

// TICKWELL_NAMESPACE set to `value` while it lives, the test's own after.
class NamespaceFor {
 public:
  explicit NamespaceFor(const std::string& value) : own_(testNamespace()) {
    setenv(kNamespaceVariable, value.c_str(), 1);
  }
  ~NamespaceFor() { setenv(kNamespaceVariable, own_.c_str(), 1); }
  NamespaceFor(const NamespaceFor&) = delete;
  NamespaceFor& operator=(const NamespaceFor&) = delete;

 private:
  std::string own_;
};

std::string bars() { return std::string(TAVELUND_TEST_DATA_DIR) + "bars-daily.csv"; }

// A feed publishes under a namespace of the longest length that fits. This
// process, under namespaces that start alike but do not fit, meets nothing
// of it and makes nothing, and says why once, not once for each object.
TEST(LongNamespace, OneThatDoesNotFitMeetsNothingOfTheOneItWouldBeCutTo) {
  const std::string fits = namespaceOfLength(kNamespaceLimit);
  const std::string output = ownProgramFolder() + "security-long-namespace-feed.txt";
  ChildProcess feed("/usr/bin/env",
                    {std::string(kNamespaceVariable) + "=" + fits,
                     ownProgramFolder() + "tickwell-feed", "--symbol", "FITS", bars()},
                    output);
  ASSERT_TRUE(
      waitFor([&] { return fileText(output).find("published") != std::string::npos; }, kTimeout))
      << fileText(output);
  {
    NamespaceFor scoped(fits);
    initSendticksMT5();
    EXPECT_STREQ(getsymbolcMT5(), "FITS") << "a namespace that fits is used whole";
    deinitSendticksMT5();
  }
  for (const std::string& longer : {fits + "y", namespaceOfLength(500, 'y')}) {
    SCOPED_TRACE(longer.size());
    const auto before = objectsStartingWith(fits);
    NamespaceFor scoped(longer);
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(preInitSendticksMT5());
    initSendticksMT5();
    EXPECT_STREQ(getsymbolcMT5(), "");
    EXPECT_STREQ(ReadLinesMT5(), "");
    EXPECT_EQ(setsymbolcMT5("LONGER"), 0);
    deinitSendticksMT5();
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(occurrences(said, refusal(longer.size())), 1u) << said;
    EXPECT_EQ(objectsStartingWith(fits), before) << "nothing made under the cut name";
  }
  {
    NamespaceFor scoped(fits);
    initSendticksMT5();
    EXPECT_STREQ(getsymbolcMT5(), "FITS") << "the feed's channels as it made them";
    deinitSendticksMT5();
  }
  feed.kill();
  for (const std::string& name : objectsStartingWith(fits)) shm_unlink(("/" + name).c_str());
}

struct ProgramCase {
  const char* program;
  std::vector<std::string> arguments;
  int exitCode;
};

// Every program that attaches to the channels, started under a namespace
// one byte too long: it ends at once with its message and its code, and
// leaves no object under the cut name.
TEST(LongNamespace, EveryProgramOfTheLinkRefusesOneThatDoesNotFit) {
  const std::string longer = namespaceOfLength(kNamespaceLimit + 1);
  const std::string cut = longer.substr(0, kNamespaceLimit);
  const ProgramCase cases[] = {
      {"ConsoleTavelundPF", {}, 1},
      {"tickwell-feed", {bars()}, 2},
      {"tickwell-peek", {"--wait", "5"}, 2},
      {"mt5-standin", {bars()}, 2},
  };
  for (const ProgramCase& c : cases) {
    SCOPED_TRACE(c.program);
    std::string line = std::string(kNamespaceVariable) + "='" + longer + "' exec '" +
                       ownProgramFolder() + c.program + "'";
    for (const std::string& argument : c.arguments) line += " '" + argument + "'";
    // The viewer wants a terminal before anything else: `script` gives it one.
    const std::string shellLine = c.program == std::string("ConsoleTavelundPF")
                                      ? "exec script -qec \"" + line + "\" /dev/null"
                                      : line + " 2>&1";
    const std::string output = ownProgramFolder() + "security-long-namespace.txt";
    ChildProcess child("/bin/sh", {"-c", shellLine}, output);
    const std::optional<int> code = child.waitExit(kTimeout);
    const std::string said = fileText(output);
    EXPECT_EQ(code, c.exitCode) << said;
    EXPECT_NE(said.find(c.program + std::string(": ") + refusal(longer.size())), std::string::npos)
        << said;
    child.kill();
    const auto made = objectsStartingWith(cut);
    EXPECT_TRUE(made.empty()) << made.front();
    for (const std::string& name : made) shm_unlink(("/" + name).c_str());
  }
}

}  // namespace
}  // namespace tavelund::testing
