// The avx2 build of the fast kernels. Every header is included before the
// target switch, so no inline library code is compiled for it.
#include <immintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#include "numeric/eigen.h"
#include "numeric/fastpath.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC target("avx2")
#endif

#define KOLVA_FAST_LANES 4  // doubles in one of the build's vector registers
namespace kolva::isa_avx2 {
#include "numeric/fastpath_tdiag.inc"

#include "numeric/fastpath_ql.inc"

extern const FastKernels kernels = {tdiag_many, lrvt_many};
extern const FastKernels kernels_fast = {tdiag_many_fast, lrvt_many_fast};
}  // namespace kolva::isa_avx2

#if defined(__clang__)
#pragma clang attribute pop
#endif
