// Reuse of exact evaluations. Within one run the matrices a variant hands
// to the solver depend only on the ordered list of its present phenotypes
// (the order sortp leaves them in): block j is the converted correlation
// of the first j of them, and the converted correlations are fixed. So a
// variant whose ordered list was met before gets, bit for bit, the same M,
// M(j) and solver fault codes as that earlier variant. This table keeps
// them for recent lists of up to kReuseMax phenotypes.
#pragma once

#include <cstdint>
#include <memory>

#include "common/run_limits.h"

namespace kolva {

// Longest ordered list kept; longer ones are rarely met twice.
inline constexpr int kReuseMax = 8;
// Entries of the table (direct-mapped).
inline constexpr int kReuseBits = 12;

struct ReuseEntry {
  std::uint64_t key;                // the ordered list; 0 for an empty entry
  double m;                         // M
  double mj[kReuseMax];             // M(1 .. n)
  std::int32_t code[kReuseMax + 1];  // code[j]: lrvt code of block j = 2 .. n
};

class ReuseTable {
 public:
  // The key of the ordered list order[0 .. n-1] (0-based phenotypes);
  // 0 when the list is not kept (n < 2 or n > kReuseMax).
  static std::uint64_t key(const int* order, int n);

  // Makes the table valid for the converted correlations f (leading
  // dimension kLd, nvara phenotypes, off-diagonal read) and the sweep
  // limit; forgets every entry when either differs from the last call.
  void bind(const double* f, int nvara, std::int32_t maxsweeps);

  // The entry of key, or null.
  const ReuseEntry* find(std::uint64_t key) const;
  // The entry to overwrite with key's evaluation.
  ReuseEntry& slot(std::uint64_t key);

 private:
  static std::size_t index(std::uint64_t key);
  std::unique_ptr<ReuseEntry[]> entries_;  // made on first use
  double f_[kLd * kLd];
  int nvara_ = -1;
  std::int32_t sweeps_ = -1;
};

}  // namespace kolva
