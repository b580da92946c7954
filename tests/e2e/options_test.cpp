// The command line: --help and --version answer without touching a file;
// bad usage is one line on standard error and status 64, before any file
// is opened; a thread count changes nothing in what the run writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_binary.h"

namespace kolva::testing {
namespace {

namespace fs = std::filesystem;

struct ArgsCase {
  const char* name;
  std::vector<std::string> args;
  const char* threads_env;
  int status;
  const char* out_starts;  // standard output begins with this
  std::string err;         // standard error, whole, without the usage hint
};

void PrintTo(const ArgsCase& c, std::ostream* os) { *os << c.name; }

class CommandLine : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(CommandLine, AnswersWithoutTouchingAFile) {
  const ArgsCase& c = GetParam();
  TempDir dir;
  dir.write("defdims", "2 1\nlow\np.txt\nc.txt\nr.txt\n");
  dir.write("c.txt", "1 0.5 1\n");
  dir.write("p.txt", "1 rs1 0.1 0.2\n");
  const RunResult r = run_kolva(dir, StdoutMode::file, false, c.args, c.threads_env);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.out.rfind(c.out_starts, 0), 0u) << r.out;
  EXPECT_EQ(r.err, c.err.empty() ? "" : "kolva: " + c.err + "; see 'kolva --help'\n");
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 3) << "a file was written";
}

INSTANTIATE_TEST_SUITE_P(
    Args, CommandLine,
    ::testing::Values(
        ArgsCase{"help", {"--help"}, nullptr, 0, "Usage: kolva [--threads N]\n", ""},
        ArgsCase{"help_after_threads", {"--threads", "2", "--help"}, "x", 0, "Usage: kolva", ""},
        ArgsCase{"version", {"--version"}, nullptr, 0, "kolva " KOLVA_VERSION "\n", ""},
        ArgsCase{"unknown_option", {"--thread", "2"}, nullptr, 64, "", "unknown option '--thread'"},
        ArgsCase{"stray_argument", {"defdims"}, nullptr, 64, "", "unexpected argument 'defdims'"},
        // clang-format off
        ArgsCase{"threads_missing", {"--threads"}, nullptr, 64, "",
                 "option '--threads' needs a number"},
        ArgsCase{"threads_empty", {"--threads="}, nullptr, 64, "",
                 "option '--threads' needs a number"},
        ArgsCase{"threads_negative", {"--threads", "-3"}, nullptr, 64, "",
                 "option '--threads' must be a whole number from 0 up (0: the default), not '-3'"},
        ArgsCase{"threads_not_a_number", {"--threads", "2x"}, "4", 64, "",
                 "option '--threads' must be a whole number from 0 up (0: the default), not '2x'"},
        ArgsCase{"env_not_a_number", {"--threads", "0"}, "many", 64, "",
                 // clang-format on
                 "KOLVA_THREADS must be a whole number from 0 up (0: the default), not 'many'"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kolva::testing
