// D-optimal design search by coordinate exchange for the kind-2 model of a factor set.
#ifndef ORVEX_DESIGN_H
#define ORVEX_DESIGN_H

#include "orvex_model.h"

#include <cstdint>
#include <vector>

namespace orvex {

struct DesignSearchOptions {
    int starts = 0;          // random starts; 0 runs starts until a fixed operation budget is spent
    int maxPasses = 100;     // coordinate passes per start
    int polished = 10;       // best starts that go on to the whole-run exchange polish
};

// n runs of the built model, n * factorCount doubles in run units (continuous in their own
// units, levels as indices). Deterministic in the model, n and seed.
std::vector<double> searchDesign(const Model& model, int n, std::uint64_t seed,
                                 const DesignSearchOptions& options = DesignSearchOptions());

// Runs at the centre of the region (first level of level factors): a cheap placeholder for runs
// the caller is about to overwrite.
std::vector<double> centreDesign(const Model& model, int n);

// 100 * det(X'X)^(1/p) / n of the runs in the model's coding; 0 when X'X is singular.
double dEfficiency(const Model& model, const std::vector<double>& runs, int n);

}  // namespace orvex

#endif
