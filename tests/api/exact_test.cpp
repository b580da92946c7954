// libkolva against the program: generated studies at 2, 5, 20 and 50
// phenotypes run through kolva, their p-values combined through the
// library in every form it reads them (strided and by column, double and
// float, missing as NaN and as -9, one and two threads); every combined
// value printed to 15 digits is the program's field, and j, M, M(j) and
// the order are the plain evaluation's.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "kolva/kolva.hpp"
#include "reference/reference.h"
#include "support/numbers.h"
#include "support/run_binary.h"
#include "textio/fields.h"

namespace kolva {
namespace {

using testing::same;

// A study as the program saw it and what it wrote.
struct Study {
  int n = 0;
  std::vector<double> corr;        // n x n, row-major
  std::vector<double> p;           // rows x n, row-major; -9 missing
  std::vector<int> present;        // the program's count per variant
  std::vector<std::string> field;  // its combined value, 20 characters ("" when none)
  std::size_t rows() const { return present.size(); }
};

double number(std::string_view s) {
  if (s == "NA") return kMissing;
  double x = 0;
  std::from_chars(s.data(), s.data() + s.size(), x);
  return x;
}

// Generates a study, with every p-value rounded to float when `as_float`
// (written so that the program reads exactly that value), and runs kolva.
Study run_study(int n, int variants, bool as_float) {
  testing::TempDir dir;
  const std::string gen = (std::filesystem::path(KOLVA_BIN).parent_path() / "kolva_gen").string();
  const std::string cmd = gen + " " + dir.path().string() + " phenotypes=" + std::to_string(n) +
                          " variants=" + std::to_string(variants) +
                          " seed=11 missing=0.03 signals=0.01";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  Study s;
  s.n = n;
  s.corr.assign(n * n, 0.0);
  std::istringstream corr(dir.read("corr.txt").value());
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) {
      std::string w;
      corr >> w;
      s.corr[i * n + j] = s.corr[j * n + i] = number(w);
    }
  std::istringstream pv(dir.read("pvals.txt").value());
  std::string line, out;
  while (std::getline(pv, line)) {
    std::istringstream f(line);
    std::string chrom, id, w;
    f >> chrom >> id;
    out += chrom + " " + id;
    for (int c = 0; c < n; ++c) {
      f >> w;
      double x = number(w);
      if (as_float && x != kMissing) {
        x = static_cast<float>(x);
        char buf[32];
        w.assign(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
      }
      s.p.push_back(x);
      out += " " + w;
    }
    out += "\n";
  }
  dir.write("pvals.txt", out);
  EXPECT_EQ(testing::run_kolva(dir).status, 0);
  std::istringstream res(dir.read("results.txt").value());
  while (std::getline(res, line)) {
    s.present.push_back(std::stoi(line.substr(41, 3)));
    s.field.push_back(line.size() > 60 ? line.substr(45, 20) : "");
  }
  EXPECT_EQ(s.rows(), static_cast<std::size_t>(variants));
  return s;
}

struct Shape {
  int phenotypes;
  int variants;
};

const Study& study(Shape sh, bool as_float) {
  static std::map<std::pair<int, bool>, Study> made;
  auto it = made.find({sh.phenotypes, as_float});
  if (it == made.end())
    it = made.emplace(std::pair{sh.phenotypes, as_float},
                      run_study(sh.phenotypes, sh.variants, as_float))
             .first;
  return it->second;
}

// How the library is handed the p-values.
enum class Layout { row_major_padded, column_major, by_column };

struct Form {
  const char* name;
  Layout layout;
  bool as_float;
  bool nan_missing;  // missing as NaN, else as -9
  int threads;
};

// The study's p-values in the form, kept alive with the view.
template <class T>
struct Held {
  std::vector<T> data;
  std::vector<const T*> columns;
  PValues view = PValues::row_major(static_cast<const T*>(nullptr), 0, 0);
};

template <class T>
std::unique_ptr<Held<T>> hold(const Study& s, const Form& f) {
  auto h = std::make_unique<Held<T>>();
  const auto rows = static_cast<std::int64_t>(s.rows());
  const int n = s.n;
  const std::int64_t ld = f.layout == Layout::row_major_padded ? n + 3 : n;
  h->data.assign(static_cast<std::size_t>(rows * ld), T(0.5));
  for (std::int64_t r = 0; r < rows; ++r)
    for (int c = 0; c < n; ++c) {
      double x = s.p[r * n + c];
      if (x == kMissing && f.nan_missing) x = std::nan("");
      const std::int64_t at = f.layout == Layout::row_major_padded ? r * ld + c : c * rows + r;
      h->data[static_cast<std::size_t>(at)] = static_cast<T>(x);
    }
  if (f.layout == Layout::row_major_padded) {
    h->view = PValues::strided(h->data.data(), rows, n, ld, 1);
  } else if (f.layout == Layout::column_major) {
    h->view = PValues::column_major(h->data.data(), rows, n);
  } else {
    for (int c = 0; c < n; ++c) h->columns.push_back(h->data.data() + c * rows);
    h->view = PValues::by_column(h->columns.data(), rows, n);
  }
  return h;
}

void PrintTo(const Shape& s, std::ostream* os) { *os << s.phenotypes << " x " << s.variants; }
void PrintTo(const Form& f, std::ostream* os) { *os << f.name; }

class Exact : public ::testing::TestWithParam<std::tuple<Shape, Form>> {};

TEST_P(Exact, EveryValueIsTheProgramsAndThePlainEvaluations) {
  const auto [shape, form] = GetParam();
  const Study& s = study(shape, form.as_float);
  const int n = s.n;
  const std::size_t rows = s.rows();
  const Engine corr(s.corr, n);

  std::vector<double> p(rows), m(rows), mj(rows);
  std::vector<std::int32_t> present(rows), j(rows);
  std::vector<std::int8_t> order(rows * n);
  Results out{p.data(), present.data(), j.data(), m.data(), mj.data(), order.data()};
  if (form.as_float) {
    auto h = hold<float>(s, form);
    corr.combine(h->view, out, form.threads);
  } else {
    auto h = hold<double>(s, form);
    corr.combine(h->view, out, form.threads);
  }

  double k[kLd * kLd];
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < n; ++c) k[c * kLd + i] = s.corr[i * n + c];
  auto plain = std::make_unique<Combiner>();
  for (std::size_t r = 0; r < rows; ++r) {
    SCOPED_TRACE(::testing::Message() << "variant " << r + 1);
    ASSERT_EQ(present[r], s.present[r]);
    if (s.field[r].empty()) {
      ASSERT_TRUE(std::isnan(p[r]) && std::isnan(m[r]) && std::isnan(mj[r]) && j[r] == 0);
      continue;
    }
    char printed[21] = {};
    put_exp(printed, 20, 15, p[r]);
    ASSERT_EQ(std::string(printed), s.field[r]);

    // The plain evaluation, for M, the attaining block and the order.
    const double want = combine_reference(k, n, &s.p[r * n], *plain);
    ASSERT_TRUE(same(p[r], want));
    ASSERT_TRUE(same(m[r], plain->m));
    int at = 0;
    double best = kNoAdjusted;
    for (int a = 0; a < plain->n; ++a)
      if ((plain->m / plain->mj[a]) * plain->sorted[a] < best) {
        best = (plain->m / plain->mj[a]) * plain->sorted[a];
        at = a + 1;
      }
    ASSERT_EQ(j[r], at);
    ASSERT_TRUE(same(mj[r], at > 0 ? plain->mj[at - 1] : std::nan("")));
    for (int a = 0; a < n; ++a)
      ASSERT_EQ(order[r * n + a], a < plain->n ? plain->sel[plain->perm[a] - 1] - 1 : -1) << a;
  }

  // M of the whole matrix: every p-value present, ascending by column.
  std::vector<double> ascending(n);
  for (int c = 0; c < n; ++c) ascending[c] = (c + 1.0) / (n + 1.0);
  combine_reference(k, n, ascending.data(), *plain);
  EXPECT_TRUE(same(corr.effective_tests(), n == 1 ? 1.0 : plain->m));
}

const Form kForms[] = {
    {"row_major_padded_double_m9_t1", Layout::row_major_padded, false, false, 1},
    {"column_major_double_nan_t2", Layout::column_major, false, true, 2},
    {"by_column_double_nan_t1", Layout::by_column, false, true, 1},
    {"row_major_padded_float_nan_t2", Layout::row_major_padded, true, true, 2},
    {"column_major_float_m9_t1", Layout::column_major, true, false, 1},
    {"by_column_float_m9_t2", Layout::by_column, true, false, 2},
};

INSTANTIATE_TEST_SUITE_P(Studies, Exact,
                         ::testing::Combine(::testing::Values(Shape{2, 6000}, Shape{5, 3000},
                                                              Shape{20, 600}, Shape{50, 120}),
                                            ::testing::ValuesIn(kForms)),
                         [](const auto& info) {
                           return "p" + std::to_string(std::get<0>(info.param).phenotypes) + "_" +
                                  std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace kolva
