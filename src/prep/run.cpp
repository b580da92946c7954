#include "prep/run.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <sstream>

#include "prep/corr_file.h"
#include "prep/error.h"
#include "prep/estimate.h"
#include "prep/merge.h"
#include "prep/pipeline.h"
#include "prep/reader.h"
#include "prep/writer.h"

namespace kolva::prep {
namespace {

constexpr std::uint64_t kMinNullVariants = 1000;
constexpr std::size_t kQueueDepth = 4;

std::string g17(double v) {
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
  return std::string(buf, r.ptr);
}

void describe_input(std::ostream& log, const Input& in, const Reader& r) {
  const InputCounts& c = r.counts();
  log << in.name << " = " << in.path << "\n  format: " << r.layout().format
      << ", compression: " << r.compression() << "\n  lines read: " << c.lines
      << " = header " << c.header << " + used " << c.used;
  for (Event e : {Event::duplicate, Event::other_test, Event::unknown_chrom, Event::blank})
    log << " + " << event_name(e) << " " << c.events[static_cast<std::size_t>(e)];
  log << "\n";
  for (int e = 0; e < kEvents; ++e) {
    if (c.events[static_cast<std::size_t>(e)] == 0) continue;
    log << "  " << event_name(static_cast<Event>(e)) << ": " << c.events[static_cast<std::size_t>(e)]
        << " (line";
    const auto& first = c.first[static_cast<std::size_t>(e)];
    log << (first.size() > 1 ? "s" : "");
    for (std::size_t i = 0; i < first.size(); ++i) log << (i ? ", " : " ") << first[i];
    log << (c.events[static_cast<std::size_t>(e)] > first.size() ? ", ...)\n" : ")\n");
  }
}

// Every output is written as .NAME.part and renamed at the end, defdims
// last: a stopped run leaves nothing half-written under a final name.
const char* const kOutputs[] = {"pvals.txt",    "variants.tsv.gz", "corr.txt",
                                "phenotypes.txt", "prep_log.txt",  "defdims"};

std::filesystem::path part(const std::filesystem::path& dir, const std::string& name) {
  return dir / ("." + name + ".part");
}

void write_text(const std::filesystem::path& dir, const std::string& name, const std::string& s) {
  PlainWriter w(part(dir, name).string());
  w.put(s);
  w.close();
}

void publish(const std::filesystem::path& dir, const std::string& name) {
  std::error_code ec;
  std::filesystem::rename(part(dir, name), dir / name, ec);
  if (ec) throw StopError((dir / name).string() + ": cannot write: " + ec.message());
}

}  // namespace

void run(const Options& o, const std::string& command) {
  namespace fs = std::filesystem;
  const fs::path dir(o.out_dir);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir)) throw StopError(o.out_dir + ": cannot create the run directory");
  // A run that stops must not leave a directory kolva would run on.
  fs::remove(dir / "defdims", ec);

  std::ostringstream log;
  log << "kolva-prep " << KOLVA_VERSION << "\ncommand: " << command << "\n\n";
  // Stops the run: no output of this run or an earlier one is left but
  // prep_log.txt, which tells why.
  auto stop = [&](const std::string& why) {
    log << "\nSTOPPED: " << why << "\n";
    for (const char* name : kOutputs) {
      fs::remove(part(dir, name), ec);
      fs::remove(dir / name, ec);
    }
    try {
      write_text(dir, "prep_log.txt", log.str());
      publish(dir, "prep_log.txt");
    } catch (const StopError&) {
      fs::remove(part(dir, "prep_log.txt"), ec);  // the stop itself is the message
    }
    throw StopError(why);
  };

  const std::size_t k = o.inputs.size();
  std::vector<std::string> names;
  for (const auto& in : o.inputs) names.push_back(in.name);
  std::vector<double> corr;
  const bool estimate = o.corr_file.empty();
  ZRule zrule;
  zrule.wanted = estimate;
  zrule.p_min = p_of_z(o.null_z);

  std::vector<std::unique_ptr<Reader>> readers;
  try {
    if (!estimate) corr = read_corr_file(o.corr_file, names);
    for (const auto& in : o.inputs) {
      readers.push_back(std::make_unique<Reader>(in.path, o.roles, zrule));
      if (estimate && readers.back()->layout().effect < 0)
        throw StopError(in.path + ": no effect column (beta, odds ratio or z), so the "
                        "correlation cannot be estimated; give it with --corr");
    }
  } catch (const StopError& e) {
    stop(e.what());
  }

  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  auto progress = [&](std::uint64_t variants) {
    if (o.quiet || Clock::now() - last < std::chrono::seconds(5)) return;
    last = Clock::now();
    std::uint64_t lines = 0;
    for (const auto& r : readers) lines += r->lines_read();
    std::cerr << "kolva-prep: " << lines << " lines read, " << variants << " variants written\n";
  };

  PairSums sums(estimate ? k : 0);
  MergeTotals totals;
  try {
    Pipeline pipe(readers, std::min<unsigned>(o.threads, static_cast<unsigned>(k)), kQueueDepth);
    totals = merge_inputs(pipe, readers, dir, estimate ? &sums : nullptr, o.null_z, progress);
  } catch (const StopError& e) {
    stop(e.what());
  }

  log << "inputs:\n";
  for (std::size_t s = 0; s < k; ++s) describe_input(log, o.inputs[s], *readers[s]);
  log << "\nvariants in the union: " << totals.variants << "\nvariants with a p-value:";
  for (std::size_t s = 0; s < k; ++s) log << " " << names[s] << " " << totals.inputs[s].present;
  log << "\n\n";

  // An input without a single p-value, one that matches no variant of the
  // others (another genome build, other chromosome names) or one whose
  // p-values are all 1 (a failed analysis) has nothing to give to the
  // combined test.
  for (std::size_t s = 0; s < k; ++s) {
    const InputTotals& t = totals.inputs[s];
    const std::string& path = o.inputs[s].path;
    const InputCounts& c = readers[s]->counts();
    if (t.present == 0)
      stop(at_line(path, c.lines, "not one of the " + std::to_string(c.lines - c.header) +
                                      " lines after the header gives " + names[s] +
                                      " a p-value (prep_log.txt counts them by kind)"));
    if (t.shared == 0)
      stop(at_line(path, t.first_line,
                   "none of the " + std::to_string(c.used) + " variants of " +
                       names[s] + " matches a variant of another input by chromosome, position "
                       "and alleles; is it on the same genome build, with the same chromosome "
                       "names?"));
    if (t.all_p_one)
      stop(at_line(path, t.first_line,
                   "every p-value of " + names[s] + " is 1 (lines " + std::to_string(t.first_line) +
                       " to " + std::to_string(t.last_line) + "); its analysis has failed, or the " +
                       "p column holds something else; leave " + names[s] + " out"));
  }

  if (estimate) {
    corr.assign(k * k, 0);
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
          stop("phenotypes " + names[i] + " and " + names[j] + " share only " + std::to_string(n) +
               " variants with |z| < " + g17(o.null_z) + " (at least 1000 are needed to " +
               "estimate their correlation); give the correlation matrix with --corr");
        if (!std::isfinite(rho))
          stop("the z-scores of " + names[i] + " and " + names[j] + " do not vary, so their " +
               "correlation cannot be estimated; give the correlation matrix with --corr");
        corr[i * k + j] = corr[j * k + i] = rho;
      }
    }
  } else {
    log << "correlation: from " << o.corr_file << "\n";
  }
  std::string ctext;
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j <= i; ++j) ctext += (j ? " " : "") + (i == j ? "1" : g17(corr[i * k + j]));
    ctext += "\n";
  }
  log << "matrix (lower triangle, in the order " << names[0] << " ... " << names[k - 1] << "):\n"
      << ctext;
  const bool psd = first_dependent_row(corr, k) == k;
  if (!psd) log << "WARNING: the correlation matrix is not positive semi-definite\n";

  try {
    write_text(dir, "corr.txt", ctext);
    std::string ntext;
    for (const auto& name : names) ntext += name + "\n";
    write_text(dir, "phenotypes.txt", ntext);
    write_text(dir, "defdims", std::to_string(k) + " " + std::to_string(totals.variants) +
                                   "\nlow\npvals.txt\ncorr.txt\nresults.txt\n");
    write_text(dir, "prep_log.txt", log.str());
    for (const char* name : kOutputs) publish(dir, name);
  } catch (const StopError& e) {
    stop(e.what());
  }

  for (std::size_t s = 0; s < k; ++s) {
    const InputCounts& c = readers[s]->counts();
    std::uint64_t missing = 0;
    for (int e = 0; e < 4; ++e) missing += c.events[static_cast<std::size_t>(e)];
    std::cerr << "kolva-prep: " << names[s] << ": " << readers[s]->layout().format << " ("
              << readers[s]->compression() << "), " << c.lines << " lines, " << c.used
              << " variants, " << missing << " missing p, "
              << c.events[static_cast<std::size_t>(Event::duplicate)] << " duplicates\n";
  }
  std::cerr << "kolva-prep: " << totals.variants << " variants written to " << o.out_dir
            << (estimate ? "; correlation estimated" : "; correlation from ") << o.corr_file
            << (psd ? "" : "; WARNING: correlation matrix not positive semi-definite")
            << "; details in prep_log.txt\n";
}

}  // namespace kolva::prep
