// Threads: how many CPUs a process may use, how a thread count is read,
// and how many threads a program starts at most. The same for kolva,
// kolva-prep and the library.
#pragma once

#include <string>
#include <string_view>

#include "kolva/kolva.h"

namespace kolva {

// Threads beyond this many are not started (a larger request is served
// with this many).
inline constexpr int kMaxThreads = KOLVA_MAX_THREADS;

// The environment variable that sets the default thread count.
inline constexpr const char* kThreadsEnv = KOLVA_THREADS_ENV;

// The number of CPUs this process may run on: its affinity mask, so that
// a cluster job's CPU set is respected; at least 1.
int usable_cpus();

// The one rule for thread counts, of kolva, kolva-prep and the library
// (and so of the bindings, which pass on what the user gave):
//   - a count is a whole number from 0 up; 0 is the default;
//   - the default is KOLVA_THREADS when it holds a count from 1 up, else
//     (unset or 0) `cpus`, the CPUs this process may use;
//   - more than kMaxThreads is served with kMaxThreads.
// `given`: the count the user gave (a program's --threads value, or a
// library caller's number written out), empty for none; `env`: the value
// of KOLVA_THREADS, null when unset. On success `threads` is the count to
// start (1 .. kMaxThreads) and `problem` is empty; otherwise `problem`
// says what is wrong, naming the option or the variable by `option`.
struct ThreadChoice {
  int threads = 0;
  std::string problem;
};
ThreadChoice choose_threads(std::string_view given, std::string_view option, const char* env,
                            int cpus);

// choose_threads for this process: KOLVA_THREADS from the environment and
// usable_cpus(), for a library caller's count (0: the default).
ThreadChoice threads_for(long long given);

}  // namespace kolva
