// Desirability of a predicted response and its maximisation over the factor region.
#ifndef ORVEX_OPTIMISE_H
#define ORVEX_OPTIMISE_H

#include "orvex_fit.h"
#include "orvex_model.h"

#include <cstdint>
#include <vector>

namespace orvex {

// Piecewise-linear desirability through three (response, desirability) points, flat beyond the
// outer ones, clamped to [0, 1].
class Desirability {
public:
    Desirability(const double y[3], const double d[3]);
    bool isValid() const { return valid_; }
    double operator()(double y) const;
    const double* knots() const { return y_; }
    // Orders responses of equal desirability by the shape's own goal: larger is better when the
    // highest knot is the most desirable, smaller when the lowest is, else closer to the middle knot.
    double preference(double y) const;

private:
    double y_[3];
    double d_[3];
    bool valid_ = true;
};

// Best desirability of the fit's prediction over the region; writes the settings (run units)
// into best. restarts >= 1. NaN when no point of the region can be predicted.
double maximiseDesirability(const Model& model, const Fit& fit, const Desirability& des, int restarts,
                            std::uint64_t seed, std::vector<double>& best);

}  // namespace orvex

#endif
