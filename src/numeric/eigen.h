// Symmetric eigen-solver: Householder reduction to tridiagonal form
// (tdiag) and shifted QL iteration (lrvt), with the fault codes.
//
// Matrices are column-major with leading dimension ld; element (i, j),
// counted from 1, lies at [(j-1)*ld + (i-1)]. Only the leading n x n block
// is touched. No allocation, no I/O, no exceptions: faults come back as
// integer codes.
#pragma once

#include <cstdint>

namespace kolva {

inline constexpr double eta = 1e-37;
inline constexpr double eps = 1e-14;
inline constexpr std::int32_t mits = 30;

// codes[0..3] = 0.
void setz(std::int32_t* codes);

// Eigenvalues only: the reduction (z is its scratch) and the QL iteration.
// The eigenvectors, which the run never uses, are not formed; d and fault
// are those of the textbook form that forms them.
void tdiag_values(int n, const double* a, double* d, double* e, double* z,
                  int ld, std::int32_t& fault);
void lrvt_values(int n, double* d, double* e, std::int32_t& fault);

// The final step of lrvt on the eigenvalues alone: a descending selection
// sort in which each place takes the first-indexed largest value not yet
// placed (lrvt skips it after a sweep-limit return).
void sort_eigenvalues(int n, double* d);

}  // namespace kolva
