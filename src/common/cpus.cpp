#include "common/cpus.h"

#include <sched.h>

#include <charconv>
#include <cstdlib>

namespace kolva {

int usable_cpus() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  return 1;
}

bool parse_thread_count(std::string_view s, int& n) {
  const char* end = s.data() + s.size();
  int v = 0;
  auto r = std::from_chars(s.data(), end, v);
  if (r.ec == std::errc::result_out_of_range && r.ptr == end && !s.starts_with('-')) {
    n = kMaxThreads;  // more than an int holds: served with the cap anyway
    return true;
  }
  if (r.ec != std::errc() || r.ptr != end || v < 1) return false;
  n = v;
  return true;
}

int default_threads() {
  int n = 0;
  const char* env = std::getenv(kThreadsEnv);
  if (env != nullptr && parse_thread_count(env, n)) return n;
  return usable_cpus();
}

}  // namespace kolva
