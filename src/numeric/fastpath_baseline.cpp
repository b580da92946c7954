// The baseline build of the fast kernels. Every header is included before the
// target switch, so no inline library code is compiled for it.
#include <immintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "numeric/eigen.h"
#include "numeric/fastpath.h"

#define KOLVA_FAST_LANES 2  // doubles in one of the build's vector registers
namespace kolva::isa_baseline {
#include "numeric/fastpath_tdiag.inc"

#include "numeric/fastpath_ql.inc"

extern const FastKernels kernels = {tdiag_many, lrvt_many};
extern const FastKernels kernels_fast = {tdiag_many_fast, lrvt_many_fast};
}  // namespace kolva::isa_baseline
