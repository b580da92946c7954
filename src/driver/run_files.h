// The control file and the correlation file read from their bytes, with no
// channel and no message: the program's run and the library's reading of a
// run folder both call these, so every door reads the files alike and
// stops at the same places. Each caller words its own messages.
#pragma once

#include "driver/control.h"
#include "textio/freeform.h"
#include "textio/source.h"

namespace kolva {

// The control file's parts, in the order they are read (one line each,
// the counts possibly spread over several).
enum class ControlPart { counts, code, pval, corr, result, done };

// Where reading the control file stopped: at `part`, which could not be
// read (outcome error or eof), or at done (outcome success).
struct ControlRead {
  ControlPart part = ControlPart::done;
  Outcome outcome = Outcome::success;
};

// Reads the five lines of the control file into c: the counts nvara and
// nsnp (a count the line leaves without a value is an error), then the
// layout code and the three file names as blank-padded texts; c.lower from
// the code. The counts are not checked against the limits here.
ControlRead read_control_file(FileSource& in, Control& c);

// Values of the correlation file in a layout: n (n + 1) / 2 for the lower
// triangle, n * n for the whole matrix.
constexpr int corr_value_count(int n, bool lower) { return lower ? n * (n + 1) / 2 : n * n; }

// What reading the correlation file gave: success, error (a value that is
// not a number or cannot be read, or, with `unfilled`, a value the file
// leaves without one: a null value, or the terminator before it) or eof
// (the file ends before the values); `read`: the values read in order
// before the first that is missing or bad (for messages).
struct CorrRead {
  Outcome outcome = Outcome::success;
  int read = 0;
  bool unfilled = false;
};

// Reads the corr_value_count(n, lower) values of the correlation file into
// values.
CorrRead read_corr_values(FileSource& in, int n, bool lower, double* values);

// The matrix k (column-major, leading dimension kLd) from the values in
// their layout: the lower triangle row by row, or the whole matrix row by
// row. The whole matrix must be exactly symmetric: false, with the first
// pair found unequal (row > col, both from 1, scanning row by row), when
// it is not.
bool corr_matrix(const double* values, int n, bool lower, double* k, int& row, int& col);

}  // namespace kolva
