#pragma once
// The one road from the timeline to the chart, which the U command, the
// live view and the chart printer all take: the conversion of the text, a
// run-log entry for a batch out of time order, the settings and the update.
// Each then draws the chart with its own header.
#include <functional>

#include "common/chart_settings.h"
#include "engine/pf_chart.h"
#include "intake/tick_intake.h"
#include "link/link_calls.h"

namespace tavelund {

struct ChartRoad {
  TickIntake& intake;
  PfChart& chart;
  ChartSettings& settings;
};

// U: asks the MT5 side for a fresh batch by the send-flag hand-shake, then
// converts it and updates the chart.
void refreshChart(const ChartRoad& road, const LinkCalls& link, const ConsolePort& console);

// The timeline as it stands, without asking: `readLines` gives the text
// (null for none), read under chartLock with the conversion.
void followTimeline(const ChartRoad& road, const std::function<const char*()>& readLines,
                    const ConsolePort& console);

}  // namespace tavelund
