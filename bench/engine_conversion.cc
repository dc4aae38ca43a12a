// A maximal batch (the 128 MiB timeline block full of 56-byte lines of a
// random walk) through the conversion and the chart update:
//  - full conversion + update, hand-written matcher vs the literal version;
//  - the refresh when only the newest bar changed, next to one block read;
//  - memory: bytes per snapshot, peak memory with and without expansion.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/engine_literal_timeline.h"
#include "engine/pf_chart.h"
#include "intake/tick_intake.h"

namespace tavelund {
namespace {

constexpr size_t kBlockBytes = size_t{128} << 20;

// Lines as the link library writes them, until the block is full.
const std::string& maximalBatch() {
  static const std::string text = [] {
    std::string out;
    out.reserve(kBlockBytes);
    std::mt19937 random(42);
    std::normal_distribution<double> step(0.0, 0.0004);
    double price = 1.08500;
    int day = 0, minute = 0;
    char line[128];
    for (;;) {
      const double open = price;
      double high = open, low = open;
      for (int i = 0; i < 4; ++i) {
        price += step(random);
        if (price < 0.5) price = 0.5;
        high = std::max(high, price);
        low = std::min(low, price);
      }
      const int length = std::snprintf(
          line, sizeof line, "%04d/%02d/%02d %02d:%02d:%02d.%03d,%.5f,%.5f,%.5f,%.5f\n",
          2000 + day / 336, 1 + day / 28 % 12, 1 + day % 28, minute / 60, minute % 60, 0, 0, open,
          high, low, price);
      if (out.size() + static_cast<size_t>(length) >= kBlockBytes) break;
      out.append(line, static_cast<size_t>(length));
      if (++minute == 24 * 60) minute = 0, ++day;
    }
    return out;
  }();
  return text;
}

size_t lineCount() {
  static const size_t count = static_cast<size_t>(
      std::count(maximalBatch().begin(), maximalBatch().end(), '\n'));
  return count;
}

const wchar_t* expandText(int64_t expand) { return expand ? L"TRUE" : L"FALSE"; }

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
    convertTimeline(*intake, text.c_str(), expandText(state.range(0)), ConsolePort{});
    chart->update(intake->batchPointList, settings);
    benchmark::DoNotOptimize(chart->snapshots().data());
  }
  state.counters["lines"] = static_cast<double>(lineCount());
  state.counters["snapshots"] = static_cast<double>(chart->snapshots().size());
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(lineCount()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FullConversionAndUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);

// The yardstick: split into strings, std::regex, stoi/stof, then the same update.
void BM_LiteralConversionAndUpdate(benchmark::State& state) {
  const std::string& text = maximalBatch();
  ChartSettings settings;
  for (auto _ : state) {
    TickIntake intake;
    PfChart chart;
    chart.applySettings(settings, settings.digits);
    literal::convertAll(intake, text, state.range(0) != 0);
    chart.update(intake.batchPointList, settings);
    benchmark::DoNotOptimize(chart.snapshots().data());
    state.PauseTiming();  // leave the clean-up out, as above
    {
      TickIntake gone = std::move(intake);
      PfChart goneChart = std::move(chart);
    }
    state.ResumeTiming();
  }
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(lineCount()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LiteralConversionAndUpdate)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(1);

// A refresh where the MT5 side only changed the newest bar: the text is the
// whole batch again (its length taken from the terminating zero, as the
// library's text comes), but only its end is read.
void BM_RefreshNewestBarChanged(benchmark::State& state) {
  std::string text = maximalBatch();
  TickIntake intake;
  PfChart chart;
  ChartSettings settings;
  chart.applySettings(settings, settings.digits);
  const wchar_t* expand = expandText(state.range(0));
  convertTimeline(intake, text.c_str(), expand, ConsolePort{});
  chart.update(intake.batchPointList, settings);
  // The close price's last digit of the newest line toggles on every refresh.
  char& digit = text[text.size() - 2];
  for (auto _ : state) {
    digit = digit == '1' ? '2' : '1';
    convertTimeline(intake, text.c_str(), expand, ConsolePort{});
    chart.update(intake.batchPointList, settings);
    benchmark::DoNotOptimize(chart.snapshots().data());
  }
  state.counters["batch_points"] = static_cast<double>(intake.batchPointList.size());
}
BENCHMARK(BM_RefreshNewestBarChanged)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

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

size_t heapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Memory of one full conversion + update, in a child process of its own so
// that its peak is not mixed with the other runs.
void reportMemory(bool expand) {
  const std::string& text = maximalBatch();
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    const size_t heapBefore = heapInUse();
    TickIntake intake;
    PfChart chart;
    ChartSettings settings;
    chart.applySettings(settings, settings.digits);
    convertTimeline(intake, text.c_str(), expandText(expand), ConsolePort{});
    const size_t heapIntake = heapInUse();
    chart.update(intake.batchPointList, settings);
    const size_t heapChart = heapInUse();
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const double snapshots = static_cast<double>(chart.snapshots().size());
    char report[1024];
    const int length = std::snprintf(
        report, sizeof report,
        "memory, data expansion %s: %zu lines, %.0f points, %.0f snapshots\n"
        "  sizeof(PfColumn) %zu bytes (no heap block of its own; texts shared per record)\n"
        "  snapshot list %.1f bytes per snapshot (capacity included)\n"
        "  chart heap (snapshots, columns, its point list, shared texts) %.1f bytes per point\n"
        "  intake lists (records, points, batch) %.1f MiB; chart %.1f MiB\n"
        "  peak resident set of the process %.1f MiB (includes the 128 MiB text)\n",
        expand ? "on" : "off", lineCount(), static_cast<double>(chart.points().size()), snapshots,
        sizeof(PfColumn),
        static_cast<double>(chart.snapshots().capacity() * sizeof(PfColumn)) / snapshots,
        static_cast<double>(heapChart - heapIntake) / snapshots,
        static_cast<double>(heapIntake - heapBefore) / (1 << 20),
        static_cast<double>(heapChart - heapIntake) / (1 << 20),
        static_cast<double>(usage.ru_maxrss) / 1024);
    if (length > 0) (void)!write(pipeEnds[1], report, static_cast<size_t>(length));
    _exit(0);
  }
  close(pipeEnds[1]);
  char buffer[2048];
  ssize_t got;
  while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
    (void)!fwrite(buffer, 1, static_cast<size_t>(got), stdout);
  close(pipeEnds[0]);
  waitpid(child, nullptr, 0);
  std::fflush(stdout);
}

}  // namespace
}  // namespace tavelund

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::printf("maximal batch: %zu lines, %zu bytes\n", tavelund::lineCount(),
              tavelund::maximalBatch().size());
  tavelund::reportMemory(false);
  tavelund::reportMemory(true);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
