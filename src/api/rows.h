// The library's evaluation of a block of variants: p-values read where
// they lie (strided or by column, double or float), one batch of kBatch
// variants gathered at a time into a thread's workspace, evaluated by the
// Statistic, and the results written to the caller's arrays. Callers have
// checked every argument (c_api.cpp).
#pragma once

#include <cstdint>

#include "combine/statistic.h"
#include "kolva/kolva.h"

namespace kolva::api {

// One thread's working storage: a batch of gathered p-values and the
// engine's workspace.
struct RowWorkspace {
  double values[kBatch][maxnvara];
  BatchCombiner ws;
};

// Evaluates rows r0 .. r1 - 1 of p into out, with ws as working storage.
// Allocates nothing.
void combine_rows(const Statistic& e, const kolva_pvalues& p, const kolva_results& out,
                  std::int64_t r0, std::int64_t r1, RowWorkspace& ws);

// Evaluates every row of p into out on `threads` threads (1 .. kMaxThreads,
// fewer where there are few rows or a thread cannot be started), each
// with a workspace of its own. Throws std::bad_alloc when the workspaces
// cannot be had (before any output is written).
void combine_all(const Statistic& e, const kolva_pvalues& p, const kolva_results& out, int threads);

}  // namespace kolva::api
