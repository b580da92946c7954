// Characters of output fields and free-form records.
//
// Every field writer puts exactly w characters at `out`. Numbers are
// rounded exactly (round half to even on the double's exact binary value),
// a value too wide for its field becomes w asterisks, and infinities and
// not-a-number values follow the table of the record conventions.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kolva {

// put_text: text field Aw.
//   out   (out) exactly w characters (nothing when w < 1).
//   text  (in)  right-aligned behind blanks when shorter than w, cut to
//               its leftmost w characters when longer.
void put_text(char* out, int w, std::string_view text);

// put_int: integer field Iw.
//   out  (out) exactly w characters (nothing when w < 1): v right-aligned,
//              '-' directly before the digits when negative, never '+';
//              w asterisks when sign and digits need more than w places.
void put_int(char* out, int w, std::int32_t v);

// Largest digit count d accepted by the real fields; a larger d (or a
// negative one, or d < 1 for the exponent form) fills the field with
// asterisks. A width w < 1 writes nothing.
inline constexpr int kMaxFieldDigits = 60;

// put_fixed: fixed-point field Fw.d.
//   out  (out) exactly w characters (nothing when w < 1).
//   d    (in)  digits after the point, 0 .. kMaxFieldDigits; out of range
//              gives w asterisks.
//   x    (in)  the value. A set sign bit writes '-', also for -0.0 and for
//              values that round to zero.
// |x| rounded to d decimals (exact, ties to even); the form needs sign +
// integer digits + 1 + d places (an integer part of zero has no digits),
// more than w gives w asterisks; spare places are blanks on the left, one
// of which becomes a "0" before the point when the integer part is zero.
void put_fixed(char* out, int w, int d, double x);

// put_exp: exponent field Ew.d.
//   out  (out) exactly w characters (nothing when w < 1).
//   d    (in)  digits after the point, 1 .. kMaxFieldDigits; out of range
//              gives w asterisks.
//   x    (in)  the value; a set sign bit writes '-', -0.0 included.
// Form: [blanks][-][0].DDD...D followed by "E+ee"/"E-ee" when |e| <= 99 and
// "+eee"/"-eee" otherwise, for |x| = 0.DDD...D * 10^e with a non-zero first
// digit (zero: d zeros and e = 0), rounded exactly, ties to even. The form
// needs sign + 1 + d + 4 places; more than w gives w asterisks, and one
// spare place becomes a "0" before the point.
//
// In both real fields NaN is "NaN" (its sign never shows), +Inf "Inf" or
// from width 8 "Infinity", -Inf "-Inf" or from width 9 "-Infinity",
// right-aligned, asterisks when the word does not fit.
void put_exp(char* out, int w, int d, double x);

// One item of a free-form record: a text or a 32-bit integer.
class FreeItem {
 public:
  FreeItem(std::string_view text) : text_(text), is_text_(true) {}
  FreeItem(const char* text) : text_(text), is_text_(true) {}
  FreeItem(std::int32_t value) : value_(value), is_text_(false) {}

  bool is_text() const { return is_text_; }
  std::string_view text() const { return text_; }
  std::int32_t value() const { return value_; }

 private:
  std::string_view text_;
  std::int32_t value_ = 0;
  bool is_text_;
};

// append_freeform: one free-form record.
//   out    (in/out) the record and its record end (CR LF) appended.
//   items  (in)     texts and 32-bit integers, in order.
// The record opens with one blank. Texts are written as they stand; an
// integer takes 11 positions (room for every 32-bit value). One blank
// separates consecutive items, except that a text directly following a
// text is joined to it.
void append_freeform(std::string& out, std::span<const FreeItem> items);

inline constexpr std::string_view kRecordEnd = "\r\n";

}  // namespace kolva
