// Variants evaluated in batches against the plain evaluation one at a
// time, bit for bit; and whole runs whose p-value file fails part way
// through a batch, on both paths.
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
#include <sstream>
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

bool same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

TEST(CombineBatch, EachVariantAgreesWithThePlainEvaluation) {
  std::mt19937_64 g(9090);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  auto bc = std::make_unique<BatchCombiner>();
  auto plain = std::make_unique<Combiner>();
  const Isa before = selected_isa();
  for (int trial = 0; trial < 60; ++trial) {
    const int nvara = trial % 3 == 0 ? 50 : 2 + int(g() % 49);
    // Correlations from two factors; some trials put a not-a-number in,
    // which makes the solver run into its sweep limit (fault records).
    std::vector<double> k(kLd * kLd, 0.0), l0(nvara), l1(nvara);
    for (int i = 0; i < nvara; ++i) l0[i] = 0.3 + 0.5 * u(g), l1[i] = (i % 2 ? 0.4 : -0.2) * u(g);
    for (int i = 0; i < nvara; ++i)
      for (int j = 0; j < nvara; ++j)
        k[j * kLd + i] = i == j ? 1.0 : std::round((l0[i] * l0[j] + l1[i] * l1[j]) * 1e4) / 1e4;
    if (trial % 5 == 4 && nvara > 3) k[1 * kLd + 3] = k[3 * kLd + 1] = std::numeric_limits<double>::quiet_NaN();
    // A batch of any size, its variants with few or many present values.
    const int count = trial % 7 == 0 ? int(g() % (kBatch + 1)) : kBatch;
    std::vector<std::vector<double>> v(count, std::vector<double>(nvara));
    const double* vp[kBatch];
    for (int b = 0; b < count; ++b) {
      const double missing = b % 4 == 0 ? 0.9 : b % 4 == 1 ? 0.3 : 0.02;
      for (double& x : v[b]) x = u(g) < missing ? -9.0 : u(g) < 0.05 ? 0.5 : u(g);
      vp[b] = v[b].data();
    }
    for (Isa isa : {Isa::baseline, Isa::avx2, Isa::avx512}) {
      if (!select_isa(isa)) continue;
      combine_batch(k.data(), nvara, vp, count, *bc, mits);
      for (int b = 0; b < count; ++b) {
        const double want = combine_reference(k.data(), nvara, vp[b], *plain);
        const BatchVariant& x = bc->var[b];
        ASSERT_TRUE(same(x.combined, want)) << "trial " << trial << " variant " << b << " isa " << int(isa);
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
  select_isa(before);
}

// Runs the program in-process in `dir` on one path, its standard output
// and error kept in files of the directory; returns its status.
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
  const int sp = testing::run_in(plain.path(), {1, evaluate_reference});
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
