#pragma once
// Plain computations behind the report's plots: the desirability function and its samples,
// setting snaps, histogram bins, spec rates and padded plot ranges. No widgets, no facade.
#include "plan_views_global.h"

#include <QPointF>
#include <QString>
#include <QVector>

namespace doeUI {
namespace profiler {

constexpr int kProfilePoints = 100;

// Lower/upper plot bounds around [lo, hi] padded by `share` of the width; a zero or
// non-finite width still yields a visible, finite range.
PLAN_VIEWS_EXPORT void paddedRange(double lo, double hi, double share, double& lower, double& upper);

// The three editable points (x = desirability, y = response) for a response goal
// (0 Maximize, 1 Match Target, 2 Minimize, others as Maximize), sorted by response.
PLAN_VIEWS_EXPORT QVector<QPointF> desirabilityPointsForGoal(int goal, double yMin, double yMax,
                                                             double yLower, double yUpper);

PLAN_VIEWS_EXPORT void sortByResponse(QVector<QPointF>& points);

// Moves the points back inside [yLower, yUpper] after a drag or a range change.
PLAN_VIEWS_EXPORT void holdPointsInRange(QVector<QPointF>& points, double yLower, double yUpper);

// Samples the smooth desirability curve through the three points at 100 response values;
// values are clamped to [0, 1]. Degenerate knots fall back to straight segments.
PLAN_VIEWS_EXPORT void sampleDesirability(const QVector<QPointF>& points, double yLower, double yUpper,
                                          QVector<double>& keys, QVector<double>& values);

// Desirability of a response value from the sampled curve (NaN only for an empty curve).
PLAN_VIEWS_EXPORT double desirabilityOf(double y, const QVector<double>& keys, const QVector<double>& values);

// Snaps x to a factor setting and returns the profile index of that setting: a continuous
// factor keeps x and uses the first grid point above it (last point if none); other roles
// round to the nearest level index, kept inside [0, levels - 1].
PLAN_VIEWS_EXPORT int snapSetting(bool continuous, const QVector<double>& grid, int levels, double x,
                                  double& setting);

struct Histogram {
    QVector<double> keys;
    QVector<double> counts;
    double width = 0.0;
    double maxCount = 0.0;
    double lower = 0.0;  // x range
    double upper = 0.0;
};

// 100 bins over [min, max]; equal values give one bar of a nominal width around them.
PLAN_VIEWS_EXPORT Histogram histogram(const QVector<double>& values, double min, double max, int bins = 100);

// Share of values inside the spec limits for a limit kind (0 none, 1 upper only, 2 lower
// only, 3 both, -1 invalid). `defined` is false when no values exist for kinds 1 to 3.
PLAN_VIEWS_EXPORT double inSpecRate(const QVector<double>& values, int kind, double lower, double upper,
                                    bool& defined);
PLAN_VIEWS_EXPORT bool inSpec(double y, int kind, double lower, double upper);

// Capability index of simulated values against the spec limits: the distance from the mean to
// the nearer limit in units of three standard deviations (one-sided for one limit). NaN when
// there is no limit, the limits are invalid (kind 0 or -1) or sd is not positive.
PLAN_VIEWS_EXPORT double capabilityIndex(double mean, double sd, int kind, double lower, double upper);

// The capability line under the Monte Carlo results: "Cpk: ..." with the reason when there is
// none (no limits, invalid limits, no variation), then the defect rate in ppm when limits exist.
PLAN_VIEWS_EXPORT QString capabilityLine(double mean, double sd, int kind, double lower, double upper,
                                         bool rateDefined, double inSpecRate);

}  // namespace profiler
}  // namespace doeUI
