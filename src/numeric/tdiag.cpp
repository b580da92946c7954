// Householder reduction of a symmetric matrix to tridiagonal form.
#include <cmath>
#include <cstddef>

#include "numeric/eigen.h"

namespace kolva {

// tdiag_values (contract in eigen.h). Q itself is never formed: its
// accumulation reads the reduction but never feeds back into d or e.
void tdiag_values(int n, const double* a, double* d, double* e, double* z, int ld,
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
  }
  E(1) = 0.0;

  // The diagonal left by the reduction (d is not written before).
  for (int i = 1; i <= n; ++i) D(i) = Z(i, i);
}

}  // namespace kolva
