#include "combine/statistic.h"

#include <algorithm>

namespace kolva {

Statistic::Statistic(const double* k, int nvara, std::int32_t maxsweeps)
    : nvara_(nvara), sweeps_(maxsweeps) {
  std::fill(std::begin(k_), std::end(k_), 0.0);
  std::fill(std::begin(f_), std::end(f_), 0.0);
  for (int j = 0; j < nvara; ++j)
    for (int i = 0; i < nvara; ++i) k_[j * kLd + i] = k[j * kLd + i];
  convert_all(k_, nvara, f_);
}

}  // namespace kolva
