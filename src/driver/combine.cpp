#include "driver/combine.h"

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

namespace {

// Up to this many present p-values the solver runs one problem at a time.
constexpr int kSmallOrder = 5;

}  // namespace

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

int select_and_convert(const double* k, int nvara, const double* v, int* sel, double* selp,
                       double* sorted, std::int32_t* perm, double* p) {
  int n = 0;
  for (int i = 0; i < nvara; ++i) {
    if (v[i] == -9.0) continue;
    sel[n] = i + 1;
    selp[n] = v[i];
    ++n;
  }
  if (n <= 1) return n;

  sortp(selp, n, sorted, perm);

  // P: the correlations of the selected phenotypes in sorted order,
  // converted; unit diagonal. The solver reads the lower triangle only.
  for (int a = 0; a < n; ++a) {
    const int qa = sel[perm[a] - 1] - 1;
    p[a * kLd + a] = 1.0;
    for (int b = 0; b < a; ++b) {
      const int qb = sel[perm[b] - 1] - 1;
      p[b * kLd + a] = convert(k[qb * kLd + qa]);
    }
  }
  return n;
}

double combine(const double* k, int nvara, const double* v, Combiner& c) {
  c.nfaults = 0;
  const int n = select_and_convert(k, nvara, v, c.sel, c.selp, c.sorted, c.perm, c.p);
  c.n = n;
  if (n <= 1) return -9.0;

  // The whole matrix (problem 0) and the blocks of order n-1 down to 2
  // (problem n - j), each decomposed from scratch. The whole matrix is also
  // the leading block of order n, so its eigenvalues and codes serve for
  // M(n) as well. The reduction cannot fail for orders of 2 and more, so
  // its codes are 0.
  const FastKernels& fast = fast_kernels();
  const int count = n - 1;
  const double* mats[kLd];
  for (int q = 0; q < count; ++q) {
    c.ord[q] = n - q;
    mats[q] = c.p;
  }
  if (n <= kSmallOrder) {
    // Too few problems to fill the lanes: one after the other.
    std::int32_t code = 0;
    for (int q = 0; q < count; ++q) {
      tdiag_values(c.ord[q], c.p, c.dq + q * kFastLd, c.eq + q * kFastLd, c.z, kLd, code);
      lrvt_values(c.ord[q], c.dq + q * kFastLd, c.eq + q * kFastLd, c.qfault[q]);
    }
  } else {
    fast.tdiag_many(count, c.ord, mats, kLd, c.dq, c.eq, kFastLd);
    fast.lrvt_many(count, c.ord, c.dq, c.eq, kFastLd, c.qfault, mits);
  }

  for (int i = 0; i < n; ++i) c.lam[i] = c.dq[i];
  c.codes[0] = 0;
  c.codes[1] = c.qfault[0];
  if (c.codes[1] != 0) c.faults[c.nfaults++] = {0, 0, c.codes[1]};
  c.m = effective(n, c.lam);

  c.mj[0] = 1.0;  // the block of order 1 has the single eigenvalue 1
  for (int j = 2; j < n; ++j) {
    const int q = n - j;
    if (c.qfault[q] != 0) c.faults[c.nfaults++] = {j, 0, c.qfault[q]};
    c.mj[j - 1] = effective(j, c.dq + q * kFastLd);
  }
  if (c.codes[1] != 0) c.faults[c.nfaults++] = {n, 0, c.codes[1]};
  c.mj[n - 1] = c.m;

  double best = 1000.0;
  for (int a = 0; a < n; ++a) {
    const double adjusted = (c.m / c.mj[a]) * c.sorted[a];
    if (adjusted < best) best = adjusted;
  }
  return best;
}

}  // namespace kolva
