#include "intake/tick_intake.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

#include "common/deadline.h"
#include "common/chart_lock.h"
#include "intake/conversion_steps.h"

namespace tavelund {
namespace {

// Appends the points of one record, as the chart applies them.
void appendPoints(TickIntake& intake, const PriceRecord& record, bool expand) {
  PricePoint points[3];
  const int count =
      writePoints(record, expand, static_cast<int32_t>(intake.pointList.size()), points);
  intake.pointList.insert(intake.pointList.end(), points, points + count);
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
  convertTimeline(intake, timelineText, dataExpand, console,
                  conversionThreads(timelineText.size()));
}

void convertTimeline(TickIntake& intake, std::string_view timelineText,
                     std::wstring_view dataExpand, const ConsolePort& console, unsigned threads) {
  intake.batchPointList = {};
  const bool expand = dataExpand == L"TRUE";
  if (intake.recordList.empty())
    fullConversion(intake, timelineText, expand, console, threads);
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
