// Ascending sort that carries a permutation.
#pragma once

#include <cstdint>

namespace kolva {

// sortp: sorts values into ascending order and records where each sorted
// value came from.
//   values  (in)  values[0 .. n-1], never written.
//   n       (in)  count; n < 1 writes nothing.
//   sorted  (out) sorted[0 .. n-1]: the values in ascending order.
//   index   (out) index[0 .. n-1], a 1-based permutation:
//                 sorted[x] == values[index[x] - 1].
// Equal values are placed as the algorithm (in sortp.cpp) places them, which
// fixes the order of tied phenotypes, so it is part of the contract. An
// input that is already non-decreasing gives the identity permutation.
// Not-a-number values are placed somewhere, never read out of bounds. No
// allocation, no I/O, no exceptions.
void sortp(const double* values, int n, double* sorted, std::int32_t* index);

}  // namespace kolva
