// Variant lines: one line of the p-value file per variant, split into the
// chromosome text, the variant id and the p-values. No channel: the
// library's reading of p-value files splits lines with the same call.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "common/formats.h"
#include "common/run_limits.h"
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
// With `beyond`, *beyond tells, after a success, whether the line holds
// more than nvara values (which the program does not read).
Outcome split_variant(std::string_view line, int nvara, Variant& v, bool* beyond = nullptr);

// Where reading a variant line stopped: at the line itself or at its
// values.
enum class ReadStage { line, values };

struct ReadResult {
  ReadStage stage;
  Outcome outcome;
};

}  // namespace kolva
