// kolva-prep's thread count: read and capped as kolva's (common/cpus.h),
// from --threads, else KOLVA_THREADS, else the CPUs the process may use
// (a cluster job's CPU set, not the machine's).
#include <gtest/gtest.h>
#include <sched.h>
#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

#include "common/cpus.h"
#include "prep/error.h"
#include "prep/options.h"

namespace kolva::prep {
namespace {

// parse_options with KOLVA_THREADS set to env (unset when empty), the
// environment restored after.
Options parse(std::vector<const char*> extra, std::optional<std::string> env) {
  const char* old = std::getenv(kThreadsEnv);
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  if (env)
    setenv(kThreadsEnv, env->c_str(), 1);
  else
    unsetenv(kThreadsEnv);
  std::vector<const char*> argv = {"kolva-prep", "-o", "out", "a=x", "b=y"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  struct Restore {
    const std::optional<std::string>& v;
    ~Restore() { v ? setenv(kThreadsEnv, v->c_str(), 1) : unsetenv(kThreadsEnv); }
  } restore{saved};
  return parse_options(static_cast<int>(argv.size()), const_cast<char**>(argv.data()));
}

TEST(PrepOptions, ThreadCountAsKolvaReadsIt) {
  struct Case {
    std::vector<const char*> args;
    std::optional<std::string> env;
    int threads;  // 0: bad usage
  };
  const Case cases[] = {
      {{"--threads", "3"}, "7", 3},  // the option before the environment
      {{"--threads", "3"}, "x", 3},  // whose bad value then does not matter
      {{}, "7", 7},
      {{"--threads", "1000"}, {}, kMaxThreads},  // served with the cap, not refused
      {{}, "99999999999999999999", kMaxThreads},
      {{"--threads", "0"}, "5", 5},  // 0: the default, as everywhere
      {{}, "0", usable_cpus()},
      {{}, "", 0},
      {{"--threads=2x"}, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.env.value_or("(unset)") +
                 (c.args.empty() ? "" : std::string(" ") + c.args.back()));
    if (c.threads == 0) {
      EXPECT_THROW(parse(c.args, c.env), UsageError);
    } else {
      EXPECT_EQ(parse(c.args, c.env).threads, c.threads);
    }
  }
}

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
  const Options o = parse({}, std::nullopt);
  sched_setaffinity(0, sizeof all, &all);
  EXPECT_EQ(o.threads, 1);
}

}  // namespace
}  // namespace kolva::prep
