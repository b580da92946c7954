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
  KOLVA_FAILED = 3,    /* anything else (not expected); outputs undefined */
  KOLVA_IO_ERROR = 4   /* a file could not be opened or read; errno says why */
};

/* Flags of kolva_engine_create_ex and kolva_combine_ex. */
enum kolva_flags {
  /* Values used as given, as the kolva program uses the numbers of its
   * files: no p-value is refused for lying outside [0, 1], no correlation
   * for lying outside [-1, 1] or for a diagonal other than 1. For those
   * who reproduce the program's files; every other check stays. */
  KOLVA_AS_GIVEN = 1
};

/* The most threads a call starts (a larger count is served with this
 * many), and the environment variable that sets the default count. */
#define KOLVA_MAX_THREADS 128
#define KOLVA_THREADS_ENV "KOLVA_THREADS"

/* Element type of a p-value array. */
enum kolva_element { KOLVA_DOUBLE = 0, KOLVA_FLOAT = 1 };

/* The phenotype correlation matrix: element (i, j), from 0, at
 * data[i * row_stride + j * col_stride]. All of it is read: it must be
 * square, every entry finite and exactly symmetric, and (unless
 * KOLVA_AS_GIVEN) every entry in [-1, 1] with 1 on the diagonal. */
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
 * -9; every other value must lie in [0, 1], unless KOLVA_AS_GIVEN: then
 * it is used as it is (infinities and values outside [0, 1] included), as
 * the kolva program uses the values of its files. */
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

/* kolva_engine_create_ex: an engine for the correlation matrix.
 *   corr    (in)  the matrix (see kolva_matrix); read, then not kept.
 *   flags   (in)  0 or KOLVA_AS_GIVEN.
 *   engine  (out) *engine: the new engine, to be freed with
 *                 kolva_engine_free; set to null on failure.
 * Returns KOLVA_OK; KOLVA_INVALID for a null argument, unknown flags, a
 * matrix that is not square, has fewer than 1 or more than
 * KOLVA_MAX_PHENOTYPES rows, an entry that is not finite, entries (i, j)
 * and (j, i) that differ, or (unless KOLVA_AS_GIVEN) an entry outside
 * [-1, 1] or a diagonal entry other than 1, the message naming its row
 * and column (from 1); KOLVA_NO_MEMORY. */
KOLVA_API int kolva_engine_create_ex(const kolva_matrix* corr, unsigned flags,
                                     kolva_engine** engine);

/* kolva_engine_create: kolva_engine_create_ex with flags 0. */
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

/* kolva_combine_ex: the combined p-values of a block of variants.
 *   engine   (in)  the engine.
 *   pvalues  (in)  rows x cols p-values, cols equal to the engine's n
 *                  (see kolva_pvalues); read only.
 *   results  (out) the per-variant results (see kolva_results); results->p
 *                  must not be null.
 *   threads  (in)  threads to evaluate on: 0 for the default
 *                  (kolva_default_threads()); more than KOLVA_MAX_THREADS
 *                  is served with KOLVA_MAX_THREADS. The rows are shared
 *                  out among them; every result is the same, bit for bit,
 *                  for every thread count.
 *   flags    (in)  0 or KOLVA_AS_GIVEN.
 * Working storage: one batch of gathered values per thread, never a copy
 * of the p-values. Returns KOLVA_OK; KOLVA_INVALID for a null engine,
 * pvalues or results->p, rows < 0, cols other than n, an unknown element
 * type, a null data or column pointer with rows > 0, threads < 0 or
 * unknown flags (no output written), or (unless KOLVA_AS_GIVEN) a present
 * p-value outside [0, 1]: the message names the first such value in row
 * order, its row and column counted from 1, and the outputs are then
 * undefined; KOLVA_NO_MEMORY (no output written). */
KOLVA_API int kolva_combine_ex(const kolva_engine* engine, const kolva_pvalues* pvalues,
                               const kolva_results* results, int threads, unsigned flags);

/* kolva_combine_rows: kolva_combine_ex on rows first .. first + count - 1
 * of pvalues alone, for a caller that hands a large block over in parts
 * (to answer an interrupt between them): their results go to the same
 * rows of the results' arrays, and a message names the row of the whole
 * block. Returns as kolva_combine_ex; KOLVA_INVALID too when first < 0,
 * count < 0 or first + count > pvalues->rows. */
KOLVA_API int kolva_combine_rows(const kolva_engine* engine, const kolva_pvalues* pvalues,
                                 int64_t first, int64_t count, const kolva_results* results,
                                 int threads, unsigned flags);

/* kolva_combine: kolva_combine_ex with flags 0. */
KOLVA_API int kolva_combine(const kolva_engine* engine, const kolva_pvalues* pvalues,
                            const kolva_results* results, int threads);

/* kolva_last_error: the message of the last failure of a kolva_ call on
 * this thread (one line, no line end), "" when there was none; valid until
 * the next failing call on this thread. */
KOLVA_API const char* kolva_last_error(void);

/* kolva_default_threads: the default thread count, by the one rule of
 * every program and interface: KOLVA_THREADS when it holds a whole number
 * from 1 up, else (unset, or 0) the CPUs this process may run on; at most
 * KOLVA_MAX_THREADS. -1, with the message, when KOLVA_THREADS holds
 * anything else (the programs refuse it as bad usage, the calls that need
 * the default with KOLVA_INVALID). */
KOLVA_API int kolva_default_threads(void);

/* ---- The files of a run, read as the kolva program reads them ----
 *
 * Every reader below is the program's own reading (the same numbers, the
 * same words for a missing value, the same refusals), so that a study
 * gives the same values whichever door it comes in by. A file the program
 * would stop at is refused with KOLVA_INVALID and a message
 * "FILE:LINE: what" (LINE from 1); a file that cannot be opened or read
 * gives KOLVA_IO_ERROR, the message "FILE: reason" and errno. */

/* A run folder: the control file `defdims`, the correlation file it names
 * (read as the program reads it, in the layout defdims gives) and, when
 * present, `phenotypes.txt` (one name a line, as kolva-prep writes it).
 * Every pointer is the run's own, valid until kolva_run_free. */
typedef struct kolva_run {
  int phenotypes;      /* n, 0 .. KOLVA_MAX_PHENOTYPES */
  int64_t variants;    /* the number of variants defdims gives */
  int full_layout;     /* 1: the whole matrix; 0: its lower triangle */
  const char* defdims; /* the paths read: FOLDER/defdims, */
  const char* pvals;   /* FOLDER/ + the names defdims gives */
  const char* corr;
  const char* results;
  const char* names_file;    /* FOLDER/phenotypes.txt, or null when absent */
  const char* const* names;  /* n names: phenotypes.txt's, else "1" ... "n" */
  const double* corr_matrix; /* n x n, row-major, as the program uses it */
  /* The correlation file holds further values after the n (n + 1) / 2 or
   * n * n the layout needs, which the program does not read: the line of
   * the first of them, else 0. */
  int64_t corr_beyond_line;
  void* owner; /* the library's own; not to be touched */
} kolva_run;

/* kolva_run_read: reads the run folder `folder` (a path; "" or "." for the
 * working directory).
 *   run (out) *run: the run, to be freed with kolva_run_free; null on
 *             failure.
 * Returns KOLVA_OK; KOLVA_IO_ERROR when defdims, the correlation file or
 * phenotypes.txt cannot be opened or read; KOLVA_INVALID with
 * "FILE:LINE: what" where the program stops (defdims' counts or lines, more
 * than KOLVA_MAX_PHENOTYPES or fewer than 0 phenotypes, a value of the
 * correlation file that is not a number, a file that ends before its
 * values, a whole matrix that is not symmetric) and for a phenotypes.txt
 * that does not hold n distinct, non-blank names; KOLVA_NO_MEMORY. The
 * values of the correlation file are not range-checked here (an engine
 * made from corr_matrix checks them). */
KOLVA_API int kolva_run_read(const char* folder, kolva_run** run);

/* kolva_run_free: releases a run; null is ignored. */
KOLVA_API void kolva_run_free(kolva_run* run);

/* Flags of kolva_pvals_open. */
enum kolva_pvals_flags {
  /* A line with more values than the phenotypes is read as the program
   * reads it, the first n and the rest ignored, instead of refused. */
  KOLVA_FIRST_N = 1
};

/* Opaque: a p-value file being read, line by line. */
typedef struct kolva_pvals kolva_pvals;

/* kolva_pvals_open: opens a p-value file for reading lines of `phenotypes`
 * values each (0 .. KOLVA_MAX_PHENOTYPES, as a run may have).
 *   path        (in)  the file.
 *   phenotypes  (in)  n, the values a line holds.
 *   max_lines   (in)  lines to read at most (a run's variant count: the
 *                     program reads no further), or -1 for every line.
 *   flags       (in)  0 or KOLVA_FIRST_N.
 *   reader      (out) *reader, to be closed with kolva_pvals_close; null on
 *                     failure.
 * Returns KOLVA_OK; KOLVA_INVALID for phenotypes out of range, unknown
 * flags or a null argument; KOLVA_IO_ERROR; KOLVA_NO_MEMORY. */
KOLVA_API int kolva_pvals_open(const char* path, int phenotypes, int64_t max_lines, unsigned flags,
                               kolva_pvals** reader);

/* kolva_pvals_read: reads up to `lines` further lines (lines >= 0) into the
 * caller's arrays, line i of them into
 *   chrom[i * KOLVA_CHROM_CHARS ...]  the chromosome field as the program
 *                                     keeps it (blank-padded, not
 *                                     NUL-terminated); chrom may be null;
 *   id[i * KOLVA_ID_CHARS ...]        the variant id as the program keeps
 *                                     it (blank-padded; cut, see
 *                                     KOLVA_ID_CUT_KEEP); id may be null;
 *   p[i * phenotypes ...]             the p-values, NaN where missing.
 *   got (out) how many lines were read into the arrays.
 * Returns KOLVA_OK, with *got < lines only at the end of the file (or of
 * max_lines). A line the program would stop at (a value that is not a
 * number, fewer values than n, more values than n without KOLVA_FIRST_N,
 * a line longer than the program reads), and a file shorter than
 * max_lines (when not -1), give KOLVA_INVALID with "FILE:LINE: what"
 * after the lines before it have been read (*got of them); a read failure
 * gives KOLVA_IO_ERROR the same way. Every later call gives the same
 * failure with *got = 0. One thread at a time per reader; allocates
 * nothing beyond the reader's line buffer. */
KOLVA_API int kolva_pvals_read(kolva_pvals* reader, int64_t lines, char* chrom, char* id, double* p,
                               int64_t* got);

/* kolva_parse_value: one p-value written as text, read as the program reads
 * the p-values of a variant line (decimals with or without an exponent
 * E, D or Q; N, NA or NaN in any case for a missing value; blanks around
 * it ignored).
 *   value (out) the number; NaN for a missing value (-9, N, NA, NaN) or
 *               blank text.
 * Returns KOLVA_OK; KOLVA_INVALID when the text is not one such value
 * (not a number, or more than one value). */
KOLVA_API int kolva_parse_value(const char* text, int64_t length, double* value);

/* kolva_pvals_line: the 0-based number of the next line to read. */
KOLVA_API int64_t kolva_pvals_line(const kolva_pvals* reader);

/* kolva_pvals_close: closes the file and releases the reader; null is
 * ignored. */
KOLVA_API void kolva_pvals_close(kolva_pvals* reader);

/* What the p field of a result record holds. */
enum kolva_record_kind {
  KOLVA_RECORD_P = 0,        /* a combined p-value (p holds it) */
  KOLVA_RECORD_UNTESTED = 1, /* -9.00: fewer than two p-values present (p NaN) */
  KOLVA_RECORD_STARS = 2,    /* asterisks: a value the field cannot show (p NaN) */
  KOLVA_RECORD_NONFINITE = 3 /* NaN, Infinity or -Infinity (p holds it) */
};

/* Opaque: a result file being read, record by record. */
typedef struct kolva_records kolva_records;

/* kolva_records_open: opens a result file of the kolva program.
 * Returns KOLVA_OK; KOLVA_INVALID for a null argument; KOLVA_IO_ERROR;
 * KOLVA_NO_MEMORY. */
KOLVA_API int kolva_records_open(const char* path, kolva_records** reader);

/* kolva_records_read: reads up to `records` further records (records >= 0),
 * record i of them into
 *   chrom[i * KOLVA_CHROM_CHARS ...], id[i * KOLVA_ID_CHARS ...]  the
 *            fields as written (blank-padded); either may be null;
 *   present[i]  the count of present p-values; may be null;
 *   kind[i]     enum kolva_record_kind; may be null;
 *   p[i]        the value of the p field (see kolva_record_kind);
 *   ptext[i * KOLVA_RECORD_P_WIDTH ...]  the p field's characters as
 *            written, right-aligned (for the 15 digits as text); may be
 *            null.
 *   got (out) how many were read into the arrays.
 * Returns KOLVA_OK, with *got < records only at the end of the file. A
 * line that is not a record the program writes (its length, its blank
 * columns, its count, its p field, a count that does not go with its
 * length) gives KOLVA_INVALID with "FILE:LINE: what" after the records
 * before it have been read, as kolva_pvals_read does. A line may end in
 * CR LF or LF. */
KOLVA_API int kolva_records_read(kolva_records* reader, int64_t records, char* chrom, char* id,
                                 int32_t* present, int8_t* kind, double* p, char* ptext,
                                 int64_t* got);

/* kolva_records_close: closes the file; null is ignored. */
KOLVA_API void kolva_records_close(kolva_records* reader);

/* ---- The layout facts the program's files follow (docs/formats.md) ---- */

/* A chromosome field keeps its first KOLVA_CHROM_CHARS characters; a variant
 * id KOLVA_ID_CHARS, a longer one cut to its first KOLVA_ID_CUT_KEEP and
 * KOLVA_ID_CUT_MARK. */
#define KOLVA_CHROM_CHARS 4
#define KOLVA_ID_CHARS 33
#define KOLVA_ID_CUT_KEEP 30
#define KOLVA_ID_CUT_MARK "..."

/* A result record (without its line end CR LF): KOLVA_RECORD_LONG
 * characters with a combined p-value, KOLVA_RECORD_SHORT with the -9.00 of
 * fewer than two present p-values; the fields start at the columns
 * (from 0) *_AT and are *_WIDTH wide, each right-aligned after a blank. The
 * p field shows KOLVA_RECORD_P_DIGITS significant digits. */
#define KOLVA_RECORD_LONG 65
#define KOLVA_RECORD_SHORT 50
#define KOLVA_RECORD_CHROM_AT 1
#define KOLVA_RECORD_CHROM_WIDTH 5
#define KOLVA_RECORD_ID_AT 7
#define KOLVA_RECORD_COUNT_AT 41
#define KOLVA_RECORD_COUNT_WIDTH 3
#define KOLVA_RECORD_P_AT 45
#define KOLVA_RECORD_P_WIDTH 20
#define KOLVA_RECORD_P_DIGITS 15
#define KOLVA_RECORD_UNTESTED_TEXT "-9.00"

/* Chromosomes: codes 1 ... KOLVA_CHROM_CODES in their sort order 1 ... 22,
 * X, Y, XY, MT; 0 is none. */
#define KOLVA_CHROM_CODES 26

/* kolva_chrom_name: the name of a chromosome code ("1" ... "22", "X", "Y",
 * "XY", "MT"); "" for 0 and any other code. */
KOLVA_API const char* kolva_chrom_name(int code);

/* kolva_chrom_code: the code of a chromosome field as kolva-prep reads it
 * (a leading "chr" in any case dropped; X, Y, XY, MT and M in any case;
 * numbers 23 ... 26 for X, Y, XY, MT; with `ssf` non-zero, GWAS-SSF
 * numbering, where 25 is MT); 0 when it names none of them. */
KOLVA_API int kolva_chrom_code(const char* field, int64_t length, int ssf);

/* kolva_version: the library's version, e.g. "0.1.0". */
KOLVA_API const char* kolva_version(void);

#ifdef __cplusplus
}
#endif

#endif /* KOLVA_KOLVA_H */
