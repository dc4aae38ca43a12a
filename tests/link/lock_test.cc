// The channel mutexes between threads: every export copies under its
// channel's mutex, and a channel destroyed while locked lets go of it. The
// holder is a second channel object on the same names, as another process
// would hold it.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#ifndef _WIN32
#include <sys/mman.h>
#endif

#include <gtest/gtest.h>

#include "link/shared_memory.h"
#include "link/tickwell.h"
#include "tests/support/wait.h"

namespace tavelund {
namespace {

using namespace std::chrono_literals;

constexpr std::int32_t kSmall = 1024;
constexpr std::int32_t kTimeline = 0x8000000;

// A thread that may stay blocked: when it does not come back, the test
// cannot go on, so the program ends with the failure.
void joinOrEnd(std::thread& thread, const std::atomic<bool>& done, const char* what) {
  if (!testing::waitFor([&] { return done.load(); }, 10s)) {
    ADD_FAILURE() << what;
    std::fflush(nullptr);
    std::_Exit(1);
  }
  thread.join();
}

class ChannelLocks : public ::testing::Test {
 protected:
  void SetUp() override {
    deinitSendticksMT5();
    ASSERT_FALSE(checkSendticksMT5(L"LOW_TIMELINEShared")) << "another process holds the channels";
    ASSERT_TRUE(initSendticksMT5());
  }
  void TearDown() override { deinitSendticksMT5(); }
};

TEST_F(ChannelLocks, DestroyingAChannelWhileHoldingItsLockReportsAndReleasesIt) {
  CSharedMemory other(L"LOW_TESTShared", L"LOW_TESTmutex", kSmall);
  ::testing::internal::CaptureStdout();
  {
    CSharedMemory channel(L"LOW_TESTShared", L"LOW_TESTmutex", kSmall);
    ASSERT_NE(channel.view(), nullptr);
    channel.lock();
  }
  const std::string output = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("UnInitializeSharedMemory : mutex : Error"), std::string::npos) << output;
  // Released: a thread that did not hold it gets it at once.
  std::atomic<bool> got{false};
  std::thread taker([&] {
    other.lock();
    other.unlock();
    got = true;
  });
  joinOrEnd(taker, got, "the lock was not released when its channel was destroyed");
#ifndef _WIN32
  // The handle is left open on purpose, so nobody would ever remove the
  // mutex object; Windows drops it with the process.
  shm_unlink(systemObjectName(L"LOW_TESTmutex").c_str());
#endif
}

// Every copy into or out of a block is made under the block's mutex: while
// someone else holds it, each export waits, whatever its channel.
TEST_F(ChannelLocks, EveryTransferWaitsForTheChannelsMutex) {
  const struct {
    const wchar_t* word;
    std::int32_t size;
    const char* what;
    std::function<void()> call;
  } cases[] = {
      {L"LOW_SENDCHECK", kSmall, "getSendCheckMT5", [] { getSendCheckMT5(); }},
      {L"LOW_SENDCHECK", kSmall, "setsendcheckMT5",
       [] {
         int value = 4;
         setsendcheckMT5(&value);
       }},
      {L"LOW_TIMESPAN", kSmall, "gettimespanMT5", [] { gettimespanMT5(); }},
      {L"LOW_TIMESPAN", kSmall, "settimespanMT5",
       [] {
         int value = 4;
         settimespanMT5(&value);
       }},
      {L"LOW_SENDTIME", kSmall, "getsendtimeMT5", [] { getsendtimeMT5(); }},
      {L"LOW_SENDTIME", kSmall, "setsendtimeMT5", [] { setsendtimeMT5("T"); }},
      {L"LOW_SENDTIME", kSmall, "setsendtimeNowMT5", [] { setsendtimeNowMT5(); }},
      {L"LOW_BLAND", kSmall, "getsymbolcMT5", [] { getsymbolcMT5(); }},
      {L"LOW_BLAND", kSmall, "setsymbolcMT5", [] { setsymbolcMT5("S"); }},
      {L"LOW_TIMELINE", kTimeline, "ReadLinesMT5", [] { ReadLinesMT5(); }},
      {L"LOW_TIMELINE", kTimeline, "completeSendticksMT5", [] { completeSendticksMT5(); }},
  };
  for (const auto& c : cases) {
    const std::wstring word = c.word;
    CSharedMemory holder((word + L"Shared").c_str(), (word + L"mutex").c_str(), c.size);
    holder.lock();
    std::atomic<bool> done{false};
    std::thread caller([&] {
      c.call();
      done = true;
    });
    // A call that does not lock is over long before this.
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(done.load()) << c.what << " copied without the channel's mutex";
    holder.unlock();
    joinOrEnd(caller, done, c.what);
  }
}

}  // namespace
}  // namespace tavelund
