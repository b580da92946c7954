#include "prep/run.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "prep/corr_file.h"
#include "prep/error.h"
#include "prep/estimate.h"
#include "prep/merge.h"
#include "prep/reader.h"
#include "prep/reader_pool.h"
#include "prep/record.h"
#include "prep/writer.h"

namespace kolva::prep {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMinNullVariants = 1000;
constexpr std::size_t kQueueDepth = 4;
constexpr auto kProgressEvery = std::chrono::seconds(5);

std::string g17(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, kRoundTripDigits);
  return std::string(buf, r.ptr);
}

// Every output is written as .NAME.part and renamed at the end, defdims
// last: a stopped run leaves nothing half-written under a final name.
const char* const kOutputs[] = {"pvals.txt",      "variants.tsv.gz", "corr.txt",
                                "phenotypes.txt", "prep_log.txt",    "defdims"};

fs::path part(const fs::path& dir, const std::string& name) { return dir / ("." + name + ".part"); }

void write_text(const fs::path& dir, const std::string& name, const std::string& s) {
  PlainWriter w(part(dir, name).string());
  w.put(s);
  w.close();
}

void rename_part(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  fs::rename(part(dir, name), dir / name, ec);
  if (ec) throw StopError(in_file((dir / name).string(), "cannot write: " + ec.message()));
}

// The run directory and the run log. A run that stops leaves there no
// output of this run or an earlier one but prep_log.txt, which ends with
// the reason.
class RunDir {
 public:
  RunDir(const std::string& path, const std::string& command) : dir_(path) {
    std::error_code ec;
    fs::create_directories(dir_, ec);
    if (ec || !fs::is_directory(dir_))
      throw StopError(in_file(
          path, "cannot create the run directory" + (ec ? ": " + ec.message() : std::string())));
    // A run that stops must not leave a directory kolva would run on.
    fs::remove(dir_ / "defdims", ec);
    log_ << "kolva-prep " << KOLVA_VERSION << "\ncommand: " << command << "\n\n";
  }

  const fs::path& path() const { return dir_; }
  std::ostream& log() { return log_; }

  [[noreturn]] void stop(const std::string& why) {
    log_ << "\nSTOPPED: " << why << "\n";
    std::error_code ec;
    for (const char* name : kOutputs) {
      fs::remove(part(dir_, name), ec);
      fs::remove(dir_ / name, ec);
    }
    try {
      write_text(dir_, "prep_log.txt", log_.str());
      rename_part(dir_, "prep_log.txt");
    } catch (const std::exception&) {
      fs::remove(part(dir_, "prep_log.txt"), ec);  // the stop itself is the message
    }
    throw StopError(why);
  }

  // Writes the outputs not yet written and renames them all, defdims last.
  void publish(const std::vector<std::pair<std::string, std::string>>& texts) {
    for (const auto& [name, text] : texts) write_text(dir_, name, text);
    write_text(dir_, "prep_log.txt", log_.str());
    for (const char* name : kOutputs) rename_part(dir_, name);
  }

 private:
  fs::path dir_;
  std::ostringstream log_;
};

// What the inputs gave: each one's reader (with its account of the lines),
// what the merge saw, and the pair sums of the estimate.
struct Merged {
  std::vector<std::unique_ptr<Reader>> readers;
  MergeTotals totals;
  PairSums sums{0};
};

// Load: opens every input (after the --corr matrix, when given, into
// `corr`) and merges them into .pvals.txt.part and .variants.tsv.gz.part.
void load(const Options& o, const std::vector<std::string>& names, const fs::path& dir,
          std::vector<double>& corr, Merged& m) {
  const bool estimate = o.corr_file.empty();
  ZRule zrule;
  zrule.wanted = estimate;
  zrule.p_min = p_of_z(o.null_z);
  if (!estimate) corr = read_corr_file(o.corr_file, names);
  for (const auto& in : o.inputs) {
    m.readers.push_back(std::make_unique<Reader>(in.path, o.roles, zrule));
    const Reader& r = *m.readers.back();
    if (estimate && r.layout().effect < 0)
      throw StopError(at_line(in.path, r.counts().header,
                              "no effect column (beta, odds ratio or z), so the correlation "
                              "cannot be estimated; give it with --corr"));
  }

  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  auto progress = [&](std::uint64_t variants) {
    if (o.quiet || Clock::now() - last < kProgressEvery) return;
    last = Clock::now();
    std::uint64_t lines = 0;
    for (const auto& r : m.readers) lines += r->lines_read();
    std::cerr << "kolva-prep: " << lines << " lines read, " << variants << " variants written\n";
  };
  const std::size_t k = o.inputs.size();
  if (estimate) m.sums = PairSums(k);
  ReaderPool pool(m.readers, std::min(o.threads, static_cast<int>(k)), kQueueDepth);
  m.totals = merge_inputs(pool, m.readers, dir, estimate ? &m.sums : nullptr, o.null_z, progress);
}

void describe_input(std::ostream& log, const Input& in, const Reader& r) {
  const InputCounts& c = r.counts();
  log << in.name << " = " << in.path << "\n  format: " << r.layout().format
      << ", compression: " << r.compression() << "\n  lines read: " << c.lines << " = header "
      << c.header << " + used " << c.used;
  for (Event e : {Event::duplicate, Event::other_test, Event::unknown_chrom, Event::blank})
    log << " + " << event_name(e) << " " << c.events[static_cast<std::size_t>(e)];
  log << "\n";
  for (int e = 0; e < kEvents; ++e) {
    const auto i = static_cast<std::size_t>(e);
    if (c.events[i] == 0) continue;
    log << "  " << event_name(static_cast<Event>(e)) << ": " << c.events[i] << " (line";
    const auto& first = c.first[i];
    log << (first.size() > 1 ? "s" : "");
    for (std::size_t j = 0; j < first.size(); ++j) log << (j ? ", " : " ") << first[j];
    log << (c.events[i] > first.size() ? ", ...)\n" : ")\n");
  }
}

void describe_inputs(std::ostream& log, const Options& o, const Merged& m) {
  log << "inputs:\n";
  for (std::size_t s = 0; s < o.inputs.size(); ++s) describe_input(log, o.inputs[s], *m.readers[s]);
  log << "\nvariants in the union: " << m.totals.variants << "\nvariants with a p-value:";
  for (std::size_t s = 0; s < o.inputs.size(); ++s)
    log << " " << o.inputs[s].name << " " << m.totals.inputs[s].present;
  log << "\n\n";
}

// Check: an input without a single p-value, one that matches no variant of
// the others (another genome build, other chromosome names) or one whose
// p-values are all 1 (a failed analysis) has nothing to give to the
// combined test.
void check(const Options& o, const Merged& m) {
  for (std::size_t s = 0; s < o.inputs.size(); ++s) {
    const InputTotals& t = m.totals.inputs[s];
    const std::string& path = o.inputs[s].path;
    const std::string& name = o.inputs[s].name;
    const InputCounts& c = m.readers[s]->counts();
    if (t.present == 0)
      throw StopError(at_line(path, c.lines,
                              "not one of the " + std::to_string(c.lines - c.header) +
                                  " lines after the header gives " + name +
                                  " a p-value (prep_log.txt counts them by kind)"));
    if (t.shared == 0)
      throw StopError(at_line(path, t.first_line,
                              "none of the " + std::to_string(c.used) + " variants of " + name +
                                  " matches a variant of another input by chromosome, position "
                                  "and alleles; is it on the same genome build, with the same "
                                  "chromosome names?"));
    if (t.all_p_one)
      throw StopError(at_line(path, t.first_line,
                              "every p-value of " + name + " is 1 (lines " +
                                  std::to_string(t.first_line) + " to " +
                                  std::to_string(t.last_line) +
                                  "); its analysis has failed, or the p column holds something "
                                  "else; leave " +
                                  name + " out"));
  }
}

// Estimate: the correlation of every pair from its null variants' z-scores,
// each pair logged before it is checked.
std::vector<double> estimate(const Options& o, const std::vector<std::string>& names,
                             const PairSums& sums, std::ostream& log) {
  const std::size_t k = names.size();
  std::vector<double> corr(k * k, 0);
  log << "correlation: estimated from the z-scores of variants with |z| < " << g17(o.null_z)
      << " in both phenotypes\n  pair: variants used, plain Pearson, estimate\n";
  for (std::size_t i = 0; i < k; ++i) {
    corr[i * k + i] = 1;
    for (std::size_t j = 0; j < i; ++j) {
      const std::uint64_t n = sums.count(i, j);
      const double r = sums.pearson(i, j);
      const double rho = n >= kMinNullVariants && std::isfinite(r) ? solve_rho(r, o.null_z) : NAN;
      log << "  " << names[i] << "," << names[j] << ": " << n << ", " << g17(r) << ", " << g17(rho)
          << "\n";
      if (n < kMinNullVariants)
        throw StopError("phenotypes " + names[i] + " and " + names[j] + " share only " +
                        std::to_string(n) + " variants with |z| < " + g17(o.null_z) +
                        " (at least " + std::to_string(kMinNullVariants) +
                        " are needed to estimate their correlation); give the correlation "
                        "matrix with --corr");
      if (!std::isfinite(rho))
        throw StopError("the z-scores of " + names[i] + " and " + names[j] +
                        " do not vary, so their correlation cannot be estimated; give the "
                        "correlation matrix with --corr");
      corr[i * k + j] = corr[j * k + i] = rho;
    }
  }
  return corr;
}

// corr.txt: the lower triangle with the diagonal, 17 significant digits.
std::string lower_triangle(const std::vector<double>& corr, std::size_t k) {
  std::string text;
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j <= i; ++j)
      text += (j ? " " : "") + (i == j ? "1" : g17(corr[i * k + j]));
    text += "\n";
  }
  return text;
}

// Summary: one line per input and one for the run, on standard error.
void summary(const Options& o, const Merged& m, bool psd) {
  for (std::size_t s = 0; s < o.inputs.size(); ++s) {
    const Reader& r = *m.readers[s];
    const InputCounts& c = r.counts();
    std::uint64_t missing = 0;
    for (int e = 0; e < kMissingKinds; ++e) missing += c.events[static_cast<std::size_t>(e)];
    std::cerr << "kolva-prep: " << o.inputs[s].name << ": " << r.layout().format << " ("
              << r.compression() << "), " << c.lines << " lines, " << c.used << " variants, "
              << missing << " missing p, " << c.events[static_cast<std::size_t>(Event::duplicate)]
              << " duplicates\n";
  }
  const bool estimated = o.corr_file.empty();
  std::cerr << "kolva-prep: " << m.totals.variants << " variants written to " << o.out_dir
            << (estimated ? "; correlation estimated" : "; correlation from ") << o.corr_file
            << (psd ? "" : "; WARNING: correlation matrix not positive semi-definite")
            << "; details in prep_log.txt\n";
}

}  // namespace

void run(const Options& o, const std::string& command) {
  RunDir dir(o.out_dir, command);
  std::vector<std::string> names;
  for (const auto& in : o.inputs) names.push_back(in.name);
  const std::size_t k = names.size();
  try {
    std::vector<double> corr;
    Merged m;
    load(o, names, dir.path(), corr, m);
    describe_inputs(dir.log(), o, m);
    check(o, m);
    if (o.corr_file.empty())
      corr = estimate(o, names, m.sums, dir.log());
    else
      dir.log() << "correlation: from " << o.corr_file << "\n";
    const std::string ctext = lower_triangle(corr, k);
    dir.log() << "matrix (lower triangle, in the order " << names.front() << " ... " << names.back()
              << "):\n"
              << ctext;
    const bool psd = first_dependent_row(corr, k) == k;
    if (!psd) dir.log() << "WARNING: the correlation matrix is not positive semi-definite\n";

    std::string ntext;
    for (const auto& name : names) ntext += name + "\n";
    dir.publish({{"corr.txt", ctext},
                 {"phenotypes.txt", ntext},
                 {"defdims", std::to_string(k) + " " + std::to_string(m.totals.variants) +
                                 "\nlow\npvals.txt\ncorr.txt\nresults.txt\n"}});
    summary(o, m, psd);
  } catch (const std::exception& e) {
    // A stop, or the system's refusal of memory or a thread: either way
    // nothing but the log is left.
    dir.stop(e.what());
  }
}

}  // namespace kolva::prep
