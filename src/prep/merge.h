// The streaming merge of all inputs into the union of their variants,
// written to pvals.txt and variants.tsv.gz as it goes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "prep/estimate.h"
#include "prep/pipeline.h"
#include "prep/reader.h"

namespace kolva::prep {

struct MergeTotals {
  std::uint64_t variants = 0;
  std::vector<std::uint64_t> present;  // per input: variants with a p-value
};

// `sums` (may be null) receives the z-scores below `null_z` in size.
// `progress` is called now and then with the number of variants written.
MergeTotals merge_inputs(Pipeline& pipe, const std::vector<std::unique_ptr<Reader>>& readers,
                         const std::filesystem::path& dir, PairSums* sums, double null_z,
                         const std::function<void(std::uint64_t)>& progress);

}  // namespace kolva::prep
