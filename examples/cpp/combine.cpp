// Combines the p-values of four variants over three correlated phenotypes
// with libkolva and prints each combined p-value to 15 significant digits,
// with the number of p-values present and the traits that carry it.
//
//   c++ -std=c++20 combine.cpp $(pkg-config --cflags --libs kolva)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "kolva/kolva.hpp"

int main() {
  // The phenotype correlation matrix, row-major.
  const std::vector<double> corr = {
      1.0, 0.4, 0.2,  //
      0.4, 1.0, 0.3,  //
      0.2, 0.3, 1.0,
  };
  // One row per variant; NaN (or -9) is a missing p-value.
  const double nan = std::nan("");
  const std::vector<double> pvalues = {
      0.903023, 0.491972, 0.864204,  //
      1.2e-9,   3.4e-6,   0.51,      //
      0.0012,   nan,      0.0048,    //
      0.25,     -9,       nan,
  };
  const char* ids[] = {"rs100000", "rs100007", "rs100014", "rs100021"};
  const int n = 3, rows = 4;

  try {
    const kolva::Engine engine(corr, n);
    std::vector<double> p(rows);
    std::vector<std::int32_t> present(rows), j(rows);
    std::vector<std::int8_t> order(rows * n);
    kolva::Results out;
    out.p = p.data();
    out.present = present.data();
    out.j = j.data();
    out.order = order.data();
    engine.combine(kolva::PValues::row_major(pvalues.data(), rows, n), out);

    std::printf("kolva %s, M of the matrix %.14E\n", kolva::version(), engine.effective_tests());
    for (int r = 0; r < rows; ++r) {
      if (std::isnan(p[r])) {
        std::printf("%-10s %d NA\n", ids[r], present[r]);  // fewer than two present
        continue;
      }
      std::printf("%-10s %d %.14E", ids[r], present[r], p[r]);
      for (int a = 0; a < j[r]; ++a) std::printf(" y%d", order[r * n + a] + 1);
      std::printf("\n");
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "combine: %s\n", e.what());
    return 1;
  }
  return 0;
}
