// Test hooks of the statistic: a batch or a single variant evaluated
// against the phenotype correlations themselves, converted for that call
// alone and without a reuse table. For tests and benchmarks; the program
// and the library evaluate through a Statistic.
#pragma once

#include "combine/combine.h"

namespace kolva {

// combine_batch_converted against k (leading dimension kLd).
inline void combine_batch(const double* k, int nvara, const double* const* v, int count,
                          BatchCombiner& bc, std::int32_t maxsweeps) {
  alignas(64) double f[kLd * kLd];
  convert_all(k, nvara, f);
  combine_batch_converted(f, nvara, v, count, bc, maxsweeps, nullptr);
}

// One variant evaluated as a batch of one; the results are in bc.var[0].
inline double combine(const double* k, int nvara, const double* v, BatchCombiner& bc) {
  combine_batch(k, nvara, &v, 1, bc, mits);
  return bc.var[0].combined;
}

}  // namespace kolva
