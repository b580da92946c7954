// libkolva refuses what breaks its contract with one line that says what,
// the same through the C++ exception and the C status and message.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "kolva/kolva.hpp"

namespace kolva {
namespace {

struct BadMatrix {
  const char* name;
  std::vector<double> data;
  std::int64_t rows, cols;
  const char* message;
};

void PrintTo(const BadMatrix& b, std::ostream* os) { *os << b.name; }

std::vector<double> identity(int n) {
  std::vector<double> m(n * n, 0.0);
  for (int i = 0; i < n; ++i) m[i * n + i] = 1.0;
  return m;
}

class Refused : public ::testing::TestWithParam<BadMatrix> {};

TEST_P(Refused, WithItsMessageInBothInterfaces) {
  const BadMatrix& b = GetParam();
  try {
    Engine c(b.data.data(), b.rows, b.cols, b.cols, 1);
    FAIL() << "accepted";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()), b.message);
  }
  const kolva_matrix m{b.data.data(), b.rows, b.cols, b.cols, 1};
  int mark = 0;
  kolva_engine* e = reinterpret_cast<kolva_engine*>(&mark);
  EXPECT_EQ(kolva_engine_create(&m, &e), KOLVA_INVALID);
  EXPECT_EQ(e, nullptr);
  EXPECT_EQ(std::string(kolva_last_error()), b.message);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Matrices, Refused,
    ::testing::Values(
        BadMatrix{"not_square", identity(3), 2, 3,
                  "correlation matrix is not square: 2 rows, 3 columns"},
        BadMatrix{"empty", identity(1), 0, 0,
                  "correlation matrix is empty: at least 1 phenotype is needed"},
        BadMatrix{"too_many", identity(51), 51, 51,
                  "correlation matrix has 51 phenotypes; at most 50 are allowed"},
        BadMatrix{"nan",
                  {1, 0.2, kNaN, 1},
                  2,
                  2,
                  "correlation matrix: entry at row 2, column 1 is not finite (nan)"},
        BadMatrix{"infinite",
                  {1, 0.2, 0.2, 1, 0.1, 0.1, 0.1, 0.1, -kInf},
                  3,
                  3,
                  "correlation matrix: entry at row 3, column 3 is not finite (-inf)"},
        BadMatrix{"asymmetric",
                  {1, 0.5, 0.1, 0.4, 1, 0.2, 0.1, 0.2, 1},
                  3,
                  3,
                  "correlation matrix is not symmetric: row 1, column 2 holds 0.5 but row 2, "
                  "column 1 holds 0.4"},
        BadMatrix{"none", {}, 2, 2, "correlation matrix: none given"},
        BadMatrix{"above_one",
                  {1, 5, 5, 1},
                  2,
                  2,
                  "correlation matrix: entry at row 1, column 2 is 5; a correlation lies in "
                  "[-1, 1]"},
        BadMatrix{"diagonal",
                  {1, 0.2, 0.2, 2},
                  2,
                  2,
                  "correlation matrix: entry at row 2, column 2 is 2; a correlation matrix has "
                  "1 on its diagonal"}),
    [](const auto& info) { return std::string(info.param.name); });

// Bad arguments to combine, each refused before any output is written.
TEST(Refused, CombineArguments) {
  const Engine c({1, 0.3, 0.3, 1}, 2);
  const double p[6] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6};
  double out[3] = {7, 7, 7};
  Results r;
  r.p = out;
  struct Bad {
    PValues view;
    Results results;
    int threads;
    const char* message;
  };
  const Bad bad[] = {
      {PValues::row_major(p, 2, 3), r, 0,
       "p-values have 3 columns but the correlation matrix has 2 phenotypes"},
      {PValues::row_major(p, -1, 2), r, 0, "p-values: the number of rows is negative (-1)"},
      {PValues::row_major(static_cast<const double*>(nullptr), 3, 2), r, 0,
       "p-values: no data given"},
      {PValues::row_major(p, 3, 2), Results{}, 0, "results: no array for the combined p-values"},
      {PValues::row_major(p, 3, 2), r, -1, "threads must be 0 (the default) or more, not -1"},
  };
  for (const Bad& b : bad) {
    try {
      c.combine(b.view, b.results, b.threads);
      ADD_FAILURE() << "accepted: " << b.message;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), b.message);
    }
    EXPECT_EQ(out[0], 7);
  }
  EXPECT_EQ(c.combine(PValues::row_major(p, 0, 2)).size(), 0u);
}

// Values no p-value or correlation can have: refused naming the first in
// row order, whatever the thread count and the element type; taken as
// given with as_given, as the program takes its files' values.
TEST(Refused, ImpossibleValuesUnlessAsGiven) {
  struct Case {
    int row, col;  // from 0
    double value;
    const char* shown;
  };
  const Case cases[] = {
      {0, 1, -0.2, "-0.2"}, {700, 0, 1.5, "1.5"}, {999, 1, kInf, "inf"}, {3, 0, -9.5, "-9.5"}};
  const std::vector<double> corr = {1, 0.3, 0.3, 1};
  const Engine e(corr, 2);
  for (const Case& c : cases) {
    std::vector<double> p(2000, 0.5);
    p[c.row * 2 + c.col] = c.value;
    if (c.row + 300 < 1000) p[(c.row + 300) * 2 + 1] = 3;  // a later one, never named
    std::vector<float> pf(p.begin(), p.end());
    const std::string message = "p-values: the value at row " + std::to_string(c.row + 1) +
                                ", column " + std::to_string(c.col + 1) + " is " + c.shown +
                                "; a p-value lies in [0, 1] (NaN or -9 for a missing one)";
    for (int threads : {1, 3})
      for (bool as_float : {false, true}) {
        SCOPED_TRACE(message + (as_float ? " (float)" : "") + " threads " +
                     std::to_string(threads));
        const PValues view = as_float ? PValues::row_major(pf.data(), 1000, 2)
                                      : PValues::row_major(p.data(), 1000, 2);
        try {
          e.combine(view, threads);
          ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& x) {
          EXPECT_EQ(std::string(x.what()), message);
        }
        EXPECT_EQ(e.combine(view, threads, true).size(), 1000u);
      }
  }
  // Missing values pass the checks.
  const double missing[4] = {std::nan(""), -9, 0, 1};
  EXPECT_EQ(e.combine(PValues::row_major(missing, 2, 2)).size(), 2u);
  // A matrix no correlation matrix can be, as given.
  EXPECT_NO_THROW(Engine({2, 5, 5, 2}, 2, true));
}

// A table handed over in parts: each part's results at its own rows, the
// same as the whole table's, and a bad value named by its row in the table.
TEST(Refused, PartsOfATableNameTheTablesRow) {
  const Engine c({1, 0.3, 0.3, 1}, 2);
  std::vector<double> p(2 * 600);
  for (std::size_t i = 0; i < p.size(); ++i) p[i] = (i % 97 + 1) / 101.0;
  const kolva_pvalues pv{KOLVA_DOUBLE, 600, 2, p.data(), 2, 1, nullptr, nullptr};
  const std::vector<double> whole = c.combine(PValues::row_major(p.data(), 600, 2));
  std::vector<double> parts(600, 7);
  const kolva_results r{parts.data(), nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0};
  for (const std::int64_t part : {0, 1, 2})
    ASSERT_EQ(kolva_combine_rows(c.handle(), &pv, part * 250, part < 2 ? 250 : 100, &r, 2, 0),
              KOLVA_OK);
  EXPECT_EQ(parts, whole);
  p[2 * 450 + 1] = 1.5;
  EXPECT_EQ(kolva_combine_rows(c.handle(), &pv, 300, 300, &r, 2, 0), KOLVA_INVALID);
  EXPECT_STREQ(kolva_last_error(),
               "p-values: the value at row 451, column 2 is 1.5; a p-value lies in [0, 1] (NaN "
               "or -9 for a missing one)");
  EXPECT_EQ(kolva_combine_rows(c.handle(), &pv, 0, 300, &r, 1, 0), KOLVA_OK);
  EXPECT_EQ(kolva_combine_rows(c.handle(), &pv, 500, 101, &r, 1, 0), KOLVA_INVALID);
  EXPECT_STREQ(kolva_last_error(), "p-values: 101 rows from row 500 (from 0) asked for, of 600");
}

}  // namespace
}  // namespace kolva
