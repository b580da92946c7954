// What the package's native files share.
#pragma once

#include <Rcpp.h>

#include "kolva/kolva.h"

namespace kolva_r {

// Stops with the library's message of its last failure.
inline void check(int status) {
  if (status != KOLVA_OK) Rcpp::stop(kolva_last_error());
}

}  // namespace kolva_r
