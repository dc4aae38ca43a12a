#include "analysis/report.h"

#include <algorithm>

#include "common/number_text.h"

namespace tavelund::analysis {
namespace {

const std::string kIndent = "         ";
const std::string kFollow = "                       ";  // under the text after "STATUS      : "

struct Parts {
  std::vector<std::string> head;
  std::vector<std::string> signals;
  std::vector<std::string> foot;
};

std::string columnText(const ChartHistory& history, const ColumnTrace& column) {
  std::string text = "column " + std::to_string(column.number);
  const auto first = column.steps.empty() ? std::nullopt : history.point(column.steps[0].point);
  if (first) text += " (" + std::string(first->text) + ")";
  return text;
}

std::string price(const Report& report, double value) {
  return fixedText(value, report.history.digits);
}

std::string objectiveText(const Report& report, const std::optional<Objective>& found,
                          const char* name) {
  std::string text = name;
  if (!found) return text + " NONE";
  const ChartHistory& history = report.history;
  const ColumnTrace& counted = history.columns[static_cast<size_t>(found->countColumn)];
  const std::string from = price(report, found->fromPrice);
  const std::string target = price(report, found->price);
  const std::string column = "column " + std::to_string(counted.number);
  const std::string boxes = std::to_string(found->boxes);
  const std::string factor = std::to_string(found->factor);
  const std::string count =
      found->signalColumn == found->countColumn
          ? column + ": " + boxes + " boxes x " + factor + " from " + from
          : "columns " + std::to_string(counted.number) + " to " +
                std::to_string(history.columns[static_cast<size_t>(found->signalColumn)].number) +
                ": " + boxes + " columns x " + factor + " from " + from;
  switch (found->state) {
    case Objective::State::pending:
      return text + " PENDING " + target + " so far (" + column + " still running: " + boxes +
             " boxes x " + factor + " from " + from + ")";
    case Objective::State::cancelled:
      return text + " CANCELLED " + target + " (" + count + "; back " +
             (found->side == Side::Buy ? "below " : "above ") + from + ")";
    default:
      return text + " " + target + " (" + count + ")";
  }
}

std::string triggerText(const Report& report, const std::optional<double>& value) {
  return value ? price(report, *value) : std::string("NONE");
}

Parts parts(const Report& report) {
  const ChartHistory& history = report.history;
  const int digits = history.digits;
  Parts out;
  auto& head = out.head;
  head.push_back(kIndent + "POINT AND FIGURE ANALYSIS");
  head.emplace_back();
  head.push_back(kIndent + "STATUS      : " + statusText(report));

  const auto line = currentLine(report.lines);
  if (line && !history.columns.empty()) {
    const ColumnTrace& start = history.columns[static_cast<size_t>(line->startColumn)];
    const ColumnTrace& drawnAt = history.columns[static_cast<size_t>(line->drawnAt)];
    head.push_back(kIndent + "TREND LINE  : " + lineName(line->kind) + " from " +
                   columnText(history, start) + ", drawn at column " +
                   std::to_string(drawnAt.number));
    const auto newest = static_cast<int64_t>(history.columns.size()) - 1;
    head.push_back(kFollow + "on the newest column at " +
                   price(report, history.price(line->levelAt(newest))));
  } else if (!report.lines.empty()) {
    const TrendLine& broken = report.lines.back();
    head.push_back(kIndent + "TREND LINE  : NONE since column " +
                   std::to_string(history.columns[static_cast<size_t>(broken.brokenAt)].number) +
                   " broke the " + lineName(broken.kind));
  } else {
    head.push_back(kIndent + "TREND LINE  : NONE");
  }

  head.push_back(kIndent + "OBJECTIVES  : " + objectiveText(report, report.bullish, "BULLISH"));
  head.push_back(kFollow + objectiveText(report, report.bearish, "BEARISH"));
  head.push_back(kIndent +
                 "HORIZONTAL  : " + objectiveText(report, report.bullishHorizontal, "BULLISH"));
  head.push_back(kFollow + objectiveText(report, report.bearishHorizontal, "BEARISH"));
  const Triggers& next = report.triggers;
  head.push_back(kIndent + "NEXT        : BOX " + triggerText(report, next.nextBox) +
                 ", REVERSAL " + triggerText(report, next.reversal));
  head.push_back(kFollow + "BUY SIGNAL " + triggerText(report, next.buySignal) + ", SELL SIGNAL " +
                 triggerText(report, next.sellSignal));
  const std::string percent = history.columns.empty() ? fixedText(history.boxFraction * 100, digits)
                                                      : std::string(history.newestPercentText);
  head.push_back(kIndent +
                 "BOX SIZE    : " + (history.gridBox.empty() ? percent + " %" : history.gridBox));
  if (!history.construction.empty())
    head.push_back(kIndent + "CONSTRUCTION: " + history.construction);
  head.push_back(kIndent + "REVERSAL    : " + std::to_string(history.reversal));
  head.emplace_back();
  head.push_back(kIndent + "SIGNALS OF THE SHOWN COLUMNS, NEWEST FIRST");

  for (const Signal& signal : shownSignals(history, report.signals)) {
    std::string side(sideName(signal.side));
    side.resize(4, ' ');
    out.signals.push_back(kIndent + signal.time + "   " + fixedText(signal.price, digits) + "   " +
                          side + "   " + std::string(kindName(signal.kind)));
  }
  if (out.signals.empty()) out.signals.push_back(kIndent + "NONE");

  out.foot.emplace_back();
  out.foot.push_back(kIndent + "'p'          Key  : Analysis");
  out.foot.push_back(kIndent + "'t'          Key  : Trend Line On Chart");
  return out;
}

// The text from its parts, with at most `maxSignals` signal lines.
std::vector<std::string> joined(Parts all, size_t maxSignals) {
  std::vector<std::string> lines = std::move(all.head);
  const size_t count = all.signals.size();
  if (count <= maxSignals) {
    lines.insert(lines.end(), all.signals.begin(), all.signals.end());
  } else {
    const size_t kept = maxSignals > 0 ? maxSignals - 1 : 0;
    lines.insert(lines.end(), all.signals.begin(),
                 all.signals.begin() + static_cast<std::ptrdiff_t>(kept));
    lines.push_back(kIndent + "... " + std::to_string(count - kept) + " OLDER");
  }
  lines.insert(lines.end(), all.foot.begin(), all.foot.end());
  return lines;
}

}  // namespace

std::string statusText(const Report& report) {
  if (!report.status) return "NO SIGNAL";
  const Signal& status = *report.status;
  return std::string(status.side == Side::Buy ? "BUY SIGNAL" : "SELL SIGNAL") + " since " +
         status.time + " (" + fixedText(status.price, report.history.digits) + ")";
}

Report analyze(const PfChart& chart, int32_t viewOffset, int32_t showColumns) {
  return analyze(chart, layOutChart(chart, LayoutRequest{viewOffset, showColumns}));
}

Report analyze(const PfChart& chart, const ChartLayout& layout) {
  Report report;
  report.history = historyOf(chart, layout, true);
  report.signals = findSignals(report.history);
  report.status = signalStatus(report.signals);
  report.lines = trendLines(report.history);
  report.bullish = verticalCount(report.history, report.signals, Side::Buy);
  report.bearish = verticalCount(report.history, report.signals, Side::Sell);
  report.bullishHorizontal = horizontalCount(report.history, report.signals, Side::Buy);
  report.bearishHorizontal = horizontalCount(report.history, report.signals, Side::Sell);
  report.triggers = triggers(report.history);
  return report;
}

std::vector<std::string> reportLines(const Report& report, size_t maxSignals) {
  return joined(parts(report), maxSignals);
}

std::vector<std::string> reportLinesWithin(const Report& report, size_t room) {
  Parts all = parts(report);
  const size_t frame = all.head.size() + all.foot.size();
  return joined(std::move(all), room > frame + 1 ? room - frame : 1);
}

}  // namespace tavelund::analysis
