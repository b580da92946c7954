// The correlation estimate: the truncated-normal correlation against large
// simulated samples (a known truth), and against the plain Pearson where
// the truncation is far out.
#include "prep/estimate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace kolva::prep {
namespace {

// Pearson correlation of n simulated pairs with correlation rho kept when
// |z1|, |z2| < bound, through PairSums (column 2 always missing).
double simulated_truncated_pearson(double rho, double bound, int n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> g;
  PairSums sums(3);
  const double s = std::sqrt(1 - rho * rho);
  for (int i = 0; i < n; ++i) {
    const double a = g(rng), b = rho * a + s * g(rng);
    if (std::abs(a) >= bound || std::abs(b) >= bound) continue;
    const double z[3] = {a, b, 0}, use[3] = {1, 1, 0};
    sums.add(z, use);
  }
  EXPECT_EQ(sums.count(0, 2), 0u);
  return sums.pearson(1, 0);
}

TEST(Estimate, TruncatedCorrelationMatchesSimulation) {
  constexpr int kDraws = 2'000'000;
  for (double bound : {2.0, 0.7}) {
    for (double rho : {-0.5, 0.2, 0.5, 0.8}) {
      SCOPED_TRACE("rho " + std::to_string(rho) + " Z " + std::to_string(bound));
      const double observed = simulated_truncated_pearson(rho, bound, kDraws, 7);
      // A few standard errors of a Pearson correlation on ~1e6 pairs.
      EXPECT_NEAR(truncated_corr(rho, bound), observed, 0.004);
      const double estimate = solve_rho(observed, bound);
      std::printf("rho %.1f Z %.1f: plain Pearson %.4f, estimate %.4f, error %+.4f\n", rho, bound,
                  observed, estimate, estimate - rho);
      EXPECT_NEAR(estimate, rho, 0.01);
    }
  }
  // What the truncation does at Z = 2: a true 0.5 reads about 0.42.
  EXPECT_NEAR(truncated_corr(0.5, 2), 0.42, 0.01);
}

TEST(Estimate, FarTruncationIsPlainPearson) {
  for (double rho : {-0.9, -0.3, 0.0, 0.4, 0.95}) {
    EXPECT_NEAR(truncated_corr(rho, 12), rho, 1e-9);
    EXPECT_NEAR(solve_rho(rho, 12), rho, 1e-9);
    const double plain = simulated_truncated_pearson(rho, 1e9, 20'000, 3);
    EXPECT_NEAR(solve_rho(plain, 12), plain, 1e-9);
  }
  EXPECT_EQ(solve_rho(1, 2), 1);
  EXPECT_EQ(solve_rho(-1, 2), -1);
}

TEST(Estimate, ZOfPReachesTheFarTail) {
  EXPECT_NEAR(z_of_p(0.05), 1.9599639845400545, 1e-12);
  EXPECT_NEAR(z_of_p(1e-300), 37.06578788077213, 1e-9);
  EXPECT_EQ(z_of_p(1), 0);
  EXPECT_TRUE(std::isinf(z_of_p(0)));
  EXPECT_NEAR(p_of_z(z_of_p(0.3)), 0.3, 1e-14);
}

}  // namespace
}  // namespace kolva::prep
