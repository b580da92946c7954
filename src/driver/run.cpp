#include "driver/run.h"

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "driver/combine.h"
#include "driver/control.h"
#include "driver/phenotypes.h"
#include "driver/records.h"
#include "driver/variant.h"

namespace kolva {

namespace {

// Everything a run holds, fixed in size and set up once.
struct Job {
  Phenotypes ph;
  Variant var;
  Combiner comb;
  Variant batch_var[kBatch];
  BatchCombiner batch;
};

// The plain pass over the variants: one line read, evaluated and written
// before the next.
void plain_pass(Channels& ch, const Control& c, Job& job) {
  LineReader lines;
  char rec[kResultLong + 2];
  for (std::int64_t kk = 1; kk <= c.nsnp; ++kk) {
    const auto k = static_cast<std::int32_t>(kk);
    const ReadResult r = read_variant(ch, lines, c.nvara, job.var);
    if (r.outcome != Outcome::success) fail_variant(ch, r, k);
    if (k % 10000 == 0) ch.write_freeform(kConsoleUnit, {" SNP ", k, c.nsnp});
    const double combined = combine_reference(job.ph.k, c.nvara, job.var.p, job.comb);
    write_faults(ch, k, job.comb.faults, job.comb.nfaults);
    const int len = format_result(rec, job.var, job.comb.n, combined);
    ch.write(kResultUnit, {rec, static_cast<std::size_t>(len)});
  }
}

// The production pass: up to kBatch lines are read, evaluated together by
// combine_batch, and their records written in line order. A line that
// cannot be read ends the batch; the variants before it are evaluated and
// written first, then the run ends as it would have at that line.
void batch_pass(Channels& ch, const Control& c, Job& job) {
  LineReader lines;
  char rec[kResultLong + 2];
  const double* values[kBatch];
  for (int b = 0; b < kBatch; ++b) values[b] = job.batch_var[b].p;
  for (std::int64_t k0 = 1; k0 <= c.nsnp; k0 += kBatch) {
    const int want = c.nsnp - k0 + 1 < kBatch ? static_cast<int>(c.nsnp - k0 + 1) : kBatch;
    int got = 0;
    ReadResult r{ReadStage::line, Outcome::success};
    for (; got < want; ++got) {
      r = read_variant(ch, lines, c.nvara, job.batch_var[got]);
      if (r.outcome != Outcome::success) break;
    }
    combine_batch(job.ph.k, c.nvara, values, got, job.batch);
    for (int b = 0; b < got; ++b) {
      const auto k = static_cast<std::int32_t>(k0 + b);
      const BatchVariant& x = job.batch.var[b];
      if (k % 10000 == 0) ch.write_freeform(kConsoleUnit, {" SNP ", k, c.nsnp});
      write_faults(ch, k, x.faults, x.nfaults);
      const int len = format_result(rec, job.batch_var[b], x.n, x.combined);
      ch.write(kResultUnit, {rec, static_cast<std::size_t>(len)});
    }
    if (got < want) fail_variant(ch, r, static_cast<std::int32_t>(k0 + got));
  }
}

}  // namespace

int run(const RunStreams& streams) {
  Channels ch(streams.out, streams.err);
  int status = 0;
  try {
    auto job = std::make_unique<Job>();  // zeroed: the fault codes start at 0
    ch.write_freeform(kConsoleUnit, {" starting "});
    Control c = read_control(ch);
    open_files(ch, c);
    read_phenotypes(ch, c, job->ph);
    write_header(ch, c);
    report_phenotypes(ch, c, job->ph);
    ch.write_freeform(kConsoleUnit, {" EVD of phenotypes finished "});
    ch.write_freeform(kConsoleUnit, {" snp 1 to snps (every 10000 shown)"});
    if (streams.reference_path)
      plain_pass(ch, c, *job);
    else
      batch_pass(ch, c, *job);
    ch.stop("end kolva ", 0);
  } catch (const RunEnd& end) {
    status = end.status;
  }
  if (!ch.close_all()) status = 2;
  return status;
}

int run_process() {
  // A reader that goes away makes writes fail with EPIPE, which ends the
  // run as an input/output failure instead of killing the process.
  std::signal(SIGPIPE, SIG_IGN);
  // A closed standard stream keeps its descriptor number reserved (on
  // /dev/null), so that no file opened later takes its place; writes meant
  // for it fail as on a closed stream.
  RunStreams s;
  for (int fd : {0, 1, 2}) {
    if (::fcntl(fd, F_GETFD) != -1) continue;
    int nul = ::open("/dev/null", O_RDWR);
    if (nul >= 0 && nul != fd) {
      ::dup2(nul, fd);
      ::close(nul);
    }
    if (fd == 1) s.out = -1;
    if (fd == 2) s.err = -1;
  }
  return run(s);
}

}  // namespace kolva
