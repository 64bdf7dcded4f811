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

// Mean of a column with one correction pass, so that centring removes an offset to the last bit.
double accurateMean(const Eigen::Ref<const Eigen::VectorXd>& v)
{
    const int n = static_cast<int>(v.size());
    if (n == 0)
        return 0.0;
    const double m = v.mean();
    long double d = 0.0L;
    for (int i = 0; i < n; ++i)
        d += v[i] - m;
    return m + static_cast<double>(d / n);
}

// Gram-Schmidt in model order, twice per column, so that "aliased" means "a combination of
// earlier entered parameters" (a column whose part orthogonal to the earlier ones is below
// kAliasTolerance of its uncentred length). Returns the rank; order lists the basis columns.
int factorise(const FitData& data, const std::vector<char>& entered, Eigen::MatrixXd& Q,
              Eigen::MatrixXd& R, std::vector<int>& order)
{
    const int n = static_cast<int>(data.X.rows());
    const int P = static_cast<int>(data.X.cols());
    Q.resize(n, std::min(n, P));
    R = Eigen::MatrixXd::Zero(P, P);
    order.clear();
    int r = 0;
    for (int j = 0; j < P; ++j) {
        if (!entered[j] || r >= n)
            continue;
        Eigen::MatrixXd v = data.X.col(j);
        const double norm0 = data.colNorm[j];
        const Eigen::MatrixXd c = orthogonalise(Q, r, v);
        const double nv = v.norm();
        if (!(norm0 > 0.0) || !(nv > kAliasTolerance * norm0))
            continue;
        Q.col(r) = v.col(0) / nv;
        R.block(0, r, r, 1) = c;
        R(r, r) = nv;
        order.push_back(j);
        ++r;
    }
    return r;
}

// y - X gamma over the basis columns, accumulated in extended precision.
Eigen::VectorXd residual(const FitData& data, const std::vector<int>& order,
                         const Eigen::VectorXd& gamma)
{
    const int n = static_cast<int>(data.X.rows());
    std::vector<long double> acc(data.y.data(), data.y.data() + n);
    for (size_t k = 0; k < order.size(); ++k) {
        const double* col = data.X.col(order[k]).data();
        const long double g = gamma[static_cast<int>(k)];
        for (int i = 0; i < n; ++i)
            acc[i] -= g * col[i];
    }
    Eigen::VectorXd e(n);
    for (int i = 0; i < n; ++i)
        e[i] = static_cast<double>(acc[i]);
    return e;
}

// Per parameter: true for a basis column that an aliased entered column can replace, so that its
// removal leaves the rank. Aliased column a = X_basis c; without basis column j its distance
// from the rest is |c_j| / sqrt([(X'X)^-1]_jj), aliased again only below the alias tolerance.
std::vector<char> removalKeepsRank(const FitData& data, const Fit& fit, const std::vector<int>& pos)
{
    const int P = static_cast<int>(fit.entered.size());
    const int r = fit.p;
    std::vector<char> keeps(P, 0);
    for (int a = 0; a < P; ++a) {
        if (!fit.entered[a] || pos[a] >= 0 || !(data.colNorm[a] > 0.0) || r >= fit.n)
            continue;
        const Eigen::VectorXd t = fit.q.transpose() * data.X.col(a);
        const Eigen::VectorXd c = fit.rinv.triangularView<Eigen::Upper>() * t;
        for (int k = 0; k < r; ++k) {
            const double distance = std::fabs(c[k]) / fit.rinv.row(k).norm();
            if (distance > kAliasTolerance * data.colNorm[a])
                keeps[fit.order[k]] = 1;
        }
    }
    return keeps;
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
    data.colNorm = data.X.colwise().norm().transpose();
    data.colMean = Eigen::VectorXd::Zero(P);
    if (n > 0) {
        for (int j = 1; j < P; ++j) {
            data.colMean[j] = accurateMean(data.X.col(j));
            data.X.col(j).array() -= data.colMean[j];
        }
        data.yMean = accurateMean(data.y);
        data.y.array() -= data.yMean;
        const double m = data.y.mean();
        long double sst = 0.0L;
        for (int k = 0; k < n; ++k)
            sst += static_cast<long double>(data.y[k] - m) * (data.y[k] - m);
        data.sst = static_cast<double>(sst);
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
    fit.colMean = data.colMean;
    fit.yMean = data.yMean;

    Eigen::MatrixXd Q, R;
    const int r = factorise(data, fit.entered, Q, R, fit.order);
    fit.p = r;
    fit.dfe = n - r;
    const auto Rr = R.topLeftCorner(r, r).triangularView<Eigen::Upper>();
    fit.rinv = Rr.solve(Eigen::MatrixXd::Identity(r, r));
    Eigen::MatrixXd e = data.y;
    const Eigen::MatrixXd qy = orthogonalise(Q, r, e);
    fit.gamma = fit.rinv.triangularView<Eigen::Upper>() * qy.col(0);
    // One refinement on an accurately formed residual: the SSE then errs only by the square of
    // the coefficients' error, which matters for near-perfect fits.
    Eigen::VectorXd resid = residual(data, fit.order, fit.gamma);
    fit.gamma += fit.rinv.triangularView<Eigen::Upper>() * (Q.leftCols(r).transpose() * resid);
    resid = residual(data, fit.order, fit.gamma);
    long double sse = 0.0L;
    for (int i = 0; i < n; ++i)
        sse += static_cast<long double>(resid[i]) * resid[i];
    fit.sse = static_cast<double>(sse);
    // Model SS from the fitted effects of the centred columns, never as SST - SSE; the intercept
    // alone gives exactly 0.
    std::vector<long double> effect(n, 0.0L);
    for (int k = 0; k < r; ++k) {
        if (fit.order[k] == 0)
            continue;
        const double* col = data.X.col(fit.order[k]).data();
        for (int i = 0; i < n; ++i)
            effect[i] += static_cast<long double>(fit.gamma[k]) * col[i];
    }
    long double effectMean = 0.0L, ssModel = 0.0L;
    for (long double v : effect)
        effectMean += v;
    effectMean = n > 0 ? effectMean / n : 0.0L;
    for (long double v : effect)
        ssModel += (v - effectMean) * (v - effectMean);
    fit.ssModel = r > 0 ? static_cast<double>(ssModel) : kNaN;

    long double intercept = static_cast<long double>(data.yMean);
    for (int k = 0; k < r; ++k) {
        const int j = fit.order[k];
        if (j == 0) {
            intercept += fit.gamma[k];
        } else {
            fit.beta[j] = fit.gamma[k];
            intercept -= static_cast<long double>(fit.gamma[k]) * data.colMean[j];
        }
    }
    if (r > 0 && fit.order[0] == 0)
        fit.beta[0] = static_cast<double>(intercept);
    fit.mse = fit.dfe > 0 ? fit.sse / fit.dfe : kNaN;

    // Summary statistics shared by step and run.
    fit.rmse = std::sqrt(fit.mse);
    fit.rsquare = fit.sst > 0.0 ? fit.ssModel / fit.sst : kNaN;
    // 1 - MSE / (SST / (n - 1)), written so that a fit no better than the mean gives exactly 0.
    fit.rsquareAdj = (fit.sst > 0.0 && n > 1 && fit.dfe > 0)
                         ? (fit.dfe * fit.ssModel - (r - 1.0) * fit.sse) / (fit.dfe * fit.sst)
                         : kNaN;
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
    fit.resid = resid;
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

    // Entered parameters: the rise of SSE on removal is g^2 / [(Xc'Xc)^-1]_jj, unless another
    // entered column takes its place (an alias group): then the rank and the SSE stay, and the
    // test has no DF.
    const std::vector<char> keepsRank = removalKeepsRank(data, fit, pos);
    for (int j = 0; j < P; ++j) {
        StepParam& s = fit.stepParams[j];
        if (!fit.entered[j] || pos[j] < 0)
            continue;
        s.estimate = fit.beta[j];
        if (j == 0) {
            s.ndf = 1;
            continue;
        }
        if (fit.dfe <= 0 || keepsRank[j])
            continue;
        const double g = fit.gamma[pos[j]];
        const double v = fit.rinv.row(pos[j]).squaredNorm();
        s.ndf = 1;
        s.ss = g * g / v;
        fTest(s.ss, fit.mse, 1.0, fit.dfe, s.fRatio, s.probF);
    }
    // Parameters not entered: the fall of SSE on entry is (w'e)^2 / w'w, w the part of the column
    // orthogonal to the entered ones; the SSE after entry is formed from the new residual, not by
    // subtraction, so an enormous F keeps its digits. All columns in one block.
    if (out.empty() || fit.dfe - 1 <= 0)
        return;
    Eigen::MatrixXd W(n, static_cast<int>(out.size()));
    for (size_t k = 0; k < out.size(); ++k)
        W.col(static_cast<int>(k)) = data.X.col(out[k]);
    orthogonalise(Q, r, W);
    const Eigen::VectorXd we = W.transpose() * e;
    for (size_t k = 0; k < out.size(); ++k) {
        const int j = out[k];
        const int col = static_cast<int>(k);
        const double nr2 = W.col(col).squaredNorm();
        const double norm0 = data.colNorm[j];
        if (!(norm0 > 0.0) || !(std::sqrt(nr2) > kAliasTolerance * norm0))
            continue;
        const double c = we[col] / nr2;
        long double sseAfter = 0.0L;
        for (int i = 0; i < n; ++i) {
            const long double d = e[i] - static_cast<long double>(c) * W(i, col);
            sseAfter += d * d;
        }
        StepParam& s = fit.stepParams[j];
        s.ndf = 1;
        s.ss = std::min(fit.sse, we[col] * we[col] / nr2);
        const double mseAfter = static_cast<double>(sseAfter) / (fit.dfe - 1);
        fTest(s.ss, mseAfter, 1.0, fit.dfe - 1, s.fRatio, s.probF);
    }
}

void computeRunStats(Fit& fit)
{
    const int P = static_cast<int>(fit.beta.size());
    fit.runParams.assign(P, RunParam());
    if (!fit.valid)
        return;
    fit.dfModel = fit.p - 1;
    if (fit.dfModel > 0 && fit.dfe > 0)
        fTest(fit.ssModel / fit.dfModel, fit.mse, fit.dfModel, fit.dfe, fit.fRatio, fit.probF);
    else
        fit.fRatio = fit.probF = kNaN;
    std::vector<double> unit(P, 0.0), scratch(fit.p);
    if (P > 0)
        unit[0] = 1.0;
    for (int k = 0; k < fit.p; ++k) {
        const int j = fit.order[k];
        RunParam& rp = fit.runParams[j];
        rp.estimate = fit.beta[j];
        // The intercept's variance is the leverage of the origin; the others' are those of the
        // centred columns.
        const double v =
            j == 0 ? leverage(fit, unit.data(), scratch.data()) : fit.rinv.row(k).squaredNorm();
        rp.stdError = std::sqrt(fit.mse * v);
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

namespace {

// Row of the centred parametrisation: the intercept's entry as given, the others minus their mean.
double centred(const Fit& fit, const double* row, int j)
{
    return j == 0 ? row[0] : row[j] - fit.colMean[j];
}

}  // namespace

double leverage(const Fit& fit, const double* row, double* scratch)
{
    // z = rinv' x over the estimable parameters; h = |z|^2.
    const int r = fit.p;
    for (int k = 0; k < r; ++k)
        scratch[k] = centred(fit, row, fit.order[k]);
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
    // The mean response plus the centred effects, so that a large mean costs no digits.
    double y = 0.0;
    for (int k = 0; k < fit.p; ++k)
        y += fit.gamma[k] * centred(fit, row, fit.order[k]);
    return fit.yMean + y;
}

}  // namespace orvex
