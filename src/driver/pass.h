// The pass over the variants: read, evaluate and write every line of the
// p-value file, on one thread or as a pipeline over several.
#pragma once

#include "common/cpus.h"
#include "driver/control.h"
#include "driver/line_batch.h"

namespace kolva {

// Runs the pass for variants 1 .. c.nsnp, evaluated through e (the
// Statistic of the run's correlation matrix).
//
// `threads`: the count choose_threads gave (1 .. kMaxThreads). With one
// thread every batch is read, evaluated and written in turn.
// With more, a reader thread reads batches, `threads` workers evaluate
// them and the calling thread writes them, strictly in line order; at most
// a few batches per worker are in flight. Either way the channels receive
// the same bytes in the same order, so the output does not depend on the
// thread count, also when the run ends early: a failing line or an
// input/output failure ends it (RunEnd) on the calling thread, after the
// reader and every worker have been joined.
void variant_pass(Channels& ch, const Control& c, const Evaluator& e, int threads);

}  // namespace kolva
