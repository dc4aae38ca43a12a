#pragma once
// What tickwell-feed plays: bars read from a CSV file, and the plan that
// unfolds them batch by batch as the viewer asks for more.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "link/line_format.h"

namespace tavelund::feed {

// The three accepted forms, told apart by the header line:
//   "date,open,high,low,close"                      the viewer's CSV save
//   "date,open,high,low,close,adjclose,volume"      daily bars, ISO dates
//   "<DATE>\t<TIME>\t<OPEN>\t<HIGH>\t<LOW>\t<CLOSE>\t..."   MT5 terminal export
// Columns are found by name, so extra or reordered columns do no harm.
// Dates may be written 2024-03-05, 2024/03/05 or 2024.03.05, optionally
// followed by a time hh:mm[:ss[.mmm]]. Bars come out oldest first.
struct BarsResult {
  std::vector<TimelineBar> bars;
  std::string error;  // "<file>:<line>: <what>" when the input is refused
  bool ok() const { return error.empty(); }
};

BarsResult parseBars(std::string_view text, const std::string& fileName);
BarsResult loadBars(const std::string& path);

struct PlanOptions {
  std::size_t firstBatch = 300;  // bars in the first batch (at least 1)
  std::size_t perRequest = 1;    // bars added for each request
  int liveSteps = 0;             // > 1: the newest bar forms over this many publishes
};

// Which bars the next batch holds. Every batch holds the whole history
// shown so far, oldest first; in live mode the newest bar is still forming.
class BatchPlan {
 public:
  BatchPlan(std::vector<TimelineBar> bars, PlanOptions options);

  // The batch to publish now.
  std::vector<TimelineBar> batch() const;
  // Answer to a request: the forming bar moves on, or new bars appear. Once
  // every bar is shown and complete, the batch stays as it is.
  void advance();

  std::size_t shown() const { return shown_; }
  bool finished() const { return shown_ == bars_.size() && step_ >= steps_; }

 private:
  std::vector<TimelineBar> bars_;
  PlanOptions options_;
  std::size_t shown_ = 0;
  int steps_ = 1;
  int step_ = 1;
};

// The newest bar as a live terminal would show it at `step` of `steps`: the
// price walks open -> first extreme -> second extreme -> close (low first on
// a rising bar), and high and low grow with what it has visited so far.
TimelineBar formingBar(const TimelineBar& bar, int step, int steps);

}  // namespace tavelund::feed
