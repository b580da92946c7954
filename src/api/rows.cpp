#include "api/rows.h"

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "common/cpus.h"

namespace kolva::api {

namespace {

// Rows a thread takes at a time: enough batches that the hand-out costs
// nothing, few enough that the threads finish together.
constexpr std::int64_t kRowsPerTake = 16 * kBatch;

// Where value (r, c) lies, for each form of the p-values.
template <class T>
struct Strided {
  const T* data;
  std::int64_t rs, cs;
  double operator()(std::int64_t r, int c) const {
    return static_cast<double>(data[r * rs + c * cs]);
  }
};

template <class T>
struct ByColumn {
  const void* const* columns;
  const std::int64_t* strides;  // null: 1 for every column
  double operator()(std::int64_t r, int c) const {
    const std::int64_t s = strides ? strides[c] : 1;
    return static_cast<double>(static_cast<const T*>(columns[c])[r * s]);
  }
};

// The value as the engine takes it: NaN is missing, as -9 is.
inline double engine_value(double x) { return x != x ? kMissing : x; }

// A value the checked interface takes: missing, or a p-value.
inline bool acceptable(double x) { return x == kMissing || (x >= 0.0 && x <= 1.0); }

template <bool check, class Read>
bool combine_rows_with(const Statistic& e, Read read, const kolva_results& out, std::int64_t r0,
                       std::int64_t r1, RowWorkspace& w) {
  const int n = e.nvara();
  const double* v[kBatch];
  for (int b = 0; b < kBatch; ++b) v[b] = w.values[b];
  const std::int64_t ors =
      out.order_row_stride == 0 && out.order_col_stride == 0 ? n : out.order_row_stride;
  const std::int64_t ocs =
      out.order_row_stride == 0 && out.order_col_stride == 0 ? 1 : out.order_col_stride;
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();

  for (std::int64_t first = r0; first < r1; first += kBatch) {
    const int count = static_cast<int>(r1 - first < kBatch ? r1 - first : kBatch);
    for (int b = 0; b < count; ++b)
      for (int c = 0; c < n; ++c) {
        const double x = engine_value(read(first + b, c));
        if constexpr (check) {
          if (!acceptable(x)) {
            w.bad = {first + b, c, read(first + b, c)};
            return false;
          }
        }
        w.values[b][c] = x;
      }
    e.evaluate(v, count, w.ws);
    for (int b = 0; b < count; ++b) {
      const BatchVariant& x = w.ws.var[b];
      const std::int64_t r = first + b;
      const bool combined = x.n >= 2;
      out.p[r] = combined ? x.combined : nan;
      if (out.present) out.present[r] = x.n;
      if (out.j) out.j[r] = combined ? x.j : 0;
      if (out.m) out.m[r] = combined ? x.m : nan;
      if (out.mj) out.mj[r] = combined && x.j > 0 ? x.mj[x.j - 1] : nan;
      if (out.order) {
        std::int8_t* o = out.order + r * ors;
        int a = 0;
        if (combined)
          for (; a < x.n; ++a) o[a * ocs] = static_cast<std::int8_t>(x.index[a]);
        else if (x.n == 1)
          o[(a++) * ocs] = static_cast<std::int8_t>(x.sel[0] - 1);
        for (; a < n; ++a) o[a * ocs] = -1;
      }
    }
  }
  return true;
}

template <class Read>
bool rows_with(const Statistic& e, Read read, const kolva_results& out, std::int64_t r0,
               std::int64_t r1, bool check, RowWorkspace& w) {
  return check ? combine_rows_with<true>(e, read, out, r0, r1, w)
               : combine_rows_with<false>(e, read, out, r0, r1, w);
}

}  // namespace

bool combine_rows(const Statistic& e, const kolva_pvalues& p, const kolva_results& out,
                  std::int64_t r0, std::int64_t r1, bool check, RowWorkspace& ws) {
  const bool dbl = p.element == KOLVA_DOUBLE;
  if (p.columns) {
    if (dbl)
      return rows_with(e, ByColumn<double>{p.columns, p.column_strides}, out, r0, r1, check, ws);
    return rows_with(e, ByColumn<float>{p.columns, p.column_strides}, out, r0, r1, check, ws);
  }
  if (dbl) {
    const Strided<double> read{static_cast<const double*>(p.data), p.row_stride, p.col_stride};
    return rows_with(e, read, out, r0, r1, check, ws);
  }
  const Strided<float> read{static_cast<const float*>(p.data), p.row_stride, p.col_stride};
  return rows_with(e, read, out, r0, r1, check, ws);
}

BadValue combine_all(const Statistic& e, const kolva_pvalues& p, const kolva_results& out,
                     std::int64_t first, std::int64_t rows, int threads, bool check) {
  const std::int64_t takes = (rows - first + kRowsPerTake - 1) / kRowsPerTake;
  int t = threads < 1 ? 1 : threads > kMaxThreads ? kMaxThreads : threads;
  if (t > takes) t = static_cast<int>(takes < 1 ? 1 : takes);
  std::vector<std::unique_ptr<RowWorkspace>> ws;
  for (int i = 0; i < t; ++i) ws.push_back(std::make_unique<RowWorkspace>());
  if (t == 1) {
    combine_rows(e, p, out, first, rows, check, *ws[0]);
    return ws[0]->bad;
  }

  // Each thread takes the next kRowsPerTake rows until none are left. A
  // row's results do not depend on which thread evaluates it, nor on the
  // rows beside it in its batch. Takes go out in row order, so once a bad
  // value is found at row r, every take that starts at or before r has
  // been handed out and is read up to r: the first bad value in row order
  // is found whichever thread reads it, and takes past it are skipped.
  std::atomic<std::int64_t> next{first};
  std::atomic<std::int64_t> first_bad{rows};
  auto work = [&](RowWorkspace& w) {
    for (;;) {
      const std::int64_t r0 = next.fetch_add(kRowsPerTake, std::memory_order_relaxed);
      if (r0 >= rows || r0 > first_bad.load(std::memory_order_relaxed)) return;
      const std::int64_t r1 = r0 + kRowsPerTake < rows ? r0 + kRowsPerTake : rows;
      if (!combine_rows(e, p, out, r0, r1, check, w)) {
        std::int64_t seen = first_bad.load(std::memory_order_relaxed);
        while (w.bad.row < seen && !first_bad.compare_exchange_weak(seen, w.bad.row)) {
        }
        return;
      }
    }
  };
  std::vector<std::thread> helpers;
  try {
    for (int i = 1; i < t; ++i) helpers.emplace_back(work, std::ref(*ws[i]));
  } catch (const std::system_error&) {
    // Fewer threads than asked for: the same results, later.
  }
  work(*ws[0]);
  for (auto& h : helpers) h.join();
  BadValue bad;
  for (const auto& w : ws)
    if (w->bad.row >= 0 && (bad.row < 0 || w->bad.row < bad.row)) bad = w->bad;
  return bad;
}

}  // namespace kolva::api
