// One parsed data line of an input, as the merge sees it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kolva::prep {

// Why a p-value counts as missing.
enum class Missing : std::uint8_t { none, na, not_number, out_of_range, errcode };
// The kinds of missing p-value: the values of Missing after none.
inline constexpr int kMissingKinds = static_cast<int>(Missing::errcode);

// Significant digits that give a double back exactly: the p-values
// kolva-prep writes anew and the correlations it writes.
inline constexpr int kRoundTripDigits = 17;

// A variant's place in the sort order, as one integer: its chromosome code
// above kPosBits bits of position.
inline constexpr int kPosBits = 48;
inline constexpr std::uint64_t kMaxPos = (std::uint64_t{1} << kPosBits) - 1;

struct Rec {
  std::uint64_t key = 0;  // make_key(chromosome, position)
  std::uint64_t line = 0;
  double z = 0;  // signed z-score; NaN when not usable for the estimate
  // Short allele pairs packed for comparison: a1, a zero byte, a2, from the
  // high byte down, so that integer order is (a1, a2) byte order; 0 when
  // the pair takes more than 8 bytes or holds a zero byte.
  std::uint64_t alleles = 0;
  // Offsets and lengths into the block's text. The alleles are upper case,
  // a1 <= a2 in byte order.
  std::uint32_t a1 = 0, a2 = 0, id = 0, p = 0;
  std::uint32_t a1n = 0, a2n = 0, idn = 0, pn = 0;
  Missing miss = Missing::none;
  bool no_effect = false;     // the estimate needed the effect, which is missing
  std::uint8_t pfmt = 0;      // > 0: the p-value text is pbuf[0 .. pfmt)
  std::array<char, 24> pbuf;  // 10^-x written with kRoundTripDigits digits
};

// A run of parsed lines in the order of (chromosome, position, alleles),
// with the text they point into.
struct Block {
  std::vector<char> text;
  std::vector<Rec> recs;

  std::string_view view(std::uint32_t off, std::uint32_t n) const { return {text.data() + off, n}; }
  std::string_view a1(const Rec& r) const { return view(r.a1, r.a1n); }
  std::string_view a2(const Rec& r) const { return view(r.a2, r.a2n); }
  std::string_view id(const Rec& r) const { return view(r.id, r.idn); }
  std::string_view p(const Rec& r) const {
    return r.pfmt ? std::string_view(r.pbuf.data(), r.pfmt) : view(r.p, r.pn);
  }
};

// pos at most kMaxPos.
inline std::uint64_t make_key(std::uint8_t chrom, std::uint64_t pos) {
  return static_cast<std::uint64_t>(chrom) << kPosBits | pos;
}
inline std::uint8_t key_chrom(std::uint64_t key) {
  return static_cast<std::uint8_t>(key >> kPosBits);
}
inline std::uint64_t key_pos(std::uint64_t key) { return key & kMaxPos; }

}  // namespace kolva::prep
