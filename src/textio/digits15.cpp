#include "textio/digits15.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace kolva {

namespace {

// Method: with e = floor(log10 x), y = x * 10^(14 - e) lies in
// [10^14, 10^15) and its nearest integer is the 15 digits. The power is
// taken from a table of 64-bit significands of 10^k (correctly rounded
// by strtold where long double has them, so within a relative 2^-63), and
// x's significand times it is formed exactly in 128 bits: the computed y
// is within a relative 2^-63 of the true one, an absolute error below
// 1.1e-4 at y < 10^15. Only when the fraction of y lies within 2^-12
// (2.4e-4) of one half can the error decide the rounding; those values go
// to the exact path.
constexpr bool kExtended = std::numeric_limits<long double>::digits >= 64;
constexpr int kMarginBits = 12;
using u128 = unsigned __int128;

// 10^k for every k that x * 10^(14 - e) needs: e from -324 (subnormals)
// to 308. 10^k ~ sig * 2^exp, sig with its top bit set.
constexpr int kLowPow = 14 - 308 - 1;
constexpr int kHighPow = 14 + 324 + 1;

struct Power {
  std::uint64_t sig;
  int exp;
};

struct Powers {
  Power p[kHighPow - kLowPow + 1];
  Powers() {
    for (int k = kLowPow; k <= kHighPow; ++k) {
      int ex = 0;
      const long double f =
          std::frexp(std::strtold(("1e" + std::to_string(k)).c_str(), nullptr), &ex);
      p[k - kLowPow] = {static_cast<std::uint64_t>(std::ldexp(f, 64)), ex - 64};
    }
  }
};

const Powers kPowers;

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes n < 10^4 as 4 digits.
void put4(char* out, std::uint32_t n) {
  std::memcpy(out, kPairs + 2 * (n / 100), 2);
  std::memcpy(out + 2, kPairs + 2 * (n % 100), 2);
}

// y = m * 2^q * 10^k as a 128-bit fixed-point number with `shift`
// fraction bits.
u128 scaled(std::uint64_t m, int q, int k, int& shift) {
  const Power& p = kPowers.p[k - kLowPow];
  shift = -(q + p.exp);
  return static_cast<u128>(m) * p.sig;
}

}  // namespace

bool digits15(double x, char* digits, int& e) {
  if constexpr (!kExtended) return false;
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const int biased = static_cast<int>(bits >> 52) & 0x7ff;
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int q = -1074;
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    q = biased - 1075;
  }
  const int top = 63 - __builtin_clzll(m) + q;  // x in [2^top, 2^(top+1))
  // floor(log10 x) is this or one more: floor(top * log10 2), exact for
  // |top| <= 1100 (checked against a 60-digit log10 2).
  int dexp = (top * 78913) >> 18;
  int shift;
  u128 y = scaled(m, q, 14 - dexp, shift);
  constexpr std::uint64_t kLow = 100000000000000ull, kHigh = 1000000000000000ull;
  if ((y >> shift) >= kHigh) {
    ++dexp;
    y = scaled(m, q, 14 - dexp, shift);
  }
  if (shift <= kMarginBits || shift >= 128) return false;
  auto n = static_cast<std::uint64_t>(y >> shift);
  const u128 frac = y & ((u128{1} << shift) - 1);
  const u128 half = u128{1} << (shift - 1), margin = u128{1} << (shift - kMarginBits);
  if (frac > half - margin && frac < half + margin) return false;
  if (frac > half) ++n;
  if (n == kHigh) {
    n = kLow;
    ++dexp;
  }
  if (n < kLow || n >= kHigh) return false;
  // 15 digits: 1, 2 and 4 of the top 7, then 4 and 4, in independent
  // 32-bit parts.
  const auto head = static_cast<std::uint32_t>(n / 100000000);
  const auto tail = static_cast<std::uint32_t>(n % 100000000);
  digits[0] = static_cast<char>('0' + head / 1000000);
  std::memcpy(digits + 1, kPairs + 2 * (head / 10000 % 100), 2);
  put4(digits + 3, head % 10000);
  put4(digits + 7, tail / 10000);
  put4(digits + 11, tail % 10000);
  e = dexp + 1;
  return true;
}

}  // namespace kolva
