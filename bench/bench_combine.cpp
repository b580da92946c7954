// Reference against production on the same set of generated variants, in
// one run: for 50, 20 and 5 phenotypes, each iteration evaluates the set
// with combine_reference() and with combine_batch() kBatch variants at a
// time, as the variant pass does (interleaved, so a busy
// machine slows both alike), checks that every combined value agrees to
// the bit, and reports the production time per variant and the ratio.
// The first three lines use the best kernel build (AVX-512), the others
// the AVX2 and baseline builds.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "combine/combine.h"
#include "combine/combine_testing.h"
#include "numeric/fastpath_testing.h"
#include "reference/reference.h"

namespace {

using kolva::kLd;

// Two-factor phenotype correlations rounded to four decimals, as in the
// generated data sets, and p-values with about 3 % missing.
struct Batch {
  std::vector<double> k = std::vector<double>(kLd * kLd, 0.0);
  std::vector<double> p;  // variants x nvara
  int nvara = 0;
  int count = 0;
};

Batch make_batch(int nvara, int count, unsigned seed) {
  Batch b;
  b.nvara = nvara;
  b.count = count;
  std::mt19937_64 g(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> load(2 * nvara);
  for (int i = 0; i < nvara; ++i) {
    load[2 * i] = 0.3 + 0.5 * u(g);
    load[2 * i + 1] = (i % 2 ? 0.4 : -0.2) * u(g);
  }
  for (int i = 0; i < nvara; ++i)
    for (int j = 0; j < nvara; ++j)
      b.k[j * kLd + i] =
          i == j
              ? 1.0
              : std::round((load[2 * i] * load[2 * j] + load[2 * i + 1] * load[2 * j + 1]) * 1e4) /
                    1e4;
  b.p.resize(std::size_t(nvara) * count);
  for (double& x : b.p) x = u(g) < 0.03 ? -9.0 : u(g);
  return b;
}

double seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

void BM_ReferenceOverProduction(benchmark::State& state) {
  const int nvara = int(state.range(0));
  const int count = int(state.range(1));
  const auto isa = static_cast<kolva::Isa>(state.range(2));
  if (!kolva::select_isa(isa)) {
    state.SkipWithError("instruction set not supported here");
    return;
  }
  const Batch b = make_batch(nvara, count, 20240 + nvara);
  auto c = std::make_unique<kolva::Combiner>();
  auto bc = std::make_unique<kolva::BatchCombiner>();
  std::vector<double> ref(count), fast(count);
  double tref = 0, tfast = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    for (int v = 0; v < count; ++v)
      ref[v] = kolva::combine_reference(b.k.data(), nvara, &b.p[std::size_t(v) * nvara], *c);
    auto t1 = std::chrono::steady_clock::now();
    for (int v0 = 0; v0 < count; v0 += kolva::kBatch) {
      const int m = count - v0 < kolva::kBatch ? count - v0 : kolva::kBatch;
      const double* vals[kolva::kBatch];
      for (int i = 0; i < m; ++i) vals[i] = &b.p[std::size_t(v0 + i) * nvara];
      kolva::combine_batch(b.k.data(), nvara, vals, m, *bc, kolva::mits);
      for (int i = 0; i < m; ++i) fast[v0 + i] = bc->var[i].combined;
    }
    auto t2 = std::chrono::steady_clock::now();
    tref += seconds(t1 - t0);
    tfast += seconds(t2 - t1);
    state.SetIterationTime(seconds(t2 - t1));
    if (std::memcmp(ref.data(), fast.data(), sizeof(double) * count) != 0) {
      state.SkipWithError("production and reference results differ");
      break;
    }
  }
  state.counters["us_per_variant"] = 1e6 * tfast / (double(state.iterations()) * count);
  state.counters["ref_us_per_variant"] = 1e6 * tref / (double(state.iterations()) * count);
  state.counters["ratio"] = tfast > 0 ? tref / tfast : 0;
}

// Arguments: phenotypes, variants in the batch, kernel build (0 baseline,
// 1 AVX2, 2 AVX-512).
BENCHMARK(BM_ReferenceOverProduction)
    ->Args({50, 200, 2})
    ->Args({20, 1000, 2})
    ->Args({5, 10000, 2})
    ->Args({50, 200, 1})
    ->Args({20, 1000, 1})
    ->Args({5, 10000, 1})
    ->Args({50, 200, 0})
    ->Args({20, 1000, 0})
    ->Args({5, 10000, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
