// Augmenting a design: runs kept fixed (fixrun) while the search places the others.
#include "engine_test_util.h"

#include <Eigen/Cholesky>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace enginetest;

namespace {

using LMatrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;

// The 2^(3-1) main-effects fraction, X3 = X1*X2.
const std::vector<std::vector<double>> kFraction
    = { { -1, -1, 1 }, { 1, -1, -1 }, { -1, 1, -1 }, { 1, 1, 1 } };

// D-efficiency 100 det(X'X)^(1/p) / n of the full quadratic in three factors, in long double.
long double quadraticDEfficiency(const std::vector<std::vector<double>>& runs)
{
    LMatrix X(static_cast<long>(runs.size()), 10);
    for (size_t i = 0; i < runs.size(); ++i) {
        const long double a = runs[i][0], b = runs[i][1], c = runs[i][2];
        const long double r[10] = { 1, a, b, c, a * b, a * c, b * c, a * a, b * b, c * c };
        for (int j = 0; j < 10; ++j)
            X(static_cast<long>(i), j) = r[j];
    }
    const LMatrix A = X.transpose() * X;
    const Eigen::LDLT<LMatrix> ldlt(A);
    long double det = 1;
    for (long j = 0; j < 10; ++j)
        det *= ldlt.vectorD()[j];
    return det > 0 ? 100.0L * std::pow(det, 1.0L / 10) / runs.size() : 0.0L;
}

// Generates n runs on h, sets the first rows and fixes them (mask: null for whole rows), then
// reads every run back.
std::vector<std::vector<double>> augment(
    void* h, int n, const std::vector<std::vector<double>>& fixed, const int* mask = nullptr)
{
    generate(h, n);
    for (size_t r = 0; r < fixed.size(); ++r) {
        Vfactorset(h, fixed[r].data(), static_cast<int>(r));
        EXPECT_EQ(fixrun(h, static_cast<int>(r), mask), 0);
    }
    std::vector<std::vector<double>> runs;
    for (int r = 0; r < n; ++r) {
        const double* v = Vfactor(h, r);
        if (!v)
            return {};
        runs.emplace_back(v, v + fixed.front().size());
    }
    return runs;
}

} // namespace

// The kept runs come back unchanged and first; the added ones are searched for the criterion.
// Reference: bench/augment_reference.py (300 starts of whole-run exchange over the 3^3 grid
// with the four runs fixed), D-efficiency of the best 14-run design.
TEST(EngineFixedRuns, KeptRunsStayAndTheOthersAreSearched)
{
    constexpr double kReferenceD = 46.304474191222; // det(X'X) = 131072000
    struct Case {
        const char* name;
        int criterion;
        bool ifPossibleInteractions; // main effects Necessary, 2FI If Possible, via setmodelterms
        int added;
    } cases[] = {
        { "D, full quadratic", 0, false, 10 },
        { "I, full quadratic", 1, false, 10 },
        { "Bayesian D, 2FI If Possible", 0, true, 4 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Handle h;
        for (const char* name : { "X1", "X2", "X3" })
            add1(h, name, -1, 1);
        if (c.ifPossibleInteractions) {
            const int powers[] = { 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0, 1, 0, 1, 0, 1, 1 };
            const int necessary[] = { 1, 1, 1, 0, 0, 0 };
            ASSERT_EQ(setmodelterms(h, 6, powers, necessary), 0);
        }
        ASSERT_EQ(setcriterion(h, c.criterion), 0);
        seed(h, 7);
        ASSERT_GT(createmodel(h, 2), 0);
        const auto runs = augment(h, 4 + c.added, kFraction);
        ASSERT_EQ(runs.size(), 4u + c.added);
        for (size_t r = 0; r < kFraction.size(); ++r)
            EXPECT_EQ(runs[r], kFraction[r]) << "run " << r;
        bool moved = false;
        for (size_t r = 4; r < runs.size(); ++r)
            for (double v : runs[r]) {
                EXPECT_TRUE(v >= -1.0 && v <= 1.0);
                moved = moved || v != 0.0;
            }
        EXPECT_TRUE(moved) << "the added runs stayed at the placeholder";
        if (!c.ifPossibleInteractions) {
            EXPECT_GT(quadraticDEfficiency(runs), 0.0L);
        }
        if (c.criterion == 0 && !c.ifPossibleInteractions) {
            EXPECT_GE(static_cast<double>(quadraticDEfficiency(runs)), kReferenceD - 1e-9);
        }
    }
}

// Fixing some cells only: a block column held at block 2 for the new runs while their factors
// are searched; the old runs (block 1) stay whole.
TEST(EngineFixedRuns, KeptCellsOfFreeRuns)
{
    Handle h;
    add1(h, "X1", -1, 1);
    add1(h, "X2", -1, 1);
    addCategorical(h, "Block", { "1", "2" });
    seed(h, 3);
    ASSERT_GT(createmodel(h, 2), 0);
    const std::vector<std::vector<double>> old = { { -1, -1, 0 }, { 1, 1, 0 }, { -1, 1, 0 } };
    generate(h, 9);
    for (int r = 0; r < 9; ++r) {
        const std::vector<double> row = r < 3 ? old[r] : std::vector<double> { 0, 0, 1 };
        Vfactorset(h, row.data(), r);
        const int blockOnly[] = { 0, 0, 1 };
        ASSERT_EQ(fixrun(h, r, r < 3 ? nullptr : blockOnly), 0);
    }
    int moved = 0;
    for (int r = 0; r < 9; ++r) {
        const double* v = Vfactor(h, r);
        ASSERT_NE(v, nullptr);
        if (r < 3) {
            EXPECT_EQ(std::vector<double>(v, v + 3), old[r]);
        } else {
            EXPECT_EQ(v[2], 1.0) << "run " << r;
            moved += v[0] != 0.0 || v[1] != 0.0;
        }
    }
    EXPECT_GT(moved, 0);
}

// Marks that cannot hold are refused and leave the earlier marks; fixing every row means no
// search at all.
TEST(EngineFixedRuns, RefusalsAndAllRowsFixed)
{
    Handle h;
    add1(h, "X1", 0, 10);
    addCategorical(h, "C", { "a", "b", "c" });
    ASSERT_GT(createmodel(h, 2), 0);
    generate(h, 6);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        int row;
        std::vector<double> values;
        int expected;
    } cases[] = {
        { "row below 0", -1, { 1, 0 }, -1 },
        { "row past the runs", 6, { 1, 0 }, -1 },
        { "level index not whole", 0, { 1, 1.5 }, -1 },
        { "level index past the levels", 0, { 1, 3 }, -1 },
        { "not finite", 0, { nan, 1 }, -1 },
        { "outside the range is kept", 1, { 12, 2 }, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.row >= 0 && c.row < 6)
            Vfactorset(h, c.values.data(), c.row);
        EXPECT_EQ(fixrun(h, c.row, nullptr), c.expected);
    }
    EXPECT_EQ(fixrun(nullptr, 0, nullptr), -1);
    const std::vector<std::vector<double>> all
        = { { 0, 0 }, { 10, 1 }, { 5, 2 }, { 0, 2 }, { 10, 0 }, { 2.5, 1 } };
    for (int r = 0; r < 6; ++r) {
        Vfactorset(h, all[r].data(), r);
        ASSERT_EQ(fixrun(h, r, nullptr), 0);
    }
    for (int r = 0; r < 6; ++r) {
        const double* v = Vfactor(h, r);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(std::vector<double>(v, v + 2), all[r]);
    }
    generate(h, 6); // a new design drops the marks: the search places every run again
    EXPECT_NE(Vfactor(h, 0), nullptr);
}
