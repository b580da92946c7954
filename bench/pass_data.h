// A generated run for the benchmarks of the variant pass: a p-value file
// like the generator's (6 significant digits, 3 % NA) in a directory of its
// own, removed at the end, and a two-factor correlation matrix.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "common/run_limits.h"

struct PassData {
  std::filesystem::path dir;
  std::vector<double> k = std::vector<double>(kolva::kLd * kolva::kLd, 0.0);
  PassData(int nvara, int variants) {
    using kolva::kLd;
    char tmpl[] = "/tmp/kolva-bench-pass-XXXXXX";
    dir = ::mkdtemp(tmpl);
    std::mt19937_64 g(5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> l0(nvara), l1(nvara);
    for (int i = 0; i < nvara; ++i) l0[i] = 0.3 + 0.5 * u(g), l1[i] = (i % 2 ? 0.4 : -0.2) * u(g);
    for (int i = 0; i < nvara; ++i)
      for (int j = 0; j < nvara; ++j)
        k[j * kLd + i] = i == j ? 1.0 : std::round((l0[i] * l0[j] + l1[i] * l1[j]) * 1e4) / 1e4;
    std::FILE* f = std::fopen((dir / "pvals.txt").c_str(), "w");
    for (int v = 0; v < variants; ++v) {
      std::fprintf(f, "%d rs%d", 1 + v % 22, 100000 + v);
      for (int i = 0; i < nvara; ++i) {
        if (u(g) < 0.03)
          std::fputs(" NA", f);
        else
          std::fprintf(f, " %.6g", u(g));
      }
      std::fputc('\n', f);
    }
    std::fclose(f);
  }
  ~PassData() { std::filesystem::remove_all(dir); }
};
