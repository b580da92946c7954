// Threads: how many CPUs a process may use and how many threads a program
// starts at most. Shared by kolva and kolva-prep.
#pragma once

namespace kolva {

// Threads beyond this many are not started (a larger request is served
// with this many).
inline constexpr int kMaxThreads = 128;

// The number of CPUs this process may run on: its affinity mask, so that
// a cluster job's CPU set is respected; at least 1.
int usable_cpus();

}  // namespace kolva
