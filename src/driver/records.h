// Result records and the solver fault records of a variant.
#pragma once

#include <cstdint>
#include <string>

#include "combine/combine.h"
#include "driver/variant.h"

namespace kolva {

// Result record length without its line end: with and without a combined
// p-value.
inline constexpr int kResultLong = 65;
inline constexpr int kResultShort = 50;

// Formats the result record, CR LF included, into rec (room for 67 bytes);
// returns its length. n is the count of present p-values; for n <= 1 the
// last field is -9 in the short form.
int format_result(char* rec, const Variant& v, int n, double combined);

// Appends the run-log record of solver fault f of variant k to out.
void append_fault(std::string& out, std::int32_t k, const SolverFault& f);

}  // namespace kolva
