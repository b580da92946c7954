// Fuzz target: kolva-prep's header detection and line parser, through the
// reader of a whole input file.
//
// Input: byte 0 picks the --columns roles (or none) and whether z-scores
// are wanted; the rest is the file (any bytes: plain, or damaged gzip,
// bgzip, zstd). Every block must hold records in strictly increasing
// (position, allele pair) order, with offsets inside the block's text,
// upper-case alleles, a packed allele key that agrees with the byte order,
// and present p-values that read as numbers in [0, 1]. At the end the
// lines must add up: header + used + every kind of skipped line.
#include <charconv>
#include <cmath>

#include "fuzz_support.h"
#include "prep/error.h"
#include "prep/estimate.h"
#include "prep/reader.h"

namespace {

using namespace kolva::prep;

int order(const Block& b, const Rec& x, const Rec& y) {
  if (x.key != y.key) return x.key < y.key ? -1 : 1;
  if (int c = b.a1(x).compare(b.a1(y))) return c;
  return b.a2(x).compare(b.a2(y));
}

void check_block(const Block& b, const Rec*& prev, const Block*& prev_block) {
  for (const Rec& r : b.recs) {
    for (auto [off, n] : {std::pair{r.a1, r.a1n}, {r.a2, r.a2n}, {r.id, r.idn}, {r.p, r.pn}})
      KOLVA_CHECK(std::size_t{off} + n <= b.text.size());
    KOLVA_CHECK(r.a1n > 0 && r.a2n > 0);
    KOLVA_CHECK(b.a1(r) <= b.a2(r));
    for (char c : b.a1(r)) KOLVA_CHECK(!(c >= 'a' && c <= 'z'));
    if (r.miss == Missing::none) {
      const std::string_view p = b.p(r);
      double v = -1;
      auto [end, ec] = std::from_chars(p.data(), p.data() + p.size(), v);
      if (ec == std::errc::result_out_of_range) v = 0;
      KOLVA_CHECK(end == p.data() + p.size() && v >= 0 && v <= 1);
    }
    KOLVA_CHECK(std::isnan(r.z) || std::abs(r.z) < 2.0000001);
    if (prev) {
      // Within a block by text; across blocks by key: the lines of one
      // position never straddle two blocks.
      if (prev_block == &b) {
        KOLVA_CHECK(order(b, *prev, r) < 0);
        if (prev->alleles && r.alleles && prev->key == r.key)
          KOLVA_CHECK(prev->alleles < r.alleles);
      } else {
        KOLVA_CHECK(prev->key < r.key);
      }
    }
    prev = &r;
    prev_block = &b;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const ColumnRoles kRoles =
      parse_column_roles("chrom=C,pos=P,id=I,effect=E,other=O,p=Q,z=Z");
  const ColumnRoles none;
  const ColumnRoles& roles = (data[0] & 1) ? kRoles : none;
  ZRule z{(data[0] & 2) != 0, p_of_z(2)};
  kolva::fuzz::MemFile f(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  const std::string path = "/proc/self/fd/" + std::to_string(f.fd());
  try {
    Reader reader(path, roles, z);
    Block blocks[2];
    const Rec* prev = nullptr;
    const Block* prev_block = nullptr;
    for (int i = 0;; i ^= 1) {
      if (!reader.next(blocks[i])) break;
      KOLVA_CHECK(!blocks[i].recs.empty());
      check_block(blocks[i], prev, prev_block);  // prev is in the other block
    }
    const InputCounts& c = reader.counts();
    std::uint64_t skipped = 0;
    for (Event e : {Event::duplicate, Event::other_test, Event::unknown_chrom, Event::blank})
      skipped += c.events[static_cast<std::size_t>(e)];
    KOLVA_CHECK(c.lines == c.header + c.used + skipped);
  } catch (const StopError&) {
    // A malformed input stops the run: fine, as long as nothing crashed.
  }
  return 0;
}
