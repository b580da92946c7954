// The plain evaluation of one variant, step by step, with the full solver.
#include <algorithm>
#include <memory>

#include "numeric/eigen.h"
#include "numeric/sortp.h"
#include "reference/reference.h"

namespace kolva {

// combine_reference: the combined p-value of one variant.
//   k      (in)  phenotype correlation matrix, leading dimension kLd.
//   nvara  (in)  number of phenotypes.
//   v      (in)  p-values in phenotype order; -9 exactly is missing.
//   c      (out) the working storage; c.n, c.m, c.mj, c.faults are left
//                as results.
// Selects the present p-values, sorts them, converts the correlations,
// decomposes the whole matrix and each leading block j = 2 .. n (copied
// into c.b) with tdiag/lrvt including eigenvectors, and takes the smallest
// (M / M(a)) * p(a). Returns -9 for fewer than two present p-values.
double combine_reference(const double* k, int nvara, const double* v, Combiner& c) {
  c.nfaults = 0;
  int n = 0;
  for (int i = 0; i < nvara; ++i) {
    if (v[i] == -9.0) continue;
    c.sel[n] = i + 1;
    c.selp[n] = v[i];
    ++n;
  }
  c.n = n;
  if (n <= 1) return -9.0;

  sortp(c.selp, n, c.sorted, c.perm);

  // R and P (R is converted as it is taken out of K).
  for (int a = 1; a <= n; ++a) {
    const int qa = c.sel[c.perm[a - 1] - 1];
    c.p[(a - 1) * kLd + (a - 1)] = 1.0;
    for (int b = 1; b <= a - 1; ++b) {
      const int qb = c.sel[c.perm[b - 1] - 1];
      const double r = k[(qb - 1) * kLd + (qa - 1)];
      c.p[(b - 1) * kLd + (a - 1)] = convert(r);
      c.p[(a - 1) * kLd + (b - 1)] = c.p[(b - 1) * kLd + (a - 1)];
    }
  }

  setz(c.codes);
  tdiag(n, c.p, c.lam, c.off, c.z, kLd, c.codes[0]);
  lrvt(n, c.lam, c.off, c.z, c.codes[1], kLd);
  if (c.codes[0] != 0 || c.codes[1] != 0) c.faults[c.nfaults++] = {0, c.codes[0], c.codes[1]};

  c.m = static_cast<double>(n);
  for (int i = 1; i <= n; ++i) {
    const double w = c.lam[i - 1] > 1.0 ? 1.0 : 0.0;
    c.m = c.m - (c.lam[i - 1] - 1.0) * w;
  }

  for (int j = 1; j <= n; ++j) c.mj[j - 1] = static_cast<double>(j);
  for (int j = 1; j <= n; ++j) {
    for (int col = 1; col <= j; ++col)
      for (int row = 1; row <= j; ++row)
        c.b[(col - 1) * kLd + (row - 1)] = c.p[(col - 1) * kLd + (row - 1)];
    if (j == 1) {
      c.mu[0] = c.b[0];
    } else {
      setz(c.codes);
      tdiag(j, c.b, c.mu, c.off, c.z, kLd, c.codes[2]);
      lrvt(j, c.mu, c.off, c.z, c.codes[3], kLd);
    }
    if (c.codes[2] != 0 || c.codes[3] != 0) c.faults[c.nfaults++] = {j, c.codes[2], c.codes[3]};
    for (int q = 1; q <= j; ++q) {
      const double w = c.mu[q - 1] > 1.0 ? 1.0 : 0.0;
      c.mj[j - 1] = c.mj[j - 1] - (c.mu[q - 1] - 1.0) * w;
    }
  }

  double best = 1000.0;
  for (int a = 1; a <= n; ++a) {
    const double adjusted = (c.m / c.mj[a - 1]) * c.sorted[a - 1];
    if (adjusted < best) best = adjusted;
  }
  return best;
}

namespace {

class ReferenceEvaluator final : public Evaluator {
 public:
  ReferenceEvaluator(const double* k, int nvara) : nvara_(nvara) {
    std::copy(k, k + kLd * kLd, k_);
  }
  int nvara() const override { return nvara_; }
  void evaluate(const double* const* v, int count, BatchCombiner& bc) const override {
    thread_local auto c = std::make_unique<Combiner>();
    for (int b = 0; b < count; ++b) {
      BatchVariant& x = bc.var[b];
      x.combined = combine_reference(k_, nvara_, v[b], *c);
      x.n = c->n;
      x.nfaults = c->nfaults;
      for (int f = 0; f < c->nfaults; ++f) x.faults[f] = c->faults[f];
    }
  }

 private:
  double k_[kLd * kLd];
  int nvara_;
};

// The Statistic's evaluation without its reuse table.
class Unreused final : public Evaluator {
 public:
  Unreused(const double* k, int nvara, std::int32_t sweeps) : s_(k, nvara, sweeps) {}
  int nvara() const override { return s_.nvara(); }
  void evaluate(const double* const* v, int count, BatchCombiner& bc) const override {
    combine_batch_converted(s_.f(), s_.nvara(), v, count, bc, s_.sweeps(), nullptr);
  }

 private:
  Statistic s_;
};

}  // namespace

std::unique_ptr<Evaluator> reference_evaluator(const double* k, int nvara) {
  return std::make_unique<ReferenceEvaluator>(k, nvara);
}

MakeEvaluator few_sweeps(std::int32_t sweeps) {
  return [sweeps](const double* k, int nvara) -> std::unique_ptr<Evaluator> {
    return std::make_unique<Statistic>(k, nvara, sweeps);
  };
}

MakeEvaluator without_reuse(std::int32_t sweeps) {
  return [sweeps](const double* k, int nvara) -> std::unique_ptr<Evaluator> {
    return std::make_unique<Unreused>(k, nvara, sweeps);
  };
}

}  // namespace kolva
