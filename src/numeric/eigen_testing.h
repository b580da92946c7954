// For benchmarks: the QL iteration of lrvt_values with a count of its
// work. Not part of the run (eigen_testing.cpp is linked into tests and
// benchmarks only).
#pragma once

#include <cstdint>

#include "numeric/eigen.h"
#include "numeric/lrvt_iteration.h"

namespace kolva {

// lrvt_values_counted: lrvt_values (contract in eigen.h), the same values
// and fault, with its work added to `work`.
void lrvt_values_counted(int n, double* d, double* e, std::int32_t& fault, QlWork& work);

}  // namespace kolva
