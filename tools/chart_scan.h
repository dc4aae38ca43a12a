#pragma once
// tickwell-chart --scan: the charts of many files of bars, one row each,
// for a trader who watches many markets: where each stands and what would
// happen next.
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/patterns.h"
#include "tools/chart_options.h"

namespace tavelund::chart {

struct ScanRow {
  std::string file;
  // From the file's name: "EURUSD_H1.csv" is EURUSD on H1 (a time frame
  // label after the last "_"), any other name is the symbol itself. Bytes
  // that a terminal would act on are shown as "?".
  std::string symbol, timeframe;
  std::string error;  // why the file gave no chart; the rest is then unset

  int digits = 5;
  double last = 0;     // the newest point's price
  std::string status;  // as the analysis says it
  std::optional<analysis::Signal> newest;
  bool newestInNewestBar = false;       // the newest signal came with the newest bar
  std::string line;                     // the current trend line and its price now
  std::string objectives;               // the counts of the side in force
  std::optional<double> buyAt, sellAt;  // the next buy and sell signal prices
  std::string analysisJson;             // the analysis as --json gives it
};

// The row of one file, built with the options' chart settings.
ScanRow scanFile(const std::string& path, const Options& options);

// The rows as a table with a header line, columns as wide as their cells.
void printScanTable(std::ostream& out, const std::vector<ScanRow>& rows);

// Scans every file of the options, prints the table (or the JSON array),
// the failed files with their reasons, and returns the exit code: 0, or 1
// when any file failed.
int runScan(const Options& options, std::ostream& out);

}  // namespace tavelund::chart
