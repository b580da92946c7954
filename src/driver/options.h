// The command line: the thread count and the two informational options.
// Without arguments the run is the plain one in the working directory.
#pragma once

#include <string>

#include "common/cpus.h"
#include "common/exit_status.h"

namespace kolva {

struct Options {
  enum class Action { run, help, version, bad_usage };
  Action action = Action::run;
  int threads = 1;
  std::string problem;  // for bad_usage: what was wrong, one line
};

// Reads the arguments (argv[1 .. argc-1]). The thread count is that of
// choose_threads (common/cpus.h) for --threads N (or --threads=N), the
// environment's KOLVA_THREADS (env_threads, null when unset) and `cpus`.
Options parse_options(int argc, const char* const* argv, const char* env_threads, int cpus);

// What --help prints, and what --version prints (line end included).
const char* usage_text();
std::string version_text();

}  // namespace kolva
