#include "prep/chrom.h"

#include <array>
#include <string>

namespace kolva::prep {
namespace {

bool iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

}  // namespace

std::uint8_t chrom_code(std::string_view s, bool ssf) {
  if (s.size() > 3 && iequal(s.substr(0, 3), "CHR")) s.remove_prefix(3);
  if (s.empty()) return 0;
  if (s[0] >= '0' && s[0] <= '9') {
    unsigned v = 0;
    for (char c : s) {
      if (c < '0' || c > '9' || v > 100) return 0;
      v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (ssf && v == 25) return kChromMT;
    if (v < 1 || v > (ssf ? 24u : 26u)) return 0;
    return static_cast<std::uint8_t>(v);
  }
  if (iequal(s, "X")) return kChromX;
  if (iequal(s, "Y")) return kChromY;
  if (iequal(s, "XY")) return kChromXY;
  if (iequal(s, "MT") || iequal(s, "M")) return kChromMT;
  return 0;
}

std::string_view chrom_name(std::uint8_t code) {
  static const std::array<std::string, 27> names = [] {
    std::array<std::string, 27> n;
    for (int i = 1; i <= 22; ++i) n[static_cast<std::size_t>(i)] = std::to_string(i);
    n[kChromX] = "X";
    n[kChromY] = "Y";
    n[kChromXY] = "XY";
    n[kChromMT] = "MT";
    return n;
  }();
  return code < names.size() ? std::string_view(names[code]) : std::string_view();
}

}  // namespace kolva::prep
