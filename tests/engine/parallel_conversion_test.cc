// The full conversion read on several threads must give what one thread
// gives: the same records, points, progress text, and from them the same
// columns, snapshots and drawn screens, also after the refreshes that follow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>
#include <thread>
#include <string>

#include "engine/chart_layout.h"
#include "engine/pf_chart.h"
#include "intake/tick_intake.h"

namespace tavelund {
namespace {

// Timeline text of a random price path that trends up or down, with or
// without now and then a line that is no price line (so that the parts have
// gaps to close, or none).
class TimelineMaker {
 public:
  TimelineMaker(uint32_t seed, double trend, bool junk)
      : random_(seed), trend_(trend), junk_(junk) {}

  std::string lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line();
    return text;
  }

  std::string line() {
    ++minute_;
    switch (junk_ ? random_() % 40 : 4) {
      case 0:
        return "junk\n";
      case 1:
        return "\n";
      case 2:
        return priceLine(0.0, 1.0, 1.0, 1.0);  // a zero price: no record
      case 3:
        return priceLine(1.0, 1.0, -1.0, 1.0);
      default:
        break;
    }
    const double open = price_;
    double high = open, low = open;
    for (int i = 0; i < 4; ++i) {
      price_ = std::max(0.5, price_ * (1 + trend_ + step_(random_)));
      high = std::max(high, price_);
      low = std::min(low, price_);
    }
    return priceLine(open, high, low, price_);
  }

  // The newest line again with another close, as the MT5 side rewrites it.
  std::string newestAgain() {
    price_ *= 1 + step_(random_);
    return priceLine(price_, price_ * 1.001, price_ * 0.999, price_);
  }

 private:
  std::string priceLine(double open, double high, double low, double close) const {
    char text[128];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:07.123,%.5f,%.5f,%.5f,%.5f\n",
                  2020 + minute_ / 40320, 1 + minute_ / 1440 / 28 % 12, 1 + minute_ / 1440 % 28,
                  minute_ / 60 % 24, minute_ % 60, open, high, low, close);
    return text;
  }

  std::mt19937 random_;
  std::normal_distribution<double> step_{0.0, 0.002};
  double trend_;
  bool junk_;
  double price_ = 100;
  int minute_ = 0;
};

void expectSameIntake(const TickIntake& one, const TickIntake& many) {
  ASSERT_EQ(one.recordList.size(), many.recordList.size());
  for (size_t i = 0; i < one.recordList.size(); ++i) {
    const PriceRecord& a = one.recordList[i];
    const PriceRecord& b = many.recordList[i];
    ASSERT_EQ(a.minuteText, b.minuteText) << i;
    ASSERT_EQ(a.minuteKey, b.minuteKey) << i;
    ASSERT_TRUE(a.open == b.open && a.high == b.high && a.low == b.low && a.close == b.close) << i;
  }
  ASSERT_EQ(one.pointList.size(), many.pointList.size());
  for (size_t i = 0; i < one.pointList.size(); ++i) {
    const PricePoint& a = one.pointList[i];
    const PricePoint& b = many.pointList[i];
    ASSERT_TRUE(a.index == b.index && a.text == b.text && a.minuteKey == b.minuteKey &&
                a.kind == b.kind && a.price == b.price && a.recordIndex == b.recordIndex)
        << i;
  }
  ASSERT_EQ(one.batchPointList.size(), many.batchPointList.size());
  ASSERT_EQ(one.batchPointList.first(), many.batchPointList.first());
}

void expectSamePoint(const ColumnPoint& a, const ColumnPoint& b) {
  EXPECT_TRUE(a.text == b.text && a.kind == b.kind && a.minuteKey == b.minuteKey &&
              a.price == b.price && a.index == b.index && a.recordIndex == b.recordIndex);
}

void expectSameColumns(const ColumnList& one, const ColumnList& many) {
  ASSERT_EQ(one.size(), many.size());
  for (size_t i = 0; i < one.size(); ++i) {
    const PfColumn a = one[i], b = many[i];
    ASSERT_TRUE(a.number == b.number && a.boxes == b.boxes && a.percentText == b.percentText &&
                a.direction == b.direction && a.extremePrice == b.extremePrice &&
                a.reversalPrice == b.reversalPrice && a.boxSize == b.boxSize &&
                a.basePrice == b.basePrice && a.endBoxPrice == b.endBoxPrice)
        << i;
    expectSamePoint(a.startPoint, b.startPoint);
    expectSamePoint(a.endPoint, b.endPoint);
    expectSamePoint(a.lastPoint, b.lastPoint);
    if (::testing::Test::HasFailure()) return;
  }
}

// Every screen the viewer can show: each view offset, newest to oldest.
std::string everyScreen(PfChart& chart, ChartSettings& settings) {
  std::ostringstream out;
  ChartDrawing drawing;
  for (int32_t offset = 0; offset <= settings.viewOffsetLimit(); ++offset) {
    settings.moveView(offset);
    drawing.draw(out, chart, settings);
  }
  return out.str();
}

struct Viewing {
  TickIntake intake;
  PfChart chart;
  ChartSettings settings;
  std::ostringstream progress;

  bool readsTheIntake;

  Viewing(bool shareThePoints, int32_t reversal) : readsTheIntake(shareThePoints) {
    settings.reversal = reversal;
    settings.showColumns = 6;
    settings.digits = 3;
  }
  void convert(const std::string& text, bool expand, unsigned threads) {
    convertTimeline(intake, text, expand, ConsolePort{&progress, nullptr},
                    threads);
    chart.applySettings(settings, settings.digits);
    if (readsTheIntake) {
      chart.update(intake.batchPointList, settings);
    } else {
      std::vector<PricePoint> copies;
      for (size_t i = 0; i < intake.batchPointList.size(); ++i)
        copies.push_back(intake.batchPointList[i]);
      chart.update(copies, settings);
    }
  }
};

TEST(ParallelConversion, SameListsColumnsSnapshotsAndScreensAsOneThread) {
  int trial = 0;
  for (double trend : {0.0004, -0.0004, 0.0}) {
    for (bool expand : {false, true}) {
      for (unsigned threads : {2u, 5u}) {
        ++trial;
        SCOPED_TRACE("trend " + std::to_string(trend) + (expand ? " expanded" : "") + ", " +
                     std::to_string(threads) + " threads");
        TimelineMaker maker(static_cast<uint32_t>(trial), trend, trend <= 0);
        std::string text = maker.lines(1100 + trial * 37);
        const int32_t reversal = 3 + trial % 3;
        // The chart of the one-thread run keeps its own points; the other
        // reads the intake's list, as the viewer does.
        Viewing one(false, reversal), many(true, reversal);
        one.convert(text, expand, 1);
        many.convert(text, expand, threads);
        ASSERT_EQ(one.progress.str(), many.progress.str());
        ASSERT_NE(std::string::npos, one.progress.str().find("CONVERSION : [ 1000 / "));
        expectSameIntake(one.intake, many.intake);
        // Refreshes: the newest bar rewritten, then new bars after it.
        for (int refresh = 0; refresh < 6; ++refresh) {
          text += refresh % 2 == 0 ? maker.newestAgain() : maker.lines(1 + refresh);
          one.convert(text, expand, 1);
          many.convert(text, expand, threads);
          expectSameIntake(one.intake, many.intake);
        }
        expectSameColumns(one.chart.columns(), many.chart.columns());
        expectSameColumns(one.chart.snapshots(), many.chart.snapshots());
        // The screens follow from the columns and snapshots; drawing every
        // one of them once per path and setting is enough.
        if (threads == 2) {
          ASSERT_EQ(everyScreen(one.chart, one.settings), everyScreen(many.chart, many.settings));
        }
        if (HasFailure()) return;
      }
    }
  }
}

// More parts than lines, lines longer than a part's share, a text without
// a final line end, or no text at all: the parts still join up.
TEST(ParallelConversion, OddTextsCutIntoManyParts) {
  const std::string line = "2024/03/05 09:07:59.999,2.00000,3.00000,1.00000,2.50000\n";
  const std::string texts[] = {"",
                               "\n",
                               line,
                               line + line + "junk",
                               line + "\n\n" + line,
                               "junk\n" + line + line.substr(0, line.size() - 1)};
  for (const std::string& text : texts) {
    for (bool expand : {false, true}) {
      TickIntake one, many;
      convertTimeline(one, text, expand, ConsolePort{}, 1);
      convertTimeline(many, text, expand, ConsolePort{}, 16);
      expectSameIntake(one, many);
    }
  }
}

// The progress total counts every line end, also in long runs of them.
TEST(ParallelConversion, ProgressTotalCountsEveryLineEnd) {
  const std::string line = "2024/03/05 09:07:59.999,2.00000,3.00000,1.00000,2.50000\n";
  std::string text;
  for (int i = 0; i < 1000; ++i) text += line + std::string(static_cast<size_t>(i % 700), '\n');
  const size_t lineEnds = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  for (unsigned threads : {1u, 3u}) {
    TickIntake intake;
    std::ostringstream out;
    convertTimeline(intake, text, false, ConsolePort{&out, nullptr}, threads);
    EXPECT_EQ(std::string(40, '\b') + "   CONVERSION : [ 1000 / " + std::to_string(lineEnds) + " ]",
              out.str());
  }
}

TEST(ParallelConversion, ThreadsFollowTheCoresAndTheTextSize) {
  EXPECT_EQ(1u, conversionThreads(0));
  EXPECT_EQ(1u, conversionThreads(1000));
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  EXPECT_EQ(cores, conversionThreads(size_t{128} << 20));
}

}  // namespace
}  // namespace tavelund
