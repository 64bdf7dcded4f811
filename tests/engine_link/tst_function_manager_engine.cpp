// Engine link with the real engine beside the test executable: loading, design generation, naming
// of the regression terms, stepwise entry, the final fit and prediction.
#include "DoeFunctionManager.h"
#include "engine_fit_helper.h"

#include <gtest/gtest.h>

#include <cmath>

using doeFunc::DoeFunctionManager;

namespace {

double plane(const QVector<double>& x)
{
    return 2.0 + 3.0 * x[0] - x[1];
}

}  // namespace

TEST(EngineLink, GeneratesADesignWithinTheFactorRanges)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded()) << "libOrvex is missing beside the test executable";
    ASSERT_TRUE(m.createDoeObj());
    m.addContinuousFactor("A", 0.0, 10.0, -1);
    m.addCategoricalFactor("Color", {"Red", "Green", "Blue"}, -1);
    m.addDiscreteFactor("Speed", {"1", "2", "4"}, -1);
    m.addResponses("Y", -1);
    m.setRandomSeed(7UL, -1);
    ASSERT_NE(m.creataDoeModel(2, -1), -1);
    m.generateDoeTable(16, -1);
    for (int row = 0; row < 16; ++row) {
        const double* values = m.getVFactorByLineIdx(row, -1);
        ASSERT_NE(values, nullptr) << "row " << row;
        EXPECT_GE(values[0], 0.0);
        EXPECT_LE(values[0], 10.0);
        EXPECT_TRUE(values[1] == 0.0 || values[1] == 1.0 || values[1] == 2.0) << values[1];  // level index
        EXPECT_TRUE(values[2] == 0.0 || values[2] == 1.0 || values[2] == 2.0) << values[2];  // level index
    }
    // The default slot is for design generation: result readers do not report it.
    QVector<QString> names{"stale"};
    m.getSaveFacName(names, -1);
    EXPECT_TRUE(names.isEmpty());
}

TEST(EngineLink, NamesTermsAndFitsAPlane)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded());
    ASSERT_EQ(fitKnownFunction(m, {{"A", 0, 1}, {"B", -1, 1}}, 12, plane, {"A", "B"}), 12);

    QVector<QString> columns;
    m.getSaveFacName(columns, 0);
    EXPECT_EQ(columns, (QVector<QString>{"Intercept", "A", "B"}));
    QVector<QString> params;
    m.getSaveParamName(params, 0);
    ASSERT_GE(params.size(), 3);
    EXPECT_EQ(params[0], "Intercept");  // named by the rule, from its power on column 0
    EXPECT_TRUE(params.contains("A"));
    EXPECT_TRUE(params.contains("B"));
    EXPECT_TRUE(params.contains("A*B"));

    QVector<QPair<int, int>> flags;
    m.getMFInfo(flags, 0);
    ASSERT_EQ(flags.size(), params.size());
    EXPECT_EQ(flags[0], qMakePair(1, 1));

    double ssE = 0, ssM = 0, rmse = 0, r2 = 0, r2a = 0, f = 0, pf = 0;
    int dfM = 0, dfE = 0;
    m.getRunModelResult(ssE, ssM, dfM, dfE, rmse, r2, r2a, f, pf, 0);
    EXPECT_EQ(dfM, 2);
    EXPECT_EQ(dfE, 12 - 3);
    EXPECT_GT(r2, 0.999);

    double pred = 0, cl = 0, pl = 0, ch = 0, ph = 0;
    m.predictResult({"0.5", "0.25"}, pred, cl, pl, ch, ph, 0.05, 0);
    EXPECT_NEAR(pred, 2.0 + 1.5 - 0.25, 1e-2);
    EXPECT_LT(pl, cl);
    EXPECT_LE(cl, pred);
    EXPECT_LE(pred, ch);
    EXPECT_LT(ch, ph);
}

TEST(EngineLink, ForwardStepsEnterTheStrongTermsFirst)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded());
    ASSERT_EQ(fitKnownFunction(m, {{"A", 0, 1}, {"B", -1, 1}}, 12, plane, {}), 12);
    QVector<QString> params;
    m.getSaveParamName(params, 0);
    const int a = params.indexOf("A");
    const int b = params.indexOf("B");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);

    ASSERT_TRUE(m.stepwiseStepCombineForward(0.25, 0.1, 0));
    m.doStep(0);
    QVector<QPair<int, int>> flags;
    m.getMFInfo(flags, 0);
    ASSERT_EQ(flags.size(), params.size());
    EXPECT_EQ(flags[a].first, 1);  // the steepest term enters first
    EXPECT_EQ(flags[b].first, 0);

    ASSERT_TRUE(m.stepwiseStepCombineForward(0.25, 0.1, 0));
    m.doStep(0);
    m.getMFInfo(flags, 0);
    EXPECT_EQ(flags[b].first, 1);

    double sse = 0, rmse = 0, rsq = 0, rsqAdj = 0, cp = 0, aicc = 0, bicc = 0;
    int dfe = 0, p = 0;
    m.getStepResult(sse, dfe, rmse, rsq, rsqAdj, p, cp, aicc, bicc, 0);
    EXPECT_EQ(p, 3);
    EXPECT_GT(rsq, 0.999);
}

TEST(EngineLink, MaximumNeedsAFit)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    QList<QString> settings{"keep"};
    EXPECT_TRUE(std::isnan(m.calculateMax(settings, 0, 5, 10, 0, 1, 0, 10, 0)));
    EXPECT_EQ(settings, (QList<QString>{"keep"}));
}
