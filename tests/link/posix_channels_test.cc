// What only the POSIX side has: object files with their modes, the leftover
// objects of processes that died, and objects cut or grown under a process
// attached to them.
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "link/shared_memory.h"
#include "tests/link/process_support.h"
#include "tests/support/hostile_objects.h"

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

int writeInteger(int (*setter)(int*), int value) { return setter(&value); }

// One channel as the exports use it: a write of a known value and a read.
struct ChannelUse {
  const wchar_t* word;
  off_t size;
  std::function<int()> write;
  std::function<std::string()> read;
  std::string written;  // what the read gives after the write
  std::string lost;     // what it gives while the channel is lost
};

std::vector<ChannelUse> channelUses() {
  const LinkExports& l = link();
  return {
      {L"LOW_SENDCHECK", 1024, [&l] { return writeInteger(l.setsendcheckMT5, 7); },
       [&l] { return std::to_string(l.getSendCheckMT5()); }, "7", "0"},
      {L"LOW_SENDTIME", 1024, [&l] { return l.setsendtimeMT5("2024/01/02 03:04:05.006"); },
       [&l] { return std::string(l.getsendtimeMT5()); }, "2024/01/02 03:04:05.006", ""},
      {L"LOW_TIMELINE", 0x8000000,
       [&l] {
         l.lineSendTimeLineMT5(2024, 1, 2, 0, 0, 0, 0, 1.5, 2, 1, 1.75);
         return l.completeSendticksMT5();
       },
       [&l] { return std::string(l.ReadLinesMT5()); },
       "2024/01/02 00:00:00.000,1.50000,2.00000,1.00000,1.75000\n", ""},
      {L"LOW_BLAND", 1024, [&l] { return l.setsymbolcMT5("EURUSD"); },
       [&l] { return std::string(l.getsymbolcMT5()); }, "EURUSD", ""},
      {L"LOW_TIMESPAN", 1024, [&l] { return writeInteger(l.settimespanMT5, 16408); },
       [&l] { return std::to_string(l.gettimespanMT5()); }, "16408", "0"},
  };
}

struct SizeChange {
  const char* what;
  const wchar_t* suffix;         // of the object changed: the mapping or the mutex
  off_t (*newSize)(off_t size);  // from the mapping's size
};

// A process of this user cuts or grows a channel's object under this one,
// which is attached and has written to it. Every export on that channel
// then finds it lost (an empty text, 0, nothing written) and says so,
// instead of faulting on the view; the next channel goes on; and once the
// object has its size again the channel works again.
TEST_F(PosixChannels, AnObjectCutOrGrownUnderTheProcessLosesItsChannelWithoutAFault) {
  const SizeChange changes[] = {
      {"mapping cut to nothing", L"Shared", [](off_t) -> off_t { return 0; }},
      {"mapping cut to half", L"Shared", [](off_t size) { return size / 2; }},
      {"mapping grown", L"Shared", [](off_t size) { return size + 4096; }},
      {"mutex cut to nothing", L"mutex", [](off_t) -> off_t { return 0; }},
  };
  const std::vector<ChannelUse> uses = channelUses();
  for (std::size_t i = 0; i < uses.size(); ++i) {
    const ChannelUse& use = uses[i];
    const ChannelUse& next = uses[(i + 1) % uses.size()];
    for (const SizeChange& change : changes) {
      const std::wstring object = std::wstring(use.word) + change.suffix;
      SCOPED_TRACE(systemObjectName(object.c_str()) + ": " + change.what);
      ASSERT_TRUE(link().initSendticksMT5());
      ASSERT_NE(use.write(), 0);
      const off_t size = objectSize(object.c_str());
      ASSERT_GT(size, 0);
      ASSERT_TRUE(resizeObject(object.c_str(), change.newSize(use.size)));

      ::testing::internal::CaptureStdout();
      EXPECT_EQ(use.read(), use.lost);
      EXPECT_EQ(use.write(), 0);
      EXPECT_EQ(use.read(), use.lost);
      const std::string lost = ::testing::internal::GetCapturedStdout();
      const std::string said = systemObjectName(object.c_str()) + ": its size changed";
      EXPECT_EQ(lost.find(said), 0u) << lost;
      EXPECT_EQ(lost.find(said, 1), std::string::npos) << "said more than once: " << lost;
      EXPECT_NE(next.write(), 0);
      EXPECT_EQ(next.read(), next.written);

      ASSERT_TRUE(resizeObject(object.c_str(), size));
      ::testing::internal::CaptureStdout();
      EXPECT_NE(use.write(), 0);
      EXPECT_EQ(use.read(), use.written);
      const std::string back = ::testing::internal::GetCapturedStdout();
      EXPECT_NE(back.find(": has its size again"), std::string::npos) << back;
      link().deinitSendticksMT5();
    }
  }
}

}  // namespace
}  // namespace tavelund::testing
