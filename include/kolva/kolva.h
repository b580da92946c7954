/* kolva: combined association p-values over correlated phenotypes, as a
 * library. The C interface, for programs in C and for language bindings.
 *
 * An engine is made once from the n x n phenotype correlation matrix
 * (1 <= n <= KOLVA_MAX_PHENOTYPES); it then combines the p-values of any
 * number of variants, on any number of threads, giving for each exactly
 * the value the kolva program computes from the same numbers, bit for bit.
 *
 * Conventions of every function:
 *   - Nothing throws or exits; failures come back as a status code
 *     (enum kolva_status), and kolva_last_error() gives the message of the
 *     last failure on the calling thread as one line of text.
 *   - Arrays are read through element strides (counted in elements, not
 *     bytes; any sign), so that row-major, column-major and strided views
 *     of other programs' arrays are read where they lie, without a copy.
 *   - Every output array belongs to the caller; the library keeps no
 *     pointer to any argument after a call returns.
 *   - An engine may be used by several threads at once (kolva_combine and
 *     the queries); kolva_engine_free must come after all of them.
 */
#ifndef KOLVA_KOLVA_H
#define KOLVA_KOLVA_H

#include <stdint.h>

#if defined(KOLVA_BUILDING) && defined(__GNUC__)
#define KOLVA_API __attribute__((visibility("default")))
#else
#define KOLVA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Phenotypes of an engine at most. */
#define KOLVA_MAX_PHENOTYPES 50

/* The p-value that stands for "missing" in kolva's files; NaN is missing
 * too. */
#define KOLVA_MISSING (-9.0)

enum kolva_status {
  KOLVA_OK = 0,
  KOLVA_INVALID = 1,   /* an argument breaks the contract; nothing written */
  KOLVA_NO_MEMORY = 2, /* working storage could not be had; nothing written */
  KOLVA_FAILED = 3     /* anything else (not expected); outputs undefined */
};

/* Element type of a p-value array. */
enum kolva_element { KOLVA_DOUBLE = 0, KOLVA_FLOAT = 1 };

/* The phenotype correlation matrix: element (i, j), from 0, at
 * data[i * row_stride + j * col_stride]. All of it is read: it must be
 * square, every entry finite and exactly symmetric. */
typedef struct kolva_matrix {
  const double* data;
  int64_t rows;
  int64_t cols;
  int64_t row_stride;
  int64_t col_stride;
} kolva_matrix;

/* The p-values of a block of variants: rows = variants, cols =
 * phenotypes, in one of two forms.
 *   Strided (columns null): value (r, c) at data[r * row_stride +
 *     c * col_stride].
 *   By column (columns not null, data ignored): value (r, c) at
 *     columns[c][r * column_strides[c]]; column_strides null means 1 for
 *     every column (each column contiguous).
 * element: KOLVA_DOUBLE (const double*) or KOLVA_FLOAT (const float*),
 * for every column alike. A value is missing when it is NaN or exactly
 * -9; any other value, infinities and values outside [0, 1] included, is
 * used as it is, as the kolva program uses it. */
typedef struct kolva_pvalues {
  int element;
  int64_t rows;
  int64_t cols;
  const void* data;
  int64_t row_stride;
  int64_t col_stride;
  const void* const* columns;
  const int64_t* column_strides;
} kolva_pvalues;

/* Per-variant results, each array the caller's, each of `rows` entries
 * (order: rows x n); every one but p may be null (not wanted).
 *   p        combined p-value; NaN where fewer than two are present.
 *   present  number of p-values present.
 *   j        the attaining block: the smallest j at which (M / M(j)) p(j)
 *            takes its minimum, p(1) <= p(2) <= ... the present p-values
 *            in ascending order; 0 where there is no combined p-value or
 *            no adjusted value is below 1000 (the combined p is then 1000).
 *   m        M, the effective number of tests of the present phenotypes;
 *            NaN where fewer than two are present.
 *   mj       M(j) of that j; NaN where j = 0.
 *   order    order[r * order_row_stride + a * order_col_stride], a = 0 ..
 *            n-1: the 0-based phenotype columns of variant r in the order
 *            of its p-values as the engine sorts them (ties included),
 *            then -1 past the present ones. The first j are the variant's
 *            carrying traits. Strides 0 and 0 mean row-major (n and 1). */
typedef struct kolva_results {
  double* p;
  int32_t* present;
  int32_t* j;
  double* m;
  double* mj;
  int8_t* order;
  int64_t order_row_stride;
  int64_t order_col_stride;
} kolva_results;

/* Opaque: an engine for one correlation matrix. */
typedef struct kolva_engine kolva_engine;

/* kolva_engine_create: an engine for the correlation matrix.
 *   corr    (in)  the matrix (see kolva_matrix); read, then not kept.
 *   engine  (out) *engine: the new engine, to be freed with
 *                 kolva_engine_free; set to null on failure.
 * Returns KOLVA_OK; KOLVA_INVALID for a null argument, a matrix that is
 * not square, has fewer than 1 or more than KOLVA_MAX_PHENOTYPES rows, an
 * entry that is not finite, or entries (i, j) and (j, i) that differ;
 * KOLVA_NO_MEMORY. */
KOLVA_API int kolva_engine_create(const kolva_matrix* corr, kolva_engine** engine);

/* kolva_engine_free: releases the engine; null is ignored. */
KOLVA_API void kolva_engine_free(kolva_engine* engine);

/* kolva_engine_phenotypes: n, the engine's number of phenotypes (its
 * matrix's order); 0 for null. */
KOLVA_API int kolva_engine_phenotypes(const kolva_engine* engine);

/* kolva_effective_tests: M of the whole converted matrix, the phenotypes
 * in column order: the M of a variant with every p-value present and in
 * ascending order across the columns. 1 for n = 1; NaN for null. */
KOLVA_API double kolva_effective_tests(const kolva_engine* engine);

/* kolva_combine: the combined p-values of a block of variants.
 *   engine   (in)  the engine.
 *   pvalues  (in)  rows x cols p-values, cols equal to the engine's n
 *                  (see kolva_pvalues); read only.
 *   results  (out) the per-variant results (see kolva_results); results->p
 *                  must not be null.
 *   threads  (in)  threads to evaluate on: 0 for the default
 *                  (kolva_default_threads()); more than 128 is served with
 *                  128. The rows are shared out among them; every result
 *                  is the same, bit for bit, for every thread count.
 * Working storage: one batch of gathered values per thread, never a copy
 * of the p-values. Returns KOLVA_OK; KOLVA_INVALID for a null engine,
 * pvalues or results->p, rows < 0, cols other than n, an unknown element
 * type, a null data or column pointer with rows > 0, or threads < 0;
 * KOLVA_NO_MEMORY; on failure no output is written. */
KOLVA_API int kolva_combine(const kolva_engine* engine, const kolva_pvalues* pvalues,
                            const kolva_results* results, int threads);

/* kolva_last_error: the message of the last failure of a kolva_ call on
 * this thread (one line, no line end), "" when there was none; valid until
 * the next failing call on this thread. */
KOLVA_API const char* kolva_last_error(void);

/* kolva_default_threads: the default thread count, as the kolva program
 * takes it: KOLVA_THREADS when it holds a whole number from 1 up, else
 * the CPUs this process may run on; at most 128. */
KOLVA_API int kolva_default_threads(void);

/* kolva_version: the library's version, e.g. "0.1.0". */
KOLVA_API const char* kolva_version(void);

#ifdef __cplusplus
}
#endif

#endif /* KOLVA_KOLVA_H */
