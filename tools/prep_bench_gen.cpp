// Writes one association file of a synthetic study to standard output:
// LINES variants over chromosomes 1-22, phenotype INDEX of a set whose
// z-scores share one factor (correlation 0.3 between any two). Every value
// depends only on the variant and the index, so the files of one set can
// be written one at a time or in parallel, and in any of the formats
// kolva-prep reads: FORMAT is plink (PLINK 2 .glm.linear, the default),
// regenie (step 2, LOG10P), saige (step 2, "chr" prefix) or ssf (GWAS-SSF).
// The effect allele is the same variant's ALT in every format, so a set
// written in mixed formats is the same study. For bench/prep_vs_zcat.sh
// and bench/pipeline.sh.
//   prep_bench_gen INDEX LINES [FORMAT] | gzip > pheno_INDEX.gz
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::uint64_t mix(std::uint64_t x) {  // splitmix64
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

double uniform(std::uint64_t key) {
  return (static_cast<double>(mix(key) >> 11) + 0.5) / 9007199254740992.0;
}

double normal(std::uint64_t key) {
  return std::sqrt(-2 * std::log(uniform(key))) *
         std::cos(6.283185307179586 * uniform(key ^ 0x5555));
}

enum class Format { plink, regenie, saige, ssf };

const char* const kHeaders[] = {
    "#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE",
    "CHROM GENPOS ID ALLELE0 ALLELE1 A1FREQ N TEST BETA SE CHISQ LOG10P EXTRA",
    "CHR\tPOS\tMarkerID\tAllele1\tAllele2\tAC_Allele2\tAF_"
    "Allele2\tMissingRate\tBETA\tSE\tTstat\tvar\t"
    "p.value\tp.value.NA\tIs.SPA.converge\tvarT\tvarTstar",
    "chromosome\tbase_pair_location\teffect_allele\tother_allele\tbeta\tstandard_error\t"
    "effect_allele_frequency\tp_value\tvariant_id\trsid",
};

}  // namespace

int main(int argc, char** argv) {
  static const char* const kNames[] = {"plink", "regenie", "saige", "ssf"};
  int f = argc == 3 ? 0 : -1;
  for (int i = 0; argc == 4 && i < 4; ++i)
    if (std::strcmp(argv[3], kNames[i]) == 0) f = i;
  if (f < 0) {
    std::fprintf(stderr, "usage: prep_bench_gen INDEX LINES [plink|regenie|saige|ssf]\n");
    return 64;
  }
  const Format format = static_cast<Format>(f);
  const std::uint64_t index = std::strtoull(argv[1], nullptr, 10);
  const std::uint64_t lines = std::strtoull(argv[2], nullptr, 10);
  const std::uint64_t per_chrom = lines / 22 + 1;
  static const char kBases[] = "ACGT";
  std::printf("%s\n", kHeaders[f]);
  for (std::uint64_t v = 0; v < lines; ++v) {
    const auto chrom = static_cast<unsigned long long>(1 + v / per_chrom);
    const auto pos = static_cast<unsigned long long>(10000 + (v % per_chrom) * 1000 + mix(v) % 997);
    const auto id = static_cast<unsigned long long>(v + 1);
    const std::uint64_t r = mix(v * 7 + 1);
    const char ref = kBases[r & 3], alt = kBases[(r + 1 + (r >> 2) % 3) & 3];
    // z = sqrt(0.3) f + sqrt(0.7) e, plus a signal at one variant in 2,000
    double z =
        std::sqrt(0.3) * normal(v * 1000003) + std::sqrt(0.7) * normal(v * 1000003 + 17 + index);
    if (mix(v) % 2000 == 0) z += 6;
    const double se = 0.02 + 0.01 * uniform(v * 31);
    const double p = std::erfc(std::fabs(z) / std::sqrt(2.0));
    const auto n = static_cast<unsigned long long>(50000 - mix(v + index) % 100);
    const double freq = 0.05 + 0.9 * uniform(v * 13 + 5);
    switch (format) {
      case Format::plink:
        std::printf("%llu\t%llu\trs%llu\t%c\t%c\t%c\tADD\t%llu\t%g\t%g\t%g\t%g\t.\n", chrom, pos,
                    id, ref, alt, alt, n, z * se, se, z, p);
        break;
      case Format::regenie:
        std::printf("%llu %llu rs%llu %c %c %.6g %llu ADD %g %g %g %g NA\n", chrom, pos, id, ref,
                    alt, freq, n, z * se, se, z * z, -std::log10(p));
        break;
      case Format::saige:
        std::printf(
            "chr%llu\t%llu\trs%llu\t%c\t%c\t%.0f\t%.6g\t0\t%g\t%g\t%g\tNA\t%g\t%g\t1\tNA\tNA\n",
            chrom, pos, id, ref, alt, 2 * freq * static_cast<double>(n), freq, z * se, se, z, p, p);
        break;
      case Format::ssf:
        std::printf("%llu\t%llu\t%c\t%c\t%g\t%g\t%.6g\t%g\t%llu_%llu_%c_%c\trs%llu\n", chrom, pos,
                    alt, ref, z * se, se, freq, p, chrom, pos, ref, alt, id);
        break;
    }
  }
  return 0;
}
