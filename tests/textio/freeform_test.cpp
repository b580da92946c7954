// Free-form reads of integers and reals, missing-value markers, fixed-width
// text reads, from memory and from files.
#include "textio/freeform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/numbers.h"

namespace kolva {
namespace {

constexpr double U = 77.0;         // every item's value before a read
constexpr double kSkip = -4242.5;  // expected value that is not checked
const double kInf = std::numeric_limits<double>::infinity();

using testing::bits;
using testing::from_bits;

const char* name(Outcome o) {
  return o == Outcome::success ? "success" : o == Outcome::error ? "error" : "eof";
}

// A file holding `text`, open for reading; removed when done.
class TempFile {
 public:
  explicit TempFile(const std::string& text) {
    char path[] = "/tmp/kolva_freeform_XXXXXX";
    fd_ = ::mkstemp(path);
    path_ = path;
    EXPECT_EQ(::write(fd_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::lseek(fd_, 0, SEEK_SET);
  }
  ~TempFile() {
    ::close(fd_);
    ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }

 private:
  int fd_;
  std::string path_;
};

constexpr Outcome OK = Outcome::success, ERR = Outcome::error, END = Outcome::eof;

// A read of want.size() items, each U before it.
struct RealCase {
  const char* text;
  std::vector<double> want;  // bit for bit; kSkip is not checked
  Outcome outcome;
};

template <class Source>
void check_reals(Source& src, const RealCase& c, Markers m, const char* how) {
  const int n = static_cast<int>(c.want.size());
  std::vector<double> items(n, U);
  const Outcome got = read_free(src, items.data(), n, m);
  SCOPED_TRACE(std::string(how) + " \"" + c.text + "\"");
  EXPECT_STREQ(name(got), name(c.outcome));
  for (int i = 0; i < n; ++i) {
    if (bits(c.want[i]) == bits(kSkip)) continue;
    EXPECT_EQ(bits(items[i]), bits(c.want[i]))
        << "item " << i << ": " << items[i] << " want " << c.want[i];
  }
}

// Reads every case from memory, and from a file whose text ends in a line
// feed (the same input, as a memory text's end acts as a line end).
void run_reals(const std::vector<RealCase>& cases, Markers m = Markers::none) {
  for (const RealCase& c : cases) {
    MemorySource mem(c.text);
    check_reals(mem, c, m, "memory");
    TempFile f(std::string(c.text) + "\n");
    FileSource file(f.fd());
    check_reals(file, c, m, "file");
  }
}

const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(FreeForm, Separators) {
  run_reals({
      // clang-format off
      {"1 2 3", {1, 2, 3}, OK}, {"1,,2", {1, U, 2}, OK}, {"1 , 2", {1, 2}, OK},
      {"1,\n,2", {1, U, 2}, OK}, {"1\n,2", {1, 2}, OK}, {"1\n;2", {1, U, 2}, OK},
      {"1;\n,2", {1, U, 2}, OK}, {"1;2", {1, 2}, OK}, {"1;;2", {1, U, 2}, OK},
      {"1\n,\n,2", {1, 2}, OK}, {"1\n, ,2", {1, U, 2}, OK}, {"1,\n,\n,2", {1, U, U, 2}, OK},
      {"1 ,\n 2", {1, 2}, OK}, {",2", {U, 2}, OK}, {";2", {U, 2}, OK}, {"\n,2", {2}, OK},
      {"\n;2", {U, 2}, OK}, {"\r\n ,2", {2}, OK}, {"\r,2", {2}, OK},
      {"1\r2\r\n3\n4", {1, 2, 3, 4}, OK}, {"1\t2 \t,\t3", {1, 2, 3}, OK},
      {"\n\n 1\n\n\n2", {1, 2}, OK}, {",", {U, U}, END}, {"", {U}, END}, {" \t ", {U}, END},
      {"0.1 0.2", {0.1, 0.2, U}, END}, {"0.1 0.2 0.3 0.4", {0.1, 0.2, 0.3}, OK},
      {"1 2 junk", {1, 2}, OK},
      // The terminator.
      {"0.5/", {0.5, U, U}, OK}, {"3 /", {3, U}, OK}, {"/ 1", {U, U}, OK},
      {"1,/", {1, U, U}, OK}, {"1\n/ x", {1, U}, OK},
      // Repeat counts.
      {"2*7", {7, 7}, OK}, {"3*7", {7, 7}, OK}, {"1 2*3", {1, 3, 3}, OK},
      {"3* 5", {U, U, U, 5}, OK}, {"3*", {U, U, U}, OK}, {"2*,5", {U, U, 5}, OK},
      {"2*/", {U, U, U}, OK}, {"3*-5", {-5, -5, -5}, OK}, {"200000000*1.5", {1.5, 1.5}, OK},
      {"1 -3*5", {1, U}, ERR}, {"0*1", {U}, ERR}, {"300000000*1", {U}, ERR},
      {"99999999999999999999999999*1", {U}, ERR}, {"2*3*5", {U, U}, ERR},
      // clang-format on
      {"1 x 2", {1, kSkip, U}, ERR},
  });
  // 1000 characters, as a line text of a variant line.
  std::string line = "0.1 0.2";
  line.resize(1000, ' ');
  run_reals({{line.c_str(), {0.1, 0.2, U}, END}});
}

TEST(FreeForm, RealTokens) {
  const double m = 0.001;
  run_reals({
      {"1e999 -1e999 1e-400 -1e-400", {kInf, -kInf, 0.0, -0.0}, OK},
      {"1.0d-3 1.0E-3 1.0q-3 1.0-3 1.0D-3 1.0Q-3 1.0e-3 1-3", {m, m, m, m, m, m, m, m}, OK},
      {"1.5D3 1.5e+3 1.5+3 15-3 1500e0", {1500, 1500, 1500, 0.015, 1500}, OK},
      {"7 7. .5 -0.25 +1.5 -0 0.0e0 00012.50", {7, 7, 0.5, -0.25, 1.5, -0.0, 0, 12.5}, OK},
      {"1e99999999999999999999 1e-99999999999999999999 0e99999", {kInf, 0, 0}, OK},
      {"inf INF -Infinity +inf infinity", {kInf, kInf, -kInf, kInf, kInf}, OK},
      {"NaN nan(123) -nan nan() +NAN(a/b)", {NaN, NaN, -NaN, NaN, NaN}, OK},
      {"4.9406564584124654e-324 -4.9406564584124654e-324",
       {from_bits(1), from_bits(0x8000000000000001)},
       OK},
      {"2.4703282292062327e-324 2.4703282292062328e-324", {0.0, from_bits(1)}, OK},
      {"2.2250738585072011e-308", {from_bits(0x000fffffffffffff)}, OK},
      {"1.7976931348623157e308 1.7976931348623159e308",
       {std::numeric_limits<double>::max(), kInf},
       OK},
      {"9007199254740993 9007199254740995", {9007199254740992.0, 9007199254740996.0}, OK},
      // Invalid tokens.
      {"2.5E ", {U}, ERR},
      {"2.5e+,", {U}, ERR},
      {"2.5E", {U}, ERR},  // the text's end is a line end
                           // clang-format off
      {"1 .", {1, U}, ERR}, {"-.", {U}, ERR}, {"- 1", {U}, ERR}, {"0.5abc", {U}, ERR},
      {"1.2.3", {U}, ERR}, {"0x10", {U}, ERR}, {"T", {U}, ERR}, {"1e5.3", {U}, ERR},
      {"1.5*3", {U}, ERR}, {"infin", {U}, ERR}, {"infx", {U}, ERR}, {"nanx", {U}, ERR},
      {"nan(1 2)", {U}, ERR}, {"1 N", {1, U}, ERR},
                           // clang-format on
  });
}

// Exact decimal expansions, for the rounding tie cases.
std::string times(std::string digits, unsigned k) {  // digits * k, k < 2^32
  std::uint64_t carry = 0;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    carry += static_cast<std::uint64_t>(*it - '0') * k;
    *it = static_cast<char>('0' + carry % 10);
    carry /= 10;
  }
  for (; carry; carry /= 10) digits.insert(digits.begin(), static_cast<char>('0' + carry % 10));
  return digits;
}
std::string power(std::string d, unsigned base, int e) {
  while (e-- > 0) d = times(d, base);
  return d;
}

TEST(FreeForm, RoundingTiesAndLongTokens) {
  const std::string z900(900, '0'), n900(900, '9');
  // 1 + 2^-53, half-way between 1 and the next double: 10^53 + 5^53 at 10^-53.
  std::string one_half = power("1", 5, 53);
  one_half = "1" + std::string(53 - one_half.size(), '0') + one_half;
  // 1 + 3 * 2^-53, half-way between an odd and an even neighbour.
  std::string three_half = times(power("1", 5, 53), 3);
  three_half = "1" + std::string(53 - three_half.size(), '0') + three_half;
  // 2^-1075, half the smallest subnormal: 5^1075 at 10^-1075.
  const std::string tiny = power("1", 5, 1075);
  // 2^1024 - 2^970, half-way between the largest double and 2^1024.
  const std::string huge = times(times(power("1", 2, 970), 134217727u), 134217729u);
  std::string below_huge = huge;
  below_huge.back() = static_cast<char>(below_huge.back() - 1);  // huge is even
  const double one_up = std::nextafter(1.0, 2.0);
  const double max = std::numeric_limits<double>::max();
  struct Case {
    std::string text;
    double want;
  } cases[] = {
      {one_half + "e-53", 1.0},
      {one_half + z900 + "1e-954", one_up},
      {one_half.substr(0, one_half.size() - 1) + "4" + n900 + "e-953", 1.0},
      // clang-format off
      {three_half + "e-53", std::nextafter(one_up, 2.0)}, {tiny + "e-1075", 0.0},
      {"-" + tiny + "e-1075", -0.0}, {tiny + z900 + "1e-1976", from_bits(1)}, {huge, kInf},
      {below_huge + "." + n900, max}, {"0." + std::string(1000000, '0') + "1", 0.0},
      // clang-format on
      {"1" + std::string(1000000, '0') + ".e-1000000", 1.0},
      {"1." + std::string(1000000, '0') + "1", 1.0},
      {"1" + std::string(1000000, '0'), kInf},
      {"1" + std::string(799, '0') + "e-799", 1.0},
  };
  for (const Case& c : cases) {
    MemorySource mem(c.text);
    double v = U;
    ASSERT_EQ(read_free(mem, &v, 1), Outcome::success) << c.text.substr(0, 60);
    EXPECT_EQ(bits(v), bits(c.want)) << c.text.substr(0, 60) << " gave " << v;
  }
}

TEST(FreeForm, Integers) {
  struct Case {
    const char* text;
    std::vector<std::int32_t> want;  // each 9 before the read
    Outcome outcome;
  } cases[] = {
      {"3 1000", {3, 1000}, OK},
      {" 3 ,  1000 , 7", {3, 1000}, OK},
      {"2147483647 -2147483648 +5 -0", {2147483647, INT32_MIN, 5, 0}, OK},
      // clang-format off
      {"1,,2 3*-5", {1, 9, 2, -5, -5, -5}, OK}, {"2*7 /", {7, 7, 9}, OK},
      {"2147483648", {9}, ERR}, {"1 -2147483649", {1, 9}, ERR},
      {"99999999999999999999999", {9}, ERR}, {"3.0", {9}, ERR}, {"3e2", {9}, ERR},
      {"+ 3", {9}, ERR}, {"x1", {9}, ERR}, {"-3*5", {9}, ERR}, {"0*5", {9}, ERR},
      {"3 x", {3, 9}, ERR}, {"3", {3, 9}, END},
      // clang-format on
  };
  for (const Case& c : cases) {
    MemorySource mem(c.text);
    std::vector<std::int32_t> v(c.want.size(), 9);
    EXPECT_STREQ(name(read_free(mem, v.data(), static_cast<int>(v.size()))), name(c.outcome))
        << c.text;
    EXPECT_EQ(v, c.want) << c.text;
  }
}

TEST(FreeForm, MissingValueMarkers) {
  const Markers m = Markers::missing;
  // clang-format off
  run_reals({{"0.5 NA 0.3", {0.5, -9, 0.3}, OK}, {"2*NA 1", {-9, -9, 1}, OK},
             {"na N n nan NaN nA", {-9, -9, -9, -9, -9, -9}, OK}, {"NA/", {-9, U}, OK},
             {"NA,,1", {-9, U, 1}, OK}, {"1e999 -1e-400 2*", {kInf, -0.0, U}, OK},
             {"0*NA", {U}, ERR}, {"inf", {U}, ERR}, {"-Infinity", {U}, ERR}, {"none", {U}, ERR},
             {"-nan", {U}, ERR}, {"+N", {U}, ERR}, {"0.5NA", {U}, ERR}, {"nan(1)", {U}, ERR},
             {"NAN1", {U}, ERR}, {"0.1 NA*2", {0.1, U}, ERR}, {"0.1 0.5x", {0.1, U}, ERR},
             // clang-format on
             {"0.1 i", {0.1, U}, ERR}},
            m);
}

// At the very end of a file, a token that still needs a character gives
// end of file; a complete one followed by the end is read.
TEST(FreeForm, EndOfFileWithinToken) {
  struct Case {
    const char* text;
    Outcome outcome;
    Markers markers = Markers::none;
  } cases[] = {
      // clang-format off
      {"1 -", END}, {"1 +", END}, {"1 1e", END}, {"1 1e-", END}, {"1 1.5+", END}, {"1 3*", END},
      {"1 3*-", END}, {"1 in", END}, {"1 infin", END}, {"1 -na", END}, {"1 nan(12", END},
      {"1 .", ERR}, {"1 2.5", OK}, {"1 inf", OK}, {"1 nan(1)", OK},
      {"1 i", END, Markers::missing}, {"1 in", ERR, Markers::missing},
      // clang-format on
      {"1 NA", OK, Markers::missing},
  };
  for (const Case& c : cases) {
    TempFile f(c.text);
    FileSource src(f.fd());
    double v[2] = {U, U};
    EXPECT_STREQ(name(read_free(src, v, 2, c.markers)), name(c.outcome)) << c.text;
    EXPECT_EQ(v[0], 1.0) << c.text;
  }
  TempFile f("1 -");
  FileSource src(f.fd());
  std::int32_t k[2] = {0, 0};
  EXPECT_EQ(read_free(src, k, 2), Outcome::eof);
}

// Each read leaves the file at the line after the last one it used.
TEST(FreeForm, FilePositionAfterRead) {
  struct Case {
    const char* text;
    std::vector<std::int32_t> want;
    Outcome outcome;
    const char* next;  // the next line's first three characters
  } cases[] = {
      // clang-format off
      {"3\n1000\nnxt\n", {3, 1000}, OK, "nxt"}, {"3\r\n1000\r\nnxt\r\n", {3, 1000}, OK, "nxt"},
      {" 3 ,  1000 , 7\nnxt", {3, 1000}, OK, "nxt"}, {"3 /\nnxt", {3, 0}, OK, "nxt"},
      {"/\nnxt", {0, 0}, OK, "nxt"}, {"2*7 8\nnxt", {7, 7}, OK, "nxt"},
      // clang-format on
      {"\n\n3,\n\n,\nnxt", {3, 0}, OK, "nxt"},
      // A carriage return alone does not end the skipped rest of a line.
      {"3\r1000\rnot\nnxt\n", {3, 1000}, OK, "nxt"},
  };
  for (const Case& c : cases) {
    TempFile f(c.text);
    FileSource src(f.fd());
    std::int32_t v[2] = {0, 0};
    EXPECT_STREQ(name(read_free(src, v, 2)), name(c.outcome)) << c.text;
    EXPECT_EQ(std::vector<std::int32_t>(v, v + 2), c.want) << c.text;
    char t[3];
    ASSERT_EQ(read_text(src, t, 3), Outcome::success) << c.text;
    EXPECT_EQ(std::string(t, 3), c.next) << c.text;
  }
}

TEST(FixedWidth, LinesAndEnds) {
  const std::string long_line(1200, 'x');
  struct Case {
    std::string file;
    int w;
    std::vector<std::string> lines;  // successive reads, then end of file
  } cases[] = {
      {"full\nf\n\nab", 3, {"ful", "f  ", "   ", "ab "}},
      {"full\r\nf\r\n\r\nab\r\n", 3, {"ful", "f  ", "   ", "ab "}},
      {"ab\rcd\r\rx", 3, {"ab ", "cd ", "   ", "x  "}},
      {"a\t,/ 9\nz", 6, {"a\t,/ 9", "z     "}},
      // Three characters taken: the rest of the line goes up to the next
      // line feed, even past a carriage return alone.
      {"abc\rdef\nghi\n", 3, {"abc", "ghi"}},
      {long_line + "\nnext\n", 1000, {long_line.substr(0, 1000), "next" + std::string(996, ' ')}},
      {"", 3, {}},
  };
  for (const Case& c : cases) {
    TempFile f(c.file);
    FileSource src(f.fd());
    std::string t(c.w, '#');
    for (const std::string& want : c.lines) {
      ASSERT_EQ(read_text(src, t.data(), c.w), Outcome::success) << c.file.substr(0, 20);
      EXPECT_EQ(t, want) << c.file.substr(0, 20);
    }
    const std::string before = t;
    EXPECT_EQ(read_text(src, t.data(), c.w), Outcome::eof) << c.file.substr(0, 20);
    EXPECT_EQ(t, before);
  }
}

TEST(FixedWidth, ReadFailureIsError) {
  const int fd = ::open("/", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  FileSource src(fd);
  char t[3];
  EXPECT_EQ(read_text(src, t, 3), Outcome::error);
  double v = 0;
  EXPECT_EQ(read_free(src, &v, 1), Outcome::error);
  ::close(fd);
}

// Lines longer than the file buffer, and tokens across its refills.
TEST(FreeForm, ManyValuesFromFile) {
  std::mt19937_64 gen(12345);
  std::vector<double> want;
  std::string text;
  for (int i = 0; i < 30000; ++i) {
    const double x =
        std::ldexp(static_cast<double>(gen() >> 11), static_cast<int>(gen() % 200) - 150);
    want.push_back(x);
    char buf[40];
    text.append(buf, std::to_chars(buf, buf + 40, x).ptr);
    text += (i % 7 == 0) ? "\r\n" : (i % 5 == 0) ? ",\n" : " ";
  }
  TempFile f(text);
  FileSource src(f.fd());
  std::vector<double> got(want.size(), U);
  ASSERT_EQ(read_free(src, got.data(), static_cast<int>(got.size())), Outcome::success);
  for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(bits(got[i]), bits(want[i])) << i;
}

// Random doubles written in several forms read back bit for bit; long
// random digit strings agree with the C library's correctly rounded strtod.
TEST(FreeForm, RandomRoundTrip) {
  std::mt19937_64 gen(2024);
  for (int i = 0; i < 20000; ++i) {
    double x;
    do x = from_bits(gen());
    while (!std::isfinite(x));
    char buf[64];
    const std::string s17(buf,
                          std::to_chars(buf, buf + 64, x, std::chars_format::scientific, 16).ptr);
    std::string shortest(buf, std::to_chars(buf, buf + 64, x).ptr);
    // The same digits with the other exponent letters, or with the sign
    // of the exponent alone ("1.5-3").
    const char* letters[] = {"D", "d", "Q", "q", "E", ""};
    std::string alt = s17;
    alt.replace(alt.find('e'), 1, letters[i % 6]);
    // Fewer digits: compared with the C library's correctly rounded strtod.
    std::string fewer(buf, std::to_chars(buf, buf + 64, x, std::chars_format::general,
                                         1 + static_cast<int>(gen() % 16))
                               .ptr);
    const double x_fewer = std::strtod(fewer.c_str(), nullptr);
    for (const auto& [text, want] : {std::pair{s17, x}, std::pair{shortest, x}, std::pair{alt, x},
                                     std::pair{fewer, x_fewer}}) {
      MemorySource mem(text);
      double v = U;
      ASSERT_EQ(read_free(mem, &v, 1), Outcome::success) << text;
      ASSERT_EQ(bits(v), bits(want)) << text;
    }
  }
  for (int i = 0; i < 3000; ++i) {
    std::string s = (gen() & 1) ? "-" : "";
    const int nd = 1 + static_cast<int>(gen() % 1200);
    const int point = static_cast<int>(gen() % (nd + 1));
    for (int k = 0; k < nd; ++k) {
      if (k == point) s += '.';
      s += static_cast<char>('0' + gen() % 10);
    }
    s += "e" + std::to_string(static_cast<int>(gen() % 800) - 400);
    MemorySource mem(s);
    double v = U;
    ASSERT_EQ(read_free(mem, &v, 1), Outcome::success) << s;
    ASSERT_EQ(bits(v), bits(std::strtod(s.c_str(), nullptr))) << s;
  }
}

}  // namespace
}  // namespace kolva
