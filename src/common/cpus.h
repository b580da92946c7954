// Threads: how many CPUs a process may use, how a thread count is read,
// and how many threads a program starts at most. The same for kolva,
// kolva-prep and the library.
#pragma once

#include <string_view>

namespace kolva {

// Threads beyond this many are not started (a larger request is served
// with this many).
inline constexpr int kMaxThreads = 128;

// The environment variable that sets the default thread count.
inline constexpr const char* kThreadsEnv = "KOLVA_THREADS";

// The number of CPUs this process may run on: its affinity mask, so that
// a cluster job's CPU set is respected; at least 1.
int usable_cpus();

// A thread count as given on a command line or in the environment: a whole
// number from 1 up (a larger one than kMaxThreads is taken, and served
// with kMaxThreads). False for anything else.
bool parse_thread_count(std::string_view s, int& n);

// The threads to start for a count of n: at most kMaxThreads.
inline int capped_threads(int n) { return n < 1 ? 1 : n > kMaxThreads ? kMaxThreads : n; }

// The default thread count: KOLVA_THREADS when it holds a thread count,
// else usable_cpus(). (A program reports a bad KOLVA_THREADS as bad usage
// before it asks for this.)
int default_threads();

}  // namespace kolva
