// Reuse of exact evaluations. Within one run the matrices a variant hands
// to the solver depend only on the ordered list of its present phenotypes
// (the order sortp leaves them in): block j is the converted correlation
// of the first j of them, and the converted correlations are fixed. So a
// variant whose ordered list was met before gets, bit for bit, the same M,
// M(j) and solver fault codes as that earlier variant. This table keeps
// them for recent lists of up to kReuseMax phenotypes.
//
// A table belongs to one set of converted correlations and one sweep
// limit (a Statistic's) and serves every thread that evaluates against
// them: each entry is guarded by a sequence count (odd while it is
// written), so a reader takes an entry whole or not at all, and a writer
// that finds an entry being written leaves it. The table is a cache: a
// lost entry is only solved again.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "common/run_limits.h"

namespace kolva {

// Longest ordered list kept; longer ones are rarely met twice.
inline constexpr int kReuseMax = 8;
// Entries of the table (direct-mapped).
inline constexpr int kReuseBits = 12;

// One evaluation as the table gives it back.
struct ReuseEntry {
  std::uint64_t key;                 // the ordered list
  double m;                          // M
  double mj[kReuseMax];              // M(1 .. n)
  std::int32_t code[kReuseMax + 1];  // code[j]: lrvt code of block j = 2 .. n
};

class ReuseTable {
 public:
  ReuseTable() = default;
  ReuseTable(const ReuseTable&) = delete;
  ReuseTable& operator=(const ReuseTable&) = delete;

  // The key of the ordered list order[0 .. n-1] (0-based phenotypes);
  // 0 when the list is not kept (n < 2 or n > kReuseMax).
  static std::uint64_t key(const int* order, int n);

  // key's evaluation into e; false when the table does not hold it.
  bool find(std::uint64_t key, ReuseEntry& e) const;
  // Keeps e (its key included), unless another thread is writing there.
  void store(const ReuseEntry& e);

 private:
  struct alignas(64) Slot {
    std::atomic<std::uint32_t> seq{0};  // odd while written
    std::atomic<std::uint64_t> key{0};  // 0: empty
    std::atomic<double> m{0.0};
    std::atomic<double> mj[kReuseMax] = {};
    std::atomic<std::uint64_t> codes{0};  // byte j - 2: code of block j
  };
  static_assert(kReuseMax - 1 <= 8, "the codes of blocks 2 .. kReuseMax fill one 64-bit word");

  static std::size_t index(std::uint64_t key);

  std::mutex make_mu_;
  std::atomic<Slot*> slots_{nullptr};  // made on first store
  std::unique_ptr<Slot[]> storage_;
};

}  // namespace kolva
