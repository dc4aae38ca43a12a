#include "tools/signal_tracker.h"

#include <mutex>
#include <span>

#include "analysis/report.h"
#include "analysis/signal_news.h"
#include "common/chart_lock.h"
#include "engine/chart_refresh.h"
#include "intake/time_order.h"
#include "tools/chart_print.h"

namespace tavelund::signals {
namespace {

// Whether the records of the last conversion go back in time, from the
// record before them on: a batch that does not go on from the newest bar.
bool goesBack(const TickIntake& intake) {
  if (intake.batchPointList.empty()) return false;
  const auto first = static_cast<size_t>(intake.batchPointList.front().recordIndex);
  if (first == 0 || first >= intake.recordList.size()) return false;
  const auto records = std::span<const PriceRecord>(intake.recordList).subspan(first - 1);
  return firstRecordBackInTime(records).has_value();
}

}  // namespace

struct SignalTracker::Chart {
  chart::BuiltChart built;
  std::string symbol;
  int timeFrame = 0;
};

SignalTracker::SignalTracker(const chart::Options& options) : options_(options) {
  options_.offset = 0;  // always the newest state
}

SignalTracker::~SignalTracker() = default;

void SignalTracker::startChart(const Batch& batch) {
  chart_ = std::make_unique<Chart>();
  chart_->symbol = batch.symbol;
  chart_->timeFrame = batch.timeFrame;
  // The printer's build of no bars: the chart with the options' settings,
  // to which every batch then comes as it comes to the live view.
  chart::buildChart({}, options_, chart_->built);
  follow(batch);
}

void SignalTracker::follow(const Batch& batch) {
  chart::BuiltChart& built = chart_->built;
  followTimeline(
      ChartRoad{built.intake, built.chart, built.settings}, [&batch] { return batch.lines; },
      ConsolePort{});
}

News SignalTracker::take(const Batch& batch) {
  News news;
  news.startingChart =
      !chart_ || chart_->symbol != batch.symbol || chart_->timeFrame != batch.timeFrame;
  if (news.startingChart) {
    startChart(batch);
  } else {
    follow(batch);
    // A batch that does not go on from the chart's newest bar (a producer
    // started again on older bars) would be appended behind it: it makes a
    // chart of its own instead.
    bool back = false;
    {
      std::lock_guard<std::mutex> lock(chartLock);
      back = goesBack(chart_->built.intake);
    }
    if (back) {
      startChart(batch);
      news.startingChart = true;
    }
  }
  chart::BuiltChart& built = chart_->built;
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
