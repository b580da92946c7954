// kolva-prep's command line: the default thread count is the CPUs the
// process may use, not the machine's (a cluster job's CPU set).
#include <gtest/gtest.h>
#include <sched.h>

#include "prep/options.h"

namespace kolva::prep {
namespace {

TEST(PrepOptions, DefaultThreadsFollowTheAffinityMask) {
  cpu_set_t all;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  for (int c = 0; c < CPU_SETSIZE; ++c)
    if (CPU_ISSET(c, &all)) {
      CPU_SET(c, &one);
      break;
    }
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  const char* argv[] = {"kolva-prep", "-o", "out", "a=x", "b=y"};
  const Options o = parse_options(5, const_cast<char**>(argv));
  sched_setaffinity(0, sizeof all, &all);
  EXPECT_EQ(o.threads, 1u);
}

}  // namespace
}  // namespace kolva::prep
