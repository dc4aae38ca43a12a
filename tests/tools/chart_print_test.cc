// The chart printer's library: its options, the chart it builds and
// prints, the signal table, and the SVG picture's structure.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/file_text.h"
#include "tests/support/wave_bars.h"
#include "tests/support/planted_links.h"
#include "tools/chart_json.h"
#include "tools/chart_options.h"
#include "tools/chart_print.h"
#include "tools/chart_scan.h"
#include "tools/chart_svg.h"
#include "tools/feed_source.h"

namespace tavelund::chart {
namespace {

using tavelund::testing::fileText;
using tavelund::testing::linesOf;
using tavelund::testing::waveBars;

Parsed parse(std::vector<const char*> args, Options& options, std::string& error) {
  args.insert(args.begin(), "tickwell-chart");
  return parseOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(ChartOptions, TheViewersRangesAndDefaults) {
  Options options;
  std::string error;
  ASSERT_EQ(Parsed::Run, parse({"bars.csv"}, options, error)) << error;
  EXPECT_EQ(3, options.reversal);
  EXPECT_EQ(30, options.showColumns);
  EXPECT_EQ(5, options.digits);
  EXPECT_FALSE(options.dataExpand);
  EXPECT_EQ(0, options.offset);
  EXPECT_EQ("bars.csv", options.path);

  Options given;
  ASSERT_EQ(Parsed::Run, parse({"-b", "4", "-e", "-s300", "-f", "0", "--offset", "30", "--signals",
                                "--analysis", "--svg", "out.svg", "bars.csv"},
                               given, error))
      << error;
  EXPECT_EQ(4, given.reversal);
  EXPECT_TRUE(given.dataExpand);
  EXPECT_EQ(300, given.showColumns);
  EXPECT_EQ(0, given.digits);
  EXPECT_EQ(30, given.offset);
  EXPECT_TRUE(given.signals && given.analysis);
  EXPECT_EQ("out.svg", given.svgPath);

  // Outside the ranges: the viewer's defaults, as the viewer takes them.
  Options outside;
  ASSERT_EQ(Parsed::Run, parse({"-b7", "-s", "0", "-f", "-1", "x.csv"}, outside, error));
  EXPECT_EQ(3, outside.reversal);
  EXPECT_EQ(30, outside.showColumns);
  EXPECT_EQ(5, outside.digits);

  // -p and -g as the viewer takes them; the reversal's range follows -g
  // wherever it stands.
  Options grid;
  ASSERT_EQ(Parsed::Run, parse({"-b", "1", "-p2.5", "-g", "trad", "x.csv"}, grid, error));
  EXPECT_EQ(1, grid.reversal);
  EXPECT_DOUBLE_EQ(0.025, grid.boxFraction);
  ASSERT_TRUE(grid.grid);
  EXPECT_EQ("trad", gridScaleText(*grid.grid));
  Options original;
  ASSERT_EQ(Parsed::Run, parse({"-b", "1", "-p", "51", "x.csv"}, original, error));
  EXPECT_EQ(3, original.reversal);
  EXPECT_DOUBLE_EQ(0.01, original.boxFraction);
}

TEST(ChartOptions, MistakesAreNamed) {
  const std::vector<std::vector<const char*>> wrong = {
      {},
      {"-b"},
      {"-b", "abc", "x.csv"},
      {"--offset", "-1", "x.csv"},
      {"--svg"},
      {"--zoom", "x.csv"},
      {"a.csv", "b.csv"},
      {"-p", "abc", "x.csv"},
      {"-g", "atr0", "x.csv"},
      {"-g", "60%", "x.csv"},
      {"-g"},
  };
  for (const auto& args : wrong) {
    Options options;
    std::string error;
    EXPECT_EQ(Parsed::Error, parse(args, options, error)) << args.size();
    EXPECT_FALSE(error.empty());
  }
  Options options;
  std::string error;
  EXPECT_EQ(Parsed::Help, parse({"--help"}, options, error));
  EXPECT_EQ(Parsed::Version, parse({"--version"}, options, error));
}

TEST(ChartPrinter, PrintsTheLastLineTheChartAndTheRule) {
  BuiltChart built;
  buildChart(waveBars(), Options{}, built);
  std::ostringstream out;
  printChart(out, built);
  const ChartLayout layout = shownLayout(built);
  const auto lines = linesOf(out.str());
  ASSERT_GT(lines.size(), 6u);
  EXPECT_EQ(0u, lines[0].find("LAST LINE : 2002/02/22 00:00("));        // the newest column's start
  EXPECT_NE(std::string::npos, lines[0].find("=> 2002/03/08 00:00("));  // the newest bar
  EXPECT_EQ(std::string(96, '-'), lines[1]);
  // One dot per column (every column of the chart fits in 30), then the label.
  EXPECT_EQ(static_cast<size_t>(layout.shown()), lines[2].find(' '));
  EXPECT_EQ(built.chart.columns().size(), static_cast<size_t>(layout.shown()));
  EXPECT_EQ("", lines[lines.size() - 2]);
  EXPECT_EQ(std::string(96, '-'), lines.back());
  EXPECT_NE(std::string::npos, out.str().find(" (Now)"));
}

TEST(ChartPrinter, OffsetsBeyondTheOldestShowTheOldest) {
  Options options;
  options.offset = 1000000;
  BuiltChart built;
  buildChart(waveBars(), options, built);
  EXPECT_EQ(399, built.settings.viewOffset());
  std::ostringstream out;
  printChart(out, built);
  EXPECT_EQ(0u, out.str().find("LAST LINE : 2001/01/01 00:00(1002.00000) => "
                               "2001/01/01 00:00(1002.00000)\n"));
}

TEST(ChartPrinter, ExpandedBarsGiveThreePointsEach) {
  Options options;
  BuiltChart plain;
  buildChart(waveBars(50), options, plain);
  EXPECT_EQ(50u, plain.chart.points().size());
  options.dataExpand = true;
  BuiltChart expanded;
  buildChart(waveBars(50), options, expanded);
  EXPECT_EQ(150u, expanded.chart.points().size());
}

TEST(ChartPrinter, SignalTableIsCsvOldestFirst) {
  Options options;
  options.digits = 2;
  BuiltChart built;
  buildChart(waveBars(), options, built);
  const analysis::Report report = analysis::analyze(built.chart, 0);
  std::ostringstream out;
  printSignals(out, report);
  const auto lines = linesOf(out.str());
  ASSERT_GT(lines.size(), 3u);
  EXPECT_EQ("time,column,side,kind,price", lines[0]);
  const std::regex row(R"((\d{4}/\d\d/\d\d \d\d:\d\d),(-?\d+),(BUY|SELL),([A-Za-z ]+),\d+\.\d\d)");
  std::string previous;
  bool buy = false, sell = false;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(lines[i], parts, row)) << lines[i];
    EXPECT_GE(parts[1].str(), previous);
    previous = parts[1].str();
    buy |= parts[3] == "BUY";
    sell |= parts[3] == "SELL";
  }
  EXPECT_TRUE(buy && sell);
}

TEST(ChartPrinter, AnalysisTextNamesStatusLineObjectivesAndKeys) {
  BuiltChart built;
  buildChart(waveBars(), Options{}, built);
  std::ostringstream out;
  printAnalysis(out, analysis::analyze(built.chart, 0));
  const std::string text = out.str();
  EXPECT_EQ(0u, text.find("         POINT AND FIGURE ANALYSIS\n"));
  EXPECT_NE(std::string::npos, text.find("         STATUS      : "));
  EXPECT_NE(std::string::npos, text.find("         TREND LINE  : "));
  EXPECT_NE(std::string::npos, text.find("         OBJECTIVES  : BULLISH "));
  EXPECT_NE(std::string::npos, text.find("         HORIZONTAL  : BULLISH "));
  EXPECT_NE(std::string::npos, text.find("         NEXT        : BOX "));
  EXPECT_NE(std::string::npos, text.find(", SELL SIGNAL "));
  EXPECT_NE(std::string::npos, text.find("         BOX SIZE    : 1.00000 %\n"));
  EXPECT_NE(std::string::npos, text.find("         REVERSAL    : 3\n"));
  EXPECT_NE(std::string::npos, text.find("'p'          Key  : Analysis\n"));
  EXPECT_NE(std::string::npos, text.find("'t'          Key  : Trend Line On Chart\n"));
}

size_t count(const std::string& text, const std::string& what) {
  size_t found = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++found;
  return found;
}

// --json read back by a JSON parser: the settings as given, one entry per
// decided column (alternating, each box count that of its prices), the
// signals of the report; on a grid the box prices are levels.
TEST(ChartJson, ReadsBackAsTheChartAndItsAnalysis) {
  struct Case {
    std::vector<const char*> args;
    const char* construction;
    const char* method;
  };
  const Case cases[] = {{{"-p", "2", "x.csv"}, "original", "column percent"},
                        {{"-g", "2%", "x.csv"}, "close", "percent"},
                        {{"-g", "20", "-b", "2", "-e", "x.csv"}, "high-low", "fixed"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method);
    Options options;
    std::string error;
    ASSERT_EQ(Parsed::Run, parse(c.args, options, error)) << error;
    BuiltChart built;
    buildChart(waveBars(), options, built);
    const analysis::Report report = analysis::analyze(built.chart, shownLayout(built));
    rapidjson::Document json;
    json.Parse(chartJson(built.chart, report).c_str());
    ASSERT_FALSE(json.HasParseError());
    EXPECT_EQ(kJsonVersion, json["version"].GetInt());
    EXPECT_STREQ(c.construction, json["construction"].GetString());
    EXPECT_STREQ(c.method, json["box"]["method"].GetString());
    EXPECT_EQ(options.reversal, json["reversal"].GetInt());
    const auto& columns = json["columns"].GetArray();
    ASSERT_EQ(report.history.columns.size(), columns.Size());
    ASSERT_GT(columns.Size(), 3u);
    for (rapidjson::SizeType i = 0; i < columns.Size(); ++i) {
      const auto& column = columns[i];
      EXPECT_GT(column["top"].GetDouble(), column["bottom"].GetDouble());
      if (i > 0) {
        EXPECT_STRNE(columns[i - 1]["type"].GetString(), column["type"].GetString());
      }
      const double boxes = column["boxes"].GetInt();
      if (built.chart.grid() && built.chart.grid()->kind() == PriceGrid::Kind::fixed) {
        EXPECT_DOUBLE_EQ((boxes - 1) * 20,
                         column["top"].GetDouble() - column["bottom"].GetDouble());
      } else if (built.chart.grid()) {
        EXPECT_NEAR(std::pow(1.02, boxes - 1),
                    column["top"].GetDouble() / column["bottom"].GetDouble(), 1e-9);
      }
    }
    EXPECT_EQ(report.signals.size(), json["signals"].GetArray().Size());
    const auto& analysisJson = json["analysis"];
    EXPECT_EQ(report.status.has_value(), analysisJson["status"].IsObject());
    // The counts and the trigger prices as the report has them.
    const auto& vertical = analysisJson["objectives"]["bullish"];
    ASSERT_EQ(report.bullish.has_value(), vertical.IsObject());
    if (report.bullish) {
      EXPECT_EQ(report.bullish->price, vertical["price"].GetDouble());
    }
    const auto& horizontal = analysisJson["horizontalCounts"]["bullish"];
    ASSERT_EQ(report.bullishHorizontal.has_value(), horizontal.IsObject());
    if (report.bullishHorizontal) {
      EXPECT_EQ(report.bullishHorizontal->boxes, horizontal["boxes"].GetInt64());
    }
    const auto& triggers = analysisJson["triggers"];
    ASSERT_EQ(report.triggers.buySignal.has_value(), triggers["buySignal"].IsDouble());
    if (report.triggers.buySignal) {
      EXPECT_EQ(*report.triggers.buySignal, triggers["buySignal"].GetDouble());
    }
  }
}

// The price ranges in the titles of a column's glyphs, lowest first.
std::vector<std::pair<double, double>> boxRangesOf(const std::string& svg, int32_t column) {
  const std::regex title("column " + std::to_string(column) + R"(: (\d+\.\d{4}) - (\d+\.\d{4})<)");
  std::vector<std::pair<double, double>> ranges;
  for (std::sregex_iterator it(svg.begin(), svg.end(), title), end; it != end; ++it) {
    ranges.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
  }
  std::sort(ranges.begin(), ranges.end());
  return ranges;
}

TEST(ChartSvg, OneGlyphPerBoxEachWithItsOwnPriceRange) {
  Options options;
  options.digits = 4;
  BuiltChart built;
  buildChart(waveBars(), options, built);
  const ChartLayout layout = shownLayout(built);
  const analysis::Report report = analysis::analyze(built.chart, layout);
  std::string svg, error;
  ASSERT_TRUE(chartSvg(layout, report, svg, error)) << error;

  int64_t xs = 0, os = 0;
  for (const LaidColumn& laid : layout.columns) {
    (laid.column.direction > 0 ? xs : os) += laid.column.boxes.size();
  }
  EXPECT_EQ(static_cast<size_t>(xs), count(svg, "<g class=\"x\"><title>"));
  EXPECT_EQ(static_cast<size_t>(os), count(svg, "<g class=\"o\"><title>"));
  EXPECT_EQ(static_cast<size_t>(layout.shown()), count(svg, "<text class=\"month\""));
  EXPECT_LE(1u, count(svg, "<text class=\"year\""));
  EXPECT_LE(1u, count(svg, "<g class=\"signal\">"));
  EXPECT_LE(1u, count(svg, "<line class=\""));

  // The newest column's titles, bottom box first for X (top first for O):
  // its first box starts at its base price and the boxes join up.
  const PfColumn& newest = layout.columns.back().column;
  const auto ranges = boxRangesOf(svg, newest.number);
  ASSERT_EQ(static_cast<size_t>(newest.boxes.size()), ranges.size());
  for (size_t i = 0; i < ranges.size(); ++i) {
    EXPECT_NEAR(newest.boxSize, ranges[i].second - ranges[i].first, 2e-4);
    if (i > 0) {
      EXPECT_NEAR(ranges[i - 1].second, ranges[i].first, 2e-4);
    }
  }
  const double base = newest.direction > 0 ? ranges.front().first : ranges.back().second;
  EXPECT_NEAR(newest.basePrice, base, 1e-4);
}

TEST(ChartPrinter, AGridTheBarsCannotGiveIsRefusedWithItsReason) {
  for (const char* scale : {"0.00001", "atr5"}) {
    Options options;
    std::string error;
    ASSERT_EQ(Parsed::Run, parse({"-g", scale, "x.csv"}, options, error)) << error;
    BuiltChart built;
    std::vector<TimelineBar> bars = waveBars();
    if (std::string(scale) == "atr5") {
      bars.resize(6);  // flat bars: no true range to make a box of
      for (TimelineBar& bar : bars) bar.open = bar.high = bar.low = bar.close = 1000;
    }
    buildChart(bars, options, built);
    EXPECT_NE(std::string::npos, built.chart.problem().find("BOX")) << scale;
    std::ostringstream out;
    printChart(out, built);
    EXPECT_NE(std::string::npos, out.str().find("    NO CHART : BOX ")) << out.str();
  }
}

TEST(ChartSvg, OnAGridEachBoxSpansItsLevel) {
  Options options;
  std::string error;
  ASSERT_EQ(Parsed::Run, parse({"-g", "2%", "-f", "4", "x.csv"}, options, error)) << error;
  BuiltChart built;
  buildChart(waveBars(), options, built);
  const ChartLayout layout = shownLayout(built);
  std::string svg;
  ASSERT_TRUE(chartSvg(layout, analysis::analyze(built.chart, layout), svg, error)) << error;
  const PfColumn& newest = layout.columns.back().column;
  const auto ranges = boxRangesOf(svg, newest.number);
  ASSERT_EQ(static_cast<size_t>(newest.boxes.size()), ranges.size());
  const PriceGrid& grid = *built.chart.grid();
  for (size_t i = 0; i < ranges.size(); ++i) {
    const int64_t level = std::min(newest.startLevel, newest.endLevel) + static_cast<int64_t>(i);
    EXPECT_NEAR(grid.level(level), ranges[i].first, 1e-4);
    EXPECT_NEAR(grid.level(level + 1), ranges[i].second, 1e-4);
  }
}

std::vector<std::filesystem::path> namesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ChartSvg, WrittenWholeOrNotAtAll) {
  const auto folder = std::filesystem::temp_directory_path() / "chart_svg_write_test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string target = (folder / "chart.svg").string();
  std::string error;
  ASSERT_TRUE(writeWholeFile(target, "<svg/>\n", error)) << error;
  ASSERT_TRUE(writeWholeFile(target, "<svg>again</svg>\n", error)) << error;
  EXPECT_EQ("<svg>again</svg>\n", fileText(target));
  EXPECT_EQ(std::vector<std::filesystem::path>{"chart.svg"}, namesIn(folder))
      << "no partial file is left";

  const std::string nowhere = (folder / "missing" / "chart.svg").string();
  EXPECT_FALSE(writeWholeFile(nowhere, "<svg/>\n", error));
  EXPECT_NE(std::string::npos, error.find("cannot write"));
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
  std::filesystem::remove_all(folder);
}

// The picture often goes to a shared folder such as /tmp: a link planted at
// the name of its partial file (here the fixed name used once) is neither
// written through nor put in the picture's place.
TEST(ChartSvg, ALinkPlantedAtThePartialNameIsNotFollowed) {
  const auto folder = std::filesystem::temp_directory_path() / "chart_svg_link_test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "victim") << "precious";
  {
    tavelund::testing::PlantedLinks links(folder);
    if (!links.plant("victim", "chart.svg.part")) {
      GTEST_SKIP() << "SKIPPED: this system cannot plant a symbolic link for the test";
    }
    std::string error;
    ASSERT_TRUE(writeWholeFile((folder / "chart.svg").string(), "<svg/>\n", error)) << error;
    EXPECT_EQ("precious", fileText(folder / "victim"));
    EXPECT_EQ("<svg/>\n", fileText(folder / "chart.svg"));
    EXPECT_EQ("precious", fileText(folder / "chart.svg.part")) << "the planted link is left alone";
  }
  std::filesystem::remove_all(folder);
}

// A scan of a folder: good files (one whose newest bar completes a double
// top), a broken one and an empty one. The good ones still print, each
// failure is listed, the exit code says one failed, --only new keeps the
// breakout, and the JSON array has one object per file.
TEST(ChartScan, GoodBrokenAndEmptyFiles) {
  const auto folder = std::filesystem::temp_directory_path() / "chart_scan_test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return (folder / name).string();
  };
  auto closes = [](std::initializer_list<double> prices) {
    std::string text = "date,open,high,low,close\n";
    int day = 1;
    for (const double p : prices) {
      const std::string price = std::to_string(p);
      text += "2024-01-" + std::string(day < 10 ? "0" : "") + std::to_string(day) + "," + price +
              "," + price + "," + price + "," + price + "\n";
      ++day;
    }
    return text;
  };
  Options options;
  // X0 to 110, O1 to 104, X2 past 110 with the newest bar.
  options.paths = {write("BREAK_H1.csv", closes({100, 110, 104, 108, 112})),
                   write("FLAT$(x).csv", closes({100, 110.5, 100, 110.5, 100})),
                   write("BROKEN.csv", "date,open,high,low,close\n2024-01-01,1,2\n"),
                   write("EMPTY_D1.csv", "")};
  options.scan = true;
  std::ostringstream table;
  EXPECT_EQ(1, runScan(options, table));
  const std::vector<std::string> lines = linesOf(table.str());
  ASSERT_EQ(5u, lines.size()) << table.str();
  // Each column as wide as its widest cell, two spaces apart.
  EXPECT_EQ(0u, lines[0].find("SYMBOL    TF  LAST  "));
  EXPECT_EQ(0u, lines[1].find("BREAK     H1  112.00000  BUY SIGNAL since 2024/01/05 00:00"));
  EXPECT_NE(std::string::npos, lines[1].find("BUY Double Top Breakout 2024/01/05 00:00"));
  EXPECT_NE(std::string::npos, lines[1].find("  NEW  "));
  EXPECT_EQ(0u, lines[2].find("FLAT$(x)  -   100.00000  NO SIGNAL"));
  EXPECT_NE(std::string::npos, lines[2].find("NO SIGNAL"));
  EXPECT_EQ(0u, lines[3].find("FAILED  " + options.paths[2] + ":2: "));
  EXPECT_EQ(0u, lines[4].find("FAILED  " + options.paths[3] + ":1: "));

  options.onlyNew = true;
  options.json = true;
  std::ostringstream json;
  EXPECT_EQ(1, runScan(options, json));
  rapidjson::Document document;
  ASSERT_FALSE(document.Parse(json.str().c_str()).HasParseError()) << json.str();
  ASSERT_EQ(3u, document.GetArray().Size());  // the breakout and both failures
  EXPECT_STREQ("BREAK", document[0]["symbol"].GetString());
  EXPECT_TRUE(document[0]["newestSignalInNewestBar"].GetBool());
  EXPECT_TRUE(document[0]["analysis"]["triggers"].IsObject());
  EXPECT_TRUE(document[1]["error"].IsString());

  options.paths.resize(2);
  std::ostringstream good;
  EXPECT_EQ(0, runScan(options, good));
#ifndef _WIN32
  // A name's control bytes reach no terminal.
  const ScanRow row = scanFile(write("A\x1b[2JB_D1.csv", closes({100, 110})), options);
  EXPECT_EQ("A?[2JB", row.symbol);
#endif
  std::filesystem::remove_all(folder);
}

TEST(ChartScan, OptionsGoTogether) {
  const struct {
    std::vector<const char*> args;
    bool ok;
  } cases[] = {
      {{"tickwell-chart", "--scan", "a.csv", "b.csv"}, true},
      {{"tickwell-chart", "--scan", "--only", "new", "a.csv"}, true},
      {{"tickwell-chart", "--scan", "--only", "old", "a.csv"}, false},
      {{"tickwell-chart", "--only", "new", "a.csv"}, false},
      {{"tickwell-chart", "--scan", "--analysis", "a.csv"}, false},
      {{"tickwell-chart", "--scan"}, false},
      {{"tickwell-chart", "a.csv", "b.csv"}, false},
  };
  for (const auto& c : cases) {
    Options options;
    std::string error;
    const Parsed parsed =
        parseOptions(static_cast<int>(c.args.size()), c.args.data(), options, error);
    EXPECT_EQ(c.ok, parsed == Parsed::Run) << c.args[1] << " " << error;
    if (c.ok) {
      EXPECT_EQ(c.args.size() - (c.args.size() > 4 ? 4 : 2), options.paths.size());
    }
  }
}

}  // namespace
}  // namespace tavelund::chart
