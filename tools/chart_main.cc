// tickwell-chart: prints the point-and-figure chart of a file of bars as
// the viewer draws it, for scripts; optionally its signals, its analysis
// and an SVG picture.
#include <iostream>
#include <mutex>
#include <string>

#include "analysis/report.h"
#include "common/chart_lock.h"
#include "common/version.h"
#include "tools/chart_json.h"
#include "tools/chart_options.h"
#include "tools/chart_print.h"
#include "tools/chart_scan.h"
#include "tools/chart_svg.h"
#include "tools/feed_source.h"

using namespace tavelund;

#ifdef _WIN32
// The Windows command line leaves "*.csv" to the program: the C runtime
// expands it into the matching names, as a POSIX shell would.
extern "C" {
int _dowildcard = -1;
}
#endif

int main(int argc, char** argv) {
  chart::Options options;
  std::string problem;
  switch (chart::parseOptions(argc, argv, options, problem)) {
    case chart::Parsed::Help:
      std::cout << chart::kUsage;
      return 0;
    case chart::Parsed::Version:
      std::cout << "tickwell-chart " << kVersion << "\n";
      return 0;
    case chart::Parsed::Error:
      std::cerr << "tickwell-chart: " << problem << "\n" << chart::kUsage;
      return 2;
    case chart::Parsed::Run:
      break;
  }
  if (options.scan) return chart::runScan(options, std::cout);
  feed::BarsResult loaded = feed::loadBars(options.path);
  if (!loaded.ok()) {
    std::cerr << "tickwell-chart: " << loaded.error << "\n";
    return 1;
  }

  chart::BuiltChart built;
  chart::buildChart(loaded.bars, options, built);
  // A grid these bars cannot give (an ATR of 0, far too many levels).
  if (!built.chart.problem().empty()) {
    std::cerr << "tickwell-chart: " << built.chart.problem() << "\n";
    return 2;
  }
  analysis::Report report;
  std::string svg;
  bool drawn = true;
  std::string json;
  if (options.signals || options.analysis || options.json || !options.svgPath.empty()) {
    std::lock_guard<std::mutex> lock(chartLock);
    const ChartLayout layout = chart::shownLayout(built);
    report = analysis::analyze(built.chart, layout);
    if (!options.svgPath.empty()) drawn = chart::chartSvg(layout, report, svg, problem);
    if (options.json) json = chart::chartJson(built.chart, report);
  }
  // The picture first: a chart that cannot be drawn prints nothing.
  if (!options.svgPath.empty()) {
    if (!drawn || !chart::writeWholeFile(options.svgPath, svg, problem)) {
      std::cerr << "tickwell-chart: " << problem << "\n";
      return 1;
    }
  }
  if (options.json) {
    std::cout << json;
    return std::cout ? 0 : 1;
  }
  chart::printChart(std::cout, built);
  if (options.signals) chart::printSignals(std::cout, report);
  if (options.analysis) chart::printAnalysis(std::cout, report);
  return std::cout ? 0 : 1;
}
