// The run's limits and conventions, shared by every subsystem: how many
// phenotypes a run may have, the shape of the work matrices, how many
// variants are evaluated together, and the values that stand for "no
// value". Header only. The values every language sees are declared once,
// in the library's public header; the names here are the engine's own.
#pragma once

#include "kolva/kolva.h"

namespace kolva {

// Phenotypes of a run at most (the control file's nvara).
inline constexpr int maxnvara = KOLVA_MAX_PHENOTYPES;

// Leading dimension of every phenotype-sized work matrix.
inline constexpr int kLd = maxnvara;

// Variants evaluated together by the batched evaluation.
inline constexpr int kBatch = 16;

// A missing p-value, as read and as stored; also the combined p-value of
// a variant with fewer than two present p-values.
inline constexpr double kMissing = KOLVA_MISSING;

// The start of the minimum over the adjusted p-values (M / M(j)) * p(j):
// above any p-value, so it stays the result only when no adjusted value is
// below it (all of them not-a-number, or 1000 and more).
inline constexpr double kNoAdjusted = 1000.0;

}  // namespace kolva
