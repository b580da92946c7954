#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "numeric/sortp.h"
#include "support/numbers.h"

namespace kolva {
namespace {

using testing::bits;
using testing::kInf;
using testing::kNaN;

struct Sorted {
  std::vector<double> sorted;
  std::vector<std::int32_t> index;
};

// Sorts into arrays of exactly n elements, so that a memory checker sees
// any access past either end.
Sorted run(const std::vector<double>& values) {
  const int n = int(values.size());
  Sorted s{std::vector<double>(n, -1.0), std::vector<std::int32_t>(n, -1)};
  sortp(values.data(), n, s.sorted.data(), s.index.data());
  return s;
}

// index is a permutation of 1..n and sorted(x) == values(index(x)) bit for
// bit.
void expect_permutation(const std::vector<double>& values, const Sorted& s) {
  const std::size_t n = values.size();
  std::vector<bool> seen(n, false);
  for (std::size_t x = 0; x < n; ++x) {
    const std::int32_t ix = s.index[x];
    ASSERT_GE(ix, 1);
    ASSERT_LE(ix, std::int32_t(n));
    ASSERT_FALSE(seen[ix - 1]) << "index " << ix << " twice";
    seen[ix - 1] = true;
    ASSERT_EQ(bits(s.sorted[x]), bits(values[ix - 1])) << "position " << x + 1;
  }
}

struct Example {
  std::vector<double> values;
  std::vector<std::int32_t> index;
};

TEST(Sortp, Examples) {
  const std::vector<Example> examples = {
      {{0.7}, {1}},
      {{0.1, 0.1, 0.1}, {1, 2, 3}},
      {{0.1, 0.2, 0.2, 0.3}, {1, 2, 3, 4}},
      {{0.2, 0.1}, {2, 1}},
      {{0.5, 0.5, 0.1}, {3, 1, 2}},
      {{0.5, 0.5, 0.5, 0.1}, {4, 3, 1, 2}},
      {{0.3, 0.1, 0.3, 0.1}, {2, 4, 3, 1}},
      {{0.05, 0.5, 0.5, 0.5, 0.01}, {5, 1, 2, 4, 3}},
      {{0.3, 0.2, 0.1, 0.3, 0.2, 0.1}, {3, 6, 2, 5, 4, 1}},
      {{0.2, 0.1, 0.2, 0.1, 0.2, 0.1, 0.2, 0.1, 0.2, 0.1, 0.2, 0.1, 0.2},
       {4, 10, 6, 8, 12, 2, 11, 1, 9, 7, 5, 3, 13}},
      // Ties whose order depends on where straight insertion takes over
      // from partitioning (segments of at most 11 entries).
      {{0.4, 0.2, 0.3, 0.2, 0.4, 0.4, 0.1, 0.4, 0.4, 0.3, 0.3, 0.2, 0.1},
       {7, 13, 4, 2, 12, 3, 10, 11, 5, 6, 8, 9, 1}},
      {{1.0, kInf, 0.5, -kInf}, {4, 3, 1, 2}},
  };
  for (const Example& ex : examples) {
    const Sorted s = run(ex.values);
    EXPECT_EQ(s.index, ex.index);
    expect_permutation(ex.values, s);
  }
}

TEST(Sortp, CountBelowOneWritesNothing) {
  const double values[2] = {0.5, 0.1};
  for (int n : {0, -1, -50}) {
    double sorted[2] = {9.0, 9.0};
    std::int32_t index[2] = {7, 7};
    sortp(values, n, sorted, index);
    EXPECT_EQ(sorted[0], 9.0);
    EXPECT_EQ(sorted[1], 9.0);
    EXPECT_EQ(index[0], 7);
    EXPECT_EQ(index[1], 7);
  }
}

TEST(Sortp, LeavesValuesAlone) {
  const std::vector<double> values = {0.3, -0.0, 0.0, 0.1, 0.3};
  const std::vector<double> copy = values;
  const Sorted s = run(values);
  EXPECT_EQ(values, copy);
  expect_permutation(values, s);
}

// Heavy ties: values drawn from a handful of levels, lengths 1..50 and a
// few longer ones so that several segments are pending at once.
TEST(Sortp, RandomWithTies) {
  std::mt19937_64 g(99);
  for (int round = 0; round < 4000; ++round) {
    const int n = round < 3900 ? 1 + int(g() % 50) : 51 + int(g() % 2000);
    const int levels = 1 + int(g() % 6);
    std::vector<double> v(n);
    for (double& x : v) x = double(g() % levels) * 0.125 - (g() % 11 == 0 ? kInf : 0.0);
    if (round % 7 == 0) std::sort(v.begin(), v.end(), [](double a, double b) { return a > b; });
    const Sorted s = run(v);
    ASSERT_TRUE(std::is_sorted(s.sorted.begin(), s.sorted.end())) << "round " << round;
    expect_permutation(v, s);
    if (HasFatalFailure()) return;
  }
}

// Not-a-number values are never passed by the program; the sort must still
// stay within its arrays and return a permutation (run this test under a
// memory checker to see the bounds hold).
TEST(Sortp, NotANumberStaysInBounds) {
  std::mt19937_64 g(4);
  const std::vector<std::vector<double>> fixed = {
      {kNaN, 0.1},
      {0.1, kNaN},
      {kNaN, kNaN, kNaN},
      {0.5, 0.4, 0.3, 0.2, 0.1, 0.05, 0.04, 0.03, 0.02, 0.01, 0.005, 0.004, kNaN, 0.001},
      {0.2, 0.1, 0.2, 0.1, 0.2, 0.1, 0.2, 0.1, 0.2, 0.1, 0.2, 0.1, 0.2, kNaN, 0.0, -1.0},
  };
  for (const auto& v : fixed) {
    expect_permutation(v, run(v));
    if (HasFatalFailure()) return;
  }
  for (int round = 0; round < 3000; ++round) {
    const int n = 1 + int(g() % 60);
    std::vector<double> v(n);
    for (double& x : v) x = (g() % 4 == 0) ? kNaN : double(g() % 5) * 0.1;
    expect_permutation(v, run(v));
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace kolva
