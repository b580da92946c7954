// Writes one PLINK 2 .glm.linear file of a synthetic study to standard
// output: LINES variants over chromosomes 1-22, phenotype INDEX of a set
// whose z-scores share one factor (correlation 0.3 between any two). Every
// value depends only on the variant and the index, so the files of one
// set can be written one at a time or in parallel. For bench/prep_vs_zcat.sh.
//   prep_bench_gen INDEX LINES | gzip > pheno_INDEX.glm.linear.gz
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::uint64_t mix(std::uint64_t x) {  // splitmix64
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

double uniform(std::uint64_t key) { return (static_cast<double>(mix(key) >> 11) + 0.5) / 9007199254740992.0; }

double normal(std::uint64_t key) {
  return std::sqrt(-2 * std::log(uniform(key))) * std::cos(6.283185307179586 * uniform(key ^ 0x5555));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: prep_bench_gen INDEX LINES\n");
    return 64;
  }
  const std::uint64_t index = std::strtoull(argv[1], nullptr, 10);
  const std::uint64_t lines = std::strtoull(argv[2], nullptr, 10);
  const std::uint64_t per_chrom = lines / 22 + 1;
  static const char kBases[] = "ACGT";
  std::printf("#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE\n");
  for (std::uint64_t v = 0; v < lines; ++v) {
    const std::uint64_t chrom = 1 + v / per_chrom, pos = 10000 + (v % per_chrom) * 1000 + mix(v) % 997;
    const std::uint64_t r = mix(v * 7 + 1);
    const char ref = kBases[r & 3], alt = kBases[(r + 1 + (r >> 2) % 3) & 3];
    // z = sqrt(0.3) f + sqrt(0.7) e, plus a signal at one variant in 2,000
    double z = std::sqrt(0.3) * normal(v * 1000003) + std::sqrt(0.7) * normal(v * 1000003 + 17 + index);
    if (mix(v) % 2000 == 0) z += 6;
    const double se = 0.02 + 0.01 * uniform(v * 31);
    const double p = std::erfc(std::fabs(z) / std::sqrt(2.0));
    std::printf("%llu\t%llu\trs%llu\t%c\t%c\t%c\tADD\t%llu\t%g\t%g\t%g\t%g\t.\n",
                static_cast<unsigned long long>(chrom), static_cast<unsigned long long>(pos),
                static_cast<unsigned long long>(v + 1), ref, alt, alt,
                static_cast<unsigned long long>(50000 - mix(v + index) % 100), z * se, se, z, p);
  }
  return 0;
}
