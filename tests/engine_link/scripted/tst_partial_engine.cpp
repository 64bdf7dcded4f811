// Engine link against an engine lacking some exports (object release, model creation, the row
// reader, stepwise start and probabilities, prediction and the maximum): the dependent operations
// do nothing or report their failure value.
#include "DoeFunctionManager.h"
#include "scripted_fixture.h"

#include <cmath>

using doeFunc::DoeFunctionManager;

TEST_F(ScriptedEngineTest, MissingExportsMakeOperationsQuiet)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded());
    ASSERT_TRUE(m.createDoeObj());
    m.addContinuousFactor("A", 0, 1, -1);
    EXPECT_EQ(m.creataDoeModel(2, -1), -1);
    m.generateDoeTable(3, -1);
    EXPECT_EQ(m.getVFactorByLineIdx(0, -1), nullptr);

    double o[5] = {-1, -1, -1, -1, -1};
    m.predictResult({"1"}, o[0], o[1], o[2], o[3], o[4], 0.05, -1);
    for (double v : o)
        EXPECT_EQ(v, -1);
    QList<QString> settings{"keep"};
    EXPECT_TRUE(std::isnan(m.calculateMax(settings, 1, 2, 3, 0, 1, 0, 10, -1)));
    EXPECT_EQ(settings, (QList<QString>{"keep"}));

    // "predict2" is present and still works.
    m.initRegressionBaseData({"A"}, {1}, {0}, {{}}, {{}}, -1);
    double pred = 0, se1 = 0, se2 = 0;
    int dfe = 0;
    m.predictResult2({2.5}, pred, se1, se2, dfe, -1);
    EXPECT_EQ(pred, 2.5);
}

TEST_F(ScriptedEngineTest, RegressionStopsWithoutStepStart)
{
    state->columnFactor = {0, 1};
    state->columnCodes = {{}, {}};
    state->parameterPowers = {{1, 0}, {0, 1}};
    state->pValues = {0, 0};
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    m.initRegressionBaseData({"A"}, {1}, {0}, {{}}, {{}}, 0);
    QVector<QString> names{"stale"};
    m.getSaveParamName(names, 0);
    EXPECT_TRUE(names.isEmpty());
    QVector<QPair<int, int>> flags{{7, 7}};
    m.getMFInfo(flags, 0);
    EXPECT_EQ(flags.size(), 1);  // no flags were made
    EXPECT_FALSE(m.stepwiseStepCombineForward(1.0, 0.0, 0));
    m.doStep(0);
    m.runModel(0);
    EXPECT_EQ(state->objects[0]->stepCalls, 0);
    EXPECT_EQ(state->objects[0]->runCalls, 0);
}

TEST_F(ScriptedEngineTest, ObjectsAreKeptWhenTheEngineCannotReleaseThem)
{
    {
        DoeFunctionManager m;
        ASSERT_TRUE(m.createDoeObj());
        ASSERT_TRUE(m.createDoeObjMulti(2));
        ASSERT_TRUE(m.createDoeObjMulti(1));
    }
    ASSERT_EQ(state->objects.size(), 4u);
    for (const auto& o : state->objects)
        EXPECT_FALSE(o->released);
    EXPECT_EQ(state->releaseCalls, 0);
}
