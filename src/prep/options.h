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
  unsigned threads = 2;
  bool quiet = false;
  ColumnRoles roles;
  std::vector<Input> inputs;
  bool help = false, version = false;
};

inline constexpr std::size_t kMaxInputs = 50;

// Parses argv; throws UsageError with a one-line reason.
Options parse_options(int argc, char** argv);

extern const char* const kUsage;  // the --help text

}  // namespace kolva::prep
