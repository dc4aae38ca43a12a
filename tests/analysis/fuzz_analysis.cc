// libFuzzer target: random price paths through the chart (on its own boxes
// or on one grid), then the analysis at a few view offsets. Nothing may
// crash, and every signal must name a column that exists and whose
// condition holds; its completing point must lie in that column and within
// the chart shown, and a breakout's column must lie beyond the one it broke.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/overlay.h"
#include "analysis/report.h"
#include "common/grid_scale.h"
#include "engine/pf_chart.h"

namespace {

using namespace tavelund;

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t next() { return at < size ? data[at++] : 0; }
  bool more() const { return at < size; }
};

void check(bool ok) {
  if (!ok) std::abort();
}

void checkAnalysis(PfChart& chart, int32_t offset) {
  const analysis::Report report = analysis::analyze(chart, offset);
  const analysis::ChartHistory& history = report.history;
  // The snapshot shown at the offset, as the drawing picks it.
  const auto count = static_cast<int64_t>(chart.snapshots().size());
  int64_t k = count - offset - 1;
  if (k < 0 || k >= count) k = count - 1;
  for (const analysis::Signal& signal : report.signals) {
    const analysis::ColumnTrace* column = history.at(signal.column);
    check(column != nullptr);
    check(column->number == signal.columnNumber);
    check(analysis::conditionsAt(history, signal.column)[static_cast<size_t>(signal.kind)]);
    check(signal.point >= 0 && signal.point <= k);
    bool stepFound = false;
    for (const analysis::BoxStep& step : column->steps) stepFound |= step.point == signal.point;
    check(stepFound);
    if (signal.kind == analysis::PatternKind::DoubleTopBreakout)
      check(column->level > history.at(signal.column - 2)->level);
    if (signal.kind == analysis::PatternKind::DoubleBottomBreakdown)
      check(column->level < history.at(signal.column - 2)->level);
  }
  const auto newest = static_cast<int32_t>(history.columns.size()) - 1;
  for (const analysis::TrendLine& line : report.lines) {
    check(line.startColumn >= 0 && line.startColumn <= line.drawnAt && line.drawnAt <= newest);
    check(line.brokenAt < 0 || line.brokenAt > line.drawnAt);
  }
  for (const auto& found :
       {report.bullish, report.bearish, report.bullishHorizontal, report.bearishHorizontal}) {
    if (found) {
      check(history.at(found->countColumn) != nullptr);
      check(history.at(found->signalColumn) != nullptr);
    }
  }
  const auto lines = analysis::reportLines(report, 5);
  check(!lines.empty());

  ChartSettings settings;
  settings.moveView(offset);
  std::ostringstream out;
  ChartDrawing().draw(out, chart, settings, analysis::overlayTrendLine);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size};
  PfChart chart;
  ChartSettings settings;
  settings.reversal = 3 + input.next() % 3;
  settings.showColumns = 1 + input.next() % 40;
  const uint8_t grid = input.next() % 4;
  if (grid > 0) {
    std::string reason;
    settings.grid = parseGridScale(grid == 1 ? "1%" : grid == 2 ? "0.5" : "trad", reason);
  }
  chart.applySettings(settings, input.next() % 6);

  // Mostly moves of a box or so; now and then a jump, a zero or a negative
  // price, which the chart must take too.
  static std::vector<std::string> texts;
  if (texts.empty()) {
    for (int i = 0; i < 64; ++i) texts.push_back("2024/01/01 00:" + std::to_string(i));
  }
  std::vector<PricePoint> points;
  double price = 100;
  int32_t record = 0;
  while (input.more() && points.size() < 4000) {
    const uint8_t move = input.next();
    if (move == 0xFF) {
      price = 0;
    } else if (move == 0xFE) {
      price = -price;
    } else if (move >= 0xF0) {
      price *= 1 + (move - 0xF7) * 0.1;
    } else {
      price *= 1 + (static_cast<int>(move % 61) - 30) * 0.002;
      if (price == 0) price = 1;
    }
    const auto index = static_cast<int32_t>(points.size());
    if (move % 5 != 0) ++record;  // now and then two points of one record
    points.push_back(PricePoint{index, texts[static_cast<size_t>(record) % texts.size()],
                                202401010000 + record, 4, price, record});
  }
  // Two batches; the second re-reads the first's newest record, as a
  // refresh does.
  const size_t split = points.size() / 2;
  chart.update(std::span<const PricePoint>(points).first(split), settings);
  if (split < points.size()) {
    size_t from = split;
    while (from > 0 && points[from - 1].recordIndex == points[split - 1].recordIndex) --from;
    chart.update(std::span<const PricePoint>(points).subspan(from), settings);
  }

  const auto count = static_cast<int32_t>(chart.snapshots().size());
  checkAnalysis(chart, 0);
  if (count > 1) {
    checkAnalysis(chart, count / 3);
    checkAnalysis(chart, count - 1);
  }
  return 0;
}
