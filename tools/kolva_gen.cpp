// kolva_gen: writes a generated data set for kolva into a directory: a
// correlation file, a p-value file and a control file `defdims`.
//
// The phenotypes follow a two-factor correlation model; each variant's
// z-scores are correlated normals (Cholesky factor of the correlation
// matrix times independent normals), a chosen share of variants carries a
// true signal on some phenotypes, and p-values are two-sided,
// erfc(|z| / sqrt(2)). Missing p-values are written as NA or as -9. The
// random numbers come from a fixed-seed mt19937_64 and a Box-Muller
// transform written here, so the output is the same on every machine.
//
//   kolva_gen DIR [phenotypes=6] [variants=3000] [seed=1] [missing=0.03]
//             [signals=0.01] [layout=lower|full]
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_limits.h"

namespace {

struct Options {
  std::string dir;
  int phenotypes = 6;
  long variants = 3000;
  unsigned long seed = 1;
  double missing = 0.03;
  double signals = 0.01;
  bool full = false;
};

class Normal {
 public:
  explicit Normal(unsigned long seed) : rng_(seed) {}
  double uniform() { return (static_cast<double>(rng_() >> 11) + 0.5) * 0x1p-53; }
  double operator()() {
    if (have_) {
      have_ = false;
      return spare_;
    }
    const double r = std::sqrt(-2.0 * std::log(uniform()));
    const double t = 6.283185307179586 * uniform();
    spare_ = r * std::sin(t);
    have_ = true;
    return r * std::cos(t);
  }

 private:
  std::mt19937_64 rng_;
  double spare_ = 0;
  bool have_ = false;
};

std::string num(double x, int digits) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, digits);
  return std::string(buf, r.ptr);
}

bool parse(Options& o, int argc, char** argv) {
  if (argc < 2) return false;
  o.dir = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string_view a = argv[i];
    auto eq = a.find('=');
    if (eq == std::string_view::npos) return false;
    std::string key(a.substr(0, eq));
    std::string val(a.substr(eq + 1));
    if (key == "phenotypes")
      o.phenotypes = std::atoi(val.c_str());
    else if (key == "variants")
      o.variants = std::atol(val.c_str());
    else if (key == "seed")
      o.seed = std::strtoul(val.c_str(), nullptr, 10);
    else if (key == "missing")
      o.missing = std::atof(val.c_str());
    else if (key == "signals")
      o.signals = std::atof(val.c_str());
    else if (key == "layout")
      o.full = val == "full";
    else
      return false;
  }
  return o.phenotypes >= 1 && o.phenotypes <= kolva::maxnvara && o.variants >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(o, argc, argv)) {
    std::fputs(
        "usage: kolva_gen DIR [phenotypes=6] [variants=3000] [seed=1] "
        "[missing=0.03] [signals=0.01] [layout=lower|full]\n",
        stderr);
    return 2;
  }
  const int n = o.phenotypes;
  Normal normal(o.seed);

  // Two-factor model: r(i, j) = sum of loadings, rounded to 4 decimals as a
  // correlation file would hold them.
  std::vector<double> load(2 * n);
  for (int i = 0; i < n; ++i) {
    load[2 * i] = 0.3 + 0.5 * normal.uniform();
    load[2 * i + 1] = (i % 2 ? 0.4 : -0.2) * normal.uniform();
  }
  std::vector<double> r(n * n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      r[i * n + j] =
          i == j
              ? 1.0
              : std::round((load[2 * i] * load[2 * j] + load[2 * i + 1] * load[2 * j + 1]) * 1e4) /
                    1e4;

  // Cholesky factor L (lower), r = L L^T.
  std::vector<double> l(n * n, 0.0);
  for (int j = 0; j < n; ++j) {
    double s = r[j * n + j];
    for (int k = 0; k < j; ++k) s -= l[j * n + k] * l[j * n + k];
    l[j * n + j] = std::sqrt(s > 1e-12 ? s : 1e-12);
    for (int i = j + 1; i < n; ++i) {
      double t = r[i * n + j];
      for (int k = 0; k < j; ++k) t -= l[i * n + k] * l[j * n + k];
      l[i * n + j] = t / l[j * n + j];
    }
  }

  std::ofstream corr(o.dir + "/corr.txt", std::ios::binary);
  for (int i = 0; i < n; ++i) {
    const int last = o.full ? n : i + 1;
    for (int j = 0; j < last; ++j) corr << (j ? " " : "") << num(r[i * n + j], 4);
    corr << '\n';
  }

  std::ofstream pv(o.dir + "/pvals.txt", std::ios::binary);
  std::vector<double> u(n), z(n);
  std::string line;
  for (long v = 0; v < o.variants; ++v) {
    for (int i = 0; i < n; ++i) u[i] = normal();
    const bool signal = normal.uniform() < o.signals;
    for (int i = 0; i < n; ++i) {
      double s = 0;
      for (int k = 0; k <= i; ++k) s += l[i * n + k] * u[k];
      z[i] = s + (signal && (i % 3 == 0) ? 5.5 : 0.0);
    }
    line = std::to_string(1 + v % 22) + " rs" + std::to_string(100000 + v * 7);
    for (int i = 0; i < n; ++i) {
      line += ' ';
      const double m = normal.uniform();
      if (m < o.missing / 2)
        line += "NA";
      else if (m < o.missing)
        line += "-9";
      else
        line += num(std::erfc(std::fabs(z[i]) / std::sqrt(2.0)), 6);
    }
    line += '\n';
    pv << line;
  }

  std::ofstream ctl(o.dir + "/defdims", std::ios::binary);
  ctl << n << ' ' << o.variants << '\n'
      << (o.full ? "full" : "lower") << '\n'
      << "pvals.txt\ncorr.txt\nresults.txt\n";
  return corr && pv && ctl ? 0 : 1;
}
