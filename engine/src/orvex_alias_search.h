// Alias-optimal designs: the Necessary parameters as little aliased with the If Possible ones as
// possible, with a floor on the Necessary model's D-efficiency.
#ifndef ORVEX_ALIAS_SEARCH_H
#define ORVEX_ALIAS_SEARCH_H

#include "orvex_design.h"

#include <cstdint>
#include <vector>

namespace orvex {

// Share of the D-optimal Necessary-model D-efficiency an alias-optimal design keeps at least.
constexpr double kAliasDFloor = 0.8;

// Alias sum of squares trace(A'A), A = (Xn'Xn)^-1 Xn'Xq, of runs in units for the Necessary (Xn)
// and If Possible (Xq) parameters of `terms`; NaN when Xn'Xn is singular.
double aliasSumOfSquares(const Model& model, const DesignTerms& terms, const std::vector<double>& runs,
                         int n);

// Runs (in units) of least alias sum of squares whose Necessary D-efficiency is at least
// kAliasDFloor times that of a D-optimal design for the Necessary parameters alone (searched
// first, with `options`). Starts: that design, the orthogonal-array starts and a few random ones,
// each improved by coordinate exchange over the candidate values. Empty when cancelled early.
std::vector<double> aliasOptimalSearch(const Model& model, const DesignTerms& terms, int n,
                                       std::uint64_t seed, const DesignSearchOptions& options);

}  // namespace orvex

#endif
