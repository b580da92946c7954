// The combined statistic of several variants at once: their solver
// problems are pooled so that the vector lanes of the kernels are filled
// with problems of equal order, also when each variant alone has few.
#include "driver/combine.h"

#include "numeric/eigen.h"

namespace kolva {

// combine_batch: the combined p-values of up to kBatch variants.
//   k      (in)  phenotype correlation matrix, leading dimension kLd.
//   nvara  (in)  number of phenotypes.
//   v      (in)  v[b]: the p-values of variant b in phenotype order.
//   count  (in)  number of variants, 0 .. kBatch.
//   bc     (out) bc.var[b]: n, m, mj, faults and the combined value of
//                variant b, the same as the plain evaluation gives.
//   maxsweeps (in) QL sweeps allowed per eigenvalue (mits in the run).
// The phenotype correlations are converted once for the batch; each
// variant is selected and sorted on its own. A variant whose ordered list
// of phenotypes the reuse table holds takes M, the M(j) and the fault
// codes from there; any other takes its converted matrix from the
// correlations, and its whole matrix (which is also its leading block of order n)
// and its blocks of order n-1 .. 2 join the pool of problems, counted out
// by descending order (variants ascending within an order); the reduction
// and the QL iteration run over the pool; then each variant takes its
// eigenvalues and fault codes back, and M, the M(j) and the smallest
// adjusted p-value follow.
namespace {

// The combined value: the smallest (M / M(a)) * p(a).
double smallest_adjusted(const BatchVariant& x) {
  double best = kNoAdjusted;
  for (int a = 0; a < x.n; ++a) {
    const double adjusted = (x.m / x.mj[a]) * x.sorted[a];
    if (adjusted < best) best = adjusted;
  }
  return best;
}

// The fault records of an evaluation from the lrvt codes of its blocks
// (code[j], j = 2 .. n; block n is the whole matrix): the whole matrix,
// then the blocks in ascending order, then the whole matrix again as
// block n. The reduction cannot fail for orders of 2 and more.
void record_faults(BatchVariant& x, const std::int32_t* code) {
  const int n = x.n;
  x.nfaults = 0;
  if (code[n] != 0) x.faults[x.nfaults++] = {0, 0, code[n]};
  for (int j = 2; j < n; ++j)
    if (code[j] != 0) x.faults[x.nfaults++] = {j, 0, code[j]};
  if (code[n] != 0) x.faults[x.nfaults++] = {n, 0, code[n]};
}

}  // namespace

void combine_batch(const double* k, int nvara, const double* const* v, int count,
                   BatchCombiner& bc, std::int32_t maxsweeps) {
  int per_order[kLd + 1] = {};
  std::uint64_t keys[kBatch];
  bool solve[kBatch];
  if (count > 0) {
    convert_all(k, nvara, bc.f);
    bc.reuse.bind(bc.f, nvara, maxsweeps);
  }
  for (int b = 0; b < count; ++b) {
    BatchVariant& x = bc.var[b];
    x.nfaults = 0;
    select_and_sort(nvara, v[b], x);
    solve[b] = false;
    if (x.n <= 1) {
      x.combined = kMissing;
      continue;
    }
    int order[kReuseMax];
    if (x.n <= kReuseMax)
      for (int a = 0; a < x.n; ++a) order[a] = x.sel[x.perm[a] - 1] - 1;
    keys[b] = ReuseTable::key(order, x.n);
    if (const ReuseEntry* e = keys[b] ? bc.reuse.find(keys[b]) : nullptr) {
      x.m = e->m;
      for (int j = 0; j < x.n; ++j) x.mj[j] = e->mj[j];
      record_faults(x, e->code);
      x.combined = smallest_adjusted(x);
      continue;
    }
    solve[b] = true;
    convert_selected(bc.f, x);
    for (int j = 2; j <= x.n; ++j) ++per_order[j];
  }

  // Places of the orders in the pool, largest first.
  int start[kLd + 1];
  start[kLd] = 0;
  for (int j = kLd - 1; j >= 2; --j) start[j] = start[j + 1] + per_order[j + 1];
  int problems = 0;
  {
    int next[kLd + 1];
    for (int j = 2; j <= kLd; ++j) next[j] = start[j];
    for (int b = 0; b < count; ++b) {
      if (!solve[b]) continue;
      BatchVariant& x = bc.var[b];
      for (int j = 2; j <= x.n; ++j) {
        const int q = next[j]++;
        bc.ord[q] = j;
        bc.mats[q] = x.p;
        bc.where[b][j] = q;
        ++problems;
      }
    }
  }

  if (problems > 0) {
    const FastKernels& fast = fast_kernels();
    fast.tdiag_many(problems, bc.ord, bc.mats, kLd, bc.dq, bc.eq, kFastLd);
    fast.lrvt_many(problems, bc.ord, bc.dq, bc.eq, kFastLd, bc.qfault, maxsweeps);
  }

  for (int b = 0; b < count; ++b) {
    if (!solve[b]) continue;
    BatchVariant& x = bc.var[b];
    const int n = x.n;
    std::int32_t code[kLd + 1];
    for (int j = 2; j <= n; ++j) code[j] = bc.qfault[bc.where[b][j]];
    record_faults(x, code);
    x.m = effective_unsorted(n, bc.dq + bc.where[b][n] * kFastLd, code[n]);
    x.mj[0] = 1.0;  // the block of order 1 has the single eigenvalue 1
    for (int j = 2; j < n; ++j)
      x.mj[j - 1] = effective_unsorted(j, bc.dq + bc.where[b][j] * kFastLd, code[j]);
    x.mj[n - 1] = x.m;
    x.combined = smallest_adjusted(x);

    if (keys[b]) {
      ReuseEntry& e = bc.reuse.slot(keys[b]);
      e.key = keys[b];
      e.m = x.m;
      for (int j = 0; j < n; ++j) e.mj[j] = x.mj[j];
      for (int j = 2; j <= n; ++j) e.code[j] = code[j];
    }
  }
}

}  // namespace kolva
