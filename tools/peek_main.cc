// tickwell-peek: shows what the five channels hold. The first thing to run
// when the viewer says that nothing is published.
#include <chrono>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/deadline.h"
#include "common/time_span_label.h"
#include "common/version.h"
#include "common/printable.h"
#include "intake/time_order.h"
#include "link/channel_names.h"
#include "link/object_namespace.h"
#include "link/tickwell.h"
#include "tools/command_line.h"
#include "tools/option_number.h"
#include "tools/stop_signal.h"

using namespace tavelund;

namespace {

const char kUsage[] =
    "usage: tickwell-peek [--wait SECONDS] [--watch MS] [--version]\n"
    "  --wait SECONDS  wait up to SECONDS (0 to 86400) for a published timeline\n"
    "  --watch MS      show the channels again every MS milliseconds (0 to 86400000)\n"
    "                  until Ctrl-C\n"
    "  --version       print the version and end\n";

constexpr long long kMaxWaitSeconds = 86400;  // a day
constexpr long long kMaxWatchMs = 86400000;   // a day

bool anyChannel() {
  for (const ChannelName& name : kChannelNames) {
    if (checkSendticksMT5(name.mapping)) return true;
  }
  return false;
}

struct Summary {
  size_t lines = 0;
  std::string_view first, last;
};

Summary summarise(std::string_view text) {
  Summary summary;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (summary.lines == 0) summary.first = line;
    summary.last = line;
    ++summary.lines;
    start = end + 1;
  }
  return summary;
}

// Returns the number of published lines.
size_t show() {
  const std::string symbol = getsymbolcMT5();
  const int timeSpan = gettimespanMT5();
  const std::string sendTime = getsendtimeMT5();
  const int flag = getSendCheckMT5();
  const std::string_view lines = ReadLinesMT5();
  const Summary summary = summarise(lines);
  // The texts come from another process: shown with their control bytes
  // escaped.
  std::cout << "SYMBOL      : " << printable(symbol) << "\n"
            << "TIME SPAN   : " << timeSpanLabel(timeSpan) << " (" << timeSpan << ")\n"
            << "SEND TIME   : " << printable(sendTime) << "\n"
            << "SEND FLAG   : " << flag << "\n"
            << "LINES       : " << summary.lines << "\n"
            << "FIRST LINE  : " << printable(summary.first) << "\n"
            << "LAST LINE   : " << printable(summary.last) << "\n";
  if (summary.lines == 0) std::cout << "nothing is published: the timeline is empty\n";
  // The viewer draws such a batch backwards and never shows its new bars.
  if (const auto back = firstLineBackInTime(lines)) {
    std::cout << "TIME ORDER  : not oldest first: line " << back->number
              << " is older than the line before it: " << printable(back->line.substr(0, 80))
              << "\n";
  }
  std::cout.flush();
  return summary.lines;
}

}  // namespace

int main(int argc, char** argv) {
  long long waitSeconds = 0, watchMs = 0;
  static constexpr CommandOption kOptions[] = {
      {"wait", 0, true}, {"watch", 0, true}, {"help", 'h', false}, {"version", 0, false}};
  bool help = false, version = false;
  CommandLineHandlers handlers;
  handlers.unknown = [](std::string_view given) {
    return "bad option " + printable(given.substr(0, 80));
  };
  handlers.option = [&](size_t option, const char* value) -> std::string {
    switch (option) {
      case 0:
        if (value && optionNumber(value, 0, kMaxWaitSeconds, waitSeconds)) return {};
        return "--wait needs seconds from 0 to 86400 (a day)";
      case 1:
        if (value && optionNumber(value, 0, kMaxWatchMs, watchMs)) return {};
        return "--watch needs milliseconds from 0 to 86400000 (a day)";
      case 2:
        help = true;
        return "help";
      default:
        version = true;
        return "version";
    }
  };
  std::vector<std::string> operands;
  std::string problem = scanCommandLine(argc, argv, kOptions, handlers, operands);
  if (help) {
    std::cout << kUsage;
    return 0;
  }
  if (version) {
    std::cout << "tickwell-peek " << kVersion << "\n";
    return 0;
  }
  // It reads no file: an operand is a mistake as a bad option is.
  if (problem.empty() && !operands.empty())
    problem = "bad option " + printable(std::string_view(operands.front()).substr(0, 80));
  if (!problem.empty()) {
    std::cerr << "tickwell-peek: " << problem << "\n" << kUsage;
    return 2;
  }
  if (refuseUnusableNamespace("tickwell-peek", std::cerr)) return 2;
  installStopHandler("tickwell-peek");
  const auto deadline = MonotonicClock::now() + std::chrono::seconds(waitSeconds);
  // Attaching would create the channels, and a producer started afterwards
  // would then refuse to run; so look first.
  while (!anyChannel()) {
    if (MonotonicClock::now() >= deadline || stopRequested()) {
      std::cout << "nothing is published: no channel exists (start the MT5 side or tickwell-feed)"
                << std::endl;
      return 1;
    }
    sleepUntilOrStop(MonotonicClock::now() + std::chrono::milliseconds(50));
  }
  initSendticksMT5();
  // Wait for a first batch if asked to.
  while (summarise(ReadLinesMT5()).lines == 0 && MonotonicClock::now() < deadline &&
         !stopRequested()) {
    sleepPeriod(std::chrono::milliseconds(50));
  }
  size_t lines = show();
  auto next = MonotonicClock::now();
  while (watchMs > 0 && !stopRequested()) {
    next += std::chrono::milliseconds(watchMs);
    sleepUntilOrStop(next);
    if (stopRequested()) break;
    std::cout << "\n";
    lines = show();
  }
  deinitSendticksMT5();
  return lines > 0 ? 0 : 1;
}
