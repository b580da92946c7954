// library_combine: the in-memory side of bench/library.sh. Loads a kolva
// run folder's correlations (lower layout) and p-values into memory (not
// timed; "NA" and -9 read as NaN), then times libkolva's engine and
// combine over every variant on THREADS threads, REPEATS times, and prints
// each one's wall time and CPU time (all threads) in seconds, one a line. A last line "check SUM"
// adds the combined values up, so that two builds can be compared.
//
//   library_combine DIR THREADS REPEATS
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "kolva/kolva.hpp"

namespace {

double cpu_seconds() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double number(const std::string& w) {
  if (w == "NA" || w == "-9") return std::nan("");
  double x = 0;
  std::from_chars(w.data(), w.data() + w.size(), x);
  return x;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: library_combine DIR THREADS REPEATS\n");
    return 64;
  }
  const std::string dir = argv[1];
  const int threads = std::atoi(argv[2]), repeats = std::atoi(argv[3]);
  std::ifstream defdims(dir + "/defdims");
  long n = 0, rows = 0;
  defdims >> n >> rows;
  std::vector<double> corr(n * n);
  std::ifstream cf(dir + "/corr.txt");
  for (long i = 0; i < n; ++i)
    for (long j = 0; j <= i; ++j) {
      std::string w;
      cf >> w;
      corr[i * n + j] = corr[j * n + i] = number(w);
    }
  std::vector<double> p;
  p.reserve(static_cast<std::size_t>(rows * n));
  std::ifstream pf(dir + "/pvals.txt");
  std::string line, w;
  while (std::getline(pf, line)) {
    std::istringstream f(line);
    f >> w >> w;
    for (long c = 0; c < n; ++c) {
      f >> w;
      p.push_back(number(w));
    }
  }
  rows = static_cast<long>(p.size()) / n;

  std::vector<double> out(static_cast<std::size_t>(rows));
  for (int r = 0; r < repeats; ++r) {
    const double c0 = cpu_seconds();
    const auto t0 = std::chrono::steady_clock::now();
    const kolva::Engine engine(corr, static_cast<int>(n));
    kolva::Results res;
    res.p = out.data();
    engine.combine(kolva::PValues::row_major(p.data(), rows, n), res, threads);
    const auto t1 = std::chrono::steady_clock::now();
    std::printf("%.4f %.4f\n", std::chrono::duration<double>(t1 - t0).count(), cpu_seconds() - c0);
  }
  double sum = 0;
  for (double x : out)
    if (!std::isnan(x)) sum += x;
  std::printf("check %.17g\n", sum);
  return 0;
}
