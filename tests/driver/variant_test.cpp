// Splitting variant lines and reading them from files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "driver/line_reader_testing.h"
#include "driver/variant.h"
#include "support/run_binary.h"

namespace kolva {
namespace {

constexpr double NA = kMissing;
const double kInf = std::numeric_limits<double>::infinity();

struct SplitCase {
  std::string line;
  int nvara;
  Outcome outcome;
  const char* chrom;  // 4 characters
  std::string id;     // unpadded
  std::vector<double> p;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.line; }

class Split : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Split, Fields) {
  const SplitCase& c = GetParam();
  Variant v;
  for (double& x : v.p) x = 12345.0;  // must not leak into the result
  EXPECT_EQ(split_variant(c.line, c.nvara, v), c.outcome);
  EXPECT_EQ(std::string(v.chrom, 4), c.chrom);
  std::string id = c.id;
  id.resize(33, ' ');
  EXPECT_EQ(std::string(v.id, 33), id);
  if (c.outcome == Outcome::success) {
    for (std::size_t i = 0; i < c.p.size(); ++i) EXPECT_EQ(v.p[i], c.p[i]) << "p-value " << i + 1;
  }
}

const std::string k33 = "rs" + std::string(31, '3');
const std::string k34 = "rs" + std::string(32, '4');

INSTANTIATE_TEST_SUITE_P(
    Lines, Split,
    ::testing::Values(
        SplitCase{"1 rs123 0.01 0.2", 2, Outcome::success, "1   ", "rs123", {0.01, 0.2}},
        SplitCase{
            "   chr10    rs5   0.5    0.25  ", 2, Outcome::success, "chr1", "rs5", {0.5, 0.25}},
        SplitCase{"X " + k33 + " 0.5", 1, Outcome::success, "X   ", k33, {0.5}},
        SplitCase{
            "X " + k34 + " 0.5", 1, Outcome::success, "X   ", k34.substr(0, 30) + "...", {0.5}},
        // Missing-value words, each a token of its own.
        SplitCase{"1 rs1 0.1 NA 0.3", 3, Outcome::success, "1   ", "rs1", {0.1, NA, 0.3}},
        SplitCase{"1 rs1 0.1 na 0.3", 3, Outcome::success, "1   ", "rs1", {0.1, NA, 0.3}},
        SplitCase{"1 rs1 0.1 N 0.3", 3, Outcome::success, "1   ", "rs1", {0.1, NA, 0.3}},
        SplitCase{"1 rs1 0.3 NaN", 2, Outcome::success, "1   ", "rs1", {0.3, NA}},
        SplitCase{"1 rs1 2*NA 0.5", 3, Outcome::success, "1   ", "rs1", {NA, NA, 0.5}},
        SplitCase{"1 rs1 0.5NA 0.3", 2, Outcome::error, "1   ", "rs1", {}},
        SplitCase{"1 rs1 inf 0.3", 2, Outcome::error, "1   ", "rs1", {}},
        SplitCase{"1 rs1 -nan 0.3", 2, Outcome::error, "1   ", "rs1", {}},
        SplitCase{"1 rs1 0.5x", 1, Outcome::error, "1   ", "rs1", {}},
        SplitCase{"1 rs1 0.3 1e999", 2, Outcome::success, "1   ", "rs1", {0.3, kInf}},
        SplitCase{"1 rs1 0.1 0.2 none", 2, Outcome::success, "1   ", "rs1", {0.1, 0.2}},
        // Null values and terminators leave the missing value.
        SplitCase{"1 rs1 0.1,,0.3", 3, Outcome::success, "1   ", "rs1", {0.1, NA, 0.3}},
        SplitCase{"1 rs1 0.1 /", 2, Outcome::success, "1   ", "rs1", {0.1, NA}},
        // -9 written as a number is missing too; anything else is a value.
        SplitCase{"1 rs1 -9 -9.0 -9e0 -9.5 9",
                  5,
                  Outcome::success,
                  "1   ",
                  "rs1",
                  {-9.0, -9.0, -9.0, -9.5, 9.0}},
        // Too few values.
        SplitCase{"", 1, Outcome::eof, "    ", "", {}},
        SplitCase{"1 rs1", 1, Outcome::eof, "1   ", "rs1", {}},
        SplitCase{"1 rs1 0.1 N", 3, Outcome::eof, "1   ", "rs1", {}},
        // Tabs do not separate the fields.
        SplitCase{"1\trs1\t0.1\t0.2", 2, Outcome::eof, "1\trs", "", {}}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

// Lines read from a file through LineReader.
std::vector<std::pair<Outcome, std::string>> read_lines(const std::string& bytes) {
  testing::TempDir dir;
  dir.write("f", bytes);
  int fd = ::open((dir / "f").c_str(), O_RDONLY);
  FileSource src(fd);
  LineByLine lines;
  std::vector<std::pair<Outcome, std::string>> got;
  for (;;) {
    std::string_view line;
    Outcome o = lines.next(src, line);
    got.emplace_back(o, o == Outcome::success ? std::string(line) : std::string());
    if (o != Outcome::success) break;
  }
  ::close(fd);
  return got;
}

TEST(LineReader, LineEndsInEveryForm) {
  using P = std::pair<Outcome, std::string>;
  EXPECT_EQ(read_lines("a\nb\r\nc\rd"), (std::vector<P>{{Outcome::success, "a"},
                                                        {Outcome::success, "b"},
                                                        {Outcome::success, "c"},
                                                        {Outcome::success, "d"},
                                                        {Outcome::eof, ""}}));
  EXPECT_EQ(read_lines("\n\r\n"),
            (std::vector<P>{{Outcome::success, ""}, {Outcome::success, ""}, {Outcome::eof, ""}}));
  EXPECT_EQ(read_lines(""), (std::vector<P>{{Outcome::eof, ""}}));
}

// The same lines taken `per_take` at a time in bounds of `bytes`: their
// contents, then the outcome that ended the reading.
std::vector<std::pair<Outcome, std::string>> take_lines(const std::string& bytes, int per_take,
                                                        std::size_t bound) {
  testing::TempDir dir;
  dir.write("f", bytes);
  int fd = ::open((dir / "f").c_str(), O_RDONLY);
  FileSource src(fd);
  LineReader lines;
  std::string text;
  std::vector<std::uint32_t> ends{0};
  Outcome o;
  while ((o = lines.take(src, per_take, bound, text, ends)) == Outcome::success) {
  }
  ::close(fd);
  std::vector<std::pair<Outcome, std::string>> got;
  for (std::size_t i = 1; i < ends.size(); ++i)
    got.emplace_back(Outcome::success, std::string(line_content(std::string_view(text).substr(
                                           ends[i - 1], ends[i] - ends[i - 1]))));
  got.emplace_back(o, "");
  EXPECT_EQ(ends.back(), text.size());
  return got;
}

TEST(LineReader, LinesAcrossBufferRefills) {
  // CR LF and a lone CR split by the buffer boundary, lines longer than the
  // buffer, a line of the longest length and one byte more; one at a time
  // and many at a time.
  const std::size_t b = FileSource::kBufferSize;
  const std::string first(b - 1, 'x');
  const std::string longer(3 * b + 17, 'y');
  using P = std::pair<Outcome, std::string>;
  const std::vector<P> want{{Outcome::success, first},
                            {Outcome::success, longer},
                            {Outcome::success, "z"},
                            {Outcome::eof, ""}};
  const std::string crlf = first + "\r\n" + longer + "\nz";
  const std::string cr = first + "\r" + longer + "\rz";
  std::string many;
  for (int i = 0; i < 5000; ++i)
    many += "1 rs" + std::to_string(i) + (i % 3 ? " 0.5\n" : " 0.5\r\n");
  const std::string overlong = many + std::string(kMaxLine + 1, '1') + "\nz\n";
  for (auto [per_take, bound] :
       {std::pair{1, std::size_t{1}}, {3, 100}, {1000, std::size_t{1} << 18}}) {
    EXPECT_EQ(take_lines(crlf, per_take, bound), want);
    EXPECT_EQ(take_lines(cr, per_take, bound), want);
    EXPECT_EQ(take_lines(many, per_take, bound), read_lines(many));
    auto bad = take_lines(overlong, per_take, bound);
    ASSERT_EQ(bad.size(), 5001u);
    EXPECT_EQ(bad[4999].second, "1 rs4999 0.5");
    EXPECT_EQ(bad.back().first, Outcome::error);
  }
  EXPECT_EQ(read_lines(crlf), want);
}

TEST(LineReader, LongestLineAndOneByteMore) {
  auto ok = read_lines(std::string(kMaxLine, '1') + "\n");
  EXPECT_EQ(ok[0].first, Outcome::success);
  EXPECT_EQ(ok[0].second.size(), kMaxLine);
  auto bad = read_lines(std::string(kMaxLine + 1, '1') + "\n");
  EXPECT_EQ(bad[0].first, Outcome::error);
}

}  // namespace
}  // namespace kolva

namespace kolva {
namespace {

// Lines of common and uncommon value tokens: split_variant must give the
// outcome and the bits of the free-form read of the same value part.
TEST(Split, CommonTokensReadAsTheFreeFormReadReadsThem) {
  static const char* const kTokens[] = {"0.5",
                                        "-0",
                                        "+0.0",
                                        "0",
                                        "1",
                                        "1.",
                                        ".5",
                                        "-.5",
                                        "00.0012300",
                                        "3.2e-08",
                                        "1E+05",
                                        "7e-300",
                                        "2.5e-308",
                                        "4.9e-324",
                                        "1e-400",
                                        "1e999",
                                        "-1e999",
                                        "1.7976931348623157e308",
                                        "0.1000000000000000055511151231257827",
                                        "123456789012345678901234567890",
                                        "0.30000000000000004",
                                        "9007199254740993",
                                        "1e22",
                                        "1e23",
                                        "123456789012345e-22",
                                        "NA",
                                        "na",
                                        "N",
                                        "nan",
                                        "NaN",
                                        "-NA",
                                        "nan1",
                                        "inf",
                                        "1d5",
                                        "1-5",
                                        "2*0.5",
                                        "0.5,",
                                        "e5",
                                        "1e",
                                        "1e+",
                                        ".",
                                        "-",
                                        "0x10",
                                        "1.5e3x",
                                        "\t0.2"};
  std::mt19937 g(77);
  // A random decimal: 1 to 25 digits, a point anywhere, an exponent or not.
  auto number = [&g] {
    std::string s;
    const int digits = 1 + static_cast<int>(g() % 25);
    const int point = static_cast<int>(g() % (digits + 1));
    for (int i = 0; i < digits; ++i)
      s += (i == point ? "." : "") + std::string(1, char('0' + g() % 10));
    if (g() % 2) s += "e" + std::to_string(static_cast<int>(g() % 80) - 40);
    return s;
  };
  for (int trial = 0; trial < 20000; ++trial) {
    const int nvara = 1 + static_cast<int>(g() % 4);
    std::string rest;
    const int tokens = static_cast<int>(g() % 6);
    for (int t = 0; t < tokens; ++t)
      rest +=
          std::string(1 + g() % 2, ' ') + (g() % 2 ? number() : kTokens[g() % std::size(kTokens)]);
    Variant v;
    const Outcome got = split_variant("1 rs " + rest, nvara, v);
    double want[maxnvara];
    for (double& x : want) x = kMissing;
    MemorySource in(rest);
    ASSERT_EQ(got, read_free(in, want, nvara, Markers::missing)) << rest;
    if (got != Outcome::success) continue;
    for (int i = 0; i < nvara; ++i)
      ASSERT_EQ(std::bit_cast<std::uint64_t>(v.p[i]), std::bit_cast<std::uint64_t>(want[i]))
          << rest << " value " << i;
  }
}

}  // namespace
}  // namespace kolva
