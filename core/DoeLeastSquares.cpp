#include "DoeLeastSquares.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <boost/math/distributions/fisher_f.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace doeBussiness {

namespace {
constexpr double kAliasTolerance = 1e-9;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

DoeLsqFit fitChosenColumns(const Eigen::MatrixXd& X, const Eigen::VectorXd& y, QVector<int> chosen)
{
    DoeLsqFit fit;
    const int n = static_cast<int>(X.rows());
    if (n == 0 || y.size() != n)
        return fit;
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());

    // Gram-Schmidt twice per column, in column order, as the engine decides aliasing.
    Eigen::MatrixXd Q(n, std::min<int>(n, chosen.size()));
    Eigen::MatrixXd R = Eigen::MatrixXd::Zero(chosen.size(), chosen.size());
    int r = 0;
    for (int j : qAsConst(chosen)) {
        if (j < 0 || j >= X.cols())
            continue;
        Eigen::VectorXd v = X.col(j);
        const double norm0 = v.norm();
        Eigen::VectorXd c = Eigen::VectorXd::Zero(r);
        for (int pass = 0; pass < 2 && r > 0; ++pass) {
            const Eigen::VectorXd d = Q.leftCols(r).transpose() * v;
            v -= Q.leftCols(r) * d;
            c += d;
        }
        const double nv = v.norm();
        if (r >= n || !(norm0 > 0.0) || !(nv > kAliasTolerance * norm0)) {
            fit.aliased.append(j);
            continue;
        }
        Q.col(r) = v / nv;
        R.block(0, r, r, 1) = c;
        R(r, r) = nv;
        fit.basis.append(j);
        ++r;
    }
    const Eigen::MatrixXd Rr = R.topLeftCorner(r, r);
    const Eigen::MatrixXd rinv =
        Rr.triangularView<Eigen::Upper>().solve(Eigen::MatrixXd::Identity(r, r));
    fit.beta = rinv * (Q.leftCols(r).transpose() * y);
    fit.covUnscaled = rinv * rinv.transpose();
    // Residuals accumulated in extended precision, so that a large response offset costs nothing.
    long double sse = 0.0L;
    for (int i = 0; i < n; ++i) {
        long double e = y[i];
        for (int k = 0; k < r; ++k)
            e -= static_cast<long double>(fit.beta[k]) * X(i, fit.basis[k]);
        sse += e * e;
    }
    fit.sse = static_cast<double>(sse);
    fit.dfe = n - r;
    fit.valid = true;
    return fit;
}

DoeEffectTest partialFTest(const DoeLsqFit& fit, const QVector<int>& columns)
{
    DoeEffectTest t;
    t.nparm = columns.size();
    t.denominatorDF = fit.dfe;
    QVector<int> pos;
    for (int c : columns) {
        const int k = fit.basis.indexOf(c);
        if (k >= 0)
            pos.append(k);
    }
    t.df = pos.size();
    if (!fit.valid || t.df == 0)
        return t;
    Eigen::VectorXd b(t.df);
    Eigen::MatrixXd v(t.df, t.df);
    for (int a = 0; a < t.df; ++a) {
        b[a] = fit.beta[pos[a]];
        for (int c = 0; c < t.df; ++c)
            v(a, c) = fit.covUnscaled(pos[a], pos[c]);
    }
    t.sumOfSquares = b.dot(v.ldlt().solve(b));
    if (fit.dfe <= 0)
        return t;
    const double mse = fit.sse / fit.dfe;
    if (!(mse > 0.0)) {
        // An exact fit: any non-zero effect is infinitely significant.
        t.fRatio = t.sumOfSquares > 0.0 ? std::numeric_limits<double>::infinity() : kNaN;
        t.probF = t.sumOfSquares > 0.0 ? 0.0 : kNaN;
        return t;
    }
    t.fRatio = t.sumOfSquares / t.df / mse;
    if (std::isfinite(t.fRatio)) {
        try {
            const boost::math::fisher_f dist(t.df, fit.dfe);
            t.probF = boost::math::cdf(boost::math::complement(dist, t.fRatio));
        } catch (...) {
            t.probF = kNaN;
        }
    }
    return t;
}

}  // namespace doeBussiness
