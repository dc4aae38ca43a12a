// Another local user against the link's shared objects (Linux). The other
// user is real (SecondUser); this program plays the victim, run as root as the
// tests run here, which makes it the harder case: root may open any object,
// so only the ownership checks keep it from someone else's.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/shared_memory.h"
#include "link/tickwell.h"
#include "tests/support/child_process.h"
#include "tests/support/file_text.h"
#include "tests/support/hostile_objects.h"
#include "tests/support/second_user.h"
#include "tests/support/wait.h"

namespace tavelund::testing {
namespace {

using namespace std::chrono_literals;
constexpr std::chrono::milliseconds kTimeout = 30s;

const wchar_t* const kWords[] = {L"LOW_SENDCHECK", L"LOW_SENDTIME", L"LOW_TIMELINE", L"LOW_BLAND",
                                 L"LOW_TIMESPAN"};

std::int32_t blockSize(const std::wstring& word) {
  return word == L"LOW_TIMELINE" ? 0x8000000 : 1024;
}

std::string objectName(const std::wstring& word, const wchar_t* suffix) {
  return systemObjectName((word + suffix).c_str());
}
std::string guardName() { return systemObjectName(L"LOW_ATTACHmutex"); }
std::string objectFile(const std::string& name) { return "/dev/shm" + name; }

std::vector<std::string> allNames() {
  std::vector<std::string> names;
  for (const wchar_t* word : kWords) {
    names.push_back(objectName(word, L"Shared"));
    names.push_back(objectName(word, L"mutex"));
  }
  names.push_back(guardName());
  return names;
}

std::string firstBytes(const std::string& path, std::size_t count) {
  std::string bytes(count, '\0');
  std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(count));
  return bytes;
}

// A program with its standard error in its output file too.
std::unique_ptr<ChildProcess> startWithErrors(const std::string& program,
                                              const std::vector<std::string>& arguments,
                                              const std::string& output) {
  std::vector<std::string> all{"-c", "exec \"$0\" \"$@\" 2>&1", program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return std::make_unique<ChildProcess>("/bin/sh", all, output);
}

// Whether some process runs the program file `program`.
bool programRuns(const std::string& program) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::error_code unreadable;
    if (std::filesystem::read_symlink(entry.path() / "exe", unreadable) == program) return true;
  }
  return false;
}

std::string feedProgram() { return ownProgramFolder() + "tickwell-feed"; }
std::string bars() { return std::string(TAVELUND_TEST_DATA_DIR) + "bars-daily.csv"; }

SecondUser& intruderUser() {
  static SecondUser user;
  return user;
}

class LinkAttack : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!intruderUser().ready()) GTEST_SKIP() << "SKIPPED: " << intruderUser().problem();
    intruder_ = intruderUser().runnableCopy(ownProgramFolder() + "security_intruder");
    ASSERT_FALSE(intruder_.empty());
    deinitSendticksMT5();
    removeAll();
  }
  void TearDown() override {
    squatter_.reset();  // kills the intruder and waits for its end
    deinitSendticksMT5();
    removeAll();
  }

  static void removeAll() {
    for (const std::string& name : allNames()) shm_unlink(name.c_str());
  }

  // The intruder makes these objects and keeps them in use; `closed`: with
  // mode 0600 instead of 0666.
  void squat(const std::vector<std::string>& objects, const std::string& hold = {},
             bool closed = false) {
    std::vector<std::string> arguments{"squat"};
    if (closed) arguments.push_back("--private");
    if (!hold.empty()) arguments.insert(arguments.end(), {"--hold", hold});
    arguments.insert(arguments.end(), objects.begin(), objects.end());
    const std::string output = ownProgramFolder() + "security-squat.txt";
    squatter_ = intruderUser().start(intruder_, arguments, output);
    ASSERT_TRUE(squatter_->started());
    ASSERT_TRUE(
        waitFor([&] { return fileText(output).find("ready") != std::string::npos; }, kTimeout))
        << fileText(output);
  }

  std::string intruder_;
  std::unique_ptr<ChildProcess> squatter_;
};

const char kForeignSymbol[] = "ATTACKER";
const char kForeignLine[] = "1999/01/01 00:00:00.000,6.66000,6.66000,6.66000,6.66000\n";

// The mappings with the intruder's texts, the mutexes, and the guard.
std::vector<std::string> squatEntries(bool withGuard) {
  std::vector<std::string> objects;
  for (const wchar_t* word : kWords) {
    const std::wstring w = word;
    std::string text = w == L"LOW_BLAND"      ? kForeignSymbol
                       : w == L"LOW_TIMELINE" ? kForeignLine
                                              : "";
    objects.push_back(objectName(w, L"Shared") + "=" + std::to_string(blockSize(w)) + "=" + text);
    objects.push_back(objectName(w, L"mutex") + "=64=");
  }
  if (withGuard) objects.push_back(guardName() + "=0=");
  return objects;
}

TEST_F(LinkAttack, ObjectsOfAnotherUserAreNeitherReadNorWrittenNorTakenOver) {
  for (const bool withGuard : {false, true}) {
    SCOPED_TRACE(withGuard ? "the guard squatted too" : "the ten channel objects squatted");
    removeAll();
    squat(squatEntries(withGuard));

    for (const wchar_t* word : kWords) {
      EXPECT_TRUE(checkSendticksMT5((std::wstring(word) + L"Shared").c_str()))
          << "someone else's object counts as a channel in use";
    }
    EXPECT_FALSE(preInitSendticksMT5());
    ::testing::internal::CaptureStdout();
    initSendticksMT5();
    const std::string said = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(said.find("belongs to another user or is open to others"), std::string::npos) << said;
    EXPECT_STREQ(getsymbolcMT5(), "");
    EXPECT_STREQ(ReadLinesMT5(), "");
    EXPECT_EQ(setsymbolcMT5("VICTIM"), 0);
    lineSendTimeLineMT5(2024, 1, 2, 0, 0, 0, 0, 1, 1, 1, 1);
    EXPECT_EQ(completeSendticksMT5(), 0);
    int one = 1;
    EXPECT_EQ(setsendcheckMT5(&one), 0);
    deinitSendticksMT5();

    // The intruder's objects are as it made them: owner, mode, size, text.
    for (const std::string& entry : squatEntries(withGuard)) {
      const std::string name = entry.substr(0, entry.find('='));
      struct stat info {};
      ASSERT_EQ(stat(objectFile(name).c_str(), &info), 0) << name << " was removed";
      EXPECT_EQ(info.st_uid, intruderUser().id()) << name;
      EXPECT_EQ(info.st_mode & 07777, 0666u) << name;
      const std::size_t size = std::stoul(entry.substr(name.size() + 1));
      EXPECT_EQ(static_cast<std::size_t>(info.st_size), size) << name;
    }
    EXPECT_EQ(firstBytes(objectFile(objectName(L"LOW_BLAND", L"Shared")), 9),
              std::string(kForeignSymbol) + '\0');
    EXPECT_EQ(firstBytes(objectFile(objectName(L"LOW_TIMELINE", L"Shared")), 57),
              std::string(kForeignLine) + '\0');

    // A feed of this user refuses to start on them.
    const std::string output = ownProgramFolder() + "security-feed.txt";
    auto feed = startWithErrors(feedProgram(), {bars()}, output);
    EXPECT_EQ(feed->waitExit(kTimeout), 3) << fileText(output);
    EXPECT_NE(fileText(output).find("the channels are in use"), std::string::npos)
        << fileText(output);
    squatter_.reset();
    EXPECT_FALSE(programRuns(intruder_)) << "ending the child left the intruder running";
  }
}

// Closed to everyone but their owner, another user's objects are still not
// this user's: root may open them all the same, only the owner check keeps
// this process off them.
TEST_F(LinkAttack, ObjectsOfAnotherUserClosedToOthersAreNotUsedEither) {
  squat(squatEntries(false), {}, true);
  const std::string bland = objectName(L"LOW_BLAND", L"Shared");
  struct stat info {};
  ASSERT_EQ(stat(objectFile(bland).c_str(), &info), 0);
  ASSERT_EQ(info.st_mode & 07777, 0600u);

  ::testing::internal::CaptureStdout();
  initSendticksMT5();
  const std::string said = ::testing::internal::GetCapturedStdout();
  // The channel's mutex is looked at first, and refused.
  EXPECT_NE(said.find(objectName(L"LOW_BLAND", L"mutex") +
                      " belongs to another user or is open to others (owner " +
                      std::to_string(intruderUser().id()) + ", mode 0600)"),
            std::string::npos)
      << said;
  EXPECT_STREQ(getsymbolcMT5(), "");
  EXPECT_EQ(setsymbolcMT5("VICTIM"), 0);
  deinitSendticksMT5();
  EXPECT_EQ(firstBytes(objectFile(bland), 9), std::string(kForeignSymbol) + '\0');
}

TEST_F(LinkAttack, AnotherUsersLockOnTheGuardNeitherHangsNorFoolsTheFeed) {
  squat({guardName() + "=0="}, guardName());
  const std::string output = ownProgramFolder() + "security-feed-guard.txt";
  auto feed = startWithErrors(feedProgram(), {bars()}, output);
  const auto ended = feed->waitExit(kTimeout);
  ASSERT_TRUE(ended.has_value()) << "the feed hangs on another user's guard";
  EXPECT_EQ(*ended, 3) << fileText(output);
  const std::string said = fileText(output);
  EXPECT_NE(said.find("LOW_ATTACHmutex belongs to another user or is open to others"),
            std::string::npos)
      << said;
}

TEST_F(LinkAttack, ChannelsOfThisUserAreClosedToOtherUsers) {
  ASSERT_TRUE(preInitSendticksMT5());
  ASSERT_TRUE(initSendticksMT5());
  setsymbolcMT5("MINE");
  lineSendTimeLineMT5(2024, 1, 2, 0, 0, 0, 0, 1, 1, 1, 1);
  completeSendticksMT5();

  const std::string output = ownProgramFolder() + "security-open.txt";
  std::vector<std::string> arguments{"open"};
  const auto names = allNames();
  arguments.insert(arguments.end(), names.begin(), names.end());
  auto opener = intruderUser().start(intruder_, arguments, output);
  ASSERT_EQ(opener->waitExit(kTimeout), 0);
  const std::string said = fileText(output);
  for (const std::string& name : names) {
    EXPECT_NE(said.find(name + " read refused\n"), std::string::npos) << said;
    EXPECT_NE(said.find(name + " write refused\n"), std::string::npos) << said;
  }
  EXPECT_EQ(said.find("ALLOWED"), std::string::npos) << said;

  // Nothing was cut short under this process.
  EXPECT_STREQ(getsymbolcMT5(), "MINE");
  EXPECT_EQ(std::string(ReadLinesMT5()).size(), 56u);
}

// This user's own objects, as long as someone else may open them, are not
// used either: whoever could open them may already have.
TEST(OwnObjects, AnObjectOpenToOthersIsNotUsed) {
  deinitSendticksMT5();
  const std::string bland = objectName(L"LOW_BLAND", L"Shared");
  const int fd = shm_open(bland.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
  ASSERT_GE(fd, 0) << "another process holds the channels";
  fchmod(fd, 0644);
  ASSERT_EQ(ftruncate(fd, 1024), 0);
  close(fd);

  ::testing::internal::CaptureStdout();
  initSendticksMT5();
  const std::string said = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(said.find(bland + " belongs to another user or is open to others (owner 0, mode 0644)"),
            std::string::npos)
      << said;
  EXPECT_EQ(setsymbolcMT5("EURUSD"), 0);
  EXPECT_STREQ(getsymbolcMT5(), "");
  EXPECT_NE(setsendtimeMT5("2024/01/02 00:00:00.000"), 0);  // the other channels work
  EXPECT_STREQ(getsendtimeMT5(), "2024/01/02 00:00:00.000");
  deinitSendticksMT5();
  struct stat info {};
  ASSERT_EQ(stat(objectFile(bland).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u) << "left as it was";
  shm_unlink(bland.c_str());
  shm_unlink(objectName(L"LOW_BLAND", L"mutex").c_str());
}

TEST(GuardWaits, AGuardHeldTooLongIsGivenUpWithAMessage) {
  deinitSendticksMT5();
  HeldGuard guard;
  ASSERT_TRUE(guard.held());
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(preInitSendticksMT5()) << "nothing could be checked: counts as in use";
  // Given up once, the next attempts do not wait again.
  const auto start = std::chrono::steady_clock::now();
  initSendticksMT5();
  EXPECT_STREQ(getsymbolcMT5(), "");
  deinitSendticksMT5();
  const auto again = std::chrono::steady_clock::now() - start;
  const std::string said = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(said.find(guardName() + ": held by another process; waiting up to 10 s\n"),
            std::string::npos)
      << said;
  EXPECT_NE(said.find(guardName() + ": held by another process of this user for 10 s; gave up "
                                    "waiting\n"),
            std::string::npos)
      << said;
  EXPECT_LT(again, 9s) << "ten attaches and detaches each waited again";

  // Once it is free, everything works as before.
  guard.release();
  EXPECT_TRUE(preInitSendticksMT5());
  ASSERT_TRUE(initSendticksMT5());
  EXPECT_NE(setsymbolcMT5("BACK"), 0);
  EXPECT_STREQ(getsymbolcMT5(), "BACK");
  deinitSendticksMT5();
}

TEST(GuardWaits, AStopRequestEndsTheFeedWhileItWaits) {
  HeldGuard guard;
  ASSERT_TRUE(guard.held());
  const std::string output = ownProgramFolder() + "security-feed-stop.txt";
  auto feed = startWithErrors(feedProgram(), {bars()}, output);
  ASSERT_TRUE(waitFor(
      [&] { return fileText(output).find("waiting up to 10 s") != std::string::npos; }, kTimeout))
      << fileText(output);
  ::kill(static_cast<pid_t>(feed->id()), SIGTERM);
  // Well before its wait would give up (exit code 3), the stop ends it.
  EXPECT_EQ(feed->waitExit(kTimeout), 1) << fileText(output);
  EXPECT_NE(fileText(output).find("tickwell-feed: still waiting for a channel after the stop "
                                  "request; ending without releasing it"),
            std::string::npos)
      << fileText(output);
}

}  // namespace
}  // namespace tavelund::testing
