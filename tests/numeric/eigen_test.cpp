#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "numeric/eigen.h"
#include "reference/reference.h"
#include "support/numbers.h"

namespace kolva {
namespace {

using testing::bits;
using testing::kNaN;

std::string hex(double x) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%a", x);
  return buf;
}

// Column-major work matrix with 1-based element access.
struct Mat {
  int n;
  int ld;
  std::vector<double> a;
  explicit Mat(int n_, int ld_ = kLd) : n(n_), ld(ld_), a(std::size_t(ld_) * ld_, 0.0) {}
  double& operator()(int i, int j) { return a[std::size_t(j - 1) * ld + (i - 1)]; }
  double operator()(int i, int j) const { return a[std::size_t(j - 1) * ld + (i - 1)]; }
  // Sets the lower-triangle element for i >= j (and i < j by symmetry).
  void sym(int i, int j, double v) { i >= j ? (*this)(i, j) = v : (*this)(j, i) = v; }
};

struct Solved {
  std::vector<double> d, e, z;
  std::int32_t codes[4];
};

// Runs setz and the textbook tdiag, lrvt (with the sweep limit lowered
// when limit < mits), and at the run's limit the values-only pair on the
// same input; the values-only d, e and codes must match bit for bit.
Solved solve(const Mat& m, int n = -100, double fill = 0.0, std::int32_t limit = mits) {
  if (n == -100) n = m.n;
  Solved full{std::vector<double>(kLd, fill),
              std::vector<double>(kLd, fill),
              std::vector<double>(std::size_t(m.ld) * m.ld, fill),
              {9, 9, 9, 9}};
  Solved vals = full;
  setz(full.codes);
  setz(vals.codes);
  tdiag(n, m.a.data(), full.d.data(), full.e.data(), full.z.data(), m.ld, full.codes[0]);
  tdiag_values(n, m.a.data(), vals.d.data(), vals.e.data(), vals.z.data(), m.ld, vals.codes[0]);
  if (limit != mits) {
    lrvt_limited(n, full.d.data(), full.e.data(), full.z.data(), full.codes[1], m.ld, limit);
    return full;
  }
  lrvt(n, full.d.data(), full.e.data(), full.z.data(), full.codes[1], m.ld);
  lrvt_values(n, vals.d.data(), vals.e.data(), vals.codes[1]);
  EXPECT_EQ(full.codes[0], vals.codes[0]);
  EXPECT_EQ(full.codes[1], vals.codes[1]);
  for (int i = 0; i < kLd; ++i) {
    EXPECT_EQ(bits(full.d[i]), bits(vals.d[i]))
        << "d(" << i + 1 << ") " << hex(full.d[i]) << " vs " << hex(vals.d[i]);
    EXPECT_EQ(bits(full.e[i]), bits(vals.e[i])) << "e(" << i + 1 << ")";
  }
  return full;
}

double zat(const Solved& s, int ld, int i, int j) { return s.z[std::size_t(j - 1) * ld + (i - 1)]; }

void expect_identical(const Solved& x, const Solved& y) {
  for (std::size_t i = 0; i < x.d.size(); ++i) {
    ASSERT_EQ(bits(x.d[i]), bits(y.d[i])) << "d(" << i + 1 << ")";
    ASSERT_EQ(bits(x.e[i]), bits(y.e[i])) << "e(" << i + 1 << ")";
  }
  for (std::size_t i = 0; i < x.z.size(); ++i)
    ASSERT_EQ(bits(x.z[i]), bits(y.z[i])) << "z[" << i << "]";
  for (int c = 0; c < 4; ++c) ASSERT_EQ(x.codes[c], y.codes[c]);
}

Mat unit_diag(int n) {
  Mat m(n);
  for (int i = 1; i <= n; ++i) m(i, i) = 1.0;
  return m;
}

TEST(Eigen, OrderBelowTwoComputesNothing) {
  for (int n : {1, 0, -1}) {
    Mat m(3);
    m(1, 1) = 2.0;
    m(2, 1) = 0.5;
    m(2, 2) = 3.0;
    const double fill = -7.25;
    Solved s = solve(m, n, fill);
    EXPECT_EQ(s.codes[0], 1) << n;
    EXPECT_EQ(s.codes[1], 2) << n;
    for (double v : s.d) ASSERT_EQ(bits(v), bits(fill));
    for (double v : s.e) ASSERT_EQ(bits(v), bits(fill));
    for (double v : s.z) ASSERT_EQ(bits(v), bits(fill));
  }
}

TEST(Eigen, OrderTwoTridiagonalIsTheMatrixItself) {
  Mat c(2, 2);
  c(1, 1) = 0.25;
  c(2, 2) = -3.0;
  c(2, 1) = 0.5;
  std::vector<double> d(2), e(2), z(4, 9.0);
  std::int32_t fault = 9;
  tdiag(2, c.a.data(), d.data(), e.data(), z.data(), 2, fault);
  EXPECT_EQ(fault, 0);
  EXPECT_EQ(d, (std::vector<double>{0.25, -3.0}));
  EXPECT_EQ(e, (std::vector<double>{0.0, 0.5}));
  EXPECT_EQ(z, (std::vector<double>{1.0, 0.0, 0.0, 1.0}));
}

// Exact outcomes of small matrices: eigenvalues and, where given, the
// eigenvector columns, bit for bit.
struct ExactCase {
  const char* name;
  int n;
  std::vector<double> lower;  // row by row: a(1,1); a(2,1) a(2,2); ...
  std::vector<double> d;
  std::vector<std::vector<double>> zcols;  // empty: not checked
};

Mat from_lower(int n, const std::vector<double>& lower) {
  Mat m(n);
  std::size_t p = 0;
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= i; ++j) m(i, j) = lower[p++];
  return m;
}

TEST(Eigen, ExactSmallCases) {
  const double r = 0.7071067811865475;
  const std::vector<ExactCase> cases = {
      {"half coupling", 2, {1, 0.5, 1}, {1.5, 0.5}, {{r, r}, {r, -r}}},
      {"all ones", 2, {1, 1, 1}, {1.9999999999999998, 0.0}, {}},
      {"diag 1 1 2", 3, {1, 0, 1, 0, 0, 2}, {2, 1, 1}, {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}}},
      {"decoupled row", 3, {1, 0.5, 1, 0, 0, 1}, {1.5, 1, 0.5}, {{}, {0, 0, 1}, {}}},
  };
  for (const ExactCase& c : cases) {
    SCOPED_TRACE(c.name);
    Solved s = solve(from_lower(c.n, c.lower));
    EXPECT_EQ(s.codes[0], 0);
    EXPECT_EQ(s.codes[1], 0);
    for (int k = 1; k <= c.n; ++k)
      EXPECT_EQ(bits(s.d[k - 1]), bits(c.d[k - 1])) << "d(" << k << ") = " << hex(s.d[k - 1]);
    for (std::size_t k = 0; k < c.zcols.size(); ++k)
      for (std::size_t i = 0; i < c.zcols[k].size(); ++i)
        EXPECT_EQ(bits(zat(s, kLd, int(i) + 1, int(k) + 1)), bits(c.zcols[k][i]))
            << "z(" << i + 1 << "," << k + 1 << ")";
  }
}

TEST(Eigen, IdentityStaysIdentity) {
  for (int n : {2, 3, 7, 50}) {
    Solved s = solve(unit_diag(n));
    EXPECT_EQ(s.codes[0], 0);
    EXPECT_EQ(s.codes[1], 0);
    for (int i = 1; i <= n; ++i) {
      ASSERT_EQ(bits(s.d[i - 1]), bits(1.0)) << n << " " << i;
      for (int j = 1; j <= n; ++j) ASSERT_EQ(bits(zat(s, kLd, i, j)), bits(i == j ? 1.0 : 0.0));
    }
  }
}

Mat threshold_matrix(double v) {
  Mat m = unit_diag(3);
  m(2, 1) = 0.3;
  m(3, 2) = 0.2;
  m(3, 1) = v;
  return m;
}

TEST(Eigen, ReflectionThreshold) {
  const Solved base = solve(threshold_matrix(0.0));
  for (double v : {1e-12, 3.1e-12, -3.1e-12}) {
    SCOPED_TRACE(v);
    expect_identical(solve(threshold_matrix(v)), base);
  }
  const Solved formed = solve(threshold_matrix(3.2e-12));
  bool differs = false;
  for (int i = 0; i < 3; ++i) differs |= bits(formed.d[i]) != bits(base.d[i]);
  for (std::size_t i = 0; i < formed.z.size(); ++i) differs |= bits(formed.z[i]) != bits(base.z[i]);
  EXPECT_TRUE(differs);
}

std::mt19937_64& rng() {
  static std::mt19937_64 g(20240611);
  return g;
}

// Random symmetric matrix; kind 0: entries in [-1, 1]; kind 1: unit
// diagonal with correlations in (-1, 1); kind 2: entries from {0, 0.5, 1}
// (many repeated eigenvalues); kind 3: entries scaled over many decades.
Mat random_sym(std::mt19937_64& g, int n, int kind, int ld = kLd) {
  Mat m(n, ld);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int j = 1; j <= n; ++j) {
    for (int i = j; i <= n; ++i) {
      double v = u(g);
      if (kind == 1) v = (i == j) ? 1.0 : v * 0.9;
      if (kind == 2) v = double(g() % 3) * 0.5;
      if (kind == 3) v *= std::ldexp(1.0, int(g() % 60) - 30);
      m(i, j) = v;
    }
  }
  return m;
}

TEST(Eigen, EntriesAboveTheDiagonalAreIgnored) {
  std::mt19937_64 g(7);
  for (int n : {2, 3, 6, 17}) {
    Mat clean = random_sym(g, n, 0);
    Mat dirty = clean;
    for (int j = 2; j <= n; ++j)
      for (int i = 1; i < j; ++i) dirty(i, j) = (i + j) % 2 ? kNaN : 1e300 * i;
    const Mat before = dirty;
    expect_identical(solve(dirty), solve(clean));
    EXPECT_EQ(std::memcmp(before.a.data(), dirty.a.data(), dirty.a.size() * sizeof(double)), 0)
        << "a was written";
  }
}

TEST(Eigen, NotANumberPropagatesWithoutFaults) {
  std::mt19937_64 g(11);
  for (auto [n, i, j] :
       {std::tuple{2, 2, 1}, {3, 1, 1}, {3, 3, 2}, {5, 3, 2}, {5, 4, 1}, {8, 8, 8}}) {
    Mat m = random_sym(g, n, 1);
    m(i, j) = kNaN;
    Solved s = solve(m);
    EXPECT_EQ(s.codes[0], 0);
    EXPECT_EQ(s.codes[1], 0);
    for (int k = 1; k <= n; ++k) EXPECT_TRUE(std::isnan(s.d[k - 1])) << n << ": d(" << k << ")";
  }
}

TEST(Eigen, NotANumberLeftOfTheLastSubdiagonalIsDropped) {
  // The last row's entries left of its subdiagonal are read only into the
  // sum that decides on its reflection; a NaN sum is not above the
  // threshold, so the row is taken as reduced and those entries vanish,
  // exactly as if they were 0.
  std::mt19937_64 g(13);
  for (int n : {3, 5, 12}) {
    Mat m = random_sym(g, n, 1);
    Mat zeroed = m;
    for (int k = 1; k <= n - 2; ++k) zeroed(n, k) = 0.0;
    m(n, 1) = kNaN;
    Solved s = solve(m);
    expect_identical(s, solve(zeroed));
    for (int k = 1; k <= n; ++k) EXPECT_FALSE(std::isnan(s.d[k - 1]));
  }
}

// A finite matrix whose smaller eigenvalue is below -DBL_MAX: the shift of
// the coupling pair overflows to a fixed point and every sweep only flips
// the pair's signs, so the index never converges.
Mat cycling_matrix() {
  Mat m(3);
  m(1, 1) = -3.0;
  m(2, 2) = 0.0;
  m(3, 2) = 1e308;
  m(3, 3) = -1e308;
  return m;
}

TEST(Eigen, SweepLimitReturnsUnsortedWithFault) {
  // d(1) converges at once; every sweep on the pair below flips its signs
  // and moves the accumulated shift between -1e308 and 0, which is not
  // added back: d(2) = c * p = -0 and d(3) = +-1e308. Nothing is sorted,
  // so -3 stays ahead of -0. limit 30 is the plain lrvt.
  for (std::int32_t limit : {1, 2, 3, 30}) {
    SCOPED_TRACE(limit);
    Solved s = solve(cycling_matrix(), -100, 0.0, limit);
    EXPECT_EQ(s.codes[0], 0);
    EXPECT_EQ(s.codes[1], 1);
    EXPECT_EQ(bits(s.d[0]), bits(-3.0));
    EXPECT_EQ(bits(s.d[1]), bits(-0.0));
    EXPECT_EQ(bits(s.d[2]), bits(limit % 2 ? 1e308 : -1e308));
  }
}

TEST(Eigen, SweepLimitOnOrdinaryMatrices) {
  // Below what a matrix needs, the limit gives fault 1 in both forms with
  // identical d (checked in solve); limit 0 returns at the first index that
  // needs a sweep, before any arithmetic, so d is still T's diagonal.
  std::mt19937_64 g(5);
  for (int n : {2, 4, 9, 23}) {
    const Mat m = random_sym(g, n, 1);
    std::vector<double> t(n), e(n), z(std::size_t(kLd) * kLd);
    std::int32_t fault;
    tdiag(n, m.a.data(), t.data(), e.data(), z.data(), kLd, fault);
    const Solved s0 = solve(m, n, 0.0, 0);
    EXPECT_EQ(s0.codes[1], 1);
    for (int i = 0; i < n; ++i) EXPECT_EQ(bits(s0.d[i]), bits(t[i]));
    std::int32_t limit = 1;
    while (limit < mits && solve(m, n, 0.0, limit).codes[1] != 0) ++limit;
    EXPECT_LT(limit, mits);
  }
}

// Random matrices of every order: descending eigenvalues whose sum is the
// trace, orthonormal eigenvectors with small residuals, and the two forms
// bit-identical (checked inside solve).
TEST(Eigen, RandomMatricesOfEveryOrder) {
  std::mt19937_64& g = rng();
  for (int n = 2; n <= 50; ++n) {
    for (int kind = 0; kind < 4; ++kind) {
      const int ld = (kind % 2) ? kLd : n;
      const Mat m = random_sym(g, n, kind, ld);
      SCOPED_TRACE(::testing::Message() << "n=" << n << " kind=" << kind);
      Solved s = solve(m);
      ASSERT_EQ(s.codes[0], 0);
      ASSERT_EQ(s.codes[1], 0);

      double trace = 0.0, sum = 0.0, frob = 0.0;
      for (int i = 1; i <= n; ++i) {
        trace += m(i, i);
        sum += s.d[i - 1];
        for (int j = 1; j <= n; ++j) {
          const double v = i >= j ? m(i, j) : m(j, i);
          frob += v * v;
        }
      }
      frob = std::sqrt(frob);
      const double tol = 32.0 * n * std::numeric_limits<double>::epsilon() * frob;
      for (int i = 1; i < n; ++i) ASSERT_GE(s.d[i - 1], s.d[i]) << "d(" << i << ")";
      EXPECT_NEAR(sum, trace, tol);

      for (int k = 1; k <= n; ++k) {
        double res = 0.0;
        for (int i = 1; i <= n; ++i) {
          double az = 0.0;
          for (int j = 1; j <= n; ++j) az += (i >= j ? m(i, j) : m(j, i)) * zat(s, ld, j, k);
          res = std::max(res, std::fabs(az - s.d[k - 1] * zat(s, ld, i, k)));
        }
        ASSERT_LE(res, tol) << "residual of column " << k;
        for (int k2 = k; k2 <= n; ++k2) {
          double dot = 0.0;
          for (int i = 1; i <= n; ++i) dot += zat(s, ld, i, k) * zat(s, ld, i, k2);
          ASSERT_NEAR(dot, k == k2 ? 1.0 : 0.0, 32.0 * n * std::numeric_limits<double>::epsilon());
        }
      }
    }
  }
}

}  // namespace
}  // namespace kolva
