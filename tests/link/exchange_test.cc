// Two real processes meeting through the real library, loaded by file name.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/link/process_support.h"

namespace tavelund::testing {
namespace {

using namespace std::chrono_literals;

class Exchange : public ::testing::Test {
 protected:
  void SetUp() override {
    // A child of an earlier test may still be on its way out.
    ASSERT_TRUE(waitFor([] { return !anyChannelExists(); }, kStartTimeout))
        << "channels of another process are still there";
  }
  void TearDown() override { link().deinitSendticksMT5(); }
};

std::string fileText(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST_F(Exchange, ReaderGetsBatchesAndAnswersThroughTheSendFlag) {
  const LinkExports& l = link();
  auto producer = startRole("producer");
  ASSERT_TRUE(producer->started());
  ASSERT_TRUE(waitFor([] { return anyChannelExists(); }, kStartTimeout));
  l.initSendticksMT5();
  ASSERT_TRUE(waitFor([&] { return l.getSendCheckMT5() == 1; }, kStartTimeout));

  EXPECT_STREQ(l.getsymbolcMT5(), "EURUSD");
  EXPECT_EQ(l.gettimespanMT5(), 1);
  EXPECT_STREQ(l.getsendtimeMT5(), "2024/03/05 09:07:03.045");
  const char* first = l.ReadLinesMT5();
  const std::string firstText = first;
  EXPECT_EQ(firstText,
            "2024/03/01 09:07:00.000,2.00000,3.00000,1.50000,2.50000\n"
            "2024/03/02 09:07:00.000,3.00000,4.00000,2.50000,3.50000\n"
            "2024/03/03 09:07:00.000,4.00000,5.00000,3.50000,4.50000\n");

  l.setFlag(0);
  ASSERT_TRUE(waitFor([&] { return l.getSendCheckMT5() == 1; }, kStartTimeout));
  // The earlier pointer keeps its text until ReadLinesMT5 is called again.
  EXPECT_EQ(std::string(first), firstText);
  EXPECT_EQ(std::string(l.ReadLinesMT5()),
            "2024/03/04 09:07:00.000,5.00000,6.00000,4.50000,5.50000\n"
            "2024/03/05 09:07:00.000,6.00000,7.00000,5.50000,6.50000\n");

  l.setFlag(2);
  EXPECT_EQ(producer->waitExit(kStartTimeout), 0);
}

TEST_F(Exchange, ReaderGoesOnWhenTheMutexHolderIsKilled) {
  const LinkExports& l = link();
  auto holder = startRole("holder");
  ASSERT_TRUE(holder->started());
  ASSERT_TRUE(waitFor([] { return anyChannelExists(); }, kStartTimeout));
  l.initSendticksMT5();
  ASSERT_TRUE(waitFor([&] { return l.getSendCheckMT5() == 8; }, kStartTimeout));

  std::atomic<bool> done{false};
  std::thread reader([&] {
    l.ReadLinesMT5();
    done = true;
  });
  // The holder has the lock, so the reader must wait...
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(done.load());
  holder->kill();
  // ...and take the abandoned lock over promptly once the holder is gone.
  const bool resumed = waitFor([&] { return done.load(); }, 1000ms);
  if (!resumed) {
    ADD_FAILURE() << "the reader still waits a second after the holder died";
    std::fflush(nullptr);
    std::_Exit(1);  // the reader thread cannot be joined
  }
  reader.join();
  // The lock works normally afterwards.
  l.setFlag(3);
  EXPECT_EQ(l.getSendCheckMT5(), 3);
  EXPECT_STREQ(l.ReadLinesMT5(), "");
}

TEST_F(Exchange, KilledProducersLeftoversCountAsGone) {
  const LinkExports& l = link();
  const std::string output = ownProgramFolder() + "link_exchange_attached.txt";
  auto attached = startRole("attached", output);
  ASSERT_TRUE(attached->started());
  ASSERT_TRUE(waitFor([&] { return fileText(output).find("attached") != std::string::npos; },
                      kStartTimeout));
  EXPECT_TRUE(anyChannelExists());
  EXPECT_FALSE(l.preInitSendticksMT5());
  attached->kill();

  EXPECT_TRUE(l.preInitSendticksMT5());
  EXPECT_FALSE(anyChannelExists());
  l.initSendticksMT5();
  EXPECT_STREQ(l.getsymbolcMT5(), "");  // a new, zeroed block
  std::remove(output.c_str());
}

TEST_F(Exchange, LastOneOutDiscardsTheBlocks) {
  const LinkExports& l = link();
  auto leaver = startRole("leaver");
  ASSERT_TRUE(leaver->started());
  ASSERT_TRUE(waitFor([] { return anyChannelExists(); }, kStartTimeout));
  l.initSendticksMT5();
  ASSERT_TRUE(waitFor([&] { return l.getSendCheckMT5() == 5; }, kStartTimeout));
  l.setFlag(6);
  ASSERT_EQ(leaver->waitExit(kStartTimeout), 0);

  // This process still holds the channels: they and their text stay.
  EXPECT_TRUE(anyChannelExists());
  EXPECT_STREQ(l.getsymbolcMT5(), "KEPT");

  EXPECT_TRUE(l.deinitSendticksMT5());
  EXPECT_FALSE(anyChannelExists());
  l.initSendticksMT5();
  EXPECT_STREQ(l.getsymbolcMT5(), "");
}

}  // namespace
}  // namespace tavelund::testing
