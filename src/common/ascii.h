// ASCII letter case, the one comparison that ignores it. Chromosome names,
// missing-value words and number words are matched in any case, by these
// and nothing else. Bytes other than A-Z and a-z are never changed, so text
// in other encodings passes through as it is. Header only.
#pragma once

#include <cstddef>
#include <string_view>

namespace kolva {

constexpr char ascii_upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// For the byte sources' peek() values: a byte 0 .. 255 or a negative mark
// (end, fault), which is left as it is.
constexpr int ascii_lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

// a and b are equal when letters are taken without their case.
constexpr bool iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ascii_upper(a[i]) != ascii_upper(b[i])) return false;
  return true;
}

}  // namespace kolva
