#include "DoeMixedModel.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <Eigen/Eigenvalues>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/tools/minima.hpp>

#include <QStringList>

#include <cmath>
#include <limits>

namespace doeBussiness {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const double kLog2Pi = std::log(2.0 * 3.14159265358979323846);

using Eigen::MatrixXd;
using Eigen::VectorXd;

// Cross products of U = [X y] and Z (the random-effect indicators), all an evaluation needs.
struct Gram {
    int n = 0, p = 0, q = 0;
    QVector<int> offset;  // first Z column of each term, then q
    MatrixXd UU, ZU, S;   // U'U, Z'U, Z'Z
    double yss = 0.0;     // sum of squares of y about its mean: the scale of an exact fit
    bool diagonal = true; // Z'Z is diagonal (one random term)
    int terms() const { return offset.size() - 1; }
    // S A, cheap when S is diagonal.
    MatrixXd mulS(const MatrixXd& A) const { return diagonal ? MatrixXd(S.diagonal().asDiagonal() * A) : MatrixXd(S * A); }
};

Gram makeGram(const MatrixXd& X, const VectorXd& y, const QVector<QVector<int>>& groups)
{
    Gram g;
    g.n = static_cast<int>(X.rows());
    g.p = static_cast<int>(X.cols());
    MatrixXd U(g.n, g.p + 1);
    U << X, y;
    g.offset.append(0);
    for (const QVector<int>& levels : groups) {
        int count = 0;
        for (int v : levels)
            count = std::max(count, v + 1);
        g.offset.append(g.offset.last() + count);
    }
    g.q = g.offset.last();
    g.UU = U.transpose() * U;
    g.yss = (y.array() - y.mean()).square().sum();
    g.ZU = MatrixXd::Zero(g.q, g.p + 1);
    g.S = MatrixXd::Zero(g.q, g.q);
    for (int i = 0; i < g.n; ++i) {
        for (int k = 0; k < g.terms(); ++k) {
            const int a = g.offset[k] + groups[k][i];
            g.ZU.row(a) += U.row(i);
            for (int l = 0; l < g.terms(); ++l)
                g.S(a, g.offset[l] + groups[l][i]) += 1.0;
        }
    }
    g.diagonal = g.terms() <= 1;
    return g;
}

// For ratios gamma (variance over residual variance) with H = I + Z diag(gamma) Z':
// H^-1 = I - Z M Z' with M = L (I + L S L)^-1 L, L = diag(sqrt gamma), and log |H|.
struct Core {
    bool ok = false;
    MatrixXd M;          // dense, unless diagonal
    VectorXd diagonalM;  // M of a single random term
    bool diagonal = false;
    double logDetH = 0.0;
    MatrixXd mul(const MatrixXd& A) const { return diagonal ? MatrixXd(diagonalM.asDiagonal() * A) : MatrixXd(M * A); }
};

Core makeCore(const Gram& g, const VectorXd& gamma)
{
    Core c;
    VectorXd lambda(g.q);
    for (int k = 0; k < g.terms(); ++k)
        for (int j = g.offset[k]; j < g.offset[k + 1]; ++j)
            lambda[j] = std::sqrt(std::max(gamma[k], 0.0));
    if (g.diagonal) {
        const VectorXd d = (lambda.array().square() * g.S.diagonal().array() + 1.0).matrix();
        c.logDetH = d.array().log().sum();
        c.diagonalM = (lambda.array().square() / d.array()).matrix();
        c.diagonal = true;
        c.ok = std::isfinite(c.logDetH);
        return c;
    }
    const MatrixXd A = MatrixXd::Identity(g.q, g.q) + lambda.asDiagonal() * g.S * lambda.asDiagonal();
    Eigen::LLT<MatrixXd> llt(A);
    if (llt.info() != Eigen::Success)
        return c;
    c.logDetH = 2.0 * llt.matrixLLT().diagonal().array().log().sum();
    c.M = lambda.asDiagonal() * llt.solve(MatrixXd(lambda.asDiagonal()));
    c.ok = std::isfinite(c.logDetH);
    return c;
}

// REML criterion with the residual variance profiled out; +inf where it cannot be evaluated.
double profiledCriterion(const Gram& g, const VectorXd& gamma, double* sigma2 = nullptr)
{
    const Core c = makeCore(g, gamma);
    if (!c.ok)
        return kInf;
    const MatrixXd W = g.UU - g.ZU.transpose() * c.mul(g.ZU);
    Eigen::LLT<MatrixXd> llt(W.topLeftCorner(g.p, g.p));
    if (llt.info() != Eigen::Success)
        return kInf;
    const VectorXd xty = W.topRightCorner(g.p, 1);
    const double rss = W(g.p, g.p) - xty.dot(llt.solve(xty));
    const int df = g.n - g.p;
    const double s2 = rss / df;
    // A residual at rounding level is an exact fit.
    if (!(rss > 1e-13 * g.yss) || !std::isfinite(s2))
        return kInf;
    if (sigma2)
        *sigma2 = s2;
    return df * (1.0 + kLog2Pi + std::log(s2)) + c.logDetH
           + 2.0 * llt.matrixLLT().diagonal().array().log().sum();
}

// Everything Fisher scoring and the Kenward-Roger adjustment need at given variances
// (random terms, then the residual): V = sum of variance_i G_i, G_k = Z_k Z_k', G_e = I.
struct Evaluation {
    bool ok = false;
    VectorXd beta;
    MatrixXd phi;                        // (X' V^-1 X)^-1
    std::vector<MatrixXd> P;             // -X' V^-1 G_i V^-1 X
    std::vector<std::vector<MatrixXd>> Q;  // X' V^-1 G_i V^-1 G_j V^-1 X
    MatrixXd ie2;                        // tr(Pr G_i Pr G_j), twice the expected information
    VectorXd score;                      // gradient of the restricted log likelihood
};

Evaluation evaluate(const Gram& g, const VectorXd& variances)
{
    Evaluation e;
    const int K = g.terms(), p = g.p, m = K + 1;
    const double s = variances[K];
    if (!(s > 0.0))
        return e;
    const Core c = makeCore(g, variances.head(K) / s);
    if (!c.ok)
        return e;
    const MatrixXd MS = c.mul(g.S);
    const MatrixXd MZU = c.mul(g.ZU);
    const MatrixXd SMZU = g.mulS(MZU);
    const MatrixXd MSMZU = c.mul(SMZU);
    const MatrixXd F1 = g.ZU.transpose() * MZU, F2 = MZU.transpose() * SMZU, F3 = SMZU.transpose() * MSMZU;
    const MatrixXd H1UU = g.UU - F1, H2UU = g.UU - 2.0 * F1 + F2, H3UU = g.UU - 3.0 * F1 + 3.0 * F2 - F3;
    const MatrixXd H1ZU = g.ZU - SMZU, H2ZU = g.ZU - 2.0 * SMZU + g.mulS(MSMZU);
    const MatrixXd SMS = g.mulS(MS);
    const MatrixXd H1ZZ = g.S - SMS, H2ZZ = g.S - 2.0 * SMS + g.mulS(c.mul(SMS));
    const double trH1 = g.n - MS.trace();
    const double trH2 = g.n - 2.0 * MS.trace() + MS.cwiseProduct(MS.transpose()).sum();

    Eigen::LLT<MatrixXd> llt(H1UU.topLeftCorner(p, p));
    if (llt.info() != Eigen::Success)
        return e;
    const MatrixXd inv = llt.solve(MatrixXd::Identity(p, p));
    e.beta = inv * H1UU.topRightCorner(p, 1);
    e.phi = s * inv;
    VectorXd cr(p + 1);
    cr << -e.beta, 1.0;
    const VectorXd zr = H1ZU * cr;            // Z' H^-1 r
    const double rH2r = cr.dot(H2UU * cr);    // r' H^-2 r

    const double s2 = s * s, s3 = s2 * s;
    auto rows = [&](const MatrixXd& A, int k) { return A.middleRows(g.offset[k], g.offset[k + 1] - g.offset[k]); };
    auto block = [&](const MatrixXd& A, int k, int l) {
        return A.block(g.offset[k], g.offset[l], g.offset[k + 1] - g.offset[k], g.offset[l + 1] - g.offset[l]);
    };
    const MatrixXd ZH1X = H1ZU.leftCols(p), ZH2X = H2ZU.leftCols(p);
    e.P.resize(m);
    e.Q.assign(m, std::vector<MatrixXd>(m));
    MatrixXd ktrace(m, m);
    VectorXd trVG(m), quad(m);
    for (int k = 0; k < K; ++k) {
        const MatrixXd Ak = rows(ZH1X, k);
        e.P[k] = -(Ak.transpose() * Ak) / s2;
        for (int l = 0; l < K; ++l) {
            e.Q[k][l] = Ak.transpose() * block(H1ZZ, k, l) * rows(ZH1X, l) / s3;
            ktrace(k, l) = block(H1ZZ, k, l).squaredNorm() / s2;
        }
        e.Q[k][K] = Ak.transpose() * rows(ZH2X, k) / s3;
        e.Q[K][k] = e.Q[k][K].transpose();
        ktrace(k, K) = ktrace(K, k) = block(H2ZZ, k, k).trace() / s2;
        trVG[k] = block(H1ZZ, k, k).trace() / s;
        quad[k] = zr.segment(g.offset[k], g.offset[k + 1] - g.offset[k]).squaredNorm() / s2;
    }
    e.P[K] = -H2UU.topLeftCorner(p, p) / s2;
    e.Q[K][K] = H3UU.topLeftCorner(p, p) / s3;
    ktrace(K, K) = trH2 / s2;
    trVG[K] = trH1 / s;
    quad[K] = rH2r / s2;

    e.ie2.resize(m, m);
    e.score.resize(m);
    for (int i = 0; i < m; ++i) {
        const MatrixXd phiP = e.phi * e.P[i];
        e.score[i] = -0.5 * (trVG[i] + phiP.trace()) + 0.5 * quad[i];
        for (int j = 0; j < m; ++j)
            e.ie2(i, j) = ktrace(i, j) - 2.0 * e.phi.cwiseProduct(e.Q[i][j]).sum()
                          + phiP.cwiseProduct(e.P[j] * e.phi).sum();
    }
    e.ok = e.beta.allFinite() && e.phi.allFinite() && e.ie2.allFinite() && e.score.allFinite();
    return e;
}

// Inverse of a symmetric matrix, or its pseudo-inverse when nearly singular.
MatrixXd symmetricInverse(const MatrixXd& A)
{
    Eigen::SelfAdjointEigenSolver<MatrixXd> eig(A);
    const VectorXd d = eig.eigenvalues();
    const double tol = 1e-10;
    VectorXd inv(d.size());
    const bool regular = d.cwiseAbs().minCoeff() > tol;
    for (int i = 0; i < d.size(); ++i)
        inv[i] = (regular || std::fabs(d[i]) > tol * std::max(1.0, d.cwiseAbs().maxCoeff())) ? 1.0 / d[i] : 0.0;
    return eig.eigenvectors() * inv.asDiagonal() * eig.eigenvectors().transpose();
}

// Rank of a semi-definite matrix against the scale of the matrix it was derived from.
int numericalRank(const MatrixXd& A, double scale)
{
    if (A.size() == 0)
        return 0;
    // The pivots of a pivoted LDL' reveal the rank of a semi-definite matrix at a fraction of
    // the cost of its eigenvalues.
    const VectorXd d = Eigen::LDLT<MatrixXd>(A).vectorD();
    return static_cast<int>((d.array() > 1e-9 * scale).count());
}

// The data must leave something for every variance to describe.
QString identifiability(const Gram& g, const QStringList& names)
{
    if (g.n - g.p < 1)
        return QStringLiteral("Not enough rows for the fixed effects\n");
    Eigen::LLT<MatrixXd> llt(g.UU.topLeftCorner(g.p, g.p));
    const MatrixXd zx = g.ZU.leftCols(g.p);
    const MatrixXd residual = g.S - zx * llt.solve(zx.transpose());
    const double scale = std::max(g.S.diagonal().maxCoeff(), 1.0);
    QString message;
    for (int k = 0; k < g.terms(); ++k) {
        const int qk = g.offset[k + 1] - g.offset[k];
        if (numericalRank(residual.block(g.offset[k], g.offset[k], qk, qk), scale) == 0)
            message += QStringLiteral("Random effect %1 is confounded with the fixed effects\n").arg(names.value(k));
    }
    if (message.isEmpty() && g.n - g.p - numericalRank(residual, scale) < 1)
        message += QStringLiteral("No residual degrees of freedom are left beside the random effects\n");
    return message;
}

// Profiled REML over theta = sqrt(gamma) >= 0: a grid then Brent along each coordinate in turn.
VectorXd searchRatios(const Gram& g)
{
    const int K = g.terms();
    VectorXd theta = VectorXd::Ones(K);
    auto crit = [&](const VectorXd& t) { return profiledCriterion(g, t.array().square().matrix()); };
    QVector<double> grid{0.0};
    for (int i = 0; i <= 32; ++i)
        grid.append(std::pow(10.0, -4.0 + 0.25 * i));
    for (int sweep = 0; sweep < (K == 1 ? 1 : 40); ++sweep) {
        double change = 0.0;
        for (int k = 0; k < K; ++k) {
            VectorXd t = theta;
            auto along = [&](double v) { t[k] = v; return crit(t); };
            int at = 0;
            double low = kInf;
            for (int i = 0; i < grid.size(); ++i) {
                const double f = along(grid[i]);
                if (f < low) {
                    low = f;
                    at = i;
                }
            }
            if (!std::isfinite(low))
                continue;
            const double lo = grid[std::max(at - 1, 0)], hi = grid[std::min(at + 1, grid.size() - 1)];
            const auto r = boost::math::tools::brent_find_minima(along, lo, hi, std::numeric_limits<double>::digits);
            const double v = r.second < low ? r.first : grid[at];
            change = std::max(change, std::fabs(v - theta[k]) / (1.0 + theta[k]));
            theta[k] = v;
        }
        if (change < 1e-12)
            break;
    }
    return theta.array().square().matrix();
}

// Fisher scoring on the variances from a close start; a variance that wants to go below zero
// stays on the boundary. Steps that worsen the criterion are halved.
VectorXd polish(const Gram& g, VectorXd variances)
{
    const int K = g.terms();
    double current = profiledCriterion(g, variances.head(K) / variances[K]);
    for (int it = 0; it < 50; ++it) {
        const Evaluation e = evaluate(g, variances);
        if (!e.ok)
            break;
        const VectorXd step = 2.0 * symmetricInverse(e.ie2) * e.score;
        bool moved = false;
        for (double f = 1.0; f > 1e-3 && !moved; f *= 0.5) {
            VectorXd next = (variances + f * step).cwiseMax(0.0);
            if (!(next[K] > 0.0))
                continue;
            // The residual variance that is optimal for these ratios.
            double s2 = 0.0;
            const double c = profiledCriterion(g, next.head(K) / next[K], &s2);
            next.head(K) *= s2 / next[K];
            next[K] = s2;
            if (c <= current + 1e-12 * std::fabs(current)) {
                const double change = ((next - variances).cwiseAbs().array()
                                       / (variances.cwiseAbs().array() + 1e-300)).maxCoeff();
                variances = next;
                current = std::min(current, c);
                moved = true;
                if (change < 1e-13)
                    return variances;
            }
        }
        if (!moved)
            break;
    }
    return variances;
}

}  // namespace

DoeMixedModelFit fitMixedModel(const MatrixXd& X, const VectorXd& y, const QVector<QVector<int>>& groups,
                               const QStringList& termNames)
{
    DoeMixedModelFit fit;
    fit.rows = static_cast<int>(X.rows());
    if (groups.isEmpty() || X.rows() != y.size() || X.cols() == 0) {
        fit.message = QStringLiteral("No random effect to fit\n");
        return fit;
    }
    for (int k = 0; k < groups.size(); ++k) {
        if (groups[k].size() != X.rows() || *std::min_element(groups[k].begin(), groups[k].end()) < 0) {
            fit.message = QStringLiteral("Random effect %1 has rows without a level\n").arg(termNames.value(k));
            return fit;
        }
    }
    // Centring the response keeps a large offset from costing precision; the intercept takes it back.
    const bool intercept = (X.col(0).array() == 1.0).all();
    const double offset = intercept ? y.mean() : 0.0;
    const Gram g = makeGram(X, y.array() - offset, groups);
    fit.message = identifiability(g, termNames);
    if (!fit.message.isEmpty())
        return fit;
    const int K = g.terms();
    const VectorXd gamma = searchRatios(g);
    double s2 = 0.0;
    if (!std::isfinite(profiledCriterion(g, gamma, &s2))) {
        fit.message = QStringLiteral("The model fits the data exactly: no residual variance to estimate\n");
        return fit;
    }
    VectorXd variances(K + 1);
    variances << gamma * s2, s2;
    variances = polish(g, variances);
    const Evaluation e = evaluate(g, variances);
    if (!e.ok) {
        fit.message = QStringLiteral("The mixed model cannot be estimated\n");
        return fit;
    }
    fit.variances = variances;
    fit.beta = e.beta;
    fit.beta[0] += offset;
    fit.cov = e.phi;
    fit.P = e.P;
    fit.varianceCov = 2.0 * symmetricInverse(e.ie2);
    MatrixXd u = MatrixXd::Zero(g.p, g.p);
    for (int i = 0; i <= K; ++i)
        for (int j = 0; j <= K; ++j)
            u += fit.varianceCov(i, j) * (e.Q[i][j] - e.P[i] * e.phi * e.P[j]);
    fit.covAdjusted = e.phi + 2.0 * e.phi * u * e.phi;
    fit.remlCriterion = profiledCriterion(g, variances.head(K) / variances[K]);
    fit.valid = fit.covAdjusted.allFinite() && fit.varianceCov.allFinite();
    if (!fit.valid)
        fit.message = QStringLiteral("The mixed model cannot be estimated\n");
    return fit;
}

DoeKenwardRogerTest kenwardRogerTest(const DoeMixedModelFit& fit, const QVector<int>& columns)
{
    const int p = static_cast<int>(fit.beta.size());
    MatrixXd L = MatrixXd::Zero(columns.size(), p);
    for (int r = 0; r < columns.size(); ++r) {
        if (columns[r] < 0 || columns[r] >= p)
            return kenwardRogerTest(fit, MatrixXd());
        L(r, columns[r]) = 1.0;
    }
    return kenwardRogerTest(fit, L);
}

DoeKenwardRogerTest kenwardRogerTest(const DoeMixedModelFit& fit, const MatrixXd& L)
{
    DoeKenwardRogerTest t;
    t.numDF = static_cast<int>(L.rows());
    t.denDF = t.fRatio = t.probF = kNaN;
    if (!fit.valid || L.rows() == 0 || L.cols() != fit.beta.size())
        return t;
    const double q = static_cast<double>(L.rows());
    const MatrixXd theta = L.transpose() * (L * fit.cov * L.transpose()).ldlt().solve(L);
    const MatrixXd thetaPhi = theta * fit.cov;
    double a1 = 0.0, a2 = 0.0;
    const int m = static_cast<int>(fit.P.size());
    for (int i = 0; i < m; ++i) {
        const MatrixXd ui = thetaPhi * fit.P[i] * fit.cov;
        for (int j = i; j < m; ++j) {
            const MatrixXd uj = thetaPhi * fit.P[j] * fit.cov;
            const double w = (i == j ? 1.0 : 2.0) * fit.varianceCov(i, j);
            a1 += w * ui.trace() * uj.trace();
            a2 += w * ui.cwiseProduct(uj.transpose()).sum();
        }
    }
    const double b = (a1 + 6.0 * a2) / (2.0 * q);
    const double g = ((q + 1.0) * a1 - (q + 4.0) * a2) / ((q + 2.0) * a2);
    const double den = 3.0 * q + 2.0 * (1.0 - g);
    const double c1 = g / den, c2 = (q - g) / den, c3 = (q + 2.0 - g) / den;
    double v0 = 1.0 + c1 * b;
    const double v1 = 1.0 - c2 * b, v2 = 1.0 - c3 * b;
    if (std::fabs(v0) < 1e-10)
        v0 = 0.0;
    const double x = 1.0 - a2 / q;
    // Both vanish together in balanced designs (A1 = A2 = q): the limit of the ratio is 1, and a
    // quotient of two rounding errors would make the DF noise.
    const double ratio = (std::fabs(x) < 1e-10 && std::fabs(v1) < 1e-10) ? 1.0 : x / v1;
    const double rho = ratio * ratio * v0 / (q * v2);
    t.denDF = 4.0 + (q + 2.0) / (q * rho - 1.0);
    const double scaling = std::fabs(t.denDF - 2.0) < 1e-2 ? 1.0 : t.denDF * x / (t.denDF - 2.0);
    const VectorXd lb = L * fit.beta;
    const double wald = lb.dot((L * fit.covAdjusted * L.transpose()).ldlt().solve(lb));
    t.fRatio = scaling * wald / q;
    if (std::isfinite(t.fRatio) && t.fRatio >= 0.0 && std::isfinite(t.denDF) && t.denDF > 0.0) {
        try {
            const boost::math::fisher_f dist(q, t.denDF);
            t.probF = boost::math::cdf(boost::math::complement(dist, t.fRatio));
        } catch (...) {
            t.probF = kNaN;
        }
    }
    return t;
}

}  // namespace doeBussiness
