#include "prep/options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string_view>

#include "common/cpus.h"
#include "common/run_limits.h"
#include "prep/error.h"

namespace kolva::prep {

std::string usage_text() {
  return "usage: kolva-prep -o DIR [--corr FILE] [--null-z Z] [--threads N] [--columns ROLES]\n"
         "                  [--quiet] NAME=FILE NAME=FILE ...\n"
         "\n"
         "Turns 2 to " +
         std::to_string(maxnvara) +
         " summary-statistics files (PLINK 2 .glm.*, REGENIE step 2, SAIGE\n"
         "step 2, GWAS-SSF; plain, gzip, bgzip or zstd) into a kolva run directory DIR:\n"
         "defdims, pvals.txt, corr.txt, phenotypes.txt, variants.tsv.gz and prep_log.txt.\n"
         "Then `cd DIR && kolva` runs. Inputs must be sorted by chromosome and position.\n"
         "\n"
         "  NAME=FILE        a phenotype's name (letters, digits, _ . -) and its file\n"
         "  -o DIR           the run directory (created when missing)\n"
         "  --corr FILE      the phenotype correlation matrix: a header line of names,\n"
         "                   then the square matrix (rows may start with their name);\n"
         "                   without it the correlation is estimated from the z-scores\n"
         "                   of null variants\n"
         "  --null-z Z       null variants for the estimate: |z| < Z in both (default 2)\n"
         "  --threads N      threads reading the inputs; 0 (the default): the environment's\n"
         "                   " +
         kThreadsEnv + ", else the CPUs this process may use; at most " +
         std::to_string(kMaxThreads) +
         "\n"
         "  --columns ROLES  column names of files in no known format, e.g.\n"
         "                   chrom=CHR,pos=BP,id=SNP,effect=A1,other=A2,p=P,beta=BETA\n"
         "                   (roles: chrom pos id effect other p|log10p beta|or|z)\n"
         "  --quiet          no progress on standard error\n"
         "  --help, --version\n";
}

namespace {

bool valid_name(std::string_view n) {
  if (n.empty()) return false;
  for (char c : n)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
          c == '.' || c == '-'))
      return false;
  return true;
}

template <class T>
bool number(std::string_view s, T& v) {
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

Options parse_options(int argc, char** argv) {
  Options o;
  std::string threads_given;
  std::set<std::string> names;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    std::string_view value;
    bool has_value = false;
    if (a.substr(0, 2) == "--" && a.find('=') != std::string_view::npos) {
      value = a.substr(a.find('=') + 1);
      a = a.substr(0, a.find('='));
      has_value = true;
    }
    auto arg = [&]() -> std::string_view {
      if (has_value) return value;
      if (i + 1 >= argc) throw UsageError(std::string(a) + " needs a value");
      return argv[++i];
    };
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "-o" || a == "--out") {
      o.out_dir = arg();
      if (o.out_dir.empty()) throw UsageError("-o needs a directory");
    } else if (a == "--corr") {
      o.corr_file = arg();
      // An empty name would silently mean "estimate it".
      if (o.corr_file.empty()) throw UsageError("--corr needs a file");
    } else if (a == "--null-z") {
      std::string_view v = arg();
      if (!number(v, o.null_z) || !std::isfinite(o.null_z) || o.null_z <= 0)
        throw UsageError("--null-z needs a positive number, not '" + std::string(v) + "'");
    } else if (a == "--threads") {
      threads_given = arg();
      if (threads_given.empty()) throw UsageError("--threads needs a number");
    } else if (a == "--columns") {
      o.roles = parse_column_roles(arg());
    } else if (a == "--quiet" || a == "-q") {
      o.quiet = true;
    } else if (!a.empty() && a[0] == '-') {
      throw UsageError("unknown option " + std::string(a));
    } else {
      const std::size_t eq = a.find('=');
      if (eq == std::string_view::npos || eq + 1 == a.size())
        throw UsageError("'" + std::string(a) + "' is not NAME=FILE");
      const std::string name(a.substr(0, eq));
      if (!valid_name(name))
        throw UsageError("phenotype name '" + name + "' may hold only letters, digits, _ . -");
      if (!names.insert(name).second) throw UsageError("phenotype name '" + name + "' given twice");
      o.inputs.push_back({name, std::string(a.substr(eq + 1))});
    }
  }
  if (o.help || o.version) return o;
  if (o.out_dir.empty()) throw UsageError("no run directory: give -o DIR");
  if (o.inputs.size() < 2) throw UsageError("at least 2 inputs NAME=FILE are needed");
  if (o.inputs.size() > static_cast<std::size_t>(maxnvara))
    throw UsageError("at most " + std::to_string(maxnvara) + " inputs (kolva's limit)");
  ThreadChoice t =
      choose_threads(threads_given, "--threads", std::getenv(kThreadsEnv), usable_cpus());
  if (!t.problem.empty()) throw UsageError(t.problem);
  o.threads = t.threads;
  return o;
}

}  // namespace kolva::prep
