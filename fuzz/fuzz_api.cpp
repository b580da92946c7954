// libkolva's C interface: a random engine (order, correlations, sometimes
// impossible ones taken as given) and a random block of p-values (missing
// as NaN or -9, out-of-range values, double or float) combined in every
// layout the interface reads (row-major, column-major, a padded strided
// view, negative strides, one pointer per column) on 1, 2 and 3 threads.
// Every layout and thread count must give the same bits in every output,
// or the same refusal with the same message.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "kolva/kolva.h"

namespace {

// Reads the input a byte at a time; zeros once it is used up.
struct Bytes {
  const std::uint8_t* p;
  std::size_t n;
  std::uint8_t next() {
    if (n == 0) return 0;
    --n;
    return *p++;
  }
  std::uint16_t next16() { return static_cast<std::uint16_t>(next() | next() << 8); }
};

// Everything a combine gives, for comparing bit for bit.
struct Outputs {
  int status = KOLVA_OK;
  std::string message;
  std::vector<double> p, m, mj;
  std::vector<std::int32_t> present, j;
  std::vector<std::int8_t> order;

  bool operator==(const Outputs& o) const {
    if (status != o.status || message != o.message) return false;
    if (status != KOLVA_OK) return true;  // outputs undefined after a refusal
    auto same = [](const std::vector<double>& a, const std::vector<double>& b) {
      return a.size() == b.size() &&
             (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
    };
    return same(p, o.p) && same(m, o.m) && same(mj, o.mj) && present == o.present && j == o.j &&
           order == o.order;
  }
};

Outputs combine(const kolva_engine* e, const kolva_pvalues& pv, int n, int threads,
                unsigned flags) {
  Outputs o;
  const auto rows = static_cast<std::size_t>(pv.rows);
  o.p.assign(rows + 1, 0);
  o.m.assign(rows, 0);
  o.mj.assign(rows, 0);
  o.present.assign(rows, 0);
  o.j.assign(rows, 0);
  o.order.assign(rows * static_cast<std::size_t>(n), 0);
  const kolva_results r{o.p.data(),  o.present.data(), o.j.data(), o.m.data(),
                        o.mj.data(), o.order.data(),   0,          0};
  o.status = kolva_combine_ex(e, &pv, &r, threads, flags);
  if (o.status != KOLVA_OK) o.message = kolva_last_error();
  return o;
}

// The rows x n values (row-major in `v`) in every layout of element type
// T, each combined on several thread counts; all must agree.
template <class T>
void every_layout(const kolva_engine* e, const std::vector<double>& v, std::int64_t rows, int n,
                  unsigned flags, std::uint8_t pad) {
  const auto cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(n);
  const int element = sizeof(T) == sizeof(double) ? KOLVA_DOUBLE : KOLVA_FLOAT;
  std::vector<T> row_major(v.begin(), v.end()), col_major(cells + 1);
  const std::int64_t stride = n + pad % 4;  // a row of a padded block
  std::vector<T> padded(static_cast<std::size_t>(rows * stride) + 1, T(7));
  std::vector<const void*> columns(static_cast<std::size_t>(n));
  std::vector<std::int64_t> column_strides(static_cast<std::size_t>(n), 1);
  for (std::int64_t r = 0; r < rows; ++r)
    for (int c = 0; c < n; ++c) {
      const T x = row_major[static_cast<std::size_t>(r * n + c)];
      col_major[static_cast<std::size_t>(c * rows + r)] = x;
      padded[static_cast<std::size_t>(r * stride + c)] = x;
    }
  for (int c = 0; c < n; ++c) columns[static_cast<std::size_t>(c)] = &col_major[c * rows];
  const T* last_row = padded.data() + (rows > 0 ? (rows - 1) * stride : 0);
  // The padded block read backwards by row: rows reversed, so compare it
  // with the row-major block reversed.
  std::vector<T> reversed(cells + 1);
  for (std::int64_t r = 0; r < rows; ++r)
    for (int c = 0; c < n; ++c)
      reversed[static_cast<std::size_t>(r * n + c)] =
          row_major[static_cast<std::size_t>((rows - 1 - r) * n + c)];

  const kolva_pvalues forms[] = {
      {element, rows, n, row_major.data(), n, 1, nullptr, nullptr},
      {element, rows, n, col_major.data(), 1, rows, nullptr, nullptr},
      {element, rows, n, padded.data(), stride, 1, nullptr, nullptr},
      {element, rows, n, nullptr, 0, 0, columns.data(), nullptr},
      {element, rows, n, nullptr, 0, 0, columns.data(), column_strides.data()},
  };
  const Outputs first = combine(e, forms[0], n, 1, flags);
  for (const kolva_pvalues& f : forms)
    for (int threads : {1, 3}) KOLVA_CHECK(combine(e, f, n, threads, flags) == first);

  const kolva_pvalues backwards{element, rows, n, last_row, -stride, 1, nullptr, nullptr};
  const kolva_pvalues forwards{element, rows, n, reversed.data(), n, 1, nullptr, nullptr};
  KOLVA_CHECK(combine(e, backwards, n, 2, flags) == combine(e, forwards, n, 1, flags));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in{data, size};
  const std::uint8_t shape = in.next();
  const int n = 1 + (shape & 7) + (shape & 0x80 ? in.next() % 43 : 0);  // 1 .. 50
  // Blocks of more than one take of rows (256) only at few phenotypes, so
  // that threads share them out and each input stays quick.
  std::int64_t rows = in.next() % 70;
  if (n <= 8 && shape & 0x20) rows += 256 + 256 * (in.next() % 2);
  const unsigned flags = shape & 0x40 ? unsigned{KOLVA_AS_GIVEN} : 0u;

  // A correlation matrix: each entry from a byte, r in [-1, 1]; with
  // as_given now and then a value no correlation can have.
  std::vector<double> corr(static_cast<std::size_t>(n) * n, 0);
  for (int i = 0; i < n; ++i) {
    corr[static_cast<std::size_t>(i * n + i)] = 1;
    for (int k = 0; k < i; ++k) {
      const std::uint8_t b = in.next();
      const double r = b == 255 ? 1.75 : (b - 127) / 127.0;
      corr[static_cast<std::size_t>(i * n + k)] = corr[static_cast<std::size_t>(k * n + i)] = r;
    }
  }
  const kolva_matrix m{corr.data(), n, n, n, 1};
  kolva_engine* e = nullptr;
  const int made = kolva_engine_create_ex(&m, flags, &e);
  if (made != KOLVA_OK) {
    KOLVA_CHECK(made == KOLVA_INVALID && !(flags & KOLVA_AS_GIVEN) && e == nullptr);
    return 0;
  }

  // The p-values: most in [0, 1], some missing (NaN, -9), some not
  // p-values at all, some ties.
  std::vector<double> v(static_cast<std::size_t>(rows) * static_cast<std::size_t>(n));
  for (double& x : v) {
    const std::uint16_t w = in.next16();
    switch (w >> 12) {
      case 0: x = std::nan(""); break;
      case 1: x = -9; break;
      case 2: x = (w & 0xfff) == 0 ? -0.5 : 1e-300 * (w & 0xfff); break;
      case 3: x = (w & 7) / 8.0; break;
      default: x = (w & 0xfff) / 4095.0;
    }
  }
  const std::uint8_t pad = in.next();
  every_layout<double>(e, v, rows, n, flags, pad);
  every_layout<float>(e, v, rows, n, flags, pad);
  kolva_engine_free(e);
  return 0;
}
