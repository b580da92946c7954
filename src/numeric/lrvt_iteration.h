// The QL iteration of lrvt_values, with an optional count of its work:
// lrvt.cpp runs it without, the benchmarks' counting version
// (eigen_testing.cpp) with. Internal to the solver.
#pragma once

#include <cmath>
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

namespace detail {

// lrvt_values (contract in eigen.h). For each l, finds the first negligible
// off-diagonal e(m), m >= l, against a running bound, and runs
// implicit-shift QL sweeps on rows l .. m until e(l) is negligible. The
// shift is taken from the leading 2 x 2 of the block and subtracted from
// the whole trailing diagonal; the accumulated shift is added back when
// d(l) has converged. A selection sort puts the eigenvalues in descending
// order at the end. The eigenvectors are never formed: their rotations
// never feed back into d or e. With kCount the work is added to *work.
template <bool kCount>
inline void lrvt(int n, double* d, double* e, std::int32_t& fault, QlWork* work) {
  auto D = [&](int i) -> double& { return d[i - 1]; };
  auto E = [&](int i) -> double& { return e[i - 1]; };

  fault = 2;
  if (n <= 1) return;
  fault = 1;

  // e(i) now couples rows i and i + 1.
  for (int i = 2; i <= n; ++i) E(i - 1) = E(i);
  E(n) = 0.0;

  double bound = 0.0;
  double shift = 0.0;
  for (int l = 1; l <= n; ++l) {
    std::int32_t sweeps = 0;
    const double beta = (std::fabs(D(l)) + std::fabs(E(l))) * eps;
    if (beta > bound) bound = beta;
    int m = l;
    while (m < n && !(std::fabs(E(m)) <= bound)) ++m;

    if (m != l) {
      for (;;) {
        if (sweeps == mits) return;
        ++sweeps;
        if constexpr (kCount) {
          ++work->sweeps;
          work->rotations += m - l;
          work->shifted += n - l + 1;
        }

        const double q = (D(l + 1) - D(l)) / (E(l) * 2.0);
        double r = std::sqrt(1.0 + q * q);
        const double t = (q < 0.0) ? q - r : q + r;
        const double delta = D(l) - E(l) / t;
        for (int i = l; i <= n; ++i) D(i) = D(i) - delta;
        shift = shift + delta;

        double p = D(m);
        double c = 1.0;
        double s = 0.0;
        for (int i = m - 1; i >= l; --i) {
          const double g = E(i) * c;
          const double h = c * p;
          if (std::fabs(p) >= std::fabs(E(i))) {
            const double cc = E(i) / p;
            r = std::sqrt(1.0 + cc * cc);
            E(i + 1) = (s * p) * r;
            s = cc / r;
            c = 1.0 / r;
          } else {
            const double cc = p / E(i);
            r = std::sqrt(1.0 + cc * cc);
            E(i + 1) = (E(i) * s) * r;
            s = 1.0 / r;
            c = cc / r;
          }
          p = D(i) * c - s * g;
          D(i + 1) = (c * g + D(i) * s) * s + h;
        }
        E(l) = s * p;
        D(l) = c * p;
        if (!(std::fabs(E(l)) > bound)) break;
      }
    }
    D(l) = D(l) + shift;
  }

  sort_eigenvalues(n, d);
  fault = 0;
}

}  // namespace detail

}  // namespace kolva
