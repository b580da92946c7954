// Result records and the solver fault records of a variant.
#pragma once

#include <cstdint>
#include <string>

#include "combine/combine.h"
#include "common/formats.h"
#include "driver/variant.h"

namespace kolva {

// Formats the result record, CR LF included, into rec (room for
// kResultLong + 2 bytes; the columns are kResult* in common/formats.h);
// returns its length. n is the count of present p-values; for n <= 1 the
// last field is -9 in the short form.
int format_result(char* rec, const Variant& v, int n, double combined);

// Appends the run-log record of solver fault f of variant k to out.
void append_fault(std::string& out, std::int32_t k, const SolverFault& f);

}  // namespace kolva
