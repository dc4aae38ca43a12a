// The analysis in a real terminal (tmux), the viewer fed by tickwell-feed
// through the real channels: the chart printer prints exactly the lines the
// viewer shows, and the P and T keys show what the printer's analysis says.
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/console/viewer_e2e.h"

namespace tavelund {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::barDate;
using testing::commandOutput;
using testing::fileText;
using testing::shellQuote;
using testing::TerminalSession;
using testing::waitUntil;

constexpr int kBars = 600;
const std::string kRule(96, '-');

std::string trimmedRight(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
  return text;
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(trimmedRight(line));
  return lines;
}

// The viewer's lines from "LAST LINE" to the rule that closes the chart.
std::vector<std::string> chartOnScreen(const std::string& screen) {
  const auto lines = linesOf(screen);
  std::vector<std::string> chart;
  bool in = false;
  int rules = 0;
  for (const std::string& line : lines) {
    if (line.rfind("LAST LINE : ", 0) == 0) in = true;
    if (!in) continue;
    chart.push_back(line);
    if (line == kRule && ++rules == 2) break;
  }
  return chart;
}

class AnalysisEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::viewerFolder("analysis_e2e_",
                                    ::testing::UnitTest::GetInstance()->current_test_info()->name(),
                                    TAVELUND_BIN_DIR);
    // Two waves: some 40 columns, so that 30 shown columns leave some out.
    testing::writeWaveBars(
        folder_ / "bars.csv", kBars,
        {.slowSize = 0.09, .slowDays = 11.0, .fastSize = 0.035, .fastDays = 2.9});
  }

  void TearDown() override {
    testing::stopProcess(feedPid_);
    fs::remove_all(folder_);
  }

  // Every bar in the first batch: the viewer's chart holds all of them.
  void startFeed() {
    const fs::path log = folder_ / "feed.log";
    feedPid_ = testing::spawnLogged({std::string(TAVELUND_BIN_DIR) + "/tickwell-feed", "--first",
                                     std::to_string(kBars), (folder_ / "bars.csv").string()},
                                    log);
    ASSERT_GT(feedPid_, 0);
    ASSERT_TRUE(
        waitUntil([&] { return fileText(log).find("published") != std::string::npos; }, 10s))
        << fileText(log);
  }

  std::string viewerCommand(const std::string& options) const {
    return "cd " + shellQuote(folder_.string()) + " && ./ConsoleTavelundPF " + options +
           "; exec sleep 600";
  }

  std::vector<std::string> printed(const std::string& options) const {
    return linesOf(commandOutput(std::string(TAVELUND_BIN_DIR) + "/tickwell-chart " + options +
                                 " " + shellQuote((folder_ / "bars.csv").string())));
  }

  // Waits for the chart at a new offset to be complete and still.
  std::vector<std::string> settledChart(const TerminalSession& session,
                                        const std::string& previousLastLine) const {
    EXPECT_TRUE(waitUntil(
        [&] {
          const std::string line = session.lineStartingWith("LAST LINE : ");
          return !line.empty() && line != previousLastLine;
        },
        10s))
        << session.screen();
    session.waitStill();
    return chartOnScreen(session.screen());
  }

  fs::path folder_;
  pid_t feedPid_ = -1;
};

TEST_F(AnalysisEndToEnd, PrinterPrintsTheViewersChart) {
  startFeed();
  for (const std::string options :
       {"", "-b 4 -s 20 -f 2 -e", "-p 2.5 -f 1", "-g trad -s 25", "-g 1% -b 2 -e", "-g 4 -b 1"}) {
    SCOPED_TRACE("options: " + options);
    TerminalSession session(viewerCommand(options), 140, 110);
    const std::string newest = "=> " + barDate(kBars - 1, '/') + " 00:00(";
    ASSERT_TRUE(session.showsWithin(newest, 20s)) << session.screen();
    session.waitStill();
    const auto atNewest = chartOnScreen(session.screen());
    ASSERT_GT(atNewest.size(), 8u) << session.screen();
    EXPECT_EQ(printed(options), atNewest);

    // Two pages back: 60 points.
    session.sendKeys("NPage");
    const auto onePage = settledChart(session, atNewest.front());
    session.sendKeys("NPage");
    const auto twoPages = settledChart(session, onePage.front());
    ASSERT_GT(twoPages.size(), 8u);
    EXPECT_EQ(printed(options + " --offset 60"), twoPages);
    EXPECT_NE(atNewest, twoPages);
    session.sendKeys("q");
  }
}

// The analysis text: from its title to the key lines at its foot.
std::vector<std::string> analysisBlock(const std::vector<std::string>& lines) {
  std::vector<std::string> block;
  bool in = false;
  for (const std::string& line : lines) {
    if (line == "         POINT AND FIGURE ANALYSIS") in = true;
    if (!in) continue;
    block.push_back(line);
    if (line.find("'t'          Key") != std::string::npos) break;
  }
  return block;
}

TEST_F(AnalysisEndToEnd, TDrawsTheTrendLineAndPShowsTheAnalysis) {
  startFeed();
  TerminalSession session(viewerCommand(""), 140, 110);
  ASSERT_TRUE(session.showsWithin("=> " + barDate(kBars - 1, '/') + " 00:00(", 20s))
      << session.screen();
  session.waitStill();
  const auto plain = chartOnScreen(session.screen());
  ASSERT_GT(plain.size(), 8u);

  // T: the current trend line's empty cells become "+", a 45-degree line:
  // one cell per column, each one row from the one before.
  session.sendKeys("t");
  ASSERT_TRUE(waitUntil([&] { return chartOnScreen(session.screen()) != plain; }, 10s));
  session.waitStill();
  const auto marked = chartOnScreen(session.screen());
  ASSERT_EQ(plain.size(), marked.size());
  std::vector<std::pair<size_t, size_t>> cells;  // column, line
  for (size_t i = 0; i < plain.size(); ++i) {
    ASSERT_EQ(plain[i].size(), marked[i].size()) << marked[i];
    for (size_t c = 0; c < plain[i].size(); ++c) {
      if (plain[i][c] == marked[i][c]) continue;
      EXPECT_EQ('.', plain[i][c]) << plain[i];
      EXPECT_EQ('+', marked[i][c]) << marked[i];
      cells.emplace_back(c, i);
    }
  }
  ASSERT_FALSE(cells.empty());
  std::sort(cells.begin(), cells.end());
  for (size_t k = 1; k < cells.size(); ++k) {
    EXPECT_LT(cells[k - 1].first, cells[k].first) << "one cell per column";
    const auto rows = static_cast<long>(cells[k].second) - static_cast<long>(cells[k - 1].second);
    const auto columns = static_cast<long>(cells[k].first - cells[k - 1].first);
    EXPECT_EQ(columns, std::labs(rows)) << "45 degrees";
  }
  // T again: the chart exactly as before.
  session.sendKeys("t");
  ASSERT_TRUE(waitUntil([&] { return chartOnScreen(session.screen()) == plain; }, 10s))
      << session.screen();

  // P: the analysis of the chart as it stands, as the printer says it.
  session.waitStill();
  session.sendKeys("p");
  ASSERT_TRUE(session.showsWithin("POINT AND FIGURE ANALYSIS", 10s)) << session.screen();
  session.waitStill();
  const std::string screen = session.screen();
  EXPECT_EQ(std::string::npos, screen.find("LAST LINE : "));
  const auto shown = analysisBlock(linesOf(screen));
  ASSERT_GT(shown.size(), 10u) << screen;
  EXPECT_EQ(analysisBlock(printed("--analysis")), shown);
  EXPECT_NE(std::string::npos, screen.find("STATUS      : ")) << screen;

  // The next key goes back to the chart; one page back, P again.
  session.sendKeys("NPage");
  const auto scrolled = settledChart(session, plain.front());
  EXPECT_EQ(printed("--offset 30"), scrolled);
  session.sendKeys("p");
  ASSERT_TRUE(session.showsWithin("POINT AND FIGURE ANALYSIS", 10s)) << session.screen();
  session.waitStill();
  EXPECT_EQ(analysisBlock(printed("--analysis --offset 30")),
            analysisBlock(linesOf(session.screen())));
  session.sendKeys("q");
}

}  // namespace
}  // namespace tavelund
