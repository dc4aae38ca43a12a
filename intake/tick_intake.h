#pragma once
// The console's side of the data road: the send-flag hand-shake with the MT5
// side and the conversion of timeline lines into records and price points.
#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/chart_settings.h"
#include "intake/batch_request.h"
#include "intake/console_port.h"
#include "link/link_calls.h"
#include "intake/price_point.h"
#include "intake/price_record.h"
#include "common/text_arena.h"

namespace tavelund {

// One timeline line as read: the date numbers, the minute (its key, and its
// text, which refers to the line), and the prices read as floats.
struct TimelineLine {
  int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0;
  std::string_view minuteText;
  int64_t minuteKey = 0;
  double open = 0, high = 0, low = 0, close = 0;
};

// The intake's lists; one instance per console process, guarded by chartLock.
struct TickIntake {
  TickIntake() = default;
  TickIntake(const TickIntake&) = delete;
  TickIntake& operator=(const TickIntake&) = delete;

  RecordList recordList;
  // The points of the records, as the conversion made them; read from the
  // records, never kept. Valid while the records are unchanged.
  RecordPoints pointList{recordList};
  // What the latest conversion added or rebuilt: the tail of pointList.
  // Valid until the next conversion.
  PointSpan batchPointList;
  TextArena texts;  // minute texts longer than a record holds in place
};

// Reads one timeline line (without its "\n"). False when the line is not a
// price line, or when a price is not a finite number above zero (no chart
// can be drawn from it); then `line` may hold partial values and must not
// be used.
bool parseTimelineLine(std::string_view text, TimelineLine& line);

// Converts a published timeline text into records and points: the full
// conversion while `recordList` is empty, else the update that rebuilds the
// newest record and appends the records after it. Takes no lock; prints the
// full conversion's progress to `console.out`. The full conversion of a
// large text reads it on one thread per core.
void convertTimeline(TickIntake& intake, std::string_view timelineText, bool dataExpand,
                     const ConsolePort& console);
// The same with the full conversion on at most `threads` threads (at least
// one), however small the text.
void convertTimeline(TickIntake& intake, std::string_view timelineText, bool dataExpand,
                     const ConsolePort& console, unsigned threads);

// The expansion is a flag: a text given for it would always read as true.
void convertTimeline(TickIntake&, std::string_view, const wchar_t*, const ConsolePort&) = delete;
void convertTimeline(TickIntake&, std::string_view, const wchar_t*, const ConsolePort&,
                     unsigned) = delete;

// Threads the full conversion of `textBytes` uses by default: one per core,
// fewer when the text is too small to be worth a thread per part.
unsigned conversionThreads(size_t textBytes);

// How long a refresh waits for its batch, and how often it looks.
struct RefreshLimits {
  std::chrono::milliseconds firstBatchWait = kFirstBatchWait;  // before the first records
  std::chrono::milliseconds answerWait = kAnswerWait;          // once there are records
  std::chrono::milliseconds progressInterval{1};
};

// Asks the MT5 side for a fresh batch through the send flag (once there are
// records; the first batch is only waited for), waits for it within
// `limits` and converts what the timeline then holds. Takes chartLock for
// its whole run.
void refreshRecords(TickIntake& intake, const ChartSettings& settings, const LinkCalls& link,
                    const ConsolePort& console, const RefreshLimits& limits = {});

}  // namespace tavelund
