#include "numeric/fastpath_testing.h"

namespace kolva {

// The three builds of the kernels, from fastpath_*.cpp.
namespace isa_baseline {
extern const FastKernels kernels;
}
namespace isa_avx2 {
extern const FastKernels kernels;
}
namespace isa_avx512 {
extern const FastKernels kernels;
}

namespace {

const FastKernels* table(Isa isa) {
  switch (isa) {
    case Isa::avx512: return &isa_avx512::kernels;
    case Isa::avx2: return &isa_avx2::kernels;
    case Isa::baseline: break;
  }
  return &isa_baseline::kernels;
}

Isa best_isa() {
  if (isa_supported(Isa::avx512)) return Isa::avx512;
  if (isa_supported(Isa::avx2)) return Isa::avx2;
  return Isa::baseline;
}

struct Selection {
  Isa isa = best_isa();
  const FastKernels* k = table(isa);
};

Selection& selection() {
  static Selection s;
  return s;
}

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

const FastKernels& fast_kernels() { return *selection().k; }

bool select_isa(Isa isa) {
  if (!isa_supported(isa)) return false;
  selection().isa = isa;
  selection().k = table(isa);
  return true;
}

Isa selected_isa() { return selection().isa; }

void use_kernels(const FastKernels* k) { selection().k = k ? k : table(selection().isa); }

}  // namespace kolva
