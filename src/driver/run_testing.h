// Test hooks of the run: whole runs in-process whose batches are evaluated
// otherwise (the plain evaluation, no reuse, few solver sweeps), to be
// compared with the run's own.
#pragma once

#include <cstdint>

#include "driver/line_batch.h"
#include "driver/run.h"

namespace kolva {

// How a run evaluates its batches: through an engine with `sweeps` QL
// sweeps per eigenvalue, by the statistic's own evaluation (batch null) or
// by `batch` in its place.
struct Evaluator {
  detail::BatchEvaluator batch = nullptr;
  std::int32_t sweeps = mits;

  constexpr Evaluator() = default;
  constexpr Evaluator(detail::BatchEvaluator b, std::int32_t s = mits) : batch(b), sweeps(s) {}
  friend constexpr bool operator==(const Evaluator&, const Evaluator&) = default;
};

// The run's own evaluation.
inline constexpr Evaluator evaluate_batch{};

struct TestRunSettings {
  int threads = 1;
  Evaluator evaluate = evaluate_batch;
};

// run() with the batches evaluated as `settings` says.
int run_hooked(const RunStreams& streams, const TestRunSettings& settings);

}  // namespace kolva
