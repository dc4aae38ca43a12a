// The viewer's first chart of a maximal history as a user meets it: the
// real program on a pseudo-terminal, fed by this process through the link
// library, timed from its start to the end of its first drawn chart, with
// its peak resident memory; each run beside the yardstick it is held
// against: one read of the timeline block plus the full conversion and
// chart update, in this process.
//
//   viewer_bench [--viewer=PATH] [benchmark options]
//
// PATH (default: the viewer of this build) lets an older build's viewer be
// measured against the same yardstick.
#include <benchmark/benchmark.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/maximal_batch.h"
#include "engine/pf_chart.h"
#include "intake/tick_intake.h"
#include "link/tickwell.h"

namespace tavelund {
namespace {

std::string viewerPath = TAVELUND_VIEWER;
// Every run of each, and the viewer's largest peak.
std::vector<double> firstChartRuns, yardstickRuns, ratios, peaks;
double viewerPeakMiB = 0;

double median(std::vector<double> runs) {
  std::sort(runs.begin(), runs.end());
  return runs.empty() ? 0 : runs[runs.size() / 2];
}

// A field of /proc/PID/status in MiB.
double statusMiB(pid_t pid, const char* field) {
  const std::string path = "/proc/" + std::to_string(pid) + "/status";
  FILE* status = std::fopen(path.c_str(), "r");
  if (!status) return 0;
  char line[256];
  double kib = 0;
  const size_t length = std::strlen(field);
  while (std::fgets(line, sizeof line, status)) {
    if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
      kib = std::strtod(line + length + 1, nullptr);
      break;
    }
  }
  std::fclose(status);
  return kib / 1024;
}

// Publishes the maximal batch as a producer does: oldest first, then the
// send time, then the flag.
bool publishMaximalBatch() {
  if (!initSendticksMT5()) return false;
  setsymbolcMT5("BENCH");
  int timeFrame = 1;
  settimespanMT5(&timeFrame);
  const std::string& text = bench::maximalBatch();
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t end = std::min(text.find('\n', begin), text.size());
    // One line at a time: sscanf measures the whole rest of its input.
    const std::string line = text.substr(begin, end - begin);
    int year, month, day, hour, minute, second, millisecond;
    double open, high, low, close;
    if (std::sscanf(line.c_str(), "%d/%d/%d %d:%d:%d.%d,%lf,%lf,%lf,%lf", &year, &month, &day,
                    &hour, &minute, &second, &millisecond, &open, &high, &low, &close) == 11)
      lineSendTimeLineMT5(year, month, day, hour, minute, second, millisecond, open, high, low,
                          close);
    begin = end + 1;
  }
  completeSendticksMT5();
  setsendtimeNowMT5();
  int done = 1;
  setsendcheckMT5(&done);
  return true;
}

// Reads the viewer's output until its first chart is complete: the LAST
// LINE, the rule below it and the rule that closes the chart. False on a
// time-out or when the viewer ends first.
bool awaitFirstChart(int terminal) {
  const std::string rule(96, '-');
  std::string seen;
  int rulesAfterLastLine = -1;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  char buffer[65536];
  while (std::chrono::steady_clock::now() < limit) {
    pollfd wait{terminal, POLLIN, 0};
    if (::poll(&wait, 1, 1000) <= 0) continue;
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    if (got <= 0) return false;
    seen.append(buffer, static_cast<size_t>(got));
    for (;;) {
      if (rulesAfterLastLine < 0) {
        const size_t at = seen.find("LAST LINE : ");
        if (at == std::string::npos) break;
        rulesAfterLastLine = 0;
        seen.erase(0, at);
      }
      const size_t at = seen.find(rule);
      if (at == std::string::npos) break;
      if (++rulesAfterLastLine == 2) return true;
      seen.erase(0, at + rule.size());
    }
    // Keep only what a marker split over two reads may need.
    if (seen.size() > 4096) seen.erase(0, seen.size() - 256);
  }
  return false;
}

// The output after the chart, until the viewer has ended.
void drain(int terminal) {
  char buffer[65536];
  for (;;) {
    pollfd wait{terminal, POLLIN, 0};
    if (::poll(&wait, 1, 5000) <= 0) return;
    if (::read(terminal, buffer, sizeof buffer) <= 0) return;
  }
}

// One start of the viewer, timed to the end of its first chart; false when
// it gave none.
bool timeViewer(double& seconds, double& peakMiB) {
  int terminal = -1;
  winsize size{};
  size.ws_col = 120;
  size.ws_row = 50;
  const auto start = std::chrono::steady_clock::now();
  const pid_t viewer = ::forkpty(&terminal, nullptr, nullptr, &size);
  if (viewer == 0) {
    ::setenv("TERM", "xterm", 1);
    ::execl(viewerPath.c_str(), viewerPath.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (viewer < 0) return false;
  const bool drawn = awaitFirstChart(terminal);
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The peak of the program's own memory so far (the rusage of its end
  // would count this process's memory too, from before the exec).
  peakMiB = statusMiB(viewer, "VmHWM");
  (void)!::write(terminal, "q", 1);
  drain(terminal);
  int status = 0;
  ::waitpid(viewer, &status, 0);
  ::close(terminal);
  return drawn;
}

// What the first chart cannot do without: the block read through the link,
// the full conversion and the chart update, here in this process.
double timeYardstick() {
  ChartSettings settings;
  auto intake = std::make_unique<TickIntake>();
  auto chart = std::make_unique<PfChart>();
  chart->applySettings(settings, settings.digits);
  const auto start = std::chrono::steady_clock::now();
  const char* lines = ReadLinesMT5();
  convertTimeline(*intake, lines, settings.dataExpand, ConsolePort{});
  chart->update(intake->batchPointList, settings);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  benchmark::DoNotOptimize(chart->snapshots().size());
  return seconds;
}

// The viewer's first chart, each run right after a run of the yardstick,
// so that both meet the machine as it is at that moment; the time is the
// viewer's, the counter its ratio to the yardstick (the median of the
// runs' ratios).
void BM_ViewerFirstChart(benchmark::State& state) {
  for (auto _ : state) {
    const double yardstick = timeYardstick();
    double seconds = 0, peakMiB = 0;
    if (!timeViewer(seconds, peakMiB)) {
      state.SkipWithError(("no chart from " + viewerPath).c_str());
      return;
    }
    state.SetIterationTime(seconds);
    firstChartRuns.push_back(seconds);
    yardstickRuns.push_back(yardstick);
    ratios.push_back(seconds / yardstick);
    viewerPeakMiB = std::max(viewerPeakMiB, peakMiB);
    peaks.push_back(peakMiB);
  }
  state.counters["ratio"] = median(ratios);
  state.counters["peak_MiB"] = viewerPeakMiB;
}
BENCHMARK(BM_ViewerFirstChart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);

}  // namespace
}  // namespace tavelund

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--viewer=", 9) == 0) {
      tavelund::viewerPath = argv[i] + 9;
      for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
      --argc, --i;
    }
  }
  // Channels of its own, beside any viewer or feed on this machine; the
  // viewer started on the pseudo-terminal inherits the namespace.
  const std::string channels = "twbench" + std::to_string(::getpid()) + "-";
  ::setenv("TICKWELL_NAMESPACE", channels.c_str(), 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!tavelund::publishMaximalBatch()) {
    std::fprintf(stderr, "viewer_bench: the channels could not be made\n");
    return 1;
  }
  std::printf("maximal batch: %zu lines; viewer %s\n", tavelund::bench::maximalBatchLines(),
              tavelund::viewerPath.c_str());
  std::fflush(stdout);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (!tavelund::ratios.empty()) {
    std::printf(
        "first chart: %.2f x one block read + conversion and update (median of %zu "
        "runs, each beside its own yardstick: %.0f ms against %.0f ms); viewer's peak "
        "resident memory %.0f MiB\n",
        tavelund::median(tavelund::ratios), tavelund::ratios.size(),
        tavelund::median(tavelund::firstChartRuns) * 1e3,
        tavelund::median(tavelund::yardstickRuns) * 1e3, tavelund::viewerPeakMiB);
    std::printf("  runs (ms):");
    for (double run : tavelund::firstChartRuns) std::printf(" %.0f", run * 1e3);
    std::printf("; yardstick:");
    for (double run : tavelund::yardstickRuns) std::printf(" %.0f", run * 1e3);
    std::printf("; peaks (MiB):");
    for (double peak : tavelund::peaks) std::printf(" %.0f", peak);
    std::printf("\n");
  }
  deinitSendticksMT5();
  return 0;
}
