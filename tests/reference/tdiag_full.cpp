// Householder reduction of a symmetric matrix to tridiagonal form, with
// the transformation: the textbook form the run's values-only reduction is
// checked against.
#include <cmath>
#include <cstddef>

#include "reference/reference.h"

namespace kolva {
namespace {

// tdiag_impl: reduces the symmetric matrix A held in the lower triangle of
// a to tridiagonal form T = Q'AQ by Householder reflections, row n first.
//
//   n      (in)  order of A; n < 2 sets fault = 1 and writes nothing.
//   a      (in)  n x n block, leading dimension ld; only elements on and
//                below the diagonal are read. Never written.
//   d      (out) d(i) = T(i, i).
//   e      (out) e(1) = 0, e(i) = T(i, i-1) for i = 2 .. n.
//   z      (out) the orthogonal Q.
//   ld     (in)  leading dimension of a and z.
//   fault  (out) 0 done, 1 order below 2.
//
// A row whose sum of squares left of the subdiagonal is not above
// eta / eps is taken as already reduced. The arithmetic on d and e is the
// same as without Q: its accumulation reads the reduction but never feeds
// back into it.
void tdiag_impl(int n, const double* a, double* d, double* e, double* z, int ld,
                std::int32_t& fault) {
  const std::ptrdiff_t lda = ld;
  auto A = [&](int i, int j) -> const double& { return a[(j - 1) * lda + (i - 1)]; };
  auto Z = [&](int i, int j) -> double& { return z[(j - 1) * lda + (i - 1)]; };
  auto D = [&](int i) -> double& { return d[i - 1]; };
  auto E = [&](int i) -> double& { return e[i - 1]; };

  fault = 1;
  if (n <= 1) return;
  fault = 0;
  const double tol = eta / eps;

  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) Z(i, j) = A(i, j);

  for (int i = n; i >= 2; --i) {
    double x = Z(i, i - 1);
    double s = 0.0;
    for (int k = 1; k <= i - 2; ++k) s = s + Z(i, k) * Z(i, k);
    const double sigma = x * x + s;
    if (!(s > tol)) {
      // Nothing left of the subdiagonal worth reflecting away.
      E(i) = x;
      D(i) = 0.0;
      continue;
    }
    double g = std::sqrt(sigma);
    if (x >= 0.0) g = -g;
    E(i) = g;
    const double h = sigma - x * g;
    Z(i, i - 1) = x - g;

    // p = A u / h into e(1 .. i-1), u / h into column i above the diagonal.
    double f = 0.0;
    for (int j = 1; j <= i - 1; ++j) {
      Z(j, i) = Z(i, j) / h;
      double y = 0.0;
      for (int k = 1; k <= j; ++k) y = y + Z(j, k) * Z(i, k);
      for (int k = j + 1; k <= i - 1; ++k) y = y + Z(k, j) * Z(i, k);
      E(j) = y / h;
      f = f + Z(j, i) * y;
    }
    const double hh = f / (h + h);

    // A := A - u w' - w u' with w = p - hh u, lower triangle only.
    for (int j = 1; j <= i - 1; ++j) {
      x = Z(i, j);
      const double w = E(j) - hh * x;
      E(j) = w;
      for (int k = 1; k <= j; ++k) Z(j, k) = (Z(j, k) - x * E(k)) - w * Z(i, k);
    }
    D(i) = h;
  }
  D(1) = 0.0;
  E(1) = 0.0;

  for (int i = 1; i <= n; ++i) {
    // Apply reflection i (stored in row i and column i) to the
    // transformation built so far in the leading (i-1) x (i-1) block.
    if (D(i) != 0.0 && i > 1) {
      for (int j = 1; j <= i - 1; ++j) {
        double y = 0.0;
        for (int k = 1; k <= i - 1; ++k) y = y + Z(i, k) * Z(k, j);
        for (int k = 1; k <= i - 1; ++k) Z(k, j) = Z(k, j) - y * Z(k, i);
      }
    }
    // The diagonal left by the reduction: the accumulation above only
    // touches elements with both indices below i.
    D(i) = Z(i, i);
    Z(i, i) = 1.0;
    for (int j = 1; j <= i - 1; ++j) {
      Z(i, j) = 0.0;
      Z(j, i) = 0.0;
    }
  }
}

}  // namespace

void tdiag(int n, const double* a, double* d, double* e, double* z, int ld, std::int32_t& fault) {
  tdiag_impl(n, a, d, e, z, ld, fault);
}

}  // namespace kolva
