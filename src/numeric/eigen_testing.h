// For benchmarks: the QL iteration of lrvt_values with a count of its
// work. Not part of the run.
#pragma once

#include <cstdint>

#include "numeric/eigen.h"

namespace kolva {

// The sweeps made, their rotations, and the rows their shifts are taken
// from (for the solver's operation counts).
struct QlWork {
  std::int64_t sweeps = 0;
  std::int64_t rotations = 0;
  std::int64_t shifted = 0;
};

// lrvt_values_counted: lrvt_values (contract in eigen.h), the same values
// and fault, with its work added to `work`.
void lrvt_values_counted(int n, double* d, double* e, std::int32_t& fault, QlWork& work);

}  // namespace kolva
