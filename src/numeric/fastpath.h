// Eigenvalue kernels of the variant pass, tuned for one core: the
// Householder reduction and the QL iteration, each run on many independent
// problems at once, one problem per vector lane.
// Every value is computed by the same operations in the same order as in
// tdiag_values / lrvt_values, so d, e and the fault codes agree to the bit.
//
// The kernels come in three builds: baseline x86-64, AVX2 and AVX-512. The
// best one the processor supports is used unless select_isa() says
// otherwise; tests and benchmarks use that to run each build.
#pragma once

#include <cstdint>

namespace kolva {

// Leading dimension of the per-problem d and e arrays of lrvt_many.
inline constexpr int kFastLd = 56;

enum class Isa { baseline, avx2, avx512 };

struct FastKernels {
  // tdiag_many: d and e of tdiag_values for `count` problems; problem q is
  // the leading order[q] block (2 .. 50) of the matrix a[q] (leading
  // dimension lda, lower triangle read) and gets d / e + q * ld.
  void (*tdiag_many)(int count, const int* order, const double* const* a, int lda,
                     double* d, double* e, int ld);
  // lrvt_many: lrvt_values_limited on `count` independent problems, all
  // but its final sort: problem q has order order[q], diagonal d + q*ld and
  // off-diagonal e + q*ld in the layout tdiag leaves; d gets the
  // eigenvalues in the order the iteration leaves them (sort_eigenvalues
  // gives lrvt's order), fault[q] the code. e is not changed.
  void (*lrvt_many)(int count, const int* order, double* d, double* e, int ld,
                    std::int32_t* fault, std::int32_t maxsweeps);
};

// The kernels in use.
const FastKernels& fast_kernels();

// Whether this processor (and its operating system) can run a build.
bool isa_supported(Isa isa);

// Makes `isa` the build in use; false (and no change) when it is not
// supported. For tests and benchmarks.
bool select_isa(Isa isa);

Isa selected_isa();

}  // namespace kolva
