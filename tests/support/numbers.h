// What the numeric tests share: bit-exact comparison, the kernel builds as
// a test parameter, and generated correlation matrices.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "common/run_limits.h"
#include "numeric/fastpath_testing.h"

namespace kolva::testing {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

inline std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }
inline double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }

// Equal bits; any two not-a-number values count as equal (the program
// never shows which one it has).
inline bool same(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || bits(a) == bits(b);
}

// A symmetric matrix with leading dimension kLd from its lower triangle,
// row by row.
inline std::vector<double> matrix(int n, std::initializer_list<double> lower) {
  std::vector<double> k(kLd * kLd, 0.0);
  auto it = lower.begin();
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j, ++it) k[j * kLd + i] = k[i * kLd + j] = *it;
  return k;
}

// A phenotype correlation matrix (leading dimension kLd) of one of four
// kinds: two-factor correlations rounded to four decimals (0), exact
// zeros and ones (1), ties (2), or kind 0 with a not-a-number entry (3).
inline std::vector<double> phenotype_matrix(int nvara, int kind, std::mt19937_64& g) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<double> l0(nvara), l1(nvara), k(kLd * kLd, 0.0);
  for (int i = 0; i < nvara; ++i) l0[i] = 0.3 + 0.5 * u(g), l1[i] = (i % 2 ? 0.4 : -0.2) * u(g);
  for (int i = 0; i < nvara; ++i)
    for (int j = 0; j < nvara; ++j) {
      double r = std::round((l0[i] * l0[j] + l1[i] * l1[j]) * 1e4) / 1e4;
      if (kind == 1) r = (i + j) % 3 == 0 ? 0.0 : 1.0;
      if (kind == 2) r = (i / 3 == j / 3) ? 0.5 : -0.25;
      k[j * kLd + i] = i == j ? 1.0 : r;
    }
  if (kind == 3 && nvara > 3) k[1 * kLd + 3] = k[3 * kLd + 1] = kNaN;
  return k;
}

inline const char* isa_name(Isa isa) {
  switch (isa) {
    case Isa::avx512: return "avx512";
    case Isa::avx2: return "avx2";
    case Isa::baseline: break;
  }
  return "baseline";
}

// A build of the kernels in one of its arrangements.
struct Build {
  Isa isa;
  Arrangement arrangement;
};

inline void PrintTo(const Build& b, std::ostream* os) {
  *os << isa_name(b.isa)
      << (b.arrangement == Arrangement::fast_divider ? " fast_divider" : " slow_divider");
}

// A test run once in each kernel build and arrangement (instantiate with
// kBuilds and build_name); a build this processor cannot run is reported
// as skipped.
class EachBuild : public ::testing::TestWithParam<Build> {
 protected:
  void SetUp() override {
    if (!select_isa(GetParam().isa))
      GTEST_SKIP() << isa_name(GetParam().isa) << " kernels: not supported by this processor";
    select_arrangement(GetParam().arrangement);
  }
  void TearDown() override {
    select_isa(isa_);
    select_arrangement(arrangement_);
  }

 private:
  Isa isa_ = selected_isa();
  Arrangement arrangement_ = selected_arrangement();
};

inline const auto kBuilds = ::testing::ValuesIn([] {
  std::vector<Build> all;
  for (Isa isa : {Isa::baseline, Isa::avx2, Isa::avx512})
    for (Arrangement a : {Arrangement::slow_divider, Arrangement::fast_divider})
      all.push_back({isa, a});
  return all;
}());
inline std::string build_name(const ::testing::TestParamInfo<Build>& info) {
  return std::string(isa_name(info.param.isa)) +
         (info.param.arrangement == Arrangement::fast_divider ? "_fast_divider" : "_slow_divider");
}

}  // namespace kolva::testing
