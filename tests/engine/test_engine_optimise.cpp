// Prediction inputs and the desirability maximisation.
#include "engine_test_util.h"
#include "orvex_optimise.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// y = 10 - (A - 3)^2 - 2 (B - 1)^2 + 4 [C = hot], A, B on [0, 5] and [-2, 2], exact.
void fitBowl(void* h)
{
    add1(h, "A", 0, 5);
    add1(h, "B", -2, 2);
    addCategorical(h, "C", {"cold", "hot"});
    seed(h, 5);
    const int p = createmodel(h, 2);
    ASSERT_EQ(p, 1 + 3 + (1 + 1 + 1) + (1 + 1));
    std::vector<std::vector<double>> runs;
    std::vector<double> y;
    for (int a = 0; a <= 5; ++a)
        for (int b = -2; b <= 2; ++b)
            for (int c = 0; c < 2; ++c) {
                runs.push_back({double(a), double(b), double(c)});
                y.push_back(10 - (a - 3.0) * (a - 3.0) - 2 * (b - 1.0) * (b - 1.0) + 4 * c);
            }
    loadData(h, runs, y);
    doRun(h, std::vector<int>(p, 1));
}

}  // namespace

TEST(EngineOptimise, DesirabilityIsPiecewiseLinearAndClamped)
{
    const double y[3] = {10, 0, 5}, d[3] = {1.2, 0, 0.5};
    const orvex::Desirability des(y, d);
    EXPECT_EQ(des(-3), 0.0);
    EXPECT_DOUBLE_EQ(des(2.5), 0.25);
    EXPECT_DOUBLE_EQ(des(7.5), 0.85);
    EXPECT_EQ(des(9), 1.0);  // 1.16 clamped
    EXPECT_EQ(des(50), 1.0);
    EXPECT_TRUE(std::isnan(des(NAN)));
    const double same[3] = {1, 1, 1}, dd[3] = {0.2, 0.4, 0.9};
    EXPECT_FALSE(std::isnan(orvex::Desirability(same, dd)(1)));
}

TEST(EngineOptimise, MaximisesOverContinuousAndLevelFactors)
{
    Handle h;
    fitBowl(h);
    // Larger is better: the top of the bowl at A = 3, B = 1, hot, y = 14.
    double x[3] = {0, 0, 0};
    const double best = calcmax(h, x, 0, 7, 14, 0, 0.5, 1, 10);
    EXPECT_NEAR(best, 1.0, 1e-9);
    EXPECT_NEAR(x[0], 3.0, 1e-6);
    EXPECT_NEAR(x[1], 1.0, 1e-6);
    EXPECT_EQ(x[2], 1.0);
    // A target of 5 is met on a ring; whatever point is returned predicts 5.
    const double hit = calcmax(h, x, 0, 5, 14, 0, 1, 0, 10);
    EXPECT_NEAR(hit, 1.0, 1e-9);
    double pred, se1, se2;
    int dfe;
    predict2(h, x, &pred, &se1, &se2, &dfe);
    EXPECT_NEAR(pred, 5.0, 1e-6);
    // The same call gives the same settings.
    double again[3];
    calcmax(h, again, 0, 5, 14, 0, 1, 0, 10);
    EXPECT_EQ(std::vector<double>(x, x + 3), std::vector<double>(again, again + 3));
}

TEST(EngineOptimise, LevelFactorsBeyondEnumerationJoinTheSearch)
{
    Handle h;
    std::vector<std::vector<double>> runs;
    std::vector<double> y;
    for (int i = 0; i < 5; ++i)
        addCategorical(h, ("C" + std::to_string(i)).c_str(), {"a", "b", "c", "d"});
    const int p = createmodel(h, 2);
    // Main effects only: level 3 of each factor adds 1, so the best is all 3 and y = 5.
    unsigned long long state = 99;
    for (int r = 0; r < 200; ++r) {
        std::vector<double> run;
        double v = 0;
        for (int f = 0; f < 5; ++f) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const int l = static_cast<int>(state >> 62);
            run.push_back(l);
            v += l == 3 ? 1 : 0;
        }
        runs.push_back(run);
        y.push_back(v);
    }
    loadData(h, runs, y);
    std::vector<int> entered(p, 0);
    for (int j = 0; j <= 15; ++j)
        entered[j] = 1;
    doRun(h, entered);
    double x[5];
    EXPECT_NEAR(calcmax(h, x, 0, 2.5, 5, 0, 0.5, 1, 5), 1.0, 1e-9);
    for (double v : x)
        EXPECT_EQ(v, 3.0);
}

TEST(EngineOptimise, FailuresLeaveTheSettingsAlone)
{
    double x[3] = {7, 7, 7};
    EXPECT_TRUE(std::isnan(calcmax(nullptr, x, 0, 1, 2, 0, 0.5, 1, 10)));
    Handle unfitted;
    add1(unfitted, "A", 0, 1);
    createmodel(unfitted, 2);
    EXPECT_TRUE(std::isnan(calcmax(unfitted, x, 0, 1, 2, 0, 0.5, 1, 10)));
    Handle h;
    fitBowl(h);
    EXPECT_TRUE(std::isnan(calcmax(h, x, 0, NAN, 2, 0, 0.5, 1, 10)));
    EXPECT_TRUE(std::isnan(calcmax(h, x, 0, 1, 2, 0, 0.5, 1, 0)));
    EXPECT_TRUE(std::isnan(calcmax(h, nullptr, 0, 1, 2, 0, 0.5, 1, 10)));
    EXPECT_EQ(std::vector<double>(x, x + 3), std::vector<double>(3, 7.0));
}

TEST(EngineOptimise, PredictionRejectsLevelsOutsideTheFactor)
{
    Handle h;
    fitBowl(h);
    const double bad[2][3] = {{3, 1, 2}, {3, 1, -0.7}};
    for (const auto& x : bad) {
        double out[5] = {0, 0, 0, 0, 0};
        predict(h, x, &out[0], &out[1], &out[2], &out[3], &out[4], 0.05);
        for (double v : out)
            EXPECT_TRUE(std::isnan(v));
        double pred = 0, se1 = 0, se2 = 0;
        int dfe = 77;
        predict2(h, x, &pred, &se1, &se2, &dfe);
        EXPECT_TRUE(std::isnan(pred) && std::isnan(se1) && std::isnan(se2));
        EXPECT_EQ(dfe, 77);
    }
    // 1.4 rounds to level 1; an exact fit has zero-width bounds.
    const double ok[3] = {3, 1, 1.4};
    double out[5];
    predict(h, ok, &out[0], &out[1], &out[2], &out[3], &out[4], 0.05);
    EXPECT_NEAR(out[0], 14.0, 1e-9);
    EXPECT_NEAR(out[4] - out[2], 0.0, 1e-6);
    // An alpha outside (0, 1) gives NaN bounds but a prediction.
    predict(h, ok, &out[0], &out[1], &out[2], &out[3], &out[4], 1.5);
    EXPECT_NEAR(out[0], 14.0, 1e-9);
    EXPECT_TRUE(std::isnan(out[1]));
}
