#include "combine/combine.h"

#include "numeric/eigen.h"
#include "numeric/sortp.h"

namespace kolva {

double convert(double r) {
  const double r2 = r * r;
  const double r3 = r * r2;
  const double r4 = r2 * r2;
  const double r5 = r * r4;
  const double r6 = r2 * r4;
  const double pw[7] = {1.0, r, r2, r3, r4, r5, r6};
  double s = 0.0;
  for (int k = 0; k < 7; ++k) s = s + betaa[k] * pw[k];
  return s;
}

// n minus the sum of (lambda - 1) over the eigenvalues above 1, taken in
// the order given. The product with the 0/1 weight is kept as it stands:
// it lets a not-a-number or infinite eigenvalue reach the result.
double effective(int n, const double* lam) {
  double m = static_cast<double>(n);
  for (int i = 0; i < n; ++i) {
    const double w = lam[i] > 1.0 ? 1.0 : 0.0;
    m = m - (lam[i] - 1.0) * w;
  }
  return m;
}

double effective_unsorted(int n, const double* lam, std::int32_t code) {
  if (code != 0) return effective(n, lam);  // lrvt leaves them unsorted then
  // In descending order the eigenvalues above 1 come first; every later
  // one, if finite, subtracts a zero, which leaves M as it is (a zero M
  // stays +0). So only the values above 1 are put in order, unless some
  // value is not finite: then the full order is made.
  double top[kLd];
  int t = 0;
  bool finite = true;
  for (int i = 0; i < n; ++i) {
    const double x = lam[i];
    finite = finite && x - x == 0.0;
    if (!(x > 1.0)) continue;
    int a = t++;
    for (; a > 0 && top[a - 1] < x; --a) top[a] = top[a - 1];
    top[a] = x;
  }
  if (finite) {
    // Each term is effective()'s (lambda - 1) * w with w = 1, a product
    // that is exact and so left out.
    double m = static_cast<double>(n);
    for (int a = 0; a < t; ++a) m = m - (top[a] - 1.0);
    return m;
  }
  double sorted[kLd];
  for (int i = 0; i < n; ++i) sorted[i] = lam[i];
  sort_eigenvalues(n, sorted);
  return effective(n, sorted);
}

void convert_all(const double* k, int nvara, double* f) {
  for (int j = 0; j < nvara; ++j)
    for (int i = 0; i < nvara; ++i) f[j * kLd + i] = i != j ? convert(k[j * kLd + i]) : 1.0;
}

void select_and_sort(int nvara, const double* v, Evaluation& x) {
  int n = 0;
  for (int i = 0; i < nvara; ++i) {
    if (v[i] == kMissing) continue;
    x.sel[n] = i + 1;
    x.selp[n] = v[i];
    ++n;
  }
  x.n = n;
  if (n <= 1) return;

  sortp(x.selp, n, x.sorted, x.perm);
}

}  // namespace kolva
