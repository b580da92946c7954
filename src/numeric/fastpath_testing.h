// For tests and benchmarks: which build and arrangement of the fast kernels
// runs, and kernels of their own in its place. Not part of the run
// (fastpath_testing.cpp is linked into tests and benchmarks only).
#pragma once

#include "numeric/fastpath.h"

namespace kolva {

// Makes `isa` the build in use, in the arrangement selected; false (and no
// change) when it is not supported.
bool select_isa(Isa isa);

Isa selected_isa();

// Makes `a` the arrangement in use, in the build selected.
void select_arrangement(Arrangement a);

Arrangement selected_arrangement();

// Makes k the kernels in use, or with null the selected build's again (for
// benchmarks that look into the kernels' work).
void use_kernels(const FastKernels* k);

}  // namespace kolva
