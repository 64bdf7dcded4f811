// Orthogonal-array starts: the Hadamard and regular-fraction constructions, and the main-effect
// designs the engine finds with them.
#include "engine_test_util.h"
#include "orvex_design.h"
#include "orvex_model.h"
#include "orvex_structured_starts.h"

#include <Eigen/Cholesky>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace enginetest;

namespace {

// Main effects of k factors on [-1, 1] (intercept plus k terms), optionally with every
// two-factor interaction If Possible; the generated runs, empty when none came back.
std::vector<std::vector<int>> twoLevelDesign(int k, int runs, bool interactions)
{
    Handle h;
    for (int f = 0; f < k; ++f)
        add1(h, "X", -1.0, 1.0);
    std::vector<int> powers, necessary;
    for (int a = 0; a < k; ++a) {
        for (int f = 0; f < k; ++f)
            powers.push_back(f == a);
        necessary.push_back(1);
    }
    for (int a = 0; interactions && a < k; ++a)
        for (int b = a + 1; b < k; ++b) {
            for (int f = 0; f < k; ++f)
                powers.push_back(f == a || f == b);
            necessary.push_back(0);
        }
    EXPECT_EQ(setmodelterms(h, static_cast<int>(necessary.size()), powers.data(), necessary.data()), 0);
    seed(h, 7);
    createmodel(h, 2);
    generate(h, runs);
    std::vector<std::vector<int>> design;
    for (int r = 0; r < runs; ++r) {
        const double* v = Vfactor(h, r);
        if (!v)
            return {};
        design.emplace_back();
        for (int f = 0; f < k; ++f) {
            EXPECT_TRUE(v[f] == -1.0 || v[f] == 1.0) << "run " << r << " factor " << f;
            design.back().push_back(v[f] > 0 ? 1 : -1);
        }
    }
    return design;
}

// X'X of the main-effect model in integers: exactly n I for an orthogonal design.
bool orthogonal(const std::vector<std::vector<int>>& d)
{
    if (d.empty())
        return false;
    const int n = static_cast<int>(d.size()), k = static_cast<int>(d[0].size());
    for (int a = -1; a < k; ++a)
        for (int b = a; b < k; ++b) {
            long s = 0;
            for (const auto& run : d)
                s += (a < 0 ? 1 : run[a]) * (b < 0 ? 1 : run[b]);
            if (s != (a == b ? n : 0))
                return false;
        }
    return true;
}

}  // namespace

TEST(StructuredStarts, HadamardOrdersUpTo100)
{
    for (int n = 1; n <= 100; ++n) {
        const Eigen::MatrixXi H = orvex::hadamard(n);
        const bool expected = n == 1 || n == 2 || n % 4 == 0;
        ASSERT_EQ(H.size() > 0, expected) << n;
        if (!expected)
            continue;
        EXPECT_TRUE((H.transpose() * H - n * Eigen::MatrixXi::Identity(n, n)).isZero()) << n;
        EXPECT_TRUE((H.col(0).array() == 1).all()) << n;
    }
}

TEST(StructuredStarts, RegularFractionsHaveDistinctColumnsAndTheirResolution)
{
    // (base factors, factors, resolution of the tabled fraction)
    const struct {
        int m, k, resolution;
    } rows[] = {{3, 4, 4}, {3, 7, 3}, {4, 5, 5}, {4, 6, 4}, {4, 8, 4}, {4, 15, 3},
                {5, 6, 6}, {5, 10, 4}, {5, 16, 4}, {5, 20, 3}, {6, 7, 7}, {6, 11, 4}};
    for (const auto& r : rows) {
        const std::vector<int> cols = orvex::regularFraction(r.m, r.k);
        ASSERT_EQ(static_cast<int>(cols.size()), r.k) << r.m << " " << r.k;
        // Resolution: fewest letters in a product of columns that gives the identity (mask 0).
        int resolution = 99;
        for (unsigned s = 1; s < (1u << r.k) && r.k <= 20; ++s) {
            if (__builtin_popcount(s) >= resolution)
                continue;
            int prod = 0;
            for (int j = 0; j < r.k; ++j)
                if (s >> j & 1)
                    prod ^= cols[j];
            if (prod == 0)
                resolution = __builtin_popcount(s);
        }
        EXPECT_EQ(resolution, r.resolution) << r.m << " " << r.k;
    }
    EXPECT_TRUE(orvex::regularFraction(7, 8).empty());
    EXPECT_TRUE(orvex::regularFraction(3, 8).empty());
}

TEST(StructuredStarts, MainEffectDesignsAreOrthogonal)
{
    const struct {
        int factors, runs;
    } rows[] = {{19, 20}, {23, 24}, {20, 24}, {15, 16}, {11, 12}, {27, 28}};
    for (const auto& r : rows)
        EXPECT_TRUE(orthogonal(twoLevelDesign(r.factors, r.runs, false)))
            << r.factors << " factors in " << r.runs << " runs";
}

// With a fixed number of starts (more than the search keeps in memory at once) or the engine's
// budget (with kicks from the best design), the design depends on the seed alone, not on how many
// threads ran the search.
TEST(SearchEffort, DesignsDoNotDependOnTheThreadCount)
{
    const struct {
        int factors, runs, starts;
        bool interactionsOnly;
    } rows[] = {{3, 12, 150, false}, {6, 30, 0, true}};
    for (const auto& r : rows) {
        orvex::Model model;
        ASSERT_TRUE(model.build(cubeFactors(r.factors)));
        std::vector<int> powers;
        std::vector<char> necessary;
        for (int a = 0; a < r.factors; ++a)
            for (int b = a; b < r.factors; ++b) {
                for (int f = 0; f < r.factors; ++f)
                    powers.push_back(a == b ? (f == a) * (r.interactionsOnly ? 1 : 2) : (f == a || f == b));
                necessary.push_back(1);
                if (a == b && !r.interactionsOnly) {
                    for (int f = 0; f < r.factors; ++f)
                        powers.push_back(f == a);
                    necessary.push_back(1);
                }
            }
        const orvex::DesignTerms terms = orvex::expandTerms(model, powers, necessary);
        std::vector<double> first;
        for (int threads : {1, 2, 3}) {
            orvex::DesignSearchOptions opt;
            opt.starts = r.starts;
            opt.threads = threads;
            const std::vector<double> runs = orvex::searchDesign(model, terms, r.runs, 5, opt);
            ASSERT_EQ(runs.size(), static_cast<size_t>(r.runs * r.factors));
            if (first.empty())
                first = runs;
            EXPECT_EQ(runs, first) << r.factors << " factors, " << threads << " threads";
        }
    }
}

TEST(SearchEffort, ExportsRefuseBadHandlesAndCounts)
{
    Handle h;
    const struct {
        void* handle;
        int starts, result;
    } rows[] = {{h, 0, 0}, {h, 1, 0}, {h, 2000000, 0}, {h, -1, -1}, {nullptr, 5, -1}};
    for (const auto& r : rows)
        EXPECT_EQ(setstarts(r.handle, r.starts), r.result) << r.starts;
    EXPECT_EQ(setaliasoptimal(h, 1), 0);
    EXPECT_EQ(setaliasoptimal(nullptr, 1), -1);
}

// Without If Possible terms the alias choice has nothing to act on: the same design either way.
TEST(SearchEffort, AliasOptimalWithoutIfPossibleTermsChangesNothing)
{
    std::vector<std::vector<double>> designs;
    for (int alias : {0, 1}) {
        Handle h;
        for (int f = 0; f < 4; ++f)
            add1(h, "X", 0.0, 10.0);
        const int powers[] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        const int necessary[] = {1, 1, 1, 1};
        ASSERT_EQ(setmodelterms(h, 4, powers, necessary), 0);
        setaliasoptimal(h, alias);
        seed(h, 3);
        createmodel(h, 2);
        generate(h, 10);
        designs.emplace_back();
        for (int r = 0; r < 10; ++r) {
            const double* v = Vfactor(h, r);
            ASSERT_NE(v, nullptr);
            designs.back().insert(designs.back().end(), v, v + 4);
        }
    }
    EXPECT_EQ(designs[0], designs[1]);
}

// Three-level factors (squares If Possible) and a categorical factor take the alias route too:
// a full design of finite values within the factors' ranges and levels.
TEST(SearchEffort, AliasOptimalHandlesThreeLevelAndCategoricalFactors)
{
    Handle h;
    add1(h, "A", 10.0, 20.0);
    add1(h, "B", 10.0, 20.0);
    addCategorical(h, "C", {"a", "b", "c"});
    // A, B, C Necessary; A^2, B^2, A*B If Possible.
    const int powers[] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 2, 0, 0, 0, 2, 0, 1, 1, 0};
    const int necessary[] = {1, 1, 1, 0, 0, 0};
    ASSERT_EQ(setmodelterms(h, 6, powers, necessary), 0);
    ASSERT_EQ(setaliasoptimal(h, 1), 0);
    seed(h, 2);
    ASSERT_EQ(createmodel(h, 2), 5);
    generate(h, 9);
    for (int r = 0; r < 9; ++r) {
        const double* v = Vfactor(h, r);
        ASSERT_NE(v, nullptr) << r;
        EXPECT_TRUE(v[0] >= 10.0 && v[0] <= 20.0 && v[1] >= 10.0 && v[1] <= 20.0) << r;
        EXPECT_TRUE(v[2] == 0.0 || v[2] == 1.0 || v[2] == 2.0) << r;
    }
}

// Two-factor interaction models, all terms Necessary: D-efficiency (coded [-1, 1], intercept in)
// at least the best figures two open-source design tools reach for these sizes.
TEST(SearchEffort, InteractionModelsReachThePeersEfficiency)
{
    using LMatrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;
    const struct {
        int factors, runs;
        double peers;
    } rows[] = {{8, 40, 85.20}, {12, 90, 82.85}};
    for (const auto& r : rows) {
        Handle h;
        for (int f = 0; f < r.factors; ++f)
            add1(h, "X", -1.0, 1.0);
        std::vector<int> powers, necessary;
        for (int a = 0; a < r.factors; ++a)
            for (int b = a; b < r.factors; ++b) {
                for (int f = 0; f < r.factors; ++f)
                    powers.push_back(a == b ? f == a : (f == a || f == b));
                necessary.push_back(1);
            }
        ASSERT_EQ(setmodelterms(h, static_cast<int>(necessary.size()), powers.data(), necessary.data()), 0);
        seed(h, 1);
        const int p = createmodel(h, 2);
        ASSERT_EQ(p, 1 + r.factors + r.factors * (r.factors - 1) / 2);
        generate(h, r.runs);
        LMatrix X(r.runs, p);
        for (int i = 0; i < r.runs; ++i) {
            const double* v = Vfactor(h, i);
            ASSERT_NE(v, nullptr);
            int c = 0;
            X(i, c++) = 1;
            for (int a = 0; a < r.factors; ++a)
                X(i, c++) = v[a];
            for (int a = 0; a < r.factors; ++a)
                for (int b = a + 1; b < r.factors; ++b)
                    X(i, c++) = static_cast<long double>(v[a]) * v[b];
        }
        const LMatrix M = X.transpose() * X;
        const long double logdet = 2.0L * M.llt().matrixLLT().diagonal().array().log().sum();
        const double d = static_cast<double>(100.0L * std::exp(logdet / p) / r.runs);
        EXPECT_GE(d, r.peers) << r.factors << " factors in " << r.runs << " runs";
    }
}
