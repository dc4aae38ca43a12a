// The name of a channel's system object, with and without TICKWELL_NAMESPACE.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "link/shared_memory.h"

namespace tavelund {
namespace {

#ifndef _WIN32
class ObjectNames : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* value = std::getenv("TICKWELL_NAMESPACE")) saved_ = value;
  }
  void TearDown() override {
    if (saved_.empty()) {
      unsetenv("TICKWELL_NAMESPACE");
    } else {
      setenv("TICKWELL_NAMESPACE", saved_.c_str(), 1);
    }
  }
  std::string saved_;
};

TEST_F(ObjectNames, PlainWithoutANamespaceAndPrefixedWithOne) {
  unsetenv("TICKWELL_NAMESPACE");
  EXPECT_EQ(systemObjectName(L"LOW_TIMELINEShared"), "/LOW_TIMELINEShared");
  setenv("TICKWELL_NAMESPACE", "", 1);
  EXPECT_EQ(systemObjectName(L"LOW_BLANDmutex"), "/LOW_BLANDmutex");
  setenv("TICKWELL_NAMESPACE", "test-1.a_", 1);
  EXPECT_EQ(systemObjectName(L"LOW_BLANDmutex"), "/test-1.a_LOW_BLANDmutex");
  // Slashes, blanks and other bytes cannot leave /dev/shm or break the name.
  setenv("TICKWELL_NAMESPACE", "../x y/\x1b", 1);
  EXPECT_EQ(systemObjectName(L"LOW_BLANDmutex"), "/.._x_y__LOW_BLANDmutex");
  // A long prefix is cut, so the name stays well inside the system's limit.
  setenv("TICKWELL_NAMESPACE", std::string(500, 'n').c_str(), 1);
  EXPECT_EQ(systemObjectName(L"LOW_ATTACHmutex"), "/" + std::string(64, 'n') + "LOW_ATTACHmutex");
}
#else
TEST(ObjectNames, TheNameItselfOnWindows) {
  EXPECT_EQ(systemObjectName(L"LOW_TIMELINEShared"), "LOW_TIMELINEShared");
}
#endif

}  // namespace
}  // namespace tavelund
