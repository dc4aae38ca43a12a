#pragma once
// The viewer's run settings and view offsets. One process-wide instance
// lives in the console; the option fields are written once at start-up,
// before any worker thread runs, and are read-only afterwards.
#include <atomic>
#include <cstdint>
#include <optional>

#include "common/grid_scale.h"

namespace tavelund {

struct ChartSettings {
  int32_t reversal = 3;       // -b, 3..5
  double boxFraction = 0.01;  // always 1 %
  int32_t showColumns = 30;   // -s, 1..300
  bool dataExpand = false;    // -e
  int32_t digits = 5;         // -f, 0..10
  int32_t scrollBack = 30;    // -r, raised to a multiple of 3
  // -g: the whole chart on one price grid of this scale (none: each column
  // on its own boxes of boxFraction).
  std::optional<GridScale> grid;

  // The intake expands bars into three points with -e, except under -g,
  // where -e means each bar's high and low are read instead.
  bool expandsPoints() const { return dataExpand && !grid; }
  bool highLowMethod() const { return dataExpand && grid.has_value(); }

  // The scroll offset and the view offset are one value under two names:
  // the scroll keys move it, the drawing shows it, and an update that
  // shrinks the chart keeps it within the limit for both.
  int32_t scrollOffset() const { return offset_.load(); }
  int32_t viewOffset() const { return offset_.load(); }
  int32_t viewOffsetLimit() const { return limit_; }
  // The offset shown from now on (an offset beyond the limit shows the
  // newest state, as the drawing reads it).
  void moveView(int32_t offset) { offset_.exchange(offset); }
  // After an update: the new limit (the snapshots less one; -1 with none)
  // and the offset pulled back to it when beyond (-1 shows the newest, as
  // any offset outside the snapshots does).
  void limitView(int32_t limit) {
    limit_ = limit;
    if (offset_.load() >= limit) offset_.exchange(limit);
  }

 private:
  // Touched by the view thread only (written with atomic exchanges all the
  // same).
  std::atomic<int32_t> offset_{0};
  int32_t limit_ = 0;
};

}  // namespace tavelund
