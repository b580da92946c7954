// Decimal text to doubles, for the R function parse_numbers().
#pragma once

#include <Rcpp.h>

namespace kolva_r {

// x: a character vector. Returns a double vector of its length: each
// element the double nearest to its decimal text (ties to even), as the
// kolva program reads the numbers of its files; NA for NA and for the
// missing words N, NA, NaN (any case) and blank text. Blanks around a
// number are ignored. Stops naming the first element that is not a number.
SEXP parse_numbers(SEXP x);

}  // namespace kolva_r
