// Designs for given model terms: minimum run counts, two-level structure, Bayesian "If Possible"
// terms, I-optimality, progress and cancel, and thread-count independence. Design properties
// are checked in long double from the returned runs.
#include "engine_test_util.h"
#include "orvex_design.h"
#include "orvex_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace enginetest;

namespace {

using Terms = std::vector<std::vector<int>>;  // one power per factor and term
using LMat = std::vector<std::vector<long double>>;

Terms mainEffects(int k)
{
    Terms t;
    for (int f = 0; f < k; ++f) {
        t.emplace_back(k, 0);
        t.back()[f] = 1;
    }
    return t;
}

Terms interactions(int k)
{
    Terms t;
    for (int a = 0; a < k; ++a)
        for (int b = a + 1; b < k; ++b) {
            t.emplace_back(k, 0);
            t.back()[a] = t.back()[b] = 1;
        }
    return t;
}

Terms squares(int k)
{
    Terms t = mainEffects(k);
    for (auto& row : t)
        for (int& p : row)
            p *= 2;
    return t;
}

Terms join(Terms a, const Terms& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Coded runs of a design for k continuous factors on [10, 20].
struct Design {
    int minimum = -1;
    std::vector<std::vector<long double>> runs;
};

Design makeDesign(int k, const Terms& terms, const std::vector<int>& necessary, int runs,
                  int criterion = 0)
{
    Handle h;
    for (int f = 0; f < k; ++f)
        add1(h, "X", 10, 20);
    std::vector<int> powers;
    for (const auto& t : terms)
        powers.insert(powers.end(), t.begin(), t.end());
    EXPECT_EQ(setmodelterms(h, static_cast<int>(terms.size()), powers.data(), necessary.data()), 0);
    EXPECT_EQ(setcriterion(h, criterion), 0);
    seed(h, 1);
    Design d;
    d.minimum = createmodel(h, 2);
    generate(h, runs);
    for (int r = 0; r < runs; ++r) {
        const double* v = Vfactor(h, r);
        if (!v)
            return d;
        d.runs.emplace_back();
        for (int f = 0; f < k; ++f)
            d.runs.back().push_back((2.0L * v[f] - 30.0L) / 10.0L);
    }
    return d;
}

Design makeDesign(int k, const Terms& terms, int runs, int criterion = 0)
{
    return makeDesign(k, terms, std::vector<int>(terms.size(), 1), runs, criterion);
}

// Model matrix: intercept, then one column per term.
LMat modelMatrix(const Design& d, const Terms& terms)
{
    LMat X;
    for (const auto& run : d.runs) {
        X.emplace_back(1, 1.0L);
        for (const auto& t : terms) {
            long double v = 1.0L;
            for (size_t f = 0; f < t.size(); ++f)
                for (int p = 0; p < t[f]; ++p)
                    v *= run[f];
            X.back().push_back(v);
        }
    }
    return X;
}

LMat crossProduct(const LMat& A, const LMat& B)  // A'B
{
    LMat C(A[0].size(), std::vector<long double>(B[0].size(), 0.0L));
    for (size_t r = 0; r < A.size(); ++r)
        for (size_t i = 0; i < A[0].size(); ++i)
            for (size_t j = 0; j < B[0].size(); ++j)
                C[i][j] += A[r][i] * B[r][j];
    return C;
}

// Solves M Y = B by Gauss-Jordan elimination; *logdet gets log det M.
LMat solve(LMat M, LMat B, long double* logdet = nullptr)
{
    const size_t p = M.size();
    long double ld = 0.0L;
    for (size_t c = 0; c < p; ++c) {
        size_t piv = c;
        for (size_t r = c + 1; r < p; ++r)
            if (std::fabs(M[r][c]) > std::fabs(M[piv][c]))
                piv = r;
        std::swap(M[c], M[piv]);
        std::swap(B[c], B[piv]);
        ld += std::log(std::fabs(M[c][c]));
        for (size_t r = 0; r < p; ++r) {
            if (r == c)
                continue;
            const long double m = M[r][c] / M[c][c];
            for (size_t j = c; j < p; ++j)
                M[r][j] -= m * M[c][j];
            for (size_t j = 0; j < B[0].size(); ++j)
                B[r][j] -= m * B[c][j];
        }
    }
    for (size_t r = 0; r < p; ++r)
        for (auto& v : B[r])
            v /= M[r][r];
    if (logdet)
        *logdet = ld;
    return B;
}

LMat identity(size_t p)
{
    LMat I(p, std::vector<long double>(p, 0.0L));
    for (size_t i = 0; i < p; ++i)
        I[i][i] = 1.0L;
    return I;
}

long double dEfficiency(const Design& d, const Terms& terms)
{
    const LMat X = modelMatrix(d, terms);
    long double ld = 0.0L;
    solve(crossProduct(X, X), identity(X[0].size()), &ld);
    return 100.0L * std::exp(ld / X[0].size()) / X.size();
}

// Average prediction variance over [-1, 1]^k: trace((X'X)^-1 M), M the exact moments
// (E x^2 = 1/3, E x^4 = 1/5, odd moments 0) of the model's columns.
long double averageVariance(const Design& d, const Terms& terms)
{
    const LMat X = modelMatrix(d, terms);
    const size_t p = X[0].size();
    const size_t k = d.runs[0].size();
    Terms all = terms;
    all.insert(all.begin(), std::vector<int>(k, 0));
    const LMat V = solve(crossProduct(X, X), identity(p));
    long double tr = 0.0L;
    for (size_t a = 0; a < p; ++a)
        for (size_t b = 0; b < p; ++b) {
            long double m = 1.0L;
            for (size_t f = 0; f < k; ++f) {
                const int pw = all[a][f] + all[b][f];
                m *= pw % 2 ? 0.0L : 1.0L / (pw + 1);
            }
            tr += V[b][a] * m;
        }
    return tr;
}

}  // namespace

TEST(EngineTerms, DesignsFollowTheGivenTerms)
{
    struct Case {
        const char* name;
        int factors;
        Terms terms;
        int runs;
        int minimum;
        bool orthogonal;  // X'X = n I exactly, so D-efficiency 100 %
    };
    const std::vector<Case> cases = {
        {"three main effects", 3, mainEffects(3), 4, 4, true},
        {"six main effects", 6, mainEffects(6), 8, 7, true},
        {"three-factor interactions model", 3, join(mainEffects(3), interactions(3)), 8, 7, true},
        {"three-factor response surface", 3,
         join(join(mainEffects(3), interactions(3)), squares(3)), 10, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Design d = makeDesign(c.factors, c.terms, c.runs);
        EXPECT_EQ(d.minimum, c.minimum);
        ASSERT_EQ(d.runs.size(), static_cast<size_t>(c.runs));
        if (!c.orthogonal)
            continue;
        // No squares: every coordinate is the factor's low or high value.
        for (const auto& run : d.runs)
            for (long double v : run)
                EXPECT_EQ(std::fabs(v), 1.0L);
        const LMat X = modelMatrix(d, c.terms);
        const LMat XtX = crossProduct(X, X);
        for (size_t i = 0; i < XtX.size(); ++i)
            for (size_t j = 0; j < XtX.size(); ++j)
                EXPECT_EQ(XtX[i][j], i == j ? c.runs : 0) << i << "," << j;
    }
}

TEST(EngineTerms, ResponseSurfaceTermsDesignAsWellAsTheWholeModel)
{
    const Terms rs = join(join(mainEffects(3), interactions(3)), squares(3));
    const Design withTerms = makeDesign(3, rs, 10);
    Handle h;
    for (int f = 0; f < 3; ++f)
        add1(h, "X", 10, 20);
    seed(h, 1);
    ASSERT_EQ(createmodel(h, 2), 10);
    generate(h, 10);
    Design whole;
    for (int r = 0; r < 10; ++r) {
        const double* v = Vfactor(h, r);
        ASSERT_NE(v, nullptr);
        whole.runs.emplace_back();
        for (int f = 0; f < 3; ++f)
            whole.runs.back().push_back((2.0L * v[f] - 30) / 10);
    }
    // Interior coordinates are roots found to about 1e-13, hence the relative allowance.
    EXPECT_GE(dEfficiency(withTerms, rs), dEfficiency(whole, rs) * (1.0L - 1e-9L))
        << (double)(dEfficiency(withTerms, rs) - dEfficiency(whole, rs));
}

TEST(EngineTerms, IfPossibleInteractionsReduceAliasingOfMainEffects)
{
    const Terms terms = join(mainEffects(6), interactions(6));
    std::vector<int> necessary(terms.size(), 0);
    std::fill(necessary.begin(), necessary.begin() + 6, 1);
    const Design bayes = makeDesign(6, terms, necessary, 12);
    EXPECT_EQ(bayes.minimum, 7);
    const Design plain = makeDesign(6, mainEffects(6), 12);
    ASSERT_EQ(bayes.runs.size(), 12u);
    ASSERT_EQ(plain.runs.size(), 12u);
    // Sum of squares of the alias matrix (X1'X1)^-1 X1'X2: main effects against interactions.
    auto aliasSS = [&](const Design& d) {
        const LMat X1 = modelMatrix(d, mainEffects(6));
        const LMat X2 = modelMatrix(d, interactions(6));
        const LMat A = solve(crossProduct(X1, X1), crossProduct(X1, X2));
        long double ss = 0.0L;
        for (const auto& row : A)
            for (size_t j = 1; j < row.size(); ++j)  // column 0 is the intercept of X2's matrix
                ss += row[j] * row[j];
        return ss;
    };
    EXPECT_LT(aliasSS(bayes), aliasSS(plain));
}

TEST(EngineTerms, IOptimalDesignPredictsBetterOnAverageDOptimalHasTheLargerDeterminant)
{
    const Terms rs = join(join(mainEffects(3), interactions(3)), squares(3));
    const Design dOpt = makeDesign(3, rs, 16, 0);
    const Design iOpt = makeDesign(3, rs, 16, 1);
    ASSERT_EQ(dOpt.runs.size(), 16u);
    ASSERT_EQ(iOpt.runs.size(), 16u);
    EXPECT_LT(averageVariance(iOpt, rs), averageVariance(dOpt, rs));
    EXPECT_GE(dEfficiency(dOpt, rs), dEfficiency(iOpt, rs));
}

TEST(EngineTerms, TermsCriterionAndProgressRefuseBadInput)
{
    Handle h;
    add1(h, "A", 0, 1);
    addCategorical(h, "C", {"x", "y", "z"});
    const int one[2] = {1, 0}, nec[1] = {1};
    const int badPower[2] = {4, 0}, cubedCategorical[2] = {0, 3};
    EXPECT_EQ(setmodelterms(nullptr, 1, one, nec), -1);
    EXPECT_EQ(setmodelterms(h, 1, nullptr, nec), -1);
    EXPECT_EQ(setmodelterms(h, 1, one, nullptr), -1);
    EXPECT_EQ(setmodelterms(h, 1, badPower, nec), -1);
    EXPECT_EQ(setmodelterms(h, 1, cubedCategorical, nec), -1);
    EXPECT_EQ(setmodelterms(h, -1, one, nec), -1);
    EXPECT_EQ(setcriterion(h, 2), -1);
    EXPECT_EQ(setcriterion(nullptr, 0), -1);
    EXPECT_TRUE(std::isnan(generateprogress(nullptr)));
    generatecancel(nullptr);

    // A, C (two effect columns), C*C (dropped: a categorical square adds nothing), A*C If
    // Possible: 1 + 1 + 2 Necessary parameters. The fit keeps the whole kind-2 model.
    const int powers[8] = {1, 0, 0, 1, 0, 2, 1, 1};
    const int necessary[4] = {1, 1, 1, 0};
    ASSERT_EQ(setmodelterms(h, 4, powers, necessary), 0);
    EXPECT_EQ(createmodel(h, 2), 4);
    EXPECT_EQ(numparameter(h), 1 + 3 + 1 + 2);
    generate(h, 6);
    ASSERT_NE(Vfactor(h, 5), nullptr);
    EXPECT_EQ(generateprogress(h), 1.0);
    // Clearing the terms, or adding a factor, brings back the kind-2 minimum.
    EXPECT_EQ(setmodelterms(h, 0, nullptr, nullptr), 0);
    EXPECT_EQ(createmodel(h, 2), 7);
    ASSERT_EQ(setmodelterms(h, 4, powers, necessary), 0);
    add1(h, "B", 0, 1);
    EXPECT_EQ(createmodel(h, 2), 1 + 4 + 2 + 5);
}

TEST(EngineTerms, SameDesignWhateverTheThreadCount)
{
    struct Case {
        const char* name;
        int factors;
        orvex::Criterion criterion;
        bool ifPossible;
        int maxPasses;
    };
    const std::vector<Case> cases = {
        {"small, D, If Possible interactions", 4, orvex::Criterion::D, true, 100},
        {"small, I", 3, orvex::Criterion::I, false, 100},
        {"large: starts on the grid, the best refined", 14, orvex::Criterion::D, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<orvex::Factor> fs(c.factors);
        for (auto& f : fs)
            f.high = 1.0;
        orvex::Model m;
        ASSERT_TRUE(m.build(fs));
        orvex::DesignTerms terms = orvex::kind2Terms(m);
        if (c.ifPossible)
            for (size_t k = 1 + 2 * c.factors; k < terms.necessary.size(); ++k)
                terms.necessary[k] = 0;
        std::vector<std::vector<double>> designs;
        for (int threads : {1, 2, 3}) {
            orvex::DesignSearchOptions o;
            o.threads = threads;
            o.starts = c.factors > 10 ? 3 : 5;
            o.criterion = c.criterion;
            o.maxPasses = c.maxPasses;
            designs.push_back(orvex::searchDesign(m, terms, m.paramCount() + 2, 9, o));
        }
        ASSERT_FALSE(designs[0].empty());
        EXPECT_EQ(designs[0], designs[1]);
        EXPECT_EQ(designs[0], designs[2]);
    }
}

TEST(EngineTerms, CancelStopsTheSearchAndKeepsTheBestFinishedStart)
{
    Handle h;
    for (int f = 0; f < 9; ++f)
        add1(h, "X", -1, 1);
    const int p = createmodel(h, 2);
    // Cancelled before the search starts: no start finishes, no runs.
    generate(h, p);
    generatecancel(h);
    EXPECT_EQ(Vfactor(h, 0), nullptr);

    // Cancelled once every start has finished (four fifths of the progress), during the polish.
    generate(h, p);
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> returned{false};
    Clock::time_point end;
    std::thread worker([&] {
        Vfactor(h, 0);
        end = Clock::now();
        returned = true;
    });
    while (!returned && generateprogress(h) < 0.8)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const Clock::time_point asked = Clock::now();
    generatecancel(h);
    worker.join();
    if (end > asked) {
        EXPECT_LT(std::chrono::duration<double>(end - asked).count(), 0.2);
    }
    for (int r = 0; r < p; ++r)
        ASSERT_NE(Vfactor(h, r), nullptr);
}
