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

#include "textio/fields.h"

namespace kolva {
namespace {

std::string pad_left(const std::string& body, int w, bool lead0_allowed) {
  if (static_cast<int>(body.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
  std::string s = body;
  if (lead0_allowed && static_cast<int>(s.size()) < w) {
    // "0" goes right after the sign, before the point.
    const std::size_t at = (s[0] == '-') ? 1 : 0;
    s.insert(at, "0");
  }
  return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

std::string ref_fixed(int w, int d, double x) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", d, std::fabs(x));
  std::string digits = buf;
  std::string ip = digits.substr(0, digits.find('.'));
  std::string fp = d > 0 ? digits.substr(digits.find('.') + 1) : "";
  if (ip == "0") ip.clear();
  const std::string body = (std::signbit(x) ? "-" : "") + ip + "." + fp;
  return pad_left(body, w, ip.empty());
}

std::string ref_exp(int w, int d, double x) {
  std::string mant;
  int e = 0;
  if (x == 0) {
    mant.assign(static_cast<std::size_t>(d), '0');
  } else {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*e", d - 1, std::fabs(x));
    const char* epos = std::strchr(buf, 'e');
    for (const char* p = buf; p < epos; ++p)
      if (*p != '.') mant.push_back(*p);
    e = std::atoi(epos + 1) + 1;
  }
  char ex[16];
  if (std::abs(e) <= 99)
    std::snprintf(ex, sizeof ex, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
  else
    std::snprintf(ex, sizeof ex, "%c%03d", e < 0 ? '-' : '+', std::abs(e));
  const std::string body = (std::signbit(x) ? "-" : "") + std::string(".") + mant + ex;
  return pad_left(body, w, true);
}

// Random doubles of several kinds: any finite bit pattern, p-value-like
// magnitudes, and dyadic fractions that sit exactly on decimal ties.
double draw(std::mt19937_64& rng) {
  switch (rng() % 4) {
    case 0: {
      double x;
      do {
        const std::uint64_t bits = rng();
        std::memcpy(&x, &bits, sizeof x);
      } while (!std::isfinite(x));
      return x;
    }
    case 1:
      return std::ldexp(static_cast<double>(rng() >> 11), -53) *
             std::pow(10.0, -static_cast<int>(rng() % 30));
    case 2:
      return static_cast<double>(static_cast<std::int64_t>(rng() % 2000001) - 1000000) /
             static_cast<double>(std::uint64_t{1} << (rng() % 12));
    default:
      return (static_cast<double>(rng() % 200000) - 100000.0) / 997.0;
  }
}

TEST(RealFieldsRandom, MatchExactReference) {
  std::mt19937_64 rng(20240611);
  char got[128];
  int mismatches = 0;
  for (int i = 0; i < 200000 && mismatches < 10; ++i) {
    const double x = draw(rng);
    struct Shape { int w, d; bool expo; };
    const int rd = static_cast<int>(rng() % 31);
    const Shape shapes[] = {
        {20, 15, true},      {8, 4, false}, {5, 2, false},
        {rd + 9, rd < 1 ? 1 : rd, true}, {rd + 8, rd, false}, {60, rd, false},
    };
    for (const Shape& s : shapes) {
      if (!s.expo && std::fabs(x) >= 1e60) continue;  // keeps the reference small
      const std::string want = s.expo ? ref_exp(s.w, s.d, x) : ref_fixed(s.w, s.d, x);
      if (s.expo)
        put_exp(got, s.w, s.d, x);
      else
        put_fixed(got, s.w, s.d, x);
      const std::string have(got, static_cast<std::size_t>(s.w));
      if (have != want) {
        ++mismatches;
        ADD_FAILURE() << (s.expo ? "E" : "F") << s.w << "." << s.d << " of "
                      << std::hexfloat << x << ": got '" << have << "' want '" << want << "'";
      }
    }
  }
}

}  // namespace
}  // namespace kolva
