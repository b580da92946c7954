// The run's batched evaluation against the plain one, bit for bit: batches
// of random variants in every kernel build, whole runs on generated data
// of each benchmark shape, and runs whose p-value file fails part way
// through a batch.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "combine/combine.h"
#include "combine/combine_testing.h"
#include "reference/reference.h"
#include "support/in_process.h"
#include "support/numbers.h"
#include "support/run_binary.h"

namespace kolva {
namespace {

using testing::same;

// Each variant of a batch against the plain evaluation of it alone: the
// combined value, M, every M(j) and the fault records. Matrices of every
// kind (the not-a-number one runs the solver into its sweep limit),
// batches of any size, variants with few or many present values, ties,
// zeros of both signs and values next to the missing marker.
class BatchAgainstPlain : public testing::EachBuild {};

TEST_P(BatchAgainstPlain, EveryVariantAgrees) {
  std::mt19937_64 g(9090);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  auto bc = std::make_unique<BatchCombiner>();
  auto plain = std::make_unique<Combiner>();
  for (int trial = 0; trial < 64; ++trial) {
    const int nvara = trial % 3 == 0 ? maxnvara : 2 + int(g() % (maxnvara - 1));
    const std::vector<double> k = testing::phenotype_matrix(nvara, trial % 4, g);
    const int count = trial % 7 == 0 ? int(g() % (kBatch + 1)) : kBatch;
    std::vector<std::vector<double>> v(count, std::vector<double>(nvara));
    const double* vp[kBatch];
    for (int b = 0; b < count; ++b) {
      const double missing = b % 4 == 0 ? 0.9 : b % 4 == 1 ? 0.3 : 0.02;
      for (double& x : v[b]) {
        const double t = u(g) - missing;
        x = t < 0 ? kMissing : t < 0.05 ? 0.5 : t < 0.06 ? -0.0 : t < 0.07 ? -9.0000001 : u(g);
      }
      vp[b] = v[b].data();
    }
    combine_batch(k.data(), nvara, vp, count, *bc, mits);
    for (int b = 0; b < count; ++b) {
      SCOPED_TRACE(::testing::Message() << "trial " << trial << " variant " << b);
      const double want = combine_reference(k.data(), nvara, vp[b], *plain);
      const BatchVariant& x = bc->var[b];
      ASSERT_TRUE(same(x.combined, want)) << x.combined << " vs " << want;
      ASSERT_EQ(x.n, plain->n);
      if (x.n <= 1) continue;
      ASSERT_TRUE(same(x.m, plain->m));
      for (int j = 0; j < x.n; ++j) ASSERT_TRUE(same(x.mj[j], plain->mj[j])) << "j " << j;
      ASSERT_EQ(x.nfaults, plain->nfaults);
      for (int f = 0; f < x.nfaults; ++f) {
        EXPECT_EQ(x.faults[f].j, plain->faults[f].j);
        EXPECT_EQ(x.faults[f].tdiag, plain->faults[f].tdiag);
        EXPECT_EQ(x.faults[f].lrvt, plain->faults[f].lrvt);
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Builds, BatchAgainstPlain, testing::kBuilds, testing::build_name);

struct Shape {
  int phenotypes;
  int variants;
};

class WholeRun : public ::testing::TestWithParam<Shape> {};

// The benchmark shapes, scaled down: the same result file and run log on
// both paths.
TEST_P(WholeRun, ResultFilesAreIdentical) {
  const Shape sh = GetParam();
  testing::TempDir fast, plain;
  ASSERT_EQ(testing::generate(fast.path(), sh.phenotypes, sh.variants, 7, "0.03"), 0);
  ASSERT_EQ(testing::generate(plain.path(), sh.phenotypes, sh.variants, 7, "0.03"), 0);
  ASSERT_EQ(testing::run_in(fast.path()), 0);
  ASSERT_EQ(testing::run_in(plain.path(), {1, reference_evaluator}), 0);
  const auto a = fast.read("results.txt"), b = plain.read("results.txt");
  ASSERT_TRUE(a && b);
  EXPECT_GT(a->size(), 0u);
  EXPECT_TRUE(*a == *b);
  EXPECT_EQ(fast.read("kolva_log.txt"), plain.read("kolva_log.txt"));
}

INSTANTIATE_TEST_SUITE_P(Shapes, WholeRun,
                         ::testing::Values(Shape{50, 40}, Shape{20, 400}, Shape{5, 4000},
                                           Shape{2, 20000}),
                         [](const auto& info) {
                           return "p" + std::to_string(info.param.phenotypes);
                         });

// How the failing line fails.
enum class Break { bad_value, short_line, file_ends };

struct FailCase {
  const char* name;
  int phenotypes;
  int variants;
  int line;  // 1-based line that fails
  Break how;
};

class BatchRunFailure : public ::testing::TestWithParam<FailCase> {};

// The run stops at the failing line with the same records, stop text and
// status on both paths, whatever the line's place in its batch.
TEST_P(BatchRunFailure, SameFilesAndStatusOnBothPaths) {
  const FailCase fc = GetParam();
  testing::TempDir fast, plain;
  for (const testing::TempDir* dir : {&fast, &plain}) {
    ASSERT_EQ(testing::generate(dir->path(), fc.phenotypes, fc.variants, 5, "0.1"), 0);
    const auto text = dir->read("pvals.txt");
    ASSERT_TRUE(text);
    std::istringstream in(*text);
    std::string out, line;
    for (int n = 1; std::getline(in, line); ++n) {
      if (n == fc.line) {
        if (fc.how == Break::file_ends) break;
        line = fc.how == Break::bad_value ? "1 rsbad 0.1 x7" : "1 rsshort";
      }
      out += line + "\n";
    }
    dir->write("pvals.txt", out);
  }
  const int sf = testing::run_in(fast.path());
  const int sp = testing::run_in(plain.path(), {1, reference_evaluator});
  EXPECT_EQ(sf, 1);
  EXPECT_EQ(sf, sp);
  for (const char* file : {"results.txt", "kolva_log.txt", "stdout.txt", "stderr.txt"}) {
    const auto a = fast.read(file), b = plain.read(file);
    EXPECT_TRUE(a.has_value()) << file;
    EXPECT_EQ(a, b) << file;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BatchRunFailure,
    ::testing::Values(FailCase{"first_line_bad", 5, 40, 1, Break::bad_value},
                      FailCase{"last_of_batch_short", 5, 40, kBatch, Break::short_line},
                      FailCase{"first_of_batch_bad", 20, 40, kBatch + 1, Break::bad_value},
                      FailCase{"mid_batch_short", 50, 40, kBatch + 5, Break::short_line},
                      FailCase{"file_ends_mid_batch", 5, 40, 2 * kBatch + 3, Break::file_ends},
                      FailCase{"file_ends_at_batch", 2, 40, 2 * kBatch + 1, Break::file_ends},
                      FailCase{"after_progress_record", 2, 10010, 10003, Break::bad_value}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kolva
