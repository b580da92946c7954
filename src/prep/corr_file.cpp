#include "prep/corr_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>

#include "prep/error.h"
#include "prep/format.h"

namespace kolva::prep {
namespace {

constexpr double kTolerance = 1e-9;

std::string text(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
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
  std::ifstream in(path, std::ios::binary);
  if (!in) throw StopError(path + ": cannot open the correlation matrix");
  std::string line;
  unsigned long long no = 0;
  auto next_line = [&]() {
    while (std::getline(in, line)) {
      ++no;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!split_fields(line).empty()) return true;
    }
    return false;
  };
  if (!next_line()) throw StopError(path + ": empty, no header line of phenotype names");
  std::vector<std::string> head;
  for (auto f : split_fields(line)) head.emplace_back(f);
  for (std::size_t i = 0; i < head.size(); ++i)
    if (std::find(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(i), head[i]) !=
        head.begin() + static_cast<std::ptrdiff_t>(i))
      throw StopError(at_line(path, no, "phenotype " + head[i] + " named twice in the header"));
  std::vector<std::size_t> where;
  for (const auto& n : names) {
    auto it = std::find(head.begin(), head.end(), n);
    if (it == head.end())
      throw StopError(at_line(path, no, "phenotype " + n + " is not in the header"));
    where.push_back(static_cast<std::size_t>(it - head.begin()));
  }

  const std::size_t m = head.size();
  std::vector<double> a(m * m);
  std::vector<unsigned long long> row_line(m);
  for (std::size_t row = 0; row < m; ++row) {
    if (!next_line())
      throw StopError(path + ": " + std::to_string(row) + " rows for " + std::to_string(m) +
                      " names in the header");
    row_line[row] = no;
    auto f = split_fields(line);
    if (f.size() == m + 1 && f[0] == head[row]) f.erase(f.begin());
    if (f.size() != m)
      throw StopError(at_line(path, no, "row " + head[row] + " has " + std::to_string(f.size()) +
                                            " values, the header names " + std::to_string(m)));
    for (std::size_t col = 0; col < m; ++col) {
      double v;
      auto [p, ec] = std::from_chars(f[col].data(), f[col].data() + f[col].size(), v);
      if (ec != std::errc() || p != f[col].data() + f[col].size() || !std::isfinite(v))
        throw StopError(at_line(path, no, "'" + std::string(f[col]) + "' is not a number"));
      if (std::abs(v) > 1)
        throw StopError(at_line(path, no, "correlation " + std::string(f[col]) + " outside [-1, 1]"));
      if (row == col && std::abs(v - 1) > kTolerance)
        throw StopError(at_line(path, no, "diagonal element of " + head[row] + " is " +
                                              std::string(f[col]) + ", not 1"));
      a[row * m + col] = v;
    }
  }
  if (next_line()) throw StopError(at_line(path, no, "more rows than names in the header"));
  for (std::size_t i = 0; i < m; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (std::abs(a[i * m + j] - a[j * m + i]) > kTolerance)
        throw StopError(path + ": not symmetric: " + head[i] + "," + head[j] + " is " +
                        text(a[i * m + j]) + " but " + head[j] + "," + head[i] + " is " +
                        text(a[j * m + i]));

  const std::size_t k = names.size();
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
                            "correlations of " + names[j] + " with " + before +
                                " contradict those among them; no set of phenotypes has such "
                                "correlations"));
  }
  return out;
}

}  // namespace kolva::prep
