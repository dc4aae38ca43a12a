// Arbitrary timeline text through the full conversion, an update with a
// second text, the chart's update and its drawing: nothing may crash, read
// outside a buffer or break the lists' invariants. The first conversion
// read in several parts must give what one part gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "engine/chart_layout.h"
#include "engine/pf_chart.h"
#include "intake/tick_intake.h"

using namespace tavelund;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First byte: options; the rest splits at the first 0xFF byte into the
  // first batch and the re-published one.
  const uint8_t options = data[0];
  const std::string_view all(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t cut = all.find('\xff');
  const std::string_view first = all.substr(0, cut);
  const std::string_view second = cut == std::string_view::npos ? all : all.substr(cut + 1);

  ChartSettings settings;
  settings.dataExpand = (options & 1) != 0;
  settings.reversal = 3 + (options >> 1) % 3;
  settings.showColumns = 1 + (options >> 3) % 8;
  settings.digits = (options >> 5) % 8;
  std::ostringstream sink;
  ConsolePort console{&sink, nullptr};

  TickIntake intake, inParts;
  std::ostringstream partsSink;
  convertTimeline(inParts, first, settings.dataExpand, ConsolePort{&partsSink, nullptr},
                  2 + options % 5);
  PfChart chart;
  ChartDrawing drawing(2000);  // keeps each run fast; the limit itself is tested
  chart.applySettings(settings, settings.digits);
  for (int round = 0; round < 2; ++round) {
    const std::string_view text = round == 0 ? first : second;
    convertTimeline(intake, text, settings.dataExpand, console, 1);
    if (round == 0) {
      if (sink.str() != partsSink.str() || inParts.pointList.size() != intake.pointList.size() ||
          inParts.recordList.size() != intake.recordList.size())
        std::abort();
      for (size_t i = 0; i < intake.pointList.size(); ++i) {
        const PricePoint& a = intake.pointList[i];
        const PricePoint& b = inParts.pointList[i];
        if (a.index != b.index || a.recordIndex != b.recordIndex || a.text != b.text ||
            a.kind != b.kind || !(a.price == b.price))
          std::abort();
      }
    }
    for (size_t i = 0; i < intake.pointList.size(); ++i)
      if (intake.pointList[i].index != static_cast<int32_t>(i)) std::abort();
    for (size_t i = 0; i < intake.pointList.size(); ++i)
      if (intake.pointList[i].recordIndex !=
          static_cast<int32_t>(i / intake.pointList.perRecord()))
        std::abort();
    chart.update(intake.batchPointList, settings);
    if (chart.points().size() != intake.pointList.size()) std::abort();
    for (int32_t offset : {0, 1, settings.viewOffsetLimit(), settings.viewOffsetLimit() + 1, -1}) {
      settings.moveView(offset);
      drawing.draw(sink, chart, settings);
      (void)chart.lastLineColumn(offset);
    }
    sink.str("");
  }
  return 0;
}
