#include "numeric/eigen.h"

namespace kolva {

void setz(std::int32_t* codes) {
  for (int i = 0; i < 4; ++i) codes[i] = 0;
}

}  // namespace kolva
