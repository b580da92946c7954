// Real-valued fields: fixed-point (Fw.d) and exponent (Ew.d) forms.
//
// Digits come from std::to_chars with an explicit precision, which rounds
// the double's exact binary value to nearest, ties to even, and never
// consults the locale or allocates; the 15 digits of the result field come
// from digits15 first, which gives the same digits or declines.
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "textio/digits15.h"
#include "textio/fields.h"
#include "textio/number_decimal.h"

namespace kolva {
namespace {

void stars(char* out, int w) { std::memset(out, '*', static_cast<std::size_t>(w)); }

// Writes s right-aligned in w >= 1 positions, or w asterisks when it is
// longer than w.
void put_right(char* out, int w, std::string_view s) {
  const int n = static_cast<int>(s.size());
  if (n > w) {
    stars(out, w);
    return;
  }
  std::memset(out, ' ', static_cast<std::size_t>(w - n));
  std::memcpy(out + (w - n), s.data(), s.size());
}

// put_nonfinite: infinity or not-a-number in a real field of width w >= 1.
//   NaN: "NaN" (its sign never shows); +Inf: "Inf", or "Infinity" from
//   width 8; -Inf: "-Inf", or "-Infinity" from width 9. Right-aligned;
//   asterisks when the word does not fit (always for w <= 2, and for -Inf
//   at w = 3).
void put_nonfinite(char* out, int w, double x) {
  if (w <= 2) {
    stars(out, w);
    return;
  }
  std::string_view s;
  if (std::isnan(x))
    s = "NaN";
  else if (x > 0)
    s = w >= 8 ? "Infinity" : "Inf";
  else
    s = w >= 9 ? "-Infinity" : "-Inf";
  put_right(out, w, s);
}

}  // namespace

// put_fixed (contract in fields.h). Method: |x| is rounded to d decimals
// by to_chars (exact, ties to even).
void put_fixed(char* out, int w, int d, double x) {
  if (w < 1) return;
  if (!std::isfinite(x)) {
    put_nonfinite(out, w, x);
    return;
  }
  if (d < 0 || d > kMaxFieldDigits) {
    stars(out, w);
    return;
  }
  const bool neg = std::signbit(x);
  const double ax = std::fabs(x);
  // At least w + 1 integer digits can never fit: skip the digit work.
  if (w <= kExactPow10 && ax >= kPow10[w]) {
    stars(out, w);
    return;
  }
  // Largest double: 309 integer digits, then the point and d decimals.
  char buf[320 + kMaxFieldDigits];
  const auto res = std::to_chars(buf, buf + sizeof buf, ax, std::chars_format::fixed, d);
  if (res.ec != std::errc{}) {
    stars(out, w);
    return;
  }
  const int n = static_cast<int>(res.ptr - buf);
  const int nint = d > 0 ? n - d - 1 : n;  // integer characters from to_chars
  const int int_digits = (nint == 1 && buf[0] == '0') ? 0 : nint;
  const int need = (neg ? 1 : 0) + int_digits + 1 + d;
  if (need > w) {
    stars(out, w);
    return;
  }
  int blanks = w - need;
  const bool lead0 = int_digits == 0 && blanks > 0;
  if (lead0) --blanks;
  char* p = out;
  std::memset(p, ' ', static_cast<std::size_t>(blanks));
  p += blanks;
  if (neg) *p++ = '-';
  if (lead0) *p++ = '0';
  std::memcpy(p, buf, static_cast<std::size_t>(int_digits));
  p += int_digits;
  *p++ = '.';
  if (d > 0) std::memcpy(p, buf + nint + 1, static_cast<std::size_t>(d));
}

// put_exp (contract in fields.h). Method: to_chars in scientific form with d - 1 decimals rounds
// |x| to d significant digits (exact, ties to even) and carries into the exponent itself; its
// D.DDDe+X is 0.DDDD * 10^(X+1).
void put_exp(char* out, int w, int d, double x) {
  if (w < 1) return;
  if (!std::isfinite(x)) {
    put_nonfinite(out, w, x);
    return;
  }
  if (d < 1 || d > kMaxFieldDigits) {
    stars(out, w);
    return;
  }
  const bool neg = std::signbit(x);
  const int need = (neg ? 1 : 0) + 1 + d + 4;
  if (need > w) {
    stars(out, w);
    return;
  }
  int blanks = w - need;
  const bool lead0 = blanks > 0;
  if (lead0) --blanks;
  char* p = out;
  std::memset(p, ' ', static_cast<std::size_t>(blanks));
  p += blanks;
  if (neg) *p++ = '-';
  if (lead0) *p++ = '0';
  *p++ = '.';

  int e = 0;
  if (x == 0) {
    std::memset(p, '0', static_cast<std::size_t>(d));
    p += d;
  } else if (d == kDigits15 && digits15(std::fabs(x), p, e)) {
    p += d;  // the result field's digits, found fast
  } else {
    char buf[16 + kMaxFieldDigits];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(x), std::chars_format::scientific, d - 1);
    if (res.ec != std::errc{}) {
      stars(out, w);
      return;
    }
    // buf: D, then (d > 1) '.' and d - 1 digits, then 'e', sign, digits.
    *p++ = buf[0];
    const char* q = buf + 1;
    if (d > 1) {
      std::memcpy(p, buf + 2, static_cast<std::size_t>(d - 1));
      p += d - 1;
      q = buf + 1 + d;
    }
    // q points at 'e'.
    const bool eneg = q[1] == '-';
    int mag = 0;
    for (const char* r = q + 2; r < res.ptr; ++r) mag = mag * 10 + (*r - '0');
    e = (eneg ? -mag : mag) + 1;
  }

  const int ae = e < 0 ? -e : e;
  if (ae <= 99) {
    *p++ = 'E';
    *p++ = e < 0 ? '-' : '+';
    *p++ = static_cast<char>('0' + ae / 10);
    *p++ = static_cast<char>('0' + ae % 10);
  } else {
    *p++ = e < 0 ? '-' : '+';
    *p++ = static_cast<char>('0' + ae / 100);
    *p++ = static_cast<char>('0' + ae / 10 % 10);
    *p++ = static_cast<char>('0' + ae % 10);
  }
}

}  // namespace kolva
