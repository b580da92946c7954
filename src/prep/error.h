// The two ways a kolva-prep run ends early: bad usage of the command
// (exit status 64, as for kolva) and a stop on an input or output problem
// (status 1). Every message names what it is about: "FILE:LINE: what" for
// a place in an input, "FILE: what" for a file as a whole (one that cannot
// be opened or written), and the phenotypes for what concerns a pair of
// them; main() prefixes "kolva-prep: ".
#pragma once

#include <stdexcept>
#include <string>

#include "common/exit_status.h"

namespace kolva::prep {

using kolva::kUsageStatus;
inline constexpr int kStopStatus = 1;

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct StopError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "FILE:LINE: what"
inline std::string at_line(const std::string& file, unsigned long long line,
                           const std::string& what) {
  return file + ":" + std::to_string(line) + ": " + what;
}

// "FILE: what"
inline std::string in_file(const std::string& file, const std::string& what) {
  return file + ": " + what;
}

}  // namespace kolva::prep
