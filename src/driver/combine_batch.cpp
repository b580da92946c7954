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
// variant is selected and sorted on its own and takes its converted matrix
// from them. Its whole matrix (which is also its leading block of order n)
// and its blocks of order n-1 .. 2 join the pool of problems, counted out
// by descending order (variants ascending within an order); the reduction
// and the QL iteration run over the pool; then each variant takes its
// eigenvalues and fault codes back, and M, the M(j) and the smallest
// adjusted p-value follow.
void combine_batch(const double* k, int nvara, const double* const* v, int count,
                   BatchCombiner& bc, std::int32_t maxsweeps) {
  int per_order[kLd + 1] = {};
  if (count > 0) convert_all(k, nvara, bc.f);
  for (int b = 0; b < count; ++b) {
    BatchVariant& x = bc.var[b];
    x.nfaults = 0;
    select_and_convert(bc.f, nvara, v[b], x);
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

  // The reduction cannot fail for orders of 2 and more, so its codes are 0.
  for (int b = 0; b < count; ++b) {
    BatchVariant& x = bc.var[b];
    const int n = x.n;
    if (n <= 1) {
      x.combined = kMissing;
      continue;
    }
    const int whole = bc.where[b][n];
    const std::int32_t code = bc.qfault[whole];
    if (code != 0) x.faults[x.nfaults++] = {0, 0, code};
    x.m = effective_unsorted(n, bc.dq + whole * kFastLd, code);

    x.mj[0] = 1.0;  // the block of order 1 has the single eigenvalue 1
    for (int j = 2; j < n; ++j) {
      const int q = bc.where[b][j];
      if (bc.qfault[q] != 0) x.faults[x.nfaults++] = {j, 0, bc.qfault[q]};
      x.mj[j - 1] = effective_unsorted(j, bc.dq + q * kFastLd, bc.qfault[q]);
    }
    if (code != 0) x.faults[x.nfaults++] = {n, 0, code};
    x.mj[n - 1] = x.m;

    double best = kNoAdjusted;
    for (int a = 0; a < n; ++a) {
      const double adjusted = (x.m / x.mj[a]) * x.sorted[a];
      if (adjusted < best) best = adjusted;
    }
    x.combined = best;
  }
}

}  // namespace kolva
