// The package's native code for combine() and effective_tests(): the
// p-values and the correlation matrix are handed to libkolva where R keeps
// them (a matrix by its column-major layout, a data.frame by one pointer
// per column), and the results are written straight into R vectors. The R
// functions (R/kolva.R) have checked the argument types; libkolva checks
// the rest and names what is wrong.
#include <R_ext/Rdynload.h>
#include <Rcpp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "files.h"
#include "kolva/kolva.h"
#include "native.h"

namespace {

using kolva_r::check;

// Values handed to the library per call; between calls R is asked whether
// the user interrupted. Enough that starting the threads, and their waiting
// for each other at the end of a call, cost under 0.2 % at every number of
// phenotypes; few enough that an interrupt takes effect within seconds
// (about 4 s at 50 phenotypes on 2 threads).
constexpr std::int64_t kValuesPerCall = std::int64_t{1} << 21;

unsigned flags_of(SEXP as_given) {
  return Rcpp::as<bool>(as_given) ? unsigned{KOLVA_AS_GIVEN} : 0u;
}

// The engine for a double matrix, freed however the call ends.
class Engine {
 public:
  Engine(SEXP corr, unsigned flags) {
    const std::int64_t rows = Rf_nrows(corr);
    const kolva_matrix m{REAL(corr), rows, Rf_ncols(corr), 1, rows};
    check(kolva_engine_create_ex(&m, flags, &e_));
  }
  ~Engine() { kolva_engine_free(e_); }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  const kolva_engine* get() const { return e_; }

 private:
  kolva_engine* e_ = nullptr;
};

// The p-values: a double matrix, or a list of double columns of `rows`
// values each, as one block of the library's.
class Source {
 public:
  // Takes every pointer at once: R's API is not called again.
  Source(SEXP p, std::int64_t rows) {
    const std::int64_t cols = columns_of(p);
    if (Rf_isMatrix(p)) {
      c_ = {KOLVA_DOUBLE, rows, cols, REAL(p), 1, rows, nullptr, nullptr};
    } else {
      for (std::int64_t c = 0; c < cols; ++c) column_.push_back(REAL(VECTOR_ELT(p, c)));
      c_ = {KOLVA_DOUBLE, rows, cols, nullptr, 0, 0, column_.data(), nullptr};
    }
  }
  static std::int64_t columns_of(SEXP p) { return Rf_isMatrix(p) ? Rf_ncols(p) : Rf_xlength(p); }
  const kolva_pvalues* get() const { return &c_; }

 private:
  kolva_pvalues c_{};
  std::vector<const void*> column_;
};

// R's NA where the library gives NaN for "none".
void to_na(Rcpp::NumericVector& x) {
  for (double& v : x)
    if (std::isnan(v)) v = NA_REAL;
}

// The carrying traits of each row with a combined p-value: the names of
// its first j phenotypes in the engine's order, joined by commas; NA
// elsewhere. `order` holds the rows' phenotypes, n a row; `scratch` has
// room for every name and a comma after each.
void name_carriers(const Rcpp::IntegerVector& j, const Rcpp::RawVector& order, int n,
                   const Rcpp::CharacterVector& names, Rcpp::RawVector& scratch,
                   Rcpp::CharacterVector& carrying) {
  char* buf = reinterpret_cast<char*>(scratch.begin());
  const std::int8_t* o = reinterpret_cast<const std::int8_t*>(order.begin());
  for (R_xlen_t r = 0; r < j.size(); ++r) {
    if (j[r] == NA_INTEGER) {
      SET_STRING_ELT(carrying, r, NA_STRING);
      continue;
    }
    std::size_t len = 0;
    for (int a = 0; a < j[r]; ++a) {
      const SEXP name = STRING_ELT(names, o[r * n + a]);
      if (a > 0) buf[len++] = ',';
      std::memcpy(buf + len, CHAR(name), LENGTH(name));
      len += LENGTH(name);
    }
    SET_STRING_ELT(carrying, r, Rf_mkCharLenCE(buf, static_cast<int>(len), CE_UTF8));
  }
}

SEXP combine(SEXP p, SEXP rows_arg, SEXP corr, SEXP threads_arg, SEXP details_arg, SEXP as_given,
             SEXP names) {
  BEGIN_RCPP
  const auto rows = static_cast<std::int64_t>(Rcpp::as<double>(rows_arg));
  const int threads = Rcpp::as<int>(threads_arg);
  const bool details = Rcpp::as<bool>(details_arg);
  const unsigned flags = flags_of(as_given);
  const std::int64_t cols = Source::columns_of(p);
  // R's vectors first: R's own failures skip destructors, so no engine may
  // be alive then.
  Rcpp::NumericVector pv(rows);
  const R_xlen_t kept = details ? rows : 0;
  Rcpp::IntegerVector present(kept), j(kept);
  Rcpp::NumericVector m(kept), mj(kept);
  Rcpp::RawVector order(kept * cols);
  {
    const Source source(p, rows);
    const Engine engine(corr, flags);
    const kolva_results out{pv.begin(),
                            details ? present.begin() : nullptr,
                            details ? j.begin() : nullptr,
                            details ? m.begin() : nullptr,
                            details ? mj.begin() : nullptr,
                            details ? reinterpret_cast<std::int8_t*>(order.begin()) : nullptr,
                            0,
                            0};
    const std::int64_t step =
        std::max<std::int64_t>(1, kValuesPerCall / std::max<std::int64_t>(1, cols));
    // Once even without rows, so that a wrong shape is reported.
    std::int64_t r0 = 0;
    do {
      const std::int64_t count = std::min(step, rows - r0);
      check(kolva_combine_rows(engine.get(), source.get(), r0, count, &out, threads, flags));
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
  const Rcpp::CharacterVector name(names);
  if (name.size() != cols) Rcpp::stop("combine: " + std::to_string(cols) + " names are needed");
  R_xlen_t room = cols;
  for (R_xlen_t c = 0; c < name.size(); ++c) room += LENGTH(STRING_ELT(name, c));
  Rcpp::RawVector scratch(room);
  Rcpp::CharacterVector carrying(rows);
  name_carriers(j, order, static_cast<int>(cols), name, scratch, carrying);
  return Rcpp::List::create(Rcpp::Named("p") = pv, Rcpp::Named("n_present") = present,
                            Rcpp::Named("j") = j, Rcpp::Named("m") = m, Rcpp::Named("mj") = mj,
                            Rcpp::Named("carrying") = carrying);
  END_RCPP
}

SEXP effective_tests(SEXP corr, SEXP as_given) {
  BEGIN_RCPP
  double value;
  {
    const Engine engine(corr, flags_of(as_given));
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
    {"combine", routine(&combine), 7},
    {"effective_tests", routine(&effective_tests), 2},
    {"parse_numbers", routine(&kolva_r::parse_numbers), 1},
    {"run_read", routine(&kolva_r::run_read), 1},
    {"pvals_open", routine(&kolva_r::pvals_open), 4},
    {"pvals_read", routine(&kolva_r::pvals_read), 4},
    {"pvals_close", routine(&kolva_r::pvals_close), 1},
    {nullptr, nullptr, 0},
};

}  // namespace

extern "C" void R_init_kolva(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCalls, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
  R_forceSymbols(dll, TRUE);
}
