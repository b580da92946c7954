// The combined statistic: worked numbers, the conversion polynomial, and a
// cross-check against an independent calculation on random variants.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "combine/combine.h"
#include "combine/combine_testing.h"
#include "support/numbers.h"

namespace kolva {
namespace {

using testing::bits;
using testing::kNaN;
using testing::matrix;
constexpr double NA = kMissing;

TEST(Convert, CoefficientsAreTheWidenedSinglePrecisionValues) {
  const double exact[7] = {-0.00076092779636383056640625, -0.002296514809131622314453125,
                           0.622624933719635009765625,    0.014875513501465320587158203125,
                           0.10951559245586395263671875,  -0.021893031895160675048828125,
                           0.21789704263210296630859375};
  for (int k = 0; k < 7; ++k) EXPECT_EQ(betaa[k], exact[k]) << "k = " << k + 1;
  EXPECT_EQ(convert(0.0), betaa[0]);
  EXPECT_NEAR(convert(1.0), 0.93996, 1e-5);
  EXPECT_NEAR(convert(-1.0), 0.95859, 1e-5);
}

// The eigenvalues as the fast iteration leaves them give the same M as
// effective() of lrvt's sorted result, to the bit; with a fault code they
// are taken as they stand, since lrvt does not sort then.
TEST(Effective, UnsortedEigenvaluesGiveTheSortedResult) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::vector<double>> cases = {
      {0.2, 2.5, 0.3, 1.7, 1e-17},      // order matters in the sum
      {1.1, 3.0, 1.1, 0.5, 1.25, 0.0},  // ties above 1
      {1.0, 0.5, -0.0, 0.0, 1.0},       // nothing above 1
      {-1.0, 3.0},                      // M reaches 0
      {1.5, kNaN, 2.0, 0.1},            // not-a-number: its place decides
      {kNaN, 0.5, 3.0},
      {0.5, inf, 1.5},
      {-inf, 2.0, 0.5},
  };
  for (const auto& lam : cases) {
    const int n = int(lam.size());
    std::vector<double> sorted = lam;
    sort_eigenvalues(n, sorted.data());
    const double want = effective(n, sorted.data());
    const double got = effective_unsorted(n, lam.data(), 0);
    EXPECT_EQ(bits(got), bits(want)) << lam[0] << " ...";
    EXPECT_EQ(bits(effective_unsorted(n, lam.data(), 1)), bits(effective(n, lam.data())));
  }
}

struct Worked {
  const char* name;
  int nvara;
  std::vector<double> k;  // correlation matrix
  std::vector<double> p;
  int n;            // present p-values
  double combined;  // expected value
  double tol;       // 0: exact
};

void PrintTo(const Worked& w, std::ostream* os) { *os << w.name; }

class WorkedNumbers : public ::testing::TestWithParam<Worked> {};

TEST_P(WorkedNumbers, Combined) {
  const Worked& w = GetParam();
  auto c = std::make_unique<BatchCombiner>();
  double got = combine(w.k.data(), w.nvara, w.p.data(), *c);
  EXPECT_EQ(c->var[0].n, w.n);
  if (w.tol == 0)
    EXPECT_EQ(got, w.combined);
  else
    EXPECT_NEAR(got, w.combined, w.tol);
  EXPECT_EQ(c->var[0].nfaults, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, WorkedNumbers,
    ::testing::Values(
        Worked{"r_half", 2, matrix(2, {1, 0.5, 1}), {0.01, 0.04}, 2, 0.018348283, 1e-9},
        Worked{"r_zero", 2, matrix(2, {1, 0, 1}), {0.01, 0.04}, 2, 0.019992391, 1e-9},
        Worked{"order_of_input_does_not_matter",
               2,
               matrix(2, {1, 0.5, 1}),
               {0.04, 0.01},
               2,
               0.018348283,
               1e-9},
        Worked{"all_missing", 3, matrix(3, {1, 0.5, 1, 0.2, 0.3, 1}), {NA, NA, NA}, 0, -9.0, 0},
        Worked{"one_present", 3, matrix(3, {1, 0.5, 1, 0.2, 0.3, 1}), {NA, 0.2, NA}, 1, -9.0, 0},
        Worked{"near_minus_nine_is_present",
               3,
               matrix(3, {1, 0, 1, 0, 0, 1}),
               {-9.0000001, NA, 0.5},
               2,
               -9.0000001 * (2 + betaa[0]),
               1e-9},
        // A not-a-number correlation makes every adjusted value not a
        // number: none is ever taken, and the start value stays.
        Worked{"nan_correlation", 2, matrix(2, {1, kNaN, 1}), {0.01, 0.04}, 2, 1000.0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// An independent calculation: cyclic Jacobi eigenvalues, then the formula
// in plain terms. Agrees with the production path to rounding.
std::vector<double> jacobi_eigenvalues(std::vector<std::vector<double>> a) {
  const int n = static_cast<int>(a.size());
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < i; ++j) off += a[i][j] * a[i][j];
    if (off < 1e-30) break;
    for (int p = 0; p < n; ++p)
      for (int q = p + 1; q < n; ++q) {
        if (a[p][q] == 0) continue;
        double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
        double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
        double c = 1 / std::sqrt(t * t + 1), s = t * c;
        for (int k = 0; k < n; ++k) {
          double akp = a[k][p], akq = a[k][q];
          a[k][p] = c * akp - s * akq;
          a[k][q] = s * akp + c * akq;
        }
        for (int k = 0; k < n; ++k) {
          double apk = a[p][k], aqk = a[q][k];
          a[p][k] = c * apk - s * aqk;
          a[q][k] = s * apk + c * aqk;
        }
      }
  }
  std::vector<double> d(n);
  for (int i = 0; i < n; ++i) d[i] = a[i][i];
  return d;
}

double reference(const std::vector<double>& k, const std::vector<double>& v) {
  std::vector<std::pair<double, int>> present;
  for (int i = 0; i < static_cast<int>(v.size()); ++i)
    if (v[i] != NA) present.emplace_back(v[i], i);
  std::sort(present.begin(), present.end());
  const int n = static_cast<int>(present.size());
  if (n <= 1) return -9;
  auto eff = [&](int m) {
    std::vector<std::vector<double>> a(m, std::vector<double>(m, 1.0));
    for (int x = 0; x < m; ++x)
      for (int y = 0; y < m; ++y)
        if (x != y) a[x][y] = convert(k[present[y].second * kLd + present[x].second]);
    double e = m;
    for (double lam : jacobi_eigenvalues(a))
      if (lam > 1) e -= lam - 1;
    return e;
  };
  const double m = eff(n);
  double best = 1000;
  for (int j = 1; j <= n; ++j) best = std::min(best, m / eff(j) * present[j - 1].first);
  return best;
}

TEST(Combine, AgreesWithAnIndependentCalculation) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto c = std::make_unique<BatchCombiner>();
  for (int trial = 0; trial < 300; ++trial) {
    const int nvara = 2 + static_cast<int>(rng() % 9);
    // Correlations from a one-factor model: a valid correlation matrix.
    std::vector<double> load(nvara), k(kLd * kLd, 0.0);
    for (double& l : load) l = 2 * unit(rng) - 1;
    for (int i = 0; i < nvara; ++i)
      for (int j = 0; j < nvara; ++j) k[j * kLd + i] = i == j ? 1.0 : load[i] * load[j];
    std::vector<double> v(nvara);
    for (double& x : v) x = unit(rng) < 0.2 ? NA : std::pow(10.0, -8 * unit(rng));
    const double got = combine(k.data(), nvara, v.data(), *c);
    const double want = reference(k, v);
    EXPECT_NEAR(got, want, 1e-9 * std::fabs(want)) << "trial " << trial;
  }
}

}  // namespace
}  // namespace kolva
