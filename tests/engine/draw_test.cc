// Drawn charts, derived by hand for small price paths (reversal 3, 1 %
// boxes, 2 decimals).
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "chart_test_util.h"
#include "engine/chart_layout.h"
#include "engine/last_line.h"
#include "engine/pf_chart.h"

namespace tavelund {
namespace {

using testing_util::path;

const std::string kRule = std::string(96, '-') + "\n";

class Drawing : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.reversal = 3;
    settings.showColumns = 30;
    chart.applySettings(settings, 2);
  }
  void add(std::initializer_list<double> prices) {
    chart.update(path(prices, static_cast<int32_t>(chart.points().size())), settings);
  }
  std::string drawn(int32_t offset = 0) {
    settings.moveView(offset);
    std::ostringstream out;
    layout = drawing.draw(out, chart, settings);
    return out.str();
  }
  const PfColumn& newestShown() const { return layout.columns.back().column; }
  PfChart chart;
  ChartSettings settings;
  ChartDrawing drawing;
  ChartLayout layout;
};

TEST_F(Drawing, EmptyChartIsFourEmptyLinesAndTheRule) {
  EXPECT_EQ("\n\n\n\n" + kRule, drawn());
  EXPECT_TRUE(layout.columns.empty());
}

TEST_F(Drawing, UndecidedColumnHasNoBoxesLabelsOrMarkers) {
  add({100.0});
  EXPECT_EQ(".\n.\n.\n\n" + kRule, drawn());
  EXPECT_EQ(0, drawing.nowMarker().row);
  EXPECT_EQ("", drawing.nowMarker().text);
}

TEST_F(Drawing, RisingColumnWithLabelsAndMarkers) {
  add({100.0, 104.4});
  // Four X boxes from 100 to 104; the reversal lies at 104.4 - 3 x 1.044.
  EXPECT_EQ(
      ".   105.00 (+1.00%)\n"
      "X   104.00 (+0.00%) * 104.40 (Now) \n"
      "X   103.00 (-1.00%)\n"
      "X   102.00 (-2.00%)\n"
      "X   101.00 (-3.00%) > 101.27 (Reversal)\n"
      ".   100.00 (-4.00%)\n"
      "\n" +
          kRule,
      drawn());
  ASSERT_EQ(7u, layout.rowLabels.size());  // the last one is never printed
  EXPECT_EQ("   99.00 (-5.00%)", layout.rowLabels.back());
}

TEST_F(Drawing, ReversalShowsTheOldColumnUntilTheNextPoint) {
  add({100.0, 104.4, 100.4});
  // The reversal's snapshot is the X column as it stood.
  const std::string atReversal = drawn();
  EXPECT_EQ(1u, layout.columns.size());
  EXPECT_EQ(1, newestShown().direction);
  EXPECT_NE(std::string::npos, atReversal.find("X   104.00 (+0.00%) * 104.40 (Now) \n"));

  add({101.0});  // changes nothing
  // O column: 3 boxes of 1.044 below 104.4, bottom edge 101.268; it starts
  // one row below the X column's top.
  EXPECT_EQ(
      "..   105.44 (+4.00%)\n"
      "X.   104.40 (+3.00%) > 103.41 (Reversal)\n"
      "XO   103.36 (+2.00%)\n"
      "XO   102.31 (+1.00%)\n"
      "XO   101.27 (+0.00%) * 101.00 (Now)\n"
      "..   100.22 (-1.00%)\n"
      "\n" +
          kRule,
      drawn());
  EXPECT_EQ(2, layout.shown());
  EXPECT_EQ(2, layout.columns.back().startRow);
  EXPECT_EQ(0, layout.columns.back().endRow);

  add({104.0});  // back up: 103.41 reached, 3 X of 1.004 from 100.4
  add({104.0});
  // The X column starts one row above the O column's bottom; its reversal
  // marker lies three rows below its top.
  EXPECT_EQ(
      "...   104.42 (+1.00%)\n"
      "X.X   103.41 (+0.00%) * 104.00 (Now) \n"
      "XOX   102.41 (-1.00%)\n"
      "XOX   101.40 (-2.00%)\n"
      "XO.   100.40 (-3.00%) > 100.88 (Reversal)\n"
      "...   99.40 (-4.00%)\n"
      "\n" +
          kRule,
      drawn());
}

TEST_F(Drawing, ShowColumnsOneDrawsOnlyTheSnapshotColumn) {
  settings.showColumns = 1;
  chart.applySettings(settings, 2);
  add({100.0, 104.4, 100.4, 101.0});
  // The reversal marker would lie above the grid and is not printed.
  EXPECT_EQ(
      ".   104.40 (+3.00%)\n"
      "O   103.36 (+2.00%)\n"
      "O   102.31 (+1.00%)\n"
      "O   101.27 (+0.00%) * 101.00 (Now)\n"
      ".   100.22 (-1.00%)\n"
      "\n" +
          kRule,
      drawn());
}

TEST_F(Drawing, OffsetsAtAndBeyondTheLimit) {
  add({100.0, 104.4, 100.4, 101.0});
  const std::string newest = drawn(0);
  ASSERT_EQ(3, settings.viewOffsetLimit());
  // At the limit: the chart after the first point, an undecided column; the
  // markers keep what the last drawing set.
  EXPECT_EQ(".\n. * 101.00 (Now)\n.\n\n" + kRule, drawn(3));
  EXPECT_EQ(0, newestShown().lastPoint.index);
  // One back: the X column after the second point.
  EXPECT_NE(std::string::npos, drawn(2).find("X   104.00 (+0.00%) * 104.40 (Now) \n"));
  // Beyond the limit, and negative: the newest state.
  EXPECT_EQ(newest, drawn(4));
  EXPECT_EQ(newest, drawn(1000000));
  EXPECT_EQ(newest, drawn(-1));
  EXPECT_EQ(newest, drawn(INT32_MIN));
  EXPECT_EQ(101.0, chart.lastLineColumn(0).lastPoint.price);
  EXPECT_EQ(100.0, chart.lastLineColumn(3).lastPoint.price);
  EXPECT_EQ(101.0, chart.lastLineColumn(4).lastPoint.price);
  EXPECT_EQ(101.0, chart.lastLineColumn(-7).lastPoint.price);
  EXPECT_EQ(-1, PfChart().lastLineColumn(0).startPoint.index);
}

TEST_F(Drawing, AbsurdPricesDoNotExhaustMemory) {
  // A zero first price makes boxes of size 0: the count saturates and the
  // chart is too tall to draw, which is said instead of drawn.
  add({0.0, 1.0});
  EXPECT_EQ(INT32_MAX, chart.columns().back().boxes.size());
  const std::string text = drawn();
  EXPECT_EQ(0u, text.find("    CHART TOO TALL TO DRAW : "));
  EXPECT_EQ(kRule, text.substr(text.size() - kRule.size()));
}

// The layout value against the text drawn from it, over random walks,
// offsets and column counts: each column's rows follow the row rule, each
// drawn cell is the glyph its column's rows give, each line ends with its
// label.
TEST(ChartLayout, RowsCellsAndLabelsAreThoseDrawn) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    std::mt19937 random(seed);
    std::vector<PricePoint> points;
    double price = 100;
    for (int32_t i = 0; i < 400; ++i) {
      price *= 1 + std::uniform_real_distribution<double>(-0.02, 0.02)(random);
      points.push_back(testing_util::point(i, price));
    }
    ChartSettings settings;
    settings.reversal = 3 + static_cast<int32_t>(seed % 3);
    PfChart chart;
    chart.applySettings(settings, 2);
    chart.update(points, settings);
    const int32_t limit = settings.viewOffsetLimit();
    for (const int32_t columns : {1, 7, 30}) {
      for (const int32_t offset : {0, 1, limit / 3, limit}) {
        settings.showColumns = columns;
        settings.moveView(offset);
        std::ostringstream out;
        const ChartLayout layout = ChartDrawing().draw(out, chart, settings);
        const std::string where = "seed " + std::to_string(seed) + " columns " +
                                  std::to_string(columns) + " offset " + std::to_string(offset);
        ASSERT_LE(layout.shown(), columns) << where;
        ASSERT_FALSE(layout.tooTall) << where;
        for (int32_t i = 0; i < layout.shown(); ++i) {
          const LaidColumn& laid = layout.columns[static_cast<size_t>(i)];
          if (laid.column.direction == 0) continue;
          EXPECT_EQ(laid.topRow() - laid.bottomRow() + 1, laid.column.boxes.size()) << where;
          if (i == 0) {
            EXPECT_EQ(0, laid.startRow) << where;
            continue;
          }
          const LaidColumn& before = layout.columns[static_cast<size_t>(i - 1)];
          EXPECT_EQ(laid.column.direction > 0 ? before.bottomRow() + 1 : before.topRow() - 1,
                    laid.startRow)
              << where;
        }
        std::vector<std::string> lines;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        ASSERT_EQ(static_cast<size_t>(layout.rowCount) + 4, lines.size()) << where;
        for (int32_t r = 0; r < layout.rowCount; ++r) {
          const std::string& line = lines[static_cast<size_t>(layout.rowCount - r)];
          const int32_t row = layout.minRow + r;
          for (int32_t i = 0; i < layout.shown(); ++i) {
            const LaidColumn& laid = layout.columns[static_cast<size_t>(i)];
            const bool boxed =
                laid.column.direction != 0 && laid.bottomRow() <= row && row <= laid.topRow();
            const char glyph = boxed ? (laid.column.direction > 0 ? 'X' : 'O') : '.';
            ASSERT_EQ(glyph, line[static_cast<size_t>(i)]) << where << " row " << row;
          }
          if (layout.rowLabels.empty()) continue;  // an undecided newest column
          const std::string& label = layout.rowLabels.at(static_cast<size_t>(layout.rowCount - r));
          EXPECT_EQ(label, line.substr(static_cast<size_t>(layout.shown()), label.size())) << where;
        }
      }
    }
  }
}

TEST(LastLine, Texts) {
  EXPECT_EQ(lastLineText("", 0, "", 0, 5), "LAST LINE : (0.00000) => (0.00000)");
  EXPECT_EQ(lastLineText("2024/01/02 10:15", 1.2345, "2024/01/03 00:00", 1.5, 5),
            "LAST LINE : 2024/01/02 10:15(1.23450) => 2024/01/03 00:00(1.50000)");
  EXPECT_EQ(lastLineText("a", 1234.5, "b", 99.96, 0), "LAST LINE : a(1234) => b(100)");
}

TEST_F(Drawing, LastLineOfTheShownColumnAndTheRule) {
  std::ostringstream none;
  writeLastLine(none, chart, 0, 5);
  EXPECT_EQ("LAST LINE : (0.00000) => (0.00000)\n" + kRule, none.str());
  add({100.0, 104.4, 101.0});
  std::ostringstream newest, first;
  writeLastLine(newest, chart, 0, 2);
  writeLastLine(first, chart, 2, 2);
  EXPECT_EQ("LAST LINE : 2024/03/05 09:0(100.00) => 2024/03/05 09:2(101.00)\n" + kRule,
            newest.str());
  EXPECT_EQ("LAST LINE : 2024/03/05 09:0(100.00) => 2024/03/05 09:0(100.00)\n" + kRule,
            first.str());
}

}  // namespace
}  // namespace tavelund
