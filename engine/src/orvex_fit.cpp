#include "orvex_fit.h"

#include "orvex_stats.h"

#include <Eigen/Core>

#include <cmath>

namespace orvex {

namespace {

// A column whose part orthogonal to the earlier ones is below this share of its length is aliased.
constexpr double kAliasTolerance = 1e-9;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.14159265358979323846;

// Removes from V its projection on the first r columns of Q, twice for full orthogonality;
// returns the coefficients of the projection.
Eigen::MatrixXd orthogonalise(const Eigen::MatrixXd& Q, int r, Eigen::MatrixXd& V)
{
    Eigen::MatrixXd C = Eigen::MatrixXd::Zero(r, V.cols());
    if (r == 0)
        return C;
    const auto Qr = Q.leftCols(r);
    for (int pass = 0; pass < 2; ++pass) {
        Eigen::MatrixXd c = Qr.transpose() * V;
        V.noalias() -= Qr * c;
        C += c;
    }
    return C;
}

// F ratio of num over den and its upper tail on (df1, df2); den 0 gives an infinite ratio.
void fTest(double num, double den, double df1, double df2, double& f, double& prob)
{
    if (den > 0.0) {
        f = num / den;
        prob = fUpperTail(f, df1, df2);
    } else {
        f = num > 0.0 ? kInf : 0.0;
        prob = num > 0.0 ? 0.0 : 1.0;
    }
}

}  // namespace

FitData buildFitData(const Model& model, const std::vector<double>& runs,
                     const std::vector<double>& responses)
{
    FitData data;
    const int F = model.factorCount(), P = model.paramCount();
    const int nRuns = static_cast<int>(responses.size());
    std::vector<double> cols(model.columnCount());
    std::vector<double> row(P);
    std::vector<int> usable;
    for (int i = 0; i < nRuns; ++i) {
        if (std::isfinite(responses[i]) && model.codeRun(&runs[static_cast<size_t>(i) * F], cols.data()))
            usable.push_back(i);
    }
    const int n = static_cast<int>(usable.size());
    data.X.resize(n, P);
    data.y.resize(n);
    for (int k = 0; k < n; ++k) {
        const int i = usable[k];
        model.runRow(&runs[static_cast<size_t>(i) * F], row.data(), cols.data());
        for (int j = 0; j < P; ++j)
            data.X(k, j) = row[j];
        data.y[k] = responses[i];
    }
    if (n > 0) {
        const double mean = data.y.mean();
        data.sst = (data.y.array() - mean).square().sum();
    }
    const Fit full = fitEntered(data, std::vector<char>(P, 1));
    data.mseFull = full.mse;
    return data;
}

Fit fitEntered(const FitData& data, const std::vector<char>& entered)
{
    Fit fit;
    const int n = static_cast<int>(data.X.rows());
    const int P = static_cast<int>(data.X.cols());
    fit.n = n;
    fit.entered = entered;
    fit.entered.resize(P, 0);
    if (P > 0)
        fit.entered[0] = 1;
    fit.beta = Eigen::VectorXd::Zero(P);
    fit.sst = data.sst;

    // Gram-Schmidt in model order, twice per column, so that "aliased" means "a combination of
    // earlier entered parameters".
    Eigen::MatrixXd Q(n, std::min(n, P));
    Eigen::MatrixXd R = Eigen::MatrixXd::Zero(P, P);
    int r = 0;
    for (int j = 0; j < P; ++j) {
        if (!fit.entered[j] || r >= n)
            continue;
        Eigen::MatrixXd v = data.X.col(j);
        const double norm0 = v.norm();
        const Eigen::MatrixXd c = orthogonalise(Q, r, v);
        const double nv = v.norm();
        if (!(norm0 > 0.0) || !(nv > kAliasTolerance * norm0))
            continue;
        Q.col(r) = v.col(0) / nv;
        R.block(0, r, r, 1) = c;
        R(r, r) = nv;
        fit.order.push_back(j);
        ++r;
    }
    fit.p = r;
    fit.dfe = n - r;
    Eigen::MatrixXd e = data.y;
    const Eigen::MatrixXd qy = orthogonalise(Q, r, e);
    fit.sse = e.squaredNorm();
    const auto Rr = R.topLeftCorner(r, r).triangularView<Eigen::Upper>();
    fit.rinv = Rr.solve(Eigen::MatrixXd::Identity(r, r));
    const Eigen::VectorXd b = fit.rinv.triangularView<Eigen::Upper>() * qy.col(0);
    for (int k = 0; k < r; ++k)
        fit.beta[fit.order[k]] = b[k];
    fit.mse = fit.dfe > 0 ? fit.sse / fit.dfe : kNaN;

    // Summary statistics shared by step and run.
    fit.rmse = std::sqrt(fit.mse);
    fit.rsquare = fit.sst > 0.0 ? 1.0 - fit.sse / fit.sst : kNaN;
    fit.rsquareAdj = (fit.sst > 0.0 && n > 1 && fit.dfe > 0) ? 1.0 - fit.mse / (fit.sst / (n - 1)) : kNaN;
    fit.cp = (data.mseFull > 0.0) ? fit.sse / data.mseFull - n + 2.0 * r : kNaN;
    if (n > 0 && fit.sse > 0.0) {
        const double m2ll = n * (std::log(2.0 * kPi) + std::log(fit.sse / n) + 1.0);
        const double k = r + 1.0;
        fit.aicc = (n - k - 1.0 > 0.0) ? m2ll + 2.0 * k + 2.0 * k * (k + 1.0) / (n - k - 1.0) : kNaN;
        fit.bic = m2ll + k * std::log(static_cast<double>(n));
    }
    fit.valid = true;
    // Kept for the step statistics.
    fit.q = Q.leftCols(r);
    fit.resid = e.col(0);
    return fit;
}

void computeStepStats(const FitData& data, Fit& fit)
{
    const int n = fit.n;
    const int P = static_cast<int>(data.X.cols());
    fit.stepParams.assign(P, StepParam());
    if (!fit.valid)
        return;
    const int r = fit.p;
    const Eigen::MatrixXd& Q = fit.q;
    const Eigen::VectorXd& e = fit.resid;

    std::vector<int> pos(P, -1);
    for (int k = 0; k < r; ++k)
        pos[fit.order[k]] = k;
    std::vector<int> out;
    for (int j = 0; j < P; ++j)
        if (!fit.entered[j])
            out.push_back(j);

    // Entered parameters: the rise of SSE on removal is b^2 / [(X'X)^-1]_jj.
    for (int j = 0; j < P; ++j) {
        StepParam& s = fit.stepParams[j];
        if (!fit.entered[j] || pos[j] < 0)
            continue;
        s.estimate = fit.beta[j];
        if (j == 0) {
            s.ndf = 1;
            continue;
        }
        if (fit.dfe <= 0)
            continue;
        const double v = fit.rinv.row(pos[j]).squaredNorm();
        s.ndf = 1;
        s.ss = fit.beta[j] * fit.beta[j] / v;
        fTest(s.ss, fit.mse, 1.0, fit.dfe, s.fRatio, s.probF);
    }
    // Parameters not entered: the fall of SSE on entry is (r'e)^2 / r'r, r the part of the column
    // orthogonal to the entered ones; all columns in one block.
    if (out.empty() || fit.dfe - 1 <= 0)
        return;
    Eigen::MatrixXd W(n, static_cast<int>(out.size()));
    for (size_t k = 0; k < out.size(); ++k)
        W.col(static_cast<int>(k)) = data.X.col(out[k]);
    const Eigen::VectorXd norm0 = W.colwise().norm().transpose();
    orthogonalise(Q, r, W);
    const Eigen::VectorXd we = W.transpose() * e;
    for (size_t k = 0; k < out.size(); ++k) {
        const int j = out[k];
        const int col = static_cast<int>(k);
        const double nr = W.col(col).norm();
        if (!(norm0[col] > 0.0) || !(nr > kAliasTolerance * norm0[col]))
            continue;
        StepParam& s = fit.stepParams[j];
        s.ndf = 1;
        s.ss = std::min(fit.sse, we[col] * we[col] / (nr * nr));
        fTest(s.ss, (fit.sse - s.ss) / (fit.dfe - 1), 1.0, fit.dfe - 1, s.fRatio, s.probF);
    }
}

void computeRunStats(Fit& fit)
{
    const int P = static_cast<int>(fit.beta.size());
    fit.runParams.assign(P, RunParam());
    if (!fit.valid)
        return;
    fit.ssModel = fit.sst - fit.sse;
    fit.dfModel = fit.p - 1;
    if (fit.dfModel > 0 && fit.dfe > 0)
        fTest(fit.ssModel / fit.dfModel, fit.mse, fit.dfModel, fit.dfe, fit.fRatio, fit.probF);
    else
        fit.fRatio = fit.probF = kNaN;
    for (int k = 0; k < fit.p; ++k) {
        const int j = fit.order[k];
        RunParam& rp = fit.runParams[j];
        rp.estimate = fit.beta[j];
        rp.stdError = std::sqrt(fit.mse * fit.rinv.row(k).squaredNorm());
        if (rp.stdError > 0.0) {
            rp.tRatio = rp.estimate / rp.stdError;
            rp.probT = tTwoSided(rp.tRatio, fit.dfe);
        } else if (rp.stdError == 0.0) {
            rp.tRatio = rp.estimate == 0.0 ? 0.0 : std::copysign(kInf, rp.estimate);
            rp.probT = rp.estimate == 0.0 ? 1.0 : 0.0;
        } else {
            rp.tRatio = rp.probT = kNaN;
        }
    }
}

double leverage(const Fit& fit, const double* row, double* scratch)
{
    // z = rinv' x over the estimable parameters; h = |z|^2.
    const int r = fit.p;
    for (int k = 0; k < r; ++k)
        scratch[k] = row[fit.order[k]];
    double h = 0.0;
    for (int k = 0; k < r; ++k) {
        double z = 0.0;
        const double* col = fit.rinv.data() + static_cast<size_t>(k) * r;
        for (int i = 0; i <= k; ++i)
            z += col[i] * scratch[i];
        h += z * z;
    }
    return h;
}

double predictRow(const Fit& fit, const double* row)
{
    double y = 0.0;
    for (int j : fit.order)
        y += fit.beta[j] * row[j];
    return y;
}

}  // namespace orvex
