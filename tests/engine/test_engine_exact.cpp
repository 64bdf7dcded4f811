// Every statistic of a step, a run and a prediction against quadruple-precision least squares, on
// data that defeat a plain double factorisation: a response far from zero (up to 1e9 times its
// effects) and a near-perfect fit.
#include "engine_test_util.h"
#include "exact_lsq.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace enginetest;
using exact::Quad;

namespace {

// Coded model row of one run through the engine's own description of its columns and parameters:
// coded[c] is the value of expanded column c (column 0 is 1).
std::vector<Quad> paramRow(void* h, const std::vector<double>& coded)
{
    const int E = numexpandfac(h), P = numparameter(h);
    std::vector<Quad> row(P, 1);
    std::vector<int> powers(E);
    for (int p = 0; p < P; ++p) {
        getparameter(h, p, powers.data());
        for (int c = 1; c < E; ++c)
            for (int k = 0; k < powers[c]; ++k)
                row[p] *= coded[c];
    }
    return row;
}

struct Case {
    const char* name;
    double offset, scale, noise;  // y = offset + scale * effects(x) + noise * u, u in [-1, 1]
};

const Case kCases[] = {
    {"offset 1e6", 1e6, 0.01, 1e-3},
    {"offset 1e9 x effects", 1e7, 0.01, 1e-3},
    {"near-perfect fit", 50.0, 1.0, 1e-6},
};

// Largest relative error of the current case; a value below `floor` in the reference is compared
// absolutely (statistics such as RSquare Adj that are exactly 0).
struct Errors {
    double worst = 0.0;
    void check(double got, Quad want, const std::string& what, double floor = 1e-300)
    {
        const double w = static_cast<double>(want);
        const double err = std::fabs(got - w) / std::max(std::fabs(w), floor);
        worst = std::max(worst, err);
        EXPECT_LE(err, 1e-9) << what << ": engine " << got << " exact " << w;
    }
};

class ExactFit : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        const Case& c = GetParam();
        for (const char* name : {"X1", "X2", "X3"})
            add1(h, name, -1, 1);
        ASSERT_EQ(createmodel(h, 2), 10);
        std::mt19937 gen(20261208u);
        std::vector<std::vector<double>> runs;
        std::vector<double> y;
        // A 5 x 5 grid in X1, X2 with X3 on a Latin square: 25 runs, full rank for the quadratic.
        for (int i = 0; i < 25; ++i) {
            const int a = i % 5, b = i / 5, d = (a + 2 * b) % 5;
            const double x1 = (a - 2) / 2.0, x2 = (b - 2) / 2.0, x3 = (d - 2) / 2.0;
            const double effects = 1 + 0.8 * x1 - 0.5 * x2 + 0.3 * x3 + 0.6 * x1 * x1
                                   + 0.7 * x1 * x2 - 0.3 * x1 * x3 - 0.4 * x2 * x2 + 0.1 * x2 * x3
                                   + 0.2 * x3 * x3;
            const double u = gen() / 4294967296.0 * 2 - 1;
            runs.push_back({x1, x2, x3});
            y.push_back(c.offset + c.scale * effects + c.noise * u);
        }
        loadData(h, runs, y);
        for (size_t i = 0; i < runs.size(); ++i) {
            X.push_back(paramRow(h, {1, runs[i][0], runs[i][1], runs[i][2]}));
            yq.push_back(y[i]);
        }
        Quad mean = 0;
        for (Quad v : yq)
            mean += v;
        mean /= yq.size();
        for (Quad v : yq)
            sst += (v - mean) * (v - mean);
    }

    exact::Fit refit(std::vector<int> cols) const { return exact::fit(X, yq, cols); }

    void checkStep(const std::vector<int>& entered, Errors& err);
    void checkRun(const std::vector<int>& entered, Errors& err);

    Handle h;
    exact::Matrix X;
    std::vector<Quad> yq;
    Quad sst = 0;
};

std::vector<int> members(const std::vector<int>& flags, int add = -1, int drop = -1)
{
    std::vector<int> cols;
    for (int j = 0; j < static_cast<int>(flags.size()); ++j)
        if ((flags[j] && j != drop) || j == add)
            cols.push_back(j);
    return cols;
}

void ExactFit::checkStep(const std::vector<int>& entered, Errors& err)
{
    const int n = 25, P = 10;
    const exact::Fit f = refit(members(entered));
    const exact::Fit all = refit(members(std::vector<int>(P, 1)));
    const int dfe = n - f.rank;
    const Quad mse = f.sse / dfe;
    const StepOut s = doStep(h, entered);
    EXPECT_EQ(s.dfe, dfe);
    EXPECT_EQ(s.p, f.rank);
    err.check(s.sse, f.sse, "SSE");
    err.check(s.rmse, std::sqrt(static_cast<long double>(mse)), "RMSE");
    err.check(s.rsq, 1 - f.sse / sst, "RSquare", 1e-15);
    if (f.rank == 1) {
        EXPECT_EQ(s.rsq, 0.0);  // the intercept alone explains nothing, to the last bit
    }
    err.check(s.rsqAdj, 1 - mse / (sst / (n - 1)), "RSquare Adj", 1e-15);
    err.check(s.cp, f.sse / (all.sse / (n - all.rank)) - n + 2 * f.rank, "Cp");
    const long double k = f.rank + 1;
    const long double logSse = std::log(static_cast<long double>(f.sse / n));
    const long double m2ll = n * (std::log(2 * M_PIl) + logSse + 1);
    err.check(s.aicc, m2ll + 2 * k + 2 * k * (k + 1) / (n - k - 1), "AICc");
    err.check(s.bic, m2ll + k * std::log(static_cast<long double>(n)), "BIC");
    for (int j = 0; j < P; ++j) {
        const StepParamOut o = stepParam(h, j);
        const std::string what = "parameter " + std::to_string(j);
        err.check(o.estimate, f.beta[j], what + " estimate", 1e-300);
        if (j == 0)
            continue;
        Quad ss, den;
        int dfDen;
        if (entered[j]) {
            const exact::Fit without = refit(members(entered, -1, j));
            ss = without.sse - f.sse;
            den = mse;
            dfDen = dfe;
        } else {
            const exact::Fit with = refit(members(entered, j));
            ss = f.sse - with.sse;
            dfDen = dfe - 1;
            den = with.sse / dfDen;
        }
        EXPECT_EQ(o.ndf, 1) << what;
        err.check(o.ss, ss, what + " SS");
        err.check(o.f, ss / den, what + " F");
        err.check(o.prob, exact::upperF(ss / den, 1, dfDen), what + " Prob>F");
    }
}

void ExactFit::checkRun(const std::vector<int>& entered, Errors& err)
{
    const int n = 25, P = 10;
    const exact::Fit f = refit(members(entered));
    const int dfe = n - f.rank, dfm = f.rank - 1;
    const Quad mse = f.sse / dfe, ssm = sst - f.sse;
    const RunOut r = doRun(h, entered);
    EXPECT_EQ(r.dfe, dfe);
    EXPECT_EQ(r.dfModel, dfm);
    err.check(r.sse, f.sse, "run SSE");
    err.check(r.ssModel, ssm, "SS model", static_cast<double>(sst) * 1e-15);
    err.check(r.rmse, std::sqrt(static_cast<long double>(mse)), "run RMSE");
    err.check(r.rsq, ssm / sst, "run RSquare", 1e-15);
    err.check(r.rsqAdj, 1 - mse / (sst / (n - 1)), "run RSquare Adj", 1e-15);
    if (dfm > 0) {
        err.check(r.f, ssm / dfm / mse, "run F");
        err.check(r.probF, exact::upperF(ssm / dfm / mse, dfm, dfe), "run Prob>F");
    }
    for (size_t k = 0; k < f.basis.size(); ++k) {
        const int j = f.basis[k];
        const ParamOut o = runParam(h, j);
        const Quad se = std::sqrt(static_cast<long double>(mse * f.inv[k][k]));
        const std::string what = "run parameter " + std::to_string(j);
        err.check(o.estimate, f.beta[j], what + " estimate");
        err.check(o.stdError, se, what + " std error");
        err.check(o.t, f.beta[j] / se, what + " t");
        err.check(o.prob, exact::twoSidedT(f.beta[j] / se, dfe), what + " Prob>|t|");
    }
    const long double t =
        boost::math::quantile(boost::math::students_t_distribution<long double>(dfe), 0.975L);
    const std::vector<std::vector<double>> points = {
        {0.25, -0.75, 0.5}, {1, 1, 1}, {-0.3, 0.1, 0.9}};
    for (const std::vector<double>& x : points) {
        const std::vector<Quad> row = paramRow(h, {1, x[0], x[1], x[2]});
        Quad pred = 0;
        for (int j = 0; j < P; ++j)
            pred += f.beta[j] * row[j];
        const Quad lev = exact::leverage(f, row);
        const long double se1 = std::sqrt(static_cast<long double>(mse * (1 + lev)));
        const long double se2 = std::sqrt(static_cast<long double>(mse * lev));
        double p[5], s1, s2;
        int d = -1;
        predict2(h, x.data(), &p[0], &s1, &s2, &d);
        EXPECT_EQ(d, dfe);
        err.check(p[0], pred, "predict2");
        err.check(s1, se1, "se of a new response");
        err.check(s2, se2, "se of the mean");
        predict(h, x.data(), &p[0], &p[1], &p[2], &p[3], &p[4], 0.05);
        err.check(p[0], pred, "prediction");
        err.check(p[1], pred - t * se2, "confidence low");
        err.check(p[2], pred - t * se1, "prediction low");
        err.check(p[3], pred + t * se2, "confidence high");
        err.check(p[4], pred + t * se1, "prediction high");
    }
}

}  // namespace

// States of a stepwise path: intercept alone, main effects, the quadratic without X1*X2 (an add
// candidate whose F is enormous for the near-perfect fit), and the full quadratic.
TEST_P(ExactFit, StepRunAndPredictionAgreeWithExactLeastSquares)
{
    Errors err;
    for (const std::vector<int>& entered : {std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                            {1, 1, 1, 1, 0, 0, 0, 0, 0, 0},
                                            {1, 1, 1, 1, 1, 0, 1, 1, 1, 1},
                                            {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}}) {
        SCOPED_TRACE(::testing::PrintToString(entered));
        checkStep(entered, err);
        checkRun(entered, err);
    }
    std::printf("%s: largest relative error %.2e\n", GetParam().name, err.worst);
}

INSTANTIATE_TEST_SUITE_P(EngineExact, ExactFit, ::testing::ValuesIn(kCases));
