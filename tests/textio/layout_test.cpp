// Records written by fixed layouts: literals, blank skips, record breaks,
// fields, repeated groups, reuse and the stopping rule.
#include "textio/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kolva {
namespace {

using namespace lay;
using Layout = std::vector<LayoutElem>;
using Values = std::vector<LayoutValue>;

std::string write(const Layout& layout, const Values& values) {
  std::string out;
  append_layout(out, layout, values);
  return out;
}

// Splits at CR LF; every record must end with one.
std::vector<std::string> records(const std::string& s) {
  std::vector<std::string> r;
  std::size_t at = 0;
  while (at < s.size()) {
    const std::size_t e = s.find("\r\n", at);
    if (e == std::string::npos) {
      ADD_FAILURE() << "unterminated record: '" << s.substr(at) << "'";
      break;
    }
    r.push_back(s.substr(at, e - at));
    at = e + 2;
  }
  return r;
}

Values reals(int n) {
  Values v;
  for (int i = 1; i <= n; ++i) v.emplace_back(i * 1.5);
  return v;
}

// The eigenvalue records: ten (blank, F8.4) to a record.
const Layout kTen = {group(10, 2), X(), F(8, 4)};

TEST(Layout, GroupOfTenRecordLengths) {
  // clang-format off
  struct Case { int n; std::vector<std::size_t> lengths; };
  // clang-format on
  const Case cases[] = {
      {0, {0}}, {1, {9}}, {10, {90}}, {11, {90, 9}}, {20, {90, 90}}, {25, {90, 90, 45}},
  };
  for (const Case& c : cases) {
    const auto recs = records(write(kTen, reals(c.n)));
    std::vector<std::size_t> got;
    for (const auto& r : recs) got.push_back(r.size());
    EXPECT_EQ(got, c.lengths) << c.n << " values";
  }
  const auto recs = records(write(kTen, reals(12)));
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0].substr(0, 18), "   1.5000   3.0000");
  EXPECT_EQ(recs[1], "  16.5000  18.0000");
}

TEST(Layout, WalkAndStoppingRule) {
  // clang-format off
  struct Case { const char* what; Layout layout; Values values; std::string want; };
  // clang-format on
  const std::vector<Case> cases = {
      {"no values: one empty record", kTen, {}, "\r\n"},
      {"empty layout", {}, {}, "\r\n"},
      {"two trailing breaks leave two empty records",
       {lit("n ="), I(3), brk(), brk()},
       {7},
       "n =  7\r\n\r\n\r\n"},
      {"break right after a skip drops the blank",
       {I(3), X(), brk(), I(3)},
       {1, 2},
       "  1\r\n  2\r\n"},
      {"skips at the end are dropped", {I(3), X(), X()}, {1}, "  1\r\n"},
      {"skips are written before a literal", {I(1), X(), X(), lit("a")}, {1}, "1  a\r\n"},
      {"skip before a field without value is dropped", {I(1), X(), I(1)}, {1}, "1\r\n"},
      {"stop at the first field without value", {I(1), lit("a"), I(1), lit("b")}, {1}, "1a\r\n"},
      {"literals and breaks after the last value are written",
       {I(3), lit(","), brk(), lit("end"), I(3), lit("never")},
       {1},
       "  1,\r\nend\r\n"},
      {"leading literals and breaks without values",
       {lit("head"), brk(), lit("x"), I(2)},
       {},
       "head\r\nx\r\n"},
      {"reuse from the start without a group",
       {I(3), I(3)},
       {1, 2, 3, 4, 5},
       "  1  2\r\n  3  4\r\n  5\r\n"},
      {"no empty record when the values end with the layout",
       {lit("a"), I(1), lit("b")},
       {1, 2},
       "a1b\r\na2b\r\n"},
      {"elements before the last group are not reused",
       {lit("v:"), group(2, 2), X(), I(2)},
       {1, 2, 3, 4, 5},
       "v:  1  2\r\n  3  4\r\n  5\r\n"},
      {"nested groups, reuse of the whole last top-level group",
       {lit("<"), group(2, 4), lit("["), group(2, 1), I(1), lit("]"), lit(">")},
       {1, 2, 3, 4, 5, 6, 7, 8, 9},
       "<[12][34]>\r\n[56][78]>\r\n[9\r\n"},
      {"reuse from the last of two top-level groups",
       {group(1, 1), I(1), lit("|"), group(1, 1), I(1)},
       {1, 2, 3, 4},
       "1|2\r\n3\r\n4\r\n"},
      {"a group of count zero is passed over", {group(0, 1), I(1), I(2)}, {5}, " 5\r\n"},
      {"values with nothing to take them", {lit("x")}, {1, 2}, "x\r\n"},
      {"reused part without fields stops the walk",
       {I(2), group(2, 1), lit("-")},
       {1, 2, 3},
       " 1--\r\n"},
      {"a value of the wrong kind leaves its field blank",
       {I(3), lit("|"), F(5, 2), lit("|"), A(2)},
       {"text", 1.5, 3},
       "   | 1.50|  \r\n"},
      {"every field kind",
       {A(5), I(4), F(8, 4), X(), E(20, 15)},
       {"chr1", -12, 0.5, 2.0 / 3.0},
       " chr1 -12  0.5000 .666666666666667E+00\r\n"},
  };
  for (const Case& c : cases) {
    std::string out = "prior\r\n";
    append_layout(out, c.layout, c.values);
    EXPECT_EQ(out, "prior\r\n" + c.want) << c.what;
  }
}

TEST(Layout, RunLogHeaderStyle) {
  const Layout header = {
      // clang-format off
      lit(" max n phenotypes "), I(4), lit(" max n genetic variants "), I(9), brk(),
      brk(), brk(), brk(),
      lit(" cor matrix file =       "), A(15), brk(),
      lit(" p value file =          "), A(15), brk(),
      lit(" format cor matrix =     "), A(3), brk(),
      lit(" number of phenotypes =  "), I(3), brk(),
      lit(" number of snps =        "), I(7), brk(), brk(),
      // clang-format on
      lit(" Eigenvalues of cor matrix:"),
  };
  const Values values = {50, 1, "correlations_of_all_25.txt", "pv.txt", "low", 3, 10000000};
  const auto recs = records(write(header, values));
  const std::vector<std::string> want = {
      " max n phenotypes   50 max n genetic variants         1",
      "",
      "",
      "",
      " cor matrix file =       correlations_of",
      " p value file =                   pv.txt",
      " format cor matrix =     low",
      " number of phenotypes =    3",
      " number of snps =        *******",
      "",
      " Eigenvalues of cor matrix:",
  };
  EXPECT_EQ(recs, want);
  EXPECT_EQ(recs[0].size(), 55u);
  EXPECT_EQ(recs[4].size(), 40u);
}

}  // namespace
}  // namespace kolva
