// kolva: combined association p-values over correlated phenotypes, as a
// library. The C++ interface: a thin layer over the C one (kolva/kolva.h)
// that takes arrays as views and reports a failure as an exception.
//
//   kolva::Engine engine(matrix, n, n, n, 1);    // row-major n x n
//   std::vector<double> p = engine.combine(kolva::PValues::row_major(pv, rows, n));
//
// Every combined p-value is exactly, bit for bit, the value the kolva
// program computes from the same numbers, on any number of threads.
#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "kolva/kolva.h"

namespace kolva {

// Phenotypes of an engine at most.
inline constexpr int max_phenotypes = KOLVA_MAX_PHENOTYPES;

// A read-only view of the p-values of a block of variants: rows =
// variants, columns = phenotypes, double or float; a value is missing when
// it is NaN or exactly -9. Strides count elements. The view holds
// pointers only: the arrays must outlive its use.
class PValues {
 public:
  // Value (r, c) at data[r * row_stride + c * col_stride].
  static PValues strided(const double* data, std::int64_t rows, std::int64_t cols,
                         std::int64_t row_stride, std::int64_t col_stride) {
    return PValues(KOLVA_DOUBLE, data, rows, cols, row_stride, col_stride);
  }
  static PValues strided(const float* data, std::int64_t rows, std::int64_t cols,
                         std::int64_t row_stride, std::int64_t col_stride) {
    return PValues(KOLVA_FLOAT, data, rows, cols, row_stride, col_stride);
  }
  template <class T>
  static PValues row_major(const T* data, std::int64_t rows, std::int64_t cols) {
    return strided(data, rows, cols, cols, 1);
  }
  template <class T>
  static PValues column_major(const T* data, std::int64_t rows, std::int64_t cols) {
    return strided(data, rows, cols, 1, rows);
  }
  // One pointer per phenotype column: value (r, c) at
  // columns[c][r * strides[c]] (strides null: each column contiguous).
  // The array of pointers (and of strides) must outlive the view too.
  static PValues by_column(const double* const* columns, std::int64_t rows, std::int64_t cols,
                           const std::int64_t* strides = nullptr) {
    return PValues(KOLVA_DOUBLE, reinterpret_cast<const void* const*>(columns), rows, cols,
                   strides);
  }
  static PValues by_column(const float* const* columns, std::int64_t rows, std::int64_t cols,
                           const std::int64_t* strides = nullptr) {
    return PValues(KOLVA_FLOAT, reinterpret_cast<const void* const*>(columns), rows, cols, strides);
  }

  std::int64_t rows() const { return c_.rows; }
  std::int64_t cols() const { return c_.cols; }
  const kolva_pvalues& c() const { return c_; }

 private:
  PValues(int element, const void* data, std::int64_t rows, std::int64_t cols,
          std::int64_t row_stride, std::int64_t col_stride)
      : c_{element, rows, cols, data, row_stride, col_stride, nullptr, nullptr} {}
  PValues(int element, const void* const* columns, std::int64_t rows, std::int64_t cols,
          const std::int64_t* strides)
      : c_{element, rows, cols, nullptr, 0, 0, columns, strides} {}

  kolva_pvalues c_;
};

// Where the results of combine() go: arrays of the caller's, one entry per
// variant (order: rows x phenotypes); every one but p may stay null. See
// kolva_results in kolva/kolva.h for each.
struct Results {
  double* p = nullptr;                // combined p; NaN where fewer than two are present
  std::int32_t* present = nullptr;    // p-values present
  std::int32_t* j = nullptr;          // the attaining block; 0 where none
  double* m = nullptr;                // M; NaN where fewer than two are present
  double* mj = nullptr;               // M(j); NaN where j = 0
  std::int8_t* order = nullptr;       // phenotypes in p-value order, then -1
  std::int64_t order_row_stride = 0;  // 0 and 0: row-major
  std::int64_t order_col_stride = 0;
};

namespace detail {

// Throws the failure a status reports, with the library's message.
inline void check(int status) {
  switch (status) {
    case KOLVA_OK: return;
    case KOLVA_INVALID: throw std::invalid_argument(kolva_last_error());
    case KOLVA_NO_MEMORY: throw std::bad_alloc();
    case KOLVA_IO_ERROR:
      throw std::system_error(errno, std::generic_category(), kolva_last_error());
    default: throw std::runtime_error(kolva_last_error());
  }
}

}  // namespace detail

// The engine for one phenotype correlation matrix, made once and then used
// for any number of variants, from any number of threads at once.
class Engine {
 public:
  // The full n x n matrix, entry (i, j) at data[i * row_stride + j *
  // col_stride] (1 <= n <= max_phenotypes). Throws std::invalid_argument
  // with a one-line message when it is not square, has no or too many
  // phenotypes, holds an entry that is not finite, is not exactly
  // symmetric, or (unless as_given) holds an entry outside [-1, 1] or a
  // diagonal entry other than 1.
  Engine(const double* data, std::int64_t rows, std::int64_t cols, std::int64_t row_stride,
         std::int64_t col_stride, bool as_given = false) {
    const kolva_matrix m{data, rows, cols, row_stride, col_stride};
    detail::check(kolva_engine_create_ex(&m, as_given ? unsigned{KOLVA_AS_GIVEN} : 0u, &e_));
  }
  // A row-major n x n matrix (symmetric, so column-major as well).
  Engine(const std::vector<double>& matrix, int n, bool as_given = false)
      : Engine(sized(matrix, n), n, n, n, 1, as_given) {}
  Engine(Engine&& o) noexcept : e_(std::exchange(o.e_, nullptr)) {}
  Engine& operator=(Engine&& o) noexcept {
    std::swap(e_, o.e_);
    return *this;
  }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  ~Engine() { kolva_engine_free(e_); }

  // n, the number of phenotypes.
  int phenotypes() const { return kolva_engine_phenotypes(e_); }

  // M of the whole converted matrix, phenotypes in column order.
  double effective_tests() const { return kolva_effective_tests(e_); }

  // Combines every variant of p into out on `threads` threads (0: the
  // default, default_threads()). Throws std::invalid_argument when p does
  // not have phenotypes() columns, out.p is null, threads < 0, or (unless
  // as_given) a present p-value lies outside [0, 1].
  void combine(const PValues& p, const Results& out, int threads = 0, bool as_given = false) const {
    const kolva_results r{out.p,
                          out.present,
                          out.j,
                          out.m,
                          out.mj,
                          out.order,
                          out.order_row_stride,
                          out.order_col_stride};
    detail::check(
        kolva_combine_ex(e_, &p.c(), &r, threads, as_given ? unsigned{KOLVA_AS_GIVEN} : 0u));
  }

  // The combined p-values alone.
  std::vector<double> combine(const PValues& p, int threads = 0, bool as_given = false) const {
    std::vector<double> out(p.rows() > 0 ? static_cast<std::size_t>(p.rows()) : 0);
    double none;  // out.data() may be null
    Results r;
    r.p = out.empty() ? &none : out.data();
    combine(p, r, threads, as_given);
    return out;
  }

  // The C handle, for code that mixes both interfaces.
  const kolva_engine* handle() const { return e_; }

 private:
  static const double* sized(const std::vector<double>& matrix, int n) {
    if (n < 0 || matrix.size() != static_cast<std::size_t>(n) * static_cast<std::size_t>(n))
      throw std::invalid_argument("correlation matrix: " + std::to_string(matrix.size()) +
                                  " values for " + std::to_string(n) + " x " + std::to_string(n));
    return matrix.data();
  }

  kolva_engine* e_ = nullptr;
};

// The default thread count, as the kolva program takes it. Throws
// std::invalid_argument when KOLVA_THREADS holds no count.
inline int default_threads() {
  const int n = kolva_default_threads();
  if (n < 0) throw std::invalid_argument(kolva_last_error());
  return n;
}

// A run folder as the kolva program reads it (kolva_run in kolva/kolva.h):
// throws std::invalid_argument with "FILE:LINE: what" where the program
// stops, std::system_error when a file cannot be read.
class Run {
 public:
  explicit Run(const std::string& folder) { detail::check(kolva_run_read(folder.c_str(), &r_)); }
  Run(Run&& o) noexcept : r_(std::exchange(o.r_, nullptr)) {}
  Run& operator=(Run&& o) noexcept {
    std::swap(r_, o.r_);
    return *this;
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
  ~Run() { kolva_run_free(r_); }

  int phenotypes() const { return r_->phenotypes; }
  std::int64_t variants() const { return r_->variants; }
  std::vector<std::string> names() const { return {r_->names, r_->names + r_->phenotypes}; }
  // n x n, row-major, as the program uses it.
  std::vector<double> corr() const {
    return {r_->corr_matrix, r_->corr_matrix + r_->phenotypes * r_->phenotypes};
  }
  const kolva_run& c() const { return *r_; }

 private:
  kolva_run* r_ = nullptr;
};

// The lines of a p-value file as the kolva program reads them, a block at
// a time (kolva_pvals_* in kolva/kolva.h).
class PValueFile {
 public:
  // max_lines -1: every line; first_n: a longer line read for its first n
  // values, as the program reads it, instead of refused.
  PValueFile(const std::string& path, int phenotypes, std::int64_t max_lines = -1,
             bool first_n = false)
      : n_(phenotypes) {
    detail::check(kolva_pvals_open(path.c_str(), phenotypes, max_lines,
                                   first_n ? unsigned{KOLVA_FIRST_N} : 0u, &r_));
  }
  PValueFile(const PValueFile&) = delete;
  PValueFile& operator=(const PValueFile&) = delete;
  ~PValueFile() { kolva_pvals_close(r_); }

  // Up to `lines` further lines into the caller's arrays (chrom and id may
  // be null; p holds lines x phenotypes, NaN where missing); returns how
  // many, fewer only at the end. Throws at a line the program stops at,
  // after the lines before it were read (a next call throws the same).
  std::int64_t read(std::int64_t lines, char* chrom, char* id, double* p) {
    std::int64_t got = 0;
    const int status = kolva_pvals_read(r_, lines, chrom, id, p, &got);
    if (got == 0) detail::check(status);  // else the next call reports it
    return got;
  }
  int phenotypes() const { return n_; }

 private:
  kolva_pvals* r_ = nullptr;
  int n_;
};

// The library's version.
inline const char* version() { return kolva_version(); }

}  // namespace kolva
