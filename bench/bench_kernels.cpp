// Timing of the numerical kernels: the eigen-solver in its full and
// values-only forms at the orders a variant can have, and the sort at the
// largest count.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "numeric/eigen.h"
#include "numeric/sortp.h"
#include "reference/reference.h"

namespace {

constexpr int kLd = 50;

// A correlation-like matrix: unit diagonal, positive off-diagonal entries
// of moderate size, as the converted p-value correlations are.
std::vector<double> correlation_like(int n) {
  std::mt19937_64 g(1234 + n);
  std::uniform_real_distribution<double> u(0.0, 0.6);
  std::vector<double> a(kLd * kLd, 0.0);
  for (int j = 0; j < n; ++j)
    for (int i = j; i < n; ++i) a[j * kLd + i] = (i == j) ? 1.0 : u(g);
  return a;
}

void BM_EigenFull(benchmark::State& state) {
  const int n = int(state.range(0));
  const std::vector<double> a = correlation_like(n);
  std::vector<double> d(kLd), e(kLd), z(kLd * kLd);
  std::int32_t codes[4];
  for (auto _ : state) {
    kolva::setz(codes);
    kolva::tdiag(n, a.data(), d.data(), e.data(), z.data(), kLd, codes[0]);
    kolva::lrvt(n, d.data(), e.data(), z.data(), codes[1], kLd);
    benchmark::DoNotOptimize(d.data());
    benchmark::ClobberMemory();
  }
}

void BM_EigenValues(benchmark::State& state) {
  const int n = int(state.range(0));
  const std::vector<double> a = correlation_like(n);
  std::vector<double> d(kLd), e(kLd), z(kLd * kLd);
  std::int32_t codes[4];
  for (auto _ : state) {
    kolva::setz(codes);
    kolva::tdiag_values(n, a.data(), d.data(), e.data(), z.data(), kLd, codes[0]);
    kolva::lrvt_values(n, d.data(), e.data(), codes[1]);
    benchmark::DoNotOptimize(d.data());
    benchmark::ClobberMemory();
  }
}

void BM_Sortp(benchmark::State& state) {
  const int n = int(state.range(0));
  std::mt19937_64 g(77);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> values(n), sorted(n);
  std::vector<std::int32_t> index(n);
  for (double& v : values) v = u(g);
  for (auto _ : state) {
    kolva::sortp(values.data(), n, sorted.data(), index.data());
    benchmark::DoNotOptimize(sorted.data());
    benchmark::DoNotOptimize(index.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_EigenFull)->Arg(2)->Arg(5)->Arg(10)->Arg(20)->Arg(50);
BENCHMARK(BM_EigenValues)->Arg(2)->Arg(5)->Arg(10)->Arg(20)->Arg(50);
BENCHMARK(BM_Sortp)->Arg(50);

}  // namespace

BENCHMARK_MAIN();
