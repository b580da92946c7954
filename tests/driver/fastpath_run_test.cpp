// The production evaluation against the plain one, bit for bit: variant by
// variant on random data in every kernel build, and whole runs on
// generated data sets of each benchmark shape, result files compared.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "driver/combine.h"
#include "reference/reference.h"
#include "driver/run.h"
#include "numeric/fastpath.h"
#include "support/in_process.h"
#include "support/run_binary.h"

namespace kolva {
namespace {

constexpr double NA = -9.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// A phenotype correlation matrix of one of several kinds: two-factor
// correlations rounded to four decimals, exact zeros and ones, ties, or a
// not-a-number entry.
std::vector<double> phenotype_matrix(int nvara, int kind, std::mt19937_64& g) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> l0(nvara), l1(nvara), k(kLd * kLd, 0.0);
  for (int i = 0; i < nvara; ++i) l0[i] = 0.3 + 0.5 * u(g), l1[i] = (i % 2 ? 0.4 : -0.2) * u(g);
  for (int i = 0; i < nvara; ++i)
    for (int j = 0; j < nvara; ++j) {
      double r = std::round((l0[i] * l0[j] + l1[i] * l1[j]) * 1e4) / 1e4;
      if (kind == 1) r = (i + j) % 3 == 0 ? 0.0 : 1.0;
      if (kind == 2) r = (i / 3 == j / 3) ? 0.5 : -0.25;
      k[j * kLd + i] = i == j ? 1.0 : r;
    }
  if (kind == 3 && nvara > 2) k[1 * kLd + 2] = k[2 * kLd + 1] = kNaN;
  return k;
}

TEST(FastCombine, AgreesWithThePlainEvaluationInEveryBuild) {
  std::mt19937_64 g(4242);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  auto fast = std::make_unique<BatchCombiner>();
  auto plain = std::make_unique<Combiner>();
  const Isa before = selected_isa();
  for (int trial = 0; trial < 240; ++trial) {
    const int nvara = trial % 4 == 0 ? 50 : 2 + int(g() % 49);
    const int kind = int(g() % 4);
    const std::vector<double> k = phenotype_matrix(nvara, kind, g);
    std::vector<double> v(nvara);
    for (double& x : v) {
      const double t = u(g);
      // Missing values, ties, zeros of both signs and present values
      // next to the missing marker.
      x = t < 0.05 ? NA : t < 0.1 ? 0.5 : t < 0.12 ? -0.0 : t < 0.13 ? -9.0000001 : u(g);
    }
    const double want = combine_reference(k.data(), nvara, v.data(), *plain);
    for (Isa isa : {Isa::baseline, Isa::avx2, Isa::avx512}) {
      if (!select_isa(isa)) continue;
      const double got = combine(k.data(), nvara, v.data(), *fast);
      ASSERT_TRUE(same(got, want)) << "trial " << trial << " isa " << int(isa) << ": " << got << " vs " << want;
      ASSERT_EQ(fast->var[0].n, plain->n);
      ASSERT_TRUE(same(fast->var[0].m, plain->m));
      for (int j = 0; j < fast->var[0].n; ++j) ASSERT_TRUE(same(fast->var[0].mj[j], plain->mj[j])) << "j " << j;
      ASSERT_EQ(fast->var[0].nfaults, plain->nfaults);
    }
  }
  select_isa(before);
}

struct Shape {
  int phenotypes;
  int variants;
};

class WholeRun : public ::testing::TestWithParam<Shape> {};

// The benchmark shapes, scaled down: same results file on both paths.
TEST_P(WholeRun, ResultFilesAreIdentical) {
  const Shape sh = GetParam();
  testing::TempDir fast, plain;
  ASSERT_EQ(testing::generate(fast.path(), sh.phenotypes, sh.variants, 7, "0.03"), 0);
  ASSERT_EQ(testing::generate(plain.path(), sh.phenotypes, sh.variants, 7, "0.03"), 0);
  ASSERT_EQ(testing::run_in(fast.path()), 0);
  ASSERT_EQ(testing::run_in(plain.path(), {1, evaluate_reference}), 0);
  const auto a = fast.read("results.txt"), b = plain.read("results.txt");
  ASSERT_TRUE(a && b);
  EXPECT_GT(a->size(), 0u);
  EXPECT_TRUE(*a == *b);
  EXPECT_EQ(fast.read("kolva_log.txt"), plain.read("kolva_log.txt"));
}

INSTANTIATE_TEST_SUITE_P(Shapes, WholeRun,
                         ::testing::Values(Shape{50, 40}, Shape{20, 400}, Shape{5, 4000}, Shape{2, 20000}),
                         [](const auto& info) { return "p" + std::to_string(info.param.phenotypes); });

}  // namespace
}  // namespace kolva
