// Characters of text, integer, fixed-point and exponent fields, and of
// free-form records.
#include "textio/fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace kolva {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();

// Runs a field writer into a guarded buffer and checks it wrote exactly w
// characters and nothing beyond them.
template <class Put>
std::string field(int w, Put put) {
  std::string buf(static_cast<std::size_t>(w) + 8, '#');
  put(buf.data());
  for (std::size_t i = static_cast<std::size_t>(w); i < buf.size(); ++i)
    EXPECT_EQ(buf[i], '#') << "wrote past width " << w;
  buf.resize(static_cast<std::size_t>(w));
  return buf;
}
std::string fixed(int w, int d, double x) {
  return field(w, [&](char* p) { put_fixed(p, w, d, x); });
}
std::string expo(int w, int d, double x) {
  return field(w, [&](char* p) { put_exp(p, w, d, x); });
}

TEST(TextField, AlignsRightOrCutsLeft) {
  // clang-format off
  struct Case { int w; const char* text; const char* want; };
  // clang-format on
  const Case cases[] = {
      {5, "chr1", " chr1"},
      {4, "chr1", "chr1"},
      {15, "a_file_name_of_25_chars__", "a_file_name_of_"},
      {3, "", "   "},
      {3, " x ", " x "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(field(c.w, [&](char* p) { put_text(p, c.w, c.text); }), c.want)
        << c.w << " '" << c.text << "'";
}

TEST(IntegerField, DigitsSignAndOverflow) {
  // clang-format off
  struct Case { int w; std::int32_t v; const char* want; };
  const Case cases[] = {
      {3, 7, "  7"},       {3, -5, " -5"},        {3, 999, "999"},
      {3, 1000, "***"},    {3, -100, "***"},      {3, 0, "  0"},
      {7, 10000000, "*******"}, {7, -999999, "-999999"},
      {11, INT32_MIN, "-2147483648"}, {11, INT32_MAX, " 2147483647"},
      {1, -1, "*"},        {1, 9, "9"},
      // clang-format on
  };
  for (const Case& c : cases)
    EXPECT_EQ(field(c.w, [&](char* p) { put_int(p, c.w, c.v); }), c.want) << c.v;
}

// clang-format off
struct RealCase { int w; int d; double x; const char* want; };
// clang-format on

TEST(FixedField, FormsRoundingAndOverflow) {
  const RealCase cases[] = {
      // width 8, 4 decimals
      // clang-format off
      {8, 4, 2.5, "  2.5000"},     {8, 4, 0.5, "  0.5000"},
      {8, 4, 0.0, "  0.0000"},     {8, 4, -0.0, " -0.0000"},
      {8, 4, 123.45678, "123.4568"}, {8, 4, -12.3456, "-12.3456"},
      {8, 4, 9.99999, " 10.0000"},  {8, 4, 1000.0, "********"},
      {8, 4, -100.0, "********"},   {8, 4, 999.99995, "********"},
      {8, 4, 999.99994, "999.9999"}, {8, 4, -0.00001, " -0.0000"},
      {8, 4, kMax, "********"},    {5, 2, 100.0, "*****"},
      {8, 4, kTiny, "  0.0000"},   {8, 4, -kTiny, " -0.0000"},
      // clang-format on
      // ties go to even on the exact binary value
      {8, 4, 0.03125, "  0.0312"},
      {8, 4, 0.09375, "  0.0938"},
      {5, 2, 0.015, " 0.01"},
      {5, 2, 0.025, " 0.03"},
      // width 5, 2 decimals
      {5, 2, -9.0, "-9.00"},
      {5, 2, 0.5, " 0.50"},
      {5, 2, 10.0, "10.00"},
      {5, 2, -10.0, "*****"},
      // the leading "0" only where a place is spare
      {4, 3, 0.5, ".500"},
      {5, 3, -0.5, "-.500"},
      {6, 3, -0.5, "-0.500"},
      {3, 3, 0.5, "***"},
      // no decimals: the point stays
      // clang-format off
      {4, 0, 2.5, "  2."},         {4, 0, 3.5, "  4."},         {1, 0, 0.4, "."},
      {2, 0, -0.4, "-."},          {3, 0, 999.0, "***"},
      // clang-format on
      // wider fields and more digits
      {23, 20, 0.1, " 0.10000000000000000555"},
      {30, 1, 1e22, "     10000000000000000000000.0"},
  };
  for (const RealCase& c : cases)
    EXPECT_EQ(fixed(c.w, c.d, c.x), c.want) << "F" << c.w << "." << c.d << " " << c.x;
}

TEST(ExponentField, FormsCarriesAndThreeDigitExponents) {
  const RealCase cases[] = {
      {20, 15, 0.0123, ".123000000000000E-01"},
      {20, 15, 0.05, ".500000000000000E-01"},
      {20, 15, 1.0, ".100000000000000E+01"},
      {20, 15, 2.0 / 3.0, ".666666666666667E+00"},
      {20, 15, 0.0, ".000000000000000E+00"},
      {20, 15, 5e-100, ".500000000000000E-99"},
      {20, 15, 5e-101, ".500000000000000-100"},
      {20, 15, 1e-101, ".100000000000000-100"},
      {20, 15, kMax, ".179769313486232+309"},
      {20, 15, kTiny, ".494065645841247-323"},
      {20, 15, std::numeric_limits<double>::min(), ".222507385850720-307"},
      {20, 15, 0.9999999999999999, ".100000000000000E+01"},
      {20, 15, 9.9999999999999995, ".100000000000000E+02"},
      {20, 15, -0.5, "********************"},
      {20, 15, -0.0, "********************"},
      {20, 15, -kTiny, "********************"},
      // spare places: blanks, one of them a "0"
      {22, 15, 0.5, " 0.500000000000000E+00"},
      {21, 15, -0.5, "-.500000000000000E+00"},
      {22, 15, -0.5, "-0.500000000000000E+00"},
      {24, 15, -5e-101, "  -0.500000000000000-100"},
      // ties to even in the last significant digit
      {9, 3, 0.03125, "0.312E-01"},
      {9, 3, 0.09375, "0.938E-01"},
      {8, 2, 0.125, "0.12E+00"},
      {8, 2, 0.375, "0.38E+00"},
      {8, 1, 0.35, " 0.3E+00"},  // 0.35 is stored below the tie
      {8, 1, 0.95, " 0.9E+00"},  // 0.95 is stored below the tie
      {8, 1, 0.96, " 0.1E+01"},
      {8, 1, 9.5, " 0.1E+02"},
      // too narrow
      {6, 1, 1.0, ".1E+01"},
      {5, 1, 1.0, "*****"},
      {19, 15, 1.0, "*******************"},
  };
  for (const RealCase& c : cases)
    EXPECT_EQ(expo(c.w, c.d, c.x), c.want) << "E" << c.w << "." << c.d << " " << c.x;
}

TEST(RealFields, InfinityAndNaNByWidth) {
  // clang-format off
  struct Case { int w; const char* nan; const char* pinf; const char* ninf; };
  // clang-format on
  const Case cases[] = {
      {1, "*", "*", "*"},
      {2, "**", "**", "**"},
      {3, "NaN", "Inf", "***"},
      {4, " NaN", " Inf", "-Inf"},
      {5, "  NaN", "  Inf", " -Inf"},
      {7, "    NaN", "    Inf", "   -Inf"},
      {8, "     NaN", "Infinity", "    -Inf"},
      {9, "      NaN", " Infinity", "-Infinity"},
      {20, "                 NaN", "            Infinity", "           -Infinity"},
  };
  for (const Case& c : cases) {
    for (int d : {0, 1, 4, 15}) {
      EXPECT_EQ(fixed(c.w, d, kNaN), c.nan) << c.w;
      EXPECT_EQ(fixed(c.w, d, -kNaN), c.nan) << c.w;
      EXPECT_EQ(fixed(c.w, d, kInf), c.pinf) << c.w;
      EXPECT_EQ(fixed(c.w, d, -kInf), c.ninf) << c.w;
      EXPECT_EQ(expo(c.w, d, kNaN), c.nan) << c.w;
      EXPECT_EQ(expo(c.w, d, -kNaN), c.nan) << c.w;
      EXPECT_EQ(expo(c.w, d, kInf), c.pinf) << c.w;
      EXPECT_EQ(expo(c.w, d, -kInf), c.ninf) << c.w;
    }
  }
}

TEST(RealFields, OutOfRangeArgumentsStayInsideTheField) {
  EXPECT_EQ(fixed(6, -1, 1.0), "******");
  EXPECT_EQ(fixed(6, kMaxFieldDigits + 1, 1.0), "******");
  EXPECT_EQ(expo(6, 0, 1.0), "******");
  EXPECT_EQ(expo(6, kMaxFieldDigits + 1, 1.0), "******");
  // The widest accepted digit count on the widest double still formats.
  const int w = 309 + 1 + kMaxFieldDigits;
  const std::string big = fixed(w, kMaxFieldDigits, kMax);
  EXPECT_EQ(big.substr(0, 6), "179769");
  EXPECT_EQ(big.substr(309), "." + std::string(kMaxFieldDigits, '0'));
  EXPECT_EQ(expo(66, kMaxFieldDigits, kTiny).substr(0, 12), "0.4940656458");
  // Width below one writes nothing at all.
  std::string guard = "##";
  put_fixed(guard.data(), 0, 4, 1.0);
  put_exp(guard.data(), -3, 4, 1.0);
  put_int(guard.data(), 0, 1);
  put_text(guard.data(), 0, "x");
  EXPECT_EQ(guard, "##");
}

TEST(FreeForm, RecordLayout) {
  // clang-format off
  struct Case { std::vector<FreeItem> items; std::string want; };
  // clang-format on
  const std::vector<Case> cases = {
      {{" starting "}, "  starting "},
      {{" SNP ", 10000, 250000}, "  SNP        10000      250000"},
      {{" errors EVD pheno call 1", 3, 0}, "  errors EVD pheno call 1           3           0"},
      {{"error reading p values of GV ", 17}, " error reading p values of GV           17"},
      {{"a", "b"}, " ab"},
      {{5, "x"}, "           5 x"},
      {{"x", INT32_MIN}, " x -2147483648"},
      {{1, 2}, "           1           2"},
      {{"a", 1, "b", "c"}, " a           1 bc"},
      {{}, " "},
  };
  for (const Case& c : cases) {
    std::string out = "prior";
    append_freeform(out, c.items);
    EXPECT_EQ(out, "prior" + c.want + "\r\n");
  }
  std::string out;
  append_freeform(out, std::vector<FreeItem>{" errors EVD pheno call 1", 3, 0});
  EXPECT_EQ(out.size(), 1 + 24 + 24 + 2u);
}

}  // namespace
}  // namespace kolva
