// The steps of the variant pass timed apart on one thread, for the scaling
// model of the threaded pass: reading lines (the reader thread) and
// writing records to a real result file (the writing thread) each stay on
// one thread, evaluating (splitting, numbers, eigenvalues, formatting) is
// spread over the workers. For each shape it reports the time per variant
// of each step, the serial share max(read, write) / (read + evaluate +
// write), and the speed-up the model predicts on 16 and 64 workers:
// (read + evaluate + write) / max(read, write, evaluate / N).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "combine/statistic.h"
#include "driver/control.h"
#include "driver/line_batch.h"
#include "pass_data.h"

namespace {

using namespace kolva;
using Clock = std::chrono::steady_clock;

void BM_PassSteps(benchmark::State& state) {
  const int nvara = static_cast<int>(state.range(0));
  const int variants = static_cast<int>(state.range(1));
  PassData data(nvara, variants);
  const BatchBounds bounds = batch_bounds(nvara, 1);
  auto batch = std::make_unique<LineBatch>();
  auto worker = std::make_unique<LineWorker>();
  const auto engine = std::make_unique<Statistic>(data.k.data(), nvara);
  const int sink = ::open("/dev/null", O_WRONLY);
  double read = 0, eval = 0, write = 0;
  for (auto _ : state) {
    Channels ch(sink, sink);
    ch.open(kPvalUnit, (data.dir / "pvals.txt").string(), true);
    ch.open(kResultUnit, (data.dir / "results.txt").string(), false);
    ch.open(kLogUnit, "/dev/null", false);
    LineReader reader;
    for (std::int64_t first = 1; first <= variants; first += batch->count) {
      const auto t0 = Clock::now();
      read_lines(ch.input(kPvalUnit), reader, first, variants, bounds, *batch);
      const auto t1 = Clock::now();
      evaluate_lines(*engine, variants, *batch, *worker);
      const auto t2 = Clock::now();
      write_lines(ch, *batch);
      const auto t3 = Clock::now();
      read += std::chrono::duration<double>(t1 - t0).count();
      eval += std::chrono::duration<double>(t2 - t1).count();
      write += std::chrono::duration<double>(t3 - t2).count();
    }
    ch.close_all();
  }
  ::close(sink);
  const double n = static_cast<double>(state.iterations()) * variants;
  state.counters["read_ns"] = read / n * 1e9;
  state.counters["evaluate_ns"] = eval / n * 1e9;
  state.counters["write_ns"] = write / n * 1e9;
  const double serial = std::max(read, write);
  state.counters["serial_share"] = serial / (read + eval + write);
  for (int workers : {16, 64})
    state.counters["speedup_" + std::to_string(workers)] =
        (read + eval + write) / std::max(serial, eval / workers);
}

BENCHMARK(BM_PassSteps)
    ->Args({50, 2000})
    ->Args({20, 20000})
    ->Args({5, 200000})
    ->Args({2, 1000000})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
