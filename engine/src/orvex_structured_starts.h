// Starting designs from orthogonal arrays for two-level factors: Hadamard matrices and regular
// two-level fractions, whose columns give main-effect designs of 100 % D-efficiency that random
// starts rarely reach.
#ifndef ORVEX_STRUCTURED_STARTS_H
#define ORVEX_STRUCTURED_STARTS_H

#include "orvex_design_space.h"

#include <Eigen/Core>

#include <cstdint>
#include <vector>

namespace orvex {

// A +-1 Hadamard matrix of order n (H'H = n I) with its first column all +1, or an empty matrix
// when none of the constructions applies. Powers of two: Sylvester, column j the product of the
// base columns in the bits of j. Otherwise Paley I (n - 1 = q = 3 mod 4) or Paley II
// (n / 2 - 1 = q = 1 mod 4) for q a prime or the square of a prime, and doubling of a smaller
// order; Williamson matrices for 92 (and doubling carries it to 184). Every multiple of four up
// to 100 is covered.
Eigen::MatrixXi hadamard(int n);

// Columns (masks over the m base factors, as in the Sylvester order above) of the minimum
// aberration regular fraction of k factors in 2^m runs, 8 to 64 runs; empty when not tabled.
std::vector<int> regularFraction(int m, int k);

// Starting designs (n * F coordinates each) for a space whose factors all take two values:
// rows of Hadamard matrices of orders near n, with the regular fraction's columns and a few
// column subsets drawn from `seed`. Empty when some factor takes more than two values.
std::vector<std::vector<double>> structuredStarts(const Space& sp, int n, std::uint64_t seed);

}  // namespace orvex

#endif
