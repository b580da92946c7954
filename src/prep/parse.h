// The parse of one data line against a file's layout.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "prep/format.h"
#include "prep/record.h"

namespace kolva::prep {

// What the estimate needs from each line.
struct ZRule {
  bool wanted = false;  // no --corr: z-scores are computed
  double p_min = 0;     // only p above it can have |z| < Z
};

enum class LineKind { data, blank, other_test, unknown_chrom };

// A value that stands for "missing": NA, ".", #NA, nan (any case).
bool is_missing_word(std::string_view s);

// Parses the data line [begin, end) of the block text `base` into `rec`
// (offsets relative to `base`). Alleles are upper-cased in place. Throws
// StopError naming file and line when the line is malformed (too few
// fields, a position that is not a whole number).
LineKind parse_line(char* base, std::size_t begin, std::size_t end, const Layout& layout,
                    const ZRule& zrule, const std::string& file, std::uint64_t line, Rec& rec,
                    std::vector<std::string_view>& fields);

}  // namespace kolva::prep
