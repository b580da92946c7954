// The package's native code: the p-values and the correlation matrix are
// handed to libkolva where R keeps them (a matrix by its column-major
// layout, a data.frame by one pointer per column), and the results are
// written straight into R vectors. The R functions (R/kolva.R) have checked
// the argument types; libkolva checks the rest and names what is wrong.
#include <R_ext/Rdynload.h>
#include <Rcpp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kolva/kolva.h"
#include "numbers.h"

namespace {

// Values handed to the library per call; between calls R is asked whether
// the user interrupted. Enough that starting the threads, and their waiting
// for each other at the end of a call, cost under 0.2 % at every number of
// phenotypes; few enough that an interrupt takes effect within seconds
// (about 4 s at 50 phenotypes on 2 threads).
constexpr std::int64_t kValuesPerCall = std::int64_t{1} << 21;

// Stops with the library's message of its last failure.
void check(int status) {
  if (status != KOLVA_OK) Rcpp::stop(kolva_last_error());
}

// The engine for a double matrix, freed however the call ends.
class Engine {
 public:
  explicit Engine(SEXP corr) {
    const std::int64_t rows = Rf_nrows(corr);
    const kolva_matrix m{REAL(corr), rows, Rf_ncols(corr), 1, rows};
    check(kolva_engine_create(&m, &e_));
  }
  ~Engine() { kolva_engine_free(e_); }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  const kolva_engine* get() const { return e_; }

 private:
  kolva_engine* e_ = nullptr;
};

// The p-values: a double matrix, or a list of double columns of `rows`
// values each.
class Source {
 public:
  // Takes every pointer at once: R's API is not called again.
  Source(SEXP p, std::int64_t rows) : matrix_(Rf_isMatrix(p)), rows_(rows) {
    cols_ = matrix_ ? Rf_ncols(p) : Rf_xlength(p);
    if (matrix_)
      data_ = REAL(p);
    else
      for (std::int64_t c = 0; c < cols_; ++c) column_.push_back(REAL(VECTOR_ELT(p, c)));
    at_.resize(column_.size());
  }
  std::int64_t cols() const { return cols_; }

  // Rows r0 .. r0 + count - 1, read where they lie.
  kolva_pvalues rows(std::int64_t r0, std::int64_t count) {
    if (matrix_) return {KOLVA_DOUBLE, count, cols_, data_ + r0, 1, rows_, nullptr, nullptr};
    for (std::size_t c = 0; c < column_.size(); ++c) at_[c] = column_[c] + r0;
    return {KOLVA_DOUBLE, count, cols_, nullptr, 0, 0, at_.data(), nullptr};
  }

 private:
  bool matrix_;
  const double* data_ = nullptr;
  std::int64_t rows_, cols_ = 0;
  std::vector<const double*> column_;
  std::vector<const void*> at_;
};

// R's NA where the library gives NaN for "none".
void to_na(Rcpp::NumericVector& x) {
  for (double& v : x)
    if (std::isnan(v)) v = NA_REAL;
}

SEXP combine(SEXP p, SEXP rows_arg, SEXP corr, SEXP threads_arg, SEXP details_arg) {
  BEGIN_RCPP
  const auto rows = static_cast<std::int64_t>(Rcpp::as<double>(rows_arg));
  const int threads = Rcpp::as<int>(threads_arg);
  const bool details = Rcpp::as<bool>(details_arg);
  // R's vectors first: R's own failures skip destructors, so no engine may
  // be alive then.
  Rcpp::NumericVector pv(rows);
  Rcpp::IntegerVector present(details ? rows : 0), j(details ? rows : 0);
  Rcpp::NumericVector m(details ? rows : 0), mj(details ? rows : 0);
  {
    Source source(p, rows);
    const Engine engine(corr);
    const std::int64_t step =
        std::max<std::int64_t>(1, kValuesPerCall / std::max<std::int64_t>(1, source.cols()));
    // Once even without rows, so that a wrong shape is reported.
    std::int64_t r0 = 0;
    do {
      const std::int64_t count = std::min(step, rows - r0);
      const kolva_pvalues in = source.rows(r0, count);
      kolva_results out{pv.begin() + r0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0};
      if (details) {
        out.present = present.begin() + r0;
        out.j = j.begin() + r0;
        out.m = m.begin() + r0;
        out.mj = mj.begin() + r0;
      }
      check(kolva_combine(engine.get(), &in, &out, threads));
      Rcpp::checkUserInterrupt();
      r0 += count;
    } while (r0 < rows);
  }
  to_na(pv);
  if (!details) return pv;
  to_na(m);
  to_na(mj);
  for (int& v : j)
    if (v == 0) v = NA_INTEGER;
  return Rcpp::List::create(Rcpp::Named("p") = pv, Rcpp::Named("n_present") = present,
                            Rcpp::Named("j") = j, Rcpp::Named("m") = m, Rcpp::Named("mj") = mj);
  END_RCPP
}

SEXP effective_tests(SEXP corr) {
  BEGIN_RCPP
  double value;
  {
    const Engine engine(corr);
    value = kolva_effective_tests(engine.get());
  }
  return Rcpp::wrap(value);
  END_RCPP
}

// R's table of routines holds every one as DL_FUNC (through void (*)(), the
// type a function pointer may pass through without a warning).
template <class F>
DL_FUNC routine(F* f) {
  return reinterpret_cast<DL_FUNC>(reinterpret_cast<void (*)()>(f));
}

const R_CallMethodDef kCalls[] = {
    {"combine", routine(&combine), 5},
    {"effective_tests", routine(&effective_tests), 1},
    {"parse_numbers", routine(&kolva_r::parse_numbers), 1},
    {nullptr, nullptr, 0},
};

}  // namespace

extern "C" void R_init_kolva(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCalls, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
  R_forceSymbols(dll, TRUE);
}
