#include "numeric/fastpath_testing.h"

#include <initializer_list>

namespace kolva {

namespace {

struct Selection {
  Isa isa;
  Arrangement arrangement;
};

// At first, the build and arrangement the run chose (every hook takes it
// before it changes the kernels in use).
Selection& selection() {
  static Selection s = [] {
    for (Isa isa : {Isa::baseline, Isa::avx2, Isa::avx512})
      for (Arrangement a : {Arrangement::slow_divider, Arrangement::fast_divider})
        if (&detail::kernels_of(isa, a) == detail::kernels_in_use()) return Selection{isa, a};
    return Selection{Isa::baseline, Arrangement::slow_divider};
  }();
  return s;
}

void use_selection() {
  detail::kernels_in_use() = &detail::kernels_of(selection().isa, selection().arrangement);
}

}  // namespace

bool select_isa(Isa isa) {
  if (!isa_supported(isa)) return false;
  selection().isa = isa;
  use_selection();
  return true;
}

Isa selected_isa() { return selection().isa; }

void select_arrangement(Arrangement a) {
  selection().arrangement = a;
  use_selection();
}

Arrangement selected_arrangement() { return selection().arrangement; }

void use_kernels(const FastKernels* k) {
  selection();  // taken from the run's choice before k replaces it
  if (k)
    detail::kernels_in_use() = k;
  else
    use_selection();
}

}  // namespace kolva
