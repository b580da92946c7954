// Decimal text to the nearest double. R's readers (scan, read.table,
// fread) round about one decimal in 4,000 to a neighbouring double, so
// numbers read through them can give combined p-values that differ from
// the program's in their last bits; text converted here cannot.
#include "numbers.h"

#include <Rcpp.h>

#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kolva_r {
namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// N, NA or NaN, any case.
bool missing_word(std::string_view t) {
  auto is = [&](std::size_t i, char lower) { return (t[i] | 0x20) == lower; };
  return (t.size() == 1 && is(0, 'n')) || (t.size() == 2 && is(0, 'n') && is(1, 'a')) ||
         (t.size() == 3 && is(0, 'n') && is(1, 'a') && is(2, 'n'));
}

double number(std::string_view t, R_xlen_t i) {
  while (!t.empty() && blank(t.front())) t.remove_prefix(1);
  while (!t.empty() && blank(t.back())) t.remove_suffix(1);
  if (t.empty() || missing_word(t)) return NA_REAL;
  // from_chars takes no '+'.
  std::string_view digits = t;
  if (digits.front() == '+' && digits.size() > 1 && digits[1] != '-') digits.remove_prefix(1);
  double v = 0;
  const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (r.ptr != digits.data() + digits.size() || r.ec == std::errc::invalid_argument)
    Rcpp::stop("x[" + std::to_string(i + 1) + "] is not a number: \"" + std::string(t) + "\"");
  // Beyond the range of a double: infinity or zero, as strtod gives them.
  if (r.ec == std::errc::result_out_of_range) v = std::strtod(std::string(digits).c_str(), nullptr);
  return v;
}

}  // namespace

SEXP parse_numbers(SEXP x) {
  BEGIN_RCPP
  const R_xlen_t n = Rf_xlength(x);
  Rcpp::NumericVector out(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const SEXP s = STRING_ELT(x, i);
    out[i] = s == NA_STRING ? NA_REAL : number(CHAR(s), i);
  }
  return out;
  END_RCPP
}

}  // namespace kolva_r
