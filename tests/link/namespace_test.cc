// The name of a channel's system object, with and without TICKWELL_NAMESPACE.
#include <cstdlib>
#include <sstream>
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

// The rule itself, as every platform reads it.
TEST(NamespaceRule, ANamespaceThatDoesNotFitIsAProblemNotACutPrefix) {
  struct Case {
    const char* value;
    std::string prefix;
    bool refused;
  };
  const std::string longest(kNamespaceLimit, 'a');
  const std::string longer = longest + "b";
  const Case cases[] = {
      {nullptr, "", false},
      {"", "", false},
      {"test-1.a_", "test-1.a_", false},
      {"../x y/\x1b", ".._x_y__", false},
      {longest.c_str(), longest, false},
      {longer.c_str(), "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    const ObjectNamespace space = readObjectNamespace(c.value);
    EXPECT_EQ(space.prefix, c.prefix);
    EXPECT_EQ(!space.problem.empty(), c.refused) << space.problem;
  }
  EXPECT_EQ(readObjectNamespace(longer.c_str()).problem,
            "TICKWELL_NAMESPACE is 65 characters long; the channels' names take at most 64, and "
            "a cut one could meet another namespace: set a shorter one");
}

// Sets or, with null, clears the variable.
void setNamespace(const char* value) {
#ifdef _WIN32
  _putenv_s("TICKWELL_NAMESPACE", value ? value : "");
#else
  if (value) {
    setenv("TICKWELL_NAMESPACE", value, 1);
  } else {
    unsetenv("TICKWELL_NAMESPACE");
  }
#endif
}

// A program's start: nothing said while the namespace can be used; where
// the platform's names use it and it cannot be, one line naming the program.
TEST(NamespaceRule, AProgramIsToldWhetherToRefuseTheNamespaceInForce) {
  const char* saved = std::getenv("TICKWELL_NAMESPACE");
  const std::string own = saved ? saved : "";
  const std::string longer(kNamespaceLimit + 1, 'n');
  std::ostringstream err;
  setNamespace("short-");
  EXPECT_FALSE(refuseUnusableNamespace("prog", err));
  EXPECT_EQ(err.str(), "");
  setNamespace(longer.c_str());
#ifndef _WIN32
  EXPECT_TRUE(refuseUnusableNamespace("prog", err));
  EXPECT_EQ(err.str(), "prog: " + readObjectNamespace(longer.c_str()).problem + "\n");
#else
  // The Windows names carry no namespace: nothing to refuse there.
  EXPECT_FALSE(refuseUnusableNamespace("prog", err));
  EXPECT_EQ(err.str(), "");
#endif
  setNamespace(saved ? own.c_str() : nullptr);
}

}  // namespace
}  // namespace tavelund
