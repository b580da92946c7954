// A catalogue of bad command lines and damaged inputs: each run ends with
// its status and a message naming the problem (file and line where there
// is one), and leaves no output behind, whole or in part.
#include <gtest/gtest.h>
#include <htslib/bgzf.h>
#include <zlib.h>
#include <zstd.h>

#include "run_prep.h"

namespace kolva::testing {
namespace {

std::string gz(const std::string& s) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, s.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(s.data()));
  z.avail_in = static_cast<uInt>(s.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string zst(const std::string& s) {
  std::string out(ZSTD_compressBound(s.size()), '\0');
  out.resize(ZSTD_compress(out.data(), out.size(), s.data(), s.size(), 3));
  return out;
}

std::string bgz(const std::string& s) {
  TempDir d;
  BGZF* f = bgzf_open((d / "f.bgz").c_str(), "w");
  const bool ok = f && bgzf_write(f, s.data(), s.size()) == static_cast<ssize_t>(s.size());
  EXPECT_TRUE(ok && bgzf_close(f) == 0);
  return d.read("f.bgz").value_or("");
}

std::string cut(const std::string& s, std::size_t drop) { return s.substr(0, s.size() - drop); }

const std::string kHead =
    "#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE\n";
std::string row(const std::string& chrom, int pos, const std::string& p = "0.3") {
  return chrom + "\t" + std::to_string(pos) + "\trs" + std::to_string(pos) +
         "\tG\tA\tA\tADD\t100\t0.1\t0.1\t1\t" + p + "\t.\n";
}
const std::string kGood = kHead + row("1", 100) + row("1", 200) + row("2", 50);
// Long enough that gzip damage is found inside the data.
const std::string kLong = [] {
  std::string s = kHead;
  for (int i = 1; i <= 3000; ++i) s += row("1", i * 10, "0." + std::to_string(i * 7919 % 1000));
  return s;
}();
const std::string kCorr = "A B\n1 0.3\n0.3 1\n";
const std::vector<std::string> kArgs = {"-o", "out", "--corr", "c.txt", "A=a.txt", "B=b.txt"};

struct Bad {
  const char* name;
  std::string a;        // a.txt (b.txt is good, c.txt the correlation)
  std::string message;  // part of the one-line message
  int status = 1;
  std::vector<std::string> args = kArgs;
  std::string corr = kCorr;
};

void PrintTo(const Bad& c, std::ostream* os) { *os << c.name; }

class Malformed : public ::testing::TestWithParam<Bad> {};

TEST_P(Malformed, StopsWithItsMessage) {
  const Bad& c = GetParam();
  TempDir dir;
  dir.write("a.txt", c.a);
  dir.write("b.txt", kGood);
  dir.write("c.txt", c.corr);
  const RunResult r = run_prep(dir, c.args);
  EXPECT_EQ(r.status, c.status) << r.err;
  EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("kolva-prep: "), 0u) << r.err;
  if (c.status == 64) {
    EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  for (const char* name : {"defdims", "pvals.txt", "corr.txt", "variants.tsv.gz", ".pvals.txt.part",
                           ".variants.tsv.gz.part", ".corr.txt.part", ".defdims.part"})
    EXPECT_FALSE(dir.exists(std::string("out/") + name)) << name;
}

std::vector<std::string> with(std::vector<std::string> args,
                              std::initializer_list<std::string> more) {
  args.insert(args.begin(), more);
  return args;
}

std::vector<std::string> many_inputs(int n) {
  std::vector<std::string> a{"-o", "out"};
  for (int i = 0; i < n; ++i) a.push_back("P" + std::to_string(i) + "=b.txt");
  return a;
}

INSTANTIATE_TEST_SUITE_P(
    Catalogue, Malformed,
    ::testing::Values(
        Bad{"UnsortedPosition", kHead + row("1", 200) + row("1", 100),
            "a.txt:3: not sorted: chromosome 1 position 100 comes after chromosome 1 position 200 "
            "(line 2); sort"},
        Bad{"UnsortedChromosome", kHead + row("2", 1) + row("1", 5),
            "a.txt:3: not sorted: chromosome 1"},
        Bad{"XBefore22", kHead + row("X", 1) + row("22", 5),
            "chromosome 22 position 5 comes after chromosome X"},
        Bad{"TruncatedGzip", cut(gz(kLong), 4000),
            "gzip data damaged or truncated (unexpected end of file): the readable data end inside "
            "this line"},
        Bad{"DamagedGzip",
            [] {
              auto s = gz(kLong);
              for (int i = 0; i < 64; ++i) s[200 + i] ^= 0x5a;
              return s;
            }(),
            "a.txt:1: gzip data damaged or truncated (invalid data)"},
        Bad{"GzipTrailerCut", cut(gz(kLong), 4),
            "a.txt:3001: gzip data damaged or truncated (unexpected end of file): the readable "
            "data end with this line"},
        Bad{"BgzipWithoutEndBlock", cut(bgz(kLong), 28),
            "a.txt:3001: bgzip data damaged or truncated (no end-of-file block)"},
        Bad{"TruncatedZstd", cut(zst(kLong), 100),
            "zstd data damaged or truncated (the last frame is cut short): the readable data end "
            "inside"},
        Bad{"UnknownHeader", "CHR BP SNP A1 A2 P\n1 1 r A G 0.5\n",
            "a.txt:1: header not recognised"},
        Bad{"MissingColumn", "CHROM GENPOS ID ALLELE0 ALLELE1 BETA\n1 1 r A G 0.1\n",
            "a.txt:1: REGENIE step 2 header without column P or LOG10P"},
        Bad{"ColumnNamedByColumnsMissing", "CHR BP SNP A1 A2 PVAL\n",
            "a.txt:1: columns given by --columns header without column P", 1,
            with(kArgs, {"--columns", "chrom=CHR,pos=BP,effect=A1,other=A2,p=P"})},
        Bad{"TooFewFields", kHead + row("1", 1) + "1\t2\trs2\tG\tA\n",
            "a.txt:3: too few fields (5, the header needs 13)"},
        Bad{"PositionNotWhole", kHead + "1\t1e5\trs\tG\tA\tA\tADD\t1\t1\t1\t1\t0.5\t.\n",
            "a.txt:2: position '1e5' is not a whole number"},
        Bad{"NegativePosition", kHead + "1\t-5\trs\tG\tA\tA\tADD\t1\t1\t1\t1\t0.5\t.\n",
            "a.txt:2: position '-5' is not a whole number"},
        Bad{"NoPValue", kHead + row("1", 100, "NA") + row("1", 200, "."),
            "a.txt:3: not one of the 2 lines after the header gives A a p-value"},
        Bad{"EmptyFile", "", "a.txt:1: empty file, no header line"},
        Bad{"OnlyMetaLines", "##a\n##b\n", "a.txt:3: no header line after the ## lines"},
        // clang-format off
        Bad{"MissingFile", kGood, "nofile.txt: cannot open", 1, {"-o", "out", "A=nofile.txt", "B=b.txt"}},
        Bad{"DuplicateName", kGood, "phenotype name 'A' given twice", 64, {"-o", "out", "A=a.txt", "A=b.txt"}},
        Bad{"BadName", kGood, "phenotype name 'A/1' may hold only", 64, {"-o", "out", "A/1=a.txt", "B=b.txt"}},
        Bad{"NotNameEqualsFile", kGood, "'a.txt' is not NAME=FILE", 64, {"-o", "out", "a.txt", "B=b.txt"}},
        // clang-format on
        Bad{"OneInput", kGood, "at least 2 inputs", 64, {"-o", "out", "A=a.txt"}},
        Bad{"FiftyOneInputs", kGood, "at most 50 inputs", 64, many_inputs(51)},
        Bad{"NoRunDirectory", kGood, "no run directory: give -o DIR", 64, {"A=a.txt", "B=b.txt"}},
        Bad{"UnknownOption", kGood, "unknown option --frobnicate", 64,
            with(kArgs, {"--frobnicate"})},
        Bad{"NullZNotPositive", kGood, "--null-z needs a positive number, not '-1'", 64,
            with(kArgs, {"--null-z", "-1"})},
        Bad{"ThreadsNegative", kGood,
            "--threads must be a whole number from 0 up (0: the default), not '-1'", 64,
            with(kArgs, {"--threads", "-1"})},
        Bad{"ColumnsUnknownRole", kGood, "--columns: unknown role 'pvalue'", 64,
            with(kArgs, {"--columns", "chrom=C,pos=P,effect=A,other=B,pvalue=X"})},
        Bad{"CorrEmptyName", kGood, "--corr needs a file", 64, with(kArgs, {"--corr="})},
        // clang-format off
        Bad{"OptionWithoutValue", kGood, "--corr needs a value", 64, {"-o", "out", "A=a.txt", "B=b.txt", "--corr"}},
        // clang-format on
        Bad{"CorrMissingName", kGood, "c.txt:1: phenotype B is not in the header", 1, kArgs,
            "A C\n1 0.3\n0.3 1\n"},
        Bad{"CorrAsymmetric", kGood, "c.txt:3: not symmetric: B,A is 0.3 but A,B is 0.4", 1, kArgs,
            "A B\n1 0.4\n0.3 1\n"},
        Bad{"CorrNotANumber", kGood, "c.txt:3: 'x' is not a number", 1, kArgs, "A B\n1 0.3\nx 1\n"},
        Bad{"CorrDiagonal", kGood, "c.txt:3: diagonal element of B is 0.9, not 1", 1, kArgs,
            "A B\n1 0.3\n0.3 0.9\n"},
        Bad{"CorrOutOfRange", kGood, "c.txt:2: correlation 1.3 outside [-1, 1]", 1, kArgs,
            "A B\n1 1.3\n1.3 1\n"},
        Bad{"CorrEndsEarly", kGood, "c.txt:3: the file ends after 1 rows for 2 names", 1, kArgs,
            "A B\n1 0.3\n\n"},
        Bad{"CorrShortRow", kGood, "c.txt:3: row B has 1 values, the header names 2", 1, kArgs,
            "A B\n1 0.3\n1\n"},
        Bad{"NoEffectColumn",
            "CHR BP SNP A1 A2 P\n1 1 r A G 0.5\n",
            "a.txt:1: no effect column",
            1,
            {"-o", "out", "--columns", "chrom=CHR,pos=BP,effect=A1,other=A2,p=P", "A=a.txt",
             "B=b.txt"}},
        Bad{"TooFewNullVariants",
            kGood,
            "phenotypes B and A share only 3 variants with |z| < 2",
            1,
            {"-o", "out", "A=a.txt", "B=b.txt"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A thread the system refuses (here: no address space for its stack)
// stops the run like any other stop; it used to end it in std::terminate.
TEST(MalformedRun, RefusedThreadStopsTheRun) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
  TempDir dir;
  dir.write("b.txt", kGood);
  std::vector<std::string> args = many_inputs(50);
  args.insert(args.begin(), {"--threads", "50"});
  const RunResult r = run_prep(dir, args, rlim_t{256} << 20);
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err.rfind("kolva-prep: cannot start reader thread ", 0), 0u) << r.err;
  EXPECT_TRUE(dir.exists("out/prep_log.txt"));
  EXPECT_FALSE(dir.exists("out/.pvals.txt.part"));
}

}  // namespace
}  // namespace kolva::testing
