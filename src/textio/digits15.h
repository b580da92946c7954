// The 15 significant digits of the result field, found fast: most values
// are decided by one 128-bit product, the rest are left to the exact
// conversion.
#pragma once

#include "common/formats.h"

namespace kolva {

// Significant digits of the result field.
inline constexpr int kDigits15 = kResultDigits;

// digits15: x (positive, finite, normal or subnormal) rounded to 15
// significant digits, to nearest with ties to even.
//   x       (in)  the value.
//   digits  (out) 15 characters '0' .. '9', the first not '0'.
//   e       (out) x ~ 0.d1 d2 ... d15 * 10^e.
// Returns false, with nothing written, when the fast estimate cannot tell
// on which side of a rounding boundary x lies (about one value in a few
// thousand) or the platform's long double is too short for the table of
// powers: the caller then uses the exact conversion.
bool digits15(double x, char* digits, int& e);

}  // namespace kolva
