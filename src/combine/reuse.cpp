#include "combine/reuse.h"

namespace kolva {

namespace {

constexpr int kPhenotypeBits = 6;  // a phenotype number below 64
constexpr int kCountBits = 4;      // n up to 15
static_assert(maxnvara <= (1 << kPhenotypeBits));
static_assert(kReuseMax < (1 << kCountBits));
static_assert(kCountBits + kReuseMax * kPhenotypeBits <= 64, "a key is one 64-bit word");

constexpr std::size_t kSlots = std::size_t{1} << kReuseBits;
constexpr std::uint64_t kCountMask = (std::uint64_t{1} << kCountBits) - 1;
constexpr auto relaxed = std::memory_order_relaxed;
constexpr auto acquire = std::memory_order_acquire;
constexpr auto release = std::memory_order_release;

}  // namespace

std::uint64_t ReuseTable::key(const int* order, int n) {
  if (n < 2 || n > kReuseMax) return 0;
  std::uint64_t k = static_cast<std::uint64_t>(n);
  for (int a = 0; a < n; ++a)
    k |= static_cast<std::uint64_t>(order[a]) << (kCountBits + a * kPhenotypeBits);
  return k;
}

std::size_t ReuseTable::index(std::uint64_t key) {
  return static_cast<std::size_t>((key * 0x9e3779b97f4a7c15ull) >> (64 - kReuseBits));
}

// A sequence lock read: the count before and after the entry must be the
// same even number. The entry is read with acquiring loads, so that the
// count is read again after them; a writer's stores release, so that
// none of them is seen before its odd count.
bool ReuseTable::find(std::uint64_t key, ReuseEntry& e) const {
  const Slot* slots = slots_.load(std::memory_order_acquire);
  if (!slots) return false;
  const Slot& s = slots[index(key)];
  const std::uint32_t before = s.seq.load(std::memory_order_acquire);
  if ((before & 1) != 0 || s.key.load(acquire) != key) return false;
  e.key = key;
  e.m = s.m.load(acquire);
  for (int j = 0; j < kReuseMax; ++j) e.mj[j] = s.mj[j].load(acquire);
  const std::uint64_t codes = s.codes.load(acquire);
  if (s.seq.load(relaxed) != before) return false;
  for (int j = 2; j <= kReuseMax; ++j)
    e.code[j] = static_cast<std::int32_t>((codes >> (8 * (j - 2))) & 0xff);
  return true;
}

void ReuseTable::store(const ReuseEntry& e) {
  Slot* slots = slots_.load(std::memory_order_acquire);
  if (!slots) {
    std::lock_guard lock(make_mu_);
    slots = slots_.load(relaxed);
    if (!slots) {
      storage_ = std::make_unique<Slot[]>(kSlots);
      slots = storage_.get();
      slots_.store(slots, std::memory_order_release);
    }
  }
  Slot& s = slots[index(e.key)];
  std::uint32_t seq = s.seq.load(relaxed);
  if ((seq & 1) != 0 ||
      !s.seq.compare_exchange_strong(seq, seq + 1, std::memory_order_acquire, relaxed))
    return;
  std::uint64_t codes = 0;
  const int n = static_cast<int>(e.key & kCountMask);
  for (int j = 2; j <= n; ++j)
    codes |= static_cast<std::uint64_t>(e.code[j] & 0xff) << (8 * (j - 2));
  s.key.store(e.key, release);
  s.m.store(e.m, release);
  for (int j = 0; j < n; ++j) s.mj[j].store(e.mj[j], release);
  s.codes.store(codes, release);
  s.seq.store(seq + 2, std::memory_order_release);
}

}  // namespace kolva
