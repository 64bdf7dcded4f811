#include "DoeProfilerMath.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace doeUI::profiler;

TEST(ProfilerMath, GoalShapes)
{
    auto mx = desirabilityPointsForGoal(0, 2, 10, 1, 11);
    ASSERT_EQ(mx.size(), 3);
    EXPECT_EQ(mx[0], QPointF(0, 2));
    EXPECT_EQ(mx[1], QPointF(0.5, 6));
    EXPECT_EQ(mx[2], QPointF(1, 10));
    auto target = desirabilityPointsForGoal(1, 2, 10, 1, 11);
    EXPECT_EQ(target[0], QPointF(0, 2));
    EXPECT_EQ(target[1], QPointF(1, 6));
    EXPECT_EQ(target[2], QPointF(0, 10));
    auto mn = desirabilityPointsForGoal(2, 2, 10, 1, 11);
    EXPECT_EQ(mn[0], QPointF(1, 2));  // sorted by response: the low response is the desirable one
    EXPECT_EQ(mn[2], QPointF(0, 10));
    EXPECT_EQ(desirabilityPointsForGoal(3, 2, 10, 1, 11), mx);  // None behaves as Maximize
    // A flat response uses the padded range for the outer points.
    auto flat = desirabilityPointsForGoal(0, 5, 5, 4, 6);
    EXPECT_EQ(flat[0].y(), 4);
    EXPECT_EQ(flat[2].y(), 6);
}

TEST(ProfilerMath, SampledCurveFollowsPointsAndStaysInUnitRange)
{
    QVector<double> keys, values;
    auto pts = desirabilityPointsForGoal(0, 0, 10, -1, 11);
    sampleDesirability(pts, -1, 11, keys, values);
    ASSERT_EQ(keys.size(), 100);
    ASSERT_EQ(values.size(), 100);
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(std::isfinite(keys[i]) && std::isfinite(values[i]));
        EXPECT_GE(values[i], 0.0);
        EXPECT_LE(values[i], 1.0);
        if (i > 0) {
            EXPECT_GE(keys[i], keys[i - 1]);
        }
    }
    EXPECT_NEAR(desirabilityOf(5, keys, values), 0.5, 1e-9);
    EXPECT_NEAR(desirabilityOf(10, keys, values), 1.0, 0.02);  // between samples
    EXPECT_NEAR(desirabilityOf(0, keys, values), 0.0, 0.02);
    EXPECT_LT(desirabilityOf(2.5, keys, values), desirabilityOf(7.5, keys, values));
    EXPECT_EQ(desirabilityOf(-1e9, keys, values), values.first());
    EXPECT_EQ(desirabilityOf(1e9, keys, values), values.last());
    EXPECT_TRUE(std::isnan(desirabilityOf(1, {}, {})));
}

TEST(ProfilerMath, DegeneratePointsNeverGiveNaN)
{
    QVector<double> keys, values;
    // All three points at one response, and a zero-width range.
    QVector<QPointF> same = {QPointF(0, 3), QPointF(0.5, 3), QPointF(1, 3)};
    sampleDesirability(same, 3, 3, keys, values);
    ASSERT_EQ(keys.size(), 100);
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(std::isfinite(keys[i]) && std::isfinite(values[i])) << i;
    // Two points sharing a response.
    QVector<QPointF> two = {QPointF(0, 1), QPointF(1, 1), QPointF(0.2, 5)};
    sampleDesirability(two, 0, 6, keys, values);
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(std::isfinite(values[i])) << i;
    EXPECT_TRUE(std::isfinite(desirabilityOf(1, keys, values)));
}

TEST(ProfilerMath, HoldingPointsInsideRange)
{
    QVector<QPointF> p = {QPointF(0, 20), QPointF(0.5, 30), QPointF(1, 40)};
    holdPointsInRange(p, 0, 10);  // all above: spread over the range
    EXPECT_EQ(p[0].y(), 0);
    EXPECT_EQ(p[1].y(), 5);
    EXPECT_EQ(p[2].y(), 10);
    p = {QPointF(0, 2), QPointF(0.5, 12), QPointF(1, 14)};
    holdPointsInRange(p, 0, 10);
    EXPECT_EQ(p[1].y(), 6);
    EXPECT_EQ(p[2].y(), 10);
    p = {QPointF(0, -4), QPointF(0.5, -2), QPointF(1, 8)};
    holdPointsInRange(p, 0, 10);
    EXPECT_EQ(p[0].y(), 0);
    EXPECT_EQ(p[1].y(), 4);
    p = {QPointF(0, -4), QPointF(0.5, 2), QPointF(1, 8)};
    holdPointsInRange(p, 0, 10);
    EXPECT_EQ(p[0].y(), 0);
    EXPECT_EQ(p[1].y(), 2);
}

TEST(ProfilerMath, SnappingSettings)
{
    QVector<double> grid;
    for (int p = 0; p < 100; ++p)
        grid.append(p % 3);
    double s = 0;
    EXPECT_EQ(snapSetting(false, grid, 3, 1.5, s), 1);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(snapSetting(false, grid, 3, 1.6, s), 2);
    EXPECT_EQ(s, 2);
    EXPECT_EQ(snapSetting(false, grid, 3, 9.0, s), 2);  // kept on the last level
    EXPECT_EQ(s, 2);
    EXPECT_EQ(snapSetting(false, grid, 3, -4.0, s), 0);
    QVector<double> cont;
    for (int p = 0; p < 100; ++p)
        cont.append(p / 99.0);
    EXPECT_EQ(snapSetting(true, cont, 0, 0.5, s), 50);
    EXPECT_EQ(s, 0.5);
    EXPECT_EQ(snapSetting(true, cont, 0, 2.0, s), 99);  // above the last grid value
    EXPECT_EQ(snapSetting(true, cont, 0, std::nan(""), s), 1);
    EXPECT_TRUE(std::isfinite(s));
}

TEST(ProfilerMath, HistogramBinsAndFlatValues)
{
    QVector<double> v = {0, 1, 2, 3, 10};
    Histogram h = histogram(v, 0, 10);
    ASSERT_EQ(h.keys.size(), 100);
    EXPECT_DOUBLE_EQ(h.width, 0.1);
    EXPECT_EQ(h.counts[0], 1);
    EXPECT_EQ(h.counts[10], 1);
    EXPECT_EQ(h.counts[99], 1);  // the maximum goes into the last bin
    EXPECT_EQ(h.maxCount, 1);
    Histogram flat = histogram({4, 4, 4}, 4, 4);
    ASSERT_EQ(flat.keys.size(), 1);
    EXPECT_EQ(flat.counts[0], 3);
    EXPECT_GT(flat.width, 0);
    EXPECT_LT(flat.lower, 4);
    EXPECT_GT(flat.upper, 4);
    Histogram zero = histogram({0, 0}, 0, 0);
    EXPECT_GT(zero.width, 0);
}

TEST(ProfilerMath, SpecRates)
{
    QVector<double> v = {1, 2, 3, 4};
    bool ok = false;
    EXPECT_EQ(inSpecRate(v, 1, 0, 3, ok), 0.75);  // equal to the upper limit is in spec
    EXPECT_TRUE(ok);
    EXPECT_EQ(inSpecRate(v, 2, 2, 0, ok), 0.75);
    EXPECT_EQ(inSpecRate(v, 3, 2, 3, ok), 0.5);
    EXPECT_EQ(inSpecRate(v, 0, 0, 0, ok), 1.0);
    EXPECT_EQ(inSpecRate(v, -1, 0, 0, ok), 0.0);
    EXPECT_EQ(inSpecRate({}, 3, 0, 1, ok), 0.0);
    EXPECT_FALSE(ok);
}

TEST(ProfilerMath, PaddedRanges)
{
    double lo = 0, hi = 0;
    paddedRange(0, 10, 0.1, lo, hi);
    EXPECT_DOUBLE_EQ(lo, -1);
    EXPECT_DOUBLE_EQ(hi, 11);
    paddedRange(5, 5, 0.1, lo, hi);
    EXPECT_LT(lo, 5);
    EXPECT_GT(hi, 5);
    paddedRange(0, 0, 0.1, lo, hi);
    EXPECT_LT(lo, hi);
    paddedRange(std::nan(""), INFINITY, 0.1, lo, hi);
    EXPECT_TRUE(std::isfinite(lo) && std::isfinite(hi) && lo < hi);
}
