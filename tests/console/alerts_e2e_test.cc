// The live view's alerts for real: the feed publishes, unasked, the bars
// that complete a Double Top Breakout, the newest bar forming over several
// publishes; the live viewer in a tmux pane notes the signal once in its
// run log, ends its window title with it and rings the terminal's bell once.
#include <fstream>
#include <sstream>

#include "tests/console/viewer_e2e.h"
#include "tests/support/terminal_bells.h"

namespace tavelund::testing {
namespace {

// Reversal 3, 1 % box, one flat bar a day: an X column to 110, an O column
// to 102, an X column back to 108 that waits there, then the bar of the
// breakout (to 112.5, closing at 112) and a few quiet bars after it.
constexpr int kWaitingBars = 8;
constexpr int kBreakoutBar = 13 + kWaitingBars + 1;

void writeBreakoutBars(const fs::path& file) {
  std::ofstream bars(file);
  bars << "date,open,high,low,close\n";
  int index = 0;
  const auto flat = [&](double price) {
    bars << barDate(index++, '-') << ',' << price << ',' << price << ',' << price << ',' << price
         << '\n';
  };
  for (double price : {100, 102, 104, 106, 108, 110, 108, 106, 104, 102, 104, 106, 108})
    flat(price);
  for (int i = 0; i < kWaitingBars; ++i) flat(108);
  flat(110);
  bars << barDate(index++, '-') << ",110,112.5,109.5,112\n";
  for (int i = 0; i < 3; ++i) flat(112);
}

size_t countOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST_F(ViewerEndToEnd, LiveAlertsASignalOnceInTheLogTheTitleAndTheBell) {
  writeBreakoutBars(folder_ / "bars.csv");
  const int allBars = kBreakoutBar + 4;
  // Every bar forms over four publishes, one every 150 ms; the first U
  // takes the first 13 bars.
  startFeed({"--first", "13", "--add", "1", "--live", "4", "--interval", "150"});
  // Everything the viewer writes to the terminal, raw.
  const fs::path raw = folder_ / "terminal.raw";
  TerminalSession session("tmux pipe-pane -O " + shellQuote("cat >> " + raw.string()) + "; " +
                          runCommand());
  ASSERT_TRUE(session.showsWithin("LAST LINE : ", 15s)) << session.screen();
  const std::string signalDay = barDate(kBreakoutBar) + " 00:00";
  ASSERT_EQ(session.screen().find(signalDay), std::string::npos)
      << "the viewer started after the breakout was published:\n"
      << session.screen();

  session.sendKeys("a");
  const std::string alerted = "TavelundP&F FREE (LIVE) - BUY Double Top Breakout ";
  ASSERT_TRUE(
      waitUntil([&] { return session.paneFormat("#{pane_title}").rfind(alerted, 0) == 0; }, 15s))
      << session.paneFormat("#{pane_title}") << "\n"
      << session.screen();
  const std::string title = session.paneFormat("#{pane_title}");

  // The feed publishes the rest and then the same bars again: each a batch
  // that the live view takes, none a new signal.
  const std::string finished = "published " + std::to_string(allBars) + " bars";
  ASSERT_TRUE(waitUntil([&] { return countOf(feedLog(), finished) >= 8; }, 20s)) << feedLog();
  session.waitStill();
  ASSERT_TRUE(session.showsWithin("=> " + barDate(allBars - 1) + " 00:00(", 5s))
      << session.screen();
  EXPECT_EQ(session.paneFormat("#{pane_title}"), title);
  EXPECT_EQ(bellsIn(fileText(raw)), 1u);

  // L: the one entry, with the price the title shows.
  session.pressWhenStill("l");
  ASSERT_TRUE(session.showsWithin("LIVE VIEW   : ON", 5s)) << session.screen();
  const std::string screen = session.screen();
  EXPECT_EQ(countOf(screen, "SIGNAL      : "), 1u) << screen;
  const std::string entry =
      "SIGNAL      : " + signalDay + " BUY Double Top Breakout " + title.substr(alerted.size());
  EXPECT_NE(screen.find(entry), std::string::npos) << entry << "\n" << screen;

  EXPECT_EQ(feedLog().find("stopped"), std::string::npos) << feedLog();
  session.pressWhenStill("q");
  ASSERT_TRUE(ended(5s));
  EXPECT_EQ(exitCode(), "0");
  EXPECT_EQ(bellsIn(fileText(raw)), 1u);
}

}  // namespace
}  // namespace tavelund::testing
