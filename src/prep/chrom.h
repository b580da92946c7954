// Chromosome names and their order: 1 ... 22, X, Y, XY, MT.
#pragma once

#include <cstdint>
#include <string_view>

namespace kolva::prep {

inline constexpr std::uint8_t kChromX = 23, kChromY = 24, kChromXY = 25, kChromMT = 26;

// The code 1 ... 26 of a chromosome field, 0 when it names none of them.
// A leading "chr" (any case) is dropped; X, Y, XY, MT and M in any case.
// Numbers 23 ... 26 are X, Y, XY, MT; in GWAS-SSF numbering (ssf) 25 is MT
// and 26 is no chromosome.
std::uint8_t chrom_code(std::string_view field, bool ssf);

// The name written for a code: "1" ... "22", "X", "Y", "XY", "MT".
std::string_view chrom_name(std::uint8_t code);

}  // namespace kolva::prep
