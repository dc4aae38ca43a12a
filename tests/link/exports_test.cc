// The exports in one process, with the real channels; the raw blocks are
// looked at through a second channel object on the same names.
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <gtest/gtest.h>

#include "link/shared_memory.h"
#include "link/tickwell.h"

namespace tavelund {
namespace {

constexpr std::int32_t kSmall = 1024;
constexpr std::int32_t kTimeline = 0x8000000;

// The local time to the second, as "YYYY/MM/DD hh:mm:ss", read and
// formatted here without the library's help.
std::string clockSeconds() {
  char text[32];
#ifdef _WIN32
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::snprintf(text, sizeof text, "%04u/%02u/%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond);
#else
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &parts);
#endif
  return text;
}

class Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    deinitSendticksMT5();
    ASSERT_FALSE(checkSendticksMT5(L"LOW_TIMELINEShared")) << "another process holds the channels";
    ASSERT_TRUE(initSendticksMT5());
  }
  void TearDown() override {
    raw_.clear();
    deinitSendticksMT5();
  }

  // The block of a channel as the other process would see it.
  unsigned char* block(const wchar_t* base, std::int32_t size) {
    const std::wstring word = base;
    raw_.push_back(std::make_unique<CSharedMemory>((word + L"Shared").c_str(),
                                                   (word + L"mutex").c_str(), size));
    return raw_.back()->view();
  }

  static bool zeroFrom(const unsigned char* bytes, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      if (bytes[i] != 0) return false;
    }
    return true;
  }

  std::vector<std::unique_ptr<CSharedMemory>> raw_;
};

TEST_F(Exports, FreshChannelsReadEmptyAndZero) {
  EXPECT_STREQ(getsendtimeMT5(), "");
  EXPECT_STREQ(getsymbolcMT5(), "");
  EXPECT_STREQ(ReadLinesMT5(), "");
  EXPECT_EQ(getSendCheckMT5(), 0);
  EXPECT_EQ(gettimespanMT5(), 0);
}

TEST_F(Exports, IntegersAreStoredBigEndianWithZerosBehind) {
  unsigned char* flag = block(L"LOW_SENDCHECK", kSmall);
  unsigned char* span = block(L"LOW_TIMESPAN", kSmall);
  ASSERT_NE(flag, nullptr);
  int value = -1;
  EXPECT_NE(setsendcheckMT5(&value), 0);
  EXPECT_EQ(std::memcmp(flag, "\xFF\xFF\xFF\xFF", 4), 0);
  EXPECT_TRUE(zeroFrom(flag, 4, kSmall));
  EXPECT_EQ(getSendCheckMT5(), -1);
  value = 1;
  setsendcheckMT5(&value);
  EXPECT_EQ(std::memcmp(flag, "\0\0\0\1", 4), 0);
  EXPECT_EQ(getSendCheckMT5(), 1);
  value = 16408;
  settimespanMT5(&value);
  EXPECT_EQ(std::memcmp(span, "\0\0\x40\x18", 4), 0);
  EXPECT_EQ(gettimespanMT5(), 16408);
  EXPECT_EQ(setsendcheckMT5(nullptr), 0);  // bad input changes nothing
  EXPECT_EQ(getSendCheckMT5(), 1);
}

TEST_F(Exports, TextSettersKeepTheFirst1023BytesAndNoTraceOfLongerTexts) {
  unsigned char* bland = block(L"LOW_BLAND", kSmall);
  const std::string longText(5000, 'x');
  EXPECT_NE(setsymbolcMT5(longText.c_str()), 0);
  EXPECT_EQ(std::string(getsymbolcMT5()), longText.substr(0, 1023));
  EXPECT_EQ(bland[1023], 0);
  setsymbolcMT5("EURUSD");
  EXPECT_STREQ(getsymbolcMT5(), "EURUSD");
  EXPECT_TRUE(zeroFrom(bland, 6, kSmall));
  setsendtimeMT5("2024/03/05 09:07:03.045");
  EXPECT_STREQ(getsendtimeMT5(), "2024/03/05 09:07:03.045");
  EXPECT_EQ(setsymbolcMT5(nullptr), 0);
  EXPECT_STREQ(getsymbolcMT5(), "EURUSD");
}

TEST_F(Exports, SendTimeNowIsTheLocalTimeInItsForm) {
  const std::string before = clockSeconds();
  EXPECT_NE(setsendtimeNowMT5(), 0);
  const std::string after = clockSeconds();
  const std::string text = getsendtimeMT5();
  EXPECT_LE(before, text.substr(0, 19)) << text;
  EXPECT_GE(after, text.substr(0, 19)) << text;
  ASSERT_EQ(text.size(), 23u) << text;
  const std::string form = "dddd/dd/dd dd:dd:dd.ddd";
  for (size_t i = 0; i < form.size(); ++i) {
    if (form[i] == 'd')
      EXPECT_TRUE(text[i] >= '0' && text[i] <= '9') << text;
    else
      EXPECT_EQ(text[i], form[i]) << text;
  }
}

TEST_F(Exports, EachBatchReplacesTheLastOneCompletely) {
  unsigned char* timeline = block(L"LOW_TIMELINE", kTimeline);
  lineSendTimeLineMT5(2024, 3, 5, 9, 7, 3, 45, 1.0851, 1.0853, 1.0849, 1.08525);
  lineSendTimeLineMT5(2024, 12, 6, 0, 0, 0, 7, 0.5, 123.456789, 0.5, 0.5);
  EXPECT_NE(completeSendticksMT5(), 0);
  const std::string two = ReadLinesMT5();
  EXPECT_EQ(two,
            "2024/03/05 09:07:03.045,1.08510,1.08530,1.08490,1.08525\n"
            "2024/12/06 00:00:00.007,0.50000,123.45679,0.50000,0.50000\n");

  // A shorter batch leaves nothing of the longer one, in the block or in
  // this process's snapshot.
  lineSendTimeLineMT5(2025, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1);
  completeSendticksMT5();
  const char* one = ReadLinesMT5();
  EXPECT_STREQ(one, "2025/01/01 00:00:00.000,1.00000,1.00000,1.00000,1.00000\n");
  EXPECT_TRUE(zeroFrom(timeline, std::strlen(one), two.size() + 16));
  EXPECT_TRUE(
      zeroFrom(reinterpret_cast<const unsigned char*>(one), std::strlen(one), two.size() + 16));

  // The accumulator was emptied: a publish without lines empties the block.
  completeSendticksMT5();
  EXPECT_STREQ(ReadLinesMT5(), "");
  EXPECT_TRUE(zeroFrom(timeline, 0, two.size() + 16));
  completeSendticksMT5();
  EXPECT_STREQ(ReadLinesMT5(), "");
}

TEST_F(Exports, ReturnedTextStaysUntilTheSameExportIsCalledAgain) {
  lineSendTimeLineMT5(2024, 1, 2, 0, 0, 0, 0, 1, 1, 1, 1);
  completeSendticksMT5();
  setsymbolcMT5("FIRST");
  const char* lines = ReadLinesMT5();
  const char* symbol = getsymbolcMT5();
  const std::string before = lines;
  lineSendTimeLineMT5(2024, 1, 3, 0, 0, 0, 0, 2, 2, 2, 2);
  completeSendticksMT5();
  setsymbolcMT5("SECOND");
  getsendtimeMT5();  // other readers do not disturb it
  EXPECT_EQ(std::string(lines), before);
  EXPECT_STREQ(symbol, "FIRST");
  EXPECT_STREQ(getsymbolcMT5(), "SECOND");
  EXPECT_NE(std::string(ReadLinesMT5()), before);
}

TEST_F(Exports, OversizedBatchKeepsTheNewestWholeLines) {
  // Lines of one length (six-digit milliseconds), numbered, until the batch
  // is over the block's text limit.
  auto stamp = [](long long i) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d/01/01 00:00:00.%06d",
                  static_cast<int>(i / 900000) + 1000, static_cast<int>(i % 900000) + 100000);
    return std::string(text);
  };
  const size_t lineBytes = stamp(0).size() + 4 * 8 + 1;
  const long long count = (kTimeline - 1) / static_cast<long long>(lineBytes) + 1000;
  for (long long i = 0; i < count; ++i) {
    lineSendTimeLineMT5(static_cast<int>(i / 900000) + 1000, 1, 1, 0, 0, 0,
                        static_cast<int>(i % 900000) + 100000, 1, 1, 1, 1);
  }
  EXPECT_NE(completeSendticksMT5(), 0);
  const char* text = ReadLinesMT5();
  const size_t length = std::strlen(text);
  ASSERT_GE(length, lineBytes);
  EXPECT_EQ(length % lineBytes, 0u);
  EXPECT_EQ(length / lineBytes, (kTimeline - 1) / lineBytes);
  // It starts at a line start and ends with the newest line.
  const long long firstKept = count - static_cast<long long>(length / lineBytes);
  EXPECT_EQ(std::string(text, stamp(0).size()), stamp(firstKept));
  EXPECT_EQ(std::string(text + length - lineBytes, stamp(0).size()), stamp(count - 1));
  EXPECT_EQ(text[length - 1], '\n');
}

TEST_F(Exports, BlocksWithoutTerminatingZeroAreReadAsTerminatedText) {
  unsigned char* bland = block(L"LOW_BLAND", kSmall);
  unsigned char* timeline = block(L"LOW_TIMELINE", kTimeline);
  std::memset(bland, 'A', kSmall);  // as a foreign writer could leave it
  EXPECT_EQ(std::strlen(getsymbolcMT5()), 1023u);
  std::memset(timeline, 'B', kTimeline);
  EXPECT_EQ(std::strlen(ReadLinesMT5()), static_cast<size_t>(kTimeline - 1));
  // The next publish clears the whole old text.
  lineSendTimeLineMT5(2024, 1, 2, 0, 0, 0, 0, 1, 1, 1, 1);
  completeSendticksMT5();
  EXPECT_EQ(std::strlen(ReadLinesMT5()), 56u);
  EXPECT_TRUE(zeroFrom(timeline, 56, kTimeline));
}

TEST_F(Exports, LifecycleChecks) {
  EXPECT_TRUE(checkSendticksMT5(L"LOW_SENDCHECKShared"));
  EXPECT_TRUE(checkSendticksCharMT5("LOW_TIMESPANShared"));
  EXPECT_FALSE(checkSendticksMT5(L"LOW_NOSUCHShared"));
  EXPECT_FALSE(checkSendticksMT5(nullptr));
  EXPECT_FALSE(checkSendticksCharMT5(nullptr));
  EXPECT_FALSE(checkSendticksCharMT5("\xff\xfe not a name"));
  // While any channel exists, a producer may not start.
  EXPECT_FALSE(preInitSendticksMT5());

  // A repeated init keeps the blocks and their contents.
  setsymbolcMT5("KEEP");
  EXPECT_TRUE(initSendticksMT5());
  EXPECT_STREQ(getsymbolcMT5(), "KEEP");

  EXPECT_TRUE(deinitSendticksMT5());
  EXPECT_TRUE(deinitSendticksMT5());
  EXPECT_FALSE(checkSendticksMT5(L"LOW_SENDCHECKShared"));
  EXPECT_TRUE(preInitSendticksMT5());
  EXPECT_TRUE(initSendticksMT5());
  EXPECT_STREQ(getsymbolcMT5(), "");  // the last one out discarded the block
}

TEST_F(Exports, WithoutChannelsNothingIsTouched) {
  setsymbolcMT5("HELD");
  deinitSendticksMT5();
  EXPECT_STREQ(getsymbolcMT5(), "");
  EXPECT_STREQ(ReadLinesMT5(), "");
  EXPECT_EQ(getSendCheckMT5(), 0);
  int value = 1;
  EXPECT_EQ(setsendcheckMT5(&value), 0);
  EXPECT_EQ(setsymbolcMT5("X"), 0);
  EXPECT_EQ(setsendtimeNowMT5(), 0);
  lineSendTimeLineMT5(2024, 1, 2, 0, 0, 0, 0, 1, 1, 1, 1);
  EXPECT_EQ(completeSendticksMT5(), 0);
  EXPECT_FALSE(checkSendticksMT5(L"LOW_BLANDShared"));
  // The lines of the failed publish do not reappear in the next batch.
  ASSERT_TRUE(initSendticksMT5());
  completeSendticksMT5();
  EXPECT_STREQ(ReadLinesMT5(), "");
}

TEST(ExportsWithoutView, InitSucceedsAndTheChannelStaysUntouchedWhenItsViewFails) {
  deinitSendticksMT5();
  ASSERT_FALSE(checkSendticksMT5(L"LOW_TIMELINEShared")) << "another process holds the channels";
  // A timeline block made one page small: the library's view cannot be mapped.
  CSharedMemory small(L"LOW_TIMELINEShared", L"LOW_TIMELINEmutex", 4096);
  ASSERT_NE(small.view(), nullptr);
  std::memcpy(small.view(), "SMALL", 6);
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(initSendticksMT5());
  const std::string output = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(output.find("Can not map file into file."), std::string::npos) << output;
  EXPECT_STREQ(ReadLinesMT5(), "");
  lineSendTimeLineMT5(2024, 1, 2, 0, 0, 0, 0, 1, 1, 1, 1);
  EXPECT_EQ(completeSendticksMT5(), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(small.view()), "SMALL");
  // The other channels work as usual.
  EXPECT_NE(setsymbolcMT5("EURUSD"), 0);
  EXPECT_STREQ(getsymbolcMT5(), "EURUSD");
  EXPECT_TRUE(deinitSendticksMT5());
}

TEST(PreInit, AnyOneOfTheFiveMappingsAloneStopsAProducer) {
  deinitSendticksMT5();
  ASSERT_TRUE(preInitSendticksMT5()) << "another process holds the channels";
  for (const wchar_t* word :
       {L"LOW_SENDCHECK", L"LOW_SENDTIME", L"LOW_TIMELINE", L"LOW_BLAND", L"LOW_TIMESPAN"}) {
    const std::wstring name = word;
    {
      CSharedMemory alone((name + L"Shared").c_str(), (name + L"mutex").c_str(), kSmall);
      ASSERT_NE(alone.view(), nullptr);
      EXPECT_FALSE(preInitSendticksMT5()) << "with only " << ::testing::PrintToString(name);
    }
    EXPECT_TRUE(preInitSendticksMT5()) << "after " << ::testing::PrintToString(name);
  }
}

TEST(Add, WrapsOnOverflow) {
  EXPECT_EQ(add(2, 3), 5);
  EXPECT_EQ(add(INT_MAX, 1), INT_MIN);
  EXPECT_EQ(add(INT_MIN, -1), INT_MAX);
}

}  // namespace
}  // namespace tavelund
