// Shifted QL iteration for the eigenvalues and eigenvectors of a symmetric
// tridiagonal matrix: the textbook form the run's values-only iteration and
// its fast kernels are checked against.
#include <cmath>
#include <cstddef>

#include "reference/reference.h"

namespace kolva {
namespace {

// Descending order of d(1 .. n); each place i takes the first-indexed
// largest value not yet placed, and exchange(i, k) is told of every swap
// of places i and k.
template <class Exchange>
void sort_desc(int n, double* d, Exchange exchange) {
  auto D = [&](int i) -> double& { return d[i - 1]; };
  for (int i = 1; i <= n - 1; ++i) {
    int k = i;
    double p = D(i);
    for (int j = i + 1; j <= n; ++j) {
      if (!(p >= D(j))) {
        k = j;
        p = D(j);
      }
    }
    if (k != i) {
      D(k) = D(i);
      D(i) = p;
      exchange(i, k);
    }
  }
}

// lrvt_impl: eigenvalues and eigenvectors of the
// symmetric tridiagonal matrix left by tdiag.
//
//   n          (in)     order; n < 2 sets fault = 2 and writes nothing.
//   d          (in/out) in: diagonal of T. out: the eigenvalues, largest
//                       first (unsorted after a sweep-limit return).
//   e          (in/out) in: e(i) = T(i, i-1), e(1) ignored. out: scratch.
//   z          (in/out) in, the
//                       transformation from tdiag; out, column k is the
//                       eigenvector of d(k).
//   fault      (out)    0 done; 1 an eigenvalue needed more than maxsweeps
//                       sweeps; 2 order below 2.
//   ld         (in)     leading dimension of z.
//   maxsweeps  (in)     sweeps allowed per eigenvalue (mits in lrvt).
//
// For each l, finds the first negligible off-diagonal e(m), m >= l, against
// a running bound, and runs implicit-shift QL sweeps on rows l .. m until
// e(l) is negligible. The shift is taken from the leading 2 x 2 of the
// block and subtracted from the whole trailing diagonal; the accumulated
// shift is added back when d(l) has converged. A selection sort puts the
// eigenvalues in descending order at the end. The rotations of z and the
// column exchanges never feed back into d or e.
void lrvt_impl(int n, double* d, double* e, double* z, std::int32_t& fault, int ld,
               std::int32_t maxsweeps) {
  constexpr double precision = 1e-14;
  const std::ptrdiff_t ldz = ld;
  auto Z = [&](int i, int j) -> double& { return z[(j - 1) * ldz + (i - 1)]; };
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
    const double beta = (std::fabs(D(l)) + std::fabs(E(l))) * precision;
    if (beta > bound) bound = beta;
    int m = l;
    while (m < n && !(std::fabs(E(m)) <= bound)) ++m;

    if (m != l) {
      for (;;) {
        if (sweeps == maxsweeps) return;
        ++sweeps;

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
          for (int k = 1; k <= n; ++k) {
            const double v = Z(k, i + 1);
            Z(k, i + 1) = Z(k, i) * s + c * v;
            Z(k, i) = Z(k, i) * c - s * v;
          }
        }
        E(l) = s * p;
        D(l) = c * p;
        if (!(std::fabs(E(l)) > bound)) break;
      }
    }
    D(l) = D(l) + shift;
  }

  sort_desc(n, d, [&](int i, int k) {
    for (int r = 1; r <= n; ++r) {
      const double v = Z(r, i);
      Z(r, i) = Z(r, k);
      Z(r, k) = v;
    }
  });
  fault = 0;
}

}  // namespace

void lrvt(int n, double* d, double* e, double* z, std::int32_t& fault, int ld) {
  lrvt_impl(n, d, e, z, fault, ld, mits);
}

void lrvt_limited(int n, double* d, double* e, double* z, std::int32_t& fault, int ld,
                  std::int32_t maxsweeps) {
  lrvt_impl(n, d, e, z, fault, ld, maxsweeps);
}

}  // namespace kolva
