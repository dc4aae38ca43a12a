#include "intake/tick_intake.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "common/chart_lock.h"
#include "intake/conversion_steps.h"

namespace tavelund {
namespace {

void updateConversion(TickIntake& intake, std::string_view text) {
  // Take back the newest record, which the MT5 side may have changed since.
  const PriceRecord kept = intake.recordList.back();
  intake.recordList.pop_back();
  const size_t keptIndex = intake.recordList.size();

  // Walk the pieces from the newest back to the newest record's minute, so
  // the work grows with the new lines, not with the batch.
  std::vector<PriceRecord> collected;
  TimelineLine line;
  TextArena texts;  // long minute texts, adopted once the records are kept
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
    if (parseTimelineLine(text.substr(begin, end - begin), line)) {
      // The newest record usually comes back with its minute unchanged: a
      // long text of it is reused, so repeated refreshes do not grow the
      // arena.
      const PriceRecord record = recordOf(line, [&](std::string_view minuteText) {
        return minuteText == kept.minuteText.view() ? kept.minuteText.view()
                                                    : texts.store(minuteText);
      });
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
  intake.texts.adopt(std::move(texts));
  intake.recordList.insert(intake.recordList.end(), collected.rbegin(), collected.rend());
  setBatch(intake, keptIndex);
}

}  // namespace

void convertTimeline(TickIntake& intake, std::string_view timelineText, bool dataExpand,
                     const ConsolePort& console) {
  convertTimeline(intake, timelineText, dataExpand, console,
                  conversionThreads(timelineText.size()));
}

void convertTimeline(TickIntake& intake, std::string_view timelineText, bool dataExpand,
                     const ConsolePort& console, unsigned threads) {
  intake.batchPointList = PointSpan::tail(intake.pointList, intake.pointList.size());
  if (intake.recordList.empty()) {
    // The records make their points as the run's first conversion says.
    intake.pointList.setExpansion(dataExpand);
    fullConversion(intake, timelineText, console, threads);
  } else {
    updateConversion(intake, timelineText);
  }
}

void refreshRecords(TickIntake& intake, const ChartSettings& settings, const LinkCalls& link,
                    const ConsolePort& console, const RefreshLimits& limits) {
  std::lock_guard<std::mutex> lock(chartLock);
  const bool haveRecords = !intake.recordList.empty();
  const BatchRequest request{
      .ask = haveRecords,
      .answerWait = haveRecords ? limits.answerWait : limits.firstBatchWait,
      .progressInterval = limits.progressInterval,
  };
  requestBatch(link, request,
               BatchProgress{.out = console.out, .label = "    UPDATE... ", .erase = 28});

  if (console.clearScreen) console.clearScreen();
  // The library's text stays valid until its next read in this process, and
  // every reader holds chartLock, so the conversion reads it in place.
  const char* lines = link.readLines ? link.readLines() : nullptr;
  const std::string_view text = lines ? std::string_view(lines) : std::string_view();
  convertTimeline(intake, text, settings.expandsPoints(), console);
  if (console.clearScreen) console.clearScreen();
}

}  // namespace tavelund
