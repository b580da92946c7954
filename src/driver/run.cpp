#include "driver/run.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>

#include "combine/statistic.h"
#include "driver/control.h"
#include "driver/options.h"
#include "driver/pass.h"
#include "driver/phenotypes.h"

namespace kolva {

namespace {

// Writes all of text to fd; false when the system refused.
bool write_all(int fd, std::string_view text) {
  int err = 0;
  return Channels::write_fd(fd, text, err);
}

}  // namespace

int run(const RunStreams& streams, const RunSettings& settings) {
  Channels ch(streams.out, streams.err);
  int status = 0;
  try {
    auto ph = std::make_unique<Phenotypes>();  // zeroed: the fault codes start at 0
    ch.write_freeform(kConsoleUnit, {" starting "});
    Control c = read_control(ch);
    open_files(ch, c);
    read_phenotypes(ch, c, *ph);
    write_header(ch, c);
    report_phenotypes(ch, c, *ph);
    ch.write_freeform(kConsoleUnit, {" EVD of phenotypes finished "});
    ch.write_freeform(kConsoleUnit, {" snp 1 to snps (every 10000 shown)"});
    const std::unique_ptr<Evaluator> engine = settings.evaluator
                                                  ? settings.evaluator(ph->k, c.nvara)
                                                  : std::make_unique<Statistic>(ph->k, c.nvara);
    variant_pass(ch, c, *engine, settings.threads);
    ch.stop("end kolva ", 0);
  } catch (const RunEnd& end) {
    status = end.status;
  }
  if (!ch.close_all()) status = 2;
  return status;
}

int run_process(int argc, const char* const* argv) {
  // A reader that goes away makes writes fail with EPIPE, which ends the
  // run as an input/output failure instead of killing the process.
  std::signal(SIGPIPE, SIG_IGN);
  // Buffers of a batch's size and more (long lines) are mapped on their
  // own, so that their memory goes back to the system when released; the
  // allocator would otherwise raise this bound after the first release.
  ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(kBatchBytes));

  const Options o = parse_options(argc, argv, std::getenv(kThreadsEnv), usable_cpus());
  switch (o.action) {
    case Options::Action::help: return write_all(1, usage_text()) ? 0 : 2;
    case Options::Action::version: return write_all(1, version_text()) ? 0 : 2;
    case Options::Action::bad_usage:
      write_all(2, "kolva: " + o.problem + "; see 'kolva --help'\n");
      return kUsageStatus;
    case Options::Action::run: break;
  }

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
  RunSettings settings;
  settings.threads = o.threads;
  return run(s, settings);
}

}  // namespace kolva
