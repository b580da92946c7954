// Ascending sort that carries a permutation.
#pragma once

#include <cstdint>

namespace kolva {

// sorted[0..n-1] = values in ascending order; index[x] (1-based) tells
// where sorted[x] came from: sorted[x] == values[index[x] - 1]. values is
// read only. n < 1 writes nothing.
void sortp(const double* values, int n, double* sorted, std::int32_t* index);

}  // namespace kolva
