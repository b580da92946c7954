// The combined association statistic of one variant.
//
// The present p-values are put in ascending order; the phenotype
// correlations among them are converted into p-value correlations by a
// polynomial of degree six; the effective number of tests M of the whole
// converted matrix and M(j) of each leading j x j block come from their
// eigenvalues (n minus the sum of (lambda - 1) over eigenvalues above 1);
// the combined p-value is the smallest (M / M(j)) * p(j).
#pragma once

#include <cstdint>

#include "combine/reuse.h"
#include "common/run_limits.h"
#include "numeric/eigen.h"
#include "numeric/fastpath.h"

namespace kolva {

// Coefficients of the conversion polynomial: single-precision values
// widened to double.
inline constexpr double betaa[7] = {
    static_cast<double>(-0.0007609278f), static_cast<double>(-0.0022965148f),
    static_cast<double>(0.62262493f),    static_cast<double>(0.0148755135f),
    static_cast<double>(0.10951559f),    static_cast<double>(-0.021893032f),
    static_cast<double>(0.21789704f),
};

// f(r) = sum of betaa(k) * r^(k-1), k = 1 .. 7 in ascending order, with
// the powers formed by square-and-multiply.
double convert(double r);

// A solver run that reported a fault: block order j (0 for the whole
// matrix) and its two codes.
struct SolverFault {
  int j;
  std::int32_t tdiag;
  std::int32_t lrvt;
};

// What the evaluation of one variant leaves.
struct Evaluation {
  int n = 0;                    // present p-values
  int sel[maxnvara];            // their phenotype numbers (1-based)
  double selp[maxnvara];        // their p-values, phenotype order
  double sorted[maxnvara];      // p(1) <= ... <= p(n)
  std::int32_t perm[maxnvara];  // sorted[a] == selp[perm[a] - 1]
  double m = 0;                 // effective number of tests
  double mj[kLd];               // block effective numbers M(1..n)
  SolverFault faults[kLd + 1];  // faults of this evaluation, in the order met
  int nfaults = 0;
};

// One variant of a batch: what its evaluation leaves.
struct BatchVariant : Evaluation {
  double combined = kMissing;  // the combined p-value (-9 for n <= 1)
  int j = 0;                   // the first block attaining it (1 .. n); 0 when none does
  int index[maxnvara];         // the present phenotypes (0-based) in sorted order
  std::int32_t code[kLd + 1];  // code[j]: lrvt code of block j = 2 .. n
};

// Working storage of combine_batch_converted (a workspace), fixed in size and reused. The solver
// problems of every variant (whole matrix and blocks n-1 .. 2) form one
// pool, ordered by descending order so that the lanes of the kernels hold
// problems of equal order; the pool is solved kPoolChunk problems at a
// time. Problem q of a chunk is block ord[q] of variant owner[q], its
// matrix picked out of the converted correlations by that variant's
// index; its diagonal / off-diagonal at dq / eq + q * kFastLd.
struct BatchCombiner {
  BatchCombiner() = default;
  BatchCombiner(const BatchCombiner&) = delete;
  BatchCombiner& operator=(const BatchCombiner&) = delete;

  static constexpr int kPoolChunk = 128;
  BatchVariant var[kBatch];
  int ord[kPoolChunk];
  int owner[kPoolChunk];
  const double* mats[kPoolChunk];
  const int* index[kPoolChunk];
  std::int32_t qfault[kPoolChunk];
  alignas(64) double dq[kPoolChunk * kFastLd];
  alignas(64) double eq[kPoolChunk * kFastLd];
};

// Evaluates `count` (0 .. kBatch) variants with nvara p-values each, v[b]
// those of variant b (-9 exactly is missing), against the converted
// phenotype correlations f (convert_all), with at most maxsweeps QL sweeps
// per eigenvalue (mits in the run); variant b gets exactly what the plain
// step-by-step evaluation with the full solver gives it, left in bc.var[b].
// reuse: the table of evaluations against the same f and maxsweeps that
// is searched and filled, or null.
void combine_batch_converted(const double* f, int nvara, const double* const* v, int count,
                             BatchCombiner& bc, std::int32_t maxsweeps, ReuseTable* reuse);

// f(i, j) = convert(k(i, j)) for every i != j < nvara and f(i, i) = 1
// (leading dimension kLd). A variant's converted matrix takes its values
// from here: the same values the conversion gives it element by element.
void convert_all(const double* k, int nvara, double* f);

// Selection and ordering of one variant: sets x.n and fills x.sel and
// x.selp, and for n >= 2 x.sorted and x.perm.
void select_and_sort(int nvara, const double* v, Evaluation& x);

// n minus the sum of (lambda - 1) over the eigenvalues above 1, taken in
// the order given.
double effective(int n, const double* lam);

// effective() of the eigenvalues as the fast QL iteration leaves them,
// before lrvt's final sort (code: its fault code; with a fault lrvt does
// not sort): the same value as effective() of lrvt's result.
double effective_unsorted(int n, const double* lam, std::int32_t code);

}  // namespace kolva
