// The solver fault records of a variant, written through a channel.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "combine/combine_testing.h"
#include "driver/records.h"
#include "support/run_binary.h"

namespace kolva {
namespace {

TEST(FaultRecords, WholeMatrixThenBlocksInOrder) {
  const SolverFault faults[] = {{0, 0, 1}, {3, 0, 1}, {12, -5, 2}};
  std::string log;
  for (const SolverFault& f : faults) append_fault(log, 7, f);
  EXPECT_EQ(log,
            testing::records(
                {" ERROR in Tdiag-Lrvt call 2 snp =      7 errors        0        1",
                 " ERROR in Tdiag-Lrvt call 3 j & snp =   3       7 errors        0        1",
                 " ERROR in Tdiag-Lrvt call 3 j & snp =  12       7 errors       -5        2"}));
}

}  // namespace
}  // namespace kolva

namespace kolva {
namespace {

// A solver that gives up (here forced by allowing no sweep at all) is
// reported for the whole matrix and for every block, and the variant still
// gets its combined value and result record.
TEST(FaultRecords, ForcedSolverFaultStillGivesTheResult) {
  auto bc = std::make_unique<BatchCombiner>();
  std::vector<double> k(kLd * kLd, 0.0);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) k[j * kLd + i] = i == j ? 1.0 : 0.5;
  const double p[3] = {0.3, 0.01, 0.2};
  const double* v[1] = {p};
  combine_batch(k.data(), 3, v, 1, *bc, 0);
  const BatchVariant& x = bc->var[0];
  ASSERT_EQ(x.nfaults, 3);
  const int js[3] = {0, 2, 3};
  for (int f = 0; f < 3; ++f) {
    EXPECT_EQ(x.faults[f].j, js[f]);
    EXPECT_EQ(x.faults[f].tdiag, 0);
    EXPECT_EQ(x.faults[f].lrvt, 1);
  }
  EXPECT_LT(x.combined, 1000.0);
  Variant var{};
  std::memcpy(var.chrom, "7   ", 4);
  std::memset(var.id, ' ', sizeof var.id);
  char rec[kResultLong + 2];
  EXPECT_EQ(format_result(rec, var, x.n, x.combined), kResultLong + 2);
}

}  // namespace
}  // namespace kolva
