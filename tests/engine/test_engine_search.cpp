// The design search as the engine object runs it: no rows after a failed search, and convergence
// of I-optimal designs whose continuous coordinates move freely.
#include "engine_test_util.h"
#include "orvex_design.h"
#include "orvex_design_space.h"
#include "orvex_engine.h"

#include <Eigen/Cholesky>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>

using namespace enginetest;

namespace {

using LMatrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;

// k factors: main effects and two-factor products Necessary, squares as given; one power per
// factor and term, flattened.
void surface(int k, bool squaresNecessary, std::vector<int>& powers, std::vector<char>& necessary)
{
    auto add = [&](int a, int b, bool nec) {  // the product of factors a and b (b = -1: none)
        for (int f = 0; f < k; ++f)
            powers.push_back((f == a) + (f == b));
        necessary.push_back(nec);
    };
    for (int a = 0; a < k; ++a)
        add(a, -1, true);
    for (int a = 0; a < k; ++a)
        for (int b = a + 1; b < k; ++b)
            add(a, b, true);
    for (int a = 0; a < k; ++a)
        add(a, a, squaresNecessary);
}

// The searched criterion in long double: trace((X'X + prior)^-1 M), the average prediction
// variance over the cube with the If Possible prior.
long double averageVariance(const orvex::Space& sp, const std::vector<double>& coords)
{
    const int n = static_cast<int>(coords.size()) / sp.F;
    LMatrix A = LMatrix::Zero(sp.P, sp.P);
    std::vector<double> cols(sp.m.columnCount()), row(sp.P);
    for (int i = 0; i < n; ++i) {
        sp.columns(&coords[static_cast<size_t>(i) * sp.F], cols.data());
        sp.row(cols.data(), row.data());
        for (int a = 0; a < sp.P; ++a)
            for (int b = 0; b < sp.P; ++b)
                A(a, b) += static_cast<long double>(row[a]) * row[b];
    }
    for (int a = 0; a < sp.P; ++a)
        A(a, a) += sp.prior[a];
    const LMatrix V = A.ldlt().solve(LMatrix::Identity(sp.P, sp.P));
    return (V.cwiseProduct(sp.moments.cast<long double>())).sum();
}

}  // namespace

// A search that fails (memory runs out) leaves no design: every row reads as null, fitting does
// not start, and the next generate searches afresh.
TEST(EngineSearch, FailedSearchGivesNoRowsUntilTheNextGenerate)
{
    orvex::Engine e;
    for (int f = 0; f < 2; ++f) {
        orvex::Factor factor;
        factor.low = -1;
        factor.high = 1;
        e.addFactor(factor);
    }
    ASSERT_EQ(e.createModel(2), 6);
    e.setSearch([](const orvex::DesignSearchOptions&) -> std::vector<double> {
        throw std::bad_alloc();
    });
    e.generate(8);
    for (int r = 0; r < 8; ++r)
        EXPECT_EQ(e.run(r), nullptr) << "row " << r;
    EXPECT_FALSE(e.startFitting());
    EXPECT_EQ(e.progress(), 1.0);

    e.setSearch(nullptr);
    e.generate(8);
    for (int r = 0; r < 8; ++r)
        ASSERT_NE(e.run(r), nullptr) << "row " << r;
}

// I-optimal designs with free continuous coordinates end converged: no single coordinate moved
// on a fine grid lowers the criterion, and levels rounded to -1, 0, 1 do no better.
TEST(EngineSearch, IOptimalCoordinatesConvergeAndBeatTheRoundedDesign)
{
    struct Case {
        const char* name;
        int factors;
        bool squaresNecessary;
        int runs;
        std::uint64_t seed;
    };
    const Case cases[] = {
        {"If Possible squares, 4 factors, 12 runs, as reported", 4, false, 12, 1822740228u},
        {"response surface, 3 factors, 14 runs", 3, true, 14, 5u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        orvex::Model m;
        ASSERT_TRUE(m.build(cubeFactors(c.factors)));
        std::vector<int> powers;
        std::vector<char> necessary;
        surface(c.factors, c.squaresNecessary, powers, necessary);
        const orvex::DesignTerms terms = orvex::expandTerms(m, powers, necessary);
        orvex::DesignSearchOptions options;
        options.criterion = orvex::Criterion::I;
        std::vector<double> design = orvex::searchDesign(m, terms, c.runs, c.seed, options);
        ASSERT_EQ(design.size(), static_cast<size_t>(c.runs * c.factors));
        const orvex::Space sp(m, terms, options);
        const long double found = averageVariance(sp, design);

        std::vector<double> rounded = design;
        for (double& v : rounded)
            v = std::round(v);
        EXPECT_LE(found, averageVariance(sp, rounded));

        long double bestMove = found;
        for (double& v : design) {
            const double keep = v;
            for (int g = 0; g <= 400; ++g) {
                v = -1.0 + g / 200.0;
                bestMove = std::min(bestMove, averageVariance(sp, design));
            }
            v = keep;
        }
        EXPECT_GT(bestMove, found * (1.0L - 1e-7L)) << "a single coordinate still gains";
    }
}

// A search given a part of the progress bar fills exactly that part: the random starts, the
// polish and the kicks of a two-level screening design, and the alias-optimal search with its
// D-optimal reference.
TEST(EngineSearch, ProgressFillsTheGivenPart)
{
    for (const bool alias : {false, true}) {
        SCOPED_TRACE(alias ? "alias optimal" : "Bayesian D");
        orvex::Model m;
        ASSERT_TRUE(m.build(cubeFactors(6)));
        std::vector<int> powers;
        std::vector<char> necessary;
        surface(6, false, powers, necessary);
        powers.resize(powers.size() - 36);  // no squares
        necessary.resize(necessary.size() - 6);
        for (size_t t = 6; t < necessary.size(); ++t)
            necessary[t] = 0;  // two-factor products If Possible
        const orvex::DesignTerms terms = orvex::expandTerms(m, powers, necessary);
        std::atomic<double> progress{0.0};
        orvex::DesignSearchOptions options;
        options.aliasOptimal = alias;
        options.progress = &progress;
        options.progressFrom = 0.25;
        options.progressTo = 0.5;
        ASSERT_EQ(orvex::searchDesign(m, terms, 16, 1, options).size(), 16u * 6u);
        EXPECT_EQ(progress.load(), 0.5);
    }
}
