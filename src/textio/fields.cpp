// Text and integer fields, and free-form records.
#include "textio/fields.h"

#include <charconv>
#include <cstring>

namespace kolva {

// put_text (contract in fields.h).
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

// put_int (contract in fields.h).
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

// append_freeform (contract in fields.h).
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
