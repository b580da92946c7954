// Decimal significands gathered one digit at a time, in bounded memory, and
// their conversion to the nearest double.
#pragma once

#include <cstdint>

namespace kolva {

// The digits of a decimal mantissa as a reader meets them, normalized:
// leading zeros dropped, at most kMaxDigits significant digits kept, and
// one sticky non-zero digit standing for every non-zero digit dropped
// after them. The value is 0.d1 d2 ... d(nd) times 10^lead.
//
// Keeping 800 digits is enough for exact rounding: a point half-way
// between two neighbouring doubles never has more than 767 significant
// digits, so the dropped digits can only tell whether the value lies
// strictly above the kept ones, and the sticky digit keeps that.
struct Decimal {
  static constexpr int kMaxDigits = 800;

  // The digits, then room for the sticky digit, the exponent letter, its
  // sign and digits, when the text is built for the conversion.
  char digits[kMaxDigits + 16];
  int nd = 0;             // digits kept
  bool sticky = false;    // a non-zero digit was dropped after them
  bool point = false;     // the decimal point has been met
  bool any = false;       // at least one digit has been met
  std::int64_t lead = 0;  // decimal exponent of the first kept digit

  void reset() {
    nd = 0;
    sticky = point = any = false;
    lead = 0;
  }

  // Takes the next mantissa digit ch ('0' .. '9').
  void add(int ch) {
    any = true;
    if (nd == 0 && ch == '0') {
      if (point) --lead;  // a zero between the point and the first digit
      return;
    }
    if (!point) ++lead;
    if (nd < kMaxDigits)
      digits[nd++] = static_cast<char>(ch);
    else if (ch != '0')
      sticky = true;
  }
};

// Exponents beyond this magnitude are held at it: any such exponent puts
// the value far outside the range of a double.
inline constexpr std::int64_t kExponentCap = 1000000000;

// decimal_value: magnitude of a gathered decimal number.
//   d      (in/out) the gathered digits; the tail of d.digits is used as
//                   scratch for the text handed to the conversion, the
//                   counts are left as they were.
//   exp10  (in)     the number's written exponent, held to +-kExponentCap.
// Returns the double nearest to 0.d1 ... d(nd) * 10^(lead + exp10), ties to
// even; +infinity above the range of a double, a subnormal or +0 below it.
// The caller applies the sign.
double decimal_value(Decimal& d, std::int64_t exp10);

// Powers of ten that are exact doubles: 10^0 .. 10^kExactPow10.
inline constexpr int kExactPow10 = 22;
inline constexpr double kPow10[kExactPow10 + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// Significant digits whose integer is exact as a double.
inline constexpr int kExactDigits = 15;

// The double nearest to m * 10^k, ties to even, when one rounded operation
// gives it: m of at most nd <= kExactDigits digits (exact) and |k| at most
// kExactPow10 (an exact power). False, with x untouched, otherwise.
inline bool exact_decimal(std::uint64_t m, int nd, std::int64_t k, double& x) {
  if (nd > kExactDigits || k < -kExactPow10 || k > kExactPow10) return false;
  const double d = static_cast<double>(m);
  x = k >= 0 ? d * kPow10[k] : d / kPow10[-k];
  return true;
}

}  // namespace kolva
