// The C interface (kolva/kolva.h) of the engine: arguments checked, each
// failure named in one line of text, nothing thrown across.
#include <cmath>
#include <memory>
#include <string>

#include "api/rows.h"
#include "api/status.h"
#include "combine/statistic.h"
#include "common/chrom.h"
#include "common/cpus.h"
#include "common/formats.h"
#include "kolva/kolva.h"

struct kolva_engine {
  std::unique_ptr<kolva::Statistic> engine;
  double effective_tests;
};

namespace {

using kolva::api::cell;
using kolva::api::guarded;
using kolva::api::Invalid;
using kolva::api::num;

static_assert(KOLVA_MAX_PHENOTYPES == kolva::maxnvara);
static_assert(KOLVA_MISSING == kolva::kMissing);

void check_flags(unsigned flags) {
  if (flags & ~unsigned{KOLVA_AS_GIVEN}) throw Invalid("unknown flags " + num(std::int64_t{flags}));
}

// The matrix checked, into k (column-major, leading dimension kLd).
int checked_matrix(const kolva_matrix* m, bool as_given, double* k) {
  if (!m || !m->data) throw Invalid("correlation matrix: none given");
  if (m->rows != m->cols)
    throw Invalid("correlation matrix is not square: " + num(m->rows) + " rows, " + num(m->cols) +
                  " columns");
  if (m->rows < 1) throw Invalid("correlation matrix is empty: at least 1 phenotype is needed");
  if (m->rows > kolva::maxnvara)
    throw Invalid("correlation matrix has " + num(m->rows) + " phenotypes; at most " +
                  num(std::int64_t{kolva::maxnvara}) + " are allowed");
  const int n = static_cast<int>(m->rows);
  auto at = [m](int i, int j) { return m->data[i * m->row_stride + j * m->col_stride]; };
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const double x = at(i, j);
      if (!std::isfinite(x))
        throw Invalid("correlation matrix: entry at " + cell(i + 1, j + 1) + " is not finite (" +
                      num(x) + ")");
      k[j * kolva::kLd + i] = x;
    }
  for (int j = 0; j < n; ++j)
    for (int i = j + 1; i < n; ++i)
      if (at(i, j) != at(j, i))
        throw Invalid("correlation matrix is not symmetric: " + cell(j + 1, i + 1) + " holds " +
                      num(at(j, i)) + " but " + cell(i + 1, j + 1) + " holds " + num(at(i, j)));
  if (as_given) return n;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const double x = at(i, j);
      if (i == j && x != 1.0)
        throw Invalid("correlation matrix: entry at " + cell(i + 1, j + 1) + " is " + num(x) +
                      "; a correlation matrix has 1 on its diagonal");
      if (x < -1.0 || x > 1.0)
        throw Invalid("correlation matrix: entry at " + cell(i + 1, j + 1) + " is " + num(x) +
                      "; a correlation lies in [-1, 1]");
    }
  return n;
}

void check_combine(const kolva_engine* engine, const kolva_pvalues* p, const kolva_results* out,
                   int threads, unsigned flags) {
  if (!engine) throw Invalid("no engine given");
  if (!p) throw Invalid("p-values: none given");
  if (!out || !out->p) throw Invalid("results: no array for the combined p-values");
  check_flags(flags);
  const int n = engine->engine->nvara();
  if (p->cols != n)
    throw Invalid("p-values have " + num(p->cols) + " columns but the correlation matrix has " +
                  num(std::int64_t{n}) + " phenotypes");
  if (p->rows < 0) throw Invalid("p-values: the number of rows is negative (" + num(p->rows) + ")");
  if (p->element != KOLVA_DOUBLE && p->element != KOLVA_FLOAT)
    throw Invalid("p-values: unknown element type " + num(std::int64_t{p->element}) +
                  " (double or float)");
  if (threads < 0)
    throw Invalid("threads must be 0 (the default) or more, not " + num(std::int64_t{threads}));
  if (p->rows == 0) return;
  if (!p->columns) {
    if (!p->data) throw Invalid("p-values: no data given");
    return;
  }
  for (int c = 0; c < n; ++c)
    if (!p->columns[c]) throw Invalid("p-values: no data for column " + std::to_string(c + 1));
}

// The threads of a call: the one rule (common/cpus.h).
int threads_of(int given) {
  kolva::ThreadChoice t = kolva::threads_for(given);
  if (!t.problem.empty()) throw Invalid(t.problem);
  return t.threads;
}

// A value as the caller gave it: a float shown as a float.
std::string given_value(double x, int element) {
  return element == KOLVA_FLOAT ? kolva::api::num_float(static_cast<float>(x)) : num(x);
}

}  // namespace

extern "C" {

int kolva_engine_create_ex(const kolva_matrix* corr, unsigned flags, kolva_engine** engine) {
  if (engine) *engine = nullptr;
  return guarded([&] {
    if (!engine) throw Invalid("no place given for the engine");
    check_flags(flags);
    auto k = std::make_unique<double[]>(kolva::kLd * kolva::kLd);
    const int n = checked_matrix(corr, flags & KOLVA_AS_GIVEN, k.get());
    auto made = std::make_unique<kolva_engine>();
    made->engine = std::make_unique<kolva::Statistic>(k.get(), n);
    // M of the whole matrix: a variant with every p-value present, in
    // ascending order across the columns.
    made->effective_tests = 1.0;
    if (n >= 2) {
      auto ws = std::make_unique<kolva::BatchCombiner>();
      double v[kolva::maxnvara];
      for (int c = 0; c < n; ++c) v[c] = c + 1.0;
      const double* vp = v;
      made->engine->evaluate(&vp, 1, *ws);
      made->effective_tests = ws->var[0].m;
    }
    *engine = made.release();
  });
}

int kolva_engine_create(const kolva_matrix* corr, kolva_engine** engine) {
  return kolva_engine_create_ex(corr, 0, engine);
}

void kolva_engine_free(kolva_engine* engine) { delete engine; }

int kolva_engine_phenotypes(const kolva_engine* engine) {
  return engine ? engine->engine->nvara() : 0;
}

double kolva_effective_tests(const kolva_engine* engine) {
  return engine ? engine->effective_tests : std::nan("");
}

int kolva_combine_rows(const kolva_engine* engine, const kolva_pvalues* pvalues, std::int64_t first,
                       std::int64_t count, const kolva_results* results, int threads,
                       unsigned flags) {
  return guarded([&] {
    check_combine(engine, pvalues, results, threads, flags);
    if (first < 0 || count < 0 || count > pvalues->rows - first)
      throw Invalid("p-values: " + num(count) + " rows from row " + num(first) +
                    " (from 0) asked for, of " + num(pvalues->rows));
    if (count == 0) return;
    const bool check = !(flags & KOLVA_AS_GIVEN);
    const kolva::api::BadValue bad = kolva::api::combine_all(
        *engine->engine, *pvalues, *results, first, first + count, threads_of(threads), check);
    if (bad.row >= 0)
      throw Invalid("p-values: the value at " + cell(bad.row + 1, bad.col + 1) + " is " +
                    given_value(bad.value, pvalues->element) +
                    "; a p-value lies in [0, 1] (NaN or -9 for a missing one)");
  });
}

int kolva_combine_ex(const kolva_engine* engine, const kolva_pvalues* pvalues,
                     const kolva_results* results, int threads, unsigned flags) {
  return kolva_combine_rows(engine, pvalues, 0, pvalues ? pvalues->rows : 0, results, threads,
                            flags);
}

int kolva_combine(const kolva_engine* engine, const kolva_pvalues* pvalues,
                  const kolva_results* results, int threads) {
  return kolva_combine_ex(engine, pvalues, results, threads, 0);
}

const char* kolva_last_error(void) { return kolva::api::last_error().c_str(); }

int kolva_default_threads(void) {
  int n = -1;
  kolva::api::guarded([&] { n = threads_of(0); });
  return n;
}

const char* kolva_version(void) { return KOLVA_VERSION; }

const char* kolva_chrom_name(int code) {
  return code >= 1 && code <= kolva::kChromCodes ? kolva::kChromNames[code].data() : "";
}

int kolva_chrom_code(const char* field, std::int64_t length, int ssf) {
  if (!field || length < 0) return 0;
  return kolva::chrom_code(std::string_view(field, static_cast<std::size_t>(length)), ssf != 0);
}

}  // extern "C"
