#include "numeric/eigen.h"

namespace kolva {

// setz: clears the four fault codes of an eigen-solver run.
//   codes  (out) four consecutive 32-bit integers, all set to 0.
void setz(std::int32_t* codes) {
  for (int i = 0; i < 4; ++i) codes[i] = 0;
}

}  // namespace kolva
