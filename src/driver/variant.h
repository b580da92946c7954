// Variant lines: one line of the p-value file per variant, split into the
// chromosome text, the variant id and the p-values.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "common/formats.h"
#include "common/run_limits.h"
#include "driver/control.h"
#include "textio/freeform.h"

namespace kolva {

struct Variant {
  char chrom[kChromChars];  // first field, cut to 4 or blank-padded
  char id[kIdChars];        // second field, blank-padded; past 33: 30 + "..."
  double p[maxnvara];       // p-values in phenotype order; -9 is missing
};

// Splits one line (without its line end) and reads nvara p-values from what
// follows the id. Every p-value is first set to the missing value, so a
// null value or a terminator means "missing". Missing-value words N, NA
// and NaN (any case) read as -9; any other word with an n is an error.
Outcome split_variant(std::string_view line, int nvara, Variant& v);

// Where reading a variant line stopped: at the line itself or at its
// values.
enum class ReadStage { line, values };

struct ReadResult {
  ReadStage stage;
  Outcome outcome;
};

// Ends the run for variant line k that could not be read, with the run-log
// records and stop message of the stage and outcome.
[[noreturn]] void fail_variant(Channels& ch, ReadResult r, std::int32_t k);

}  // namespace kolva
