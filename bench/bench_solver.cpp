// The eigenvalue solver against this processor's limit, on whole runs made
// by kolva_gen (the e2e data sets): for each run directory, one thread's
// time per variant, the solver problems a variant brings, the divisions,
// square roots and multiplies or adds they need, and the time the solver
// kernels take. The divider's time per division and per square root and
// the vector units' time per multiply are measured here too; divisions and
// square roots share one divider per core, so the floor is the larger of
// (divisions x their time + square roots x theirs) and (multiplies and
// adds x theirs). The distance to the limit is measured / floor.
//   bench_solver RUN_DIR ...   (results.txt and kolva_log.txt are rewritten)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "driver/run.h"
#include "numeric/eigen_testing.h"
#include "numeric/fastpath_testing.h"

namespace {

using namespace kolva;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Floating-point operations of a count, kept apart by the unit that runs them.
struct Ops {
  double div = 0, sqrt = 0, muladd = 0;
};

// The reduction of one problem of order n (tdiag_values), every row from
// n down to 3 reflected (row 2 never is; a row already reduced would save
// its share, which correlation matrices hardly have).
Ops reduction_ops(int n) {
  Ops o;
  for (double i = 3; i <= n; ++i) {
    o.div += 2 * i - 1;  // u / h and p / h per column, then f / 2h
    o.sqrt += 1;
    o.muladd += 2 * (i + (i - 1) * (i - 1) + 2 * (i - 1) + i * (i - 1)) + 2;
  }
  return o;
}

// The QL iteration's work from its counts: a sweep's shift and end (2
// divisions, a square root, 9 multiplies or adds and one subtraction a row
// shifted), a rotation's 3 divisions, square root and 14 multiplies or
// adds, and the shift added back to each eigenvalue.
Ops ql_ops(const QlWork& w, std::int64_t values) {
  Ops o;
  o.div = 2.0 * w.sweeps + 3.0 * w.rotations;
  o.sqrt = 1.0 * w.sweeps + 1.0 * w.rotations;
  o.muladd = 9.0 * w.sweeps + double(w.shifted) + 14.0 * w.rotations + double(values);
  return o;
}

// What the counting kernels saw, and the time the real kernels took.
struct Tally {
  std::int64_t problems = 0, values = 0;
  Ops reduction, ql;
  QlWork work;
  double tdiag_s = 0, ql_s = 0;
};
Tally tally;
const FastKernels* real = nullptr;
bool counting = false;  // else timing: the counts would slow the kernels

void counting_tdiag(int count, const int* order, const double* const* a, const int* const* index,
                    int lda, double* d, double* e, int ld) {
  const auto t0 = Clock::now();
  real->tdiag_many(count, order, a, index, lda, d, e, ld);
  tally.tdiag_s += seconds_since(t0);
  if (!counting) return;
  for (int q = 0; q < count; ++q) {
    const Ops o = reduction_ops(order[q]);
    tally.reduction.div += o.div, tally.reduction.sqrt += o.sqrt,
        tally.reduction.muladd += o.muladd;
  }
}

void counting_lrvt(int count, const int* order, double* d, double* e, int ld, std::int32_t* fault,
                   std::int32_t maxsweeps) {
  // The scalar iteration on copies counts the sweeps and rotations; the
  // kernels make the same ones, lane by lane.
  std::vector<double> dc(kLd), ec(kLd);
  for (int q = 0; counting && q < count; ++q) {
    const int n = order[q];
    if (n < 2) continue;
    std::copy(d + q * ld, d + q * ld + n, dc.begin());
    std::copy(e + q * ld, e + q * ld + n, ec.begin());
    std::int32_t f = 0;
    lrvt_values_counted(n, dc.data(), ec.data(), f, tally.work);
    ++tally.problems;
    tally.values += n;
  }
  const auto t0 = Clock::now();
  real->lrvt_many(count, order, d, e, ld, fault, maxsweeps);
  tally.ql_s += seconds_since(t0);
}

// Nanoseconds per lane of one operation (0 division, 1 square root, 2
// multiply) on 8 independent AVX-512 vectors at a time.
enum class Unit { div, sqrt, mul };

template <Unit u>
__attribute__((target("avx512f"))) double lane_ns() {
  typedef double V __attribute__((vector_size(64)));
  V x0 = V{} + 1.5, x1 = V{} + 2.5, x2 = V{} + 3.5, x3 = V{} + 4.5, x4 = V{} + 5.5, x5 = V{} + 6.5,
    x6 = V{} + 7.5, x7 = V{} + 8.5;
  constexpr int kRounds = 2000000;
  double best = 1e30;
  for (int rep = 0; rep < 5; ++rep) {
    const auto t0 = Clock::now();
    for (int r = 0; r < kRounds; ++r) {
      // clang-format off
#define KOLVA_STEP(x)                                                            \
  if constexpr (u == Unit::div) x = 3.0 / x;                                     \
  if constexpr (u == Unit::sqrt) x = __builtin_ia32_sqrtpd512_mask(x, x, -1, 4); \
  if constexpr (u == Unit::mul) x = x * 0.9999999;
      KOLVA_STEP(x0) KOLVA_STEP(x1) KOLVA_STEP(x2) KOLVA_STEP(x3)
      KOLVA_STEP(x4) KOLVA_STEP(x5) KOLVA_STEP(x6) KOLVA_STEP(x7)
#undef KOLVA_STEP
      __asm__ volatile("" : "+v"(x0), "+v"(x1), "+v"(x2), "+v"(x3), "+v"(x4), "+v"(x5), "+v"(x6),
                       "+v"(x7));
      // clang-format on
    }
    best = std::min(best, seconds_since(t0));
  }
  return best / (kRounds * 8.0 * 8.0) * 1e9;
}

struct UnitTimes {
  double div, sqrt, muladd;
};

UnitTimes unit_times() {
  if (!__builtin_cpu_supports("avx512f")) return {0, 0, 0};
  return {lane_ns<Unit::div>(), lane_ns<Unit::sqrt>(), lane_ns<Unit::mul>()};
}

// One whole run in the working directory on one thread; seconds.
double time_run(int out) {
  const auto t0 = Clock::now();
  const int status = run({out, out}, {});
  const double s = seconds_since(t0);
  return status == 0 ? s : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_solver RUN_DIR ...\n");
    return 64;
  }
  const UnitTimes unit = unit_times();
  if (unit.div == 0) std::printf("no AVX-512 here: the floor is not measured\n");
  std::printf("divider: %.3f ns a division, %.3f ns a square root; %.4f ns a multiply or add\n\n",
              unit.div, unit.sqrt, unit.muladd);
  const int out = ::open("/dev/null", O_WRONLY);
  for (int i = 1; i < argc; ++i) {
    if (::chdir(argv[i]) != 0) {
      std::perror(argv[i]);
      return 1;
    }
    double best = 1e30;
    for (int rep = 0; rep < 3; ++rep) best = std::min(best, time_run(out));
    if (best < 0) {
      std::fprintf(stderr, "%s: the run failed\n", argv[i]);
      return 1;
    }
    tally = Tally{};
    real = &fast_kernels();
    const FastKernels looking{counting_tdiag, counting_lrvt};
    use_kernels(&looking);
    counting = false;
    time_run(out);
    const double tdiag_s = tally.tdiag_s, ql_s = tally.ql_s;
    counting = true;
    time_run(out);
    use_kernels(nullptr);

    std::int64_t variants = 0;
    if (std::FILE* f = std::fopen("defdims", "r")) {
      long long nvara = 0, nsnp = 0;
      if (std::fscanf(f, "%lld %lld", &nvara, &nsnp) == 2) variants = nsnp;
      std::fclose(f);
    }
    const double per = 1.0 / double(variants);
    const Ops ql = ql_ops(tally.work, tally.values);
    const Ops all{tally.reduction.div + ql.div, tally.reduction.sqrt + ql.sqrt,
                  tally.reduction.muladd + ql.muladd};
    auto floor_us = [&](const Ops& o) {
      return std::max(o.div * unit.div + o.sqrt * unit.sqrt, o.muladd * unit.muladd) * per / 1e3;
    };
    const double run_us = best * per * 1e6, tdiag_us = tdiag_s * per * 1e6,
                 ql_us = ql_s * per * 1e6;
    std::printf("%s: %lld variants, %.0f variants/s on one thread (%.2f us a variant)\n", argv[i],
                static_cast<long long>(variants), 1.0 / (best * per), run_us);
    std::printf("  per variant: %.2f solver problems; QL %.0f sweeps, %.0f rotations\n",
                double(tally.problems) * per, double(tally.work.sweeps) * per,
                double(tally.work.rotations) * per);
    std::printf("  %-10s %12s %12s %14s %10s %10s %8s\n", "part", "divisions", "sqrt", "mul/add",
                "floor us", "time us", "ratio");
    auto row = [&](const char* name, const Ops& o, double us) {
      std::printf("  %-10s %12.0f %12.0f %14.0f %10.2f %10.2f %8.2f\n", name, o.div * per,
                  o.sqrt * per, o.muladd * per, floor_us(o), us, us / floor_us(o));
    };
    row("reduction", tally.reduction, tdiag_us);
    row("QL", ql, ql_us);
    row("solver", all, tdiag_us + ql_us);
    row("whole run", all, run_us);
    std::printf("\n");
  }
  return 0;
}
