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

// Text field: right-aligned when the text is shorter than w, its leftmost
// w characters when longer.
void put_text(char* out, int w, std::string_view text);
// Integer field: right-aligned, '-' for negatives, never '+'.
void put_int(char* out, int w, std::int32_t v);
// Largest digit count d accepted by the real fields; a larger d (or a
// negative one, or d < 1 for the exponent form) fills the field with
// asterisks. A width w < 1 writes nothing.
inline constexpr int kMaxFieldDigits = 60;

// Fixed-point field Fw.d.
void put_fixed(char* out, int w, int d, double x);
// Exponent field Ew.d: ".DDDE+ee" (or ".DDD+eee" for three-digit exponents).
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

// Appends one free-form record, record end (CR LF) included: a blank, then
// the items; texts as they stand, integers in 11 positions, one separator
// blank before every item but the first, except between two texts.
void append_freeform(std::string& out, std::span<const FreeItem> items);

inline constexpr std::string_view kRecordEnd = "\r\n";

}  // namespace kolva
