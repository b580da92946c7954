// The two ways a kolva-prep run ends early: bad usage of the command
// (exit status 64) and a stop on an input or output problem (status 1).
// Messages name the file and, where there is one, the line.
#pragma once

#include <stdexcept>
#include <string>

namespace kolva::prep {

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct StopError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "FILE:LINE: what"
inline std::string at_line(const std::string& file, unsigned long long line, const std::string& what) {
  return file + ":" + std::to_string(line) + ": " + what;
}

}  // namespace kolva::prep
