// A whole kolva-prep run: inputs to a kolva run directory.
#pragma once

#include <string>

#include "prep/options.h"

namespace kolva::prep {

// Runs; throws StopError (after writing what is known to prep_log.txt when
// the directory exists). `command` is the command line, for the log.
void run(const Options& o, const std::string& command);

}  // namespace kolva::prep
