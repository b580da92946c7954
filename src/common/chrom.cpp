#include "common/chrom.h"

#include "common/ascii.h"

namespace kolva {

namespace {

// GWAS-SSF numbers X, Y and MT as 23, 24 and 25, and has no XY.
constexpr unsigned kSsfMT = 25;
constexpr unsigned kSsfLargest = kChromY;

}  // namespace

std::uint8_t chrom_code(std::string_view s, bool ssf) {
  constexpr std::string_view kPrefix = "chr";
  if (s.size() > kPrefix.size() && iequal(s.substr(0, kPrefix.size()), kPrefix))
    s.remove_prefix(kPrefix.size());
  if (s.empty()) return 0;
  if (s[0] >= '0' && s[0] <= '9') {
    unsigned v = 0;
    for (char c : s) {
      if (c < '0' || c > '9' || v > 100) return 0;
      v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (ssf && v == kSsfMT) return kChromMT;
    if (v < 1 || v > (ssf ? kSsfLargest : unsigned{kChromCodes})) return 0;
    return static_cast<std::uint8_t>(v);
  }
  if (iequal(s, kChromNames[kChromX])) return kChromX;
  if (iequal(s, kChromNames[kChromY])) return kChromY;
  if (iequal(s, kChromNames[kChromXY])) return kChromXY;
  if (iequal(s, kChromNames[kChromMT]) || iequal(s, "M")) return kChromMT;
  return 0;
}

}  // namespace kolva
