// tickwell-signals: follows the channels as a reader, as the live view does,
// and writes a line for every signal that a published batch completes; with
// --exec it runs a program for each; with --status it prints the status
// line once. For scripts, cron jobs and shell prompts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

#include "common/deadline.h"
#include "common/printable.h"
#include "common/version.h"
#include "intake/batch_request.h"
#include "link/channel_names.h"
#include "link/object_namespace.h"
#include "link/tickwell.h"
#include "tools/line_output.h"
#include "tools/program_run.h"
#include "tools/signal_lines.h"
#include "tools/signal_tracker.h"
#include "tools/signals_options.h"
#include "tools/stop_signal.h"

using namespace tavelund;
using namespace tavelund::signals;

namespace {

constexpr const char* kProgram = "tickwell-signals";
// How often the send time is looked at: a third of the viewer's view pass.
constexpr std::chrono::milliseconds kLookInterval{100};
// Channels that give nothing at all (a producer that has not published yet,
// or objects of another user, which the link refuses with a message at
// every attach) are looked at less and less often, down to this.
constexpr std::chrono::milliseconds kNothingPublishedPause{500};
constexpr std::chrono::milliseconds kLongestPause{8000};
// One slice of the wait for an answer to --ask, between two looks at the
// stop request.
constexpr std::chrono::milliseconds kAnswerSlice{100};

void say(const std::string& message) { std::cerr << kProgram << ": " << message << std::endl; }

bool anyChannel() {
  for (const ChannelName& name : kChannelNames) {
    if (checkSendticksMT5(name.mapping)) return true;
  }
  return false;
}

// The one hand-shake of U: 0 into the send flag, then the wait for its 1. A
// 0 that is there already is a request on its way (a viewer's U, or a
// producer that has not published yet): it is not written again, and its
// answer serves both. False when no answer came within the viewer's limit.
bool askForBatch() {
  const LinkCalls link{getsendtimeMT5, getsymbolcMT5, getSendCheckMT5, setsendcheckMT5,
                       ReadLinesMT5};
  BatchRequest request;
  request.ask = getSendCheckMT5() != 0;
  request.answerWait = kAnswerSlice;
  request.progressInterval = std::chrono::milliseconds(5);
  const auto giveUp = MonotonicClock::now() + kAnswerWait;
  for (;;) {
    if (requestBatch(link, request, BatchProgress{}) == BatchAnswer::Published) return true;
    request.ask = false;
    if (stopRequested() || MonotonicClock::now() >= giveUp) return false;
  }
}

// What one look at the channels found.
struct Look {
  std::string sendTime;
  // A timeline not taken yet (null: none); the library's text, valid until
  // its next read.
  const char* lines = nullptr;
  std::string symbol;
  int timeFrame = 0;
  bool unanswered = false;  // asked, and no answer came
};

// Attached for the look only: a producer that stops lets the channels go
// (nobody else holding them), and its next start finds them free. The send
// time first, as the live view reads it: the producer writes it after the
// lines, so the lines read next are at least that batch.
Look lookAtChannels(const std::optional<std::string>& takenSendTime, bool ask) {
  Look seen;
  initSendticksMT5();
  if (ask) seen.unanswered = !askForBatch();
  seen.sendTime = getsendtimeMT5();
  if (seen.sendTime != takenSendTime) {
    const char* lines = ReadLinesMT5();
    if (lines != nullptr && *lines != '\0') {
      seen.lines = lines;
      seen.symbol = getsymbolcMT5();
      seen.timeFrame = gettimespanMT5();
    }
  }
  deinitSendticksMT5();
  return seen;
}

std::string chartName(const Look& seen) {
  return printable(seen.symbol) + " " + timeFrameText(seen.timeFrame);
}

std::FILE* lineOutput = stdout;

bool writeLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), lineOutput);
  return std::fflush(lineOutput) == 0 && !std::ferror(lineOutput);
}

// Ends with 0 when stopped or when --count is reached.
int followSignals(const Options& options) {
  SignalTracker tracker(options.chart);
  if (!options.json && !writeLine(csvHeader())) return 1;
  std::optional<std::string> takenSendTime;
  long long written = 0;
  bool producerSeen = false, saidWaiting = false;
  auto quietPause = kNothingPublishedPause;
  const auto start = MonotonicClock::now();
  const auto askEvery = std::chrono::seconds(options.askSeconds);
  auto nextAsk = start + askEvery;
  std::optional<MonotonicClock::time_point> giveUp;
  if (options.waitSeconds >= 0) giveUp = start + std::chrono::seconds(options.waitSeconds);

  while (!stopRequested()) {
    const auto now = MonotonicClock::now();
    auto nextLook = now + kLookInterval;
    if (!anyChannel()) {
      if (producerSeen)
        say("the producer is gone; waiting for it to start again");
      else if (!saidWaiting)
        say("waiting for a producer (start the MT5 side or tickwell-feed)");
      producerSeen = false;
      saidWaiting = true;
      quietPause = kNothingPublishedPause;
    } else {
      producerSeen = true;
      const bool ask = options.askSeconds > 0 && tracker.started() && now >= nextAsk;
      const Look seen = lookAtChannels(takenSendTime, ask);
      if (ask) {
        nextAsk = MonotonicClock::now() + askEvery;
        if (seen.unanswered && !stopRequested())
          say("no answer to --ask within " + std::to_string(kAnswerWait.count() / 1000) + " s");
      }
      if (seen.lines == nullptr) {
        if (!tracker.started() && seen.sendTime.empty()) {
          nextLook = now + quietPause;
          quietPause = std::min(quietPause * 2, kLongestPause);
        }
      } else {
        quietPause = kNothingPublishedPause;
        takenSendTime = seen.sendTime;
        News news = tracker.take(Batch{seen.symbol, seen.timeFrame, seen.lines});
        if (!news.problem.empty()) {
          say(chartName(seen) + ": " + news.problem);
          return 2;
        }
        if (news.startingChart) {
          const size_t held = news.signals.size();
          say(chartName(seen) + ": the starting chart holds " + std::to_string(held) +
              (held == 1 ? " signal" : " signals") + "; watching for new ones");
          if (!options.history) news.signals.clear();
        }
        if (options.count > 0 &&
            static_cast<long long>(news.signals.size()) > options.count - written)
          news.signals.resize(static_cast<size_t>(options.count - written));
        const SignalPlace place{seen.symbol, seen.timeFrame, tracker.digits()};
        for (const analysis::Signal& signal : news.signals) {
          if (!writeLine(options.json ? jsonLine(signal, place) : csvLine(signal, place))) return 1;
        }
        written += static_cast<long long>(news.signals.size());
        for (const analysis::Signal& signal : news.signals) {
          if (options.exec.empty() || stopRequested()) break;
          const ProgramRun run{options.exec, signalEnvironment(signal, place),
                               std::chrono::seconds(options.execLimitSeconds)};
          const std::string failure = runFailure(runProgram(run, stopRequested), run.timeLimit);
          if (!failure.empty())
            say("--exec " + printable(options.exec.front()) + " for the " +
                std::string(analysis::kindName(signal.kind)) + " of " + printable(signal.time) + ": " +
                failure);
        }
        if (options.count > 0 && written >= options.count) return 0;
      }
    }
    if (giveUp && !tracker.started() && MonotonicClock::now() >= *giveUp) {
      say("nothing is published within " + std::to_string(options.waitSeconds) + " s");
      return 1;
    }
    sleepUntilOrStop(nextLook);
  }
  say("stopped");
  return 0;
}

// The status line of the chart that the published timeline gives, once.
int printStatus(const Options& options) {
  const auto deadline =
      MonotonicClock::now() + std::chrono::seconds(std::max(options.waitSeconds, 0LL));
  bool channels = false;
  for (;;) {
    channels = anyChannel();
    if (channels) {
      const Look seen = lookAtChannels(std::nullopt, false);
      if (seen.lines != nullptr) {
        SignalTracker tracker(options.chart);
        const News news = tracker.take(Batch{seen.symbol, seen.timeFrame, seen.lines});
        if (!news.problem.empty()) {
          say(chartName(seen) + ": " + news.problem);
          return 2;
        }
        return writeLine(printable(tracker.statusText()) + "\n") ? 0 : 1;
      }
    }
    if (MonotonicClock::now() >= deadline || stopRequested()) break;
    sleepUntilOrStop(MonotonicClock::now() + std::chrono::milliseconds(50));
  }
  say(channels ? "nothing is published: the timeline is empty"
               : "nothing is published: no channel exists (start the MT5 side or tickwell-feed)");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string problem;
  switch (parseOptions(argc, argv, options, problem)) {
    case chart::Parsed::Help:
      std::cout << kUsage;
      return 0;
    case chart::Parsed::Version:
      std::cout << kProgram << " " << kVersion << "\n";
      return 0;
    case chart::Parsed::Error:
      std::cerr << kProgram << ": " << problem << "\n" << kUsage;
      return 2;
    case chart::Parsed::Run:
      break;
  }
  if (refuseUnusableNamespace(kProgram, std::cerr)) return 2;
  lineOutput = standardOutputForLines();
  installStopHandler(kProgram);
  return options.status ? printStatus(options) : followSignals(options);
}
