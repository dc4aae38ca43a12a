#pragma once
// The viewer's run settings and view offsets. One process-wide instance
// lives in the console; the option fields are written once at start-up,
// before any worker thread runs, and are read-only afterwards.
#include <atomic>
#include <cstdint>
#include <string>

namespace tavelund {

struct ChartSettings {
  int32_t reversal = 3;                // -b, 3..5
  double boxFraction = 0.01;           // always 1 %
  int32_t showColumns = 30;            // -s, 1..300
  std::wstring dataExpand = L"FALSE";  // -e gives "TRUE"
  int32_t digits = 5;                  // -f, 0..10
  int32_t scrollBack = 30;             // -r, raised to a multiple of 3

  // Offsets, touched by the view thread only (the scroll offset is written
  // with atomic exchanges all the same).
  std::atomic<int32_t> scrollOffset{0};
  int32_t viewOffset = 0;
  int32_t viewOffsetLimit = 0;

  bool expandData() const { return dataExpand == L"TRUE"; }
};

}  // namespace tavelund
