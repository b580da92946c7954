// The C interface (kolva/kolva.h): arguments checked, each failure named
// in one line of text, nothing thrown across.
#include <charconv>
#include <cmath>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "api/rows.h"
#include "combine/statistic.h"
#include "common/cpus.h"
#include "kolva/kolva.h"

struct kolva_engine {
  std::unique_ptr<kolva::Statistic> engine;
  double effective_tests;
};

namespace {

static_assert(KOLVA_MAX_PHENOTYPES == kolva::maxnvara);
static_assert(KOLVA_MISSING == kolva::kMissing);

thread_local std::string last_error;

// A failure the caller can mend: its message, for KOLVA_INVALID.
struct Invalid : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

std::string num(double x) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, x);
  return std::string(buf, r.ptr);
}

std::string num(std::int64_t x) { return std::to_string(x); }

// Runs f, turning what it throws into a status and a message.
template <class F>
int guarded(F f) {
  try {
    f();
    return KOLVA_OK;
  } catch (const Invalid& e) {
    last_error = e.what();
    return KOLVA_INVALID;
  } catch (const std::bad_alloc&) {
    last_error = "out of memory";
    return KOLVA_NO_MEMORY;
  } catch (const std::exception& e) {
    last_error = e.what();
    return KOLVA_FAILED;
  } catch (...) {
    last_error = "unknown failure";
    return KOLVA_FAILED;
  }
}

// The matrix checked, into k (column-major, leading dimension kLd).
int checked_matrix(const kolva_matrix* m, double* k) {
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
  auto where = [](int i, int j) {
    return "row " + std::to_string(i + 1) + ", column " + std::to_string(j + 1);
  };
  for (int j = 0; j < n; ++j)
    for (int i = 0; i < n; ++i) {
      const double x = at(i, j);
      if (!std::isfinite(x))
        throw Invalid("correlation matrix: entry at " + where(i, j) + " is not finite (" + num(x) +
                      ")");
      k[j * kolva::kLd + i] = x;
    }
  for (int j = 0; j < n; ++j)
    for (int i = j + 1; i < n; ++i)
      if (at(i, j) != at(j, i))
        throw Invalid("correlation matrix is not symmetric: " + where(j, i) + " holds " +
                      num(at(j, i)) + " but " + where(i, j) + " holds " + num(at(i, j)));
  return n;
}

void check_combine(const kolva_engine* engine, const kolva_pvalues* p, const kolva_results* out,
                   int threads) {
  if (!engine) throw Invalid("no engine given");
  if (!p) throw Invalid("p-values: none given");
  if (!out || !out->p) throw Invalid("results: no array for the combined p-values");
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

}  // namespace

extern "C" {

int kolva_engine_create(const kolva_matrix* corr, kolva_engine** engine) {
  if (engine) *engine = nullptr;
  return guarded([&] {
    if (!engine) throw Invalid("no place given for the engine");
    auto k = std::make_unique<double[]>(kolva::kLd * kolva::kLd);
    const int n = checked_matrix(corr, k.get());
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

void kolva_engine_free(kolva_engine* engine) { delete engine; }

int kolva_engine_phenotypes(const kolva_engine* engine) {
  return engine ? engine->engine->nvara() : 0;
}

double kolva_effective_tests(const kolva_engine* engine) {
  return engine ? engine->effective_tests : std::nan("");
}

int kolva_combine(const kolva_engine* engine, const kolva_pvalues* pvalues,
                  const kolva_results* results, int threads) {
  return guarded([&] {
    check_combine(engine, pvalues, results, threads);
    if (pvalues->rows == 0) return;
    kolva::api::combine_all(*engine->engine, *pvalues, *results,
                            threads == 0 ? kolva::default_threads() : threads);
  });
}

const char* kolva_last_error(void) { return last_error.c_str(); }

int kolva_default_threads(void) { return kolva::capped_threads(kolva::default_threads()); }

const char* kolva_version(void) { return KOLVA_VERSION; }

}  // extern "C"
