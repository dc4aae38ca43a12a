#include "tools/chart_print.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "common/number_text.h"
#include "common/chart_lock.h"
#include "engine/chart_refresh.h"
#include "engine/last_line.h"

namespace tavelund::chart {

void buildChart(const std::vector<TimelineBar>& bars, const Options& options, BuiltChart& built) {
  ChartSettings& settings = built.settings;
  settings.reversal = options.reversal;
  settings.boxFraction = options.boxFraction;
  settings.grid = options.grid;
  settings.showColumns = options.showColumns;
  settings.dataExpand = options.dataExpand;
  settings.digits = options.digits;
  std::string timeline;
  for (const TimelineBar& bar : bars) appendTimelineLine(timeline, bar);
  followTimeline(
      ChartRoad{built.intake, built.chart, settings}, [&timeline] { return timeline.c_str(); },
      ConsolePort{});
  settings.moveView(std::clamp(options.offset, 0, std::max(settings.viewOffsetLimit(), 0)));
}

ChartLayout shownLayout(const BuiltChart& built) {
  return layOutChart(built.chart,
                     LayoutRequest{built.settings.viewOffset(), built.settings.showColumns});
}

void printChart(std::ostream& out, const BuiltChart& built) {
  {
    std::lock_guard<std::mutex> lock(chartLock);
    writeLastLine(out, built.chart, built.settings.viewOffset(), built.settings.digits);
  }
  ChartDrawing().draw(out, built.chart, built.settings);
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
