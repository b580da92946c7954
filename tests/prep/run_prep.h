// Running the built kolva-prep with arguments, in a working directory.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/run_binary.h"

namespace kolva::testing {

// With address_space > 0 the program may map at most that many bytes, its
// threads' stacks 8 MiB each.
inline RunResult run_prep(const TempDir& cwd, const std::vector<std::string>& args,
                          rlim_t address_space = 0) {
  TempDir capture;
  const std::string out = (capture / "out").string(), err = (capture / "err").string();
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(cwd.path().c_str()) != 0) _exit(127);
    const rlimit stack{8 << 20, 8 << 20}, space{address_space, address_space};
    if (address_space > 0 &&
        (::setrlimit(RLIMIT_STACK, &stack) != 0 || ::setrlimit(RLIMIT_AS, &space) != 0))
      _exit(127);
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    std::vector<char*> argv{const_cast<char*>("kolva-prep")};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(KOLVA_PREP_BIN, argv.data());
    _exit(127);
  }
  int ws = 0;
  ::waitpid(pid, &ws, 0);
  RunResult r;
  if (WIFEXITED(ws)) r.status = WEXITSTATUS(ws);
  r.out = capture.read("out").value_or("");
  r.err = capture.read("err").value_or("");
  return r;
}

// A PLINK 2 .glm.linear file from "CHROM POS A1 BETA P" rows (REF is the
// allele after A1 in ACGT order, ALT = A1).
inline std::string plink_file(const std::vector<std::string>& rows) {
  std::string s = "#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE\n";
  for (const auto& r : rows) s += r + "\n";
  return s;
}

}  // namespace kolva::testing
