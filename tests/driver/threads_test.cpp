// Whole runs on 2, 3 and 7 threads give the bytes of the one-thread run:
// result file, run log, standard output, standard error and exit status,
// also when a line fails, the file ends early, a write is refused or the
// input stalls while the run ends.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#include "driver/line_batch_testing.h"
#include "driver/run.h"
#include "reference/reference.h"
#include "support/in_process.h"
#include "support/run_binary.h"

namespace kolva {
namespace {

namespace fs = std::filesystem;

enum class Damage { none, bad_value, short_line, long_line, file_ends };
enum class Out { file, closed, broken_pipe, full_result };
// The p-value file as a file, or as a pipe whose writer stops halfway
// through the third batch and waits, without closing, until the run is
// over.
enum class In { file, stalled_pipe };

struct Case {
  const char* name;
  int phenotypes;
  int variants;
  Damage damage = Damage::none;
  int line =
      0;  // the line damaged: from 1, or 0 the first of the second batch, -1 the last of the first
  Out out = Out::file;
  MakeEvaluator evaluate = nullptr;  // empty: the run's own
  int status = 0;
  In in = In::file;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

struct Outcome {
  int status;
  std::string files;  // every output, named
};

// Runs in a copy of `data` with `threads` threads.
Outcome run_copy(const fs::path& data, const Case& c, int threads) {
  testing::TempDir dir;
  fs::copy(data, dir.path(), fs::copy_options::recursive);
  const auto cwd = fs::current_path();
  fs::current_path(dir.path());
  RunStreams s;
  int pipefd[2] = {-1, -1};
  if (c.out == Out::closed) {
    s.out = -1;
  } else if (c.out == Out::broken_pipe) {
    EXPECT_EQ(::pipe(pipefd), 0);
    ::close(pipefd[0]);
    s.out = pipefd[1];
  } else {
    s.out = ::open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  s.err = ::open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::promise<void> over;
  std::thread feeder;
  if (c.in == In::stalled_pipe) {
    const std::string lines = dir.read("pvals.txt").value();
    fs::remove("pvals.txt");
    EXPECT_EQ(::mkfifo("pvals.txt", 0644), 0);
    std::size_t cut = 0;
    for (int n = 0; n < batch_lines(c.phenotypes) * 5 / 2; ++n) cut = lines.find('\n', cut) + 1;
    feeder = std::thread(
        [path = dir / "pvals.txt", part = lines.substr(0, cut), done = over.get_future()] {
          const int fd = ::open(path.c_str(), O_WRONLY);
          int err = 0;
          Channels::write_fd(fd, part, err);
          done.wait();
          ::close(fd);
        });
  }
  const int status = run(s, {threads, c.evaluate});
  if (feeder.joinable()) {
    over.set_value();
    feeder.join();
  }
  if (s.out >= 0) ::close(s.out);
  ::close(s.err);
  fs::current_path(cwd);
  std::string files;
  for (const char* f : {"results.txt", "kolva_log.txt", "stdout.txt", "stderr.txt"})
    files += std::string("== ") + f + "\n" + dir.read(f).value_or("(none)") + "\n";
  return {status, files};
}

class Threads : public ::testing::TestWithParam<Case> {};

TEST_P(Threads, EveryThreadCountWritesTheOneThreadBytes) {
  std::signal(SIGPIPE, SIG_IGN);
  const Case& c = GetParam();
  testing::TempDir data;
  ASSERT_EQ(testing::generate(data.path(), c.phenotypes, c.variants, 3, "0.05"), 0);
  if (c.damage != Damage::none) {
    const int line = c.line > 0 ? c.line : batch_lines(c.phenotypes) + 1 + c.line;
    std::istringstream in(data.read("pvals.txt").value());
    std::string out, text;
    for (int n = 1; std::getline(in, text); ++n) {
      if (n == line) {
        if (c.damage == Damage::file_ends) break;
        if (c.damage == Damage::bad_value) text = "1 rsbad 0.1 x7";
        if (c.damage == Damage::short_line) text = "1 rsshort 0.5";
        if (c.damage == Damage::long_line)
          text = "1 rslong " + std::string(std::size_t{1} << 20, '1');
      }
      out += text + "\n";
    }
    data.write("pvals.txt", out);
  }
  if (c.out == Out::full_result) {
    std::string defdims = data.read("defdims").value();
    defdims.replace(defdims.find("results.txt"), 11, "/dev/full");
    data.write("defdims", defdims);
  }

  const Outcome one = run_copy(data.path(), c, 1);
  EXPECT_EQ(one.status, c.status);
  if (c.evaluate) {
    EXPECT_NE(one.files.find(" ERROR in Tdiag-Lrvt"), std::string::npos);
  }
  for (int threads : {2, 3, 7}) {
    const Outcome many = run_copy(data.path(), c, threads);
    EXPECT_EQ(many.status, one.status) << threads << " threads";
    EXPECT_TRUE(many.files == one.files) << threads << " threads:\n" << many.files.substr(0, 2000);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, Threads,
    ::testing::Values(
        // The benchmark shapes, scaled down to a few batches each.
        Case{"p50", 50, 200}, Case{"p20", 20, 600}, Case{"p5", 5, 6000},
        Case{"p2_progress_records", 2, 25000},
        Case{"solver_faults", 5, 1000, Damage::none, 0, Out::file, few_sweeps(2)},
        // A line that fails first, inside a batch, at either side of a
        // batch boundary and last.
        Case{"bad_value_first", 5, 5000, Damage::bad_value, 1, Out::file, nullptr, 1},
        Case{"short_line_first", 5, 5000, Damage::short_line, 1, Out::file, nullptr, 1},
        Case{"long_line_first", 5, 5000, Damage::long_line, 1, Out::file, nullptr, 1},
        Case{"bad_value_mid_batch", 5, 5000, Damage::bad_value, 200, Out::file, nullptr, 1},
        Case{"long_line_mid_batch", 2, 3000, Damage::long_line, 777, Out::file, nullptr, 1},
        Case{"short_line_last_of_batch", 5, 5000, Damage::short_line, -1, Out::file, nullptr, 1},
        Case{"long_line_first_of_batch", 5, 5000, Damage::long_line, 0, Out::file, nullptr, 1},
        Case{"bad_value_first_of_batch", 50, 300, Damage::bad_value, 0, Out::file, nullptr, 1},
        Case{"short_line_last", 5, 5000, Damage::short_line, 5000, Out::file, nullptr, 1},
        Case{"file_ends_early", 5, 5000, Damage::file_ends, 930, Out::file, nullptr, 1},
        // Writes refused.
        Case{"result_on_full_device", 5, 5000, Damage::none, 0, Out::full_result, nullptr, 2},
        Case{"stdout_closed", 2, 25000, Damage::none, 0, Out::closed, nullptr, 2},
        Case{"stdout_broken_pipe", 2, 25000, Damage::none, 0, Out::broken_pipe, nullptr, 2},
        // The reader waits on a pipe that gives no more while the writer
        // ends the run at a line of the first batch: the run must end all
        // the same.
        Case{"bad_value_input_stalled", 5, 20000, Damage::bad_value, 500, Out::file, nullptr, 1,
             In::stalled_pipe}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kolva
