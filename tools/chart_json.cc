#include "tools/chart_json.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <string_view>

#include "analysis/trend_lines.h"
#include "common/grid_scale.h"

namespace tavelund::chart {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void text(Writer& out, std::string_view value) {
  out.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void box(Writer& out, const PfChart& chart) {
  out.Key("box");
  out.StartObject();
  const auto& scale = chart.gridScale();
  out.Key("method");
  if (!scale) {
    text(out, "column percent");
    out.Key("size");
    out.Double(chart.boxFraction() * 100);
  } else {
    static constexpr std::string_view kMethods[] = {"percent", "fixed", "traditional", "atr"};
    text(out, kMethods[static_cast<int>(scale->kind)]);
    out.Key("scale");
    text(out, gridScaleText(*scale));
    out.Key("size");
    // The percent, the box in price units (an ATR box once resolved), or
    // null for the table's steps.
    if (scale->kind == GridScale::Kind::percent || scale->kind == GridScale::Kind::fixed)
      out.Double(scale->value);
    else if (scale->kind == GridScale::Kind::atr && chart.grid())
      out.Double(chart.grid()->step());
    else
      out.Null();
  }
  out.EndObject();
}

void columns(Writer& out, const analysis::Report& report, const PfChart& chart) {
  out.Key("columns");
  out.StartArray();
  const ColumnList all = chart.columns();
  const ColumnList snapshots = chart.snapshots();
  for (const analysis::ColumnTrace& trace : report.history.columns) {
    // The newest is the snapshot shown; the others stand as built.
    const bool newest = &trace == &report.history.columns.back();
    PfColumn column;
    if (newest && !snapshots.empty()) {
      const size_t k = static_cast<size_t>(std::max(report.history.snapshot, 0));
      column = snapshots[std::min(k, snapshots.size() - 1)];
    } else {
      column = all[static_cast<size_t>(trace.number + 1)];
    }
    const bool rising = column.direction > 0;
    double top = 0, bottom = 0;
    if (chart.grid()) {
      top = chart.grid()->level(std::max(column.startLevel, column.endLevel));
      bottom = chart.grid()->level(std::min(column.startLevel, column.endLevel));
    } else {
      // The outer edges of the first and the last box.
      top = rising ? column.endBoxPrice : column.basePrice;
      bottom = rising ? column.basePrice : column.endBoxPrice;
    }
    out.StartObject();
    out.Key("number");
    out.Int(column.number);
    out.Key("type");
    text(out, rising ? "X" : "O");
    out.Key("boxes");
    out.Int(column.boxes.size());
    out.Key("top");
    out.Double(top);
    out.Key("bottom");
    out.Double(bottom);
    out.Key("start");
    text(out, column.startPoint.text);
    out.Key("end");
    text(out, column.endPoint.text);
    out.EndObject();
  }
  out.EndArray();
}

void signal(Writer& out, const analysis::Signal& s) {
  out.StartObject();
  out.Key("time");
  text(out, s.time);
  out.Key("column");
  out.Int(s.columnNumber);
  out.Key("side");
  text(out, analysis::sideName(s.side));
  out.Key("kind");
  text(out, analysis::kindName(s.kind));
  out.Key("price");
  out.Double(s.price);
  out.EndObject();
}

const char* stateName(analysis::Objective::State state) {
  switch (state) {
    case analysis::Objective::State::pending:
      return "pending";
    case analysis::Objective::State::cancelled:
      return "cancelled";
    default:
      return "active";
  }
}

void objective(Writer& out, const char* name, const analysis::Report& report,
               const std::optional<analysis::Objective>& o) {
  out.Key(name);
  if (!o) {
    out.Null();
    return;
  }
  const auto& columns = report.history.columns;
  out.StartObject();
  out.Key("state");
  text(out, stateName(o->state));
  out.Key("price");
  out.Double(o->price);
  out.Key("boxes");
  out.Int64(o->boxes);
  out.Key("factor");
  out.Int(o->factor);
  out.Key("from");
  out.Double(o->fromPrice);
  out.Key("fromColumn");
  out.Int(columns[static_cast<size_t>(o->countColumn)].number);
  out.Key("signalColumn");
  out.Int(columns[static_cast<size_t>(o->signalColumn)].number);
  out.EndObject();
}

void price(Writer& out, const char* name, const std::optional<double>& value) {
  out.Key(name);
  if (value)
    out.Double(*value);
  else
    out.Null();
}

void analysisObject(Writer& out, const analysis::Report& report) {
  out.StartObject();
  out.Key("status");
  if (report.status) {
    signal(out, *report.status);
  } else {
    out.Null();
  }
  out.Key("trendLine");
  if (const auto line = analysis::currentLine(report.lines)) {
    out.StartObject();
    out.Key("kind");
    text(out, analysis::lineName(line->kind));
    out.Key("fromColumn");
    out.Int(report.history.columns[static_cast<size_t>(line->startColumn)].number);
    out.Key("drawnAtColumn");
    out.Int(report.history.columns[static_cast<size_t>(line->drawnAt)].number);
    out.Key("priceNow");
    out.Double(report.history.price(
        line->levelAt(static_cast<int64_t>(report.history.columns.size()) - 1)));
    out.EndObject();
  } else {
    out.Null();
  }
  out.Key("objectives");
  out.StartObject();
  objective(out, "bullish", report, report.bullish);
  objective(out, "bearish", report, report.bearish);
  out.EndObject();
  out.Key("horizontalCounts");
  out.StartObject();
  objective(out, "bullish", report, report.bullishHorizontal);
  objective(out, "bearish", report, report.bearishHorizontal);
  out.EndObject();
  out.Key("triggers");
  out.StartObject();
  price(out, "nextBox", report.triggers.nextBox);
  price(out, "reversal", report.triggers.reversal);
  price(out, "buySignal", report.triggers.buySignal);
  price(out, "sellSignal", report.triggers.sellSignal);
  out.EndObject();
  out.EndObject();
}

}  // namespace

std::string chartJson(const PfChart& chart, const analysis::Report& report) {
  rapidjson::StringBuffer buffer;
  Writer out(buffer);
  out.StartObject();
  out.Key("version");
  out.Int(kJsonVersion);
  box(out, chart);
  out.Key("reversal");
  out.Int(chart.reversal());
  out.Key("construction");
  text(out, !chart.gridScale() ? "original" : chart.highLowMethod() ? "high-low" : "close");
  columns(out, report, chart);
  out.Key("signals");
  out.StartArray();
  for (const analysis::Signal& s : report.signals) signal(out, s);
  out.EndArray();
  out.Key("analysis");
  analysisObject(out, report);
  out.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

std::string analysisJson(const analysis::Report& report) {
  rapidjson::StringBuffer buffer;
  Writer out(buffer);
  analysisObject(out, report);
  return std::string(buffer.GetString(), buffer.GetSize());
}

std::string scanJson(const std::vector<ScanRow>& rows) {
  rapidjson::StringBuffer buffer;
  Writer out(buffer);
  out.StartArray();
  for (const ScanRow& row : rows) {
    out.StartObject();
    out.Key("file");
    text(out, row.file);
    out.Key("symbol");
    text(out, row.symbol);
    out.Key("timeframe");
    if (row.timeframe.empty())
      out.Null();
    else
      text(out, row.timeframe);
    if (!row.error.empty()) {
      out.Key("error");
      text(out, row.error);
      out.EndObject();
      continue;
    }
    out.Key("last");
    out.Double(row.last);
    out.Key("newestSignal");
    if (row.newest) {
      signal(out, *row.newest);
      out.Key("newestSignalInNewestBar");
      out.Bool(row.newestInNewestBar);
    } else {
      out.Null();
    }
    out.Key("analysis");
    out.RawValue(row.analysisJson.data(), row.analysisJson.size(), rapidjson::kObjectType);
    out.EndObject();
  }
  out.EndArray();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

}  // namespace tavelund::chart
