// The fast eigenvalue kernels against the plain tdiag / lrvt, bit for bit,
// in every build this processor can run: thousands of random matrices of
// orders 2 .. 50 from a fixed seed, in families chosen to reach the
// branches of the reduction and the iteration.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "numeric/eigen.h"
#include "numeric/fastpath.h"
#include "reference/reference.h"
#include "support/numbers.h"

namespace kolva {
namespace {

using testing::kInf;
using testing::kNaN;
using testing::same;

enum class Family {
  correlation,  // converted-correlation-like: unit diagonal, entries of one sign mostly
  near_singular,
  ties,        // blocks of equal values, repeated diagonals, identity parts
  threshold,   // rows whose sum of squares sits just below, at or above eta / eps
  magnitudes,  // tiny and huge scales, signed zeros
  special,     // infinities and not-a-number entries
  count
};

struct Case {
  Family family;
  int n;
  std::vector<double> a = std::vector<double>(kLd * kLd, 0.0);
  double& at(int i, int j) { return a[std::size_t(j) * kLd + i]; }  // 0-based, lower for i >= j
};

// The value whose square is the reflection threshold's neighbour: below,
// at or above it (as far as a square can land there).
double threshold_root(std::mt19937_64& g) {
  const double tol = eta / eps;
  double x = std::sqrt(tol);
  switch (g() % 5) {
    case 0: x = std::nextafter(x, 0.0); break;
    case 1: x = std::nextafter(x, 1.0); break;
    case 2: x = std::nextafter(std::nextafter(x, 1.0), 1.0); break;
    case 3: x = std::nextafter(std::nextafter(x, 0.0), 0.0); break;
    default: break;
  }
  return (g() & 1) ? -x : x;
}

Case make_case(Family f, int n, std::mt19937_64& g) {
  Case c{f, n};
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::uniform_real_distribution<double> pos(0.0, 1.0);
  auto fill = [&](auto value) {
    for (int j = 0; j < n; ++j)
      for (int i = j; i < n; ++i) c.at(i, j) = value(i, j);
  };
  switch (f) {
    case Family::correlation: {
      std::vector<double> l0(n), l1(n);
      for (int i = 0; i < n; ++i) l0[i] = 0.3 + 0.5 * pos(g), l1[i] = 0.4 * u(g);
      fill([&](int i, int j) {
        if (i == j) return 1.0;
        const double r = std::round((l0[i] * l0[j] + l1[i] * l1[j]) * 1e4) / 1e4;
        return -0.00076 + 0.62 * r + 0.11 * r * r * r * r;
      });
      break;
    }
    case Family::near_singular: {
      std::vector<double> v(n);
      for (double& x : v) x = pos(g) < 0.5 ? 1.0 : 1.0 - 1e-9 * pos(g);
      const double noise = std::ldexp(1.0, -int(20 + g() % 30));
      fill([&](int i, int j) { return v[i] * v[j] + (i == j ? noise : 0.0); });
      break;
    }
    case Family::ties: {
      const double vals[] = {0.0, 0.5, 1.0, -0.25, 0.125};
      const int block = 1 + int(g() % 4);
      const double inside = vals[g() % 5], outside = vals[g() % 5], diag = vals[g() % 3];
      fill([&](int i, int j) {
        return i == j ? diag + (i / block % 2) : (i / block == j / block ? inside : outside);
      });
      break;
    }
    case Family::threshold: {
      fill([&](int i, int j) { return i == j ? 1.0 : (i == j + 1 ? 0.3 * u(g) : 0.0); });
      // A few rows get one more entry left of the subdiagonal near the
      // threshold (so S lands below, at or just above it).
      for (int i = 2; i < n; ++i)
        if (g() % 2) c.at(i, int(g() % (i - 1))) = threshold_root(g);
      break;
    }
    case Family::magnitudes: {
      const int e = int(g() % 1200) - 600;
      const double scale = std::ldexp(1.0, e < -1000 ? -1000 : (e > 1000 ? 1000 : e));
      fill([&](int, int) {
        const double x = u(g);
        return pos(g) < 0.1 ? (pos(g) < 0.5 ? -0.0 : 0.0) : x * scale;
      });
      break;
    }
    case Family::special:
    default: {
      fill([&](int i, int j) { return i == j ? 1.0 : 0.5 * u(g); });
      const double bad[] = {kInf, -kInf, kNaN, 1e308, -1e308};
      const int k = 1 + int(g() % 2);
      for (int t = 0; t < k; ++t) {
        const int i = int(g() % n), j = int(g() % (i + 1));
        c.at(i, j) = bad[g() % 5];
      }
      break;
    }
  }
  // Whatever lies above the diagonal is never read.
  for (int j = 1; j < n; ++j)
    for (int i = 0; i < j; ++i) c.at(i, j) = (i + j) % 3 ? kNaN : 7.0;
  return c;
}

struct Reference {
  std::vector<double> d0, e0;  // after tdiag
  std::vector<double> d;       // after lrvt
  std::int32_t fault_t, fault_l;
};

Reference reference(const Case& c, std::int32_t maxsweeps) {
  Reference r;
  std::vector<double> d(kLd), e(kLd), z(kLd * kLd);
  tdiag(c.n, c.a.data(), d.data(), e.data(), z.data(), kLd, r.fault_t);
  r.d0.assign(d.begin(), d.begin() + c.n);
  r.e0.assign(e.begin(), e.begin() + c.n);
  lrvt_limited(c.n, d.data(), e.data(), z.data(), r.fault_l, kLd, maxsweeps);
  r.d.assign(d.begin(), d.begin() + c.n);
  return r;
}

std::vector<Case> random_cases(unsigned seed, int count) {
  std::mt19937_64 g(seed);
  std::vector<Case> cases;
  cases.reserve(count);
  for (int t = 0; t < count; ++t) {
    const auto f = static_cast<Family>(t % int(Family::count));
    const int n = 2 + int(g() % (maxnvara - 1));
    cases.push_back(make_case(f, n, g));
  }
  return cases;
}

// The cases of a seed and their plain results, made once for all builds.
struct CaseSet {
  std::vector<Case> cases;
  std::vector<Reference> refs;
};

const CaseSet& case_set(unsigned seed, int count, std::int32_t maxsweeps) {
  static std::map<unsigned, CaseSet> made;
  CaseSet& s = made[seed];
  if (s.cases.empty()) {
    s.cases = random_cases(seed, count);
    for (const Case& c : s.cases) s.refs.push_back(reference(c, maxsweeps));
  }
  return s;
}

// Runs every case through the selected build in pools of up to 40
// problems, so that problems of other orders and families share the vector
// lanes (and, in the iteration, lanes are refilled).
void check_all(const CaseSet& set, std::int32_t maxsweeps) {
  const std::vector<Case>& cases = set.cases;
  const FastKernels& k = fast_kernels();
  std::vector<double> d(40 * kFastLd), e(40 * kFastLd);
  std::vector<int> order(40);
  std::vector<const double*> mats(40);
  std::vector<int> identity(kLd);
  for (int i = 0; i < kLd; ++i) identity[i] = i;
  const std::vector<const int*> index(40, identity.data());
  std::vector<std::int32_t> fault(40);
  int failures = 0;
  for (std::size_t b = 0; b < cases.size() && failures < 5; b += 40) {
    const int count = int(std::min<std::size_t>(40, cases.size() - b));
    for (int q = 0; q < count; ++q) {
      order[q] = cases[b + q].n;
      mats[q] = cases[b + q].a.data();
    }
    k.tdiag_many(count, order.data(), mats.data(), index.data(), kLd, d.data(), e.data(), kFastLd);
    for (int q = 0; q < count; ++q) {
      const Case& c = cases[b + q];
      const Reference& r = set.refs[b + q];
      const double* dq = &d[q * kFastLd];
      const double* eq = &e[q * kFastLd];
      for (int i = 0; i < c.n; ++i) {
        if (!same(dq[i], r.d0[i]) || !same(eq[i], r.e0[i])) {
          ADD_FAILURE() << "tdiag, case " << b + q << " order " << c.n << " family "
                        << int(c.family) << " i " << i << ": d " << dq[i] << " vs " << r.d0[i]
                        << ", e " << eq[i] << " vs " << r.e0[i];
          ++failures;
          break;
        }
      }
    }
    k.lrvt_many(count, order.data(), d.data(), e.data(), kFastLd, fault.data(), maxsweeps);
    for (int q = 0; q < count; ++q) {
      const Case& c = cases[b + q];
      const Reference& r = set.refs[b + q];
      EXPECT_EQ(r.fault_t, 0);
      // The kernel leaves lrvt's final sort to the caller.
      if (fault[q] == 0) sort_eigenvalues(c.n, &d[q * kFastLd]);
      bool ok = fault[q] == r.fault_l;
      for (int i = 0; ok && i < c.n; ++i) ok = same(d[q * kFastLd + i], r.d[i]);
      if (!ok) {
        ADD_FAILURE() << "lrvt, case " << b + q << " order " << c.n << " family " << int(c.family)
                      << " fault " << fault[q] << " vs " << r.fault_l;
        ++failures;
      }
    }
  }
}

class FastKernels : public testing::EachBuild {};

TEST_P(FastKernels, AgreeWithThePlainSolverOnRandomMatrices) {
  check_all(case_set(20251, 6000, mits), mits);
  check_all(case_set(20252, 6000, mits), mits);
}

TEST_P(FastKernels, AgreeWhenTheSweepLimitEndsTheIteration) {
  // Low limits stop ordinary matrices part way, leaving d unsorted.
  for (std::int32_t limit : {0, 1, 2, 3}) {
    SCOPED_TRACE(limit);
    check_all(case_set(777 + limit, 400, limit), limit);
  }
}

TEST_P(FastKernels, AgreeOnTheLeadingBlocksOfTheSameMatricesInAPool) {
  // As a batch pools them: 16 matrices' blocks of orders 23 down to 2, in
  // descending order, 128 problems at a time, so that groups of the same
  // lanes recur at every order (and a last group is partly filled).
  std::mt19937_64 g(4242);
  std::vector<Case> cases;
  for (int b = 0; b < 16; ++b) cases.push_back(make_case(Family(b % 3), 23, g));
  std::vector<int> identity(kLd);
  for (int i = 0; i < kLd; ++i) identity[i] = i;
  std::vector<int> order, owner;
  for (int j = 23; j >= 2; --j)
    for (int b = 0; b < 16; ++b) order.push_back(j), owner.push_back(b);
  const kolva::FastKernels& k = fast_kernels();
  constexpr int kChunk = 128;
  std::vector<double> d(kChunk * kFastLd), e(kChunk * kFastLd);
  std::vector<const double*> mats(kChunk);
  const std::vector<const int*> index(kChunk, identity.data());
  std::vector<std::int32_t> fault(kChunk);
  for (std::size_t q0 = 0; q0 < order.size(); q0 += kChunk) {
    const int count = int(std::min<std::size_t>(kChunk, order.size() - q0));
    for (int q = 0; q < count; ++q) mats[q] = cases[owner[q0 + q]].a.data();
    k.tdiag_many(count, &order[q0], mats.data(), index.data(), kLd, d.data(), e.data(), kFastLd);
    k.lrvt_many(count, &order[q0], d.data(), e.data(), kFastLd, fault.data(), mits);
    for (int q = 0; q < count; ++q) {
      Case block = cases[owner[q0 + q]];
      block.n = order[q0 + q];
      const Reference r = reference(block, mits);
      if (fault[q] == 0) sort_eigenvalues(block.n, &d[q * kFastLd]);
      bool ok = fault[q] == r.fault_l;
      for (int i = 0; ok && i < block.n; ++i) ok = same(d[q * kFastLd + i], r.d[i]);
      ASSERT_TRUE(ok) << "problem " << q0 + q << " order " << block.n;
    }
  }
}

TEST_P(FastKernels, OrderBelowTwoInAPoolIsSkippedWithItsCode) {
  const int order[3] = {1, 2, 0};
  std::vector<double> d(3 * kFastLd, 5.0), e(3 * kFastLd, 0.0);
  d[kFastLd] = 1.0, d[kFastLd + 1] = 1.0, e[kFastLd + 1] = 0.5;
  std::int32_t fault[3] = {9, 9, 9};
  fast_kernels().lrvt_many(3, order, d.data(), e.data(), kFastLd, fault, mits);
  EXPECT_EQ(fault[0], 2);
  EXPECT_EQ(fault[1], 0);
  EXPECT_EQ(fault[2], 2);
  EXPECT_EQ(d[0], 5.0);
  EXPECT_EQ(d[kFastLd], 0.5);  // before lrvt's final sort
  EXPECT_EQ(d[kFastLd + 1], 1.5);
}

INSTANTIATE_TEST_SUITE_P(Builds, FastKernels, testing::kBuilds, testing::build_name);

TEST(KernelSelection, OnlyTakesSupportedBuilds) {
  EXPECT_TRUE(isa_supported(Isa::baseline));
  const Isa before = selected_isa();
  EXPECT_TRUE(select_isa(Isa::baseline));
  EXPECT_EQ(selected_isa(), Isa::baseline);
  EXPECT_EQ(select_isa(Isa::avx512), isa_supported(Isa::avx512));
  select_isa(before);
}

TEST(KernelSelection, RunsTheArrangementOfThisProcessorUntilAnotherIsSelected) {
  EXPECT_EQ(selected_arrangement(), arrangement_for_cpu());
  EXPECT_EQ(&fast_kernels(), &detail::kernels_of(selected_isa(), arrangement_for_cpu()));
  const Arrangement other = arrangement_for_cpu() == Arrangement::fast_divider
                                ? Arrangement::slow_divider
                                : Arrangement::fast_divider;
  select_arrangement(other);
  EXPECT_EQ(&fast_kernels(), &detail::kernels_of(selected_isa(), other));
  select_arrangement(arrangement_for_cpu());
}

}  // namespace
}  // namespace kolva
