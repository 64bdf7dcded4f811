#include "DoeProfilerMath.h"

#include "Spline.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace doeUI {
namespace profiler {

void paddedRange(double lo, double hi, double share, double& lower, double& upper)
{
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        lo = std::isfinite(lo) ? lo : (std::isfinite(hi) ? hi : 0.0);
        hi = std::isfinite(hi) ? hi : lo;
    }
    if (hi < lo)
        std::swap(lo, hi);
    double pad = (hi - lo) * share;
    if (!(pad > 0.0) || !std::isfinite(pad)) {
        // Zero width: open a range of a tenth of the magnitude, or one unit around zero.
        pad = std::abs(lo) > 0.0 ? std::abs(lo) * 0.1 : 1.0;
        if (!std::isfinite(pad))
            pad = 1.0;
    }
    lower = lo - pad;
    upper = hi + pad;
}

void sortByResponse(QVector<QPointF>& points)
{
    std::stable_sort(points.begin(), points.end(),
                     [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
}

QVector<QPointF> desirabilityPointsForGoal(int goal, double yMin, double yMax, double yLower, double yUpper)
{
    double top = yMax;
    double bottom = yMin;
    if (yMin == yMax) {
        top = yUpper;
        bottom = yLower;
    }
    const double mid = (yMin + yMax) / 2.0;
    QVector<QPointF> pts;
    if (goal == 1)
        pts = {QPointF(0, bottom), QPointF(1, mid), QPointF(0, top)};
    else if (goal == 2)
        pts = {QPointF(0, top), QPointF(0.5, mid), QPointF(1, bottom)};
    else
        pts = {QPointF(0, bottom), QPointF(0.5, mid), QPointF(1, top)};
    sortByResponse(pts);
    return pts;
}

void holdPointsInRange(QVector<QPointF>& p, double yLower, double yUpper)
{
    if (p.size() != 3)
        return;
    sortByResponse(p);
    if (p[0].y() > yUpper || p[2].y() < yLower) {
        p[0].setY(yLower);
        p[1].setY((yUpper + yLower) / 2.0);
        p[2].setY(yUpper);
    } else if (p[1].y() > yUpper) {
        p[1].setY((p[0].y() + yUpper) / 2.0);
        p[2].setY(yUpper);
    } else if (p[2].y() > yUpper) {
        p[2].setY(yUpper);
    } else if (p[1].y() < yLower) {
        p[0].setY(yLower);
        p[1].setY((p[2].y() + yLower) / 2.0);
    } else if (p[0].y() < yLower) {
        p[0].setY(yLower);
    }
}

namespace {

double outerDesirability(double inner, double middle, double other)
{
    // Extends the curve beyond the last point in the direction it is heading.
    if (inner > middle)
        return 1.01;
    if (inner < middle)
        return -0.01;
    if (middle > other)
        return -0.01;
    if (middle < other)
        return 1.01;
    return 0.5;
}

// 50 samples from ya to yc through (ya, da), (yb, db), (yc, dc).
void sampleSegment(double ya, double da, double yb, double db, double yc, double dc, QVector<double>& keys,
                   QVector<double>& values)
{
    const int n = 50;
    const double kx[3] = {ya, yb, yc};
    const double ky[3] = {da, db, dc};
    SplineSpace::Spline* spline = nullptr;
    if (ya < yb && yb < yc) {
        try {
            spline = new SplineSpace::Spline(kx, ky, 3, 2, 0.0, 0.0);
        } catch (const SplineSpace::SplineFailure&) {
            spline = nullptr;
        }
    }
    for (int i = 0; i < n; ++i) {
        double y = (i == n - 1) ? yc : ya + (yc - ya) * i / (n - 1);
        double d = db;
        bool done = false;
        if (spline) {
            try {
                spline->interpolate(y, d);
                done = true;
            } catch (const SplineSpace::SplineFailure&) {
            }
        }
        if (!done) {
            // Straight segments over whichever intervals have a width.
            if (y <= yb && yb > ya)
                d = da + (db - da) * (y - ya) / (yb - ya);
            else if (y >= yb && yc > yb)
                d = db + (dc - db) * (y - yb) / (yc - yb);
            else
                d = db;
        }
        if (!std::isfinite(d))
            d = db;
        keys.append(y);
        values.append(std::min(1.0, std::max(0.0, d)));
    }
    delete spline;
}

}  // namespace

void sampleDesirability(const QVector<QPointF>& input, double yLower, double yUpper, QVector<double>& keys,
                        QVector<double>& values)
{
    keys.clear();
    values.clear();
    if (input.size() != 3)
        return;
    QVector<QPointF> p = input;
    sortByResponse(p);
    double span = std::abs(yUpper - yLower);
    if (!(span > 0.0) || !std::isfinite(span))
        span = 1.0;
    const double d1 = p[0].x(), d2 = p[1].x(), d3 = p[2].x();
    const double y1 = p[0].y(), y2 = p[1].y(), y3 = p[2].y();
    const double y0 = std::min(yLower, y1) - span;
    const double y4 = std::max(yUpper, y3) + span;
    const double d4 = outerDesirability(d3, d2, d1);
    const double d0 = outerDesirability(d1, d2, d3);
    sampleSegment(y0, d0, y1, d1, y2, d2, keys, values);
    sampleSegment(y2, d2, y3, d3, y4, d4, keys, values);
}

double desirabilityOf(double y, const QVector<double>& keys, const QVector<double>& values)
{
    const int n = std::min(keys.size(), values.size());
    if (n == 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (y < keys[0])
        return values[0];
    if (y > keys[n - 1])
        return values[n - 1];
    for (int i = 0; i + 1 < n; ++i) {
        if (keys[i] <= y && y <= keys[i + 1]) {
            const double w = keys[i + 1] - keys[i];
            if (!(w > 0.0))
                return values[i];
            return values[i] + (values[i + 1] - values[i]) * (y - keys[i]) / w;
        }
    }
    return std::isnan(y) ? values[0] : std::numeric_limits<double>::quiet_NaN();
}

int snapSetting(bool continuous, const QVector<double>& grid, int levels, double x, double& setting)
{
    const int last = grid.isEmpty() ? 0 : grid.size() - 1;
    if (!std::isfinite(x))
        x = grid.isEmpty() ? 0.0 : grid[0];
    if (continuous) {
        setting = x;
        for (int p = 0; p < grid.size(); ++p) {
            if (grid[p] > x)
                return p;
        }
        return last;
    }
    double idx = std::ceil(x - 0.5);
    const double top = std::max(0, levels - 1);
    idx = std::min(top, std::max(0.0, idx));
    setting = idx;
    return std::min(last, static_cast<int>(idx));
}

Histogram histogram(const QVector<double>& values, double min, double max, int bins)
{
    Histogram h;
    if (bins < 1)
        bins = 1;
    double w = (max - min) / bins;
    if (!(w > 0.0) || !std::isfinite(w)) {
        // All values equal: one bar centred on the value.
        const double v = std::isfinite(min) ? min : 0.0;
        w = std::abs(v) > 0.0 ? std::abs(v) * 0.05 : 1.0;
        h.width = w;
        h.keys = {v};
        h.counts = {static_cast<double>(values.size())};
        h.maxCount = values.size();
        h.lower = v - 2 * w;
        h.upper = v + 2 * w;
        return h;
    }
    h.width = w;
    h.keys.resize(bins);
    h.counts.fill(0.0, bins);
    for (int k = 0; k < bins; ++k)
        h.keys[k] = min + k * w;
    for (double v : values) {
        if (!std::isfinite(v))
            continue;
        int k = static_cast<int>(std::floor((v - min) / w));
        k = std::min(bins - 1, std::max(0, k));
        h.counts[k] += 1.0;
    }
    h.maxCount = *std::max_element(h.counts.begin(), h.counts.end());
    h.lower = min - w;
    h.upper = max + w;
    return h;
}

bool inSpec(double y, int kind, double lower, double upper)
{
    switch (kind) {
    case 0:
        return true;
    case 1:
        return y <= upper;
    case 2:
        return y >= lower;
    case 3:
        return lower <= y && y <= upper;
    default:
        return false;
    }
}

double inSpecRate(const QVector<double>& values, int kind, double lower, double upper, bool& defined)
{
    defined = true;
    if (kind == 0)
        return 1.0;
    if (kind != 1 && kind != 2 && kind != 3)
        return 0.0;
    if (values.isEmpty()) {
        defined = false;
        return 0.0;
    }
    int in = 0;
    for (double v : values)
        in += inSpec(v, kind, lower, upper) ? 1 : 0;
    return static_cast<double>(in) / values.size();
}

double capabilityIndex(double mean, double sd, int kind, double lower, double upper)
{
    if (!(sd > 0.0) || !std::isfinite(sd) || !std::isfinite(mean))
        return std::numeric_limits<double>::quiet_NaN();
    const double toUpper = (upper - mean) / (3.0 * sd);
    const double toLower = (mean - lower) / (3.0 * sd);
    switch (kind) {
    case 1:
        return toUpper;
    case 2:
        return toLower;
    case 3:
        return std::min(toUpper, toLower);
    default:
        return std::numeric_limits<double>::quiet_NaN();
    }
}

QString capabilityLine(double mean, double sd, int kind, double lower, double upper, bool rateDefined,
                       double inSpecRate)
{
    if (kind == 0)
        return QStringLiteral("Cpk: none (no spec limits)");
    if (kind < 0 || kind > 3)
        return QStringLiteral("Cpk: none (invalid spec limits)");
    QString cpk;
    // A spread at the rounding floor of the mean is no variation: its Cpk would be noise.
    if (std::isfinite(sd) && std::isfinite(mean) && sd <= 8.0 * std::numeric_limits<double>::epsilon() * std::fabs(mean))
        cpk = QStringLiteral("\u2014 (no variation)");
    else {
        const double c = capabilityIndex(mean, sd, kind, lower, upper);
        cpk = std::isfinite(c) ? QString::number(c, 'g', 6) : QStringLiteral("\u2014");
    }
    const QString ppm = rateDefined ? QString::number((1.0 - inSpecRate) * 1e6, 'g', 6) + " ppm" : QString("none");
    return QStringLiteral("Cpk: %1      Defect rate: %2").arg(cpk, ppm);
}

}  // namespace profiler
}  // namespace doeUI
