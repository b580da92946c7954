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

// A present p-value outside [0, 1]: its row and column (from 0) and value.
struct BadValue {
  std::int64_t row = -1;  // -1: none
  int col = 0;
  double value = 0;
};

// One thread's working storage: a batch of gathered p-values and the
// engine's workspace.
struct RowWorkspace {
  double values[kBatch][maxnvara];
  BatchCombiner ws;
  BadValue bad;
};

// Evaluates rows r0 .. r1 - 1 of p into out, with ws as working storage.
// With `check`, every present value must lie in [0, 1]: at the first that
// does not (in row order) the rows stop, ws.bad names it, and false is
// returned (results of the rows before it in its batch are not written).
// Allocates nothing.
bool combine_rows(const Statistic& e, const kolva_pvalues& p, const kolva_results& out,
                  std::int64_t r0, std::int64_t r1, bool check, RowWorkspace& ws);

// Evaluates rows first .. rows - 1 of p into out on `threads` threads (1 ..
// kMaxThreads, fewer where there are few rows or a thread cannot be
// started), each
// with a workspace of its own. With `check`, returns the first present
// value outside [0, 1] in row order (whatever the thread count), the
// outputs then undefined; else a BadValue of row -1. Throws
// std::bad_alloc when the workspaces cannot be had (before any output is
// written).
BadValue combine_all(const Statistic& e, const kolva_pvalues& p, const kolva_results& out,
                     std::int64_t first, std::int64_t rows, int threads, bool check);

}  // namespace kolva::api
