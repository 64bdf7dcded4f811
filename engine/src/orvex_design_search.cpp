#include "orvex_design_search.h"

#include "orvex_fixed_runs.h"
#include "orvex_rng.h"

#include <Eigen/Cholesky>
#include <Eigen/LU>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// Row changes of a saturated design's inverse held back before they are folded in at once.
constexpr int kSquareBlock = 32;

// Steps of each scan of a cubed coordinate (first over [-1, 1], then around the best point).
constexpr int kCubicScan = 40;

// Scores a cubed coordinate's candidates through tryT(t): the candidate points, then (off the
// grid) a coarse scan of [-1, 1] and two finer ones around the best point so far (`best`).
template <class Try>
void scanCubic(bool grid, const double& best, Try tryT)
{
    for (double t : kCubicCandidates)
        tryT(t);
    if (grid)
        return;
    double half = 1.0, centre = 0.0;
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k <= kCubicScan; ++k) {
            const double t = centre - half + 2.0 * half * k / kCubicScan;
            if (t >= -1.0 && t <= 1.0)
                tryT(t);
        }
        centre = best;
        half *= 4.0 / kCubicScan;
    }
}

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

// Maximiser of n(t) / (1 + d(t)) on [-1, 1] for quartics n and d (d >= 0 there): a scan, then a
// golden-section refinement around the best point of the scan.
double maximiseRatio(const double* cn, const double* cd, double* bestValue)
{
    auto ratio = [&](double t) { return evalQuartic(cn, t) / (1.0 + evalQuartic(cd, t)); };
    constexpr int kScan = 32;
    double bestT = -1.0, best = ratio(-1.0);
    for (int k = 1; k <= kScan; ++k) {
        const double t = -1.0 + 2.0 * k / kScan;
        const double v = ratio(t);
        if (v > best) {
            best = v;
            bestT = t;
        }
    }
    double a = std::max(-1.0, bestT - 2.0 / kScan), b = std::min(1.0, bestT + 2.0 / kScan);
    const double r = 0.5 * (std::sqrt(5.0) - 1.0);
    double x1 = b - r * (b - a), x2 = a + r * (b - a);
    double f1 = ratio(x1), f2 = ratio(x2);
    for (int it = 0; it < 40; ++it) {
        if (f1 < f2) {
            a = x1;
            x1 = x2;
            f1 = f2;
            x2 = a + r * (b - a);
            f2 = ratio(x2);
        } else {
            b = x2;
            x2 = x1;
            f2 = f1;
            x1 = b - r * (b - a);
            f1 = ratio(x1);
        }
    }
    const double t = 0.5 * (a + b), v = ratio(t);
    if (v > best) {
        best = v;
        bestT = t;
    }
    *bestValue = best;
    return bestT;
}
}  // namespace

Search::Search(const Space& sp, int n) : s_(sp), n_(n), F_(sp.F), P_(sp.P)
{
    X_.resize(n_, P_);
    coords_.assign(static_cast<size_t>(n_) * F_, 0.0);
    cols_.resize(s_.m.columnCount());
    for (auto* v : {&a_, &b_, &z_, &y_, &g_})
        v->resize(P_);
}

void Search::randomStart(std::uint64_t seed, int start)
{
    Rng rng(seed);
    const long skip = static_cast<long>(start) * n_ * F_;
    for (long k = 0; k < skip; ++k)
        rng.next();
    for (int i = 0; i < n_; ++i) {
        double* c = &coords_[static_cast<size_t>(i) * F_];
        for (int f = 0; f < F_; ++f) {
            const Factor& fac = s_.m.factor(f);
            if (fac.kind != FactorKind::Continuous)
                c[f] = rng.below(fac.levelCount());
            else if (s_.twoLevel[f])
                c[f] = rng.uniform() < 0.5 ? -1.0 : 1.0;
            else
                c[f] = 2.0 * rng.uniform() - 1.0;
        }
    }
    setRows();
    work_ = 0.0;
    aborted_ = false;
}

void Search::setCoords(const std::vector<double>& coords)
{
    coords_ = coords;
    setRows();
    aborted_ = false;
}

double Search::optimise(int maxPasses)
{
    refresh();
    coordinatePasses(true, maxPasses);
    coordinatePasses(false, maxPasses);
    return score_;
}

double Search::polish(const Grid& grid, int maxPasses)
{
    refresh();
    if (grid.C.rows() == 0)
        return score_;
    for (int round = 0; round < 5 && !aborted_; ++round) {
        const double before = score_;
        for (int pass = 0; pass < maxPasses && !aborted_; ++pass)
            if (!exchangePass(grid))
                break;
        coordinatePasses(false, maxPasses);
        if (!(score_ - before > 1e-8))
            break;
    }
    return score_;
}

void Search::setRows()
{
    if (s_.fixedCells)
        s_.fixedCells->impose(coords_.data());
    for (int i = 0; i < n_; ++i) {
        s_.columns(&coords_[static_cast<size_t>(i) * F_], cols_.data());
        s_.row(cols_.data(), X_.row(i).data());
    }
}

void Search::addWork(double w)
{
    work_ += w;
    if (onWork)
        onWork(w);
}

bool Search::stopNow()
{
    if (!aborted_ && stop && stop())
        aborted_ = true;
    return aborted_;
}

void Search::refresh()
{
    A_.setZero(P_, P_);
    A_.selfadjointView<Eigen::Lower>().rankUpdate(X_.transpose());
    A_.diagonal() += s_.prior;
    Eigen::LLT<Eigen::Ref<Eigen::MatrixXd>> llt(A_);
    const bool ok = llt.info() == Eigen::Success;
    logdet_ = 2.0 * A_.diagonal().array().log().sum();
    // Large models invert through the triangular factor; for small ones its blocked steps
    // cost more than they save.
    constexpr int kBlock = 32;
    if (P_ <= 2 * kBlock) {
        V_ = llt.solve(Eigen::MatrixXd::Identity(P_, P_));
    } else {
        invertFromFactor(kBlock);
    }
    if (I()) {
        W_ = V_ * s_.moments * V_;
        trace_ = V_.cwiseProduct(s_.moments).sum();
        score_ = trace_ > 0.0 ? -std::log(trace_) : -kHuge;
    } else {
        score_ = logdet_;
    }
    if (!ok || !std::isfinite(score_))
        score_ = -kHuge;
}

void Search::invertFromFactor(int block)
{
    // V = L^-T L^-1, both factors triangular: a third of the work of solving against the
    // identity. Column block J of L^-1 is zero above J, and V's lower part in block J only
    // needs the rows of L^-1 from J on.
    L_.setZero(P_, P_);
    for (int j0 = 0; j0 < P_; j0 += block) {
        const int w = std::min(block, P_ - j0), m = P_ - j0;
        L_.block(j0, j0, w, w).setIdentity();
        A_.block(j0, j0, m, m).triangularView<Eigen::Lower>().solveInPlace(
            L_.block(j0, j0, m, w));
    }
    V_.resize(P_, P_);
    for (int j0 = 0; j0 < P_; j0 += block) {
        const int w = std::min(block, P_ - j0), m = P_ - j0;
        V_.block(j0, j0, m, w).noalias()
            = L_.block(j0, j0, m, m).transpose().triangularView<Eigen::Upper>()
            * L_.block(j0, j0, m, w);
    }
    V_.triangularView<Eigen::StrictlyUpper>() = V_.transpose();
}

void Search::coordinatePasses(bool grid, int maxPasses)
{
    if (squareApplies() && squareRefresh()) {
        // The updates of X^-1 drift slowly: a fresh factorisation every few passes bounds it.
        constexpr int kRefreshEvery = 8;
        bool ok = true;
        for (int pass = 0; pass < maxPasses && ok; ++pass) {
            addWork(static_cast<double>(n_) * (P_ * static_cast<double>(P_) + 12.0 * F_ * P_));
            const double before = score_;
            for (int i = 0; i < n_; ++i) {
                if (stopNow())
                    break;
                squareImproveRun(i, grid);
            }
            const bool done = aborted_ || !(score_ - before > 1e-8);
            if (done)
                break;
            if ((pass + 1) % kRefreshEvery == 0)
                ok = squareRefresh();
        }
        // Back to the ridge-regularised form that every other start and the polish score by;
        // a design that turned singular to rounding carries on in that form.
        refresh();
        if (ok)
            return;
    }
    // A fresh factorisation every few passes, and before the search moves on, bounds the drift
    // of the updates.
    constexpr int kRefreshEvery = 4;
    bool fresh = true;
    for (int pass = 0; pass < maxPasses; ++pass) {
        addWork(static_cast<double>(n_) * (P_ * static_cast<double>(P_) + 12.0 * F_ * P_));
        const double before = score_;
        for (int i = 0; i < n_; ++i) {
            if (stopNow())
                return;
            improveRun(i, grid);
        }
        const bool converged = !(score_ - before > 1e-8);
        fresh = converged || (pass + 1) % kRefreshEvery == 0;
        if (fresh)
            refresh();
        if (converged)
            break;
    }
    if (!fresh)
        refresh();
}

void Search::touchedEntries(int f)
{
    const auto& T = s_.touches[f];
    const int s = static_cast<int>(T.size());
    idx_.resize(s);
    ak_.resize(s);
    gS_.resize(s);
    h_.resize(s);
    for (int j = 0; j < s; ++j) {
        idx_[j] = T[j].param;
        double a = 1.0;
        for (int o = 0; o < T[j].nothers; ++o)
            a *= cols_[s_.otherCols[T[j].others + o]];
        ak_[j] = a;
        gS_[j] = g_[idx_[j]];
    }
}

double Search::factorPart(int f, double value, const Touch& t) const
{
    return s_.m.factor(f).kind == FactorKind::Continuous
        ? power(value, t.power)
        : power(s_.levelCode(f, static_cast<int>(value), t.col), t.power);
}

bool Search::squareApplies() const
{
    return n_ == P_ && !I() && !s_.fixedCells && P_ > 0 && s_.prior.maxCoeff() == s_.prior.minCoeff()
        && s_.prior[0] <= 1e-6;
}

bool Search::squareRefresh()
{
    const Eigen::PartialPivLU<Eigen::MatrixXd> lu{Eigen::MatrixXd(X_)};
    const auto pivots = lu.matrixLU().diagonal().cwiseAbs();
    // A pivot far below the rows' own scale means X is singular to rounding.
    if (!(pivots.minCoeff() > 1e-12 * std::max(1.0, pivots.maxCoeff())))
        return false;
    logdet_ = 2.0 * pivots.array().log().sum();
    if (!std::isfinite(logdet_))
        return false;
    Y_ = lu.inverse();
    U_.resize(P_, kSquareBlock);
    R_.resize(P_, kSquareBlock);
    k_ = 0;
    score_ = logdet_;
    return true;
}

void Search::squareImproveRun(int i, bool grid)
{
    // det(X with row i = g) / det(X) = g'u for u the column i of X^-1: maximise (g'u)^2.
    u_ = Y_.col(i);
    if (k_ > 0)
        u_.noalias() -= U_.leftCols(k_) * R_.row(i).head(k_).transpose();
    g_ = X_.row(i).transpose();
    double rho = 1.0;  // g'u of the row as it now stands
    double* coord = &coords_[static_cast<size_t>(i) * F_];
    s_.columns(coord, cols_.data());
    bool changed = false;
    for (int f = 0; f < F_; ++f) {
        const auto& T = s_.touches[f];
        const int s = static_cast<int>(T.size());
        if (s == 0 || s_.fixed(f))
            continue;
        touchedEntries(f);
        double base = rho;  // rho without the touched entries
        for (int j = 0; j < s; ++j)
            base -= gS_[j] * u_[idx_[j]];
        const Factor& fac = s_.m.factor(f);
        const bool cubic = s_.cubic[f] != 0;
        const double current = rho * rho;
        double best = current, bestRho = rho, bestCoord = coord[f];
        // rho for candidate touched entries h_.
        auto rhoOf = [&] {
            double r = base;
            for (int j = 0; j < s; ++j)
                r += h_[j] * u_[idx_[j]];
            return r;
        };
        auto consider = [&](double t, double r) {
            if (r * r > best) {
                best = r * r;
                bestRho = r;
                bestCoord = t;
            }
        };
        if (fac.kind == FactorKind::Continuous && !cubic) {
            // rho(t) = base + beta t + gamma t^2; its square is the quartic to maximise.
            double beta = 0.0, gamma = 0.0;
            for (int j = 0; j < s; ++j)
                (T[j].power == 1 ? beta : gamma) += ak_[j] * u_[idx_[j]];
            auto rhoAt = [&](double t) { return base + (beta + gamma * t) * t; };
            if (grid || s_.twoLevel[f]) {
                for (double t : {-1.0, 0.0, 1.0})
                    if (!(t == 0.0 && s_.twoLevel[f]))
                        consider(t, rhoAt(t));
            } else {
                const double c[5] = {base * base, 2.0 * base * beta, beta * beta + 2.0 * base * gamma,
                                     2.0 * beta * gamma, gamma * gamma};
                double v = 0.0;
                const double t = maximiseQuartic(c, &v);
                consider(t, rhoAt(t));
            }
        } else if (cubic) {
            auto tryT = [&](double t) {
                for (int j = 0; j < s; ++j)
                    h_[j] = ak_[j] * power(t, T[j].power);
                consider(t, rhoOf());
            };
            scanCubic(grid, bestCoord, tryT);
        } else {
            const int currentLevel = static_cast<int>(coord[f]);
            for (int l = 0; l < fac.levelCount(); ++l) {
                if (l == currentLevel)
                    continue;
                for (int j = 0; j < s; ++j)
                    h_[j] = ak_[j] * factorPart(f, l, T[j]);
                consider(l, rhoOf());
            }
        }
        if (bestCoord == coord[f] || !(best > current * (1.0 + 1e-10)))
            continue;
        for (int j = 0; j < s; ++j)
            g_[idx_[j]] = ak_[j] * factorPart(f, bestCoord, T[j]);
        rho = bestRho;
        coord[f] = bestCoord;
        s_.columns(coord, cols_.data());
        changed = true;
    }
    if (!changed)
        return;
    // X^-1 after the row change d = g - g_old: X^-1 - u (d'X^-1) / (1 + d'u), and 1 + d'u = rho.
    // d is sparse when few factors moved.
    nz_.clear();
    for (int p = 0; p < P_; ++p)
        if (g_[p] != X_(i, p))
            nz_.push_back(p);
    ur_.setZero(P_);
    Ud_.setZero(k_);
    for (int p : nz_) {
        const double d = g_[p] - X_(i, p);
        ur_.noalias() += d * Y_.row(p).transpose();
        if (k_ > 0)
            Ud_.noalias() += d * U_.row(p).head(k_).transpose();
    }
    if (k_ > 0)
        ur_.noalias() -= R_.leftCols(k_) * Ud_;
    U_.col(k_) = u_ / rho;
    R_.col(k_) = ur_;
    if (++k_ == kSquareBlock) {
        Y_.noalias() -= U_ * R_.transpose();
        k_ = 0;
    }
    logdet_ += 2.0 * std::log(std::abs(rho));
    score_ = logdet_;
    X_.row(i) = g_.transpose();
}

bool Search::removeRun(int i)
{
    g_ = X_.row(i).transpose();
    a_.noalias() = V_ * g_;
    d_ = g_.dot(a_);
    if (!(1.0 - d_ > 0.0))
        return false;
    c_ = 1.0 / (1.0 - d_);
    z_ = c_ * a_;
    q_ = c_ * d_;
    if (I()) {
        b_.noalias() = W_.selfadjointView<Eigen::Lower>() * g_;
        fb_ = g_.dot(b_);
        y_ = c_ * b_ + (c_ * c_ * fb_) * a_;
        nn_ = c_ * c_ * fb_;
    }
    return true;
}

void Search::restoreRun(int i)
{
    const double e = 1.0 / (1.0 + q_);
    // V += c a a' - e z z'; W += c (a b' + b a') + c^2 fb a a' - e (z y' + y z') + e^2 nn z z';
    // one sweep over the columns each.
    if (I()) {
        for (int j = 0; j < P_; ++j)
            W_.col(j) += a_ * (c_ * b_[j] + c_ * c_ * fb_ * a_[j]) + b_ * (c_ * a_[j])
                - z_ * (e * y_[j] - e * e * nn_ * z_[j]) - y_ * (e * z_[j]);
        trace_ += c_ * fb_ - e * nn_;
        score_ = trace_ > 0.0 ? -std::log(trace_) : -kHuge;
    }
    for (int j = 0; j < P_; ++j)
        V_.col(j) += a_ * (c_ * a_[j]) - z_ * (e * z_[j]);
    logdet_ += std::log(1.0 - d_) + std::log(1.0 + q_);
    if (!I())
        score_ = logdet_;
    X_.row(i) = g_.transpose();
}

bool Search::better(double candidate, double current) const
{
    if (I())
        return candidate - current > 1e-10 * std::max(trace_ + c_ * fb_, 1e-300);
    return 1.0 + candidate > (1.0 + current) * (1.0 + 1e-10);
}

void Search::improveRun(int i, bool grid)
{
    const FixedCells* fixed = s_.fixedCells;
    if ((fixed && fixed->row(i)) || !removeRun(i))
        return;
    double* coord = &coords_[static_cast<size_t>(i) * F_];
    s_.columns(coord, cols_.data());
    bool changed = false;
    for (int f = 0; f < F_; ++f)
        if (!fixed || !fixed->cell(i, f))
            changed = improveCoordinate(coord, f, grid) || changed;
    if (changed)
        restoreRun(i);
}

bool Search::improveCoordinate(double* coord, int f, bool grid)
{
    const auto& T = s_.touches[f];
    const int s = static_cast<int>(T.size());
    if (s == 0 || s_.fixed(f))
        return false;
    touchedEntries(f);
    const Factor& fac = s_.m.factor(f);
    const bool cubic = s_.cubic[f] != 0;
    const bool continuous = fac.kind == FactorKind::Continuous && !cubic;
    // The criterion's quadratic forms on the touched entries: D(h) = C0 + 2 h'r + h'Q h
    // (and N(h) with W_) for the touched entries h of a candidate row. A continuous factor
    // under D-optimality goes straight to the quartic in its coordinate.
    if (!continuous || I())
        formQ(V_, false, Q_, r_, C0_, z_, q_);
    if (I())
        formQ(W_, true, QW_, rW_, CW0_, y_, nn_);
    const double current = value(q_, nn_);
    double best = current;
    double bestCoord = coord[f];
    if (continuous) {
        // Touched entries: t v + t^2 w.
        v_.setZero(s);
        w_.setZero(s);
        for (int j = 0; j < s; ++j)
            (T[j].power == 1 ? v_ : w_)[j] = ak_[j];
        double cq[5], cn[5];
        if (I()) {
            quartic(Q_, r_, C0_, cq);
            quartic(QW_, rW_, CW0_, cn);
        } else {
            dQuartic(coord[f], cq);
        }
        auto at = [&](double t) {
            return I() ? evalQuartic(cn, t) / (1.0 + evalQuartic(cq, t)) : evalQuartic(cq, t);
        };
        if (grid || s_.twoLevel[f]) {
            for (double t : {-1.0, 0.0, 1.0}) {
                if (t == 0.0 && s_.twoLevel[f])
                    continue;
                const double v = at(t);
                if (v > best) {
                    best = v;
                    bestCoord = t;
                }
            }
        } else {
            double v = 0.0;
            const double t = I() ? maximiseRatio(cn, cq, &v) : maximiseQuartic(cq, &v);
            if (v > best) {
                best = v;
                bestCoord = t;
            }
        }
    } else if (cubic) {
        // A cubed coordinate makes the criterion a degree-6 polynomial: score the candidate
        // points, then (off the grid) a fine scan of the interval.
        auto consider = [&](double t) {
            for (int j = 0; j < s; ++j)
                h_[j] = ak_[j] * power(t, T[j].power);
            const double v = value(form(Q_, r_, C0_), I() ? form(QW_, rW_, CW0_) : 0.0);
            if (v > best) {
                best = v;
                bestCoord = t;
            }
        };
        scanCubic(grid, bestCoord, consider);
    } else {
        const int L = fac.levelCount();
        const int currentLevel = static_cast<int>(coord[f]);
        for (int l = 0; l < L; ++l) {
            if (l == currentLevel)
                continue;
            for (int j = 0; j < s; ++j)
                h_[j] = ak_[j] * factorPart(f, l, T[j]);
            const double v = value(form(Q_, r_, C0_), I() ? form(QW_, rW_, CW0_) : 0.0);
            if (v > best) {
                best = v;
                bestCoord = l;
            }
        }
    }
    if (bestCoord == coord[f] || !better(best, current))
        return false;
    // Accept: the touched entries become h; carry z = V_ g and y = W_ g along.
    for (int j = 0; j < s; ++j)
        h_[j] = ak_[j] * factorPart(f, bestCoord, T[j]) - gS_[j];  // the change
    double ad = 0.0, bd = 0.0;
    for (int j = 0; j < s; ++j) {
        ad += a_[idx_[j]] * h_[j];
        if (I())
            bd += b_[idx_[j]] * h_[j];
    }
    for (int j = 0; j < s; ++j)
        z_.noalias() += V_.col(idx_[j]) * h_[j];
    z_ += (c_ * ad) * a_;
    if (I()) {
        for (int j = 0; j < s; ++j)
            y_.noalias() += W_.col(idx_[j]) * h_[j];
        y_ += (c_ * bd + c_ * c_ * fb_ * ad) * a_ + (c_ * ad) * b_;
    }
    for (int j = 0; j < s; ++j)
        g_[idx_[j]] += h_[j];
    q_ = g_.dot(z_);
    if (I())
        nn_ = g_.dot(y_);
    coord[f] = bestCoord;
    s_.columns(coord, cols_.data());
    return true;
}

void Search::formQ(const Eigen::MatrixXd& M, bool isW, Eigen::MatrixXd& Q, Eigen::VectorXd& r,
           double& C0, const Eigen::VectorXd& Mg, double gMg)
{
    const int s = static_cast<int>(idx_.size());
    Q.resize(s, s);
    r.resize(s);
    for (int j = 0; j < s; ++j) {
        const int pj = idx_[j];
        const double aj = a_[pj];
        for (int l = 0; l <= j; ++l) {
            const int pl = idx_[l];
            double v = M(pj, pl);
            if (isW)
                v += c_ * (aj * b_[pl] + b_[pj] * a_[pl]) + c_ * c_ * fb_ * aj * a_[pl];
            else
                v += c_ * aj * a_[pl];
            Q(j, l) = Q(l, j) = v;
        }
    }
    C0 = gMg;
    for (int j = 0; j < s; ++j) {
        double Qg = 0.0;
        for (int l = 0; l < s; ++l)
            Qg += Q(j, l) * gS_[l];
        r[j] = Mg[idx_[j]] - Qg;
        C0 += -2.0 * gS_[j] * Mg[idx_[j]] + gS_[j] * Qg;
    }
}

double Search::form(const Eigen::MatrixXd& Q, const Eigen::VectorXd& r, double C0) const
{
    const int s = static_cast<int>(idx_.size());
    double v = C0;
    for (int j = 0; j < s; ++j) {
        double Qh = 0.0;
        for (int l = 0; l < s; ++l)
            Qh += Q(j, l) * h_[l];
        v += h_[j] * (2.0 * r[j] + Qh);
    }
    return v;
}

void Search::dQuartic(double x0, double* c)
{
    // The current entries are x0 v + x0^2 w, so Q = V_[S, S] + c a_S a_S' is needed only
    // through v'Qv, v'Qw and w'Qw: the nonzero entries of v and w, and V_'s symmetry.
    const int s = static_cast<int>(idx_.size());
    pv_.clear();
    pw_.clear();
    double av = 0.0, aw = 0.0, vz = 0.0, wz = 0.0;
    for (int j = 0; j < s; ++j) {
        const int p = idx_[j];
        if (v_[j] != 0.0) {
            pv_.push_back({p, v_[j]});
            av += a_[p] * v_[j];
            vz += z_[p] * v_[j];
        }
        if (w_[j] != 0.0) {
            pw_.push_back({p, w_[j]});
            aw += a_[p] * w_[j];
            wz += z_[p] * w_[j];
        }
    }
    double vVv = 0.0, vVw = 0.0, wVw = 0.0;
    for (size_t j = 0; j < pv_.size(); ++j) {
        const double* col = V_.data() + static_cast<long>(pv_[j].first) * P_;
        double t = 0.0;
        for (size_t l = 0; l < j; ++l)
            t += col[pv_[l].first] * pv_[l].second;
        vVv += pv_[j].second * (col[pv_[j].first] * pv_[j].second + 2.0 * t);
    }
    for (const auto& k : pw_) {
        const double* col = V_.data() + static_cast<long>(k.first) * P_;
        double tv = 0.0, tw = 0.0;
        for (const auto& l : pv_)
            tv += col[l.first] * l.second;
        for (const auto& l : pw_)
            tw += col[l.first] * l.second;
        vVw += k.second * tv;
        wVw += k.second * tw;
    }
    const double vu = vVv + c_ * av * av, vy = vVw + c_ * av * aw, wy = wVw + c_ * aw * aw;
    c[1] = 2.0 * (vz - x0 * vu - x0 * x0 * vy);
    c[2] = 2.0 * (wz - x0 * vy - x0 * x0 * wy) + vu;
    c[3] = 2.0 * vy;
    c[4] = wy;
    // The current row's value is q_: that fixes the constant.
    c[0] = 0.0;
    c[0] = q_ - evalQuartic(c, x0);
}

void Search::quartic(const Eigen::MatrixXd& Q, const Eigen::VectorXd& r, double C0, double* c)
{
    Qv_.noalias() = Q * v_;
    Qw_.noalias() = Q * w_;
    c[0] = C0;
    c[1] = 2.0 * v_.dot(r);
    c[2] = 2.0 * w_.dot(r) + v_.dot(Qv_);
    c[3] = 2.0 * v_.dot(Qw_);
    c[4] = w_.dot(Qw_);
}

bool Search::exchangePass(const Grid& grid)
{
    const Eigen::MatrixXd& C = grid.C;
    const long N = C.rows();
    const double before = score_;
    addWork(2.0 * n_ * static_cast<double>(N) * P_);
    // Diagonals of C V C' (and C W C'), in blocks of rows so that a stop is seen soon.
    Eigen::VectorXd qV(N), qW(I() ? N : 0);
    constexpr long kBlock = 1024;
    for (long k0 = 0; k0 < N; k0 += kBlock) {
        if (stopNow())
            return false;
        const long rows = std::min(kBlock, N - k0);
        const auto Ck = C.middleRows(k0, rows);
        qV.segment(k0, rows) = ((Ck * V_).array() * Ck.array()).rowwise().sum();
        if (I())
            qW.segment(k0, rows) = ((Ck * W_).array() * Ck.array()).rowwise().sum();
    }
    Eigen::VectorXd Ca(N), Cb(N), Cz(N), Cy(N);
    const FixedCells* fixed = s_.fixedCells;
    for (int i = 0; i < n_; ++i) {
        if (stopNow())
            return false;
        if ((fixed && fixed->row(i)) || !removeRun(i))
            continue;
        Ca.noalias() = C * a_;
        if (I())
            Cb.noalias() = C * b_;
        const double current = value(q_, nn_);
        long bestK = -1;
        double best = current;
        for (long k = 0; k < N; ++k) {
            const double sv = qV[k] + c_ * Ca[k] * Ca[k];
            const double v = I()
                ? (qW[k] + 2.0 * c_ * Ca[k] * Cb[k] + c_ * c_ * fb_ * Ca[k] * Ca[k]) / (1.0 + sv)
                : sv;
            if (v > best && (!fixed || fixed->admits(i, &grid.coords[static_cast<size_t>(k) * F_]))) {
                best = v;
                bestK = k;
            }
        }
        if (bestK < 0 || !(I() ? better(best, current)
                               : 1.0 + best > (1.0 + current) * (1.0 + 1e-9)))
            continue;
        g_ = C.row(bestK).transpose();
        const double ag = a_.dot(g_);
        z_.noalias() = V_.selfadjointView<Eigen::Lower>() * g_;
        z_ += (c_ * ag) * a_;
        q_ = g_.dot(z_);
        const double e = 1.0 / (1.0 + q_);
        Cz.noalias() = C * z_;
        if (I()) {
            const double bg = b_.dot(g_);
            y_.noalias() = W_.selfadjointView<Eigen::Lower>() * g_;
            y_ += (c_ * bg + c_ * c_ * fb_ * ag) * a_ + (c_ * ag) * b_;
            nn_ = g_.dot(y_);
            Cy.noalias() = C * y_;
            qW.array() += 2.0 * c_ * Ca.array() * Cb.array() + c_ * c_ * fb_ * Ca.array().square()
                - 2.0 * e * Cz.array() * Cy.array() + e * e * nn_ * Cz.array().square();
        }
        qV.array() += c_ * Ca.array().square() - e * Cz.array().square();
        restoreRun(i);
        std::copy_n(&grid.coords[static_cast<size_t>(bestK) * F_], F_,
                    &coords_[static_cast<size_t>(i) * F_]);
    }
    refresh();
    return score_ - before > 1e-8;
}

}  // namespace orvex
