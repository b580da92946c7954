// The run: control file, files, phenotype matrix, the pass over the
// variants, and the stop that ends it.
#pragma once

namespace kolva {

// Standard output and standard error of a run (file descriptors), so that
// tests and fuzzers can drive whole runs in-process.
struct RunStreams {
  int out = 1;
  int err = 2;
  // Read, evaluate and write one line at a time with combine_reference()
  // instead of batches of lines with combine_batch(): the same records,
  // computed the slow plain way. For tests only.
  bool reference_path = false;
};

// Runs in the working directory and returns the exit status: 0 for the
// normal end, 1 for a run stopped by a failure, 2 for an input/output
// failure. Never calls exit.
int run(const RunStreams& streams = {});

// The process entry: guards the standard streams and SIGPIPE, then runs.
int run_process();

}  // namespace kolva
