// The formats of summary-statistics files: recognised from the header line,
// or described by the user's column roles (--columns).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kolva::prep {

enum class PForm { p, neg_log10 };
enum class Effect { none, beta, odds_ratio, z };

// Where each role stands in a line (column index, -1 when absent).
struct Layout {
  std::string format;  // for the log, e.g. "PLINK 2 .glm.linear"
  int chrom = -1, pos = -1;
  int id = -1, id_fallback = -1;  // id_fallback: used when the id is empty
  int effect_allele = -1;
  int other = -1;          // the other allele, or:
  int ref = -1, alt = -1;  // PLINK 2: the other of REF / ALT is the one A1 is not
  int p = -1;
  PForm p_form = PForm::p;
  int effect = -1;
  Effect effect_kind = Effect::none;
  int test = -1;     // only rows whose TEST is ADD are used
  int errcode = -1;  // a value other than "." makes the p-value missing
  bool ssf_chrom = false;
  int fields = 0;  // a line needs at least this many fields
};

// Role -> column name, from "--columns chrom=CHR,pos=BP,...". Roles: chrom,
// pos, id, effect, other, p or log10p, beta or or or z.
using ColumnRoles = std::map<std::string, std::string>;

// Parses a --columns value; throws UsageError naming the problem.
ColumnRoles parse_column_roles(std::string_view text);

// Splits on runs of blanks and tabs.
std::vector<std::string_view> split_fields(std::string_view line);

// The layout of a file from its header line (line `line` of `file`).
// `roles` (may be empty) describes files whose header is none of the four
// known ones. Throws StopError naming the file and line.
Layout detect_layout(std::string_view header, const ColumnRoles& roles, const std::string& file,
                     unsigned long long line);

}  // namespace kolva::prep
