// Whole runs over correlation files and variant lines: layouts, failures
// with their exact records, progress records and result records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "support/run_binary.h"

namespace kolva::testing {
namespace {

void setup(const TempDir& dir, const std::string& counts, const std::string& code,
           const std::string& corr, const std::string& pvals) {
  dir.write("defdims", counts + "\n" + code + "\npvals.txt\ncorr.txt\nresults.txt\n");
  dir.write("corr.txt", corr);
  dir.write("pvals.txt", pvals);
}

// The run log after the header: the eigenvalue records and what follows.
std::string after_header(const std::string& log) {
  const std::string heading = " Eigenvalues of cor matrix:\r\n";
  return log.substr(log.find(heading) + heading.size());
}

TEST(Job, BothLayoutsGiveTheSameRun) {
  const std::string pvals = "1 rs1 0.01 0.04 0.2\n2 rs2 NA 0.3 0.001\n3 rs3 0.5 0.5 0.5\n";
  TempDir low, full;
  setup(low, "3 3", "lower", "1\n0.5 1\n0.2 0.3 1\n", pvals);
  setup(full, "3 3", "full", "1 0.5 0.2\n0.5 1 0.3\n0.2,0.3,1\n", pvals);
  RunResult a = run_kolva(low), b = run_kolva(full);
  ASSERT_EQ(a.status, 0) << a.err;
  ASSERT_EQ(b.status, 0) << b.err;
  EXPECT_EQ(low.read("results.txt"), full.read("results.txt"));
  EXPECT_EQ(after_header(low.read("kolva_log.txt").value()),
            after_header(full.read("kolva_log.txt").value()));
}

// Only the first three characters of the layout code count, and only
// ful, FUL and Ful select the whole matrix. The file below is the whole
// matrix [1 .5; .5 1]; read as a lower triangle it is [1 .5; .5 .5].
TEST(Job, LayoutSpellings) {
  const std::string full = "   1.5000   0.5000", lower = "   1.3090   0.1910";
  const std::pair<const char*, std::string> cases[] = {
      {"full", full},  {"FULL", full},  {"Full", full},  {"ful", full}, {"Fulx", full},
      {"fuLL", lower}, {"FUll", lower}, {"fUll", lower}, {"fu", lower}, {"lower", lower}};
  for (const auto& [code, eigenvalues] : cases) {
    TempDir dir;
    setup(dir, "2 0", code, "1 0.5\n0.5 1\n", "");
    RunResult r = run_kolva(dir);
    EXPECT_EQ(r.status, 0) << code << ": " << r.err;
    EXPECT_EQ(after_header(dir.read("kolva_log.txt").value_or("")), records({eigenvalues})) << code;
  }
}

struct Failure {
  const char* name;
  std::string code, corr, pvals;  // nvara 2, nsnp 3
  std::string log_tail;           // run-log records after the first record
  std::string stop;
  int results;  // result records written
};

void PrintTo(const Failure& f, std::ostream* os) { *os << f.name; }

class RunFailure : public ::testing::TestWithParam<Failure> {};

TEST_P(RunFailure, RecordsStopAndSurvivingResults) {
  const Failure& f = GetParam();
  TempDir dir;
  setup(dir, "2 3", f.code, f.corr, f.pvals);
  dir.write("results.txt", "earlier content\n");
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "STOP " + f.stop + "\n");
  std::string log = dir.read("kolva_log.txt").value();
  ASSERT_GE(log.size(), f.log_tail.size());
  EXPECT_EQ(log.substr(log.size() - f.log_tail.size()), f.log_tail);
  std::string results = dir.read("results.txt").value();
  if (f.results == 0) {
    EXPECT_EQ(results, "earlier content\n");
  } else {
    EXPECT_EQ(results.size(), f.results * 67u);
  }
}

const std::string kGood = "1 rs1 0.1 0.2\n";
const std::string kLow = "1\n0.5 1\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, RunFailure,
    ::testing::Values(Failure{"corr_not_a_number", "low", "1 0.5 x\n", kGood,
                              records({" Kolva log ", "  error reading corr matrix"}),
                              " error reading corr matrix", 0},
                      Failure{"corr_null_value", "low", "1,,1\n", kGood,
                              records({" Kolva log ", "  error reading corr matrix"}),
                              " error reading corr matrix", 0},
                      Failure{"corr_terminator", "low", "1 0.5 /\n", kGood,
                              records({" Kolva log ", "  error reading corr matrix"}),
                              " error reading corr matrix", 0},
                      Failure{"corr_short", "low", "1 0.5\n", kGood,
                              records({" Kolva log ", "  e-of-f reading corr matrix"}),
                              " e-of-f reading corr matrix", 0},
                      Failure{"corr_triangle_for_full", "full", "1\n0.5 1\n", kGood,
                              records({" Kolva log ", "  e-of-f reading corr matrix"}),
                              " e-of-f reading corr matrix", 0},
                      Failure{"corr_not_symmetric", "full", "1 0.5\n0.51 1\n", kGood,
                              records({" Kolva log ", "  full correlation matrix not symmetric "}),
                              " full correlation matrix not symmetric ", 0},
                      Failure{"corr_nan_diagonal", "full", "nan 0.5\n0.5 1\n", kGood,
                              records({" Kolva log ", "  full correlation matrix not symmetric "}),
                              " full correlation matrix not symmetric ", 0},
                      Failure{"value_not_a_number", "low", kLow, kGood + "1 rs2 0.5x 0.1\n" + kGood,
                              records({" error reading p values of GV            2"}),
                              "error reading input: p values ", 1},
                      Failure{"value_word_with_n", "low", kLow, kGood + kGood + "1 rs3 0.1 inf\n",
                              records({" error reading p values of GV            3"}),
                              "error reading input: p values ", 2},
                      Failure{"too_few_values", "low", kLow, kGood + "1 rs2 0.5\n" + kGood,
                              records({" e-of-f reading input pvalues ",
                                       " error reading p values of GV            2"}),
                              "error reading input: end-of-line ", 1},
                      Failure{"tabs_only", "low", kLow, "1\trs1\t0.1\t0.2\n",
                              records({" e-of-f reading input pvalues ",
                                       " error reading p values of GV            1"}),
                              "error reading input: end-of-line ", 0},
                      Failure{"file_shorter_than_nsnp", "low", kLow, kGood + kGood,
                              records({"  e-of-f reading pval "}), " e-of-f reading pval ", 2},
                      Failure{"line_over_1_mib", "low", kLow,
                              kGood + "1 rs2 0.1 0.2 " + std::string(1 << 20, ' ') + "\n",
                              records({"  error reading pval "}), " error reading pval ", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// Fields 1 to 7 of a result record: chromosome text, id and count.
std::string head(std::string chrom, std::string id, int n) {
  chrom.resize(4, ' ');
  id.resize(33, ' ');
  std::string count = std::to_string(n);
  return "  " + chrom + " " + id + " " + std::string(3 - count.size(), ' ') + count + " ";
}

TEST(Job, ResultRecords) {
  TempDir dir;
  setup(dir, "2 6", "low", "1\n0.5 1\n",
        "1 rs123 0.01 0.04\n"
        "chr10 " +
            std::string(40, 'i') +
            " 0.04 0.01\n"
            "X rs3 NA NA\n"
            "X rs4 N 0.3\n"
            "Y rs5 -0.5 0.3\n"
            "MT rs6 1e-101 0.5\n");  // M * 1e-101: a three-digit exponent, no E
  RunResult r = run_kolva(dir);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string res = dir.read("results.txt").value();
  const std::string id30 = std::string(30, 'i') + "...";
  const std::string v1 = res.substr(45, 20);
  EXPECT_EQ(res.substr(0, 45), head("1", "rs123", 2));
  EXPECT_NEAR(std::strtod(("0" + v1).c_str(), nullptr), 0.018348283, 1e-9);
  EXPECT_EQ(res.substr(67),
            records({head("chr1", id30, 2) + v1, head("X", "rs3", 0) + "-9.00",
                     head("X", "rs4", 1) + "-9.00", head("Y", "rs5", 2) + std::string(20, '*'),
                     head("MT", "rs6", 2) + ".183482830401044-100"}));
}

TEST(Job, ProgressRecordsEveryTenThousand) {
  TempDir dir;
  std::string pvals;
  for (int i = 0; i < 20001; ++i) pvals += "1 rs 0.5\n";
  setup(dir, "1 20001", "low", "1\n", pvals);
  RunResult r = run_kolva(dir);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, records({"  starting ", "  EVD of phenotypes finished ",
                            "  snp 1 to snps (every 10000 shown)", "  SNP        10000       20001",
                            "  SNP        20000       20001"}));
  EXPECT_EQ(dir.read("results.txt").value().size(), 20001u * 52u);
}

TEST(Job, LinesAfterNsnpAreNeverRead) {
  TempDir dir;
  setup(dir, "2 1", "low", "1\n0.5 1\n", "1 rs1 0.1 0.2\nthis line is never read x\n");
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.read("results.txt").value().size(), 67u);
}

}  // namespace
}  // namespace kolva::testing
