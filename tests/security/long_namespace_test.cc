// A TICKWELL_NAMESPACE longer than the object names take is refused, not
// cut: cut, two long namespaces that differ only behind the cut would meet.
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/object_namespace.h"
#include "link/tickwell.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/wait.h"

namespace tavelund::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
constexpr std::chrono::milliseconds kTimeout = 30s;

const std::string kOwnNamespace =
    std::getenv(kNamespaceVariable) ? std::getenv(kNamespaceVariable) : "tw-long-namespace-";

// The test's own namespace filled up to `length` bytes, so that what it
// makes cannot meet anybody else's objects.
std::string namespaceOfLength(std::size_t length) {
  std::string value = kOwnNamespace;
  value.resize(length, 'x');
  return value;
}

std::vector<std::string> objectsStartingWith(const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator("/dev/shm")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

void removeObjectsStartingWith(const std::string& prefix) {
  for (const std::string& name : objectsStartingWith(prefix)) shm_unlink(("/" + name).c_str());
}

const std::string kRefusal = "TICKWELL_NAMESPACE is 65 characters long";

std::string bars() { return std::string(TAVELUND_TEST_DATA_DIR) + "bars-daily.csv"; }

// A feed publishes under the longest namespace that fits. This process,
// under the same one byte longer, meets none of it and makes nothing, and
// says why once, not once for each object.
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
  const auto made = objectsStartingWith(fits);
  ASSERT_FALSE(made.empty());

  setenv(kNamespaceVariable, (fits + "y").c_str(), 1);
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(preInitSendticksMT5());
  initSendticksMT5();
  EXPECT_STREQ(getsymbolcMT5(), "");
  EXPECT_EQ(setsymbolcMT5("LONGER"), 0);
  deinitSendticksMT5();
  const std::string said = ::testing::internal::GetCapturedStdout();
  setenv(kNamespaceVariable, kOwnNamespace.c_str(), 1);
  const auto at = said.find(kRefusal);
  EXPECT_NE(at, std::string::npos) << said;
  EXPECT_EQ(said.find(kRefusal, at + 1), std::string::npos) << "said more than once: " << said;
  EXPECT_EQ(objectsStartingWith(fits), made) << "made or removed objects under the cut name";
  feed.kill();
  removeObjectsStartingWith(fits);
}

// Every program that attaches to the channels, started under a namespace a
// byte too long, ends at once with its message and a non-zero code and
// leaves no object under the cut name.
TEST(LongNamespace, EveryProgramOfTheLinkRefusesOneThatDoesNotFit) {
  const std::string longer = namespaceOfLength(kNamespaceLimit + 1);
  const std::string cut = longer.substr(0, kNamespaceLimit);
  const struct {
    std::string program, arguments;
    int exitCode;
  } cases[] = {
      {"ConsoleTavelundPF", "", 1},
      {"tickwell-feed", bars(), 2},
      {"tickwell-peek", "--wait 5", 2},
      {"mt5-standin", bars(), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    const std::string line = std::string(kNamespaceVariable) + "=" + longer + " exec " +
                             ownProgramFolder() + c.program + " " + c.arguments;
    // The viewer wants a terminal before anything else: `script` lends one.
    const std::string shellLine = c.program == "ConsoleTavelundPF"
                                      ? "exec script -qec '" + line + "' /dev/null"
                                      : line + " 2>&1";
    const std::string output = ownProgramFolder() + "security-long-namespace.txt";
    ChildProcess child("/bin/sh", {"-c", shellLine}, output);
    EXPECT_EQ(child.waitExit(kTimeout), c.exitCode) << fileText(output);
    EXPECT_NE(fileText(output).find(c.program + ": " + kRefusal), std::string::npos)
        << fileText(output);
    child.kill();
    EXPECT_EQ(objectsStartingWith(cut), std::vector<std::string>{});
    removeObjectsStartingWith(cut);
  }
}

}  // namespace
}  // namespace tavelund::testing
