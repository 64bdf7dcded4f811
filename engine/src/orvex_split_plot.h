// Designs with restricted randomisation: hard-to-change factors held constant within whole plots
// (very hard ones within whole-whole plots), and fixed blocks. The search maximises the
// generalised least-squares information X'V^-1 X with V = I + eta (Zw Zw' + Zww Zww').
#ifndef ORVEX_SPLIT_PLOT_H
#define ORVEX_SPLIT_PLOT_H

#include "orvex_design.h"

#include <cstdint>
#include <vector>

namespace orvex {

// How the runs are grouped: per factor 0 (changes freely), 1 (whole-plot factor) or 2
// (whole-whole-plot factor); group counts (-1: proposed); eta the whole-plot to residual
// variance ratio.
struct RunStructure {
    std::vector<int> changes;
    int wholePlots = -1;
    int wholeWholePlots = -1;
    int blocks = 1;
    double eta = 1.0;

    bool hasLevel(int level) const;
    // Whether the design differs from a completely randomised one.
    bool active() const { return hasLevel(1) || hasLevel(2) || blocks > 1; }
};

// 0-based group of each run; a level that is absent has count 0 and an empty vector. Runs of a
// whole plot are contiguous, whole plots of a whole-whole plot too, and sizes differ by at most 1.
struct RunLayout {
    int wholePlots = 0, wholeWholePlots = 0, blocks = 0;
    std::vector<int> wp, wwp, block;
};

// Proposed group counts: the parameters that only involve factors constant in such a group
// (the intercept included) plus one, so the group-level error has a degree of freedom; at most n.
void proposeGroups(const Model& model, const DesignTerms& terms, const RunStructure& s, int n,
                   int& wholePlots, int& wholeWholePlots);

// Layout of n runs, with proposed counts for those given as -1 and every count clamped to
// what n (and the whole plots, for whole-whole plots) allows.
RunLayout layoutRuns(const Model& model, const DesignTerms& terms, const RunStructure& s, int n);

// Coordinate exchange over the group and run coordinates (continuous factors on -1, 0, 1, or
// their ends when never squared; levels for the others), from random starts. Returns n * factors
// doubles in run units, or empty when cancelled before a start finished. Deterministic in its
// arguments other than progress and cancel.
std::vector<double> searchStructured(const Model& model, const DesignTerms& terms, int n,
                                     std::uint64_t seed, const DesignSearchOptions& options,
                                     const RunStructure& s, const RunLayout& layout);

// log det of X'V^-1 X for runs in run units (the terms' parameters, then the block effects);
// -inf when singular. Used to judge designs.
double glsLogDet(const Model& model, const DesignTerms& terms, const std::vector<double>& runs,
                 const RunLayout& layout, double eta);

}  // namespace orvex

#endif
