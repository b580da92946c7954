// Symmetric eigen-solver: Householder reduction to tridiagonal form
// (tdiag) and shifted QL iteration (lrvt), with the fault codes.
//
// Matrices are column-major with leading dimension ld; element (i, j),
// counted from 1, lies at [(j-1)*ld + (i-1)]. Only the leading n x n block
// is touched. No allocation, no I/O, no exceptions: faults come back as
// integer codes. Only the eigenvalues are formed: the eigenvectors, which
// the run never uses, never feed back into them.
#pragma once

#include <cstdint>

namespace kolva {

// The solver's tolerances: eps, relative, for a negligible off-diagonal
// in the QL iteration; eta / eps, absolute, for a row the reduction takes
// as already reduced. mits: QL sweeps allowed per eigenvalue.
inline constexpr double eta = 1e-37;
inline constexpr double eps = 1e-14;
inline constexpr std::int32_t mits = 30;

// setz: the four fault codes of a solver run set to 0.
//   codes  (out) codes[0 .. 3] = 0.
inline void setz(std::int32_t* codes) {
  for (int i = 0; i < 4; ++i) codes[i] = 0;
}

// tdiag_values: the symmetric A (lower triangle of a) reduced to the
// tridiagonal T = Q'AQ by Householder reflections, row n first; Q is not
// formed.
//   n      (in)  order; n < 2 sets fault = 1 and writes nothing.
//   a      (in)  n x n block, leading dimension ld; read on and below the
//                diagonal only, never written.
//   d      (out) d(i) = T(i, i).
//   e      (out) e(1) = 0, e(i) = T(i, i-1) for i = 2 .. n.
//   z      (out) scratch (ld x n); the reduction runs in it.
//   fault  (out) 0 done, 1 order below 2.
// A row whose sum of squares left of the subdiagonal is not above
// eta / eps is left as it is.
void tdiag_values(int n, const double* a, double* d, double* e, double* z, int ld,
                  std::int32_t& fault);

// lrvt_values: the eigenvalues of the T that tdiag_values leaves, by
// implicit-shift QL sweeps against a running bound (eps times the largest
// |d(l)| + |e(l)| so far).
//   n      (in)     order; n < 2 sets fault = 2 and writes nothing.
//   d      (in/out) in: diagonal of T; out: the eigenvalues, largest first
//                   (in iteration order after a sweep-limit return).
//   e      (in/out) in: e(i) = T(i, i-1), e(1) ignored; out: scratch.
//   fault  (out)    0 done; 1 an eigenvalue needed more than mits sweeps;
//                   2 order below 2.
void lrvt_values(int n, double* d, double* e, std::int32_t& fault);

// sort_eigenvalues: the final step of lrvt on the eigenvalues alone, a
// descending selection sort in which each place takes the first-indexed
// largest value not yet placed (lrvt skips it after a sweep-limit return).
//   n  (in)     count; n < 2 changes nothing.
//   d  (in/out) d[0 .. n-1]; out in descending order (with not-a-number
//               values: in the order that rule gives).
void sort_eigenvalues(int n, double* d);

}  // namespace kolva
