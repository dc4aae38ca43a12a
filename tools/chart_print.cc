#include "tools/chart_print.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "common/number_text.h"
#include "common/chart_lock.h"
#include "engine/last_line.h"

namespace tavelund::chart {

void buildChart(const std::vector<TimelineBar>& bars, const Options& options, BuiltChart& built) {
  ChartSettings& settings = built.settings;
  settings.reversal = options.reversal;
  settings.showColumns = options.showColumns;
  settings.dataExpand = options.dataExpand ? L"TRUE" : L"FALSE";
  settings.digits = options.digits;
  std::string timeline;
  for (const TimelineBar& bar : bars) appendTimelineLine(timeline, bar);
  convertTimeline(built.intake, timeline, settings.dataExpand, ConsolePort{});
  built.chart.applySettings(settings, settings.digits);
  built.chart.update(built.intake.batchPointList, settings);
  settings.viewOffset = std::clamp(options.offset, 0, std::max(settings.viewOffsetLimit, 0));
  settings.scrollOffset.store(settings.viewOffset);
}

void printChart(std::ostream& out, BuiltChart& built) {
  {
    std::lock_guard<std::mutex> lock(chartLock);
    writeLastLine(out, built.chart, built.settings.viewOffset, built.settings.digits);
  }
  built.chart.draw(out, built.settings);
}

void printSignals(std::ostream& out, const analysis::Report& report) {
  out << "time,column,side,kind,price\n";
  for (const analysis::Signal& signal : report.signals) {
    out << signal.time << ',' << signal.columnNumber << ',' << analysis::sideName(signal.side)
        << ',' << analysis::kindName(signal.kind) << ','
        << fixedText(signal.price, report.history.digits) << '\n';
  }
  out.flush();
}

void printAnalysis(std::ostream& out, const analysis::Report& report) {
  for (const std::string& line : analysis::reportLines(report)) out << line << '\n';
  out.flush();
}

}  // namespace tavelund::chart
