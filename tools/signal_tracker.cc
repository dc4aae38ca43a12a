#include "tools/signal_tracker.h"

#include <mutex>

#include "analysis/report.h"
#include "analysis/signal_news.h"
#include "common/chart_lock.h"
#include "engine/chart_refresh.h"
#include "tools/chart_print.h"

namespace tavelund::signals {

struct SignalTracker::Chart {
  chart::BuiltChart built;
  std::string symbol;
  int timeFrame = 0;
};

SignalTracker::SignalTracker(const chart::Options& options) : options_(options) {
  options_.offset = 0;  // always the newest state
}

SignalTracker::~SignalTracker() = default;

News SignalTracker::take(const Batch& batch) {
  News news;
  news.startingChart =
      !chart_ || chart_->symbol != batch.symbol || chart_->timeFrame != batch.timeFrame;
  if (news.startingChart) {
    chart_ = std::make_unique<Chart>();
    chart_->symbol = batch.symbol;
    chart_->timeFrame = batch.timeFrame;
    // The printer's build of no bars: the chart with the options' settings,
    // to which every batch then comes as it comes to the live view.
    chart::buildChart({}, options_, chart_->built);
  }
  chart::BuiltChart& built = chart_->built;
  followTimeline(
      ChartRoad{built.intake, built.chart, built.settings}, [&batch] { return batch.lines; },
      ConsolePort{});
  if (!built.chart.problem().empty()) {
    news.problem = built.chart.problem();
    return news;
  }
  std::lock_guard<std::mutex> lock(chartLock);
  analysis::Report report = analysis::analyze(built.chart, chart::shownLayout(built));
  news.signals = news.startingChart ? report.signals : analysis::newSignals(known_, report.signals);
  status_ = analysis::statusText(report);
  digits_ = report.history.digits;
  known_ = std::move(report.signals);
  return news;
}

}  // namespace tavelund::signals
