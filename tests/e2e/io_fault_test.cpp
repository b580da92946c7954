// Input/output faults of whole runs: full devices, closed and broken
// standard streams, directories where files belong, and file names at the
// edges of the naming rules.
#include <gtest/gtest.h>

#include "support/run_binary.h"

namespace kolva::testing {
namespace {

namespace fs = std::filesystem;

const std::string kStarting = "  starting \r\n";
const std::string kConsole =
    kStarting + records({"  EVD of phenotypes finished ", "  snp 1 to snps (every 10000 shown)"});
const std::string kCorr = "1 0.5 1\n";
const std::string kPvals = "1 rs1 0.1 0.2\n1 rs2 0.3 0.4\n";

std::string io_failure(int unit, const std::string& name, const std::string& reason) {
  return "kolva: input/output failure on channel " + std::to_string(unit) + " (" + name +
         "): " + reason + "\n";
}

struct DeviceCase {
  const char* name;
  std::string defdims;
  std::vector<std::pair<std::string, std::string>> links;  // link -> target
  int status;
  std::string out;
  std::string err;
  std::optional<std::string> log_tail;  // the run log ends with this; nullopt: no log file
};

void PrintTo(const DeviceCase& c, std::ostream* os) { *os << c.name; }

class FullDevice : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(FullDevice, EndsAsAnInputOutputFailure) {
  const DeviceCase& c = GetParam();
  TempDir dir;
  if (!c.defdims.empty()) dir.write("defdims", c.defdims);
  dir.write("c.txt", kCorr);
  dir.write("p.txt", kPvals);
  for (const auto& [link, target] : c.links) fs::create_symlink(target, dir / link);
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, c.status);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  if (c.log_tail) {
    std::string log = dir.read("kolva_log.txt").value_or("");
    ASSERT_GE(log.size(), c.log_tail->size());
    EXPECT_EQ(log.substr(log.size() - c.log_tail->size()), *c.log_tail);
  }
}

const std::string kEigen = records({" Eigenvalues of cor matrix:", "   1.5000   0.5000"});

INSTANTIATE_TEST_SUITE_P(
    Runs, FullDevice,
    ::testing::Values(DeviceCase{"result_named_dev_full",
                                 "2 2\nlow\np.txt\nc.txt\n/dev/full\n",
                                 {},
                                 2,
                                 kConsole,
                                 io_failure(12, "/dev/full", "No space left on device"),
                                 kEigen},
                      DeviceCase{"result_symlink_to_dev_full",
                                 "2 2\nlow\np.txt\nc.txt\nfull.txt\n",
                                 {{"full.txt", "/dev/full"}},
                                 2,
                                 kConsole,
                                 io_failure(12, "full.txt", "No space left on device"),
                                 kEigen},
                      DeviceCase{"result_on_dev_full_never_written",
                                 "2 0\nlow\np.txt\nc.txt\n/dev/full\n",
                                 {},
                                 0,
                                 kConsole,
                                 "STOP end kolva \n",
                                 kEigen},
                      DeviceCase{"log_symlink_to_dev_full",
                                 "2 2\nlow\np.txt\nc.txt\nr.txt\n",
                                 {{"kolva_log.txt", "/dev/full"}},
                                 2,
                                 kStarting,
                                 io_failure(11, "kolva_log.txt", "No space left on device"),
                                 std::nullopt},
                      DeviceCase{"fort11_symlink_to_dev_full",
                                 "",
                                 {{"fort.11", "/dev/full"}},
                                 2,
                                 kStarting,
                                 io_failure(11, "fort.11", "No space left on device"),
                                 std::nullopt},
                      DeviceCase{"log_is_a_directory",
                                 "2 2\nlow\np.txt\nc.txt\nr.txt\n",
                                 {{"kolva_log.txt", "."}},
                                 2,
                                 kStarting,
                                 io_failure(11, "kolva_log.txt", "'kolva_log.txt' is a directory"),
                                 std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// A good run whose standard streams refuse what is written: exit status 2,
// never a death by signal.
struct StreamCase {
  const char* name;
  StdoutMode mode;
  bool close_stderr;
  std::string err;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class RefusedStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(RefusedStream, ExitsWithStatusTwo) {
  const StreamCase& c = GetParam();
  TempDir dir;
  dir.write("defdims", "2 2\nlow\np.txt\nc.txt\nr.txt\n");
  dir.write("c.txt", kCorr);
  dir.write("p.txt", kPvals);
  RunResult r = run_kolva(dir, c.mode, c.close_stderr);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, RefusedStream,
    ::testing::Values(StreamCase{"stdout_closed", StdoutMode::closed, false,
                                 io_failure(6, "standard output", "Bad file descriptor")},
                      StreamCase{"stdout_pipe_without_reader", StdoutMode::broken_pipe, false,
                                 io_failure(6, "standard output", "Broken pipe")},
                      StreamCase{"stderr_closed", StdoutMode::file, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RefusedStream, ClosedStandardErrorKeepsTheFilesComplete) {
  TempDir dir;
  dir.write("defdims", "2 2\nlow\np.txt\nc.txt\nr.txt\n");
  dir.write("c.txt", kCorr);
  dir.write("p.txt", kPvals);
  RunResult r = run_kolva(dir, StdoutMode::file, true);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, kConsole);
  std::string res = dir.read("r.txt").value_or("");
  EXPECT_EQ(std::count(res.begin(), res.end(), '\n'), 2);
}

TEST(FaultCases, DefdimsIsADirectory) {
  TempDir dir;
  fs::create_directory(dir / "defdims");
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "STOP  error opening file `defdims` \n");
  EXPECT_EQ(dir.read("fort.11"), records({"  error opening file `defdims` "}));
}

// Devices named as input files: an endless stream of NUL bytes and an
// empty one end the run with the step's own message, never a hang.
struct DeviceInput {
  const char* name;
  std::string pval, corr;
  std::string stop;
};

void PrintTo(const DeviceInput& c, std::ostream* os) { *os << c.name; }

class InputDevice : public ::testing::TestWithParam<DeviceInput> {};

TEST_P(InputDevice, StopsWithTheStepsMessage) {
  const DeviceInput& c = GetParam();
  TempDir dir;
  dir.write("defdims", "2 2\nlow\n" + c.pval + "\n" + c.corr + "\nr.txt\n");
  dir.write("c.txt", kCorr);
  dir.write("p.txt", kPvals);
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "STOP " + c.stop + "\n");
  EXPECT_EQ(dir.read("r.txt"), "");
}

INSTANTIATE_TEST_SUITE_P(Runs, InputDevice,
                         ::testing::Values(DeviceInput{"pval_dev_zero", "/dev/zero", "c.txt",
                                                       " error reading pval "},
                                           DeviceInput{"corr_dev_zero", "p.txt", "/dev/zero",
                                                       " error reading corr matrix"},
                                           DeviceInput{"corr_dev_null", "p.txt", "/dev/null",
                                                       " e-of-f reading corr matrix"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Result file names: trailing blanks dropped, leading blanks kept, the
// first 25 characters used.
struct NameCase {
  const char* name;
  std::string line;  // control line 5
  std::string file;  // the file that receives the results
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.name; }

class ResultName : public ::testing::TestWithParam<NameCase> {};

TEST_P(ResultName, IsOpenedAsWritten) {
  const NameCase& c = GetParam();
  TempDir dir;
  dir.write("defdims", "2 2\nlow\np.txt\nc.txt\n" + c.line + "\n");
  dir.write("c.txt", kCorr);
  dir.write("p.txt", kPvals);
  RunResult r = run_kolva(dir);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string res = dir.read(c.file).value_or("");
  EXPECT_EQ(res.size(), 2u * 67);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator{}), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ResultName,
    ::testing::Values(
        NameCase{"leading_blanks", "  r.txt", "  r.txt"},
        NameCase{"trailing_blanks", "r.txt    ", "r.txt"},
        NameCase{"exactly_25", "r23456789012345678901.txt", "r23456789012345678901.txt"},
        NameCase{"longer_cut_to_25", "r23456789012345678901.txt.old", "r23456789012345678901.txt"},
        NameCase{"blanks_inside", "my results.txt", "my results.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kolva::testing
