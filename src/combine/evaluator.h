// What evaluates a run's variants, a batch at a time. The run's own is the
// Statistic (statistic.h); tests put other evaluations of the same run in
// its place (the plain step-by-step one, one that reuses nothing) to
// compare whole runs byte for byte.
#pragma once

#include "combine/combine.h"

namespace kolva {

class Evaluator {
 public:
  virtual ~Evaluator() = default;

  // The phenotypes of the run.
  virtual int nvara() const = 0;

  // Evaluates `count` (0 .. kBatch) variants, v[b] the nvara p-values of
  // variant b (-9 exactly is missing), into ws.var[0 .. count-1]. Any
  // number of threads may call it at once, each with a workspace of its
  // own.
  virtual void evaluate(const double* const* v, int count, BatchCombiner& ws) const = 0;
};

}  // namespace kolva
