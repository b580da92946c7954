// The phenotype correlation matrix: read once per run, checked, and
// decomposed for the run log.
#pragma once

#include <cstdint>

#include "driver/control.h"

namespace kolva {

struct Phenotypes {
  double k[kLd * kLd];       // correlation matrix K, column-major, as read
  double values[kLd * kLd];  // the values in file order
  double a[kLd * kLd];       // copy handed to the solver
  double z[kLd * kLd];       // solver scratch
  double eig[kLd];           // eigenvalues, largest first
  double off[kLd];           // solver scratch (off-diagonal)
  std::int32_t codes[4];     // fault codes of the solver run
};

// Reads the correlation file (channel 1) in the layout the control file
// selects, checks a full matrix for symmetry and computes its eigenvalues.
// Ends the run on a read failure or an asymmetric matrix.
void read_phenotypes(Channels& ch, const Control& c, Phenotypes& ph);

// Eigenvalue records (ten to a record) and, after a solver fault, the
// fault record; both on the run log.
void report_phenotypes(Channels& ch, const Control& c, const Phenotypes& ph);

}  // namespace kolva
