#include "prep/merge.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "prep/chrom.h"
#include "prep/writer.h"

namespace kolva::prep {
namespace {

constexpr std::size_t kMaxIdInPvals = 4096;  // kolva keeps 33 characters anyway

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
    if (a[i] != b[i]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]) ? -1 : 1;
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

}  // namespace

MergeTotals merge_inputs(Pipeline& pipe, const std::vector<std::unique_ptr<Reader>>& readers,
                         const std::filesystem::path& dir, PairSums* sums, double null_z,
                         const std::function<void(std::uint64_t)>& progress) {
  const std::size_t k = readers.size();
  PlainWriter pvals((dir / ".pvals.txt.part").string());
  GzipWriter variants((dir / ".variants.tsv.gz.part").string());
  variants.put("chrom\tpos\tid\tallele1\tallele2\tn_present\n");

  std::vector<Head> heads(k);
  for (std::size_t s = 0; s < k; ++s) {
    heads[s].live = pipe.pop(s, heads[s].block);
    heads[s].point();
  }
  MergeTotals totals;
  totals.inputs.assign(k, {});
  std::vector<char> here(k);
  std::vector<double> z(k), usable(k);
  std::string id;

  for (;;) {
    // The smallest (chromosome, position), then the smallest allele pair there.
    std::uint64_t key = ~std::uint64_t{0};
    for (std::size_t s = 0; s < k; ++s)
      if (heads[s].live && heads[s].cur->key < key) key = heads[s].cur->key;
    std::size_t best = k;
    for (std::size_t s = 0; s < k; ++s) {
      here[s] = heads[s].live && heads[s].cur->key == key;
      if (here[s] && (best == k || compare_alleles(heads[s], heads[best]) < 0)) best = s;
    }
    if (best == k) break;

    std::size_t first_id = k, n_here = 0, n_present = 0, n_usable = 0;
    for (std::size_t s = 0; s < k; ++s) {
      here[s] = here[s] && (s == best || compare_alleles(heads[s], heads[best]) == 0);
      z[s] = usable[s] = 0;
      if (!here[s]) continue;
      ++n_here;
      const Rec& r = heads[s].rec();
      if (first_id == k && r.idn > 0) first_id = s;
      if (r.miss == Missing::none) {
        ++n_present;
        InputTotals& t = totals.inputs[s];
        if (t.present++ == 0) t.first_line = r.line;
        t.last_line = std::max(t.last_line, r.line);
        if (t.all_p_one) t.all_p_one = p_is_one(heads[s].block.p(r));
        if (std::abs(r.z) < null_z) z[s] = r.z, usable[s] = 1, ++n_usable;
      }
    }
    if (n_here > 1)
      for (std::size_t s = 0; s < k; ++s) totals.inputs[s].shared += here[s];

    const Head& h = heads[best];
    const Rec& m = h.rec();
    const std::string_view chrom = chrom_name(static_cast<std::uint8_t>(m.key >> 48));
    const std::uint64_t pos = m.key & ((std::uint64_t{1} << 48) - 1);
    id.clear();
    if (first_id < k) {
      id = heads[first_id].block.id(heads[first_id].rec());
    } else {
      id.append(chrom).push_back(':');
      put_number(id, pos);
      id.append(":").append(h.a1()).append(":").append(h.a2());
    }

    std::string& line = pvals.buffer();
    line.append(chrom).push_back(' ');
    line.append(id, 0, kMaxIdInPvals);
    for (std::size_t s = 0; s < k; ++s) {
      line.push_back(' ');
      if (here[s] && heads[s].rec().miss == Missing::none)
        line.append(heads[s].block.p(heads[s].rec()));
      else
        line.append("NA");
    }
    line.push_back('\n');
    pvals.line_done();

    std::string& vline = variants.buffer();
    vline.append(chrom).push_back('\t');
    put_number(vline, pos);
    vline.append("\t").append(id).append("\t").append(h.a1()).append("\t");
    vline.append(h.a2()).append("\t");
    put_number(vline, n_present);
    vline.push_back('\n');
    variants.line_done();

    if (sums && n_usable >= 2) sums->add(z.data(), usable.data());

    for (std::size_t s = 0; s < k; ++s) {
      if (!here[s]) continue;
      Head& hs = heads[s];
      if (++hs.at == hs.block.recs.size()) {
        hs.at = 0;
        hs.live = pipe.pop(s, hs.block);
      }
      hs.point();
    }
    if ((++totals.variants & 0xffff) == 0) progress(totals.variants);
  }
  pvals.close();
  variants.close();
  return totals;
}

}  // namespace kolva::prep
