// What only the POSIX side has: object files with their modes, and the
// leftover objects of processes that died.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "link/shared_memory.h"
#include "tests/link/process_support.h"

namespace tavelund::testing {
namespace {

const wchar_t* const kObjects[] = {
    L"LOW_SENDCHECKShared", L"LOW_SENDTIMEShared", L"LOW_TIMELINEShared", L"LOW_BLANDShared",
    L"LOW_TIMESPANShared",  L"LOW_SENDCHECKmutex", L"LOW_SENDTIMEmutex",  L"LOW_TIMELINEmutex",
    L"LOW_BLANDmutex",      L"LOW_TIMESPANmutex"};

// The file of a channel object, in this test's namespace.
std::string objectFile(const wchar_t* name) { return "/dev/shm" + systemObjectName(name); }

bool objectPresent(const wchar_t* name) {
  struct stat info {};
  return stat(objectFile(name).c_str(), &info) == 0;
}

bool saidAttached(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str().find("attached") != std::string::npos;
}

class PosixChannels : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(waitFor([] { return !anyChannelExists(); }, kStartTimeout));
  }
  void TearDown() override { link().deinitSendticksMT5(); }
};

TEST_F(PosixChannels, ObjectsAreOnlyForThisUserWhateverTheUmask) {
  const mode_t before = umask(0);
  link().initSendticksMT5();
  umask(before);
  for (const wchar_t* name : kObjects) {
    struct stat info {};
    ASSERT_EQ(stat(objectFile(name).c_str(), &info), 0) << objectFile(name);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << objectFile(name);
  }
  struct stat timeline {};
  stat(objectFile(L"LOW_TIMELINEShared").c_str(), &timeline);
  EXPECT_EQ(timeline.st_size, 0x8000000);
  link().deinitSendticksMT5();
  for (const wchar_t* name : kObjects) EXPECT_FALSE(objectPresent(name)) << objectFile(name);
}

TEST_F(PosixChannels, LeftoverObjectsAreReplacedByZeroedOnes) {
  const std::string output = ownProgramFolder() + "link_posix_attached.txt";
  auto attached = startRole("attached", output);
  ASSERT_TRUE(waitFor([&] { return saidAttached(output); }, kStartTimeout));
  attached->kill();
  // The files are still there, but nobody holds them.
  EXPECT_TRUE(objectPresent(L"LOW_BLANDShared"));
  EXPECT_FALSE(anyChannelExists());
  EXPECT_TRUE(link().preInitSendticksMT5());
  link().initSendticksMT5();
  EXPECT_STREQ(link().getsymbolcMT5(), "");
  link().deinitSendticksMT5();
  for (const wchar_t* name : kObjects) EXPECT_FALSE(objectPresent(name)) << objectFile(name);
  std::remove(output.c_str());
}

}  // namespace
}  // namespace tavelund::testing
