// The combined statistic of several variants at once: their solver
// problems are pooled so that the vector lanes of the kernels are filled
// with problems of equal order, also when each variant alone has few.
#include "combine/combine.h"

#include "numeric/eigen.h"

namespace kolva {

// combine_batch_converted: the combined p-values of up to kBatch variants.
//   f      (in)  converted phenotype correlations, leading dimension kLd.
//   nvara  (in)  number of phenotypes.
//   v      (in)  v[b]: the p-values of variant b in phenotype order.
//   count  (in)  number of variants, 0 .. kBatch.
//   bc     (out) bc.var[b]: n, m, mj, faults, the combined value of
//                variant b and the block j attaining it, the same as the
//                plain evaluation gives.
//   maxsweeps (in) QL sweeps allowed per eigenvalue (mits in the run).
//   reuse  (in/out) evaluations against f and maxsweeps, or null.
// Each variant is selected and sorted on its own. A variant whose ordered list
// of phenotypes the reuse table holds takes M, the M(j) and the fault
// codes from there; any other has its whole matrix (which is also its
// leading block of order n) and its blocks of order n-1 .. 2 solved in the
// pool of problems, counted out by descending order (variants ascending
// within an order) and solved a chunk at a time: each problem's matrix is
// picked out of the converted correlations by its variant's phenotypes,
// reduced, iterated, and its effective number and fault code go straight
// to its variant. Then M, the M(j) and the smallest adjusted p-value
// follow.
namespace {

// The combined value, the smallest (M / M(a)) * p(a), and the first a
// attaining it (x.j, from 1; 0 when no adjusted value is below the start).
double smallest_adjusted(BatchVariant& x) {
  double best = kNoAdjusted;
  int at = 0;
  for (int a = 0; a < x.n; ++a) {
    const double adjusted = (x.m / x.mj[a]) * x.sorted[a];
    if (adjusted < best) {
      best = adjusted;
      at = a + 1;
    }
  }
  x.j = at;
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

// Solves the `count` problems of the chunk and hands each result to its
// variant: M for the whole matrix, else M(j), and the code.
void solve_chunk(BatchCombiner& bc, int count, std::int32_t maxsweeps) {
  const FastKernels& fast = fast_kernels();
  fast.tdiag_many(count, bc.ord, bc.mats, bc.index, kLd, bc.dq, bc.eq, kFastLd);
  fast.lrvt_many(count, bc.ord, bc.dq, bc.eq, kFastLd, bc.qfault, maxsweeps);
  for (int q = 0; q < count; ++q) {
    BatchVariant& x = bc.var[bc.owner[q]];
    const int j = bc.ord[q];
    x.code[j] = bc.qfault[q];
    x.mj[j - 1] = effective_unsorted(j, bc.dq + q * kFastLd, x.code[j]);
  }
}

}  // namespace

void combine_batch_converted(const double* f, int nvara, const double* const* v, int count,
                             BatchCombiner& bc, std::int32_t maxsweeps, ReuseTable* reuse) {
  std::uint64_t keys[kBatch];
  bool solve[kBatch];
  int largest = 0;  // the largest order to solve
  for (int b = 0; b < count; ++b) {
    BatchVariant& x = bc.var[b];
    x.nfaults = 0;
    select_and_sort(nvara, v[b], x);
    solve[b] = false;
    if (x.n <= 1) {
      x.combined = kMissing;
      x.j = 0;
      continue;
    }
    for (int a = 0; a < x.n; ++a) x.index[a] = x.sel[x.perm[a] - 1] - 1;
    keys[b] = reuse ? ReuseTable::key(x.index, x.n) : 0;
    ReuseEntry e;
    if (keys[b] && reuse->find(keys[b], e)) {
      x.m = e.m;
      for (int j = 0; j < x.n; ++j) x.mj[j] = e.mj[j];
      record_faults(x, e.code);
      x.combined = smallest_adjusted(x);
      continue;
    }
    solve[b] = true;
    if (x.n > largest) largest = x.n;
  }

  // The pool, a chunk at a time.
  int q = 0;
  for (int j = largest; j >= 2; --j) {
    for (int b = 0; b < count; ++b) {
      if (!solve[b] || bc.var[b].n < j) continue;
      bc.ord[q] = j;
      bc.owner[q] = b;
      bc.mats[q] = f;
      bc.index[q] = bc.var[b].index;
      if (++q == BatchCombiner::kPoolChunk) {
        solve_chunk(bc, q, maxsweeps);
        q = 0;
      }
    }
  }
  if (q > 0) solve_chunk(bc, q, maxsweeps);

  for (int b = 0; b < count; ++b) {
    if (!solve[b]) continue;
    BatchVariant& x = bc.var[b];
    const int n = x.n;
    record_faults(x, x.code);
    x.m = x.mj[n - 1];
    x.mj[0] = 1.0;  // the block of order 1 has the single eigenvalue 1
    x.combined = smallest_adjusted(x);

    if (keys[b]) {
      ReuseEntry e;
      e.key = keys[b];
      e.m = x.m;
      for (int j = 0; j < n; ++j) e.mj[j] = x.mj[j];
      for (int j = 2; j <= n; ++j) e.code[j] = x.code[j];
      reuse->store(e);
    }
  }
}

}  // namespace kolva
