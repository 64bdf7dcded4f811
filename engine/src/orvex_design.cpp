#include "orvex_design.h"

#include "orvex_rng.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

// Ridge added to X'X so that singular starts and designs with fewer runs than parameters still
// have a finite criterion to improve.
constexpr double kRidge = 1e-6;

using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

double evalQuartic(const double* c, double t)
{
    return (((c[4] * t + c[3]) * t + c[2]) * t + c[1]) * t + c[0];
}

// Maximiser of a quartic on [-1, 1]: the ends and every root of its derivative inside.
double maximiseQuartic(const double* c, double* bestValue)
{
    const double d[4] = {c[1], 2.0 * c[2], 3.0 * c[3], 4.0 * c[4]};
    auto deriv = [&](double t) { return ((d[3] * t + d[2]) * t + d[1]) * t + d[0]; };
    // Split [-1, 1] where the derivative turns, so it is monotone on each piece.
    double cuts[4] = {-1.0, 0.0, 0.0, 1.0};
    int ncut = 1;
    const double qa = 3.0 * d[3], qb = 2.0 * d[2], qc = d[1];
    if (qa != 0.0) {
        const double disc = qb * qb - 4.0 * qa * qc;
        if (disc > 0.0) {
            const double s = std::sqrt(disc);
            double r1 = (-qb - s) / (2.0 * qa), r2 = (-qb + s) / (2.0 * qa);
            if (r1 > r2)
                std::swap(r1, r2);
            if (r1 > -1.0 && r1 < 1.0)
                cuts[ncut++] = r1;
            if (r2 > -1.0 && r2 < 1.0)
                cuts[ncut++] = r2;
        }
    } else if (qb != 0.0) {
        const double r = -qc / qb;
        if (r > -1.0 && r < 1.0)
            cuts[ncut++] = r;
    }
    cuts[ncut++] = 1.0;
    double bestT = -1.0;
    double best = evalQuartic(c, -1.0);
    const double endValue = evalQuartic(c, 1.0);
    if (endValue > best) {
        best = endValue;
        bestT = 1.0;
    }
    for (int k = 0; k + 1 < ncut; ++k) {
        double a = cuts[k], b = cuts[k + 1];
        double fa = deriv(a), fb = deriv(b);
        if (!(fa > 0.0 && fb < 0.0))
            continue;  // only a falling derivative marks a maximum
        for (int it = 0; it < 60 && b - a > 1e-13; ++it) {
            const double m = 0.5 * (a + b);
            if (deriv(m) > 0.0)
                a = m;
            else
                b = m;
        }
        const double t = 0.5 * (a + b);
        const double v = evalQuartic(c, t);
        if (v > best) {
            best = v;
            bestT = t;
        }
    }
    *bestValue = best;
    return bestT;
}

class Search {
public:
    Search(const Model& model, int n) : m_(model), n_(n), F_(model.factorCount()), P_(model.paramCount())
    {
        X_.resize(n_, P_);
        runs_.assign(static_cast<size_t>(n_) * F_, 0.0);
        cols_.resize(m_.columnCount());
        // Parameters touched by each factor: only these change when one coordinate moves.
        touched_.resize(F_);
        for (int k = 0; k < P_; ++k) {
            const auto& t = m_.term(k);
            for (int f = 0; f < F_; ++f) {
                const bool hit = (t.first >= 0 && m_.columnFactor(t.first) == f)
                    || (t.second >= 0 && m_.columnFactor(t.second) == f);
                if (hit)
                    touched_[f].push_back(k);
            }
        }
        g_.resize(P_);
        Vf_.resize(P_);
        Vg_.resize(P_);
        Vu_.resize(P_);
        Vv_.resize(P_);
        Vw_.resize(P_);
        u_.resize(P_);
        v_.resize(P_);
        w_.resize(P_);
    }

    void randomStart(Rng& rng)
    {
        for (int i = 0; i < n_; ++i) {
            double* run = &runs_[static_cast<size_t>(i) * F_];
            for (int f = 0; f < F_; ++f) {
                const Factor& fac = m_.factor(f);
                if (fac.kind == FactorKind::Continuous)
                    run[f] = toUnits(fac, 2.0 * rng.uniform() - 1.0);
                else
                    run[f] = rng.below(fac.levelCount());
            }
            rowOf(run, X_.row(i).data());
        }
    }

    // Runs one start to convergence; returns the regularised log determinant reached.
    double optimise(int maxPasses)
    {
        refresh();
        for (int pass = 0; pass < maxPasses; ++pass) {
            const double before = logdet_;
            for (int i = 0; i < n_; ++i)
                for (int f = 0; f < F_; ++f)
                    improveCoordinate(i, f);
            refresh();
            if (!(logdet_ - before > 1e-8))
                break;
        }
        return logdet_;
    }

    const std::vector<double>& runs() const { return runs_; }

private:
    static double toUnits(const Factor& f, double t)
    {
        return 0.5 * (f.low + f.high) + 0.5 * t * (f.high - f.low);
    }

    void rowOf(const double* run, double* row)
    {
        m_.runRow(run, row, cols_.data());
    }

    void refresh()
    {
        Eigen::MatrixXd M = X_.transpose() * X_;
        M.diagonal().array() += kRidge;
        Eigen::LLT<Eigen::MatrixXd> llt(M);
        V_ = llt.solve(Eigen::MatrixXd::Identity(P_, P_));
        logdet_ = 2.0 * llt.matrixLLT().diagonal().array().log().sum();
    }

    // Moves one coordinate of run i to its best value given all others.
    void improveCoordinate(int i, int f)
    {
        const Factor& fac = m_.factor(f);
        double* run = &runs_[static_cast<size_t>(i) * F_];
        const auto& S = touched_[f];
        auto xrow = X_.row(i);
        Eigen::VectorXd fvec = xrow.transpose();
        Vf_.noalias() = V_ * fvec;
        const double d = fvec.dot(Vf_);
        const double keep = run[f];
        double bestDelta = 1.0 + 1e-10;
        double bestValue = keep;

        if (fac.kind == FactorKind::Continuous) {
            if (fac.low == fac.high)
                return;
            // The row is quadratic in the coded coordinate t: g(t) = u + t v + t^2 w.
            run[f] = toUnits(fac, -1.0);
            rowOf(run, g_.data());
            Eigen::VectorXd gm = g_;
            run[f] = toUnits(fac, 1.0);
            rowOf(run, g_.data());
            Eigen::VectorXd gp = g_;
            run[f] = toUnits(fac, 0.0);
            rowOf(run, u_.data());
            run[f] = keep;
            v_.setZero();
            w_.setZero();
            Vu_ = Vf_;
            Vv_.setZero();
            Vw_.setZero();
            for (int k : S) {
                v_[k] = 0.5 * (gp[k] - gm[k]);
                w_[k] = 0.5 * (gp[k] + gm[k]) - u_[k];
                const double du = u_[k] - fvec[k];
                Vu_.noalias() += V_.col(k) * du;
                Vv_.noalias() += V_.col(k) * v_[k];
                Vw_.noalias() += V_.col(k) * w_[k];
            }
            const double uVu = u_.dot(Vu_), uVv = u_.dot(Vv_), uVw = u_.dot(Vw_);
            const double vVv = v_.dot(Vv_), vVw = v_.dot(Vw_), wVw = w_.dot(Vw_);
            const double a0 = fvec.dot(Vu_), a1 = fvec.dot(Vv_), a2 = fvec.dot(Vw_);
            const double e = 1.0 - d;
            const double c[5] = {e * (1.0 + uVu) + a0 * a0, e * 2.0 * uVv + 2.0 * a0 * a1,
                                 e * (vVv + 2.0 * uVw) + a1 * a1 + 2.0 * a0 * a2,
                                 e * 2.0 * vVw + 2.0 * a1 * a2, e * wVw + a2 * a2};
            double value = 0.0;
            const double t = maximiseQuartic(c, &value);
            if (value > bestDelta) {
                bestDelta = value;
                bestValue = toUnits(fac, t);
            }
        } else {
            const int L = fac.levelCount();
            const int current = static_cast<int>(keep);
            for (int l = 0; l < L; ++l) {
                if (l == current)
                    continue;
                run[f] = l;
                rowOf(run, g_.data());
                Vg_ = Vf_;
                for (int k : S)
                    Vg_.noalias() += V_.col(k) * (g_[k] - fvec[k]);
                const double q = g_.dot(Vg_);
                const double s = fvec.dot(Vg_);
                const double delta = (1.0 + q) * (1.0 - d) + s * s;
                if (delta > bestDelta) {
                    bestDelta = delta;
                    bestValue = l;
                }
            }
            run[f] = keep;
        }
        if (bestValue == keep)
            return;
        run[f] = bestValue;
        rowOf(run, g_.data());
        Vg_.noalias() = V_ * g_;
        const double q = g_.dot(Vg_);
        const double s = fvec.dot(Vg_);
        const double delta = (1.0 + q) * (1.0 - d) + s * s;
        if (!(delta > 1.0) || !std::isfinite(delta)) {
            run[f] = keep;  // rounding ate the gain; keep the old value
            return;
        }
        // Exchange the row: add g, then remove f (two Sherman-Morrison updates of V).
        V_.noalias() -= (Vg_ * Vg_.transpose()) / (1.0 + q);
        Eigen::VectorXd V1f = Vf_ - Vg_ * (s / (1.0 + q));
        const double fV1f = d - s * s / (1.0 + q);
        V_.noalias() += (V1f * V1f.transpose()) / (1.0 - fV1f);
        xrow = g_.transpose();
        logdet_ += std::log(delta);
    }

    const Model& m_;
    int n_, F_, P_;
    RowMatrix X_;
    Eigen::MatrixXd V_;
    double logdet_ = 0.0;
    std::vector<double> runs_;
    std::vector<double> cols_;
    std::vector<std::vector<int>> touched_;
    Eigen::VectorXd g_, Vf_, Vg_, Vu_, Vv_, Vw_, u_, v_, w_;
};

}  // namespace

int defaultStarts(const Model& model, int n)
{
    // A fixed work budget shared among starts: small problems get many starts, large ones fewer,
    // and the count depends on the problem size alone so results stay reproducible.
    const double P = model.paramCount();
    const double F = model.factorCount();
    const double perStart = 8.0 * n * F * (P * P + 4.0 * P * (F + 2.0)) + 1.0;
    const double budget = 1.5e9;
    const double starts = budget / perStart;
    return static_cast<int>(std::max(2.0, std::min(400.0, starts)));
}

std::vector<double> searchDesign(const Model& model, int n, std::uint64_t seed,
                                 const DesignSearchOptions& options)
{
    if (!model.isBuilt() || n <= 0)
        return {};
    const int starts = options.starts > 0 ? options.starts : defaultStarts(model, n);
    Rng rng(seed);
    Search search(model, n);
    std::vector<double> best;
    double bestLogdet = -std::numeric_limits<double>::infinity();
    for (int s = 0; s < starts; ++s) {
        search.randomStart(rng);
        const double ld = search.optimise(options.maxPasses);
        if (ld > bestLogdet || best.empty()) {
            bestLogdet = ld;
            best = search.runs();
        }
    }
    return best;
}

std::vector<double> centreDesign(const Model& model, int n)
{
    if (!model.isBuilt() || n <= 0)
        return {};
    const int F = model.factorCount();
    std::vector<double> runs(static_cast<size_t>(n) * F, 0.0);
    for (int i = 0; i < n; ++i)
        for (int f = 0; f < F; ++f) {
            const Factor& fac = model.factor(f);
            if (fac.kind == FactorKind::Continuous)
                runs[static_cast<size_t>(i) * F + f] = 0.5 * (fac.low + fac.high);
        }
    return runs;
}

double dEfficiency(const Model& model, const std::vector<double>& runs, int n)
{
    const int F = model.factorCount(), P = model.paramCount();
    if (!model.isBuilt() || n <= 0 || runs.size() < static_cast<size_t>(n) * F)
        return 0.0;
    Eigen::MatrixXd X(n, P);
    std::vector<double> cols(model.columnCount());
    Eigen::VectorXd row(P);
    for (int i = 0; i < n; ++i) {
        if (!model.runRow(&runs[static_cast<size_t>(i) * F], row.data(), cols.data()))
            return 0.0;
        X.row(i) = row.transpose();
    }
    Eigen::MatrixXd M = X.transpose() * X;
    Eigen::LLT<Eigen::MatrixXd> llt(M);
    if (llt.info() != Eigen::Success)
        return 0.0;
    const double logdet = 2.0 * llt.matrixLLT().diagonal().array().log().sum();
    if (!std::isfinite(logdet))
        return 0.0;
    return 100.0 * std::exp(logdet / P) / n;
}

}  // namespace orvex
