// The command line of kolva-prep.
#pragma once

#include <string>
#include <vector>

#include "prep/format.h"

namespace kolva::prep {

struct Input {
  std::string name, path;
};

struct Options {
  std::string out_dir;
  std::string corr_file;  // empty: estimate
  double null_z = 2;
  int threads = 1;  // 1 ... kMaxThreads
  bool quiet = false;
  ColumnRoles roles;
  std::vector<Input> inputs;
  bool help = false, version = false;
};

// Parses argv; throws UsageError with a one-line reason. The thread count
// is --threads N if given, else the environment's KOLVA_THREADS, else the
// CPUs the process may use; a count above kMaxThreads is served with
// kMaxThreads (common/cpus.h, as for kolva).
Options parse_options(int argc, char** argv);

// The --help text.
std::string usage_text();

}  // namespace kolva::prep
