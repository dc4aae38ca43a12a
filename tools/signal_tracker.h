#pragma once
// The chart that tickwell-signals keeps: built with tickwell-chart's options
// and build, brought up to date by each published batch on the live view's
// road (followTimeline), and the signals that each batch adds.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/patterns.h"
#include "tools/chart_options.h"

namespace tavelund::signals {

struct Batch {
  std::string_view symbol;
  int timeFrame = 0;
  const char* lines = nullptr;  // the timeline text, read while take() runs
};

struct News {
  // The batch started a chart (the first one, another symbol or time frame
  // than the chart's, or bars that do not go on from the chart's newest):
  // `signals` are all of its signals, its history.
  bool startingChart = false;
  std::vector<analysis::Signal> signals;  // else: the ones the batch added, oldest first
  std::string problem;  // a grid these bars cannot give (an ATR of 0, far too many levels)
};

class SignalTracker {
 public:
  explicit SignalTracker(const chart::Options& options);
  ~SignalTracker();
  SignalTracker(const SignalTracker&) = delete;
  SignalTracker& operator=(const SignalTracker&) = delete;

  News take(const Batch& batch);

  bool started() const { return chart_ != nullptr; }
  // Of the chart as the last batch left it.
  const std::string& statusText() const { return status_; }
  int digits() const { return digits_; }

 private:
  struct Chart;
  void startChart(const Batch& batch);
  void follow(const Batch& batch);
  chart::Options options_;
  std::unique_ptr<Chart> chart_;
  std::vector<analysis::Signal> known_;
  std::string status_;
  int digits_ = 5;
};

}  // namespace tavelund::signals
