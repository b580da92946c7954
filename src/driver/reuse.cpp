#include "driver/reuse.h"

#include <cstring>

namespace kolva {

namespace {

constexpr int kPhenotypeBits = 6;  // a phenotype number below 64
constexpr int kCountBits = 4;      // n up to 15
static_assert(maxnvara <= (1 << kPhenotypeBits));
static_assert(kReuseMax < (1 << kCountBits));
static_assert(kCountBits + kReuseMax * kPhenotypeBits <= 64, "a key is one 64-bit word");

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

void ReuseTable::bind(const double* f, int nvara, std::int32_t maxsweeps) {
  bool same = nvara == nvara_ && maxsweeps == sweeps_;
  for (int j = 0; same && j < nvara; ++j)
    same = std::memcmp(f + j * kLd, f_ + j * kLd, sizeof(double) * static_cast<std::size_t>(nvara)) == 0;
  if (same) return;
  for (int j = 0; j < nvara; ++j)
    std::memcpy(f_ + j * kLd, f + j * kLd, sizeof(double) * static_cast<std::size_t>(nvara));
  nvara_ = nvara;
  sweeps_ = maxsweeps;
  if (entries_)
    for (std::size_t i = 0; i < (std::size_t{1} << kReuseBits); ++i) entries_[i].key = 0;
}

const ReuseEntry* ReuseTable::find(std::uint64_t key) const {
  if (!entries_) return nullptr;
  const ReuseEntry& e = entries_[index(key)];
  return e.key == key ? &e : nullptr;
}

ReuseEntry& ReuseTable::slot(std::uint64_t key) {
  if (!entries_) {
    entries_ = std::make_unique<ReuseEntry[]>(std::size_t{1} << kReuseBits);  // keys 0: empty
  }
  return entries_[index(key)];
}

}  // namespace kolva
