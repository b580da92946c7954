// The solver fault records of a variant, written through a channel.
#include <gtest/gtest.h>

#include <memory>

#include "driver/records.h"
#include "support/run_binary.h"

namespace kolva {
namespace {

TEST(FaultRecords, WholeMatrixThenBlocksInOrder) {
  testing::TempDir dir;
  auto c = std::make_unique<Combiner>();
  c->faults[0] = {0, 0, 1};
  c->faults[1] = {3, 0, 1};
  c->faults[2] = {12, -5, 2};
  c->nfaults = 3;
  {
    Channels ch(-1, -1);
    ASSERT_TRUE(ch.open(kLogUnit, (dir / "log").string(), false).ok);
    write_faults(ch, 7, *c);
    ASSERT_TRUE(ch.close_all());
  }
  EXPECT_EQ(dir.read("log"),
            testing::records({" ERROR in Tdiag-Lrvt call 2 snp =      7 errors        0        1",
                              " ERROR in Tdiag-Lrvt call 3 j & snp =   3       7 errors        0        1",
                              " ERROR in Tdiag-Lrvt call 3 j & snp =  12       7 errors       -5        2"}));
}

}  // namespace
}  // namespace kolva
