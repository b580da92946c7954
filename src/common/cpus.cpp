#include "common/cpus.h"

#include <sched.h>

namespace kolva {

int usable_cpus() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    const int n = CPU_COUNT(&set);
    if (n > 0) return n;
  }
  return 1;
}

}  // namespace kolva
