#include "textio/freeform.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#include "common/ascii.h"
#include "common/run_limits.h"
#include "textio/number_decimal.h"

namespace kolva {
namespace {

constexpr std::uint64_t kMaxRepeat = 200000000;
// Digit strings of integers and repeat counts are held here: any larger
// value is out of range for both.
constexpr std::uint64_t kDigitCap = 1000000000000;

// What one token gave.
enum class Tok { value, nulls, error, eof };

inline bool is_digit(int c) { return c >= '0' && c <= '9'; }

// Characters that may follow a token: blank, tab, line end, comma,
// semicolon, slash, or the end of the input.
inline bool ends_token(int c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case ',':
    case ';':
    case '/':
    case kEnd: return true;
    default: return false;
  }
}

// Characters that make up separators.
inline bool is_separator(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ';';
}

// skip_line: consumes the rest of the current line up to and including the
// next line feed (a carriage return alone does not end it) or up to the end
// of the input. Returns error on an operating-system read failure.
template <class Source>
Outcome skip_line(Source& in) {
  for (;;) {
    const int c = in.peek();
    if (c == kEnd) return Outcome::success;
    if (c == kFault) return Outcome::error;
    in.skip();
    if (c == '\n') return Outcome::success;
  }
}

// A file's buffer is searched a block at a time.
Outcome skip_line(FileSource& in) {
  for (;;) {
    const int c = in.peek();
    if (c == kEnd) return Outcome::success;
    if (c == kFault) return Outcome::error;
    const char* b = in.begin();
    const std::size_t k = static_cast<std::size_t>(in.end() - b);
    if (const void* lf = std::memchr(b, '\n', k)) {
      in.advance(static_cast<std::size_t>(static_cast<const char*>(lf) - b) + 1);
      return Outcome::success;
    }
    in.advance(k);
  }
}

// finish_read: ends a free-form read that filled its items or met the
// terminator, by skipping the rest of the line. An in-memory text is read
// from its start by every read, so what follows is never looked at and is
// left as it is (no scan over the blanks that pad a line text).
template <class Source>
Outcome finish_read(Source& in) {
  return skip_line(in);
}
Outcome finish_read(MemorySource&) { return Outcome::success; }

// scan_uint: digits from c on, into acc held at kDigitCap. Returns the
// character after them (not consumed).
template <class Source>
int scan_uint(Source& in, int c, std::uint64_t& acc) {
  while (is_digit(c)) {
    if (acc < kDigitCap) acc = acc * 10 + static_cast<unsigned>(c - '0');
    in.skip();
    c = in.peek();
  }
  return c;
}

// repeat_count: the '*' after the count r is the current character.
// Consumes it and sets rep. Returns nulls when a separator, the slash or
// the end of a line follows (r null values), value when a value follows,
// error for a count outside 1 .. kMaxRepeat, eof when the input ends.
template <class Source>
Tok repeat_count(Source& in, std::uint64_t r, std::int64_t& rep) {
  in.skip();
  if (r == 0 || r > kMaxRepeat) return Tok::error;
  rep = static_cast<std::int64_t>(r);
  const int c = in.peek();
  if (c == kEnd) return Tok::eof;
  if (ends_token(c)) return Tok::nulls;
  return Tok::value;
}

// int_token: one integer item's token, [r*][sign]digits, starting at the
// current character (not a separator, slash or end). Sets rep (1 without
// a count) and value.
template <class Source>
Tok int_token(Source& in, std::int64_t& rep, std::int32_t& value) {
  rep = 1;
  int c = in.peek();
  if (is_digit(c)) {
    std::uint64_t acc = 0;
    c = scan_uint(in, c, acc);
    if (c != '*') {
      if (!ends_token(c) || acc > 2147483647u) return Tok::error;
      value = static_cast<std::int32_t>(acc);
      return Tok::value;
    }
    const Tok t = repeat_count(in, acc, rep);
    if (t != Tok::value) return t;
    c = in.peek();
  }
  bool neg = false;
  if (c == '+' || c == '-') {
    neg = c == '-';
    in.skip();
    c = in.peek();
    if (c == kEnd) return Tok::eof;
  }
  if (!is_digit(c)) return Tok::error;
  std::uint64_t acc = 0;
  c = scan_uint(in, c, acc);
  if (!ends_token(c) || acc > (neg ? 2147483648u : 2147483647u)) return Tok::error;
  value = static_cast<std::int32_t>(neg ? -static_cast<std::int64_t>(acc)
                                        : static_cast<std::int64_t>(acc));
  return Tok::value;
}

// match: consumes the letters of word (lower case) in any case. eof when
// the input ends within the word, error on any other character.
template <class Source>
Tok match(Source& in, const char* word) {
  for (; *word; ++word) {
    const int c = in.peek();
    if (c == kEnd) return Tok::eof;
    if (ascii_lower(c) != *word) return Tok::error;
    in.skip();
  }
  return Tok::value;
}

// word: inf, infinity or nan[(...)] in any case, from its first letter.
template <class Source>
Tok word(Source& in, bool neg, double& value) {
  Tok t;
  if (ascii_lower(in.peek()) == 'i') {
    if ((t = match(in, "inf")) != Tok::value) return t;
    if (ascii_lower(in.peek()) == 'i' && (t = match(in, "inity")) != Tok::value) return t;
    value =
        neg ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  } else {
    if ((t = match(in, "nan")) != Tok::value) return t;
    if (in.peek() == '(') {
      in.skip();
      for (;;) {
        const int c = in.peek();
        if (c == kEnd) return Tok::eof;
        if (c == ')') break;
        if (c == kFault || is_separator(c)) return Tok::error;
        in.skip();
      }
      in.skip();
    }
    value = std::copysign(std::numeric_limits<double>::quiet_NaN(), neg ? -1.0 : 1.0);
  }
  return ends_token(in.peek()) ? Tok::value : Tok::error;
}

// marker_word: with missing-value markers, a token whose first letter is
// an i or n. The whole token (up to a separator, slash or end) is read:
// N, NA or NaN in any case, unsigned, is the missing value -9; any other
// token holding an n is invalid; a token without one is "i..." and fails
// as it would without markers.
template <class Source>
Tok marker_word(Source& in, bool sign, double& value) {
  char w[3] = {0, 0, 0};
  int len = 0;
  bool has_n = false;
  int c = in.peek();
  while (!ends_token(c)) {
    if (c == kFault) return Tok::error;
    const int lc = ascii_lower(c);
    has_n = has_n || lc == 'n';
    if (len < 3) w[len] = static_cast<char>(lc);
    if (len < 4) ++len;
    in.skip();
    c = in.peek();
  }
  if (has_n) {
    const bool marker =
        !sign && w[0] == 'n' &&
        (len == 1 || (len == 2 && w[1] == 'a') || (len == 3 && w[1] == 'a' && w[2] == 'n'));
    if (!marker) return Tok::error;
    value = kMissing;
    return Tok::value;
  }
  return len == 1 && c == kEnd ? Tok::eof : Tok::error;
}

// real_rest: the rest of a real token from c on: mantissa digits and
// point, then the exponent. d already holds any leading digits.
template <class Source>
Tok real_rest(Source& in, int c, bool neg, Decimal& d, double& value) {
  while (is_digit(c)) {
    d.add(c);
    in.skip();
    c = in.peek();
  }
  if (c == '.') {
    d.point = true;
    in.skip();
    c = in.peek();
    while (is_digit(c)) {
      d.add(c);
      in.skip();
      c = in.peek();
    }
  }
  if (!d.any) return Tok::error;

  std::int64_t e = 0;
  bool eneg = false;
  const int lc = ascii_lower(c);
  const bool letter = lc == 'e' || lc == 'd' || lc == 'q';
  if (letter || c == '+' || c == '-') {
    if (letter) {
      in.skip();
      c = in.peek();
    }
    if (c == '+' || c == '-') {
      eneg = c == '-';
      in.skip();
      c = in.peek();
    }
    if (c == kEnd) return Tok::eof;
    if (!is_digit(c)) return Tok::error;
    do {
      if (e < kExponentCap) e = e * 10 + (c - '0');
      in.skip();
      c = in.peek();
    } while (is_digit(c));
  }
  if (!ends_token(c)) return Tok::error;
  const double m = decimal_value(d, eneg ? -e : e);
  value = neg ? -m : m;
  return Tok::value;
}

// real_token: one real item's token, [r*][sign]mantissa[exponent] or a
// word, starting at the current character (not a separator, slash or end).
template <class Source>
Tok real_token(Source& in, Markers markers, Decimal& d, std::int64_t& rep, double& value) {
  rep = 1;
  d.reset();
  int c = in.peek();
  if (is_digit(c)) {
    // Leading digits: a repeat count if '*' follows, else the mantissa.
    std::uint64_t r = 0;
    do {
      if (r < kDigitCap) r = r * 10 + static_cast<unsigned>(c - '0');
      d.add(c);
      in.skip();
      c = in.peek();
    } while (is_digit(c));
    if (c != '*') return real_rest(in, c, false, d, value);
    const Tok t = repeat_count(in, r, rep);
    if (t != Tok::value) return t;
    d.reset();
    c = in.peek();
  }
  bool sign = false, neg = false;
  if (c == '+' || c == '-') {
    sign = true;
    neg = c == '-';
    in.skip();
    c = in.peek();
    if (c == kEnd) return Tok::eof;
  }
  const int lc = ascii_lower(c);
  if (lc == 'i' || lc == 'n') {
    return markers == Markers::missing ? marker_word(in, sign, value) : word(in, neg, value);
  }
  return real_rest(in, c, neg, d, value);
}

// read_list: the free-form walk over items[0 .. n-1], shared by both item
// types; token(in, rep, v) reads one token.
//
// The separator state: `start` before the first item, `comma` when a comma
// or semicolon stood before the separator's first line end, `eol` once a
// line end was met, `after_eol` while only blanks followed the last line
// end (a comma there belongs to the separator when `comma` is not set).
template <class Source, class T, class Token>
Outcome read_list(Source& in, T* items, int n, bool* filled, Token token) {
  if (n <= 0) {
    if (in.peek() == kEnd) return Outcome::eof;
    return finish_read(in);
  }
  int i = 0;
  bool start = true, comma = false, eol = false, after_eol = false;
  for (;;) {
    const int c = in.peek();
    switch (c) {
      case ' ':
      case '\t': in.skip(); continue;
      case '\r':
        in.skip();
        if (in.peek() == '\n') in.skip();
        eol = after_eol = true;
        continue;
      case '\n':
        in.skip();
        eol = after_eol = true;
        continue;
      case ',':
        in.skip();
        if (!start && !eol && !comma) {
          comma = true;
          continue;
        }
        if (after_eol && !comma) {
          after_eol = false;
          continue;
        }
        break;  // a null value
      case ';':
        in.skip();
        if (!start && !eol && !comma) {
          comma = true;
          continue;
        }
        break;  // a null value
      case '/': in.skip(); return finish_read(in);
      case kEnd: return Outcome::eof;
      case kFault: return Outcome::error;
      default: {
        std::int64_t rep = 1;
        T v{};
        const Tok t = token(in, rep, v);
        if (t == Tok::error) return Outcome::error;
        if (t == Tok::eof) return Outcome::eof;
        const int k = static_cast<int>(std::min<std::int64_t>(rep, n - i));
        if (t == Tok::value) {
          std::fill(items + i, items + i + k, v);
          if (filled) std::fill(filled + i, filled + i + k, true);
        }
        i += k;
        if (i == n) return finish_read(in);
        start = comma = eol = after_eol = false;
        continue;
      }
    }
    // A comma or semicolon that the separator did not take: the item before
    // it is null, and it begins the next separator.
    if (++i == n) return finish_read(in);
    start = eol = after_eol = false;
    comma = true;
  }
}

// take_text: the fixed-width read, character by character; from a file,
// its buffer is copied a run at a time up to the line end or the width.
template <class Source>
Outcome take_text(Source& in, char* text, int w) {
  int c = in.peek();
  if (c == kEnd) return Outcome::eof;
  int k = 0;
  for (;; c = in.peek()) {
    if (k == w) return skip_line(in);
    if (c == kFault) return Outcome::error;
    if (c == kEnd) break;
    if constexpr (std::is_same_v<Source, FileSource>) {
      const char* b = in.begin();
      const char* e =
          b + std::min<std::ptrdiff_t>(in.end() - b, static_cast<std::ptrdiff_t>(w - k));
      const char* p = b;
      while (p != e && *p != '\n' && *p != '\r') ++p;
      std::memcpy(text + k, b, static_cast<std::size_t>(p - b));
      k += static_cast<int>(p - b);
      in.advance(static_cast<std::size_t>(p - b));
      if (p == e) continue;
      c = static_cast<unsigned char>(*p);  // a line end
    }
    in.skip();
    if (c == '\n') break;
    if (c == '\r') {
      if (in.peek() == '\n') in.skip();
      break;
    }
    text[k++] = static_cast<char>(c);
  }
  std::memset(text + k, ' ', static_cast<std::size_t>(w - k));
  return Outcome::success;
}

}  // namespace

template <class Source>
Outcome read_free(Source& in, std::int32_t* items, int n, bool* filled) {
  return read_list(in, items, n, filled, [](Source& s, std::int64_t& rep, std::int32_t& v) {
    return int_token(s, rep, v);
  });
}

template <class Source>
Outcome read_free(Source& in, double* items, int n, Markers markers, bool* filled) {
  Decimal d;
  return read_list(in, items, n, filled, [&d, markers](Source& s, std::int64_t& rep, double& v) {
    return real_token(s, markers, d, rep, v);
  });
}

template <class Source>
Outcome read_text(Source& in, char* text, int w) {
  return take_text(in, text, w);
}

template Outcome read_free<MemorySource>(MemorySource&, std::int32_t*, int, bool*);
template Outcome read_free<FileSource>(FileSource&, std::int32_t*, int, bool*);
template Outcome read_free<MemorySource>(MemorySource&, double*, int, Markers, bool*);
template Outcome read_free<FileSource>(FileSource&, double*, int, Markers, bool*);
template Outcome read_text<MemorySource>(MemorySource&, char*, int);
template Outcome read_text<FileSource>(FileSource&, char*, int);

}  // namespace kolva
