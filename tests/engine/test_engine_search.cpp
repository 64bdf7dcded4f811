// The design search as the engine object runs it: no rows after a failed search, the memory a
// search needs, and convergence of I-optimal designs whose continuous coordinates move freely.
#include "engine_test_util.h"
#include "orvex_design.h"
#include "orvex_design_space.h"
#include "orvex_engine.h"

#include <Eigen/Cholesky>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

using namespace enginetest;

namespace {

using LMatrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;

// k continuous factors on [-1, 1]: main effects and two-factor products Necessary, squares
// Necessary or If Possible; terms as one power per factor, flattened.
struct SurfaceTerms {
    std::vector<int> powers;
    std::vector<char> necessary;
};

SurfaceTerms surface(int k, bool squaresNecessary)
{
    SurfaceTerms t;
    auto add = [&](std::vector<int> row, bool nec) {
        t.powers.insert(t.powers.end(), row.begin(), row.end());
        t.necessary.push_back(nec ? 1 : 0);
    };
    for (int f = 0; f < k; ++f) {
        std::vector<int> row(k, 0);
        row[f] = 1;
        add(row, true);
    }
    for (int a = 0; a < k; ++a)
        for (int b = a + 1; b < k; ++b) {
            std::vector<int> row(k, 0);
            row[a] = row[b] = 1;
            add(row, true);
        }
    for (int f = 0; f < k; ++f) {
        std::vector<int> row(k, 0);
        row[f] = 2;
        add(row, squaresNecessary);
    }
    return t;
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
    e.setSearch([](const orvex::DesignSearchOptions&) -> std::vector<double> { throw std::bad_alloc(); });
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

TEST(EngineSearch, MemoryEstimateCoversEveryThreadsModelMatrix)
{
    EXPECT_TRUE(std::isnan(generatememory(nullptr, 10)));
    Handle h;
    for (int f = 0; f < 24; ++f)
        add1(h, "X", -1, 1);
    EXPECT_TRUE(std::isnan(generatememory(h, 10)));  // no model yet
    const int P = createmodel(h, 2);
    ASSERT_EQ(P, 325);
    const double threads = std::min(16u, std::max(1u, std::thread::hardware_concurrency()));
    for (int runs : {400, 1000000}) {
        SCOPED_TRACE(runs);
        EXPECT_GE(generatememory(h, runs), 8.0 * runs * P * threads);
        EXPECT_LE(generatememory(h, runs), 8.0 * runs * (P + 100.0) * (threads + 30) + 1e9);
    }
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
        {"If Possible squares, 4 factors, 12 runs (0.982, 0.690, 0.079 seen)", 4, false, 12, 1822740228u},
        {"response surface, 3 factors, 14 runs", 3, true, 14, 5u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<orvex::Factor> fs(c.factors);
        for (auto& f : fs) {
            f.low = -1;
            f.high = 1;
        }
        orvex::Model m;
        ASSERT_TRUE(m.build(fs));
        const SurfaceTerms st = surface(c.factors, c.squaresNecessary);
        const orvex::DesignTerms terms = orvex::expandTerms(m, st.powers, st.necessary);
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
