// Whole runs of the binary: the control file, the opening of the files,
// the run-log header and the exit statuses.
#include <gtest/gtest.h>

#include "support/run_binary.h"

namespace kolva::testing {
namespace {

const std::string kStarting = "  starting \r\n";

struct ControlCase {
  const char* name;
  std::optional<std::string> defdims;  // nullopt: no control file
  std::string message;                 // the failure's text
};

void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }

// Failures found before the run log is open: the record goes to fort.11
// and kolva_log.txt is never created.
class ControlFailure : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ControlFailure, GoesToFort11AndStops) {
  const ControlCase& c = GetParam();
  TempDir dir;
  if (c.defdims) dir.write("defdims", *c.defdims);
  dir.write("fort.11", std::string(200, 'x'));  // cut after the record
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, kStarting);
  EXPECT_EQ(r.err, "STOP " + c.message + "\n");
  EXPECT_EQ(dir.read("fort.11"), records({" " + c.message}));
  EXPECT_FALSE(dir.exists("kolva_log.txt"));
}

const std::string kNames = "p.txt\nc.txt\nr.txt\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, ControlFailure,
    ::testing::Values(
        ControlCase{"missing", std::nullopt, " error opening file `defdims` "},
        ControlCase{"empty", "", " e-of-f nvara and nsnp (defdims)  "},
        ControlCase{"one_count_only", "3\n", " e-of-f nvara and nsnp (defdims)  "},
        ControlCase{"count_not_integer", "3.0 5\nlow\n" + kNames,
                    " error nvara and nsnp (defdims)  "},
        ControlCase{"letters", "x 5\nlow\n" + kNames, " error nvara and nsnp (defdims)  "},
        ControlCase{"count_out_of_range", "3 2147483648\nlow\n" + kNames,
                    " error nvara and nsnp (defdims)  "},
        ControlCase{"terminator_leaves_nsnp", "3 /\nlow\n" + kNames,
                    " error nvara and nsnp (defdims)  "},
        ControlCase{"null_nvara", ",5\nlow\n" + kNames, " error nvara and nsnp (defdims)  "},
        ControlCase{"no_line2", "3 5\n", " e-of-f reading sym/low "},
        ControlCase{"no_line3", "3 5\nlow\n", " e-of-f pval file (containg snp id + p values) "},
        ControlCase{"no_line4", "3 5\nlow\np.txt\n",
                    " e-of-f corr file (containing corrs among items)"},
        ControlCase{"no_line5", "3 5\nlow\np.txt\nc.txt\n", " e-of-f reading output file name "},
        ControlCase{"counts_on_two_lines_then_four", "3\n5\nlow\np.txt\nc.txt\n",
                    " e-of-f reading output file name "},
        ControlCase{"nvara_51", "51 5\nlow\n" + kNames, " nvara>maxnvara "},
        ControlCase{"nvara_negative", "-1 5\nlow\n" + kNames, " nvara<0 "}),
    [](const auto& info) { return std::string(info.param.name); });

// A good control file and its files, with nsnp = 0: the header, the
// eigenvalue records, the console records and the normal end.
struct GoodRun {
  TempDir dir;
  void files(const std::string& defdims, const std::string& corr) {
    dir.write("defdims", defdims);
    dir.write("corr.txt", corr);
    dir.write("pvals.txt", "1 rs1 0.1 0.2\n");
  }
};

std::string header_tail(const std::string& log) {
  // Records 1 to 3 name the program and its build; the rest is fixed.
  std::size_t pos = 0;
  for (int i = 0; i < 3; ++i) pos = log.find("\r\n", pos) + 2;
  return log.substr(pos);
}

TEST(Run, HeaderAndEigenvaluesWithoutVariants) {
  GoodRun g;
  g.files("2 0\nfull\npvals.txt\ncorr.txt\nresult.txt\n", "1 0.5\n0.5 1\n");
  g.dir.write("result.txt", "old content\n");
  RunResult r = run_kolva(g.dir);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "STOP end kolva \n");
  EXPECT_EQ(r.out, kStarting + records({"  EVD of phenotypes finished ",
                                        "  snp 1 to snps (every 10000 shown)"}));
  std::string log = g.dir.read("kolva_log.txt").value();
  ASSERT_EQ(log.rfind(records({" Kolva log "}), 0), 0u);
  EXPECT_EQ(log.find(" Kolva " KOLVA_VERSION ": "), 13u);  // the build's version
  EXPECT_EQ(header_tail(log.substr(13)),
            records({"", " max n phenotypes   50 max n genetic variants         1", "", "", "",
                     " cor matrix file =       corr.txt       ",
                     " p value file =          pvals.txt      ",
                     " output file =           result.txt     ", " format cor matrix =     ful", "",
                     "", " number of phenotypes =    2", " number of snps =              0", "",
                     " Eigenvalues of cor matrix:", "   1.5000   0.5000"}));
  // Nothing written to the result file: it keeps its old content.
  EXPECT_EQ(g.dir.read("result.txt"), "old content\n");
  EXPECT_FALSE(g.dir.exists("fort.11"));
}

TEST(Run, CountsOnTwoLinesAndLongNames) {
  GoodRun g;
  g.dir.write("defdims",
              "1\n12000000\nFul\npvals.txt\n"
              "corr_with_a_rather_long_name.txt\nresult.txt\n");
  g.dir.write("corr_with_a_rather_long_n", "0.7\n");  // the first 25 characters
  g.dir.write("pvals.txt", "");
  RunResult r = run_kolva(g.dir);
  ASSERT_EQ(r.status, 1) << r.err;  // the empty p-value file ends the pass
  EXPECT_EQ(r.err, "STOP  e-of-f reading pval \n");
  std::string log = g.dir.read("kolva_log.txt").value();
  EXPECT_NE(log.find(" cor matrix file =       corr_with_a_rat\r\n"), std::string::npos);
  EXPECT_NE(log.find(" format cor matrix =     Ful\r\n"), std::string::npos);
  EXPECT_NE(log.find(" number of snps =        *******\r\n"), std::string::npos);
  // One phenotype: the eigenvalue is 1 whatever the value read.
  EXPECT_NE(log.find(" Eigenvalues of cor matrix:\r\n   1.0000\r\n"), std::string::npos);
}

struct OpenCase {
  const char* name;
  std::string pval, corr, result;  // names on control lines 3 to 5
  std::string message;
};

void PrintTo(const OpenCase& c, std::ostream* os) { *os << c.name; }

class OpenFailure : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenFailure, GoesToTheRunLog) {
  const OpenCase& c = GetParam();
  TempDir dir;
  dir.write("defdims", "2 1\nlow\n" + c.pval + "\n" + c.corr + "\n" + c.result + "\n");
  dir.write("corr.txt", "1 0.5 1\n");
  dir.write("pvals.txt", "1 rs1 0.1 0.2\n");
  std::filesystem::create_directory(dir / "adir");
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "STOP " + c.message + "\n");
  EXPECT_EQ(dir.read("kolva_log.txt"), records({" Kolva log ", " " + c.message}));
  EXPECT_FALSE(dir.exists("fort.11"));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, OpenFailure,
    ::testing::Values(
        OpenCase{"corr_missing", "pvals.txt", "nothere.txt", "res.txt",
                 " error opening corr file "},
        OpenCase{"corr_is_directory", "pvals.txt", "adir", "res.txt", " error opening corr file "},
        OpenCase{"corr_is_the_log", "pvals.txt", "kolva_log.txt", "res.txt",
                 " error opening corr file "},
        OpenCase{"pval_missing", "nothere.txt", "corr.txt", "res.txt", " error opening pval file "},
        OpenCase{"pval_is_corr", "corr.txt", "corr.txt", "res.txt", " error opening pval file "},
        OpenCase{"pval_is_corr_other_spelling", "./corr.txt", "corr.txt", "res.txt",
                 " error opening pval file "},
        OpenCase{"pval_is_directory", "adir", "corr.txt", "res.txt", " error opening pval file "},
        OpenCase{"result_is_directory", "pvals.txt", "corr.txt", "adir",
                 " error opening output file"},
        OpenCase{"result_is_defdims", "pvals.txt", "corr.txt", "defdims",
                 " error opening output file"},
        OpenCase{"result_is_log", "pvals.txt", "corr.txt", "kolva_log.txt",
                 " error opening output file"},
        OpenCase{"result_is_pval", "pvals.txt", "corr.txt", "adir/../pvals.txt",
                 " error opening output file"},
        OpenCase{"result_blank_name", "pvals.txt", "corr.txt", "   ",
                 " error opening output file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Run, LeadingBlanksBelongToTheName) {
  TempDir dir;
  dir.write("defdims", "2 1\nlow\n pvals.txt\ncorr.txt\nres.txt\n");
  dir.write("corr.txt", "1 0.5 1\n");
  dir.write("pvals.txt", "1 rs1 0.1 0.2\n");
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.err, "STOP  error opening pval file \n");
  dir.write(" pvals.txt", "1 rs1 0.1 0.2\n");
  r = run_kolva(dir);
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace kolva::testing

namespace kolva::testing {
namespace {

// The run log has no failure branch of its own: when it cannot be opened
// the run ends as an input/output failure.
TEST(Run, RunLogThatCannotBeOpenedIsAnInputOutputFailure) {
  TempDir dir;
  dir.write("defdims", "2 1\nlow\npvals.txt\ncorr.txt\nres.txt\n");
  std::filesystem::create_directory(dir / "kolva_log.txt");
  RunResult r = run_kolva(dir);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "kolva: input/output failure on channel 11 (kolva_log.txt): "
            "'kolva_log.txt' is a directory\n");
  EXPECT_EQ(r.out, "  starting \r\n");
}

}  // namespace
}  // namespace kolva::testing
