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

#include "common/run_limits.h"
#include "driver/reuse.h"
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
  int n = 0;                     // present p-values
  int sel[maxnvara];             // their phenotype numbers (1-based)
  double selp[maxnvara];         // their p-values, phenotype order
  double sorted[maxnvara];       // p(1) <= ... <= p(n)
  std::int32_t perm[maxnvara];   // sorted[a] == selp[perm[a] - 1]
  alignas(64) double p[kLd * kLd];  // converted matrix P, lower triangle
  double m = 0;                  // effective number of tests
  double mj[kLd];                // block effective numbers M(1..n)
  SolverFault faults[kLd + 1];   // faults of this evaluation, in the order met
  int nfaults = 0;
};

// One variant of a batch: what its evaluation leaves.
struct BatchVariant : Evaluation {
  double combined = kMissing;    // the combined p-value (-9 for n <= 1)
};

// Working storage of combine_batch, fixed in size and reused. The solver
// problems of every variant (whole matrix and blocks n-1 .. 2) form one
// pool, ordered by descending order so that the lanes of the kernels hold
// problems of equal order; problem q has order ord[q] and its diagonal /
// off-diagonal at dq / eq + q * kFastLd.
struct BatchCombiner {
  BatchVariant var[kBatch];
  static constexpr int kProblems = kBatch * (kLd - 1);
  int ord[kProblems];
  const double* mats[kProblems];
  std::int32_t qfault[kProblems];
  int where[kBatch][kLd + 1];    // problem of variant b's block of order j
  double f[kLd * kLd];           // converted phenotype correlations
  alignas(64) double dq[kProblems * kFastLd];
  alignas(64) double eq[kProblems * kFastLd];
  ReuseTable reuse;              // evaluations of recent ordered lists
};

// Evaluates `count` (0 .. kBatch) variants with nvara p-values each, v[b]
// those of variant b, against the correlation matrix k, with at most
// maxsweeps QL sweeps per eigenvalue (mits in the run); variant b gets
// exactly what the plain step-by-step evaluation with the full solver
// gives it, left in bc.var[b].
void combine_batch(const double* k, int nvara, const double* const* v, int count,
                   BatchCombiner& bc, std::int32_t maxsweeps);

// One variant evaluated as a batch of one; the results are in bc.var[0].
inline double combine(const double* k, int nvara, const double* v, BatchCombiner& bc) {
  combine_batch(k, nvara, &v, 1, bc, mits);
  return bc.var[0].combined;
}

// f(i, j) = convert(k(i, j)) for every i != j < nvara (leading dimension
// kLd; the diagonal is not written). A variant's converted matrix takes its
// values from here: the same values the conversion gives it element by
// element.
void convert_all(const double* k, int nvara, double* f);

// Selection and ordering of one variant: sets x.n and fills x.sel and
// x.selp, and for n >= 2 x.sorted and x.perm.
void select_and_sort(int nvara, const double* v, Evaluation& x);

// The lower triangle of x.p (unit diagonal) from the converted
// correlations f of convert_all, for the n >= 2 phenotypes in x's order.
void convert_selected(const double* f, Evaluation& x);

// n minus the sum of (lambda - 1) over the eigenvalues above 1, taken in
// the order given.
double effective(int n, const double* lam);

// effective() of the eigenvalues as the fast QL iteration leaves them,
// before lrvt's final sort (code: its fault code; with a fault lrvt does
// not sort): the same value as effective() of lrvt's result.
double effective_unsorted(int n, const double* lam, std::int32_t code);

}  // namespace kolva
