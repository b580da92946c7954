// The streaming merge of all inputs into the union of their variants,
// written to pvals.txt and variants.tsv.gz as it goes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "prep/estimate.h"
#include "prep/reader.h"
#include "prep/reader_pool.h"

namespace kolva::prep {

// What the merge saw of one input.
struct InputTotals {
  std::uint64_t present = 0;                    // variants with a p-value
  std::uint64_t shared = 0;                     // variants some other input has too
  std::uint64_t first_line = 0, last_line = 0;  // of its variants with a p-value
  bool all_p_one = true;                        // every present p-value is 1 (true while none)
};

struct MergeTotals {
  std::uint64_t variants = 0;
  std::vector<InputTotals> inputs;
};

// Writes .pvals.txt.part and .variants.tsv.gz.part in `dir`; the caller
// renames them. `sums` (may be null) receives the z-scores below `null_z` in size.
// `progress` is called now and then with the number of variants written.
MergeTotals merge_inputs(ReaderPool& pool, const std::vector<std::unique_ptr<Reader>>& readers,
                         const std::filesystem::path& dir, PairSums* sums, double null_z,
                         const std::function<void(std::uint64_t)>& progress);

}  // namespace kolva::prep
