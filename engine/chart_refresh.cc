#include "engine/chart_refresh.h"

#include <mutex>
#include <string_view>

#include "common/chart_lock.h"
#include "common/run_log.h"
#include "intake/time_order.h"

namespace tavelund {
namespace {

// The steps after a conversion: the same for every road in.
void takeBatch(const ChartRoad& road) {
  if (const auto entry = batchTimeOrderEntry(road.intake)) appendLog(*entry);
  road.chart.applySettings(road.settings, road.settings.digits);
  road.chart.update(road.intake.batchPointList, road.settings);
}

}  // namespace

void refreshChart(const ChartRoad& road, const LinkCalls& link, const ConsolePort& console) {
  refreshRecords(road.intake, road.settings, link, console);
  takeBatch(road);
}

void followTimeline(const ChartRoad& road, const std::function<const char*()>& readLines,
                    const ConsolePort& console) {
  {
    std::lock_guard<std::mutex> lock(chartLock);
    const char* lines = readLines ? readLines() : nullptr;
    convertTimeline(road.intake, lines ? std::string_view(lines) : std::string_view(),
                    road.settings.expandsPoints(), console);
    if (console.clearScreen) console.clearScreen();
  }
  takeBatch(road);
}

}  // namespace tavelund
