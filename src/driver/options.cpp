#include "driver/options.h"

#include <string_view>

#ifndef KOLVA_VERSION
#error "KOLVA_VERSION is set by the build"
#endif

namespace kolva {

namespace {

Options bad(std::string problem) {
  Options o;
  o.action = Options::Action::bad_usage;
  o.problem = std::move(problem);
  return o;
}

}  // namespace

Options parse_options(int argc, const char* const* argv, const char* env_threads, int cpus) {
  Options o;
  std::string_view given;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help" || a == "-h") {
      o.action = Options::Action::help;
      return o;
    }
    if (a == "--version") {
      o.action = Options::Action::version;
      return o;
    }
    if (a == "--threads") {
      if (i + 1 >= argc) return bad("option '--threads' needs a number");
      given = argv[++i];
    } else if (a.starts_with("--threads=")) {
      given = a.substr(10);
    } else if (a.starts_with("-")) {
      return bad("unknown option '" + std::string(a) + "'");
    } else {
      return bad("unexpected argument '" + std::string(a) + "'");
    }
    // An empty value is not "none given".
    if (given.empty()) return bad("option '--threads' needs a number");
  }
  ThreadChoice t = choose_threads(given, "option '--threads'", env_threads, cpus);
  if (!t.problem.empty()) return bad(std::move(t.problem));
  o.threads = t.threads;
  return o;
}

const char* usage_text() {
  return "Usage: kolva [--threads N]\n"
         "\n"
         "Combines, for every genetic variant, the p-values of several correlated\n"
         "phenotypes into one variant-level p-value.\n"
         "\n"
         "Reads, in the working directory, the control file 'defdims' (line 1: the\n"
         "number of phenotypes and of variants; line 2: the correlation layout,\n"
         "'full' or lower triangle; lines 3-5: the p-value, correlation and result\n"
         "file names) and the two input files it names. Writes the result file, the\n"
         "run log 'kolva_log.txt' ('fort.11' for a run that fails before the log is\n"
         "open), progress on standard output and the final message on standard error.\n"
         "\n"
         "Options:\n"
         "  --threads N   evaluate on N threads; 0 (the default): the environment's\n"
         "                KOLVA_THREADS, else every CPU this process may use.\n"
         "                The output is the same for every N.\n"
         "  --help        print this text and exit\n"
         "  --version     print the version and exit\n"
         "\n"
         "Exit status: 0 the run went through; 1 the run stopped on bad input (the\n"
         "message is on standard error and in the run log); 2 a file or standard\n"
         "stream could not be read or written; 64 bad usage.\n";
}

std::string version_text() { return std::string("kolva ") + KOLVA_VERSION + "\n"; }

}  // namespace kolva
