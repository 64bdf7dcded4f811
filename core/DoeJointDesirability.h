#pragma once
// Overall desirability of several fitted responses: each response's own desirability function,
// their weighted geometric mean, its maximisation over the factor region, and a joint defect
// simulation. Pure computations over caller-supplied predictors; the facade wires them to the fit.
#include <QPair>
#include <QString>
#include <QVector>

#include <functional>
#include <limits>

#include "plan_core_global.h"

namespace doeBussiness {

// Desirability function of one fitted response: the curve through (y1, d1), (y2, d2), (y3, d3),
// straight between the points (taken in response order) and held at its end values outside them.
// importance is the response's weight in the overall desirability; 0 leaves it out.
struct PLAN_CORE_EXPORT DoeDesirabilitySpec
{
    int modelIndex = 0;
    double y1 = 0.0, y2 = 0.5, y3 = 1.0;
    double d1 = 0.0, d2 = 0.5, d3 = 1.0;
    double importance = 1.0;
};

// Responses and desirabilities at one setting: per response function, the prediction with its confidence and
// prediction bounds (alpha 0.05) and its d; overall is D.
struct PLAN_CORE_EXPORT DoeJointPoint
{
    QVector<double> predicted, confLow, confHigh, predLow, predHigh, desirability;
    double overall = std::numeric_limits<double>::quiet_NaN();
};

// Profiles along each factor: grid[c] the factor's values, the per-response curves indexed
// [function][factor][point], overall[c] the curve of D.
struct PLAN_CORE_EXPORT DoeJointProfiles
{
    QVector<QVector<double>> grid;
    QVector<QVector<QVector<double>>> predicted, confLow, confHigh, predLow, predHigh, desirability;
    QVector<QVector<double>> overall;
};

// Desirability of y under the response's function, in [0, 1]; NaN for a non-finite y.
PLAN_CORE_EXPORT double individualDesirability(const DoeDesirabilitySpec& spec, double y);

// D = (prod d_i^w_i)^(1 / sum w_i) over the entries with w_i > 0; NaN when no weight is positive
// or an entering d is NaN. A zero d with positive weight gives D = 0.
PLAN_CORE_EXPORT double weightedGeometricMean(const QVector<double>& d, const QVector<double>& weights);

// The initial desirability function of a response from its goal (0 Maximize, 1 Match Target,
// 2 Minimize, 3 None), its limits when both are given, else the range [lo, hi] of its data.
// Maximize: lower -> 0, mid -> 0.5, upper -> 1; Minimize the reverse; Match Target 0 at both
// ends and 1 in the middle. Goal None keeps the Maximize shape with importance 0.
PLAN_CORE_EXPORT DoeDesirabilitySpec initialDesirabilitySpec(int modelIndex, int goal, double lower, double upper,
                                                             double importance);

// One factor of the search region: a continuous factor spans [low, high]; any other factor takes
// the level indices 0 .. levels - 1.
struct PLAN_CORE_EXPORT DoeJointFactorDomain
{
    bool continuous = true;
    double low = -1.0;
    double high = 1.0;
    int levels = 0;
};

// Settings of greatest D; on ties (within 1e-12) the higher d of the tie-break response wins.
// eval returns D and that response's d at a point, NaN when a prediction fails.
struct PLAN_CORE_EXPORT DoeJointOptimum
{
    QVector<double> x;
    double overall = -1.0;
    double tieBreak = -1.0;
    bool found = false;
};

using DoeJointEvaluator = std::function<bool(const QVector<double>& x, double& overall, double& tieBreak)>;

// Multi-start search: a space-filling set of start points (all level combinations of the
// non-continuous factors when there are at most 64, else random ones), the best starts refined by
// a compass search that shrinks its step on the continuous factors and tries every level of the
// others. Deterministic for a given seed.
PLAN_CORE_EXPORT DoeJointOptimum maximizeOverRegion(const QVector<DoeJointFactorDomain>& region,
                                                    const DoeJointEvaluator& eval, unsigned seed = 20201u);

}  // namespace doeBussiness
