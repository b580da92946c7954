// The fixed parts of the files the programs share, named once for the
// engine and kolva-prep: how much of a chromosome field and of a variant id
// a result keeps, the columns of the result record, and the chromosomes'
// codes and order. docs/formats.md describes every file. The numbers
// every language sees are declared once, in the library's public header
// (kolva-report and the bindings ask the library for them); the names
// here are the C++ code's. Header only.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "kolva/kolva.h"

namespace kolva {

// A variant line's chromosome field: its first kChromChars characters are
// kept (chr10 is kept as chr1), a shorter one is padded with blanks.
inline constexpr int kChromChars = KOLVA_CHROM_CHARS;

// A variant id: kIdChars characters are kept, a shorter one padded with
// blanks; a longer one is cut to its first kIdCutKeep characters followed
// by kIdCutMark.
inline constexpr int kIdChars = KOLVA_ID_CHARS;
inline constexpr std::string_view kIdCutMark = KOLVA_ID_CUT_MARK;
inline constexpr int kIdCutKeep = KOLVA_ID_CUT_KEEP;
static_assert(kIdCutKeep == kIdChars - static_cast<int>(kIdCutMark.size()));

// The result record, one per variant: four fields, each after one blank,
// then CR LF. `at` is the field's first column counted from 0.
struct ResultField {
  int at, width;
};
// The chromosome field right-aligned (so one blank before its 4 characters).
inline constexpr ResultField kResultChrom{1, kChromChars + 1};
inline constexpr ResultField kResultId{kResultChrom.at + kResultChrom.width + 1, kIdChars};
// The number of present p-values, an integer right-aligned.
inline constexpr ResultField kResultCount{kResultId.at + kResultId.width + 1, 3};
// The combined p-value in the exponent form with kResultDigits digits
// after the point (.728815521369720E+00)...
inline constexpr ResultField kResultP{kResultCount.at + kResultCount.width + 1, 20};
inline constexpr int kResultDigits = 15;
// ... or, for fewer than two present p-values, -9 in the fixed form with
// kResultNoPDigits digits after the point (-9.00).
inline constexpr ResultField kResultNoP{kResultP.at, 5};
inline constexpr int kResultNoPDigits = 2;
// Record lengths without the line end: with and without a combined p-value.
inline constexpr int kResultLong = kResultP.at + kResultP.width;
inline constexpr int kResultShort = kResultNoP.at + kResultNoP.width;
// The public header's statement of the same layout.
static_assert(kResultChrom.at == KOLVA_RECORD_CHROM_AT &&
              kResultChrom.width == KOLVA_RECORD_CHROM_WIDTH &&
              kResultId.at == KOLVA_RECORD_ID_AT && kResultCount.at == KOLVA_RECORD_COUNT_AT &&
              kResultCount.width == KOLVA_RECORD_COUNT_WIDTH && kResultP.at == KOLVA_RECORD_P_AT &&
              kResultP.width == KOLVA_RECORD_P_WIDTH && kResultDigits == KOLVA_RECORD_P_DIGITS);
static_assert(kResultLong == KOLVA_RECORD_LONG && kResultShort == KOLVA_RECORD_SHORT);
inline constexpr std::string_view kResultUntested = KOLVA_RECORD_UNTESTED_TEXT;
static_assert(kResultUntested.size() == kResultNoP.width);

// Chromosomes in their sort order, 1 ... 22, X, Y, XY, MT, with the codes
// 1 ... 26 (numbers 23 ... 26 name X, Y, XY, MT; in GWAS-SSF numbering 25
// is MT). Code 0 is no chromosome.
inline constexpr std::uint8_t kChromX = 23, kChromY = 24, kChromXY = 25, kChromMT = 26;
inline constexpr int kChromCodes = KOLVA_CHROM_CODES;  // the largest code
static_assert(kChromCodes == kChromMT);
inline constexpr std::array<std::string_view, kChromCodes + 1> kChromNames = {
    "",   "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9", "10", "11", "12", "13",
    "14", "15", "16", "17", "18", "19", "20", "21", "22", "X", "Y",  "XY", "MT"};
// The order as it is shown to the user.
inline constexpr std::string_view kChromOrderText = "1-22, X, Y, XY, MT";

}  // namespace kolva
