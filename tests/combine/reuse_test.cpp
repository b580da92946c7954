// Reused evaluations give the bytes of evaluations made afresh: whole runs
// at 2 .. 10 phenotypes with many tied p-values, missing values, zeros of
// both signs and infinities, with the solver at its usual sweep limit and
// forced into faults.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "reference/reference.h"
#include "support/in_process.h"
#include "support/run_binary.h"

namespace kolva {
namespace {

// Runs the data of `data` in a fresh copy with `settings`; returns the
// status and every file written.
std::string run_copy(const testing::TempDir& data, const RunSettings& settings) {
  testing::TempDir dir;
  std::filesystem::copy(data.path(), dir.path(), std::filesystem::copy_options::recursive);
  const int status = testing::run_in(dir.path(), settings);
  std::string files = "status " + std::to_string(status) + "\n";
  for (const char* f : {"results.txt", "kolva_log.txt", "stdout.txt", "stderr.txt"})
    files += std::string("== ") + f + "\n" + dir.read(f).value_or("(none)");
  return files;
}

class Reuse : public ::testing::TestWithParam<int> {};

TEST_P(Reuse, SameBytesAsEvaluatingEveryVariant) {
  const int nvara = GetParam();
  testing::TempDir data;
  ASSERT_EQ(testing::generate(data.path(), nvara, 1, 1, "0"), 0);
  // Few distinct values, so that orders repeat and ties are common.
  static const char* const kValues[] = {"0.5", "0.5",   "0.01",   "0.01", "0.3", "1",      "0",
                                        "-0",  "1e999", "-1e999", "NA",   "-9",  "7e-300", "0.2"};
  std::mt19937 g(static_cast<unsigned>(nvara));
  const int variants = 3000;
  std::string pvals;
  for (int v = 0; v < variants; ++v) {
    pvals += "1 rs" + std::to_string(v);
    for (int i = 0; i < nvara; ++i) pvals += std::string(" ") + kValues[g() % std::size(kValues)];
    pvals += "\n";
  }
  data.write("pvals.txt", pvals);
  std::string defdims = data.read("defdims").value();
  defdims.replace(0, defdims.find('\n'), std::to_string(nvara) + " " + std::to_string(variants));
  data.write("defdims", defdims);

  const std::string reused = run_copy(data, {});
  EXPECT_NE(reused.find("status 0"), std::string::npos);
  EXPECT_TRUE(reused == run_copy(data, {1, without_reuse(mits)}));
  EXPECT_TRUE(reused == run_copy(data, {1, reference_evaluator}));
  // One sweep leaves some orders unconverged; a 2 x 2 needs none to fail.
  const bool two = nvara == 2;
  const std::string faults = run_copy(data, {2, few_sweeps(two ? 0 : 1)});
  EXPECT_NE(faults.find(" ERROR in Tdiag-Lrvt call"), std::string::npos);
  EXPECT_TRUE(faults == run_copy(data, {1, without_reuse(two ? 0 : 1)}));
}

INSTANTIATE_TEST_SUITE_P(Phenotypes, Reuse, ::testing::Range(2, 11));

}  // namespace
}  // namespace kolva
