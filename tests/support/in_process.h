// Whole runs driven in-process on generated data, for comparing runs with
// other evaluations or thread counts.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "driver/run.h"

namespace kolva::testing {

// Writes a generated data set (defdims, corr.txt, pvals.txt) into dir;
// returns the generator's exit status.
inline int generate(const std::filesystem::path& dir, int phenotypes, int variants, int seed,
                    const char* missing) {
  const std::string gen = (std::filesystem::path(KOLVA_BIN).parent_path() / "kolva_gen").string();
  const std::string cmd = gen + " " + dir.string() + " phenotypes=" + std::to_string(phenotypes) +
                          " variants=" + std::to_string(variants) +
                          " seed=" + std::to_string(seed) + " missing=" + missing;
  return std::system(cmd.c_str());
}

// Runs the program in dir with the given settings; standard output and
// standard error go to stdout.txt and stderr.txt there. Returns the exit
// status.
inline int run_in(const std::filesystem::path& dir, const RunSettings& settings = {}) {
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  RunStreams s;
  s.out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  s.err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int status = run(s, settings);
  ::close(s.out);
  ::close(s.err);
  std::filesystem::current_path(cwd);
  return status;
}

}  // namespace kolva::testing
