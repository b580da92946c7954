// Whole runs: the plink2-made fixtures through kolva-prep and then kolva,
// the merge of hand-made inputs line by line, and the log's account of
// every input line.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <sstream>

#include "run_prep.h"

namespace kolva::testing {
namespace {

namespace fs = std::filesystem;
const fs::path kData = fs::path(KOLVA_SOURCE_DIR) / "tests/prep/data";

std::string gunzip(const fs::path& p) {
  gzFile f = gzopen(p.c_str(), "rb");
  std::string s;
  char buf[65536];
  for (int n; f && (n = gzread(f, buf, sizeof buf)) > 0;)
    s.append(buf, static_cast<std::size_t>(n));
  if (f) gzclose(f);
  return s;
}

std::vector<std::string> lines(const std::string& s) {
  std::vector<std::string> v;
  std::istringstream in(s);
  for (std::string l; std::getline(in, l);) v.push_back(l);
  return v;
}

TEST(Prep, FixturesRunThroughKolva) {
  TempDir dir;
  const RunResult r = run_prep(
      dir,
      {"-o", "run", "--threads", "2", "--quiet", "y1=" + (kData / "y1.glm.linear").string(),
       "y2=" + (kData / "y2.regenie.gz").string(), "y3=" + (kData / "y3.saige.txt.bgz").string(),
       "y4=" + (kData / "y4.ssf.tsv.zst").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.read("run/defdims"), "4 1500\nlow\npvals.txt\ncorr.txt\nresults.txt\n");
  const auto pv = lines(dir.read("run/pvals.txt").value_or(""));
  ASSERT_EQ(pv.size(), 1500u);
  EXPECT_EQ(pv[0].substr(0, 7), "1 snp0 ");
  EXPECT_EQ(pv[1300].substr(0, 10), "X snp1300 ");  // 23 and chrX are X
  std::istringstream snp39(pv[39]);                 // not in the REGENIE file (y2)
  std::string f[4];
  snp39 >> f[0] >> f[1] >> f[2] >> f[3];
  EXPECT_EQ(f[1] + " " + f[3], "snp39 NA");
  for (const auto& l : pv) EXPECT_EQ(l.find('\t'), std::string::npos);
  const auto var = lines(gunzip(dir / "run/variants.tsv.gz"));
  ASSERT_EQ(var.size(), 1501u);
  EXPECT_EQ(var[40].substr(var[40].rfind('\t')), "\t3");  // snp39 is not in the REGENIE file

  // The estimate against the correlation of the simulated phenotypes
  // themselves; y4's swapped alleles must not lower its row.
  const double sample[] = {0.380, 0.492, 0.357, 0.468, 0.256, 0.412};
  std::istringstream corr(dir.read("run/corr.txt").value_or(""));
  std::vector<double> lower;
  for (double v; corr >> v;) lower.push_back(v);
  ASSERT_EQ(lower.size(), 10u);
  const int off[] = {1, 3, 4, 6, 7, 8};
  for (int i = 0; i < 6; ++i)
    EXPECT_NEAR(lower[static_cast<std::size_t>(off[i])], sample[i], 0.08) << i;

  TempDir run_dir;
  for (auto n : {"defdims", "pvals.txt", "corr.txt"})
    fs::copy_file(dir / ("run/" + std::string(n)), run_dir / n);
  const RunResult k = run_kolva(run_dir);
  ASSERT_EQ(k.status, 0) << k.err;
  EXPECT_EQ(lines(run_dir.read("results.txt").value_or("")).size(), 1500u);
}

TEST(Prep, MergeOrdersAndMatchesVariants) {
  TempDir dir;
  dir.write("a.txt",
            "#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE\n"
            "1\t100\trs100\tA\tG\tG\tADD\t10\t0.1\t0.1\t1\t0.01\t.\n"
            "1\t200\t.\tA\tC\tC\tADD\t10\t0.1\t0.1\t1\t0.02\t.\n"
            "1\t200\trs200g\ta\tg\tg\tADD\t10\t0.1\t0.1\t1\t0.03\t.\n"
            "10\t5\trs10\tC\tT\tT\tADD\t10\t0.1\t0.1\t1\t0.04\t.\n"
            "X\t7\trsX\tA\tG\tG\tADD\t10\t0.1\t0.1\t1\t0.05\t.\n");
  dir.write(
      "b.txt",
      "chromosome base_pair_location effect_allele other_allele beta neg_log_10_p_value rsid\n"
      "1 50 T C 0.2 0.5 rs50\n"
      "1 60 T C 0.2 1 #NA\n"
      "1 200 G A 0.1 2 #NA\n"
      "1 200 C A -0.1 3 rsB200c\n"
      "2 300 A T 0.1 NA r2\n"
      "23 7 A G 1 4 rsXb\n"
      "25 1 A G 1 0 mt1\n");
  dir.write("c.txt", "A B\n1 0.25\n0.25 1\n");
  const RunResult r = run_prep(dir, {"-o", "run", "--corr", "c.txt", "A=a.txt", "B=b.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.read("run/pvals.txt"),
            "1 rs50 NA 0.31622776601683794\n"
            "1 1:60:C:T NA 0.10000000000000001\n"
            "1 rs100 0.01 NA\n"
            "1 rsB200c 0.02 0.001\n"
            "1 rs200g 0.03 0.01\n"
            "2 r2 NA NA\n"
            "10 rs10 0.04 NA\n"
            "X rsX 0.05 0.0001\n"
            "MT mt1 NA 1\n");
  EXPECT_EQ(dir.read("run/corr.txt"), "1\n0.25 1\n");
  const auto var = lines(gunzip(dir / "run/variants.tsv.gz"));
  ASSERT_EQ(var.size(), 10u);
  EXPECT_EQ(var[0], "chrom\tpos\tid\tallele1\tallele2\tn_present");
  EXPECT_EQ(var[4], "1\t200\trsB200c\tA\tC\t2");
  EXPECT_EQ(var[6], "2\t300\tr2\tA\tT\t0");
}

// Several blocks' worth of lines with three lines at every position (two
// allele pairs out of order and a duplicate): wherever a block ends, a
// position's lines are sorted and matched together.
TEST(Prep, PositionsStayWholeAcrossBlocks) {
  TempDir dir;
  const std::string head =
      "#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE\n";
  std::string a = head, b = head, want;
  const int n = 6000;  // about 1.3 MB in a, ten blocks
  for (int pos = 1; pos <= n; ++pos) {
    const std::string p = std::to_string(pos), pad(40, 'x');
    a += "1\t" + p + "\tg" + p + pad + "\tA\tG\tG\tADD\t10\t0.1\t0.1\t1\t0.5\t.\n";
    a += "1\t" + p + "\tc" + p + pad + "\tA\tC\tC\tADD\t10\t0.1\t0.1\t1\t0.25\t.\n";
    a += "1\t" + p + "\td" + p + pad + "\tG\tA\tA\tADD\t10\t0.1\t0.1\t1\t0.75\t.\n";
    b += "1\t" + p + "\tb" + p + "\tA\tG\tA\tADD\t10\t0.1\t0.1\t1\t0.125\t.\n";
    want += "1 c" + p + pad + " 0.25 NA\n1 g" + p + pad + " 0.5 0.125\n";
  }
  dir.write("a.txt", a);
  dir.write("b.txt", b);
  dir.write("c.txt", "A B\n1 0\n0 1\n");
  const RunResult r =
      run_prep(dir, {"-o", "run", "--threads", "2", "--corr", "c.txt", "A=a.txt", "B=b.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(dir.read("run/pvals.txt") == want);
  const std::string log = dir.read("run/prep_log.txt").value_or("");
  EXPECT_NE(
      log.find("lines read: 18001 = header 1 + used 12000 + duplicate variant (first kept) 6000"),
      std::string::npos)
      << log;
}

TEST(Prep, LogAccountsForEveryLine) {
  TempDir dir;
  const std::string head =
      "#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE\n";
  auto row = [](const char* pos, const char* test, const char* p, const char* err = ".") {
    return std::string("1\t") + pos + "\trs\tA\tG\tG\t" + test + "\t10\t0.1\t0.1\t1\t" + p + "\t" +
           err + "\n";
  };
  dir.write("a.txt",
            "##comment\n" + head + row("1", "ADD", "NA") + row("2", "ADD", "0.5x") +
                row("3", "ADD", "1.5") + row("4", "ADD", "0.2", "CONST") + row("5", "ADD", "0.1") +
                row("5", "ADD", "0.9") + row("6", "DOMDEV", "0.1") +
                "0\t7\trs\tA\tG\tG\tADD\t10\t0.1\t0.1\t1\t0.1\t.\n\n" + row("8", "ADD", "0.3"));
  dir.write("b.txt", head + row("1", "ADD", "0.7"));
  dir.write("c.txt", "A B\n1 0\n0 1\n");
  const RunResult r = run_prep(dir, {"-o", "run", "--corr", "c.txt", "A=a.txt", "B=b.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.read("run/pvals.txt"),
            "1 rs NA 0.7\n1 rs NA NA\n1 rs NA NA\n1 rs NA NA\n1 rs 0.1 NA\n1 rs 0.3 NA\n");
  const std::string log = dir.read("run/prep_log.txt").value_or("");
  for (const char* want : {"lines read: 12 = header 2 + used 6 + duplicate variant (first kept) 1 "
                           "+ TEST other than ADD 1 + "
                           "chromosome not 1-22, X, Y, XY, MT 1 + blank line 1",
                           "p missing (NA, ., #NA, nan): 1 (line 3)", "p not a number: 1 (line 4)",
                           "p outside [0, 1]: 1 (line 5)", "ERRCODE other than .: 1 (line 6)",
                           "duplicate variant (first kept): 1 (line 8)", "variants in the union: 6",
                           "variants with a p-value: A 2 B 1"})
    EXPECT_NE(log.find(want), std::string::npos) << want << "\n" << log;
}

TEST(Prep, GivenCorrelationIsReordered) {
  TempDir dir;
  const std::string f = (kData / "y1.glm.linear").string();
  dir.write("c.txt", "q\tp\tjunk\n q 1 0.1 0.2\np 0.1 1 0.3\njunk 0.2 0.3 1\n");
  const RunResult r =
      run_prep(dir, {"-o", "run", "--quiet", "--corr", "c.txt", "p=" + f, "q=" + f});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(dir.read("run/corr.txt"), "1\n0.10000000000000001 1\n");
  EXPECT_EQ(dir.read("run/phenotypes.txt"), "p\nq\n");
}

TEST(Prep, HelpAndVersion) {
  TempDir dir;
  const RunResult v = run_prep(dir, {"--version"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(v.out, std::string("kolva-prep ") + KOLVA_VERSION + "\n");
  const RunResult h = run_prep(dir, {"--help"});
  EXPECT_EQ(h.status, 0);
  EXPECT_EQ(h.out.find("usage: kolva-prep -o DIR"), 0u);
}

}  // namespace
}  // namespace kolva::testing
