#include "prep/estimate.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/tools/roots.hpp>
#include <cmath>
#include <limits>
#include <utility>

namespace kolva::prep {
namespace {

// In double throughout: the default policy promotes to long double, which
// costs several times as much for no digit that matters here.
using Policy = boost::math::policies::policy<boost::math::policies::promote_double<false>>;
const boost::math::normal_distribution<double, Policy> kNormal;

double phi(double x) { return boost::math::pdf(kNormal, x); }

// P(a < U < b) for a standard normal U, accurate in both tails.
double mass(double a, double b) {
  if (a > 0)
    return boost::math::cdf(boost::math::complement(kNormal, a)) -
           boost::math::cdf(boost::math::complement(kNormal, b));
  return boost::math::cdf(kNormal, b) - boost::math::cdf(kNormal, a);
}

}  // namespace

double z_of_p(double p) {
  if (p <= 0) return std::numeric_limits<double>::infinity();
  if (p >= 1) return 0;
  return boost::math::quantile(boost::math::complement(kNormal, p / 2));
}

double p_of_z(double z) { return 2 * boost::math::cdf(boost::math::complement(kNormal, z)); }

// Given z1, z2 = rho z1 + s U with s = sqrt(1 - rho^2). With m = rho z1,
// a = (-Z - m)/s and b = (Z - m)/s, over |z2| < Z:
//   E[1]    = P            = Phi(b) - Phi(a)
//   E[z2]   = m P + s D,     D = phi(a) - phi(b)
//   E[z2^2] = m^2 P + 2 m s D + s^2 (P + a phi(a) - b phi(b))
// Integrated against phi(z1) over |z1| < Z they give the truncated
// moments; the means are 0 by the symmetry (z1, z2) -> (-z1, -z2), so the
// correlation is E[z1 z2] / sqrt(E[z1^2] E[z2^2]) (the two second moments
// are equal by exchangeability; both are computed). The integrands are
// even in z1, so [0, Z] is integrated.
double truncated_corr(double rho, double bound) {
  if (rho >= 1) return 1;
  if (rho <= -1) return -1;
  if (rho == 0) return 0;
  const double s = std::sqrt((1 - rho) * (1 + rho));
  struct Moments {
    double p, e1, e2;
  };
  auto cond = [&](double z1) {
    const double m = rho * z1, a = (-bound - m) / s, b = (bound - m) / s;
    const double p = mass(a, b), pa = phi(a), pb = phi(b), d = pa - pb;
    return Moments{p, m * p + s * d, m * m * p + 2 * m * s * d + s * s * (p + a * pa - b * pb)};
  };
  using Quad = boost::math::quadrature::gauss_kronrod<double, 31>;
  auto integrate = [&](auto f) { return Quad::integrate(f, 0.0, bound, 15, 1e-12); };
  const double m11 = integrate([&](double z) { return phi(z) * z * z * cond(z).p; });
  const double m12 = integrate([&](double z) { return phi(z) * z * cond(z).e1; });
  const double m22 = integrate([&](double z) { return phi(z) * cond(z).e2; });
  return m12 / std::sqrt(m11 * m22);
}

double solve_rho(double r, double bound) {
  if (!(r > -1)) return -1;
  if (!(r < 1)) return 1;
  auto f = [&](double rho) { return truncated_corr(rho, bound) - r; };
  std::uintmax_t iters = 200;
  auto [lo, hi] = boost::math::tools::toms748_solve(
      f, -1.0, 1.0, -1 - r, 1 - r, boost::math::tools::eps_tolerance<double>(50), iters);
  return (lo + hi) / 2;
}

PairSums::PairSums(std::size_t k)
    : k_(k), n_(k * k / 2), si_(n_), sj_(n_), sii_(n_), sjj_(n_), sij_(n_), zz_(k) {}

void PairSums::add(const double* __restrict z, const double* __restrict usable) {
  double* __restrict zz = zz_.data();
  for (std::size_t j = 0; j < k_; ++j) zz[j] = z[j] * z[j];
  for (std::size_t i = 1; i < k_; ++i) {
    if (usable[i] == 0) continue;
    const std::size_t row = i * (i - 1) / 2;
    const double zi = z[i], zzi = zz[i];
    double* __restrict n = &n_[row];
    double* __restrict si = &si_[row];
    double* __restrict sj = &sj_[row];
    double* __restrict sii = &sii_[row];
    double* __restrict sjj = &sjj_[row];
    double* __restrict sij = &sij_[row];
    for (std::size_t j = 0; j < i; ++j) {  // z[j] is 0 where not usable
      n[j] += usable[j];
      si[j] += zi * usable[j];
      sj[j] += z[j];
      sii[j] += zzi * usable[j];
      sjj[j] += zz[j];
      sij[j] += zi * z[j];
    }
  }
}

std::uint64_t PairSums::count(std::size_t i, std::size_t j) const {
  if (i < j) std::swap(i, j);
  return static_cast<std::uint64_t>(n_[i * (i - 1) / 2 + j]);
}

double PairSums::pearson(std::size_t i, std::size_t j) const {
  if (i < j) std::swap(i, j);
  const std::size_t at = i * (i - 1) / 2 + j;
  const double n = n_[at];
  if (n < 3) return std::numeric_limits<double>::quiet_NaN();
  const double mx = si_[at] / n, my = sj_[at] / n;
  const double vx = sii_[at] / n - mx * mx, vy = sjj_[at] / n - my * my;
  const double cxy = sij_[at] / n - mx * my;
  return cxy / std::sqrt(vx * vy);
}

}  // namespace kolva::prep
