// Expanded columns, parameter terms and the coding of runs.
#include "engine_test_util.h"
#include "orvex_model.h"

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

std::vector<int> powersOf(void* h, int param)
{
    std::vector<int> p(numexpandfac(h), -9);
    getparameter(h, param, p.data());
    return p;
}

}  // namespace

TEST(EngineModel, TwoContinuousFactorsGiveTheFullQuadratic)
{
    Handle h;
    add1(h, "X1", 0, 1);
    add1(h, "X2", 0, 1);
    EXPECT_EQ(createmodel(h, 2), 6);
    EXPECT_EQ(numexpandfac(h), 3);
    EXPECT_EQ(numparameter(h), 6);
    const std::vector<std::vector<int>> expected = {
        {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 2, 0}, {0, 1, 1}, {0, 0, 2}};
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(powersOf(h, j), expected[j]) << j;
    int factor = -1;
    getexpandvalue(h, 0, &factor, nullptr);
    EXPECT_EQ(factor, 0);
    getexpandvalue(h, 2, &factor, nullptr);
    EXPECT_EQ(factor, 2);
}

TEST(EngineModel, CategoricalColumnsUseSumToZeroCodes)
{
    Handle h;
    add1(h, "X", 0, 1);
    addCategorical(h, "Color", {"Red", "Green", "Blue"});
    const double values[3] = {10, 2, 5};
    add3(h, "D", values, 3);
    // Intercept and 4 main columns; X*X, X*C0, X*C1, X*D; C0*D, C1*D; D*D (C has no square).
    EXPECT_EQ(createmodel(h, 2), 1 + 4 + 1 + 2 + 1 + 2 + 1);
    EXPECT_EQ(numexpandfac(h), 5);
    int factor = -1;
    std::vector<int> codes(10, 7);
    getexpandvalue(h, 2, &factor, codes.data());
    EXPECT_EQ(factor, 2);
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 4), (std::vector<int>{1, 0, -1, 7}));
    getexpandvalue(h, 3, &factor, codes.data());
    EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 3), (std::vector<int>{0, 1, -1}));
    getexpandvalue(h, 4, &factor, codes.data());
    EXPECT_EQ(factor, 3);
    // Term order: X*X, then X with every later column, then C with D, then D*D.
    EXPECT_EQ(powersOf(h, 5), (std::vector<int>{0, 2, 0, 0, 0}));
    EXPECT_EQ(powersOf(h, 6), (std::vector<int>{0, 1, 1, 0, 0}));
    EXPECT_EQ(powersOf(h, 8), (std::vector<int>{0, 1, 0, 0, 1}));
    EXPECT_EQ(powersOf(h, 9), (std::vector<int>{0, 0, 1, 0, 1}));
    EXPECT_EQ(powersOf(h, 11), (std::vector<int>{0, 0, 0, 0, 2}));
}

TEST(EngineModel, CodingOfRuns)
{
    std::vector<orvex::Factor> fs(3);
    fs[0].low = 10;
    fs[0].high = 20;
    fs[1].kind = orvex::FactorKind::Discrete;
    fs[1].levelValues = {10, 2, 5};
    fs[2].kind = orvex::FactorKind::Categorical;
    fs[2].levelNames = {"a", "b", "c"};
    orvex::Model m;
    ASSERT_TRUE(m.build(fs));
    std::vector<double> cols(m.columnCount());
    const double run[3] = {12.5, 2.2, 2};  // level 2.2 rounds to index 2 (value 5)
    ASSERT_TRUE(m.codeRun(run, cols.data()));
    EXPECT_DOUBLE_EQ(cols[1], -0.5);
    EXPECT_DOUBLE_EQ(cols[2], (2 * 5.0 - 12) / 8);
    EXPECT_EQ(cols[3], -1.0);
    EXPECT_EQ(cols[4], -1.0);
    const double bad[3][3] = {{12, 3, 0}, {12, -0.6, 0}, {NAN, 0, 0}};
    for (const auto& b : bad)
        EXPECT_FALSE(m.codeRun(b, cols.data()));
    // Two distinct values give no square.
    fs[1].levelValues = {1, 4, 4};
    ASSERT_TRUE(m.build(fs));
    EXPECT_EQ(m.paramCount(), 1 + 4 + (1 + 1 + 2) + (0 + 2));
}

TEST(EngineModel, CreateModelFailures)
{
    EXPECT_EQ(createmodel(nullptr, 2), -1);
    Handle empty;
    EXPECT_EQ(createmodel(empty, 2), -1);
    EXPECT_EQ(numparameter(empty), -1);
    EXPECT_EQ(numexpandfac(empty), -1);

    Handle kind;
    add1(kind, "X", 0, 1);
    EXPECT_EQ(createmodel(kind, 1), -1);
    EXPECT_EQ(createmodel(kind, 2), 3);

    Handle oneLevel;
    addCategorical(oneLevel, "C", {"only"});
    EXPECT_EQ(createmodel(oneLevel, 2), -1);

    Handle repeated;
    addCategorical(repeated, "C", {"a", "a"});
    EXPECT_EQ(createmodel(repeated, 2), -1);

    Handle sameValues;
    const double v[3] = {2, 2, 2};
    add3(sameValues, "D", v, 3);
    EXPECT_EQ(createmodel(sameValues, 2), -1);

    Handle badBounds;
    add1(badBounds, "X", 0, INFINITY);
    EXPECT_EQ(createmodel(badBounds, 2), -1);

    Handle nullLevels;
    add2(nullLevels, "C", nullptr, 3);
    EXPECT_EQ(createmodel(nullLevels, 2), -1);

    Handle nanLevel;
    const double w[2] = {1, NAN};
    add3(nanLevel, "D", w, 2);
    EXPECT_EQ(createmodel(nanLevel, 2), -1);
}

TEST(EngineModel, AddingAFactorDropsTheModelAndRuns)
{
    Handle h;
    add1(h, "X", 0, 1);
    ASSERT_EQ(createmodel(h, 2), 3);
    generate(h, 4);
    ASSERT_NE(Vfactor(h, 0), nullptr);
    add1(h, "Y", 0, 1);
    EXPECT_EQ(numparameter(h), -1);
    EXPECT_EQ(Vfactor(h, 0), nullptr);
    EXPECT_EQ(createmodel(h, 2), 6);
}
