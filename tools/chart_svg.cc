#include "tools/chart_svg.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include "common/number_text.h"
#include "common/whole_file.h"
#include "engine/last_line.h"

namespace tavelund::chart {
namespace {

constexpr int kCell = 14;
constexpr int kLeft = 12;
constexpr int kTop = 64;  // caption, year and month rows above the grid
constexpr int kLabelGap = 8;
constexpr double kCharWidth = 6.1;  // of the 10 px monospace labels

const char* const kGreen = "#1a7f37";
const char* const kRed = "#cf222e";
const char* const kSupport = "#0969da";
const char* const kResistance = "#bc4c00";

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        out += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? '?' : c;
    }
  }
  return out;
}

std::string trimmedLeft(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

class Picture {
 public:
  Picture(const ChartLayout& layout, const analysis::Report& report)
      : layout_(layout),
        report_(report),
        // Every shown column is in the history (only a lone first column
        // can be undecided), the newest last.
        placed_(!layout.columns.empty() && report.history.columns.size() >= layout.columns.size()),
        firstShown_(static_cast<int64_t>(report.history.columns.size()) -
                    static_cast<int64_t>(layout.columns.size())) {}

  // Display row 0 is the label line above the grid; grid row r is display
  // row rowCount - r; the label line below is display row rowCount + 1.
  double rowY(int64_t gridRow) const {
    return kTop + static_cast<double>(layout_.rowCount - gridRow) * kCell;
  }
  // Shown columns from 0, the oldest, at the left.
  double columnX(int64_t shown) const { return kLeft + static_cast<double>(shown) * kCell; }
  double gridRight() const { return columnX(layout_.shown()); }
  double gridBottom() const { return kTop + static_cast<double>(layout_.rowCount + 2) * kCell; }
  // The newest shown column 0, as the signal markers are ordered.
  int32_t fromNewest(int64_t shown) const {
    return layout_.shown() - 1 - static_cast<int32_t>(shown);
  }

  void frame(std::ostream& out, const std::string& caption, double width, double height) const {
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height << "\">\n"
        << "<title>Point-and-figure chart</title>\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
        << "<text x=\"" << kLeft << "\" y=\"16\" font-family=\"monospace\" font-size=\"11\">"
        << escaped(caption) << "</text>\n"
        << "<defs><clipPath id=\"grid\"><rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\""
        << gridRight() - kLeft << "\" height=\"" << gridBottom() - kTop
        << "\"/></clipPath></defs>\n";
  }

  void grid(std::ostream& out) const {
    out << "<path class=\"grid\" fill=\"none\" stroke=\"#d0d7de\" stroke-width=\"0.5\" d=\"";
    for (int32_t i = 0; i <= layout_.shown(); ++i) {
      const double x = kLeft + static_cast<double>(i) * kCell;
      out << 'M' << x << ' ' << kTop << 'V' << gridBottom();
    }
    for (int32_t i = 0; i <= layout_.rowCount + 2; ++i) {
      const double y = kTop + static_cast<double>(i) * kCell;
      out << 'M' << kLeft << ' ' << y << 'H' << gridRight();
    }
    out << "\"/>\n";
  }

  void boxes(std::ostream& out) const {
    const int digits = layout_.digits;
    for (size_t i = 0; i < layout_.columns.size(); ++i) {
      const LaidColumn& laid = layout_.columns[i];
      const PfColumn& column = laid.column;
      if (column.direction == 0) continue;
      const std::string& cells = layout_.cells[i];
      const double x = columnX(static_cast<int64_t>(i));
      for (int32_t r = 0; r < layout_.rowCount; ++r) {
        const char cell = cells[static_cast<size_t>(r)];
        if (cell != 'X' && cell != 'O') continue;
        const int64_t row = int64_t{r} + layout_.minRow;
        analysis::PriceRange range;
        if (layout_.grid) {
          // A box on a grid spans its level up to the next one.
          const int64_t level = column.endLevel + (row - laid.endRow);
          range = {layout_.grid->level(level), layout_.grid->level(level + 1)};
        } else {
          range = analysis::boxRange(column, laid.startRow, row);
        }
        const std::string title = "column " + std::to_string(column.number) + ": " +
                                  fixedText(range.low, digits) + " - " +
                                  fixedText(range.high, digits);
        const double y = rowY(r);
        if (cell == 'X') {
          out << "<g class=\"x\"><title>" << title << "</title><path d=\"M" << x + 3 << ' ' << y + 3
              << 'L' << x + kCell - 3 << ' ' << y + kCell - 3 << 'M' << x + 3 << ' '
              << y + kCell - 3 << 'L' << x + kCell - 3 << ' ' << y + 3 << "\" stroke=\"" << kGreen
              << "\" stroke-width=\"1.8\" stroke-linecap=\"round\"/></g>\n";
        } else {
          out << "<g class=\"o\"><title>" << title << "</title><circle cx=\"" << x + kCell / 2.0
              << "\" cy=\"" << y + kCell / 2.0 << "\" r=\"" << kCell / 2.0 - 2.5 << "\" stroke=\""
              << kRed << "\" stroke-width=\"1.8\" fill=\"none\"/></g>\n";
        }
      }
    }
  }

  // The text chart's labels and markers, line by line.
  double labels(std::ostream& out) const {
    size_t longest = 0;
    const double x = gridRight() + kLabelGap;
    const ChartMarker now = layout_.nowMarker.value_or(ChartMarker{});
    const ChartMarker reversal = layout_.reversalMarker.value_or(ChartMarker{});
    for (int32_t i = 0; i <= layout_.rowCount + 1; ++i) {
      if (static_cast<size_t>(i) >= layout_.rowLabels.size()) break;
      std::string text = trimmedLeft(layout_.rowLabels[static_cast<size_t>(i)]);
      const int64_t r = int64_t{layout_.rowCount} - i;
      if (i >= 1 && i <= layout_.rowCount) {
        if (r == now.row) text += now.text;
        if (r == reversal.row) text += reversal.text;
      }
      longest = std::max(longest, text.size());
      out << "<text class=\"label\" x=\"" << x << "\" y=\"" << kTop + i * kCell + kCell - 3.5
          << "\" font-family=\"monospace\" font-size=\"10\" fill=\"#24292f\">" << escaped(text)
          << "</text>\n";
    }
    return x + static_cast<double>(longest) * kCharWidth;
  }

  void trendLines(std::ostream& out) const {
    if (!placed_) return;
    const auto newest = static_cast<int32_t>(report_.history.columns.size()) - 1;
    out << "<g clip-path=\"url(#grid)\">\n";
    for (const analysis::TrendLine& line : report_.lines) {
      const int32_t from = std::max(line.startColumn, static_cast<int32_t>(firstShown_));
      const int32_t to = line.endColumn(newest);
      if (from > to) continue;
      const bool support = line.kind == analysis::LineKind::BullishSupport;
      auto centre = [&](int32_t column) {
        const int64_t r = layout_.cellRow(analysis::lineRow(report_.history, line, column));
        return std::make_pair(columnX(column - firstShown_) + kCell / 2.0, rowY(r) + kCell / 2.0);
      };
      const auto [x1, y1] = centre(from);
      const auto [x2, y2] = centre(to);
      out << "<line class=\"" << (support ? "support" : "resistance") << "\" x1=\"" << x1
          << "\" y1=\"" << y1 << "\" x2=\"" << x2 << "\" y2=\"" << y2 << "\" stroke=\""
          << (support ? kSupport : kResistance)
          << "\" stroke-width=\"1.5\" stroke-dasharray=\"4 2\"><title>"
          << analysis::lineName(line.kind) << "</title></line>\n";
    }
    out << "</g>\n";
  }

  // One marker per box that completed signals, named by its most specific
  // kind (the later in the list of kinds: a triple top over the double
  // top it also is); the title lists them all.
  void signals(std::ostream& out) const {
    if (!placed_) return;
    struct AtBox {
      std::vector<const analysis::Signal*> signals;
      const analysis::Signal* named = nullptr;
    };
    std::map<std::pair<int32_t, int64_t>, AtBox> boxes;
    const auto shown = analysis::shownSignals(report_.history, report_.signals);
    for (const analysis::Signal& signal : shown) {
      const int64_t shown = signal.column - firstShown_;
      if (shown < 0 || shown >= layout_.shown()) continue;
      AtBox& at = boxes[{fromNewest(shown), layout_.cellRow(signal.row)}];
      at.signals.push_back(&signal);
      if (!at.named || signal.kind > at.named->kind) at.named = &signal;
    }
    const int digits = report_.history.digits;
    for (const auto& [where, at] : boxes) {
      const bool buy = at.named->side == analysis::Side::Buy;
      const char* colour = buy ? kGreen : kRed;
      const double x = columnX(fromNewest(where.first)) + kCell;
      const double y = rowY(where.second);
      out << "<g class=\"signal\"><title>";
      for (const analysis::Signal* signal : at.signals) {
        out << escaped(signal->time) << ' ' << fixedText(signal->price, digits) << ' '
            << analysis::sideName(signal->side) << ' ' << analysis::kindName(signal->kind)
            << (signal == at.signals.back() ? "" : "&#10;");
      }
      out << "</title><circle cx=\"" << x << "\" cy=\"" << y << "\" r=\"2.5\" fill=\"" << colour
          << "\"/><text x=\"" << x + 3 << "\" y=\"" << y - 3
          << "\" font-family=\"sans-serif\" font-size=\"8\" fill=\"" << colour
          << "\" stroke=\"#ffffff\" stroke-width=\"2.5\" paint-order=\"stroke\">"
          << analysis::kindName(at.named->kind);
      if (at.signals.size() > 1) out << " +" << at.signals.size() - 1;
      out << "</text></g>\n";
    }
  }

  // The month of each column's first point above it; the year where it
  // changes.
  void months(std::ostream& out) const {
    if (!placed_) return;
    std::string lastYear;
    for (int64_t shown = 0; shown < layout_.shown(); ++shown) {
      const int64_t index = firstShown_ + shown;
      const analysis::ColumnTrace* trace = report_.history.at(index);
      const auto first = trace && !trace->steps.empty()
                             ? report_.history.point(trace->steps[0].point)
                             : std::nullopt;
      if (!first) continue;
      const std::string_view time = first->text;
      if (time.size() < 7) continue;
      const std::string year(time.substr(0, 4));
      std::string month(time.substr(5, 2));
      if (month.front() == '0') month.erase(0, 1);
      const double x = columnX(shown) + kCell / 2.0;
      if (year != lastYear) {
        out << "<text class=\"year\" x=\"" << columnX(shown) << "\" y=\"" << kTop - 18
            << "\" font-family=\"sans-serif\" font-size=\"8\" fill=\"#57606a\">" << escaped(year)
            << "</text>\n";
        lastYear = year;
      }
      out << "<text class=\"month\" x=\"" << x << "\" y=\"" << kTop - 5
          << "\" text-anchor=\"middle\" font-family=\"sans-serif\" font-size=\"8\" "
             "fill=\"#57606a\">"
          << escaped(month) << "</text>\n";
    }
  }

 private:
  const ChartLayout& layout_;
  const analysis::Report& report_;
  bool placed_;
  int64_t firstShown_;  // the history index of the oldest shown column
};

}  // namespace

bool chartSvg(const ChartLayout& layout, const analysis::Report& report, std::string& svg,
              std::string& error) {
  if (layout.tooTall) {
    error = "the chart is too tall to draw (" + std::to_string(layout.rowCount) + " rows)";
    return false;
  }
  std::ostringstream caption;
  // The column the layout shows last is the snapshot of the last line.
  writeLastLine(caption, layout.columns.empty() ? PfColumn{} : layout.columns.back().column,
                layout.digits);
  std::string captionText = caption.str();
  captionText = captionText.substr(0, captionText.find('\n'));

  const Picture picture(layout, report);
  std::ostringstream body;
  body.setf(std::ios::fixed);
  body.precision(1);
  picture.grid(body);
  picture.months(body);
  picture.boxes(body);
  picture.trendLines(body);
  picture.signals(body);
  const double labelsEnd = picture.labels(body);
  const double width =
      std::max(labelsEnd, kLeft + static_cast<double>(captionText.size()) * 6.6) + kLeft;
  const double height = picture.gridBottom() + kLeft;

  std::ostringstream out;
  out.setf(std::ios::fixed);
  out.precision(1);
  picture.frame(out, captionText, width, height);
  out << body.str() << "</svg>\n";
  svg = out.str();
  return true;
}

bool writeWholeFile(const std::string& path, const std::string& text, std::string& error) {
  // "chart.svg.k3x9q0za.part" while it is being written: a name nobody can
  // plant a link at beforehand, in /tmp as anywhere.
  if (tavelund::writeWholeFile(std::filesystem::path(path), text, kPartFileForm)) return true;
  error = path + ": cannot write the file";
  return false;
}

}  // namespace tavelund::chart
