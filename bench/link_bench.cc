// What a transfer costs: publish + read of a one-line batch and of a full
// batch, beside a plain copy of the block's size and the literal whole-block
// read (zero-fill plus copy) for comparison; and one read and one write of
// the send flag, the 1 KiB channel that a waiting refresh reads every
// millisecond.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "link/tickwell.h"

namespace {

constexpr size_t kBlock = 0x8000000;

bool channelsReady(benchmark::State& state) {
  if (!checkSendticksMT5(L"LOW_TIMELINEShared") && initSendticksMT5()) return true;
  state.SkipWithError("the channels are in use by another process");
  return false;
}

void BM_Memcpy128MiB(benchmark::State& state) {
  std::vector<char> from(kBlock, 'x'), to(kBlock, 0);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kBlock);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBlock));
}
BENCHMARK(BM_Memcpy128MiB)->Unit(benchmark::kMillisecond);

// The transfer as written out in full: zero the 128 MiB snapshot, copy the
// 128 MiB block.
void BM_LiteralWholeBlockRead(benchmark::State& state) {
  std::vector<char> block(kBlock, 0), snapshot(kBlock, 1);
  std::memset(block.data(), 'x', 60);
  for (auto _ : state) {
    std::memset(snapshot.data(), 0, kBlock);
    std::memcpy(snapshot.data(), block.data(), kBlock);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LiteralWholeBlockRead)->Unit(benchmark::kMillisecond);

void BM_PublishAndReadOneLine(benchmark::State& state) {
  if (!channelsReady(state)) return;
  for (auto _ : state) {
    lineSendTimeLineMT5(2024, 3, 5, 9, 7, 0, 0, 1.0851, 1.0853, 1.0849, 1.08525);
    completeSendticksMT5();
    benchmark::DoNotOptimize(ReadLinesMT5());
  }
  deinitSendticksMT5();
}
BENCHMARK(BM_PublishAndReadOneLine)->Unit(benchmark::kMicrosecond);

// A batch that fills the block: the lines are appended outside the timing.
void BM_PublishAndReadFullBatch(benchmark::State& state) {
  if (!channelsReady(state)) return;
  const size_t lines = (kBlock - 1) / 56;
  size_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (size_t i = 0; i < lines; ++i) {
      lineSendTimeLineMT5(2024, 3, 5, 9, 7, 0, 0, 1.0851, 1.0853, 1.0849, 1.08525);
    }
    state.ResumeTiming();
    completeSendticksMT5();
    const char* text = ReadLinesMT5();
    benchmark::DoNotOptimize(text);
    bytes = std::strlen(text);
  }
  state.counters["batch_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
  deinitSendticksMT5();
}
BENCHMARK(BM_PublishAndReadFullBatch)->Unit(benchmark::kMillisecond)->Iterations(10);

// What the viewer pays for each refresh when the batch fills the block.
void BM_ReadFullBatch(benchmark::State& state) {
  if (!channelsReady(state)) return;
  for (size_t i = 0; i < (kBlock - 1) / 56; ++i) {
    lineSendTimeLineMT5(2024, 3, 5, 9, 7, 0, 0, 1.0851, 1.0853, 1.0849, 1.08525);
  }
  completeSendticksMT5();
  for (auto _ : state) benchmark::DoNotOptimize(ReadLinesMT5());
  deinitSendticksMT5();
}
BENCHMARK(BM_ReadFullBatch)->Unit(benchmark::kMillisecond);

void BM_ReadSendFlag(benchmark::State& state) {
  if (!channelsReady(state)) return;
  int ready = 1;
  setsendcheckMT5(&ready);
  for (auto _ : state) benchmark::DoNotOptimize(getSendCheckMT5());
  deinitSendticksMT5();
}
BENCHMARK(BM_ReadSendFlag)->Unit(benchmark::kNanosecond);

void BM_WriteSendFlag(benchmark::State& state) {
  if (!channelsReady(state)) return;
  int request = 0;
  for (auto _ : state) benchmark::DoNotOptimize(setsendcheckMT5(&request));
  deinitSendticksMT5();
}
BENCHMARK(BM_WriteSendFlag)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
