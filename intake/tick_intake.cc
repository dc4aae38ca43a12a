#include "intake/tick_intake.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

#include "common/deadline.h"
#include "common/chart_lock.h"
#include "intake/prefault.h"

namespace tavelund {
namespace {

// Appends the points of one record, as the chart applies them.
void appendPoints(TickIntake& intake, const PriceRecord& record, bool expand) {
  auto add = [&](int32_t kind, double price) {
    intake.pointList.push_back(PricePoint{static_cast<int32_t>(intake.pointList.size()),
                                          record.minuteText, record.minuteKey, kind, price,
                                          record.index});
  };
  if (expand) {
    add(1, record.open);
    if (std::fabs(record.open - record.high) > std::fabs(record.open - record.low))
      add(2, record.high);
    else
      add(3, record.low);
  }
  add(4, record.close);
}

// The points from `first` on: what this conversion added.
void setBatch(TickIntake& intake, size_t first) {
  intake.batchPointList = std::span<const PricePoint>(intake.pointList).subspan(first);
}

void fullConversion(TickIntake& intake, std::string_view text, bool expand,
                    const ConsolePort& console) {
  // The progress total is the number of pieces minus one: the line ends.
  const size_t lineEnds = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  // Room for every line that can be a record (the shortest is 22 bytes,
  // "1/1/1 1:1:1.1,1,1,1,1" and its line end) and a quarter more for the
  // bars that later refreshes add. Room never written stays virtual.
  size_t mostRecords = std::min(lineEnds + 1, text.size() / 22 + 1);
  mostRecords += mostRecords / 4;
  const size_t pointsPerRecord = expand ? 3 : 1;
  intake.recordList.reserve(intake.recordList.size() + mostRecords);
  intake.pointList.reserve(intake.pointList.size() + mostRecords * pointsPerRecord);
  const size_t firstPoint = intake.pointList.size();
  // Fresh memory for the lists is backed on another thread while this one
  // reads; a minute text takes 16 bytes in the link's format.
  const size_t expected = std::min(lineEnds + 1, text.size() / 22 + 1);
  intake.texts.reserve(expected * 16);
  Prefault prefault({roomOf(intake.recordList, expected),
                     roomOf(intake.pointList, expected * pointsPerRecord),
                     {intake.texts.freeRoom(), std::min(intake.texts.freeBytes(), expected * 16)}},
                    expected);
  PriceRecord record;
  size_t begin = 0;
  for (;;) {
    const void* found =
        begin < text.size() ? std::memchr(text.data() + begin, '\n', text.size() - begin) : nullptr;
    const size_t end =
        found ? static_cast<size_t>(static_cast<const char*>(found) - text.data()) : text.size();
    if (parseTimelineLine(text.substr(begin, end - begin), record)) {
      record.index = static_cast<int32_t>(intake.recordList.size());
      record.minuteText = intake.texts.store(record.minuteText);  // the line does not last
      intake.recordList.push_back(record);
      appendPoints(intake, record, expand);
      if ((record.index + 1) % 1024 == 0) prefault.reached(static_cast<size_t>(record.index));
      if ((record.index + 1) % 1000 == 0 && console.out) {
        *console.out << std::string(40, '\b') << "   CONVERSION : [ " << record.index + 1 << " / "
                     << lineEnds << " ]" << std::flush;
      }
    }
    if (!found) break;
    begin = end + 1;
  }
  setBatch(intake, firstPoint);
}

void updateConversion(TickIntake& intake, std::string_view text, bool expand) {
  // Take back the newest record, which the MT5 side may have changed since.
  const PriceRecord kept = intake.recordList.back();
  intake.recordList.pop_back();
  size_t keptFirst = intake.pointList.size();
  while (keptFirst > 0 && intake.pointList[keptFirst - 1].recordIndex == kept.index) --keptFirst;

  // Walk the pieces from the newest back to the newest record's minute, so
  // the work grows with the new lines, not with the batch.
  std::vector<PriceRecord> collected;
  PriceRecord record;
  size_t end = text.size();
  for (;;) {
    size_t begin = 0;
    bool first = true;
    for (size_t at = end; at > 0; --at) {
      if (text[at - 1] == '\n') {
        begin = at;
        first = false;
        break;
      }
    }
    if (parseTimelineLine(text.substr(begin, end - begin), record)) {
      collected.push_back(record);
      if (record.minuteKey == kept.minuteKey) break;
    }
    if (first) break;
    end = begin - 1;
  }

  if (collected.empty()) {
    // Nothing readable was published: keep what we had rather than lose the
    // newest bar.
    intake.recordList.push_back(kept);
    return;
  }
  intake.pointList.resize(keptFirst);
  for (auto it = collected.rbegin(); it != collected.rend(); ++it) {
    it->index = static_cast<int32_t>(intake.recordList.size());
    // The newest record usually comes back with its minute unchanged: reuse
    // its stored text, so repeated refreshes do not grow the arena.
    it->minuteText =
        it->minuteText == kept.minuteText ? kept.minuteText : intake.texts.store(it->minuteText);
    intake.recordList.push_back(*it);
    appendPoints(intake, *it, expand);
  }
  setBatch(intake, keptFirst);
}

}  // namespace

void convertTimeline(TickIntake& intake, std::string_view timelineText,
                     std::wstring_view dataExpand, const ConsolePort& console) {
  intake.batchPointList = {};
  const bool expand = dataExpand == L"TRUE";
  if (intake.recordList.empty())
    fullConversion(intake, timelineText, expand, console);
  else
    updateConversion(intake, timelineText, expand);
}

void refreshRecords(TickIntake& intake, const ChartSettings& settings, const LinkCalls& link,
                    const ConsolePort& console) {
  std::lock_guard<std::mutex> lock(chartLock);
  const bool haveRecords = !intake.recordList.empty();
  if (haveRecords) {
    int request = 0;
    link.setSendCheck(&request);
  }
  const auto start = MonotonicClock::now();
  const std::string backspaces(28, '\b');
  for (;;) {
    const long long elapsed = elapsedMilliseconds(start);
    if (console.out)
      *console.out << backspaces << "    UPDATE... " << elapsed << " milSecond" << std::flush;
    if (elapsed >= 10000 && !haveRecords) break;
    if (elapsed >= 5000 && haveRecords) break;
    if (link.getSendCheck() == 1) break;
    sleepUntil(MonotonicClock::now() + std::chrono::milliseconds(1));
  }
  if (console.out) *console.out << "\r\n    Done." << std::endl;

  if (console.clearScreen) console.clearScreen();
  // The library's text stays valid until its next read in this process, and
  // every reader holds chartLock, so the conversion reads it in place.
  const char* lines = link.readLines ? link.readLines() : nullptr;
  const std::string_view text = lines ? std::string_view(lines) : std::string_view();
  convertTimeline(intake, text, settings.dataExpand, console);
  if (console.clearScreen) console.clearScreen();
}

}  // namespace tavelund
