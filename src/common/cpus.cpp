#include "common/cpus.h"

#include <sched.h>

#include <charconv>
#include <cstdlib>
#include <string>

namespace kolva {

int usable_cpus() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  return 1;
}

namespace {

// A count: a whole number from 0 up, one larger than an int served as the
// cap. False for anything else.
bool parse_count(std::string_view s, int& n) {
  const char* end = s.data() + s.size();
  int v = 0;
  const auto r = std::from_chars(s.data(), end, v);
  if (r.ec == std::errc::result_out_of_range && r.ptr == end && !s.starts_with('-')) {
    n = kMaxThreads;
    return true;
  }
  if (r.ec != std::errc() || r.ptr != end || v < 0) return false;
  n = v;
  return true;
}

std::string not_a_count(std::string_view what, std::string_view value) {
  return std::string(what) + " must be a whole number from 0 up (0: the default), not '" +
         std::string(value) + "'";
}

}  // namespace

ThreadChoice choose_threads(std::string_view given, std::string_view option, const char* env,
                            int cpus) {
  ThreadChoice c;
  int n = 0;
  if (!given.empty() && !parse_count(given, n)) {
    c.problem = not_a_count(option, given);
    return c;
  }
  if (n == 0 && env != nullptr && !parse_count(env, n)) {
    c.problem = not_a_count(kThreadsEnv, env);
    return c;
  }
  if (n == 0) n = cpus < 1 ? 1 : cpus;
  c.threads = n > kMaxThreads ? kMaxThreads : n;
  return c;
}

ThreadChoice threads_for(long long given) {
  if (given < 0) {
    ThreadChoice c;
    c.problem = not_a_count("threads", std::to_string(given));
    return c;
  }
  return choose_threads(std::to_string(given), "threads", std::getenv(kThreadsEnv), usable_cpus());
}

}  // namespace kolva
