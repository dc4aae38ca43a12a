#pragma once
// The viewer's analysis keys: P shows the analysis of the chart at the
// current view offset (and the state of B's alert bell), T draws the
// current trend line over the chart or stops drawing it. Off until pressed: without them every
// screen is as it was.
#include "console/viewer.h"

namespace tavelund {

// Runs `pending` if it is one of the analysis keys' commands (then true).
bool runAnalysisCommand(Viewer& viewer, char pending);

// The chart below the LAST LINE, with the trend line when T turned it on.
void drawChartBody(Viewer& viewer);

}  // namespace tavelund
