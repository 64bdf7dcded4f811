// Design generation: validity of the runs, reproducibility, quality on known cases, lazy search.
#include "engine_test_util.h"
#include "orvex_design.h"
#include "orvex_model.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

std::vector<double> readRuns(void* h, int n, int F)
{
    std::vector<double> runs;
    for (int r = 0; r < n; ++r) {
        const double* v = Vfactor(h, r);
        if (!v)
            return {};
        runs.insert(runs.end(), v, v + F);
    }
    return runs;
}

orvex::Model continuousModel(int k)
{
    std::vector<orvex::Factor> fs(k);
    for (auto& f : fs) {
        f.low = -1;
        f.high = 1;
    }
    orvex::Model m;
    m.build(fs);
    return m;
}

}  // namespace

TEST(EngineDesign, RunsStayInTheRegionAndOnTheLevels)
{
    Handle h;
    add1(h, "T", 100, 200);
    addCategorical(h, "C", {"a", "b", "c"});
    const double vals[4] = {1, 2, 4, 8};
    add3(h, "D", vals, 4);
    seed(h, 42);
    const int p = createmodel(h, 2);
    ASSERT_EQ(p, 1 + 4 + (1 + 2 + 1) + 2 + 1);
    generate(h, p + 3);
    const auto runs = readRuns(h, p + 3, 3);
    ASSERT_EQ(runs.size(), static_cast<size_t>(3 * (p + 3)));
    for (int r = 0; r < p + 3; ++r) {
        EXPECT_GE(runs[3 * r], 100.0);
        EXPECT_LE(runs[3 * r], 200.0);
        for (int f = 1; f < 3; ++f) {
            const double v = runs[3 * r + f];
            EXPECT_EQ(v, std::floor(v));
            EXPECT_GE(v, 0.0);
            EXPECT_LT(v, f == 1 ? 3.0 : 4.0);
        }
    }
    EXPECT_EQ(Vfactor(h, p + 3), nullptr);
    EXPECT_EQ(Vfactor(h, -1), nullptr);
}

TEST(EngineDesign, SameSeedSameRunsDifferentSeedDifferentRuns)
{
    auto make = [](unsigned long s, std::vector<double>& out) {
        Handle h;
        add1(h, "A", 0, 1);
        add1(h, "B", 0, 1);
        addCategorical(h, "C", {"x", "y"});
        seed(h, s);
        createmodel(h, 2);
        generate(h, 12);
        out = readRuns(h, 12, 3);
    };
    std::vector<double> a, b, c;
    make(7, a);
    make(7, b);
    make(8, c);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    // Seeding after generate does not change the requested design.
    Handle h;
    add1(h, "A", 0, 1);
    add1(h, "B", 0, 1);
    addCategorical(h, "C", {"x", "y"});
    seed(h, 7);
    createmodel(h, 2);
    generate(h, 12);
    seed(h, 99);
    EXPECT_EQ(readRuns(h, 12, 3), a);
}

TEST(EngineDesign, FindsTheOrthogonalTwoLevelDesign)
{
    Handle h;
    for (int i = 0; i < 5; ++i)
        addCategorical(h, ("F" + std::to_string(i)).c_str(), {"lo", "hi"});
    seed(h, 3);
    ASSERT_EQ(createmodel(h, 2), 16);
    generate(h, 16);
    const auto runs = readRuns(h, 16, 5);
    std::vector<orvex::Factor> fs(5);
    for (auto& f : fs) {
        f.kind = orvex::FactorKind::Categorical;
        f.levelNames = {"lo", "hi"};
    }
    orvex::Model m;
    m.build(fs);
    EXPECT_NEAR(orvex::dEfficiency(m, runs, 16), 100.0, 1e-6);
}

TEST(EngineDesign, QualityOnQuadraticModels)
{
    // Held reference efficiencies of the best 3-level grid exchange designs; the saturated
    // cases (n = p) are searched through X^-1 and must do as well as the general search did.
    struct Case {
        int k, n;
        double atLeast;
    };
    for (const Case& c : {Case{3, 10, 42.3}, Case{4, 20, 46.6}, Case{5, 21, 46.72}, Case{6, 28, 46.45}}) {
        const orvex::Model m = continuousModel(c.k);
        const auto runs = orvex::searchDesign(m, c.n, 1);
        EXPECT_GE(orvex::dEfficiency(m, runs, c.n), c.atLeast) << c.k << " factors";
    }
}

TEST(EngineDesign, FewerRunsThanParametersStillGivesDistinctRuns)
{
    Handle h;
    for (int i = 0; i < 4; ++i)
        add1(h, "X", -1, 1);
    ASSERT_EQ(createmodel(h, 2), 15);
    generate(h, 5);
    const auto runs = readRuns(h, 5, 4);
    ASSERT_EQ(runs.size(), 20u);
    for (int a = 0; a < 5; ++a)
        for (int b = a + 1; b < 5; ++b)
            EXPECT_NE(std::vector<double>(runs.begin() + 4 * a, runs.begin() + 4 * a + 4),
                      std::vector<double>(runs.begin() + 4 * b, runs.begin() + 4 * b + 4));
    Handle one;
    add1(one, "X", -1, 1);
    createmodel(one, 2);
    generate(one, 1);
    ASSERT_NE(Vfactor(one, 0), nullptr);
}

TEST(EngineDesign, OverwrittenRunsAreKeptAndRunCountsBelowOneGiveOne)
{
    Handle h;
    add1(h, "A", 0, 10);
    addCategorical(h, "C", {"x", "y", "z"});
    createmodel(h, 2);
    generate(h, 3);
    const double r0[2] = {1.5, 2}, r1[2] = {9, 0}, r2[2] = {4, 1};
    Vfactorset(h, r0, 0);
    Vfactorset(h, r1, 1);
    Vfactorset(h, r2, 2);
    EXPECT_EQ(Vfactor(h, 0)[0], 1.5);
    EXPECT_EQ(Vfactor(h, 1)[0], 9.0);
    EXPECT_EQ(Vfactor(h, 2)[1], 1.0);
    for (int runs : {0, -4}) {
        generate(h, runs);
        EXPECT_NE(Vfactor(h, 0), nullptr) << runs;
        EXPECT_EQ(Vfactor(h, 1), nullptr) << runs;
    }
    generate(h, 1000001);
    EXPECT_EQ(Vfactor(h, 0), nullptr);
}

TEST(EngineDesign, ConstantContinuousFactorDoesNotBreakTheSearch)
{
    Handle h;
    add1(h, "A", 0, 1);
    add1(h, "Fixed", 5, 5);
    ASSERT_EQ(createmodel(h, 2), 6);
    generate(h, 8);
    const auto runs = readRuns(h, 8, 2);
    ASSERT_EQ(runs.size(), 16u);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(runs[2 * r + 1], 5.0);
}
