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
// followed by a time hh:mm[:ss[.mmm]]; lines end in LF or CR LF.
//
// Bars come out oldest first, each timed at its minute (seconds and
// milliseconds 0), as the MT5 side publishes them: the viewer keys its
// records by the minute. Rows of one minute are merged into one bar: the
// first open, the highest high, the lowest low and the last close, in time
// order (rows of the same time in file order).
struct BarsResult {
  std::vector<TimelineBar> bars;
  std::string error;  // "<file>:<line>: <what>" when the input is refused
  bool ok() const { return error.empty(); }
};

// A file that would fill the 128 MiB timeline four times over is refused
// before it is read, so a wrong file (or an endless device) cannot eat the
// memory.
inline constexpr std::size_t kMaxInputBytes = std::size_t{512} << 20;

BarsResult parseBars(std::string_view text, const std::string& fileName);
// Refuses directories, files over `maxBytes` and files that are not text
// (a NUL byte, UTF-16); then parses.
BarsResult loadBars(const std::string& path, std::size_t maxBytes = kMaxInputBytes);

// A piece of outside input as an error message shows it: in double quotes,
// at most `limit` bytes of it, every byte outside printable ASCII written
// as \xNN, and a cut marked with "..." and the full length.
std::string quotedInput(std::string_view text, std::size_t limit = 80);

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
