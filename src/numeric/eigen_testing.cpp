#include "numeric/eigen_testing.h"

namespace kolva {

void lrvt_values_counted(int n, double* d, double* e, std::int32_t& fault, QlWork& work) {
  detail::lrvt<true>(n, d, e, fault, &work);
}

}  // namespace kolva
