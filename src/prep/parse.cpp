#include "prep/parse.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "prep/chrom.h"
#include "prep/error.h"
#include "prep/estimate.h"

namespace kolva::prep {
namespace {

constexpr std::uint64_t kMaxPos = (std::uint64_t{1} << 48) - 1;
constexpr std::size_t kMaxPText = 32;  // longer p texts are rewritten

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Equality with a short literal, without a call to memcmp.
bool same(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

bool iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

// The first blank or tab in [p, e), or e; eight bytes at a time. The
// zero-byte test can flag bytes above a true match, never below it, so
// the lowest flag is exact.
const char* find_separator(const char* p, const char* e) {
  static_assert(std::endian::native == std::endian::little, "the lowest byte comes first");
  constexpr std::uint64_t ones = 0x0101010101010101ULL, high = 0x8080808080808080ULL;
  auto zero_bytes = [](std::uint64_t x) { return (x - ones) & ~x & high; };
  for (; e - p >= 8; p += 8) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t m = zero_bytes(w ^ (ones * ' ')) | zero_bytes(w ^ (ones * '\t'));
    if (m) return p + (__builtin_ctzll(m) >> 3);
  }
  while (p < e && *p != ' ' && *p != '\t') ++p;
  return p;
}

// Splits at most `need` fields (the rest of the line is not looked at).
void split(std::string_view line, std::size_t need, std::vector<std::string_view>& f) {
  f.clear();
  const char* p = line.data();
  const char* e = p + line.size();
  while (f.size() < need) {
    while (p < e && (*p == ' ' || *p == '\t')) ++p;
    if (p == e) break;
    const char* b = p;
    p = find_separator(p, e);
    f.emplace_back(b, static_cast<std::size_t>(p - b));
  }
}

bool parse_double(std::string_view s, double& v) {
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ptr != s.data() + s.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Too small for a double is 0 (and stays a valid p), too large is infinite.
    const bool tiny = s.find("e-") != std::string_view::npos || s.find("E-") != std::string_view::npos;
    v = tiny ? 0.0 : (s[0] == '-' ? -HUGE_VAL : HUGE_VAL);
    return true;
  }
  return ec == std::errc();
}

// The p-value of a field, or why it is missing.
Missing read_p(std::string_view s, PForm form, double& p) {
  if (is_missing_word(s)) return Missing::na;
  double v;
  if (!parse_double(s, v)) return Missing::not_number;
  if (!std::isfinite(v)) return std::isnan(v) ? Missing::na : Missing::out_of_range;
  if (form == PForm::neg_log10) {
    if (v < 0) return Missing::out_of_range;
    p = std::pow(10.0, -v);
    return Missing::none;
  }
  if (v < 0 || v > 1) return Missing::out_of_range;
  p = v;
  return Missing::none;
}

// The sign of an effect (+1, -1), or 0 when it is not usable.
int effect_sign(std::string_view s, Effect kind) {
  double v;
  if (is_missing_word(s) || !parse_double(s, v) || !std::isfinite(v)) return 0;
  if (kind == Effect::odds_ratio) {
    if (v <= 0) return 0;
    return v < 1 ? -1 : 1;
  }
  return v < 0 ? -1 : 1;
}

std::string_view upper_in_place(std::string_view s) {
  char* p = const_cast<char*>(s.data());
  for (std::size_t i = 0; i < s.size(); ++i) p[i] = upper(p[i]);
  return s;
}

}  // namespace

bool is_missing_word(std::string_view s) {
  if (s.size() > 3 || s.empty()) return false;
  return same(s, ".") || iequal(s, "NA") || iequal(s, "#NA") || iequal(s, "nan");
}

LineKind parse_line(char* base, std::size_t begin, std::size_t end, const Layout& l,
                     const ZRule& zrule, const std::string& file, std::uint64_t line, Rec& rec,
                     std::vector<std::string_view>& f) {
  const std::string_view text(base + begin, end - begin);
  split(text, static_cast<std::size_t>(l.fields), f);
  if (f.empty()) {
    return LineKind::blank;
  }
  if (f.size() < static_cast<std::size_t>(l.fields))
    throw StopError(at_line(file, line,
                            "too few fields (" + std::to_string(f.size()) + ", the header needs " +
                                std::to_string(l.fields) + ")"));
  if (l.test >= 0 && !same(f[static_cast<std::size_t>(l.test)], "ADD")) {
    return LineKind::other_test;
  }
  const std::string_view pos_text = f[static_cast<std::size_t>(l.pos)];
  std::uint64_t pos = 0;
  auto [pend, ec] = std::from_chars(pos_text.data(), pos_text.data() + pos_text.size(), pos);
  if (ec != std::errc() || pend != pos_text.data() + pos_text.size() || pos > kMaxPos)
    throw StopError(at_line(file, line,
                            "position '" + std::string(pos_text) + "' is not a whole number"));
  const std::uint8_t chrom = chrom_code(f[static_cast<std::size_t>(l.chrom)], l.ssf_chrom);
  if (chrom == 0) {
    return LineKind::unknown_chrom;
  }
  rec.key = make_key(chrom, pos);
  rec.line = line;

  // Alleles: the effect allele and the other one, then in byte order.
  std::string_view eff = upper_in_place(f[static_cast<std::size_t>(l.effect_allele)]);
  std::string_view oth;
  if (l.other >= 0) {
    oth = upper_in_place(f[static_cast<std::size_t>(l.other)]);
  } else {
    std::string_view ref = upper_in_place(f[static_cast<std::size_t>(l.ref)]);
    std::string_view alt = upper_in_place(f[static_cast<std::size_t>(l.alt)]);
    oth = eff == ref ? alt : ref;
  }
  const bool effect_first = eff <= oth;
  const std::string_view a1 = effect_first ? eff : oth, a2 = effect_first ? oth : eff;
  auto off = [&](std::string_view s) { return static_cast<std::uint32_t>(s.data() - base); };
  auto len = [&](std::string_view s) { return static_cast<std::uint32_t>(s.size()); };
  rec.a1 = off(a1), rec.a1n = len(a1), rec.a2 = off(a2), rec.a2n = len(a2);
  rec.alleles = 0;
  if (a1.size() + a2.size() < 8 && a1.find('\0') == a1.npos && a2.find('\0') == a2.npos) {
    int shift = 56;
    for (char c : a1) rec.alleles |= std::uint64_t{static_cast<unsigned char>(c)} << shift, shift -= 8;
    shift -= 8;
    for (char c : a2) rec.alleles |= std::uint64_t{static_cast<unsigned char>(c)} << shift, shift -= 8;
  }

  std::string_view id;
  if (l.id >= 0) id = f[static_cast<std::size_t>(l.id)];
  if ((id.empty() || is_missing_word(id)) && l.id_fallback >= 0)
    id = f[static_cast<std::size_t>(l.id_fallback)];
  if (is_missing_word(id)) id = {};
  rec.id = id.empty() ? 0 : off(id), rec.idn = len(id);

  const std::string_view ptext = f[static_cast<std::size_t>(l.p)];
  double p = std::numeric_limits<double>::quiet_NaN();
  rec.miss = read_p(ptext, l.p_form, p);
  if (rec.miss == Missing::none && l.errcode >= 0 && !same(f[static_cast<std::size_t>(l.errcode)], "."))
    rec.miss = Missing::errcode;
  rec.pfmt = 0;
  rec.p = off(ptext), rec.pn = len(ptext);
  if (rec.miss == Missing::none && (l.p_form == PForm::neg_log10 || ptext.size() > kMaxPText)) {
    auto r = std::to_chars(rec.pbuf.data(), rec.pbuf.data() + rec.pbuf.size(), p,
                           std::chars_format::general, 17);
    rec.pfmt = static_cast<std::uint8_t>(r.ptr - rec.pbuf.data());
  }

  rec.z = std::numeric_limits<double>::quiet_NaN();
  rec.no_effect = false;
  // The effect is read only where the estimate needs its sign.
  if (rec.miss == Missing::none && zrule.wanted && l.effect >= 0 && p > zrule.p_min) {
    const int sign = effect_sign(f[static_cast<std::size_t>(l.effect)], l.effect_kind);
    if (sign == 0)
      rec.no_effect = true;
    else
      rec.z = (effect_first ? sign : -sign) * z_of_p(p);
  }
  return LineKind::data;
}

}  // namespace kolva::prep
