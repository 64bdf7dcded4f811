// Every export on bad input: unknown handles, null pointers, indices out of range, non-finite
// data and calls before the data they need return the failure value or leave outputs alone.
#include "engine_test_util.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

constexpr double kUntouched = -7;

void expectStepUntouched(const StepOut& s)
{
    EXPECT_EQ(s.sse, kUntouched);
    EXPECT_EQ(s.dfe, -7);
    EXPECT_EQ(s.p, -7);
    EXPECT_EQ(s.bic, kUntouched);
}

void callEverything(void* h)
{
    add1(h, "A", 0, 1);
    const char* levels[2] = {"a", "b"};
    add2(h, "C", levels, 2);
    const double vals[2] = {1, 2};
    add3(h, "D", vals, 2);
    addresponse(h, "Y");
    seed(h, 1);
    EXPECT_EQ(createmodel(h, 2), -1);
    generate(h, 5);
    EXPECT_EQ(Vfactor(h, 0), nullptr);
    const double run[3] = {0, 0, 0}, y = 1;
    Vfactorset(h, run, 0);
    Vreponse(h, &y, 0);
    stepstart(h);
    EXPECT_EQ(numexpandfac(h), -1);
    EXPECT_EQ(numparameter(h), -1);
    int factor = -7, codes[4] = {-7, -7, -7, -7};
    getexpandvalue(h, 1, &factor, codes);
    EXPECT_EQ(factor, -7);
    getparameter(h, 1, codes);
    EXPECT_EQ(codes[0], -7);
    const int entered[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    expectStepUntouched(doStep(h, std::vector<int>(entered, entered + 8)));
    const StepParamOut sp = stepParam(h, 0);
    EXPECT_EQ(sp.estimate, kUntouched);
    const RunOut r = doRun(h, std::vector<int>(entered, entered + 8));
    EXPECT_EQ(r.sse, kUntouched);
    EXPECT_EQ(runParam(h, 0).estimate, kUntouched);
    double out[5] = {0, 0, 0, 0, 0};
    predict(h, run, &out[0], &out[1], &out[2], &out[3], &out[4], 0.05);
    int dfe = -7;
    predict2(h, run, &out[0], &out[1], &out[2], &dfe);
    double x[3] = {kUntouched, kUntouched, kUntouched};
    EXPECT_TRUE(std::isnan(calcmax(h, x, 0, 1, 2, 0, 0.5, 1, 10)));
    EXPECT_EQ(x[0], kUntouched);
    ReleaseDOEObj(h);
}

}  // namespace

TEST(EngineBadInput, NullHandleIsRefusedEverywhere)
{
    callEverything(nullptr);
}

TEST(EngineBadInput, ReleasedOrForeignHandleIsRefused)
{
    void* h = CreateDOEObj();
    ASSERT_NE(h, nullptr);
    ReleaseDOEObj(h);
    callEverything(h);  // also releases it a second time
    int notAnEngine = 0;
    callEverything(&notAnEngine);
}

TEST(EngineBadInput, NullPointersAndRangesWithAModel)
{
    Handle h;
    add1(h, nullptr, 0, 1);  // a null name is an empty name
    add2(h, "C", nullptr, 2);
    EXPECT_EQ(createmodel(h, 2), -1);  // the null level list makes that factor unusable

    Handle g;
    add1(g, "A", 0, 1);
    const char* levels[3] = {"x", nullptr, "z"};
    add2(g, "C", levels, 3);
    ASSERT_EQ(createmodel(g, 2), 1 + 3 + 1 + 2);
    EXPECT_EQ(Vfactor(g, 0), nullptr);  // before generate
    generate(g, 6);
    Vfactorset(g, nullptr, 0);
    Vreponse(g, nullptr, 0);
    const double run[2] = {0.5, 1};
    Vfactorset(g, run, 6);
    Vfactorset(g, run, -1);
    const double y = 2;
    Vreponse(g, &y, 99);
    int factor = -7, codes[3] = {-7, -7, -7};
    getexpandvalue(g, 4, &factor, codes);
    getexpandvalue(g, -1, &factor, codes);
    EXPECT_EQ(factor, -7);
    getexpandvalue(g, 1, &factor, nullptr);  // a continuous column writes no codes
    EXPECT_EQ(factor, 1);
    getparameter(g, 7, codes);
    getparameter(g, -1, codes);
    getparameter(g, 0, nullptr);
    EXPECT_EQ(codes[0], -7);

    // Before stepstart nothing is fitted.
    expectStepUntouched(doStep(g, std::vector<int>(7, 1)));
    stepstart(g);
    step(g, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    // Null outputs are skipped; the others are written.
    double sse = kUntouched;
    const std::vector<int> entered(7, 1);
    step(g, entered.data(), &sse, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(sse, kUntouched);
    EXPECT_EQ(stepParam(g, 7).estimate, kUntouched);
    EXPECT_EQ(stepParam(g, -1).estimate, kUntouched);
    EXPECT_EQ(runParam(g, 0).estimate, kUntouched);  // before runmodel
    runmodel(g, nullptr, &sse, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    double out[5] = {0, 0, 0, 0, 0};
    predict(g, nullptr, &out[0], &out[1], &out[2], &out[3], &out[4], 0.05);
    EXPECT_TRUE(std::isnan(out[0]));
    predict(g, run, nullptr, nullptr, nullptr, nullptr, nullptr, 0.05);
    predict2(g, run, nullptr, nullptr, nullptr, nullptr);
}

TEST(EngineBadInput, NonFiniteOrInvalidRunsAreLeftOutOfTheFit)
{
    Handle h;
    add1(h, "A", 0, 10);
    addCategorical(h, "C", {"x", "y"});
    ASSERT_EQ(createmodel(h, 2), 5);
    const int n = 10;
    generate(h, n);
    for (int r = 0; r < n; ++r) {
        const double run[2] = {double(r), double(r % 2)};
        const double y = 1 + 2 * r + 3 * (r % 2);
        Vfactorset(h, run, r);
        Vreponse(h, &y, r);
    }
    const double nanRun[2] = {NAN, 0}, badLevel[2] = {1, -1}, infY = INFINITY;
    Vfactorset(h, nanRun, 0);
    Vfactorset(h, badLevel, 1);
    Vreponse(h, &infY, 2);
    // Rows 0 to 2 are left out; the rest fit exactly.
    stepstart(h);
    const StepOut s = doStep(h, {1, 1, 1, 0, 0});
    EXPECT_EQ(s.dfe, n - 3 - 3);
    EXPECT_NEAR(s.sse, 0.0, 1e-12);
    EXPECT_FALSE(std::isnan(s.rsq));
}

TEST(EngineBadInput, FewerRunsThanParametersFitsWhatIsEstimable)
{
    Handle h;
    for (int i = 0; i < 3; ++i)
        add1(h, "X", 0, 1);
    ASSERT_EQ(createmodel(h, 2), 10);
    generate(h, 4);
    for (int r = 0; r < 4; ++r) {
        const double* v = Vfactor(h, r);
        ASSERT_NE(v, nullptr);
        const double y = v[0] + 2 * v[1];
        Vreponse(h, &y, r);
    }
    stepstart(h);
    const StepOut s = doStep(h, std::vector<int>(10, 1));
    EXPECT_EQ(s.p, 4);
    EXPECT_EQ(s.dfe, 0);
    EXPECT_TRUE(std::isnan(s.rmse));
    EXPECT_TRUE(std::isnan(s.cp));
    const RunOut r = doRun(h, std::vector<int>(10, 1));
    EXPECT_EQ(r.dfe, 0);
    EXPECT_EQ(r.dfModel, 3);
    double x[3] = {0.5, 0.5, 0.5}, pred, se1, se2;
    int dfe = -1;
    predict2(h, x, &pred, &se1, &se2, &dfe);
    EXPECT_FALSE(std::isnan(pred));
    EXPECT_EQ(dfe, 0);
    double out[5];
    predict(h, x, &out[0], &out[1], &out[2], &out[3], &out[4], 0.05);
    EXPECT_FALSE(std::isnan(out[0]));
    EXPECT_TRUE(std::isnan(out[1]));  // no error DF, no bounds
}

TEST(EngineBadInput, NoUsableRunsGivesAnEmptyFit)
{
    Handle h;
    add1(h, "A", 0, 1);
    ASSERT_EQ(createmodel(h, 2), 3);
    generate(h, 3);  // responses never set
    stepstart(h);
    const StepOut s = doStep(h, {1, 1, 1});
    EXPECT_EQ(s.p, 0);
    EXPECT_EQ(s.dfe, 0);
    EXPECT_TRUE(std::isnan(s.rsq));
    double x = 0.5, pred = 0, se1, se2;
    int dfe;
    predict2(h, &x, &pred, &se1, &se2, &dfe);
    EXPECT_TRUE(std::isnan(pred));
    double at[1] = {0.5};
    EXPECT_TRUE(std::isnan(calcmax(h, at, 0, 1, 2, 0, 0.5, 1, 3)));
    EXPECT_EQ(at[0], 0.5);
}

TEST(EngineBadInput, HugeRunCountsAreRefused)
{
    Handle h;
    add1(h, "A", 0, 1);
    createmodel(h, 2);
    generate(h, 2000000000);
    EXPECT_EQ(Vfactor(h, 0), nullptr);
}
