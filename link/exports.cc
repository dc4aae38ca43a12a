// The eighteen exports. Each process that loads the library has its own
// staging and snapshot buffers (static storage, so no transfer allocates)
// and its own line accumulator; processes meet only in the five blocks.
//
// Design notes (choices the contract leaves open):
// - A text setter keeps the first 1,023 bytes of a longer text.
// - A batch longer than 134,217,727 bytes is published as its newest whole
//   lines: the viewer rebuilds from the newest bar, so the end of a batch is
//   what matters, and a torn line would be misread.
// - An export on a channel without a view (before init, after deinit, or
//   when the block could not be made) touches no block and returns an empty
//   text or 0. completeSendticksMT5 still empties the accumulator then, so
//   the next batch does not repeat the lines.
// - checkSendticksCharMT5 answers false when the name cannot be converted.
// - A repeated initSendticksMT5 attaches the new channels first and then
//   destroys the ones it held, so the blocks keep their contents and no
//   handle is left open.
// - Whole-block copies are replaced by copies of the text where nothing
//   observable changes: a reader copies up to the terminating zero and
//   clears only the tail of its own previous text; the timeline writer
//   clears only the tail of the text it replaces in the block. Readers still
//   see zeros behind the text, and a shorter batch leaves no trace.
// - A block whose text fills it without a terminating zero (only a foreign
//   writer can do that) is read as its first size - 1 bytes, so a returned
//   text is always terminated inside its buffer.
// - A channel whose objects were cut or grown by another process is lost,
//   as if its producer had gone: checked under the lock before every copy
//   (CSharedMemory::intact), a reader then returns an empty text or 0 and a
//   writer writes nothing and returns 0, instead of faulting on the view.
#include <cstring>
#include <exception>
#include <string>

#include "common/codepage.h"
#include "common/local_time.h"
#include "common/prefault.h"
#include "link/channel_names.h"
#include "link/line_format.h"
#include "link/shared_memory.h"
#include "link/tickwell.h"

namespace tavelund {
namespace {

constexpr std::int32_t kSmallBlock = 1024;
constexpr std::int32_t kTimelineBlock = 0x8000000;

struct Channel {
  std::int32_t size;
  unsigned char* staging;
  unsigned char* snapshot;
  std::size_t stagingText = 0;   // bytes of text now in staging (zeros behind)
  std::size_t snapshotText = 0;  // bytes of text now in snapshot (zeros behind)
  CSharedMemory* shared = nullptr;
};

unsigned char sendCheckStaging[kSmallBlock], sendCheckSnapshot[kSmallBlock];
unsigned char sendTimeStaging[kSmallBlock], sendTimeSnapshot[kSmallBlock];
unsigned char timelineStaging[kTimelineBlock], timelineSnapshot[kTimelineBlock];
unsigned char blandStaging[kSmallBlock], blandSnapshot[kSmallBlock];
unsigned char timeSpanStaging[kSmallBlock], timeSpanSnapshot[kSmallBlock];

// In ChannelId order, the order of kChannelNames.
Channel channels[kChannelCount] = {
    {kSmallBlock, sendCheckStaging, sendCheckSnapshot},
    {kSmallBlock, sendTimeStaging, sendTimeSnapshot},
    {kTimelineBlock, timelineStaging, timelineSnapshot},
    {kSmallBlock, blandStaging, blandSnapshot},
    {kSmallBlock, timeSpanStaging, timeSpanSnapshot},
};

std::string accumulator;

const char kEmptyText[1] = {0};

bool hasView(const Channel& channel) {
  return channel.shared != nullptr && channel.shared->view() != nullptr;
}

class ChannelLock {
 public:
  explicit ChannelLock(CSharedMemory& shared) : shared_(shared) { shared_.lock(); }
  ~ChannelLock() { shared_.unlock(); }
  ChannelLock(const ChannelLock&) = delete;
  ChannelLock& operator=(const ChannelLock&) = delete;

 private:
  CSharedMemory& shared_;
};

// Small blocks: the literal whole-block copy; it is 1 KiB.
bool readSmall(Channel& channel) {
  if (!hasView(channel)) return false;
  std::memset(channel.snapshot, 0, kSmallBlock);
  {
    ChannelLock lock(*channel.shared);
    if (!channel.shared->intact()) return false;
    std::memcpy(channel.snapshot, channel.shared->view(), kSmallBlock);
  }
  channel.snapshot[kSmallBlock - 1] = 0;
  return true;
}

bool writeSmall(Channel& channel) {
  if (!hasView(channel)) return false;
  ChannelLock lock(*channel.shared);
  if (!channel.shared->intact()) return false;
  std::memcpy(channel.shared->view(), channel.staging, kSmallBlock);
  return true;
}

int readInteger(Channel& channel) {
  if (!readSmall(channel)) return 0;
  return loadBigEndian(channel.snapshot);
}

int writeInteger(Channel& channel, const int* value) {
  if (value == nullptr || !hasView(channel)) return 0;
  std::memset(channel.staging, 0, kSmallBlock);
  storeBigEndian(channel.staging, *value);
  return writeSmall(channel) ? 1 : 0;
}

const char* readText(Channel& channel) {
  if (!readSmall(channel)) return kEmptyText;
  return reinterpret_cast<const char*>(channel.snapshot);
}

int writeText(Channel& channel, const char* text) {
  if (text == nullptr || !hasView(channel)) return 0;
  const std::size_t length = strnlen(text, kSmallBlock - 1);
  std::memset(channel.staging, 0, kSmallBlock);
  std::memcpy(channel.staging, text, length);
  return writeSmall(channel) ? 1 : 0;
}

const char* readTimeline() {
  Channel& channel = channels[kTimeline];
  if (!hasView(channel)) return kEmptyText;
  const auto limit = static_cast<std::size_t>(channel.size) - 1;
  std::size_t length = 0;
  {
    ChannelLock lock(*channel.shared);
    if (channel.shared->intact()) {
      const auto* view = channel.shared->view();
      length = strnlen(reinterpret_cast<const char*>(view), limit);
      std::memcpy(channel.snapshot, view, length);
    }
  }
  if (channel.snapshotText > length) {
    std::memset(channel.snapshot + length, 0, channel.snapshotText - length);
  }
  channel.snapshotText = length;
  return reinterpret_cast<const char*>(channel.snapshot);
}

int publishTimeline() {
  Channel& channel = channels[kTimeline];
  if (!hasView(channel)) {
    accumulator.clear();
    return 0;
  }
  const auto limit = static_cast<std::size_t>(channel.size) - 1;
  const std::string_view text = newestWholeLines(accumulator, limit);
  const std::size_t length = text.size();
  std::memcpy(channel.staging, text.data(), length);
  if (channel.stagingText > length) {
    std::memset(channel.staging + length, 0, channel.stagingText - length);
  }
  channel.stagingText = length;
  {
    ChannelLock lock(*channel.shared);
    if (!channel.shared->intact()) {
      accumulator.clear();
      return 0;
    }
    auto* view = channel.shared->view();
    std::memcpy(view, channel.staging, length);
    // Clear what is left of the previous, longer text.
    const std::size_t rest = static_cast<std::size_t>(channel.size) - length;
    std::memset(view + length, 0, strnlen(reinterpret_cast<const char*>(view + length), rest));
  }
  accumulator.clear();
  return 1;
}

template <typename Body, typename Result>
Result guarded(Body body, Result fallback) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

}  // namespace
}  // namespace tavelund

using namespace tavelund;

extern "C" {

bool preInitSendticksMT5(void) {
  return guarded(
      [] {
        static const ChannelId order[] = {kTimeline, kBland, kTimeSpan, kSendTime, kSendCheck};
        bool any = false;
        for (const ChannelId id : order)
          any = sharedMappingExists(kChannelNames[id].mapping) || any;
        if (!any) return true;
        showStartRefusal(L"多重起動できません", L"起動できません");
        return false;
      },
      false);
}

bool initSendticksMT5(void) {
  return guarded(
      [] {
        // The timeline's buffers are filled from end to end by a full batch:
        // large pages make that a few dozen page faults instead of 32,768.
        adviseLargePages(timelineSnapshot, kTimelineBlock);
        adviseLargePages(timelineStaging, kTimelineBlock);
        CSharedMemory* made[kChannelCount] = {};
        for (int i = 0; i < kChannelCount; ++i) {
          made[i] =
              new CSharedMemory(kChannelNames[i].mapping, kChannelNames[i].mutex, channels[i].size);
        }
        for (int i = 0; i < kChannelCount; ++i) {
          delete channels[i].shared;
          channels[i].shared = made[i];
        }
        return true;
      },
      false);
}

bool deinitSendticksMT5(void) {
  return guarded(
      [] {
        for (Channel& channel : channels) {
          delete channel.shared;
          channel.shared = nullptr;
        }
        return true;
      },
      true);
}

bool checkSendticksMT5(const wchar_t* mappingName) {
  return guarded([&] { return sharedMappingExists(mappingName); }, false);
}

bool checkSendticksCharMT5(const char* mappingName) {
  return guarded(
      [&] {
        if (mappingName == nullptr) return false;
        const std::wstring wide = narrowToWide(mappingName);
        return sharedMappingExists(wide.c_str());
      },
      false);
}

int getSendCheckMT5(void) {
  return guarded([] { return readInteger(channels[kSendCheck]); }, 0);
}

const char* getsendtimeMT5(void) {
  return guarded([] { return readText(channels[kSendTime]); },
                 static_cast<const char*>(kEmptyText));
}

const char* getsymbolcMT5(void) {
  return guarded([] { return readText(channels[kBland]); }, static_cast<const char*>(kEmptyText));
}

int gettimespanMT5(void) {
  return guarded([] { return readInteger(channels[kTimeSpan]); }, 0);
}

const char* ReadLinesMT5(void) {
  return guarded([] { return readTimeline(); }, static_cast<const char*>(kEmptyText));
}

int setsendcheckMT5(int* value) {
  return guarded([&] { return writeInteger(channels[kSendCheck], value); }, 0);
}

int setsendtimeMT5(const char* text) {
  return guarded([&] { return writeText(channels[kSendTime], text); }, 0);
}

int setsendtimeNowMT5(void) {
  return guarded([] { return writeText(channels[kSendTime], localTimeText().c_str()); }, 0);
}

int settimespanMT5(int* value) {
  return guarded([&] { return writeInteger(channels[kTimeSpan], value); }, 0);
}

int setsymbolcMT5(const char* text) {
  return guarded([&] { return writeText(channels[kBland], text); }, 0);
}

void lineSendTimeLineMT5(int year, int month, int day, int hour, int minute, int second,
                         int millisecond, double open, double high, double low, double close) {
  guarded(
      [&] {
        // Formatted aside first, so a failed append leaves no partial line.
        static std::string line;
        line.clear();
        appendTimelineLine(line, TimelineBar{year, month, day, hour, minute, second, millisecond,
                                             open, high, low, close});
        accumulator.append(line);
        return 0;
      },
      0);
}

int completeSendticksMT5(void) {
  return guarded([] { return publishTimeline(); }, 0);
}

int add(int a, int b) {
  return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

}  // extern "C"
