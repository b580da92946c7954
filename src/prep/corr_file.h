// The phenotype correlation matrix given by the user (--corr).
#pragma once

#include <string>
#include <vector>

namespace kolva::prep {

// Reads a square matrix with a header line of phenotype names (tabs or
// blanks; a row may start with its name) and returns it reordered to
// `names`, row-major. Stops, naming file and line, on a missing name, a
// value that is not a number or lies outside [-1, 1], a diagonal other
// than 1, or an asymmetric matrix.
std::vector<double> read_corr_file(const std::string& path, const std::vector<std::string>& names);

}  // namespace kolva::prep
