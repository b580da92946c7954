#include "numeric/fastpath.h"

#include <cpuid.h>

namespace kolva {

// The builds of the kernels in their arrangements, from fastpath_*.cpp.
namespace isa_baseline {
extern const FastKernels kernels, kernels_fast;
}
namespace isa_avx2 {
extern const FastKernels kernels, kernels_fast;
}
namespace isa_avx512 {
extern const FastKernels kernels, kernels_fast;
}

namespace {

Isa best_isa() {
  if (isa_supported(Isa::avx512)) return Isa::avx512;
  if (isa_supported(Isa::avx2)) return Isa::avx2;
  return Isa::baseline;
}

// The family of an AMD processor (base plus extended family), or 0.
unsigned amd_family() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return 0;
  // "AuthenticAMD" in ebx, edx, ecx.
  if (ebx != 0x68747541 || edx != 0x69746e65 || ecx != 0x444d4163) return 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
  const unsigned base = (eax >> 8) & 0xf;
  return base == 0xf ? base + ((eax >> 20) & 0xff) : base;
}

// AMD's family 1Ah: Zen 5.
constexpr unsigned kFastDividerFamily = 0x1a;

}  // namespace

bool isa_supported(Isa isa) {
  __builtin_cpu_init();
  switch (isa) {
    case Isa::avx512: return __builtin_cpu_supports("avx512f");
    case Isa::avx2: return __builtin_cpu_supports("avx2");
    case Isa::baseline: return true;
  }
  return false;
}

Arrangement arrangement_for_cpu() {
  return amd_family() >= kFastDividerFamily ? Arrangement::fast_divider : Arrangement::slow_divider;
}

namespace detail {

const FastKernels& kernels_of(Isa isa, Arrangement a) {
  const bool fast = a == Arrangement::fast_divider;
  switch (isa) {
    case Isa::avx512: return fast ? isa_avx512::kernels_fast : isa_avx512::kernels;
    case Isa::avx2: return fast ? isa_avx2::kernels_fast : isa_avx2::kernels;
    case Isa::baseline: break;
  }
  return fast ? isa_baseline::kernels_fast : isa_baseline::kernels;
}

const FastKernels*& kernels_in_use() {
  static const FastKernels* k = &kernels_of(best_isa(), arrangement_for_cpu());
  return k;
}

}  // namespace detail

const FastKernels& fast_kernels() { return *detail::kernels_in_use(); }

}  // namespace kolva
