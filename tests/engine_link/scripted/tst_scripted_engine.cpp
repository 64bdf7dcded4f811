// Engine link against a scripted engine: value conversion, slot addressing, names of expanded
// columns and parameters, the stepwise rules and the return of engine objects.
#include "DoeFunctionManager.h"
#include "scripted_fixture.h"

#include <cmath>
#include <memory>

using doeFunc::DoeFunctionManager;

namespace {

// Regression script: factors Color (Red, Green, Blue) and A; columns Intercept, A,
// Color{Red-Blue}, Color{Green-Blue} and one column of an unknown factor; five parameters.
void scriptColorModel(FakeEngineState* s)
{
    s->columnFactor = {0, 2, 1, 1, 9};
    s->columnCodes = {{}, {}, {1, 0, -1}, {0, 1, -1}, {}};
    s->parameterPowers = {{1, 0, 0, 0, 0},
                          {0, 2, 0, 0, 0},
                          {0, 2, 1, 0, 0},
                          {0, 0, 0, 1, 0},
                          {0, 1, 0, 0, 1}};
    s->pValues = {0.0, 0.3, 0.01, 0.01, 0.5};
}

void startColorRegression(DoeFunctionManager& m, int slot)
{
    m.initRegressionBaseData({"Color", "A"}, {2, 1}, {3, 0}, {{"Red", "Green", "Blue"}, {}},
                             {{}, {}}, slot);
}

QVector<QPair<int, int>> flagsOf(const DoeFunctionManager& m, int slot)
{
    QVector<QPair<int, int>> out;
    m.getMFInfo(out, slot);
    return out;
}

QVector<int> enteredOf(const DoeFunctionManager& m, int slot)
{
    QVector<int> out;
    for (const auto& f : flagsOf(m, slot))
        out.append(f.first);
    return out;
}

}  // namespace

TEST_F(ScriptedEngineTest, FactorsAndResponsesReachTheEngineAsUtf8)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded());
    ASSERT_TRUE(m.createDoeObj());
    m.addContinuousFactor(QString::fromUtf8("Temp\u00e9rature"), 1.0, 2.0, -1);
    m.addCategoricalFactor("Color", {QString::fromUtf8("Gr\u00fcn"), "Rot"}, -1);
    m.addDiscreteFactor("Speed", {"1.5", "abc", "3"}, -1);
    m.addResponses("Y", -1);
    m.setRandomSeed(4242UL, -1);

    FakeObject* o = state->objects.back().get();
    EXPECT_EQ(o->factorNames,
              (std::vector<std::string>{"Temp\xc3\xa9rature", "Color", "Speed"}));
    ASSERT_EQ(o->categoricalLevels.size(), 1u);
    EXPECT_EQ(o->categoricalLevels[0], (std::vector<std::string>{"Gr\xc3\xbcn", "Rot"}));
    ASSERT_EQ(o->discreteValues.size(), 1u);
    EXPECT_EQ(o->discreteValues[0], (std::vector<double>{1.5, 0.0, 3.0}));
    EXPECT_EQ(o->responses, (std::vector<std::string>{"Y"}));
    EXPECT_EQ(o->seed, 4242UL);
}

TEST_F(ScriptedEngineTest, RowsAreWrittenOnlyWithinTheGeneratedRuns)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObj());
    m.addContinuousFactor("A", 0, 1, -1);
    m.addContinuousFactor("B", 0, 1, -1);
    m.addContinuousFactor("C", 0, 1, -1);
    FakeObject* o = state->objects.back().get();

    m.setVFactorByLineIdx({"1", "2", "3"}, 0, -1);  // nothing generated yet
    EXPECT_TRUE(o->factorRows.empty());

    m.generateDoeTable(4, -1);
    EXPECT_EQ(o->generatedRuns, 4);
    m.setVFactorByLineIdx({"1", "2", "3"}, 4, -1);   // beyond the last run
    m.setVFactorByLineIdx({"1", "2", "3"}, -1, -1);  // before the first
    m.setVFactorByLineIdx({}, 1, -1);
    EXPECT_TRUE(o->factorRows.empty());

    // A short row is padded with zeros instead of letting the engine read past its end.
    m.setVFactorByLineIdx({"1.25", "x"}, 2, -1);
    EXPECT_EQ(o->factorRows[2], (std::vector<double>{1.25, 0.0, 0.0}));

    double* row = m.getVFactorByLineIdx(2, -1);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row[0], 1.25);

    m.setVResponseByLineIdx({"7.5", "9"}, 3, -1);  // default slot takes the first value
    EXPECT_EQ(o->responseValues[3], 7.5);
    m.setVResponseByLineIdx({"7.5"}, 9, -1);
    EXPECT_EQ(o->responseValues.count(9), 0u);
}

TEST_F(ScriptedEngineTest, ListSlotsPickTheirOwnResponseValue)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(2));
    ASSERT_EQ(state->objects.size(), 2u);
    for (int slot = 0; slot < 2; ++slot)
        m.generateDoeTable(3, slot);
    m.setVResponseByLineIdx({"10", "20"}, 1, 1);
    m.setVResponseByLineIdx({"10", "20"}, 1, 0);
    EXPECT_EQ(state->objects[0]->responseValues[1], 10.0);
    EXPECT_EQ(state->objects[1]->responseValues[1], 20.0);

    // Any slot outside the list addresses the default object, which has none here.
    EXPECT_EQ(m.creataDoeModel(2, 5), -1);
    state->createModelResult = 3;
    EXPECT_EQ(m.creataDoeModel(2, 1), 3);
    EXPECT_EQ(state->objects[1]->modelKind, 2);
}

TEST_F(ScriptedEngineTest, ExpandedColumnsAndParametersAreNamed)
{
    scriptColorModel(state);
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    startColorRegression(m, 0);

    QVector<QString> columns;
    m.getSaveFacName(columns, 0);
    EXPECT_EQ(columns, (QVector<QString>{"Intercept", "A", "Color{Red-Blue}", "Color{Green-Blue}",
                                         ""}));
    QVector<QString> params;
    m.getSaveParamName(params, 0);
    EXPECT_EQ(params, (QVector<QString>{"Intercept", "A*A", "A*A*Color{Red-Blue}",
                                        "Color{Green-Blue}", "A*"}));

    // The intercept starts entered and locked, and the first step fits it alone.
    EXPECT_EQ(flagsOf(m, 0), (QVector<QPair<int, int>>{{1, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}));
    FakeObject* o = state->objects[0].get();
    EXPECT_EQ(o->stepStarts, 1);
    EXPECT_EQ(o->stepCalls, 1);
    EXPECT_EQ(o->lastEntered, (std::vector<int>{1, 0, 0, 0, 0}));
}

TEST_F(ScriptedEngineTest, CategoricalNamesJoinSeveralLevels)
{
    state->columnFactor = {0, 1};
    state->columnCodes = {{}, {1, 1, 0, -1}};
    state->parameterPowers = {{1, 0}, {0, 1}};
    state->pValues = {0, 0};
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    // A level count beyond the level names adds nothing for the missing names.
    m.initRegressionBaseData({"Shape"}, {2}, {4}, {{"Round", "Flat", "Long"}}, {{}}, 0);
    QVector<QString> columns;
    m.getSaveFacName(columns, 0);
    EXPECT_EQ(columns, (QVector<QString>{"Intercept", "Shape{Round&Flat-}"}));
}

TEST_F(ScriptedEngineTest, ResultReadersAnswerOnlyForListSlots)
{
    scriptColorModel(state);
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObj());
    ASSERT_TRUE(m.createDoeObjMulti(1));
    startColorRegression(m, -1);  // fits the default slot, which readers never report

    for (int slot : {-1, 1, 7}) {
        double sse = -9;
        int dfe = -9;
        double rmse = -9, rsq = -9, rsqAdj = -9, cp = -9, aicc = -9, bicc = -9;
        int p = -9;
        m.getStepResult(sse, dfe, rmse, rsq, rsqAdj, p, cp, aicc, bicc, slot);
        EXPECT_EQ(sse, -9);
        EXPECT_EQ(p, -9);
        double est = -9, se = -9, t = -9, pt = -9;
        m.getRunParameter(1, est, se, t, pt, slot);
        EXPECT_EQ(est, -9);
        int ndf = -9;
        double ss = -9, f = -9, pf = -9;
        m.getStepwiseParameter(1, est, ndf, ss, f, pf, slot);
        EXPECT_EQ(ndf, -9);
        QVector<QString> names{"stale"};
        m.getSaveFacName(names, slot);
        EXPECT_TRUE(names.isEmpty());
        names = {"stale"};
        m.getSaveParamName(names, slot);
        EXPECT_TRUE(names.isEmpty());
        QVector<QPair<int, int>> flags{{5, 5}};
        m.getMFInfo(flags, slot);
        EXPECT_EQ(flags.size(), 1);
    }
    EXPECT_EQ(state->objects[0]->stepCalls, 1);  // the default object did take the step
}

TEST_F(ScriptedEngineTest, StepAndRunResultsAreKeptPerSlot)
{
    scriptColorModel(state);
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    startColorRegression(m, 0);
    m.setMFInfo({{1, 1}, {1, 0}, {0, 0}, {1, 1}, {0, 0}}, 0);
    m.doStep(0);
    double sse = 0, rmse = 0, rsq = 0, rsqAdj = 0, cp = 0, aicc = 0, bicc = 0;
    int dfe = 0, p = 0;
    m.getStepResult(sse, dfe, rmse, rsq, rsqAdj, p, cp, aicc, bicc, 0);
    EXPECT_EQ(sse, 30.0);
    EXPECT_EQ(dfe, 17);
    EXPECT_EQ(p, 3);
    EXPECT_EQ(bicc, 5.5);

    m.runModel(0);
    double ssE = 0, ssM = 0, rmse2 = 0, r2 = 0, r2a = 0, f = 0, pf = 0;
    int dfM = 0, dfE = 0;
    m.getRunModelResult(ssE, ssM, dfM, dfE, rmse2, r2, r2a, f, pf, 0);
    EXPECT_EQ(ssM, 2.0);
    EXPECT_EQ(dfE, 4);
    EXPECT_EQ(pf, 0.009);
    EXPECT_EQ(state->objects[0]->lastEntered, (std::vector<int>{1, 1, 0, 1, 0}));

    double est = 0, se = 0, t = 0, pt = 0;
    m.getRunParameter(2, est, se, t, pt, 0);
    EXPECT_EQ(est, 3.0);
    EXPECT_EQ(t, 6.0);
}

TEST_F(ScriptedEngineTest, FlagEditsNeverTouchTheIntercept)
{
    scriptColorModel(state);
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    m.setMFInfo({{0, 0}, {1, 1}}, 0);  // before any regression: no flags to edit
    startColorRegression(m, 0);
    const auto initial = flagsOf(m, 0);

    m.setMFInfo({{0, 0}}, 0);  // one pair only covers the intercept
    EXPECT_EQ(flagsOf(m, 0), initial);

    m.setMFInfo({{0, 0}, {1, 0}, {0, 1}, {1, 1}, {1, 0}, {1, 1}, {1, 1}}, 0);
    EXPECT_EQ(flagsOf(m, 0), (QVector<QPair<int, int>>{{1, 1}, {1, 0}, {0, 1}, {1, 1}, {1, 0}}));
}

TEST_F(ScriptedEngineTest, ForwardEntersTheSmallestFreeProbability)
{
    scriptColorModel(state);  // p: 0.3, 0.01, 0.01, 0.5 for terms 1..4
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    startColorRegression(m, 0);

    // Equal p-values: the lower term number wins.
    EXPECT_TRUE(m.stepwiseStepCombineForward(0.25, 0.1, 0));
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 1, 0, 0}));
    EXPECT_TRUE(m.stepwiseStepCombineForward(0.25, 0.1, 0));
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 1, 1, 0}));
    // The next best (0.3) is not below the entry level; the comparison is strict.
    EXPECT_FALSE(m.stepwiseStepCombineForward(0.3, 0.1, 0));

    // A locked term is passed over.
    m.setMFInfo({{1, 1}, {0, 1}, {1, 0}, {1, 0}, {0, 0}}, 0);
    EXPECT_TRUE(m.stepwiseStepCombineForward(0.9, 0.1, 0));
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 1, 1, 1}));

    // With every free term entered nothing is left to enter, whatever the entry level.
    EXPECT_FALSE(m.stepwiseStepCombineForward(2.0, 0.1, 0));
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 1, 1, 1}));
    // Steps leave the fitting to the caller.
    EXPECT_EQ(state->objects[0]->stepCalls, 1);
}

TEST_F(ScriptedEngineTest, BackwardRemovesTheLargestEnteredProbability)
{
    scriptColorModel(state);
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    startColorRegression(m, 0);
    m.setMFInfo({{1, 1}, {1, 0}, {1, 0}, {1, 0}, {1, 1}}, 0);  // term 4 (p 0.5) is locked

    EXPECT_TRUE(m.stepwiseStepCombineBackward(0.0, 0.1, 0));  // removes term 1 (0.3)
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 1, 1, 1}));
    EXPECT_FALSE(m.stepwiseStepCombineBackward(0.0, 0.01, 0));  // 0.01 > 0.01 is false
    EXPECT_TRUE(m.stepwiseStepCombineBackward(0.0, 0.005, 0));  // tie: term 2 goes first
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 0, 1, 1}));

    // The intercept is never removed, even when nothing else can leave.
    m.setMFInfo({{1, 1}, {0, 0}, {0, 0}, {0, 0}, {1, 1}}, 0);
    EXPECT_FALSE(m.stepwiseStepCombineBackward(0.0, -5.0, 0));
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 0, 0, 1}));
}

TEST_F(ScriptedEngineTest, MixedTriesRemovalBeforeEntry)
{
    scriptColorModel(state);
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    startColorRegression(m, 0);
    m.setMFInfo({{1, 1}, {1, 0}, {0, 0}, {0, 0}, {0, 0}}, 0);

    EXPECT_TRUE(m.stepwiseStepCombineMixed(0.05, 0.2, 0));  // term 1 (0.3) leaves first
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 0, 0, 0}));
    EXPECT_TRUE(m.stepwiseStepCombineMixed(0.05, 0.2, 0));  // then term 2 (0.01) enters
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 1, 0, 0}));
    EXPECT_TRUE(m.stepwiseStepCombineMixed(0.05, 0.2, 0));
    EXPECT_FALSE(m.stepwiseStepCombineMixed(0.05, 0.2, 0));  // 0.3 and 0.5 stay out
    EXPECT_EQ(enteredOf(m, 0), (QVector<int>{1, 0, 1, 1, 0}));
}

TEST_F(ScriptedEngineTest, StepwiseNeedsAStartedRegression)
{
    scriptColorModel(state);
    DoeFunctionManager m;
    EXPECT_FALSE(m.stepwiseStepCombineForward(0.5, 0.5, 0));  // no object at all
    ASSERT_TRUE(m.createDoeObjMulti(1));
    EXPECT_FALSE(m.stepwiseStepCombineForward(0.5, 0.5, 0));  // object, but no flags yet
    EXPECT_FALSE(m.stepwiseStepCombineBackward(0.5, 0.0, 0));
    EXPECT_FALSE(m.stepwiseStepCombineMixed(0.5, 0.0, 0));
}

TEST_F(ScriptedEngineTest, PredictionSendsOneValuePerFactor)
{
    scriptColorModel(state);
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    m.addContinuousFactor("A", 0, 1, 0);
    m.addContinuousFactor("B", 0, 1, 0);
    m.addContinuousFactor("C", 0, 1, 0);
    m.initRegressionBaseData({"A", "B", "C"}, {1, 1, 1}, {0, 0, 0}, {{}, {}, {}}, {{}, {}, {}}, 0);
    FakeObject* o = state->objects[0].get();

    double o1 = -1, o2 = -1, o3 = -1, o4 = -1, o5 = -1;
    m.predictResult({}, o1, o2, o3, o4, o5, 0.05, 0);  // empty input: nothing happens
    EXPECT_EQ(o1, -1);

    m.predictResult({"1", "2", "3", "100"}, o1, o2, o3, o4, o5, 0.1, 0);
    EXPECT_EQ(o->lastX, (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(o1, 6.0);
    EXPECT_EQ(o2, 5.0);
    EXPECT_EQ(o3, 4.0);
    EXPECT_EQ(o4, 7.0);
    EXPECT_EQ(o5, 8.0);
    EXPECT_EQ(o->lastAlpha, 0.1);

    m.predictResult({"4"}, o1, o2, o3, o4, o5, 0.05, 0);
    EXPECT_EQ(o->lastX, (std::vector<double>{4, 0, 0}));

    double pred = 0, se1 = 0, se2 = 0;
    int dfe = 0;
    m.predictResult2({1.5, 2.5, 3.0, 9.0}, pred, se1, se2, dfe, 0);
    EXPECT_EQ(pred, 7.0);
    EXPECT_EQ(dfe, 7);
    m.predictResult2({1.5}, pred, se1, se2, dfe, 0);
    EXPECT_EQ(o->lastX, (std::vector<double>{1.5, 0, 0}));
}

TEST_F(ScriptedEngineTest, MaximumReplacesSettingsWithShortestTexts)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.createDoeObjMulti(1));
    QList<QString> settings{"keep"};
    EXPECT_TRUE(std::isnan(m.calculateMax(settings, 1, 2, 3, 0, 1, 0, 10, 0)));  // no factors
    EXPECT_EQ(settings, (QList<QString>{"keep"}));

    m.addContinuousFactor("A", 0, 1, 0);
    m.addContinuousFactor("B", 0, 1, 0);
    m.initRegressionBaseData({"A", "B"}, {1, 1}, {0, 0}, {{}, {}}, {{}, {}}, 0);
    state->maxSettings = {0.1, 1e-7};
    state->maxValue = 0.875;
    EXPECT_EQ(m.calculateMax(settings, 1, 2, 3, 0, 1, 0, 10, 0), 0.875);
    EXPECT_EQ(settings, (QList<QString>{"0.1", "1e-07"}));
}

TEST_F(ScriptedEngineTest, AbandonedEngineObjectsAreReleased)
{
    {
        DoeFunctionManager m;
        ASSERT_TRUE(m.createDoeObj());
        ASSERT_TRUE(m.createDoeObj());  // the first default object is given back
        EXPECT_TRUE(state->objects[0]->released);
        EXPECT_FALSE(state->objects[1]->released);

        ASSERT_TRUE(m.createDoeObjMulti(2));
        ASSERT_TRUE(m.createDoeObjMulti(1));  // the whole list is replaced
        EXPECT_TRUE(state->objects[2]->released);
        EXPECT_TRUE(state->objects[3]->released);
        EXPECT_FALSE(state->objects[4]->released);

        EXPECT_FALSE(m.createDoeObjMulti(0));  // refused: the list stays
        EXPECT_FALSE(state->objects[4]->released);
    }
    // Destroying the manager gives back what it still held.
    for (const auto& o : state->objects)
        EXPECT_TRUE(o->released);
    EXPECT_EQ(state->releaseCalls, 5);
}

TEST_F(ScriptedEngineTest, ManagersShareTheEngineUntilTheLastOneGoes)
{
    auto first = std::make_unique<DoeFunctionManager>();
    {
        DoeFunctionManager second;
        ASSERT_TRUE(second.createDoeObj());
    }
    // The first manager still reaches the engine after the second one unloaded its reference.
    ASSERT_TRUE(first->createDoeObj());
    EXPECT_EQ(state->objects.size(), 2u);
}
