// Sensitivity manager through the shared libraries: refused problems and sample parameters, a
// missing or unusable model, and the indices of a plane fitted by the real engine.
#include "DoeAlgorithmManager.h"
#include "DoeFunctionManager.h"
#include "../engine_link/engine_fit_helper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using doeAlgorithm::DoeAlgorithmManager;

TEST(EfastManager, RefusesEmptyOrReversedBounds)
{
    DoeAlgorithmManager manager;
    QString err;
    EXPECT_FALSE(manager.setSensitivityProblem(1, {}, err));
    EXPECT_EQ(err, QStringLiteral("Less than 0\n"));

    err.clear();
    EXPECT_FALSE(manager.setSensitivityProblem(1, {{0, 1}, {2, 1}}, err));
    EXPECT_EQ(err, QStringLiteral("Invalid low and high\n"));

    err.clear();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(manager.setSensitivityProblem(1, {{nan, 1}}, err));
    EXPECT_EQ(err, QStringLiteral("Invalid low and high\n"));

    err.clear();
    EXPECT_TRUE(manager.setSensitivityProblem(1, {{1, 1}, {-2, 3}}, err));  // equal bounds are fine
    EXPECT_TRUE(err.isEmpty());
}

TEST(EfastManager, RefusesSampleParametersWithoutRoomForHarmonics)
{
    doeFunc::DoeFunctionManager link;
    DoeAlgorithmManager manager;
    manager.setRegressionFuncAndIdx(&link, 0);
    QString err;
    QVector<double> s1, st;
    // Nothing set up yet: no factors to analyse.
    EXPECT_FALSE(manager.doSensitivityAnalysis_eFast(1000, 4, s1, st, err));
    EXPECT_EQ(err, QStringLiteral("eFast invalid input params!\n"));

    ASSERT_TRUE(manager.setSensitivityProblem(1, {{0, 1}}, err));
    for (auto nm : {qMakePair(64, 4), qMakePair(0, 4), qMakePair(100, 0), qMakePair(-5, 1),
                    qMakePair(1000, -4), qMakePair(2000000000, 5)}) {
        err.clear();
        EXPECT_FALSE(manager.doSensitivityAnalysis_eFast(nm.first, nm.second, s1, st, err))
            << nm.first << ", " << nm.second;
        EXPECT_EQ(err, QStringLiteral("eFast invalid input params!\n"));
    }
}

TEST(EfastManager, ReportsAMissingOrUnusableModel)
{
    QString err;
    QVector<double> s1{1}, st{1};
    {
        DoeAlgorithmManager manager;  // no engine link lent
        ASSERT_TRUE(manager.setSensitivityProblem(1, {{0, 1}, {0, 1}}, err));
        EXPECT_FALSE(manager.doSensitivityAnalysis_eFast(65, 4, s1, st, err));
        EXPECT_EQ(err, QStringLiteral("unknown fault.\neFast genarate Failed!\n"));
        QVector<double> y{5};
        manager.getPreY(y);
        EXPECT_EQ(y, QVector<double>{5});  // nothing evaluated: y untouched
    }
    {
        doeFunc::DoeFunctionManager link;  // an engine link whose slot holds no model
        DoeAlgorithmManager manager;
        manager.setRegressionFuncAndIdx(&link, 0);
        err.clear();
        ASSERT_TRUE(manager.setSensitivityProblem(1, {{0, 1}, {0, 1}}, err));
        EXPECT_FALSE(manager.doSensitivityAnalysis_eFast(65, 4, s1, st, err));
        EXPECT_EQ(err, QStringLiteral("calculate error.\neFast genarate Failed!\n"));
    }
}

TEST(EfastManager, SplitsAFittedPlaneByItsSlopes)
{
    doeFunc::DoeFunctionManager link;
    ASSERT_TRUE(link.isEngineLoaded()) << "libOrvex is missing beside the test executable";
    // y = 3 A + B on the unit square: variances 9/12 and 1/12, so indices 0.9 and 0.1.
    auto plane = [](const QVector<double>& x) { return 3.0 * x[0] + x[1]; };
    ASSERT_EQ(fitKnownFunction(link, {{"A", 0, 1}, {"B", 0, 1}}, 12, plane, {"A", "B"}), 12);

    DoeAlgorithmManager manager;
    manager.setRegressionFuncAndIdx(&link, 0);
    QString err;
    ASSERT_TRUE(manager.setSensitivityProblem(1, {{0, 1}, {0, 1}}, err));
    QVector<double> s1, st;
    ASSERT_TRUE(manager.doSensitivityAnalysis_eFast(1000, 4, s1, st, err)) << err.toStdString();
    ASSERT_EQ(s1.size(), 2);
    ASSERT_EQ(st.size(), 2);
    EXPECT_NEAR(s1[0], 0.9, 0.02);
    EXPECT_NEAR(s1[1], 0.1, 0.02);
    EXPECT_NEAR(st[0], 0.9, 0.02);
    EXPECT_NEAR(st[1], 0.1, 0.02);
    QVector<double> y;
    manager.getPreY(y);
    EXPECT_EQ(y.size(), 2 * 1000);
}
