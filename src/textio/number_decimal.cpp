#include "textio/number_decimal.h"

#include <charconv>
#include <limits>

namespace kolva {

// decimal_value (contract in number_decimal.h). Method: values whose first digit lies at 10^310 or
// above are infinite and values below 10^-330 (under half the smallest subnormal) are zero. A
// significand of at most 15 digits scaled by 10^k, |k| <= 22, is an exact integer times or divided
// by an exact power of ten: one rounded operation gives the nearest double. Every other value is
// written as "DDD...e<x>", an integer significand of at most kMaxDigits + 1 digits, and converted
// by std::from_chars, which rounds exactly. from_chars reports out-of-range without giving a value
// both on overflow and on underflow to zero; the exponent tells which it was.
double decimal_value(Decimal& d, std::int64_t exp10) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  if (d.nd == 0) return 0.0;
  const std::int64_t top = d.lead + exp10;
  if (top > 310) return kInf;
  if (top < -330) return 0.0;

  int nd = d.nd;
  if (nd <= kExactDigits && !d.sticky) {
    std::uint64_t m = 0;
    for (int i = 0; i < nd; ++i) m = m * 10 + static_cast<unsigned>(d.digits[i] - '0');
    double x;
    if (exact_decimal(m, nd, top - nd, x)) return x;
  }
  if (d.sticky) d.digits[nd++] = '1';
  char* const end = d.digits + sizeof d.digits;
  char* p = d.digits + nd;
  *p++ = 'e';
  p = std::to_chars(p, end, top - nd).ptr;

  double v = 0.0;
  const auto r = std::from_chars(d.digits, p, v);
  if (r.ec == std::errc::result_out_of_range) return top > 0 ? kInf : 0.0;
  return v;
}

}  // namespace kolva
