#include "prep/parse.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "common/ascii.h"
#include "common/chrom.h"
#include "prep/error.h"
#include "prep/estimate.h"

namespace kolva::prep {
namespace {

constexpr std::size_t kMaxPText = 32;  // longer p texts are rewritten

// Equality with a short literal, without a call to memcmp.
bool same(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
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
    const bool tiny =
        s.find("e-") != std::string_view::npos || s.find("E-") != std::string_view::npos;
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
  for (std::size_t i = 0; i < s.size(); ++i) p[i] = ascii_upper(p[i]);
  return s;
}

}  // namespace

bool is_missing_word(std::string_view s) {
  if (s.size() > 3 || s.empty()) return false;
  return same(s, ".") || iequal(s, "NA") || iequal(s, "#NA") || iequal(s, "nan");
}

namespace {

// One data line's fields, for the steps of its parse.
struct Fields {
  char* base;  // the block text the offsets count from
  const std::vector<std::string_view>& f;
  std::string_view operator[](int column) const { return f[static_cast<std::size_t>(column)]; }
  std::uint32_t off(std::string_view s) const {
    return static_cast<std::uint32_t>(s.data() - base);
  }
};

std::uint32_t len(std::string_view s) { return static_cast<std::uint32_t>(s.size()); }

// The variant's place: chromosome and position (0 when the chromosome is
// none of kChromNames).
std::uint64_t read_key(const Fields& f, const Layout& l, const std::string& file,
                       std::uint64_t line) {
  const std::string_view pos_text = f[l.pos];
  std::uint64_t pos = 0;
  auto [pend, ec] = std::from_chars(pos_text.data(), pos_text.data() + pos_text.size(), pos);
  if (ec != std::errc() || pend != pos_text.data() + pos_text.size() || pos > kMaxPos)
    throw StopError(
        at_line(file, line, "position '" + std::string(pos_text) + "' is not a whole number"));
  const std::uint8_t chrom = chrom_code(f[l.chrom], l.ssf_chrom);
  return chrom == 0 ? 0 : make_key(chrom, pos);
}

// The alleles, upper case and in byte order (a1 <= a2); true when the
// effect allele is a1.
bool read_alleles(const Fields& f, const Layout& l, Rec& rec) {
  std::string_view eff = upper_in_place(f[l.effect_allele]);
  std::string_view oth;
  if (l.other >= 0) {
    oth = upper_in_place(f[l.other]);
  } else {
    std::string_view ref = upper_in_place(f[l.ref]);
    std::string_view alt = upper_in_place(f[l.alt]);
    oth = eff == ref ? alt : ref;
  }
  const bool effect_first = eff <= oth;
  const std::string_view a1 = effect_first ? eff : oth, a2 = effect_first ? oth : eff;
  rec.a1 = f.off(a1), rec.a1n = len(a1), rec.a2 = f.off(a2), rec.a2n = len(a2);
  rec.alleles = 0;
  if (a1.size() + a2.size() < 8 && a1.find('\0') == a1.npos && a2.find('\0') == a2.npos) {
    int shift = 56;
    for (char c : a1)
      rec.alleles |= std::uint64_t{static_cast<unsigned char>(c)} << shift, shift -= 8;
    shift -= 8;
    for (char c : a2)
      rec.alleles |= std::uint64_t{static_cast<unsigned char>(c)} << shift, shift -= 8;
  }
  return effect_first;
}

// The id, or its fallback column when it is empty or a missing word; none
// when that is missing too.
void read_id(const Fields& f, const Layout& l, Rec& rec) {
  std::string_view id;
  if (l.id >= 0) id = f[l.id];
  if ((id.empty() || is_missing_word(id)) && l.id_fallback >= 0) id = f[l.id_fallback];
  if (is_missing_word(id)) id = {};
  rec.id = id.empty() ? 0 : f.off(id), rec.idn = len(id);
}

// The p-value, or why it is missing; a -log10 p (and a long text) is
// written anew with 17 significant digits. Returns its value (NaN when
// missing).
double read_p_value(const Fields& f, const Layout& l, Rec& rec) {
  const std::string_view ptext = f[l.p];
  double p = std::numeric_limits<double>::quiet_NaN();
  rec.miss = read_p(ptext, l.p_form, p);
  if (rec.miss == Missing::none && l.errcode >= 0 && !same(f[l.errcode], "."))
    rec.miss = Missing::errcode;
  rec.pfmt = 0;
  rec.p = f.off(ptext), rec.pn = len(ptext);
  if (rec.miss == Missing::none && (l.p_form == PForm::neg_log10 || ptext.size() > kMaxPText)) {
    auto r = std::to_chars(rec.pbuf.data(), rec.pbuf.data() + rec.pbuf.size(), p,
                           std::chars_format::general, kRoundTripDigits);
    rec.pfmt = static_cast<std::uint8_t>(r.ptr - rec.pbuf.data());
  }
  return p;
}

// The signed z-score for the estimate, relative to a1. The effect is read
// only where the estimate needs its sign.
void read_z(const Fields& f, const Layout& l, const ZRule& zrule, double p, bool effect_first,
            Rec& rec) {
  rec.z = std::numeric_limits<double>::quiet_NaN();
  rec.no_effect = false;
  if (rec.miss == Missing::none && zrule.wanted && l.effect >= 0 && p > zrule.p_min) {
    const int sign = effect_sign(f[l.effect], l.effect_kind);
    if (sign == 0)
      rec.no_effect = true;
    else
      rec.z = (effect_first ? sign : -sign) * z_of_p(p);
  }
}

}  // namespace

LineKind parse_line(char* base, std::size_t begin, std::size_t end, const Layout& l,
                    const ZRule& zrule, const std::string& file, std::uint64_t line, Rec& rec,
                    std::vector<std::string_view>& fields) {
  split(std::string_view(base + begin, end - begin), static_cast<std::size_t>(l.fields), fields);
  if (fields.empty()) return LineKind::blank;
  if (fields.size() < static_cast<std::size_t>(l.fields))
    throw StopError(at_line(file, line,
                            "too few fields (" + std::to_string(fields.size()) +
                                ", the header needs " + std::to_string(l.fields) + ")"));
  const Fields f{base, fields};
  if (l.test >= 0 && !same(f[l.test], "ADD")) return LineKind::other_test;
  rec.key = read_key(f, l, file, line);
  if (rec.key == 0) return LineKind::unknown_chrom;
  rec.line = line;
  const bool effect_first = read_alleles(f, l, rec);
  read_id(f, l, rec);
  const double p = read_p_value(f, l, rec);
  read_z(f, l, zrule, p, effect_first, rec);
  return LineKind::data;
}

}  // namespace kolva::prep
