// The fixed parts of the files the programs share, named once for the
// engine and kolva-prep: how much of a chromosome field and of a variant id
// a result keeps, the columns of the result record, and the chromosomes'
// codes and order. docs/formats.md describes every file; kolva-report
// names the same values in kolva_report. Header only.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kolva {

// A variant line's chromosome field: its first kChromChars characters are
// kept (chr10 is kept as chr1), a shorter one is padded with blanks.
inline constexpr int kChromChars = 4;

// A variant id: kIdChars characters are kept, a shorter one padded with
// blanks; a longer one is cut to its first kIdCutKeep characters followed
// by kIdCutMark.
inline constexpr int kIdChars = 33;
inline constexpr std::string_view kIdCutMark = "...";
inline constexpr int kIdCutKeep = kIdChars - static_cast<int>(kIdCutMark.size());

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
static_assert(kResultId.at == 7 && kResultCount.at == 41 && kResultP.at == 45);
static_assert(kResultLong == 65 && kResultShort == 50);

// Chromosomes in their sort order, 1 ... 22, X, Y, XY, MT, with the codes
// 1 ... 26 (numbers 23 ... 26 name X, Y, XY, MT; in GWAS-SSF numbering 25
// is MT). Code 0 is no chromosome.
inline constexpr std::uint8_t kChromX = 23, kChromY = 24, kChromXY = 25, kChromMT = 26;
inline constexpr int kChromCodes = kChromMT;  // the largest code
inline constexpr std::array<std::string_view, kChromCodes + 1> kChromNames = {
    "",   "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9", "10", "11", "12", "13",
    "14", "15", "16", "17", "18", "19", "20", "21", "22", "X", "Y",  "XY", "MT"};
// The order as it is shown to the user.
inline constexpr std::string_view kChromOrderText = "1-22, X, Y, XY, MT";

}  // namespace kolva
