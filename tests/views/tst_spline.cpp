#include "Spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

using SplineSpace::Spline;
using SplineSpace::SplineFailure;

namespace {

const char* failureOf(const std::function<void()>& fn)
{
    try {
        fn();
    } catch (const SplineFailure& f) {
        return f.message();
    }
    return nullptr;
}

}  // namespace

TEST(Spline, NaturalThroughCollinearKnotsIsTheLine)
{
    const double x[] = {0.0, 1.0, 3.0};
    const double y[] = {1.0, 3.0, 7.0};
    Spline s(x, y, 3, 2, 0.0, 0.0);
    for (double t : {0.0, 0.25, 1.0, 2.2, 3.0}) {
        double v = 0;
        EXPECT_TRUE(s.interpolate(t, v));
        EXPECT_NEAR(v, 1.0 + 2.0 * t, 1e-12) << t;
    }
}

TEST(Spline, PassesThroughEveryKnot)
{
    const double x[] = {-2.0, -0.5, 0.0, 1.5, 4.0};
    const double y[] = {3.0, -1.0, 2.0, 0.5, 8.0};
    for (int kind : {1, 2}) {
        Spline s(x, y, 5, kind, 0.3, -0.7);
        for (int i = 0; i < 5; ++i) {
            double v = 0;
            s.interpolate(x[i], v);
            EXPECT_NEAR(v, y[i], 1e-12) << "kind " << kind << " knot " << i;
        }
    }
}

TEST(Spline, ReproducesCubicWithClampedEnds)
{
    // A clamped spline is exact for cubics when the end slopes are the cubic's slopes.
    auto f = [](double t) { return t * t * t - 2 * t + 1; };
    auto df = [](double t) { return 3 * t * t - 2; };
    std::vector<double> x = {-1.0, -0.2, 0.5, 1.0, 2.0};
    std::vector<double> y;
    for (double t : x)
        y.push_back(f(t));
    Spline s(x.data(), y.data(), 5, 1, df(-1.0), df(2.0));
    for (double t = -1.0; t <= 2.0; t += 0.137) {
        double v = 0;
        s.interpolate(t, v);
        EXPECT_NEAR(v, f(t), 1e-10) << t;
    }
}

TEST(Spline, NaturalEndsHaveZeroCurvature)
{
    const double x[] = {0.0, 1.0, 2.0, 3.0};
    const double y[] = {0.0, 1.0, 0.0, 1.0};
    Spline s(x, y, 4, 2, 0.0, 0.0);
    // Second difference near the ends tends to zero.
    const double e = 1e-4;
    double a = 0, b = 0, c = 0;
    s.interpolate(0.0, a);
    s.interpolate(e, b);
    s.interpolate(2 * e, c);
    EXPECT_NEAR((a - 2 * b + c) / (e * e), 0.0, 1e-3);
}

TEST(Spline, RangeEdgesAndExtrapolation)
{
    const double x[] = {0.0, 1.0, 2.0};
    const double y[] = {0.0, 1.0, 4.0};
    Spline s(x, y, 3, 2, 0.0, 0.0);
    double v = 0;
    EXPECT_NO_THROW(s.interpolate(0.0, v));
    EXPECT_NO_THROW(s.interpolate(-0.5e-7, v));
    EXPECT_NO_THROW(s.interpolate(2.0 + 0.5e-7, v));
    const char* m = failureOf([&] { s.interpolate(2.001, v); });
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(m, Spline::kNoExtrapolation);
    EXPECT_NE(failureOf([&] { s.interpolate(-0.001, v); }), nullptr);
    EXPECT_NE(failureOf([&] { s.interpolate(std::nan(""), v); }), nullptr);
}

TEST(Spline, ConstructionFailures)
{
    const double x[] = {0.0, 1.0, 2.0};
    const double y[] = {0.0, 1.0, 4.0};
    EXPECT_STREQ(failureOf([&] { Spline s(x, y, 2, 2, 0, 0); }), Spline::kTooFewPoints);
    EXPECT_STREQ(failureOf([&] { Spline s(nullptr, y, 3, 2, 0, 0); }), Spline::kTooFewPoints);
    EXPECT_STREQ(failureOf([&] { Spline s(x, nullptr, 3, 2, 0, 0); }), Spline::kTooFewPoints);
    EXPECT_STREQ(failureOf([&] { Spline s(x, y, 3, 3, 0, 0); }), Spline::kBadBoundary);
    // Equal neighbouring knots would divide by zero; they are refused instead.
    const double dup[] = {0.0, 1.0, 1.0};
    EXPECT_STREQ(failureOf([&] { Spline s(dup, y, 3, 2, 0, 0); }), Spline::kTooFewPoints);
    const double down[] = {0.0, 2.0, 1.0};
    EXPECT_STREQ(failureOf([&] { Spline s(down, y, 3, 1, 0, 0); }), Spline::kTooFewPoints);
}

TEST(Spline, ManyAndAuto)
{
    std::vector<double> x = {1.0, 2.0, 4.0};
    std::vector<double> y = {1.0, 2.0, 4.0};
    Spline s(x.data(), y.data(), 3, 2, 0, 0);
    x.assign(3, -100.0);  // the spline keeps its own copy of the knots
    double xs[5], ys[5];
    EXPECT_TRUE(s.interpolateAuto(5, xs, ys));
    EXPECT_DOUBLE_EQ(xs[0], 1.0);
    EXPECT_DOUBLE_EQ(xs[4], 4.0);
    EXPECT_DOUBLE_EQ(xs[2], 2.5);
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(ys[i], xs[i], 1e-12);
    EXPECT_STREQ(failureOf([&] { s.interpolateAuto(1, xs, ys); }), Spline::kTooFewOutputs);
    const double in[] = {1.5, 3.0};
    double out[2] = {0, 0};
    EXPECT_TRUE(s.interpolateMany(in, 2, out));
    EXPECT_NEAR(out[1], 3.0, 1e-12);
    EXPECT_TRUE(s.interpolateMany(in, 0, out));
}
