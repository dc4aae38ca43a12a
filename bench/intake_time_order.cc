// The batch's time-order check beside the full conversion it follows: a
// maximal batch (the 128 MiB timeline block full of 56-byte lines, one a
// minute), converted on one thread per core, then its records checked.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "intake/tick_intake.h"
#include "intake/time_order.h"

namespace tavelund {
namespace {

constexpr size_t kBlockBytes = size_t{128} << 20;

const std::string& maximalBatch() {
  static const std::string text = [] {
    std::string out;
    out.reserve(kBlockBytes);
    char line[128];
    for (long minute = 0;; ++minute) {
      const long day = minute / 1440;
      const double price = 1.0 + static_cast<double>(minute % 997) / 10000.0;
      const int length = std::snprintf(
          line, sizeof line, "%04ld/%02ld/%02ld %02ld:%02ld:00.000,%.5f,%.5f,%.5f,%.5f\n",
          2000 + day / 336, 1 + day / 28 % 12, 1 + day % 28, minute / 60 % 24, minute % 60, price,
          price + 0.0002, price - 0.0002, price + 0.0001);
      if (out.size() + static_cast<size_t>(length) >= kBlockBytes) break;
      out.append(line, static_cast<size_t>(length));
    }
    return out;
  }();
  return text;
}

// range(0): 1 when the check runs after the conversion.
void BM_FullConversion(benchmark::State& state) {
  const std::string& text = maximalBatch();
  std::unique_ptr<TickIntake> intake;
  for (auto _ : state) {
    state.PauseTiming();
    intake = std::make_unique<TickIntake>();
    state.ResumeTiming();
    convertTimeline(*intake, text, false, ConsolePort{});
    if (state.range(0) != 0) benchmark::DoNotOptimize(batchTimeOrderEntry(*intake));
    state.PauseTiming();
    intake.reset();  // the clean-up stays out of the timing
    state.ResumeTiming();
  }
  state.counters["checked"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_FullConversion)
    ->Arg(0)
    ->Arg(1)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// The check alone, on the records of one conversion.
void BM_TimeOrderCheck(benchmark::State& state) {
  TickIntake intake;
  convertTimeline(intake, maximalBatch(), false, ConsolePort{});
  for (auto _ : state) benchmark::DoNotOptimize(batchTimeOrderEntry(intake));
  state.counters["records"] = static_cast<double>(intake.recordList.size());
}
BENCHMARK(BM_TimeOrderCheck)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavelund

BENCHMARK_MAIN();
