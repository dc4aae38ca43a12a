// The name of a channel's system object, with and without TICKWELL_NAMESPACE.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "link/object_namespace.h"
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
  // The longest prefix that fits is used whole; a longer one is not cut
  // (two namespaces that differ behind the cut would meet): no name at all.
  setenv("TICKWELL_NAMESPACE", std::string(64, 'n').c_str(), 1);
  EXPECT_EQ(systemObjectName(L"LOW_ATTACHmutex"), "/" + std::string(64, 'n') + "LOW_ATTACHmutex");
  for (const std::size_t length : {65, 500}) {
    setenv("TICKWELL_NAMESPACE", std::string(length, 'n').c_str(), 1);
    EXPECT_EQ(systemObjectName(L"LOW_ATTACHmutex"), "") << length;
  }
}
#else
TEST(ObjectNames, TheNameItselfOnWindows) {
  EXPECT_EQ(systemObjectName(L"LOW_TIMELINEShared"), "LOW_TIMELINEShared");
}
#endif

// The rule as every platform reads it (where the names use it): a
// namespace that does not fit is a problem and gives no prefix at all.
TEST(NamespaceRule, ANamespaceThatDoesNotFitIsRefusedNotCut) {
  const ObjectNamespace longer = readObjectNamespace(std::string(65, 'a').c_str());
  EXPECT_EQ(longer.prefix, "");
  EXPECT_EQ(longer.problem,
            "TICKWELL_NAMESPACE is 65 characters long; the channels' names take at most 64, and "
            "a cut one could meet another namespace: set a shorter one");
}

}  // namespace
}  // namespace tavelund
