// The phenotype correlation from the z-scores of null variants.
//
// Among variants with |z1|, |z2| < Z the plain Pearson correlation of a
// pair is biased towards 0. The estimate is the rho for which a standard
// bivariate normal with correlation rho, truncated to that square, has the
// observed Pearson correlation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kolva::prep {

// Phi^-1(1 - p/2), the |z| of a two-sided p-value; exact in the tail down
// to p = 1e-300 (complement form). Infinity for p = 0.
double z_of_p(double p);

// The two-sided p-value of |z| = Z: variants with p above it have |z| < Z.
double p_of_z(double z);

// The Pearson correlation of a standard bivariate normal with correlation
// rho truncated to |z1| < bound, |z2| < bound.
double truncated_corr(double rho, double bound);

// The rho whose truncated correlation is r (r in [-1, 1]).
double solve_rho(double r, double bound);

// Running sums over variants for every pair of phenotypes: for pair (i, j)
// the variants where both z-scores are usable (present, |z| < Z).
class PairSums {
 public:
  explicit PairSums(std::size_t k);
  // z[i] with usable[i] != 0; z[i] must be 0 where usable[i] is 0.
  void add(const double* z, const double* usable);
  std::uint64_t count(std::size_t i, std::size_t j) const;
  // Plain Pearson correlation of the pair's variants (NaN below 3).
  double pearson(std::size_t i, std::size_t j) const;

 private:
  // Pair (i, j), i > j, at i (i - 1) / 2 + j: the count, the sums of z_i,
  // z_j, their squares and products over the pair's variants.
  std::size_t k_;
  std::vector<double> n_, si_, sj_, sii_, sjj_, sij_, zz_;
};

}  // namespace kolva::prep
