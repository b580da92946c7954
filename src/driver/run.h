// The run: control file, files, phenotype matrix, the pass over the
// variants, and the stop that ends it.
#pragma once

#include <functional>
#include <memory>

#include "combine/evaluator.h"

namespace kolva {

// Standard output and standard error of a run (file descriptors), so that
// tests and fuzzers can drive whole runs in-process.
struct RunStreams {
  int out = 1;
  int err = 2;
};

// Makes the evaluation of a run from its correlation matrix k (column-major,
// leading dimension kLd) of nvara phenotypes.
using MakeEvaluator = std::function<std::unique_ptr<Evaluator>(const double* k, int nvara)>;

// How the variant pass runs. Nothing here changes a byte of the output.
struct RunSettings {
  int threads = 1;
  // Empty: the run's Statistic. Tests compare whole runs evaluated
  // otherwise (tests/reference).
  MakeEvaluator evaluator = nullptr;
};

// Runs in the working directory and returns the exit status: 0 for the
// normal end, 1 for a run stopped by a failure, 2 for an input/output
// failure. Never calls exit.
int run(const RunStreams& streams = {}, const RunSettings& settings = {});

// The process entry: reads the command line, guards the standard streams
// and SIGPIPE, then runs; returns the exit status (64 for bad usage).
int run_process(int argc, const char* const* argv);

}  // namespace kolva
