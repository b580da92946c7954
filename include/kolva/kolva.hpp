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

#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
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
  // phenotypes, holds an entry that is not finite, or is not exactly
  // symmetric.
  Engine(const double* data, std::int64_t rows, std::int64_t cols, std::int64_t row_stride,
         std::int64_t col_stride) {
    const kolva_matrix m{data, rows, cols, row_stride, col_stride};
    detail::check(kolva_engine_create(&m, &e_));
  }
  // A row-major n x n matrix (symmetric, so column-major as well).
  Engine(const std::vector<double>& matrix, int n) : Engine(sized(matrix, n), n, n, n, 1) {}
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
  // not have phenotypes() columns, out.p is null or threads < 0.
  void combine(const PValues& p, const Results& out, int threads = 0) const {
    const kolva_results r{out.p,
                          out.present,
                          out.j,
                          out.m,
                          out.mj,
                          out.order,
                          out.order_row_stride,
                          out.order_col_stride};
    detail::check(kolva_combine(e_, &p.c(), &r, threads));
  }

  // The combined p-values alone.
  std::vector<double> combine(const PValues& p, int threads = 0) const {
    std::vector<double> out(p.rows() > 0 ? static_cast<std::size_t>(p.rows()) : 0);
    double none;  // out.data() may be null
    Results r;
    r.p = out.empty() ? &none : out.data();
    combine(p, r, threads);
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

// The default thread count, as the kolva program takes it.
inline int default_threads() { return kolva_default_threads(); }

// The library's version.
inline const char* version() { return kolva_version(); }

}  // namespace kolva
