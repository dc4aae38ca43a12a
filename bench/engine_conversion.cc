// A maximal batch (the 128 MiB timeline block full of 56-byte lines of a
// random walk) through the conversion and the chart update:
//  - full conversion + update, hand-written matcher vs the literal version,
//    on one thread per core and on one and two threads (the speed-up);
//  - the refresh when only the newest bar changed, next to one block read;
//  - memory: bytes per snapshot, peak memory with and without expansion.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/engine_literal_timeline.h"
#include "bench/maximal_batch.h"
#include "engine/pf_chart.h"
#include "intake/tick_intake.h"

namespace tavelund {
namespace {

using bench::kBlockBytes;
using bench::maximalBatch;
size_t lineCount() { return bench::maximalBatchLines(); }

bool expandText(int64_t expand) { return expand != 0; }

void BM_FullConversionAndUpdate(benchmark::State& state) {
  const std::string& text = maximalBatch();
  std::unique_ptr<TickIntake> intake;
  std::unique_ptr<PfChart> chart;
  ChartSettings settings;
  for (auto _ : state) {
    state.PauseTiming();
    intake.reset();
    chart.reset();
    intake = std::make_unique<TickIntake>();
    chart = std::make_unique<PfChart>();
    chart->applySettings(settings, settings.digits);
    state.ResumeTiming();
    convertTimeline(*intake, text.c_str(), expandText(state.range(0)), ConsolePort{},
                    static_cast<unsigned>(state.range(1)));
    chart->update(intake->batchPointList, settings);
    benchmark::DoNotOptimize(chart->snapshots().size());
  }
  state.counters["threads"] = static_cast<double>(state.range(1));
  state.counters["lines"] = static_cast<double>(lineCount());
  state.counters["snapshots"] = static_cast<double>(chart->snapshots().size());
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(lineCount()),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
// Data expansion off and on, on one thread per core (the default); then on
// one and on two threads, for the speed-up.
const int64_t kCores = std::max<int64_t>(1, std::thread::hardware_concurrency());
BENCHMARK(BM_FullConversionAndUpdate)
    ->Args({0, kCores})
    ->Args({1, kCores})
    ->Args({0, 1})
    ->Args({0, 2})
    ->Args({1, 1})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// The yardstick: split into strings, std::regex, stoi/stof, then the same update.
void BM_LiteralConversionAndUpdate(benchmark::State& state) {
  const std::string& text = maximalBatch();
  ChartSettings settings;
  for (auto _ : state) {
    auto conversion = std::make_unique<literal::Conversion>();
    auto chart = std::make_unique<PfChart>();
    chart->applySettings(settings, settings.digits);
    literal::convertAll(*conversion, text, state.range(0) != 0);
    chart->update(PointSpan::tail(conversion->points, 0), settings);
    benchmark::DoNotOptimize(chart->snapshots().size());
    state.PauseTiming();  // leave the clean-up out, as above
    chart.reset();
    conversion.reset();
    state.ResumeTiming();
  }
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(lineCount()),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LiteralConversionAndUpdate)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// The matcher alone, and the literal reading alone (split, regex, stoi,
// stof), over every line of the batch: the part the two versions differ in.
void BM_ParseLinesOnly(benchmark::State& state) {
  const std::string& text = maximalBatch();
  TimelineLine record;
  for (auto _ : state) {
    size_t accepted = 0, begin = 0;
    while (begin < text.size()) {
      size_t end = text.find('\n', begin);
      if (end == std::string::npos) end = text.size();
      accepted += parseTimelineLine(std::string_view(text).substr(begin, end - begin), record);
      begin = end + 1;
    }
    benchmark::DoNotOptimize(accepted);
  }
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(lineCount()),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ParseLinesOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_LiteralParseLinesOnly(benchmark::State& state) {
  const std::string& text = maximalBatch();
  TimelineLine record;
  for (auto _ : state) {
    size_t accepted = 0;
    for (const std::string& piece : splitText(text, "\n"))
      accepted += literal::parseLine(piece, record);
    benchmark::DoNotOptimize(accepted);
  }
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(lineCount()),
                                                     benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LiteralParseLinesOnly)->Unit(benchmark::kMillisecond)->Iterations(1);

// The conversion alone (records, points and their texts) and the chart
// update alone, to show where the full run spends its time.
void BM_ConversionOnly(benchmark::State& state) {
  const std::string& text = maximalBatch();
  std::unique_ptr<TickIntake> intake;
  for (auto _ : state) {
    state.PauseTiming();
    intake.reset();
    intake = std::make_unique<TickIntake>();
    state.ResumeTiming();
    convertTimeline(*intake, text.c_str(), expandText(state.range(0)), ConsolePort{});
  }
}
BENCHMARK(BM_ConversionOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ChartUpdateOnly(benchmark::State& state) {
  TickIntake intake;
  convertTimeline(intake, maximalBatch().c_str(), expandText(state.range(0)), ConsolePort{});
  std::unique_ptr<PfChart> chart;
  ChartSettings settings;
  for (auto _ : state) {
    state.PauseTiming();
    chart.reset();
    chart = std::make_unique<PfChart>();
    state.ResumeTiming();
    chart->update(intake.batchPointList, settings);
  }
}
BENCHMARK(BM_ChartUpdateOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

// The chart on one price grid against the original construction, on the
// same points of the maximal history (one per bar): 0 the original, 1 a
// 1 % grid by closes, 2 the same grid by highs and lows, 3 the traditional
// table by closes. The grid should cost no more, nor its snapshots more
// bytes each.
void BM_GridAgainstOriginal(benchmark::State& state) {
  TickIntake intake;
  convertTimeline(intake, maximalBatch().c_str(), false, ConsolePort{});
  std::unique_ptr<PfChart> chart;
  ChartSettings settings;
  std::string reason;
  if (state.range(0) == 1 || state.range(0) == 2) settings.grid = parseGridScale("1%", reason);
  if (state.range(0) == 3) settings.grid = parseGridScale("trad", reason);
  settings.dataExpand = state.range(0) == 2;  // under a grid: highs and lows
  for (auto _ : state) {
    state.PauseTiming();
    chart.reset();
    chart = std::make_unique<PfChart>();
    chart->applySettings(settings, settings.digits);
    state.ResumeTiming();
    chart->update(intake.batchPointList, settings);
  }
  state.counters["columns"] = static_cast<double>(chart->columns().size());
  state.counters["snapshot_bytes"] =
      static_cast<double>(chart->snapshotBytes()) / static_cast<double>(chart->snapshots().size());
}
BENCHMARK(BM_GridAgainstOriginal)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// A refresh where the MT5 side only changed the newest bar: the text is the
// whole batch again (its length taken from the terminating zero, as the
// library's text comes), but only its end is read.
void BM_RefreshNewestBarChanged(benchmark::State& state) {
  std::string text = maximalBatch();
  TickIntake intake;
  PfChart chart;
  ChartSettings settings;
  chart.applySettings(settings, settings.digits);
  const bool expand = expandText(state.range(0));
  convertTimeline(intake, text.c_str(), expand, ConsolePort{});
  chart.update(intake.batchPointList, settings);
  // The close price's last digit of the newest line toggles on every refresh.
  char& digit = text[text.size() - 2];
  for (auto _ : state) {
    digit = digit == '1' ? '2' : '1';
    convertTimeline(intake, text.c_str(), expand, ConsolePort{});
    chart.update(intake.batchPointList, settings);
    benchmark::DoNotOptimize(chart.snapshots().size());
  }
  state.counters["batch_points"] = static_cast<double>(intake.batchPointList.size());
}
BENCHMARK(BM_RefreshNewestBarChanged)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A refresh that brings one new bar: the whole history again plus a line.
// Its cost must not grow with the millions of points already applied.
void BM_RefreshWithNewBar(benchmark::State& state) {
  std::string text = maximalBatch();
  TickIntake intake;
  PfChart chart;
  ChartSettings settings;
  chart.applySettings(settings, settings.digits);
  const bool expand = expandText(state.range(0));
  convertTimeline(intake, text.c_str(), expand, ConsolePort{});
  chart.update(intake.batchPointList, settings);
  int minute = 0;
  char line[128];
  for (auto _ : state) {
    state.PauseTiming();
    const int length = std::snprintf(
        line, sizeof line, "2099/%02d/%02d %02d:%02d:00.000,1.10000,1.20000,1.00000,1.15000\n",
        1 + minute / 40320 % 12, 1 + minute / 1440 % 28, minute / 60 % 24, minute % 60);
    text.append(line, static_cast<size_t>(length));
    ++minute;
    state.ResumeTiming();
    convertTimeline(intake, text.c_str(), expand, ConsolePort{});
    chart.update(intake.batchPointList, settings);
    benchmark::DoNotOptimize(chart.snapshots().size());
  }
  state.counters["batch_points"] = static_cast<double>(intake.batchPointList.size());
}
BENCHMARK(BM_RefreshWithNewBar)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(50);

// What the link requires for every refresh: zero the 128 MiB staging buffer,
// copy the block; the refresh above should cost at most twice this.
void BM_OneBlockRead(benchmark::State& state) {
  std::vector<char> block(kBlockBytes, 'x'), staging(kBlockBytes);
  for (auto _ : state) {
    std::memset(staging.data(), 0, kBlockBytes);
    std::memcpy(staging.data(), block.data(), kBlockBytes);
    benchmark::DoNotOptimize(staging.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_OneBlockRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// The machine's own yardstick for this run: a plain copy of 128 MiB.
void BM_PlainMemcpy(benchmark::State& state) {
  std::vector<char> from(kBlockBytes, 'x'), to(kBlockBytes, 'y');
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kBlockBytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainMemcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

// A field of /proc/self/status in MiB: VmHWM (the peak resident set so far)
// or VmRSS (the resident set now).
double statusMiB(const char* field) {
  FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return -1;
  char line[256];
  double kib = -1;
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

// Memory of one full conversion + update; run in a process of its own (see
// main) so that its peak is not mixed with the other runs. Resident memory
// counts what was written; room reserved for later bars is not.
void reportMemory(bool expand) {
  const std::string& text = maximalBatch();
  const double before = statusMiB("VmRSS");
  TickIntake intake;
  PfChart chart;
  ChartSettings settings;
  chart.applySettings(settings, settings.digits);
  convertTimeline(intake, text.c_str(), expandText(expand), ConsolePort{});
  const double afterIntake = statusMiB("VmRSS");
  chart.update(intake.batchPointList, settings);
  const double afterChart = statusMiB("VmRSS");
  const double snapshots = static_cast<double>(chart.snapshots().size());
  std::printf(
      "memory, data expansion %s: %zu lines, %.0f points, %.0f snapshots\n"
      "  %.1f bytes per snapshot (its position, and the column states it shows)\n"
      "  chart (snapshots, states, columns; points read from the intake's list): %.1f MiB "
      "resident, %.1f bytes per point\n"
      "  intake lists (records, points, texts): %.1f MiB resident\n"
      "  peak resident set %.1f MiB, of which %.1f MiB before the conversion (the text)\n",
      expand ? "on" : "off", lineCount(), static_cast<double>(chart.points().size()), snapshots,
      static_cast<double>(chart.snapshotBytes()) / snapshots, afterChart - afterIntake,
      (afterChart - afterIntake) * (1 << 20) / snapshots, afterIntake - before, statusMiB("VmHWM"),
      before);
  std::fflush(stdout);
}

}  // namespace
}  // namespace tavelund

int main(int argc, char** argv) {
  // "--memory=on" / "--memory=off": only the memory report, in this process.
  if (argc == 2 && std::strncmp(argv[1], "--memory=", 9) == 0) {
    tavelund::reportMemory(std::strcmp(argv[1] + 9, "on") == 0);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("maximal batch: %zu lines, %zu bytes\n", tavelund::lineCount(),
              tavelund::maximalBatch().size());
  std::fflush(stdout);
  for (const char* mode : {"--memory=off", "--memory=on"}) {
    const pid_t child = fork();
    if (child == 0) {
      execl("/proc/self/exe", argv[0], mode, static_cast<char*>(nullptr));
      _exit(127);
    }
    if (child > 0) waitpid(child, nullptr, 0);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
