#include "orvex_design.h"

#include "orvex_rng.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

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
        gm_.resize(P_);
        gp_.resize(P_);
        fvec_.resize(P_);
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

    // Runs one start to convergence; returns the regularised log determinant reached. Continuous
    // coordinates first move over -1, 0, 1 only (fast, and the optimum of a quadratic model sits
    // mostly there), then over the whole interval.
    double optimise(int maxPasses)
    {
        refresh();
        coordinatePasses(true, maxPasses);
        coordinatePasses(false, maxPasses);
        return logdet_;
    }

    // Alternates whole-run exchanges with the candidate grid and continuous coordinate passes
    // until neither gains; escapes optima where no single coordinate can move.
    double polish(int maxPasses)
    {
        refresh();
        if (C_.rows() == 0)
            return logdet_;
        for (int round = 0; round < 5; ++round) {
            const double before = logdet_;
            for (int pass = 0; pass < maxPasses; ++pass)
                if (!exchangePass())
                    break;
            coordinatePasses(false, maxPasses);
            if (!(logdet_ - before > 1e-8))
                break;
        }
        return logdet_;
    }

    // Candidate grid for whole-run exchanges: -1, 0, 1 for continuous factors, every level
    // otherwise; skipped when too large.
    void buildGrid(long maxCells)
    {
        long N = 1;
        for (int f = 0; f < F_; ++f) {
            const Factor& fac = m_.factor(f);
            N *= fac.kind == FactorKind::Continuous ? 3 : fac.levelCount();
            if (N * P_ > maxCells)
                return;
        }
        C_.resize(N, P_);
        gridRuns_.assign(static_cast<size_t>(N) * F_, 0.0);
        for (long k = 0; k < N; ++k) {
            long rest = k;
            double* run = &gridRuns_[static_cast<size_t>(k) * F_];
            for (int f = 0; f < F_; ++f) {
                const Factor& fac = m_.factor(f);
                const int radix = fac.kind == FactorKind::Continuous ? 3 : fac.levelCount();
                const int v = static_cast<int>(rest % radix);
                rest /= radix;
                run[f] = fac.kind == FactorKind::Continuous ? toUnits(fac, v - 1.0) : v;
            }
            rowOf(run, g_.data());
            C_.row(k) = g_.transpose();
        }
    }

    long gridSize() const { return C_.rows(); }
    // Operation count so far: a clock-free measure of effort, so the number of starts is
    // reproducible.
    double work() const { return work_; }

    void setRuns(const std::vector<double>& runs)
    {
        runs_ = runs;
        for (int i = 0; i < n_; ++i) {
            rowOf(&runs_[static_cast<size_t>(i) * F_], g_.data());
            X_.row(i) = g_.transpose();
        }
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

    void coordinatePasses(bool grid, int maxPasses)
    {
        grid_ = grid;
        for (int pass = 0; pass < maxPasses; ++pass) {
            work_ += static_cast<double>(n_) * (P_ * P_ + 12.0 * F_ * P_);
            const double before = logdet_;
            for (int i = 0; i < n_; ++i) {
                fvec_ = X_.row(i).transpose();
                Vf_.noalias() = V_ * fvec_;
                for (int f = 0; f < F_; ++f)
                    improveCoordinate(i, f);
            }
            refresh();
            if (!(logdet_ - before > 1e-8))
                break;
        }
    }

    // One pass of whole-run exchanges against the grid; true when the criterion rose.
    bool exchangePass()
    {
        const double before = logdet_;
        work_ += 2.0 * n_ * static_cast<double>(C_.rows()) * P_;
        Eigen::MatrixXd CV = C_ * V_;
        Eigen::VectorXd q = (CV.array() * C_.array()).rowwise().sum();
        Eigen::VectorXd s(C_.rows()), Ca(C_.rows()), Cb(C_.rows());
        for (int i = 0; i < n_; ++i) {
            fvec_ = X_.row(i).transpose();
            Vf_.noalias() = V_ * fvec_;
            const double d = fvec_.dot(Vf_);
            s.noalias() = C_ * Vf_;
            long bestK = -1;
            double bestDelta = 1.0 + 1e-9;
            for (long k = 0; k < C_.rows(); ++k) {
                const double delta = (1.0 + q[k]) * (1.0 - d) + s[k] * s[k];
                if (delta > bestDelta) {
                    bestDelta = delta;
                    bestK = k;
                }
            }
            if (bestK < 0)
                continue;
            g_ = C_.row(bestK).transpose();
            Vg_ = CV.row(bestK).transpose();
            const double qq = q[bestK];
            const double sk = s[bestK];
            const double fV1f = d - sk * sk / (1.0 + qq);
            if (!(1.0 - fV1f > 0.0))
                continue;
            const Eigen::VectorXd V1f = Vf_ - Vg_ * (sk / (1.0 + qq));
            const double alpha = 1.0 / (1.0 + qq), beta = 1.0 / (1.0 - fV1f);
            V_.noalias() -= alpha * (Vg_ * Vg_.transpose());
            V_.noalias() += beta * (V1f * V1f.transpose());
            Ca.noalias() = C_ * Vg_;
            Cb.noalias() = C_ * V1f;
            CV.noalias() -= alpha * (Ca * Vg_.transpose());
            CV.noalias() += beta * (Cb * V1f.transpose());
            q.array() += beta * Cb.array().square() - alpha * Ca.array().square();
            X_.row(i) = g_.transpose();
            std::copy_n(&gridRuns_[static_cast<size_t>(bestK) * F_], F_, &runs_[static_cast<size_t>(i) * F_]);
            logdet_ += std::log(bestDelta);
        }
        refresh();
        return logdet_ - before > 1e-8;
    }

    // V g for a row g that differs from the current row f only in the entries of S.
    void sparseProduct(const std::vector<int>& S, const Eigen::VectorXd& g, Eigen::VectorXd& out)
    {
        out = Vf_;
        for (int k : S)
            out.noalias() += V_.col(k) * (g[k] - fvec_[k]);
    }

    // Moves one coordinate of run i to its best value given all others. fvec_ holds the run's
    // row and Vf_ = V f on entry, and both are kept current.
    void improveCoordinate(int i, int f)
    {
        const Factor& fac = m_.factor(f);
        double* run = &runs_[static_cast<size_t>(i) * F_];
        const auto& S = touched_[f];
        const double d = fvec_.dot(Vf_);
        const double keep = run[f];
        double bestDelta = 1.0 + 1e-10;
        double bestValue = keep;

        if (fac.kind == FactorKind::Continuous) {
            if (fac.low == fac.high)
                return;
            // The row is quadratic in the coded coordinate t: g(t) = u + t v + t^2 w.
            run[f] = toUnits(fac, -1.0);
            rowOf(run, gm_.data());
            run[f] = toUnits(fac, 1.0);
            rowOf(run, gp_.data());
            run[f] = toUnits(fac, 0.0);
            rowOf(run, u_.data());
            run[f] = keep;
            sparseProduct(S, u_, Vu_);
            Vv_.setZero();
            Vw_.setZero();
            v_.setZero();
            w_.setZero();
            for (int k : S) {
                v_[k] = 0.5 * (gp_[k] - gm_[k]);
                w_[k] = 0.5 * (gp_[k] + gm_[k]) - u_[k];
                Vv_.noalias() += V_.col(k) * v_[k];
                Vw_.noalias() += V_.col(k) * w_[k];
            }
            double uVv = 0, uVw = 0, vVv = 0, vVw = 0, wVw = 0;
            for (int k : S) {
                vVv += v_[k] * Vv_[k];
                vVw += v_[k] * Vw_[k];
                wVw += w_[k] * Vw_[k];
            }
            const double uVu = u_.dot(Vu_);
            uVv = u_.dot(Vv_);
            uVw = u_.dot(Vw_);
            const double a0 = fvec_.dot(Vu_), a1 = fvec_.dot(Vv_), a2 = fvec_.dot(Vw_);
            const double e = 1.0 - d;
            const double c[5] = {e * (1.0 + uVu) + a0 * a0, e * 2.0 * uVv + 2.0 * a0 * a1,
                                 e * (vVv + 2.0 * uVw) + a1 * a1 + 2.0 * a0 * a2,
                                 e * 2.0 * vVw + 2.0 * a1 * a2, e * wVw + a2 * a2};
            if (grid_) {
                for (double t : {-1.0, 0.0, 1.0}) {
                    const double value = evalQuartic(c, t);
                    if (value > bestDelta) {
                        bestDelta = value;
                        bestValue = toUnits(fac, t);
                    }
                }
            } else {
                double value = 0.0;
                const double t = maximiseQuartic(c, &value);
                if (value > bestDelta) {
                    bestDelta = value;
                    bestValue = toUnits(fac, t);
                }
            }
        } else {
            const int L = fac.levelCount();
            const int current = static_cast<int>(keep);
            for (int l = 0; l < L; ++l) {
                if (l == current)
                    continue;
                run[f] = l;
                rowOf(run, g_.data());
                sparseProduct(S, g_, Vg_);
                const double q = g_.dot(Vg_);
                const double s = fvec_.dot(Vg_);
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
        sparseProduct(S, g_, Vg_);
        const double q = g_.dot(Vg_);
        const double s = fvec_.dot(Vg_);
        const double delta = (1.0 + q) * (1.0 - d) + s * s;
        const double fV1f = d - s * s / (1.0 + q);
        if (!(delta > 1.0) || !std::isfinite(delta) || !(1.0 - fV1f > 0.0)) {
            run[f] = keep;  // rounding ate the gain; keep the old value
            return;
        }
        // Exchange the row: add g, then remove f (two Sherman-Morrison updates of V), and carry
        // V g along as the new V f.
        const Eigen::VectorXd V1f = Vf_ - Vg_ * (s / (1.0 + q));
        const double bg = V1f.dot(g_);
        V_.noalias() -= (Vg_ * Vg_.transpose()) / (1.0 + q);
        V_.noalias() += (V1f * V1f.transpose()) / (1.0 - fV1f);
        Vf_ = Vg_ / (1.0 + q) + V1f * (bg / (1.0 - fV1f));
        fvec_ = g_;
        X_.row(i) = g_.transpose();
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
    bool grid_ = false;
    double work_ = 0.0;
    Eigen::MatrixXd C_;                 // candidate grid rows
    std::vector<double> gridRuns_;
    Eigen::VectorXd fvec_, g_, gm_, gp_, Vf_, Vg_, Vu_, Vv_, Vw_, u_, v_, w_;
};

}  // namespace

std::vector<double> searchDesign(const Model& model, int n, std::uint64_t seed,
                                 const DesignSearchOptions& options)
{
    if (!model.isBuilt() || n <= 0)
        return {};
    // Without a fixed count, starts continue until the operation budget is spent (at least
    // kMinStarts, at most kMaxStarts).
    constexpr int kMinStarts = 8, kMaxStarts = 300;
    constexpr double kWorkBudget = 3.5e8;
    const int starts = options.starts > 0 ? options.starts : kMaxStarts;
    Rng rng(seed);
    Search search(model, n);
    // The best few starts go on to the whole-run exchange polish.
    const size_t kPolished = static_cast<size_t>(std::max(1, options.polished));
    std::vector<std::pair<double, std::vector<double>>> top;
    for (int s = 0; s < starts; ++s) {
        if (options.starts <= 0 && s >= kMinStarts && search.work() > kWorkBudget)
            break;
        search.randomStart(rng);
        const double ld = search.optimise(options.maxPasses);
        if (top.size() < kPolished || ld > top.back().first) {
            auto at = std::find_if(top.begin(), top.end(), [&](const auto& t) { return ld > t.first; });
            top.insert(at, {ld, search.runs()});
            if (top.size() > kPolished)
                top.pop_back();
        }
    }
    search.buildGrid(2000000);
    std::vector<double> best = top.front().second;
    double bestLogdet = top.front().first;
    if (search.gridSize() > 0) {
        for (const auto& t : top) {
            search.setRuns(t.second);
            const double ld = search.polish(options.maxPasses);
            if (ld > bestLogdet) {
                bestLogdet = ld;
                best = search.runs();
            }
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

namespace orvex {

int DesignTerms::necessaryCount() const
{
    return static_cast<int>(std::count(necessary.begin(), necessary.end(), 1));
}

DesignTerms kind2Terms(const Model& model)
{
    DesignTerms t;
    for (int k = 0; k < model.paramCount(); ++k) {
        std::vector<int> cols;
        const auto& pr = model.term(k);
        if (pr.first >= 0)
            cols.push_back(pr.first);
        if (pr.second >= 0)
            cols.push_back(pr.second);
        t.params.push_back(std::move(cols));
        t.necessary.push_back(1);
    }
    return t;
}

DesignTerms expandTerms(const Model& model, const std::vector<int>& powers,
                        const std::vector<char>& necessary)
{
    const int F = model.factorCount();
    DesignTerms t;
    t.params.emplace_back();
    t.necessary.push_back(1);
    std::map<std::vector<int>, size_t> seen{{std::vector<int>(), 0}};
    for (size_t term = 0; term < necessary.size(); ++term) {
        // Products so far, extended factor by factor with each of its column choices.
        std::vector<std::vector<int>> products(1);
        bool dropped = false;
        for (int f = 0; f < F && !dropped; ++f) {
            const int pw = powers[term * F + f];
            if (pw == 0)
                continue;
            const Factor& fac = model.factor(f);
            if (pw == 2 && !fac.hasSquare()) {
                dropped = true;
                break;
            }
            std::vector<std::vector<int>> next;
            for (const auto& prod : products)
                for (int c = 0; c < fac.columnCount(); ++c) {
                    std::vector<int> p = prod;
                    for (int k = 0; k < pw; ++k)
                        p.push_back(model.firstColumn(f) + c);
                    next.push_back(std::move(p));
                }
            products.swap(next);
        }
        if (dropped)
            continue;
        for (auto& p : products) {
            std::sort(p.begin(), p.end());
            auto it = seen.find(p);
            if (it != seen.end()) {
                t.necessary[it->second] = t.necessary[it->second] || necessary[term];
                continue;
            }
            seen.emplace(p, t.params.size());
            t.params.push_back(std::move(p));
            t.necessary.push_back(necessary[term] ? 1 : 0);
        }
    }
    return t;
}

void termsRow(const DesignTerms& terms, const double* cols, double* row)
{
    for (size_t k = 0; k < terms.params.size(); ++k) {
        double v = 1.0;
        for (int c : terms.params[k])
            v *= cols[c];
        row[k] = v;
    }
}

double dEfficiency(const Model& model, const DesignTerms& terms, const std::vector<double>& runs,
                   int n)
{
    const int F = model.factorCount(), P = static_cast<int>(terms.params.size());
    if (!model.isBuilt() || n <= 0 || P == 0 || runs.size() < static_cast<size_t>(n) * F)
        return 0.0;
    Eigen::MatrixXd X(n, P);
    std::vector<double> cols(model.columnCount());
    Eigen::VectorXd row(P);
    for (int i = 0; i < n; ++i) {
        if (!model.codeRun(&runs[static_cast<size_t>(i) * F], cols.data()))
            return 0.0;
        termsRow(terms, cols.data(), row.data());
        X.row(i) = row.transpose();
    }
    Eigen::LLT<Eigen::MatrixXd> llt(X.transpose() * X);
    if (llt.info() != Eigen::Success)
        return 0.0;
    const double logdet = 2.0 * llt.matrixLLT().diagonal().array().log().sum();
    if (!std::isfinite(logdet))
        return 0.0;
    return 100.0 * std::exp(logdet / P) / n;
}

std::vector<double> searchDesign(const Model& model, const DesignTerms& terms, int n,
                                 std::uint64_t seed, const DesignSearchOptions& options)
{
    (void)terms;
    return searchDesign(model, n, seed, options);
}

}  // namespace orvex
