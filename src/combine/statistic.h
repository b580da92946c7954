// The statistic against one phenotype correlation matrix, made once and
// shared by every thread that evaluates variants against it (the
// program's pass and the library's engine alike).
#pragma once

#include <cstdint>

#include "combine/combine.h"
#include "combine/evaluator.h"
#include "combine/reuse.h"
#include "common/run_limits.h"
#include "numeric/eigen.h"

namespace kolva {

class Statistic final : public Evaluator {
 public:
  // k: the phenotype correlations, column-major with leading dimension
  // kLd, of which the nvara x nvara block (1 <= nvara <= maxnvara) is
  // read and copied; maxsweeps: QL sweeps allowed per eigenvalue. The
  // correlations are converted here, once.
  Statistic(const double* k, int nvara, std::int32_t maxsweeps = mits);
  Statistic(const Statistic&) = delete;
  Statistic& operator=(const Statistic&) = delete;

  int nvara() const override { return nvara_; }
  std::int32_t sweeps() const { return sweeps_; }
  const double* k() const { return k_; }  // as given, leading dimension kLd
  const double* f() const { return f_; }  // converted, unit diagonal

  // Evaluates `count` (0 .. kBatch) variants, v[b] the nvara p-values of
  // variant b (-9 exactly is missing), into ws.var[0 .. count-1]: exactly
  // what the plain step-by-step evaluation gives each. Any number of
  // threads may call it at once, each with a workspace of its own; they
  // share its reuse table.
  void evaluate(const double* const* v, int count, BatchCombiner& ws) const override {
    combine_batch_converted(f_, nvara_, v, count, ws, sweeps_, &reuse_);
  }

 private:
  alignas(64) double f_[kLd * kLd];
  double k_[kLd * kLd];
  int nvara_;
  std::int32_t sweeps_;
  mutable ReuseTable reuse_;  // evaluations of ordered lists met before
};

}  // namespace kolva
