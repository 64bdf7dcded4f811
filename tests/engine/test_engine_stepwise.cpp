// Step and run statistics against an independent computation: the model matrix is built here from
// the coding rules and every subset is refitted from scratch.
#include "engine_test_util.h"

#include <Eigen/Dense>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>
#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// Two continuous factors on [0, 10] and [-5, 5] and a three-level categorical factor.
struct Problem {
    std::vector<std::vector<double>> runs;
    std::vector<double> y;
    Eigen::MatrixXd X;  // coded, parameters in engine order
    Eigen::VectorXd yv;
};

Problem makeProblem(int n, unsigned seed)
{
    Problem pr;
    unsigned long long s = seed;
    auto uni = [&] {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(s >> 11) * 0x1.0p-53;
    };
    pr.X.resize(n, 12);
    pr.yv.resize(n);
    for (int i = 0; i < n; ++i) {
        const double x1 = 10 * uni(), x2 = -5 + 10 * uni();
        const int c = static_cast<int>(3 * uni());
        const double c1 = (x1 - 5) / 5, c2 = x2 / 5;
        const double e0 = c == 0 ? 1 : (c == 2 ? -1 : 0), e1 = c == 1 ? 1 : (c == 2 ? -1 : 0);
        const double y = 3 + 2 * c1 - c2 + 0.5 * e0 + 1.5 * c1 * c1 + 0.8 * c1 * c2 + 0.3 * (uni() - 0.5);
        pr.runs.push_back({x1, x2, static_cast<double>(c)});
        pr.y.push_back(y);
        const double row[12] = {1, c1, c2, e0, e1, c1 * c1, c1 * c2, c1 * e0, c1 * e1, c2 * c2, c2 * e0, c2 * e1};
        for (int j = 0; j < 12; ++j)
            pr.X(i, j) = row[j];
        pr.yv[i] = y;
    }
    return pr;
}

void setUp(void* h, const Problem& pr)
{
    add1(h, "A", 0, 10);
    add1(h, "B", -5, 5);
    addCategorical(h, "Color", {"Red", "Green", "Blue"});
    ASSERT_EQ(createmodel(h, 2), 12);
    loadData(h, pr.runs, pr.y);
}

Eigen::MatrixXd columns(const Eigen::MatrixXd& X, const std::vector<int>& cols)
{
    Eigen::MatrixXd out(X.rows(), static_cast<int>(cols.size()));
    for (size_t k = 0; k < cols.size(); ++k)
        out.col(static_cast<int>(k)) = X.col(cols[k]);
    return out;
}

double sseOf(const Problem& pr, const std::vector<int>& cols)
{
    const Eigen::MatrixXd A = columns(pr.X, cols);
    const Eigen::VectorXd b = A.colPivHouseholderQr().solve(pr.yv);
    return (pr.yv - A * b).squaredNorm();
}

std::vector<int> indices(const std::vector<int>& flags)
{
    std::vector<int> out;
    for (size_t j = 0; j < flags.size(); ++j)
        if (flags[j])
            out.push_back(static_cast<int>(j));
    return out;
}

double upperF(double f, double d1, double d2)
{
    return boost::math::cdf(boost::math::complement(boost::math::fisher_f(d1, d2), f));
}

}  // namespace

TEST(EngineStepwise, StepStatisticsMatchRefits)
{
    const Problem pr = makeProblem(30, 11);
    Handle h;
    setUp(h, pr);
    const std::vector<int> entered = {1, 1, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0};
    const StepOut s = doStep(h, entered);
    const auto in = indices(entered);
    const int n = 30, p = static_cast<int>(in.size());
    const double sse = sseOf(pr, in);
    const double sst = (pr.yv.array() - pr.yv.mean()).square().sum();
    const double mse = sse / (n - p);
    std::vector<int> all(12);
    for (int j = 0; j < 12; ++j)
        all[j] = j;
    const double mseFull = sseOf(pr, all) / (n - 12);

    EXPECT_TRUE(close(s.sse, sse));
    EXPECT_EQ(s.dfe, n - p);
    EXPECT_EQ(s.p, p);
    EXPECT_TRUE(close(s.rmse, std::sqrt(mse)));
    EXPECT_TRUE(close(s.rsq, 1 - sse / sst));
    EXPECT_TRUE(close(s.rsqAdj, 1 - mse / (sst / (n - 1))));
    EXPECT_TRUE(close(s.cp, sse / mseFull - n + 2 * p));

    for (int j = 0; j < 12; ++j) {
        const StepParamOut sp = stepParam(h, j);
        SCOPED_TRACE(j);
        if (j == 0) {
            EXPECT_EQ(sp.ndf, 1);
            EXPECT_EQ(sp.ss, 0.0);
            EXPECT_EQ(sp.f, 0.0);
            EXPECT_EQ(sp.prob, 1.0);
            continue;
        }
        EXPECT_EQ(sp.ndf, 1);
        if (entered[j]) {
            auto without = in;
            without.erase(std::find(without.begin(), without.end(), j));
            const double ss = sseOf(pr, without) - sse;
            EXPECT_TRUE(close(sp.ss, ss, 1e-8));
            EXPECT_TRUE(close(sp.f, ss / mse, 1e-8));
            EXPECT_TRUE(close(sp.prob, upperF(ss / mse, 1, n - p), 1e-7, 1e-14));
            EXPECT_NE(sp.estimate, 0.0);
        } else {
            auto with = in;
            with.push_back(j);
            const double ss = sse - sseOf(pr, with);
            const double f = ss / ((sse - ss) / (n - p - 1));
            EXPECT_EQ(sp.estimate, 0.0);
            EXPECT_TRUE(close(sp.ss, ss, 1e-8, 1e-12));
            EXPECT_TRUE(close(sp.f, f, 1e-8, 1e-10));
            EXPECT_TRUE(close(sp.prob, upperF(f, 1, n - p - 1), 1e-7, 1e-14));
        }
    }
}

TEST(EngineStepwise, RunParametersAndIntervals)
{
    const Problem pr = makeProblem(25, 5);
    Handle h;
    setUp(h, pr);
    const std::vector<int> entered = {1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
    const RunOut r = doRun(h, entered);
    const auto in = indices(entered);
    const Eigen::MatrixXd A = columns(pr.X, in);
    const Eigen::MatrixXd inv = (A.transpose() * A).inverse();
    const Eigen::VectorXd b = inv * A.transpose() * pr.yv;
    const int n = 25, p = static_cast<int>(in.size());
    const double sse = (pr.yv - A * b).squaredNorm(), mse = sse / (n - p);
    const double sst = (pr.yv.array() - pr.yv.mean()).square().sum();
    EXPECT_TRUE(close(r.sse, sse, 1e-9));
    EXPECT_TRUE(close(r.ssModel, sst - sse, 1e-9));
    EXPECT_EQ(r.dfModel, p - 1);
    EXPECT_EQ(r.dfe, n - p);
    const double f = ((sst - sse) / (p - 1)) / mse;
    EXPECT_TRUE(close(r.f, f, 1e-9));
    EXPECT_TRUE(close(r.probF, upperF(f, p - 1, n - p), 1e-7, 1e-14));
    const boost::math::students_t t(n - p);
    for (size_t k = 0; k < in.size(); ++k) {
        const ParamOut po = runParam(h, in[k]);
        const double se = std::sqrt(mse * inv(k, k));
        EXPECT_TRUE(close(po.estimate, b[k], 1e-8));
        EXPECT_TRUE(close(po.stdError, se, 1e-8));
        EXPECT_TRUE(close(po.t, b[k] / se, 1e-8));
        EXPECT_TRUE(close(po.prob, 2 * boost::math::cdf(boost::math::complement(t, std::fabs(b[k] / se))),
                          1e-7, 1e-14));
    }
    const ParamOut out = runParam(h, 9);
    EXPECT_EQ(out.estimate, 0.0);
    EXPECT_EQ(out.prob, 1.0);

    // Prediction at A = 7.5, B = -2.5, Color = Blue (index 1.6 rounds to 2).
    const double x[3] = {7.5, -2.5, 1.6};
    Eigen::VectorXd row(p);
    row << 1, 0.5, -0.5, -1, -1, 0.25, -0.25;
    const double yhat = row.dot(b), lev = row.dot(inv * row);
    const double q = boost::math::quantile(t, 0.975);
    double pred, cl, pl, ch, ph;
    predict(h, x, &pred, &cl, &pl, &ch, &ph, 0.05);
    EXPECT_TRUE(close(pred, yhat, 1e-9));
    EXPECT_TRUE(close(cl, yhat - q * std::sqrt(mse * lev), 1e-9));
    EXPECT_TRUE(close(ch, yhat + q * std::sqrt(mse * lev), 1e-9));
    EXPECT_TRUE(close(pl, yhat - q * std::sqrt(mse * (1 + lev)), 1e-9));
    EXPECT_TRUE(close(ph, yhat + q * std::sqrt(mse * (1 + lev)), 1e-9));
    double se1, se2;
    int dfe = -1;
    predict2(h, x, &pred, &se1, &se2, &dfe);
    EXPECT_TRUE(close(se1, std::sqrt(mse * (1 + lev)), 1e-9));
    EXPECT_TRUE(close(se2, std::sqrt(mse * lev), 1e-9));
    EXPECT_EQ(dfe, n - p);
}

TEST(EngineStepwise, PredictionUsesLatestRunElseLatestStep)
{
    const Problem pr = makeProblem(20, 3);
    Handle h;
    setUp(h, pr);
    const double x[3] = {5, 0, 0};
    double pred = 0, se1, se2;
    int dfe = -1;
    doStep(h, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    predict2(h, x, &pred, &se1, &se2, &dfe);
    EXPECT_TRUE(close(pred, pr.yv.mean()));
    EXPECT_EQ(dfe, 19);
    doRun(h, {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    doStep(h, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    predict2(h, x, &pred, &se1, &se2, &dfe);
    EXPECT_EQ(dfe, 18);  // still the run with two parameters
}

TEST(EngineStepwise, AliasedParameterIsLeftOutWithoutNaN)
{
    // B equals A in every run (after coding), so B and every B term repeat an A term.
    Handle h;
    add1(h, "A", 0, 10);
    add1(h, "B", 0, 10);
    ASSERT_EQ(createmodel(h, 2), 6);
    std::vector<std::vector<double>> runs;
    std::vector<double> y;
    for (int i = 0; i < 12; ++i) {
        const double a = i * 10.0 / 11;
        runs.push_back({a, a});
        y.push_back(1 + 0.3 * a + 0.01 * ((i * 7) % 5));
    }
    loadData(h, runs, y);
    const StepOut s = doStep(h, {1, 1, 1, 0, 0, 0});
    EXPECT_EQ(s.p, 2);
    EXPECT_EQ(s.dfe, 10);
    EXPECT_FALSE(std::isnan(s.sse) || std::isnan(s.rmse) || std::isnan(s.cp) || std::isnan(s.aicc));
    const StepParamOut aliased = stepParam(h, 2);
    EXPECT_EQ(aliased.estimate, 0.0);
    EXPECT_EQ(aliased.ndf, 0);
    EXPECT_EQ(aliased.ss, 0.0);
    EXPECT_EQ(aliased.f, 0.0);
    EXPECT_EQ(aliased.prob, 1.0);
    // A*B repeats A*A, which is not entered: it can still enter, so it is tested on (1, DFE - 1).
    const StepParamOut sq = stepParam(h, 3);
    EXPECT_EQ(sq.ndf, 1);
    const StepParamOut ab = stepParam(h, 4);
    EXPECT_EQ(ab.ndf, 1);
    EXPECT_FALSE(std::isnan(stepParam(h, 1).f));

    const RunOut r = doRun(h, {1, 1, 1, 1, 1, 1});
    EXPECT_EQ(r.dfModel, 2);  // intercept, A, A*A are the estimable ones
    EXPECT_EQ(r.dfe, 9);
    const ParamOut pb = runParam(h, 2);
    EXPECT_EQ(pb.estimate, 0.0);
    EXPECT_FALSE(std::isnan(runParam(h, 1).stdError));
    double x[2] = {3, 3}, pred, se1, se2;
    int dfe;
    predict2(h, x, &pred, &se1, &se2, &dfe);
    EXPECT_FALSE(std::isnan(pred) || std::isnan(se1) || std::isnan(se2));
}

TEST(EngineStepwise, SaturatedAndExactFitsStayFinite)
{
    Handle h;
    add1(h, "A", -1, 1);
    ASSERT_EQ(createmodel(h, 2), 3);
    // Three runs, exact quadratic: no error degrees of freedom in the full model.
    loadData(h, {{-1}, {0}, {1}}, {2, 1, 2});
    const StepOut s = doStep(h, {1, 0, 0});
    EXPECT_EQ(s.dfe, 2);
    EXPECT_TRUE(std::isnan(s.cp));  // the full model leaves no error DF
    // With one DF left, the entry test of each term has none.
    const StepParamOut sq = stepParam(h, 2);
    EXPECT_EQ(sq.ndf, 1);
    const StepOut full = doStep(h, {1, 1, 1});
    EXPECT_EQ(full.dfe, 0);
    EXPECT_EQ(stepParam(h, 2).ndf, 0);
    EXPECT_EQ(stepParam(h, 2).prob, 1.0);
    EXPECT_TRUE(close(stepParam(h, 2).estimate, 1.0));
    doStep(h, {1, 0, 1});
    const StepParamOut lin = stepParam(h, 1);
    EXPECT_EQ(lin.ndf, 0);  // entering it would leave no DF
    EXPECT_EQ(lin.prob, 1.0);
}
