// Chromosome fields read as codes 1 ... 26, in the order
// 1 ... 22, X, Y, XY, MT (common/formats.h), and written back as names.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/formats.h"

namespace kolva {

// The code 1 ... 26 of a chromosome field, 0 when it names none of them.
// A leading "chr" (any case) is dropped; X, Y, XY, MT and M in any case.
// Numbers 23 ... 26 are X, Y, XY, MT; in GWAS-SSF numbering (ssf) 25 is MT
// and 26 is no chromosome.
std::uint8_t chrom_code(std::string_view field, bool ssf);

// The name written for a code: "1" ... "22", "X", "Y", "XY", "MT" (empty
// for a code that names no chromosome).
inline std::string_view chrom_name(std::uint8_t code) {
  return code <= kChromCodes ? kChromNames[code] : std::string_view();
}

}  // namespace kolva
