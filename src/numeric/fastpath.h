// Eigenvalue kernels of the variant pass, tuned for one core: the
// Householder reduction and the QL iteration, each run on many independent
// problems at once, one problem per vector lane.
// Every value is computed by the same operations in the same order as in
// tdiag_values / lrvt_values, so d, e and the fault codes agree to the bit.
//
// The kernels come in three builds: baseline x86-64, AVX2 and AVX-512, each
// in two arrangements of the QL iteration's work (see Arrangement). The
// best build the processor supports is used, in the arrangement that suits
// its divider, the same for the whole run (tests and benchmarks pick
// another through fastpath_testing.h). No allocation, no I/O, no
// exceptions; the kernels' storage is on the stack.
#pragma once

#include <cstdint>

#include "common/run_limits.h"

namespace kolva {

// Lanes of the widest build's vectors (AVX-512: eight doubles).
inline constexpr int kFastLanesMax = 8;

// Room for the largest order, rounded up to whole vectors of the widest
// build: the rows the kernels keep per problem, and the leading dimension
// of the per-problem d and e arrays.
inline constexpr int kFastLd = (maxnvara + kFastLanesMax - 1) / kFastLanesMax * kFastLanesMax;
static_assert(kFastLd >= maxnvara && kFastLd % kFastLanesMax == 0);

enum class Isa { baseline, avx2, avx512 };

// How the QL iteration keeps the divider busy. Each rotation waits on the
// divisions and the square root of the one before it, so two groups of
// problems take turns. slow_divider: as written, which fills a divider that
// takes about 0.65 ns a division lane (the Intel Xeon). fast_divider: for a
// divider about five times faster, whose chains otherwise wait on the
// instructions around them and on the bookkeeping between passes (the AMD
// EPYC, Zen 5): in the AVX-512 build three groups take turns row by row,
// their selections in mask registers, and a group's bookkeeping between
// passes is lane-parallel and spread over its next two turns while the
// others rotate (lrvt_fast in fastpath_ql.inc); in the AVX2 build each
// lane's row is read and written between passes by gathers; and the
// reduction copies a group's triangle from the one packed for the same
// lanes at a higher order (the leading blocks of the same variants)
// instead of gathering it again. Both compute the same values by the same
// operations.
enum class Arrangement { slow_divider, fast_divider };

struct FastKernels {
  // tdiag_many: d and e of tdiag_values for `count` independent problems.
  //   count  (in)  the problems q = 0 .. count-1; below 1: nothing done.
  //   order  (in)  order[q], 2 .. maxnvara: order of problem q.
  //   a, index, lda (in) problem q's matrix A, of which only the lower
  //                triangle is read: A(r, c) = a[q][index[q][c] * lda +
  //                index[q][r]] for r >= c (0-based); so a matrix of its
  //                own with index 0, 1, ..., or rows and columns picked out
  //                of a larger one.
  //   d, e   (out) problem q's diagonal and off-diagonal (e(1) = 0) at
  //                d / e + q * ld, order[q] values each.
  //   ld     (in)  at least the largest order.
  void (*tdiag_many)(int count, const int* order, const double* const* a, const int* const* index,
                     int lda, double* d, double* e, int ld);
  // lrvt_many: the QL iteration of lrvt_values with at most maxsweeps
  // sweeps per eigenvalue, all but its final sort, on `count` independent
  // problems.
  //   count  (in)     the problems q = 0 .. count-1; below 1: nothing done.
  //   order  (in)     order[q] of problem q, at most maxnvara; below 2:
  //                   fault 2, nothing touched.
  //   d, e   (in/out) problem q's diagonal and off-diagonal at
  //                   d / e + q * ld, as tdiag leaves them; out, d holds the
  //                   eigenvalues in the order the iteration leaves them
  //                   (sort_eigenvalues gives lrvt's order); e is unchanged.
  //   ld     (in)     at least the largest order.
  //   fault  (out)    fault[q]: 0 done, 1 sweep limit reached, 2 order
  //                   below 2.
  //   maxsweeps (in)  sweeps allowed per eigenvalue (lrvt_values: mits).
  // Consecutive problems share the vector lanes, so a caller that orders
  // the pool by order fills each group with problems of equal order.
  void (*lrvt_many)(int count, const int* order, double* d, double* e, int ld, std::int32_t* fault,
                    std::int32_t maxsweeps);
};

// The kernels in use.
const FastKernels& fast_kernels();

// Whether this processor (and its operating system) can run a build.
bool isa_supported(Isa isa);

// The arrangement this processor gets: fast_divider on AMD processors of
// family 1Ah (Zen 5) and later, slow_divider on every other.
Arrangement arrangement_for_cpu();

namespace detail {
// The kernels of a build in an arrangement (whether or not the processor
// can run them).
const FastKernels& kernels_of(Isa isa, Arrangement a);
// The kernels in use: the best build in arrangement_for_cpu() until a test
// or a benchmark sets another (fastpath_testing.h).
const FastKernels*& kernels_in_use();
}  // namespace detail

}  // namespace kolva
