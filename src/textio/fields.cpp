// Text and integer fields, and free-form records.
#include "textio/fields.h"

#include <charconv>
#include <cstring>

namespace kolva {

// put_text: text field of width w.
//   out   written: exactly w characters (nothing when w < 1).
//   text  read.
// A text shorter than w is right-aligned behind blanks; a longer one is cut
// to its leftmost w characters.
void put_text(char* out, int w, std::string_view text) {
  if (w < 1) return;
  const std::size_t width = static_cast<std::size_t>(w);
  if (text.size() >= width) {
    std::memcpy(out, text.data(), width);
    return;
  }
  const std::size_t pad = width - text.size();
  std::memset(out, ' ', pad);
  if (!text.empty()) std::memcpy(out + pad, text.data(), text.size());
}

// put_int: integer field of width w.
//   out  written: exactly w characters (nothing when w < 1).
//   v    the value; '-' directly before the digits when negative, no '+'.
// Right-aligned; w asterisks when sign and digits need more than w places.
void put_int(char* out, int w, std::int32_t v) {
  if (w < 1) return;
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, v);
  const int n = static_cast<int>(res.ptr - buf);
  if (n > w) {
    std::memset(out, '*', static_cast<std::size_t>(w));
    return;
  }
  std::memset(out, ' ', static_cast<std::size_t>(w - n));
  std::memcpy(out + (w - n), buf, static_cast<std::size_t>(n));
}

// append_freeform: one free-form record.
//   out    appended: the record and its record end (CR LF).
//   items  read: texts and 32-bit integers, in order.
// The record opens with one blank. Texts are written as they stand; an
// integer takes 11 positions (room for every 32-bit value). One blank
// separates consecutive items, except that a text directly following a
// text is joined to it.
void append_freeform(std::string& out, std::span<const FreeItem> items) {
  out.push_back(' ');
  bool first = true;
  bool prev_text = false;
  for (const FreeItem& item : items) {
    if (!first && !(prev_text && item.is_text())) out.push_back(' ');
    if (item.is_text()) {
      out.append(item.text());
    } else {
      const std::size_t at = out.size();
      out.resize(at + 11);
      put_int(out.data() + at, 11, item.value());
    }
    prev_text = item.is_text();
    first = false;
  }
  out.append(kRecordEnd);
}

}  // namespace kolva
