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
// taken from a table of long doubles rounded to nearest (strtold is exact)
// and multiplied in one rounded operation, so the computed y is within a
// relative 2^-63 of the true one: an absolute error below 1.1e-4 at
// y < 10^15. Only when the fraction of y lies within kMargin of one half
// can the error decide the rounding; those values go to the exact path.
constexpr bool kExtended = std::numeric_limits<long double>::digits >= 64;
constexpr long double kMargin = 2.5e-4L;

// 10^k for every k that x * 10^(14 - e) needs: e from -324 (subnormals)
// to 308.
constexpr int kLowPow = 14 - 308 - 1;
constexpr int kHighPow = 14 + 324 + 1;

struct Powers {
  long double p[kHighPow - kLowPow + 1];
  Powers() {
    for (int k = kLowPow; k <= kHighPow; ++k)
      p[k - kLowPow] = std::strtold(("1e" + std::to_string(k)).c_str(), nullptr);
  }
};

long double pow10(int k) {
  static const Powers table;
  return table.p[k - kLowPow];
}

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes n (< 10^(2 * pairs)) as 2 * pairs digits.
void put_pairs(char* out, std::uint64_t n, int pairs) {
  for (int i = pairs - 1; i >= 0; --i) {
    std::memcpy(out + 2 * i, kPairs + 2 * (n % 100), 2);
    n /= 100;
  }
}

}  // namespace

bool digits15(double x, char* digits, int& e) {
  if constexpr (!kExtended) return false;
  int bexp;
  std::frexp(x, &bexp);  // x in [2^(bexp-1), 2^bexp)
  // floor(log10 x) is this or one more.
  int dexp = static_cast<int>(std::floor((bexp - 1) * 0.30102999566398120));
  long double y = static_cast<long double>(x) * pow10(14 - dexp);
  if (y >= 1e15L) {
    ++dexp;
    y = static_cast<long double>(x) * pow10(14 - dexp);
  }
  auto n = static_cast<std::uint64_t>(y);
  const long double frac = y - static_cast<long double>(n);
  if (frac > 0.5L - kMargin && frac < 0.5L + kMargin) return false;
  if (frac > 0.5L) ++n;
  if (n == 1000000000000000ull) {
    n = 100000000000000ull;
    ++dexp;
  }
  if (n < 100000000000000ull || n >= 1000000000000000ull) return false;
  digits[0] = static_cast<char>('0' + n / 100000000000000ull);
  put_pairs(digits + 1, n % 100000000000000ull, 7);
  e = dexp + 1;
  return true;
}

}  // namespace kolva
