// The analysis on a long chart whose prices swing a lot (a random walk of
// 0.6 % steps: a column every couple of dozen points), so that both the
// snapshots and the columns are many:
//  - analyze() at the newest point (the P screen, and tickwell-chart);
//  - the T overlay's work on every redraw: rows and trend lines only, then
//    the marks on the grid;
//  - the history's memory per column.
#include <benchmark/benchmark.h>

#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/overlay.h"
#include "analysis/report.h"
#include "common/chart_lock.h"
#include "engine/pf_chart.h"

namespace tavelund {
namespace {

std::unique_ptr<PfChart> volatileChart(size_t points) {
  static const std::string text = "2024/01/01 00:00";
  std::vector<PricePoint> path;
  path.reserve(points);
  std::mt19937 random(7);
  std::normal_distribution<double> step(0.0, 0.006);
  double price = 1000;
  for (size_t i = 0; i < points; ++i) {
    price *= 1 + step(random);
    const auto at = static_cast<int32_t>(i);
    path.push_back(PricePoint{at, text, 202401010000, 4, price, at});
  }
  auto chart = std::make_unique<PfChart>();
  ChartSettings settings;
  chart->applySettings(settings, settings.digits);
  chart->update(path, settings);
  return chart;
}

PfChart& chartOf(int64_t points) {
  static std::unique_ptr<PfChart> chart;
  static int64_t built = -1;
  if (built != points) {
    chart = volatileChart(static_cast<size_t>(points));
    built = points;
  }
  return *chart;
}

void BM_AnalyzeAtNewest(benchmark::State& state) {
  PfChart& chart = chartOf(state.range(0));
  size_t signals = 0, columns = 0;
  for (auto _ : state) {
    std::lock_guard<std::mutex> lock(chartLock);
    const analysis::Report report = analysis::analyze(chart, 0);
    signals = report.signals.size();
    columns = report.history.columns.size();
    benchmark::DoNotOptimize(report.lines.size());
  }
  state.counters["columns"] = static_cast<double>(columns);
  state.counters["signals"] = static_cast<double>(signals);
  state.counters["bytes_per_column"] = sizeof(analysis::ColumnTrace);
}
BENCHMARK(BM_AnalyzeAtNewest)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Unit(benchmark::kMillisecond);

void BM_TrendLineOverlay(benchmark::State& state) {
  PfChart& chart = chartOf(state.range(0));
  ChartSettings settings;
  for (auto _ : state) {
    std::ostringstream out;
    ChartDrawing().draw(out, chart, settings, analysis::overlayTrendLine);
    benchmark::DoNotOptimize(out.str().size());
  }
}
BENCHMARK(BM_TrendLineOverlay)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Unit(benchmark::kMillisecond);

// The drawing alone (and its text), for comparison with the overlay above.
void BM_DrawingAlone(benchmark::State& state) {
  PfChart& chart = chartOf(state.range(0));
  ChartSettings settings;
  for (auto _ : state) {
    std::ostringstream out;
    ChartDrawing().draw(out, chart, settings);
    benchmark::DoNotOptimize(out.str().size());
  }
}
BENCHMARK(BM_DrawingAlone)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavelund

BENCHMARK_MAIN();
