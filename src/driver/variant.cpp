#include "driver/variant.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "textio/number_decimal.h"

namespace kolva {

namespace {

// Fixed-length text field: the first `w` characters of s, blank-padded.
void store(char* dst, std::size_t w, std::string_view s) {
  std::size_t n = s.size() < w ? s.size() : w;
  std::memcpy(dst, s.data(), n);
  std::memset(dst + n, ' ', w - n);
}

// Splits off the first field: leading blanks dropped, the field runs to the
// first blank (or the end); `rest` starts after that blank.
std::string_view field(std::string_view& rest) {
  std::size_t b = rest.find_first_not_of(' ');
  if (b == std::string_view::npos) b = rest.size();
  rest.remove_prefix(b);
  std::size_t e = rest.find(' ');
  std::string_view f = rest.substr(0, e);
  rest.remove_prefix(e == std::string_view::npos ? rest.size() : e + 1);
  return f;
}

// One value token of the common form [-+]digits[.digits][(e|E)[-+]digits],
// or a missing-value word N, NA or NaN (any case), ending at a blank or at
// the end; p moves past it. False for any other token: the free-form read
// decides those. The value is the double nearest to the decimal, as the
// free-form read gives it: a significand of at most 15 digits times an
// exact power of ten up to 10^22 in one rounded operation, others through
// from_chars (exact), whose out-of-range cases are left to the free-form
// read.
bool plain_value(const char*& p, const char* end, double& value) {
  const char* q = p;
  const int lc = *q | 0x20;
  if (lc == 'n') {
    ++q;
    if (q < end && (*q | 0x20) == 'a') {
      ++q;
      if (q < end && (*q | 0x20) == 'n') ++q;
    }
    if (q < end && *q != ' ') return false;
    value = kMissing;
    p = q;
    return true;
  }
  const bool neg = *q == '-';
  if (*q == '-' || *q == '+') ++q;
  const char* const mantissa = q;
  std::uint64_t m = 0;
  int nd = 0;     // significant digits in m
  int scale = 0;  // decimal exponent of m's last digit, before the exponent part
  bool any = false;
  for (; q < end && *q >= '0' && *q <= '9'; ++q) {
    any = true;
    if (nd == 0 && *q == '0') continue;
    if (nd < 19)
      m = m * 10 + static_cast<unsigned>(*q - '0');
    else
      ++scale;
    ++nd;
  }
  if (q < end && *q == '.') {
    for (++q; q < end && *q >= '0' && *q <= '9'; ++q) {
      any = true;
      if (nd == 0 && *q == '0') {
        --scale;
        continue;
      }
      if (nd < 19) {
        m = m * 10 + static_cast<unsigned>(*q - '0');
        --scale;
      }
      ++nd;
    }
  }
  if (!any) return false;
  int exp = 0;
  if (q < end && (*q | 0x20) == 'e') {
    ++q;
    bool eneg = false;
    if (q < end && (*q == '-' || *q == '+')) eneg = *q++ == '-';
    if (q == end || *q < '0' || *q > '9') return false;
    for (; q < end && *q >= '0' && *q <= '9'; ++q)
      if (exp < 100000) exp = exp * 10 + (*q - '0');
    if (eneg) exp = -exp;
  }
  if (q < end && *q != ' ') return false;

  double x;
  const int k = scale + exp;
  if (nd == 0) {
    x = 0.0;
  } else if (!exact_decimal(m, nd, k, x)) {
    const auto r = std::from_chars(mantissa, q, x);
    if (r.ec != std::errc() || r.ptr != q) return false;
  }
  value = neg ? -x : x;
  p = q;
  return true;
}

// The p-values of a line whose value part holds only blanks and plain
// tokens: false (p partly written) when some token is not plain or fewer
// than nvara are there. `after` receives where the last value ends.
[[gnu::noinline]] bool plain_values(std::string_view rest, int nvara, double* p,
                                    const char*& after) {
  if (nvara <= 0) return false;  // the free-form read's own case
  const char* q = rest.data();
  const char* const end = q + rest.size();
  for (int i = 0; i < nvara; ++i) {
    while (q < end && *q == ' ') ++q;
    if (q == end || !plain_value(q, end, p[i])) return false;
  }
  after = q;
  return true;
}

// Whether the value part holds more than nvara values: a further value, or
// a further token that is not one, before the line (or a terminator) ends.
bool more_values(std::string_view rest, int nvara) {
  double v[maxnvara + 1];
  bool filled[maxnvara + 1] = {};
  MemorySource values(rest);
  return read_free(values, v, nvara + 1, Markers::missing, filled) == Outcome::error ||
         filled[nvara];
}

}  // namespace

Outcome split_variant(std::string_view line, int nvara, Variant& v, bool* beyond) {
  std::string_view rest = line;
  store(v.chrom, sizeof v.chrom, field(rest));
  std::string_view id = field(rest);
  store(v.id, sizeof v.id, id);
  if (id.size() > sizeof v.id) std::memcpy(v.id + kIdCutKeep, kIdCutMark.data(), kIdCutMark.size());

  const char* after = nullptr;
  if (plain_values(rest, nvara, v.p, after)) {
    if (beyond) {
      const std::string_view tail(after,
                                  static_cast<std::size_t>(rest.data() + rest.size() - after));
      *beyond = tail.find_first_not_of(' ') != std::string_view::npos && more_values(rest, nvara);
    }
    return Outcome::success;
  }
  for (int i = 0; i < nvara; ++i) v.p[i] = kMissing;
  MemorySource values(rest);
  const Outcome o = read_free(values, v.p, nvara, Markers::missing);
  if (beyond) *beyond = o == Outcome::success && more_values(rest, nvara);
  return o;
}

}  // namespace kolva
