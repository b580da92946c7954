// Shifted QL iteration for the eigenvalues of a symmetric tridiagonal
// matrix.
#include <cmath>
#include <cstddef>

#include "numeric/eigen.h"
#include "numeric/lrvt_iteration.h"

namespace kolva {

void sort_eigenvalues(int n, double* d) {
  auto D = [&](int i) -> double& { return d[i - 1]; };
  for (int i = 1; i <= n - 1; ++i) {
    int k = i;
    double p = D(i);
    for (int j = i + 1; j <= n; ++j) {
      if (!(p >= D(j))) {
        k = j;
        p = D(j);
      }
    }
    if (k != i) {
      D(k) = D(i);
      D(i) = p;
    }
  }
}

void lrvt_values(int n, double* d, double* e, std::int32_t& fault) {
  detail::lrvt<false>(n, d, e, fault, nullptr);
}

}  // namespace kolva
