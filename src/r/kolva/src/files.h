// The files of a run and single values, read by libkolva as the kolva
// program reads them, for the R functions of R/files.R.
#pragma once

#include <Rcpp.h>

namespace kolva_r {

// x: a character vector. A double vector of its length, each element read
// by kolva_parse_value; NA for NA, blank text and the missing words and
// -9. Stops naming the first element that is not a value.
SEXP parse_numbers(SEXP x);

// folder: a path. The run folder as a list: names, corr (n x n, with the
// names as dimnames), variants, layout ("full" or "lower"), paths (defdims,
// pvals, corr, results, names; names NA when phenotypes.txt is absent) and
// corr_beyond_line (NA or the line of the first value the layout does not
// need). Stops with the library's message.
SEXP run_read(SEXP folder);

// A p-value file opened for reading lines of `phenotypes` values, at most
// `max_lines` (-1: all), a longer line read as its first n when first_n
// is TRUE: an external pointer, closed by pvals_close or the collector.
SEXP pvals_open(SEXP path, SEXP phenotypes, SEXP max_lines, SEXP first_n);

// Up to `lines` further lines, room made for `expect` of them first (and
// twice as many each time it is full): list(first = the line number of the
// first, chrom, id (character, their blanks trimmed), p = a lines x n
// matrix, NA where missing, with `names` (NULL or n) as column names,
// error = NULL or the library's message of the line that stopped the
// reading, after the lines before it).
SEXP pvals_read(SEXP reader, SEXP lines, SEXP expect, SEXP names);

SEXP pvals_close(SEXP reader);

}  // namespace kolva_r
