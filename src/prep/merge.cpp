#include "prep/merge.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/chrom.h"
#include "prep/writer.h"

namespace kolva::prep {
namespace {

constexpr std::size_t kMaxIdInPvals = 4096;      // kolva keeps kIdChars anyway
constexpr std::uint64_t kProgressMask = 0xffff;  // progress is looked at every 65,536 variants

struct Head {
  Block block;
  std::size_t at = 0;
  bool live = false;
  const Rec* cur = nullptr;  // block.recs[at]
  const char* text = nullptr;

  const Rec& rec() const { return *cur; }
  std::string_view a1() const { return {text + cur->a1, cur->a1n}; }
  std::string_view a2() const { return {text + cur->a2, cur->a2n}; }
  void point() {
    if (live) cur = &block.recs[at], text = block.text.data();
  }
};

// Byte order of two short strings (alleles are mostly one letter: a loop
// beats a call to memcmp).
int compare_bytes(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i)
    if (a[i] != b[i])
      return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The allele pairs of two heads at the same position: < 0, 0, > 0
int compare_alleles(const Head& a, const Head& b) {
  const std::uint64_t x = a.cur->alleles, y = b.cur->alleles;
  if (x && y) return x < y ? -1 : x > y ? 1 : 0;
  if (int c = compare_bytes(a.a1(), b.a1())) return c;
  return compare_bytes(a.a2(), b.a2());
}

void put_number(std::string& s, std::uint64_t v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  s.append(buf, r.ptr);
}

bool p_is_one(std::string_view p) {
  double v = 0;
  auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), v);
  return ec == std::errc() && end == p.data() + p.size() && v == 1;
}

// The merge's state: each input's current record, and what the variant
// being written has of each.
class Merge {
 public:
  Merge(ReaderPool& pool, std::size_t k, const std::filesystem::path& dir, double null_z)
      : pool_(pool),
        k_(k),
        null_z_(null_z),
        pvals_((dir / ".pvals.txt.part").string()),
        variants_((dir / ".variants.tsv.gz.part").string()),
        heads_(k),
        here_(k),
        z_(k),
        usable_(k) {
    variants_.put("chrom\tpos\tid\tallele1\tallele2\tn_present\n");
    totals_.inputs.assign(k, {});
    for (std::size_t s = 0; s < k; ++s) {
      heads_[s].live = pool_.pop(s, heads_[s].block);
      heads_[s].point();
    }
  }

  // Writes the next variant of the union; false when every input is done.
  bool step(PairSums* sums) {
    const std::size_t best = pick();
    if (best == k_) return false;
    const Present p = gather(best);
    write(heads_[best], p);
    if (sums && p.usable >= 2) sums->add(z_.data(), usable_.data());
    advance();
    ++totals_.variants;
    return true;
  }

  const MergeTotals& totals() const { return totals_; }

  void close() {
    pvals_.close();
    variants_.close();
  }

 private:
  // What the inputs have of one variant.
  struct Present {
    std::size_t first_id;  // the first input with an id, k when none has
    std::size_t present;   // inputs with a p-value
    std::size_t usable;    // inputs whose z-score the estimate takes
  };

  // The input with the smallest (chromosome, position), then the smallest
  // allele pair there (k when all are done); here_ marks the inputs at
  // that position.
  std::size_t pick() {
    // Locals: the stores into here_ (chars) could otherwise be any member.
    const std::size_t k = k_;
    const Head* const heads = heads_.data();
    char* const here = here_.data();
    std::uint64_t key = ~std::uint64_t{0};
    for (std::size_t s = 0; s < k; ++s)
      if (heads[s].live && heads[s].cur->key < key) key = heads[s].cur->key;
    std::size_t best = k;
    for (std::size_t s = 0; s < k; ++s) {
      here[s] = heads[s].live && heads[s].cur->key == key;
      if (here[s] && (best == k || compare_alleles(heads[s], heads[best]) < 0)) best = s;
    }
    return best;
  }

  // Narrows here_ to the inputs with the variant of `best`, counts what
  // they have of it into the totals, and sets each one's z-score for the
  // estimate.
  Present gather(std::size_t best) {
    const std::size_t k = k_;
    const double null_z = null_z_;
    const Head* const heads = heads_.data();
    char* const here = here_.data();
    double* const z = z_.data();
    double* const usable = usable_.data();
    InputTotals* const totals = totals_.inputs.data();
    Present p{k, 0, 0};
    std::size_t n_here = 0;
    for (std::size_t s = 0; s < k; ++s) {
      here[s] = here[s] && (s == best || compare_alleles(heads[s], heads[best]) == 0);
      z[s] = usable[s] = 0;
      if (!here[s]) continue;
      ++n_here;
      const Rec& r = heads[s].rec();
      if (p.first_id == k && r.idn > 0) p.first_id = s;
      if (r.miss != Missing::none) continue;
      ++p.present;
      InputTotals& t = totals[s];
      if (t.present++ == 0) t.first_line = r.line;
      t.last_line = std::max(t.last_line, r.line);
      if (t.all_p_one) t.all_p_one = p_is_one(heads[s].block.p(r));
      if (std::abs(r.z) < null_z) z[s] = r.z, usable[s] = 1, ++p.usable;
    }
    if (n_here > 1)
      for (std::size_t s = 0; s < k; ++s) totals[s].shared += here[s];
    return p;
  }

  // The variant's line of pvals.txt and of variants.tsv.gz. The id is the
  // first input's, else chrom:pos:allele1:allele2.
  void write(const Head& h, const Present& p) {
    const Rec& m = h.rec();
    const std::string_view chrom = chrom_name(key_chrom(m.key));
    const std::uint64_t pos = key_pos(m.key);
    id_.clear();
    if (p.first_id < k_) {
      id_ = heads_[p.first_id].block.id(heads_[p.first_id].rec());
    } else {
      id_.append(chrom).push_back(':');
      put_number(id_, pos);
      id_.append(":").append(h.a1()).append(":").append(h.a2());
    }

    const std::size_t k = k_;
    const Head* const heads = heads_.data();
    const char* const here = here_.data();
    std::string& line = pvals_.buffer();
    line.append(chrom).push_back(' ');
    line.append(id_, 0, kMaxIdInPvals);
    for (std::size_t s = 0; s < k; ++s) {
      line.push_back(' ');
      if (here[s] && heads[s].rec().miss == Missing::none)
        line.append(heads[s].block.p(heads[s].rec()));
      else
        line.append("NA");
    }
    line.push_back('\n');
    pvals_.line_done();

    std::string& vline = variants_.buffer();
    vline.append(chrom).push_back('\t');
    put_number(vline, pos);
    vline.append("\t").append(id_).append("\t").append(h.a1()).append("\t");
    vline.append(h.a2()).append("\t");
    put_number(vline, p.present);
    vline.push_back('\n');
    variants_.line_done();
  }

  // The inputs that had the variant move on to their next record.
  void advance() {
    const std::size_t k = k_;
    for (std::size_t s = 0; s < k; ++s) {
      if (!here_[s]) continue;
      Head& hs = heads_[s];
      if (++hs.at == hs.block.recs.size()) {
        hs.at = 0;
        hs.live = pool_.pop(s, hs.block);
      }
      hs.point();
    }
  }

  ReaderPool& pool_;
  const std::size_t k_;
  const double null_z_;
  PlainWriter pvals_;
  GzipWriter variants_;
  std::vector<Head> heads_;
  std::vector<char> here_;
  std::vector<double> z_, usable_;
  std::string id_;
  MergeTotals totals_;
};

}  // namespace

MergeTotals merge_inputs(ReaderPool& pool, const std::vector<std::unique_ptr<Reader>>& readers,
                         const std::filesystem::path& dir, PairSums* sums, double null_z,
                         const std::function<void(std::uint64_t)>& progress) {
  Merge merge(pool, readers.size(), dir, null_z);
  while (merge.step(sums))
    if ((merge.totals().variants & kProgressMask) == 0) progress(merge.totals().variants);
  merge.close();
  return merge.totals();
}

}  // namespace kolva::prep
