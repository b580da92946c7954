// Cross-check of the fixed-point and exponent fields against the C
// library's "%.*f" / "%.*e" conversions (exact on this platform, ties to
// even) over many random doubles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "textio/fields.h"

namespace kolva {
namespace {

// Sign and body right-aligned in w places; a "0" goes before a leading
// point when a place is spare.
std::string place(int w, double x, std::string body) {
  if (std::signbit(x)) body.insert(0, "-");
  if (static_cast<int>(body.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  if (body.find('.') == (std::signbit(x) ? 1u : 0u) && static_cast<int>(body.size()) < w)
    body.insert(std::signbit(x) ? 1 : 0, "0");
  return std::string(static_cast<std::size_t>(w) - body.size(), ' ') + body;
}

std::string ref_fixed(int w, int d, double x) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%#.*f", d, std::fabs(x));  // '#' keeps the point
  return place(w, x, buf[0] == '0' ? buf + 1 : buf);
}

std::string ref_exp(int w, int d, double x) {
  char buf[128];
  std::snprintf(buf, sizeof buf, "%#.*e", d - 1, std::fabs(x));
  char* epos = std::strchr(buf, 'e');
  const int e = x == 0 ? 0 : std::atoi(epos + 1) + 1;
  std::string body = "." + std::string(1, buf[0]) + std::string(buf + 2, epos);
  char ex[16];
  std::snprintf(ex, sizeof ex, std::abs(e) <= 99 ? "E%c%02d" : "%c%03d", e < 0 ? '-' : '+',
                std::abs(e));
  return place(w, x, body + ex);
}

// Any finite bit pattern, p-value-like magnitudes, or a dyadic fraction
// that often sits exactly on a decimal tie.
double draw(std::mt19937_64& rng) {
  const std::uint64_t r = rng();
  switch (rng() % 3) {
    case 0: {
      double x;
      std::memcpy(&x, &r, sizeof x);
      return std::isfinite(x) ? x : 0.5;
    }
    case 1: return std::ldexp(static_cast<double>(r >> 11), -53) * std::pow(10.0, -double(r % 30));
    default: return (static_cast<double>(r % 2000001) - 1e6) / double(std::uint64_t{1} << (r % 12));
  }
}

TEST(RealFieldsRandom, MatchExactReference) {
  std::mt19937_64 rng(20240611);
  char got[128];
  int mismatches = 0;
  for (int i = 0; i < 200000 && mismatches < 10; ++i) {
    const double x = draw(rng);
    const int rd = static_cast<int>(rng() % 31), ed = rd < 1 ? 1 : rd;
    const int spare = static_cast<int>(rng() % 4);  // 0 to 3 places beyond the digits
    struct Shape {
      int w, d;
      bool expo;
    };
    const Shape shapes[] = {{20, 15, true},
                            {8, 4, false},
                            {5, 2, false},
                            {ed + 5 + spare, ed, true},
                            {rd + 3 + spare, rd, false},
                            {60, rd, false}};
    for (const Shape& s : shapes) {
      if (!s.expo && std::fabs(x) >= 1e60) continue;  // keeps the reference small
      const std::string want = s.expo ? ref_exp(s.w, s.d, x) : ref_fixed(s.w, s.d, x);
      (s.expo ? put_exp : put_fixed)(got, s.w, s.d, x);
      const std::string have(got, static_cast<std::size_t>(s.w));
      if (have != want) {
        ++mismatches;
        ADD_FAILURE() << (s.expo ? "E" : "F") << s.w << "." << s.d << " of " << std::hexfloat << x
                      << ": got '" << have << "' want '" << want << "'";
      }
    }
  }
}

// The result field (E20.15) where its fast digits are most at risk: next to
// the half-way points of the 15th digit, next to powers of ten (where the
// exponent moves, and where it gets three digits and loses the E), and
// among subnormals.
TEST(RealFieldsRandom, ResultFieldAtRoundingBoundaries) {
  std::mt19937_64 rng(99);
  std::vector<double> xs;
  for (int i = 0; i < 150000; ++i) {
    // A 15-digit significand and a 5 after it: a decimal half-way point.
    char text[64];
    std::snprintf(text, sizeof text, "%015llu5e%d",
                  static_cast<unsigned long long>(100000000000000ull + rng() % 900000000000000ull),
                  static_cast<int>(rng() % 633) - 340);  // up to 1e308
    xs.push_back(std::strtod(text, nullptr));
  }
  for (int k = -323; k <= 308; ++k) xs.push_back(std::pow(10.0, k));
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t bits = rng() % (std::uint64_t{1} << 52);  // subnormal
    double x;
    std::memcpy(&x, &bits, sizeof x);
    xs.push_back(x);
  }
  char got[20];
  int mismatches = 0;
  for (double x0 : xs) {
    for (double x : {x0, std::nextafter(x0, 0.0), std::nextafter(x0, 1e300), -x0}) {
      if (!std::isfinite(x)) continue;
      put_exp(got, 20, 15, x);
      const std::string want = ref_exp(20, 15, x);
      if (std::string(got, 20) != want && ++mismatches <= 10)
        ADD_FAILURE() << std::hexfloat << x << ": got '" << std::string(got, 20) << "' want '"
                      << want << "'";
    }
  }
}

}  // namespace
}  // namespace kolva
