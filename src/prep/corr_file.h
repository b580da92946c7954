// The phenotype correlation matrix given by the user (--corr).
#pragma once

#include <string>
#include <vector>

namespace kolva::prep {

// Reads a square matrix with a header line of phenotype names (tabs or
// blanks; a row may start with its name) and returns it reordered to
// `names`, row-major. Stops, naming file and line, on a missing name, a
// value that is not a number or lies outside [-1, 1], a diagonal other
// than 1, an asymmetric matrix, or one (of `names`) that is not positive
// semi-definite.
std::vector<double> read_corr_file(const std::string& path, const std::vector<std::string>& names);

// What is added to the diagonal before the Cholesky factorisation, so that
// a matrix that is semi-definite only up to rounding passes.
inline constexpr double kPsdSlack = 1e-10;

// The k x k correlation matrix `a` (row-major) as a Cholesky factor of
// a + kPsdSlack I: the first row whose pivot is not positive, or k when
// the matrix is positive semi-definite.
std::size_t first_dependent_row(std::vector<double> a, std::size_t k);

}  // namespace kolva::prep
