// The yardstick: the plain evaluation of a variant step by step with the
// textbook eigen-solver (eigenvectors included), every leading block copied
// out and decomposed from scratch. Slow and simple; the run's own
// evaluation and kernels are checked and timed against it, bit for bit.
// Tests and benchmarks link it; the program does not.
#pragma once

#include <cstdint>

#include "combine/combine.h"
#include "combine/statistic.h"
#include "driver/run.h"

namespace kolva {

// Full form of the solver: eigenvalues with eigenvectors (z in: scratch for
// tdiag, out of tdiag: Q; out of lrvt: column k the eigenvector of d(k)).
void tdiag(int n, const double* a, double* d, double* e, double* z, int ld, std::int32_t& fault);
void lrvt(int n, double* d, double* e, double* z, std::int32_t& fault, int ld);
// lrvt with maxsweeps sweeps allowed per eigenvalue instead of mits.
void lrvt_limited(int n, double* d, double* e, double* z, std::int32_t& fault, int ld,
                  std::int32_t maxsweeps);

// Working storage of the plain evaluation, fixed in size and reused.
struct Combiner : Evaluation {
  double p[kLd * kLd];  // converted matrix P
  double b[kLd * kLd];  // copy of a leading block
  double z[kLd * kLd];  // solver scratch
  double lam[kLd];      // eigenvalues of P
  double mu[kLd];       // eigenvalues of a block
  double off[kLd];      // solver scratch
  std::int32_t codes[4] = {};
};

// The combined p-value of one variant (-9 for fewer than two present
// p-values); c.n, c.m, c.mj and c.faults are left as results.
double combine_reference(const double* k, int nvara, const double* v, Combiner& c);

// Evaluations of whole runs in place of the run's own
// (RunSettings::evaluator): each variant by combine_reference against the
// run's matrix;
std::unique_ptr<Evaluator> reference_evaluator(const double* k, int nvara);

// the run's Statistic with at most `sweeps` QL sweeps per eigenvalue, so
// that ordinary matrices report solver faults;
MakeEvaluator few_sweeps(std::int32_t sweeps);

// the same with no reuse table, so that every variant is solved.
MakeEvaluator without_reuse(std::int32_t sweeps);

}  // namespace kolva
