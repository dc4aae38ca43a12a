#include "tools/chart_scan.h"

#include <algorithm>
#include <mutex>

#include "analysis/report.h"
#include "common/chart_lock.h"
#include "common/number_text.h"
#include "tools/chart_json.h"
#include "tools/chart_print.h"
#include "tools/feed_source.h"
#include "tools/time_frames.h"

namespace tavelund::chart {
namespace {

// Whether `text` is whole UTF-8 (so that a table and a JSON text may carry
// it as it is).
bool wholeUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80         ? 1
                          : (lead >> 5) == 6  ? 2
                          : (lead >> 4) == 14 ? 3
                          : (lead >> 3) == 30 ? 4
                                              : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) >> 6) != 2) return false;
    }
    i += length;
  }
  return true;
}

// A name from outside, safe to print: control bytes (and, in text that is
// not UTF-8, every byte above ASCII) become "?", and it is cut to 64 bytes.
std::string shownName(std::string_view name) {
  const bool utf8 = wholeUtf8(name);
  std::string shown;
  for (const char c : name.substr(0, 64)) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte < 0x20 || byte == 0x7f || (!utf8 && byte >= 0x80) ? '?' : c;
  }
  return shown;
}

void nameRow(ScanRow& row) {
  std::string_view name = row.file;
  if (const size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  if (const size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0)
    name = name.substr(0, dot);
  if (const size_t cut = name.rfind('_'); cut != std::string_view::npos && cut > 0) {
    const std::string_view frame = name.substr(cut + 1);
    const bool digits = frame.find_first_not_of("0123456789") == std::string_view::npos;
    if (!digits && feed::parseTimeFrame(frame)) {
      row.timeframe = shownName(frame);
      name = name.substr(0, cut);
    }
  }
  row.symbol = shownName(name);
}

std::string priceOrNone(const ScanRow& row, const std::optional<double>& price) {
  return price ? fixedText(*price, row.digits) : std::string("NONE");
}

std::string countText(const ScanRow& row, const char* name,
                      const std::optional<analysis::Objective>& count) {
  if (!count) return {};
  std::string text = std::string(name) + " " + fixedText(count->price, row.digits);
  if (count->state == analysis::Objective::State::pending) text += " PENDING";
  if (count->state == analysis::Objective::State::cancelled) text += " CANCELLED";
  return text;
}

}  // namespace

ScanRow scanFile(const std::string& path, const Options& options) {
  ScanRow row;
  row.file = path;
  nameRow(row);
  row.digits = options.digits;
  const feed::BarsResult loaded = feed::loadBars(path);
  if (!loaded.ok()) {
    row.error = loaded.error;
    return row;
  }
  if (loaded.bars.empty()) {
    row.error = path + ": no bars";
    return row;
  }
  BuiltChart built;
  buildChart(loaded.bars, options, built);
  if (!built.chart.problem().empty()) {
    row.error = path + ": " + built.chart.problem();
    return row;
  }
  std::lock_guard<std::mutex> lock(chartLock);
  const analysis::Report report = analysis::analyze(built.chart, shownLayout(built));
  const analysis::ChartHistory& history = report.history;
  if (history.snapshot < 0) {
    row.error = path + ": no chart";
    return row;
  }
  const auto shown = history.point(history.snapshot);
  row.last = shown ? shown->price : 0;
  row.status = analysis::statusText(report);
  if (!report.signals.empty()) {
    row.newest = report.signals.back();
    const auto completing = history.point(row.newest->point);
    row.newestInNewestBar = shown && completing && completing->recordIndex == shown->recordIndex;
  }
  if (const auto line = analysis::currentLine(report.lines)) {
    const auto newest = static_cast<int64_t>(history.columns.size()) - 1;
    row.line =
        std::string(line->kind == analysis::LineKind::BullishSupport ? "SUPPORT " : "RESISTANCE ") +
        fixedText(history.price(line->levelAt(newest)), row.digits);
  } else {
    row.line = "NONE";
  }
  std::vector<std::string> counts;
  for (const auto& [name, count] : {std::pair{"V", report.bullish},
                                    {"V", report.bearish},
                                    {"H", report.bullishHorizontal},
                                    {"H", report.bearishHorizontal}}) {
    if (std::string text = countText(row, name, count); !text.empty())
      counts.push_back(std::move(text));
  }
  for (const std::string& text : counts)
    row.objectives += (row.objectives.empty() ? "" : ", ") + text;
  if (row.objectives.empty()) row.objectives = "NONE";
  row.buyAt = report.triggers.buySignal;
  row.sellAt = report.triggers.sellSignal;
  row.analysisJson = analysisJson(report);
  return row;
}

void printScanTable(std::ostream& out, const std::vector<ScanRow>& rows) {
  const std::vector<std::string> head = {"SYMBOL",        "TF",         "LAST",       "STATUS",
                                         "NEWEST SIGNAL", "NEW",        "TREND LINE", "OBJECTIVES",
                                         "BUY SIGNAL",    "SELL SIGNAL"};
  std::vector<std::vector<std::string>> table = {head};
  for (const ScanRow& row : rows) {
    if (!row.error.empty()) continue;
    std::string newest = "NONE";
    if (row.newest) {
      newest = std::string(analysis::sideName(row.newest->side)) + " " +
               std::string(analysis::kindName(row.newest->kind)) + " " + row.newest->time + " " +
               fixedText(row.newest->price, row.digits);
    }
    table.push_back({row.symbol, row.timeframe.empty() ? "-" : row.timeframe,
                     fixedText(row.last, row.digits), row.status, newest,
                     row.newestInNewestBar ? "NEW" : "", row.line, row.objectives,
                     priceOrNone(row, row.buyAt), priceOrNone(row, row.sellAt)});
  }
  std::vector<size_t> widths(head.size(), 0);
  for (const auto& cells : table) {
    for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
  }
  for (const auto& cells : table) {
    std::string line;
    for (size_t i = 0; i < cells.size(); ++i) {
      line += cells[i];
      if (i + 1 < cells.size()) line += std::string(widths[i] - cells[i].size() + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out << line << '\n';
  }
  for (const ScanRow& row : rows) {
    if (!row.error.empty()) out << "FAILED  " << shownName(row.error) << '\n';
  }
}

int runScan(const Options& options, std::ostream& out) {
  std::vector<ScanRow> rows;
  bool failed = false;
  for (const std::string& path : options.paths) {
    ScanRow row = scanFile(path, options);
    failed |= !row.error.empty();
    // Failures stay listed: the trader should know a file was not read.
    if (options.onlyNew && row.error.empty() && !row.newestInNewestBar) continue;
    rows.push_back(std::move(row));
  }
  if (options.json)
    out << scanJson(rows);
  else
    printScanTable(out, rows);
  out.flush();
  return failed || !out ? 1 : 0;
}

}  // namespace tavelund::chart
