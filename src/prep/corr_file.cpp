#include "prep/corr_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>

#include "prep/error.h"
#include "prep/format.h"

namespace kolva::prep {
namespace {

// How far a diagonal may be from 1, and (i, j) from (j, i).
constexpr double kTolerance = 1e-9;

std::string text(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// The file's lines that hold something, with their line numbers.
class Lines {
 public:
  explicit Lines(const std::string& path) : path_(path), in_(path, std::ios::binary) {
    if (!in_) throw StopError(in_file(path, "cannot open the correlation matrix"));
  }
  // The next line that is not blank; false at the end.
  bool next() {
    while (std::getline(in_, line_)) {
      ++no_;
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      if (!split_fields(line_).empty()) return true;
    }
    return false;
  }
  const std::string& line() const { return line_; }
  unsigned long long no() const { return no_; }
  // Stops at the line read last (line 1 when none was).
  [[noreturn]] void fail(const std::string& what) const {
    throw StopError(at_line(path_, no_ > 0 ? no_ : 1, what));
  }

 private:
  const std::string& path_;
  std::ifstream in_;
  std::string line_;
  unsigned long long no_ = 0;
};

// The header: the phenotype names, each once.
std::vector<std::string> read_header(Lines& in) {
  if (!in.next()) in.fail("empty, no header line of phenotype names");
  std::vector<std::string> head;
  for (auto f : split_fields(in.line())) head.emplace_back(f);
  for (std::size_t i = 0; i < head.size(); ++i)
    if (std::find(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(i), head[i]) !=
        head.begin() + static_cast<std::ptrdiff_t>(i))
      in.fail("phenotype " + head[i] + " named twice in the header");
  return head;
}

// The rows, one per name of the header (a row may start with its name):
// the m x m matrix row-major, and the line of each row.
std::vector<double> read_rows(Lines& in, const std::vector<std::string>& head,
                              std::vector<unsigned long long>& row_line) {
  const std::size_t m = head.size();
  std::vector<double> a(m * m);
  row_line.assign(m, 0);
  for (std::size_t row = 0; row < m; ++row) {
    if (!in.next())
      in.fail("the file ends after " + std::to_string(row) + " rows for " + std::to_string(m) +
              " names in the header");
    row_line[row] = in.no();
    auto f = split_fields(in.line());
    if (f.size() == m + 1 && f[0] == head[row]) f.erase(f.begin());
    if (f.size() != m)
      in.fail("row " + head[row] + " has " + std::to_string(f.size()) +
              " values, the header names " + std::to_string(m));
    for (std::size_t col = 0; col < m; ++col) {
      double v;
      auto [p, ec] = std::from_chars(f[col].data(), f[col].data() + f[col].size(), v);
      if (ec != std::errc() || p != f[col].data() + f[col].size() || !std::isfinite(v))
        in.fail("'" + std::string(f[col]) + "' is not a number");
      if (std::abs(v) > 1) in.fail("correlation " + std::string(f[col]) + " outside [-1, 1]");
      if (row == col && std::abs(v - 1) > kTolerance)
        in.fail("diagonal element of " + head[row] + " is " + std::string(f[col]) + ", not 1");
      a[row * m + col] = v;
    }
  }
  if (in.next()) in.fail("more rows than names in the header");
  return a;
}

// Symmetric within kTolerance; the line of the lower row names a pair that
// is not.
void check_symmetric(const std::string& path, const std::vector<double>& a,
                     const std::vector<std::string>& head,
                     const std::vector<unsigned long long>& row_line) {
  const std::size_t m = head.size();
  for (std::size_t i = 0; i < m; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (std::abs(a[i * m + j] - a[j * m + i]) > kTolerance)
        throw StopError(at_line(path, row_line[i],
                                "not symmetric: " + head[i] + "," + head[j] + " is " +
                                    text(a[i * m + j]) + " but " + head[j] + "," + head[i] +
                                    " is " + text(a[j * m + i])));
}

}  // namespace

std::size_t first_dependent_row(std::vector<double> a, std::size_t k) {
  for (std::size_t j = 0; j < k; ++j) {
    double d = a[j * k + j] + kPsdSlack;
    for (std::size_t p = 0; p < j; ++p) d -= a[j * k + p] * a[j * k + p];
    if (!(d > 0)) return j;
    d = std::sqrt(d);
    a[j * k + j] = d;
    for (std::size_t i = j + 1; i < k; ++i) {
      double s = a[i * k + j];
      for (std::size_t p = 0; p < j; ++p) s -= a[i * k + p] * a[j * k + p];
      a[i * k + j] = s / d;
    }
  }
  return k;
}

std::vector<double> read_corr_file(const std::string& path, const std::vector<std::string>& names) {
  Lines in(path);
  const std::vector<std::string> head = read_header(in);
  const unsigned long long header_line = in.no();
  std::vector<std::size_t> where;
  for (const auto& n : names) {
    auto it = std::find(head.begin(), head.end(), n);
    if (it == head.end())
      throw StopError(at_line(path, header_line, "phenotype " + n + " is not in the header"));
    where.push_back(static_cast<std::size_t>(it - head.begin()));
  }
  std::vector<unsigned long long> row_line;
  const std::vector<double> a = read_rows(in, head, row_line);
  check_symmetric(path, a, head, row_line);

  // The matrix of `names`, in their order.
  const std::size_t m = head.size(), k = names.size();
  std::vector<double> out(k * k);
  for (std::size_t i = 0; i < k; ++i)
    for (std::size_t j = 0; j < k; ++j) out[i * k + j] = a[where[i] * m + where[j]];
  for (std::size_t i = 0; i < k; ++i) out[i * k + i] = 1;
  // No set of phenotypes has such correlations (a typing error, or a matrix
  // put together from separate estimates); the combined test would be wrong.
  if (const std::size_t j = first_dependent_row(out, k); j < k) {
    std::string before;
    for (std::size_t i = 0; i < j; ++i) before += (i ? ", " : "") + names[i];
    throw StopError(at_line(path, row_line[where[j]],
                            "the correlation matrix is not positive semi-definite: the "
                            "correlations of " +
                                names[j] + " with " + before +
                                " contradict those among them; no set of phenotypes has such "
                                "correlations"));
  }
  return out;
}

}  // namespace kolva::prep
