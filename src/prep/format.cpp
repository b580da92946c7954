#include "prep/format.h"

#include <algorithm>
#include <initializer_list>

#include "prep/error.h"

namespace kolva::prep {
namespace {

class Header {
 public:
  Header(std::string_view line, const std::string& file, unsigned long long line_no)
      : names_(split_fields(line)), file_(file), line_(line_no) {}

  int find(std::string_view name) const {
    auto it = std::find(names_.begin(), names_.end(), name);
    return it == names_.end() ? -1 : static_cast<int>(it - names_.begin());
  }
  bool has(std::string_view name) const { return find(name) >= 0; }

  // The first of `names` present; throws naming the format when none is.
  int need(const Layout& l, std::initializer_list<std::string_view> names) const {
    for (auto n : names)
      if (int i = find(n); i >= 0) return i;
    std::string list;
    for (auto n : names) list += (list.empty() ? "" : " or ") + std::string(n);
    throw StopError(at_line(file_, line_, l.format + " header without column " + list));
  }

 private:
  std::vector<std::string_view> names_;
  const std::string& file_;
  unsigned long long line_;
};

// Effect and p-value columns by name, in order of preference.
void pick_effect(Layout& l, const Header& h, std::string_view beta, std::string_view odds,
                 std::string_view z) {
  if (int i = h.find(beta); i >= 0) {
    l.effect = i, l.effect_kind = Effect::beta;
  } else if (int j = h.find(odds); j >= 0) {
    l.effect = j, l.effect_kind = Effect::odds_ratio;
  } else if (int k = z.empty() ? -1 : h.find(z); k >= 0) {
    l.effect = k, l.effect_kind = Effect::z;
  }
}

void pick_p(Layout& l, const Header& h, std::string_view p,
            std::initializer_list<std::string_view> neg_log10) {
  if (int i = h.find(p); i >= 0) {
    l.p = i;
    l.p_form = PForm::p;
    return;
  }
  for (auto n : neg_log10)
    if (int i = h.find(n); i >= 0) {
      l.p = i;
      l.p_form = PForm::neg_log10;
      return;
    }
  l.p = neg_log10.size() == 0 ? h.need(l, {p}) : h.need(l, {p, *neg_log10.begin()});
}

Layout from_roles(const Header& h, const ColumnRoles& roles) {
  Layout l;
  l.format = "columns given by --columns";
  auto col = [&](const char* role) {
    auto it = roles.find(role);
    return it == roles.end() ? -1 : h.need(l, {it->second});
  };
  l.chrom = col("chrom"), l.pos = col("pos"), l.id = col("id");
  l.effect_allele = col("effect"), l.other = col("other");
  if (roles.count("p")) {
    l.p = col("p");
  } else {
    l.p = col("log10p");
    l.p_form = PForm::neg_log10;
  }
  for (auto [role, kind] : {std::pair{"beta", Effect::beta}, std::pair{"or", Effect::odds_ratio},
                            std::pair{"z", Effect::z}})
    if (roles.count(role)) l.effect = col(role), l.effect_kind = kind;
  return l;
}

}  // namespace

std::vector<std::string_view> split_fields(std::string_view line) {
  std::vector<std::string_view> f;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t b = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > b) f.push_back(line.substr(b, i - b));
  }
  return f;
}

ColumnRoles parse_column_roles(std::string_view text) {
  static const std::vector<std::string_view> known{"chrom", "pos",    "id",   "effect", "other",
                                                   "p",     "log10p", "beta", "or",     "z"};
  ColumnRoles roles;
  while (!text.empty()) {
    std::size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    std::size_t eq = item.find('=');
    if (eq == std::string_view::npos || eq == 0 || eq + 1 == item.size())
      throw UsageError("--columns: '" + std::string(item) + "' is not ROLE=COLUMN");
    std::string role(item.substr(0, eq));
    if (std::find(known.begin(), known.end(), role) == known.end())
      throw UsageError("--columns: unknown role '" + role +
                       "' (roles: chrom pos id effect other p log10p beta or z)");
    if (!roles.emplace(role, std::string(item.substr(eq + 1))).second)
      throw UsageError("--columns: role '" + role + "' given twice");
  }
  for (const char* r : {"chrom", "pos", "effect", "other"})
    if (!roles.count(r)) throw UsageError(std::string("--columns: role '") + r + "' missing");
  if (roles.count("p") + roles.count("log10p") != 1)
    throw UsageError("--columns: give exactly one of the roles p and log10p");
  if (roles.count("beta") + roles.count("or") + roles.count("z") > 1)
    throw UsageError("--columns: give at most one of the roles beta, or, z");
  return roles;
}

Layout detect_layout(std::string_view header, const ColumnRoles& roles, const std::string& file,
                     unsigned long long line) {
  const Header h(header, file, line);
  Layout l;
  if (h.has("#CHROM") && h.has("A1")) {
    l.format = "PLINK 2";
    l.chrom = h.need(l, {"#CHROM"}), l.pos = h.need(l, {"POS"}), l.id = h.need(l, {"ID"});
    l.effect_allele = h.need(l, {"A1"});
    if (h.has("OMITTED")) {
      l.other = h.find("OMITTED");
    } else {
      l.ref = h.need(l, {"REF"}), l.alt = h.need(l, {"ALT"});
    }
    pick_effect(l, h, "BETA", "OR", "");
    pick_p(l, h, "P", {"LOG10_P", "NEG_LOG10_P"});
    l.test = h.find("TEST");
    l.errcode = h.find("ERRCODE");
    l.format += l.effect_kind == Effect::beta         ? " .glm.linear"
                : h.has("FIRTH?")                     ? " .glm.logistic.hybrid"
                : l.effect_kind == Effect::odds_ratio ? " .glm.logistic or .glm.firth"
                                                      : " .glm";
  } else if (h.has("GENPOS") && h.has("ALLELE1")) {
    l.format = "REGENIE step 2";
    l.chrom = h.need(l, {"CHROM"}), l.pos = h.need(l, {"GENPOS"}), l.id = h.need(l, {"ID"});
    l.effect_allele = h.need(l, {"ALLELE1"}), l.other = h.need(l, {"ALLELE0"});
    pick_effect(l, h, "BETA", "OR", "");
    pick_p(l, h, "P", {"LOG10P"});
    l.test = h.find("TEST");
  } else if (h.has("MarkerID") && h.has("Allele2")) {
    l.format = "SAIGE step 2";
    l.chrom = h.need(l, {"CHR"}), l.pos = h.need(l, {"POS"}), l.id = h.need(l, {"MarkerID"});
    l.effect_allele = h.need(l, {"Allele2"}), l.other = h.need(l, {"Allele1"});
    pick_effect(l, h, "BETA", "OR", "Tstat");
    if (l.effect_kind == Effect::z) l.effect_kind = Effect::beta;  // same sign
    pick_p(l, h, "p.value", {});
  } else if (h.has("base_pair_location") && h.has("effect_allele")) {
    l.format = "GWAS-SSF";
    l.ssf_chrom = true;
    l.chrom = h.need(l, {"chromosome"}), l.pos = h.need(l, {"base_pair_location"});
    l.effect_allele = h.need(l, {"effect_allele"}), l.other = h.need(l, {"other_allele"});
    l.id = h.find("rsid"), l.id_fallback = h.find("variant_id");
    if (l.id < 0) std::swap(l.id, l.id_fallback);
    pick_effect(l, h, "beta", "odds_ratio", "z_score");
    pick_p(l, h, "p_value", {"neg_log_10_p_value"});
  } else if (!roles.empty()) {
    l = from_roles(h, roles);
  } else {
    throw StopError(at_line(file, line,
                            "header not recognised as PLINK 2, REGENIE, SAIGE or GWAS-SSF; "
                            "name the columns with --columns"));
  }
  for (int c : {l.chrom, l.pos, l.id, l.id_fallback, l.effect_allele, l.other, l.ref, l.alt, l.p,
                l.effect, l.test, l.errcode})
    l.fields = std::max(l.fields, c + 1);
  return l;
}

}  // namespace kolva::prep
