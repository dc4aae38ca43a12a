// What only the POSIX side has: object files with their modes, and the
// leftover objects of processes that died.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/link/process_support.h"

namespace tavelund::testing {
namespace {

const char* const kObjects[] = {"LOW_SENDCHECKShared", "LOW_SENDTIMEShared", "LOW_TIMELINEShared",
                                "LOW_BLANDShared",     "LOW_TIMESPANShared", "LOW_SENDCHECKmutex",
                                "LOW_SENDTIMEmutex",   "LOW_TIMELINEmutex",  "LOW_BLANDmutex",
                                "LOW_TIMESPANmutex"};

bool objectPresent(const std::string& name) {
  struct stat info {};
  return stat(("/dev/shm/" + name).c_str(), &info) == 0;
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
  for (const char* name : kObjects) {
    struct stat info {};
    ASSERT_EQ(stat((std::string("/dev/shm/") + name).c_str(), &info), 0) << name;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
  }
  struct stat timeline {};
  stat("/dev/shm/LOW_TIMELINEShared", &timeline);
  EXPECT_EQ(timeline.st_size, 0x8000000);
  link().deinitSendticksMT5();
  for (const char* name : kObjects) EXPECT_FALSE(objectPresent(name)) << name;
}

TEST_F(PosixChannels, LeftoverObjectsAreReplacedByZeroedOnes) {
  const std::string output = ownProgramFolder() + "link_posix_attached.txt";
  auto attached = startRole("attached", output);
  ASSERT_TRUE(waitFor([&] { return saidAttached(output); }, kStartTimeout));
  attached->kill();
  // The files are still there, but nobody holds them.
  EXPECT_TRUE(objectPresent("LOW_BLANDShared"));
  EXPECT_FALSE(anyChannelExists());
  EXPECT_TRUE(link().preInitSendticksMT5());
  link().initSendticksMT5();
  EXPECT_STREQ(link().getsymbolcMT5(), "");
  link().deinitSendticksMT5();
  for (const char* name : kObjects) EXPECT_FALSE(objectPresent(name)) << name;
  std::remove(output.c_str());
}

}  // namespace
}  // namespace tavelund::testing
