// The files of a run, and single values, read by libkolva: the same
// numbers, missing values and refusals as the kolva program's own reading.
// A library object that lives while R allocates is held by an external
// pointer, so that R's failures, which jump over C++ destructors, leave it
// to the collector instead of losing it.
#include "files.h"

#include <Rcpp.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "kolva/kolva.h"
#include "native.h"

namespace kolva_r {
namespace {

// Lines read from the library at a time, into the reader's own arrays,
// before they go to R's column-major matrix.
constexpr std::int64_t kBlockLines = 4096;

// An open p-value file, the arrays of one block of its lines, and the
// message of the line that stopped the reading.
struct Reader {
  Reader() = default;
  ~Reader() { kolva_pvals_close(file); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  kolva_pvals* file = nullptr;
  int n = 0;
  std::vector<double> p;
  std::vector<char> chrom, id;
  std::string failure;
};

void free_reader(Reader* r) { delete r; }

template <class T, void (*Free)(T*)>
void finalize(SEXP xp) {
  Free(static_cast<T*>(R_ExternalPtrAddr(xp)));
  R_ClearExternalPtr(xp);
}

// An external pointer that frees what it is given (nothing yet).
template <class T, void (*Free)(T*)>
Rcpp::RObject holder() {
  Rcpp::RObject xp(R_MakeExternalPtr(nullptr, R_NilValue, R_NilValue));
  R_RegisterCFinalizerEx(xp, finalize<T, Free>, TRUE);
  return xp;
}

// A field as the program keeps it (blank-padded), without its blanks.
SEXP trimmed(const char* s, int width) {
  int b = 0, e = width;
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  return Rf_mkCharLenCE(s + b, e - b, CE_NATIVE);
}

Rcpp::CharacterVector text_of(const char* s) {
  return s ? Rcpp::CharacterVector::create(s) : Rcpp::CharacterVector::create(NA_STRING);
}

// A rows x n double matrix, also past R's 2^31 - 1 elements of
// allocMatrix.
Rcpp::NumericVector matrix_of(R_xlen_t rows, int n) {
  Rcpp::NumericVector m(Rcpp::no_init(rows * n));
  m.attr("dim") = Rcpp::IntegerVector::create(static_cast<int>(rows), n);
  return m;
}

// A matrix of `rows` rows holding the first `count` rows of m.
Rcpp::NumericVector rows_of(const Rcpp::NumericVector& m, R_xlen_t count, R_xlen_t rows, int n) {
  Rcpp::NumericVector out = matrix_of(rows, n);
  const R_xlen_t from = Rf_nrows(m);
  for (int c = 0; c < n; ++c) std::copy_n(m.begin() + c * from, count, out.begin() + c * rows);
  return out;
}

// `length` strings, the first `count` those of x.
Rcpp::CharacterVector head(const Rcpp::CharacterVector& x, R_xlen_t count, R_xlen_t length) {
  Rcpp::CharacterVector out(length);
  for (R_xlen_t i = 0; i < count; ++i) SET_STRING_ELT(out, i, STRING_ELT(x, i));
  return out;
}

}  // namespace

SEXP parse_numbers(SEXP x) {
  BEGIN_RCPP
  const R_xlen_t n = Rf_xlength(x);
  Rcpp::NumericVector out(Rcpp::no_init(n));
  for (R_xlen_t i = 0; i < n; ++i) {
    const SEXP s = STRING_ELT(x, i);
    double v = NA_REAL;
    if (s != NA_STRING && kolva_parse_value(CHAR(s), LENGTH(s), &v) != KOLVA_OK)
      Rcpp::stop("x[" + std::to_string(i + 1) + "]: " + kolva_last_error());
    out[i] = std::isnan(v) ? NA_REAL : v;
  }
  return out;
  END_RCPP
}

SEXP run_read(SEXP folder) {
  BEGIN_RCPP
  Rcpp::RObject xp = holder<kolva_run, kolva_run_free>();
  kolva_run* run = nullptr;
  check(kolva_run_read(CHAR(STRING_ELT(folder, 0)), &run));
  R_SetExternalPtrAddr(xp, run);
  const int n = run->phenotypes;
  Rcpp::CharacterVector names(n);
  for (int i = 0; i < n; ++i) names[i] = run->names[i];
  Rcpp::NumericMatrix corr(n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) corr(i, j) = run->corr_matrix[i * n + j];
  corr.attr("dimnames") = Rcpp::List::create(names, names);
  const Rcpp::List paths = Rcpp::List::create(
      Rcpp::Named("defdims") = text_of(run->defdims), Rcpp::Named("pvals") = text_of(run->pvals),
      Rcpp::Named("corr") = text_of(run->corr), Rcpp::Named("results") = text_of(run->results),
      Rcpp::Named("names") = text_of(run->names_file));
  const Rcpp::List out = Rcpp::List::create(
      Rcpp::Named("names") = names, Rcpp::Named("corr") = corr,
      Rcpp::Named("variants") = static_cast<double>(run->variants),
      Rcpp::Named("layout") = run->full_layout ? "full" : "lower", Rcpp::Named("paths") = paths,
      Rcpp::Named("corr_beyond_line") =
          run->corr_beyond_line ? static_cast<double>(run->corr_beyond_line) : NA_REAL);
  finalize<kolva_run, kolva_run_free>(xp);
  return out;
  END_RCPP
}

SEXP pvals_open(SEXP path, SEXP phenotypes, SEXP max_lines, SEXP first_n) {
  BEGIN_RCPP
  const int n = Rcpp::as<int>(phenotypes);
  Rcpp::RObject xp = holder<Reader, free_reader>();
  auto* r = new Reader;
  R_SetExternalPtrAddr(xp, r);
  check(kolva_pvals_open(CHAR(STRING_ELT(path, 0)), n,
                         static_cast<std::int64_t>(Rcpp::as<double>(max_lines)),
                         Rcpp::as<bool>(first_n) ? unsigned{KOLVA_FIRST_N} : 0u, &r->file));
  r->n = n;
  r->p.resize(kBlockLines * n);
  r->chrom.resize(kBlockLines * KOLVA_CHROM_CHARS);
  r->id.resize(kBlockLines * KOLVA_ID_CHARS);
  return xp;
  END_RCPP
}

SEXP pvals_read(SEXP reader, SEXP lines_arg, SEXP expect_arg, SEXP names) {
  BEGIN_RCPP
  auto* r = static_cast<Reader*>(R_ExternalPtrAddr(reader));
  if (!r) Rcpp::stop("the p-value file has been closed");
  const auto lines = static_cast<R_xlen_t>(Rcpp::as<double>(lines_arg));
  const int n = r->n;
  const double first = static_cast<double>(kolva_pvals_line(r->file)) + 1;
  R_xlen_t room =
      std::min(lines, std::max<R_xlen_t>(1, static_cast<R_xlen_t>(Rcpp::as<double>(expect_arg))));
  Rcpp::NumericVector p = matrix_of(room, n);
  Rcpp::CharacterVector chrom(room), id(room);
  R_xlen_t got = 0;
  r->failure.clear();
  while (got < lines) {
    if (got == room) {  // twice the room, up to the lines asked for
      room = std::min(lines, 2 * room);
      p = rows_of(p, got, room, n);
      chrom = head(chrom, got, room);
      id = head(id, got, room);
    }
    const std::int64_t want = std::min<std::int64_t>(kBlockLines, room - got);
    std::int64_t g = 0;
    const int status =
        kolva_pvals_read(r->file, want, r->chrom.data(), r->id.data(), r->p.data(), &g);
    double* to = p.begin();
    for (std::int64_t i = 0; i < g; ++i, ++got) {
      SET_STRING_ELT(chrom, got, trimmed(&r->chrom[i * KOLVA_CHROM_CHARS], KOLVA_CHROM_CHARS));
      SET_STRING_ELT(id, got, trimmed(&r->id[i * KOLVA_ID_CHARS], KOLVA_ID_CHARS));
      for (int c = 0; c < n; ++c) {
        const double v = r->p[i * n + c];
        to[got + c * room] = std::isnan(v) ? NA_REAL : v;
      }
    }
    if (status != KOLVA_OK) {
      r->failure = kolva_last_error();
      break;
    }
    if (g < want) break;
    Rcpp::checkUserInterrupt();
  }
  if (got < room) {  // the lines read alone
    p = rows_of(p, got, got, n);
    chrom = head(chrom, got, got);
    id = head(id, got, got);
  }
  if (!Rf_isNull(names)) p.attr("dimnames") = Rcpp::List::create(R_NilValue, names);
  return Rcpp::List::create(
      Rcpp::Named("first") = first, Rcpp::Named("chrom") = chrom, Rcpp::Named("id") = id,
      Rcpp::Named("p") = p,
      Rcpp::Named("error") = r->failure.empty() ? R_NilValue : Rcpp::wrap(r->failure));
  END_RCPP
}

SEXP pvals_close(SEXP reader) {
  finalize<Reader, free_reader>(reader);
  return R_NilValue;
}

}  // namespace kolva_r
