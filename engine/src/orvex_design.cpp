#include "orvex_design.h"

#include "orvex_rng.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <Eigen/QR>

#include <algorithm>
#include <array>
#include <functional>
#include <mutex>
#include <thread>
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

// x^p for the powers of the model, 0 to 2.
double power(double x, int p)
{
    return p == 0 ? 1.0 : (p == 1 ? x : x * x);
}

// One parameter's dependence on a factor: which of the factor's columns it uses, with what power,
// and the parameter's other columns (whose product is fixed while this factor moves).
struct Touch {
    int param;
    int col;      // offset within the factor's columns
    int power;    // 1 or 2
    int others;   // start and length in Space::otherCols
    int nothers;
};

// The parameters as functions of a run's coordinates (continuous: coded value in [-1, 1];
// level factors: level index), with the prior precision added to X'X and the region's moments.
struct Space {
    Space(const Model& model, const DesignTerms& terms, const DesignSearchOptions& options);

    // Candidate values per factor: levels; -1, 0, 1 for continuous factors (-1, 1 when never
    // squared, 0 when fixed).
    int radix(int f) const;
    long gridSize(long limit) const;   // -1 above limit
    void gridPoint(long k, double* coord) const;
    // Parameter rows of the candidate grid, or of maxPoints random grid points when it is larger.
    Eigen::MatrixXd candidateSample(long maxPoints) const;
    // Coded columns of a run; cols[0] is 1.
    void columns(const double* coord, double* cols) const;
    void row(const double* cols, double* out) const { termsRow(*terms, cols, out); }
    // Value of column `col` of level factor f at level l.
    double levelCode(int f, int l, int col) const { return levelCols[f][static_cast<size_t>(l) * m.factor(f).columnCount() + col]; }
    bool fixed(int f) const
    {
        const Factor& fac = m.factor(f);
        return fac.kind == FactorKind::Continuous && fac.low == fac.high;
    }

    const Model& m;
    const DesignTerms* terms;
    int F, P;
    Criterion criterion;
    std::vector<std::vector<Touch>> touches;       // per factor
    std::vector<int> otherCols;
    std::vector<char> twoLevel;                    // continuous and never squared: ends only
    std::vector<std::vector<double>> levelCols;    // per level factor: L x columns, row-major
    Eigen::VectorXd prior;                         // diagonal added to X'X
    Eigen::MatrixXd moments;                       // region moments (I-optimality only)
};

// Per-factor moments of the region, used to build the moment matrix factor by factor.
double factorMoment(const Space& s, int f, int colA, int powA, int colB, int powB)
{
    const Factor& fac = s.m.factor(f);
    if (fac.kind == FactorKind::Continuous) {
        const int pw = powA + powB;
        if (s.fixed(f))
            return pw == 0 ? 1.0 : 0.0;
        return pw % 2 ? 0.0 : 1.0 / (pw + 1);
    }
    const int L = fac.levelCount();
    double sum = 0.0;
    for (int l = 0; l < L; ++l) {
        double v = 1.0;
        v *= power(s.levelCode(f, l, colA), powA) * power(s.levelCode(f, l, colB), powB);
        sum += v;
    }
    return sum / L;
}

Space::Space(const Model& model, const DesignTerms& t, const DesignSearchOptions& options)
    : m(model), terms(&t), F(model.factorCount()), P(static_cast<int>(t.params.size())),
      criterion(options.criterion)
{
    levelCols.resize(F);
    for (int f = 0; f < F; ++f) {
        const Factor& fac = m.factor(f);
        if (fac.kind == FactorKind::Continuous)
            continue;
        const int L = fac.levelCount(), nc = fac.columnCount();
        levelCols[f].resize(static_cast<size_t>(L) * nc);
        for (int l = 0; l < L; ++l)
            for (int c = 0; c < nc; ++c)
                levelCols[f][static_cast<size_t>(l) * nc + c] = fac.kind == FactorKind::Discrete
                    ? fac.codedValue(fac.levelValues[l])
                    : (l == L - 1 ? -1.0 : (c == l ? 1.0 : 0.0));
    }
    // Per parameter, its (factor, column, power) parts.
    std::vector<std::vector<std::array<int, 3>>> parts(P);
    touches.resize(F);
    twoLevel.assign(F, 1);
    for (int k = 0; k < P; ++k) {
        const auto& cols = t.params[k];
        for (size_t j = 0; j < cols.size(); ++j) {
            if (j > 0 && cols[j] == cols[j - 1])
                continue;
            const int power = static_cast<int>(std::count(cols.begin(), cols.end(), cols[j]));
            const int f = m.columnFactor(cols[j]);
            parts[k].push_back({f, cols[j] - m.firstColumn(f), power});
        }
        for (const auto& part : parts[k]) {
            Touch tc{k, part[1], part[2], static_cast<int>(otherCols.size()), 0};
            for (int c : cols)
                if (m.columnFactor(c) != part[0]) {
                    otherCols.push_back(c);
                    ++tc.nothers;
                }
            touches[part[0]].push_back(tc);
            if (part[2] == 2)
                twoLevel[part[0]] = 0;
        }
    }
    for (int f = 0; f < F; ++f)
        if (m.factor(f).kind != FactorKind::Continuous)
            twoLevel[f] = 0;

    prior = Eigen::VectorXd::Constant(P, kRidge);
    if (t.necessaryCount() < P) {
        // If Possible parameters: prior precision (s/tau)^2, s half the range of the parameter's
        // column over a candidate sample after regressing it on the Necessary columns.
        std::vector<int> nec, opt;
        for (int k = 0; k < P; ++k)
            (t.necessary[k] ? nec : opt).push_back(k);
        const Eigen::MatrixXd Z = candidateSample(2000);
        Eigen::MatrixXd Xn(Z.rows(), nec.size()), Xq(Z.rows(), opt.size());
        for (size_t j = 0; j < nec.size(); ++j)
            Xn.col(j) = Z.col(nec[j]);
        for (size_t j = 0; j < opt.size(); ++j)
            Xq.col(j) = Z.col(opt[j]);
        const Eigen::MatrixXd R = Xq - Xn * Xn.colPivHouseholderQr().solve(Xq);
        const double tau2 = options.tau * options.tau;
        for (size_t j = 0; j < opt.size(); ++j) {
            const double half = 0.5 * (R.col(j).maxCoeff() - R.col(j).minCoeff());
            prior[opt[j]] = (half > 1e-9 ? half * half : 1.0) / tau2;
        }
    }
    if (criterion == Criterion::I) {
        moments.resize(P, P);
        for (int a = 0; a < P; ++a)
            for (int b = a; b < P; ++b) {
                double v = 1.0;
                // Merge the two parameters' parts factor by factor (parts are in factor order).
                size_t i = 0, j = 0;
                const auto& pa = parts[a];
                const auto& pb = parts[b];
                while (v != 0.0 && (i < pa.size() || j < pb.size())) {
                    const int fa = i < pa.size() ? pa[i][0] : F, fb = j < pb.size() ? pb[j][0] : F;
                    const int f = std::min(fa, fb);
                    const int ca = fa == f ? pa[i][1] : 0, wa = fa == f ? pa[i][2] : 0;
                    const int cb = fb == f ? pb[j][1] : 0, wb = fb == f ? pb[j][2] : 0;
                    v *= factorMoment(*this, f, ca, wa, cb, wb);
                    i += fa == f;
                    j += fb == f;
                }
                moments(a, b) = moments(b, a) = v;
            }
    }
}

int Space::radix(int f) const
{
    const Factor& fac = m.factor(f);
    if (fac.kind != FactorKind::Continuous)
        return fac.levelCount();
    return fixed(f) ? 1 : (twoLevel[f] ? 2 : 3);
}

long Space::gridSize(long limit) const
{
    long N = 1;
    for (int f = 0; f < F; ++f) {
        N *= radix(f);
        if (N > limit)
            return -1;
    }
    return N;
}

void Space::gridPoint(long k, double* coord) const
{
    for (int f = 0; f < F; ++f) {
        const int r = radix(f);
        const int v = static_cast<int>(k % r);
        k /= r;
        if (m.factor(f).kind != FactorKind::Continuous)
            coord[f] = v;
        else
            coord[f] = r == 1 ? 0.0 : (r == 2 ? 2.0 * v - 1.0 : v - 1.0);
    }
}

Eigen::MatrixXd Space::candidateSample(long maxPoints) const
{
    const long N = gridSize(maxPoints);
    const long rows = N > 0 ? N : maxPoints;
    Eigen::MatrixXd Z(rows, P);
    std::vector<double> coord(F), cols(m.columnCount());
    Eigen::VectorXd r(P);
    Rng rng(0x243F6A8885A308D3ull);  // fixed: the prior must not depend on the design's seed
    for (long k = 0; k < rows; ++k) {
        if (N > 0) {
            gridPoint(k, coord.data());
        } else {
            for (int f = 0; f < F; ++f) {
                const int v = rng.below(radix(f));
                coord[f] = v;
                if (m.factor(f).kind == FactorKind::Continuous)
                    coord[f] = radix(f) == 1 ? 0.0 : (radix(f) == 2 ? 2.0 * v - 1.0 : v - 1.0);
            }
        }
        columns(coord.data(), cols.data());
        row(cols.data(), r.data());
        Z.row(k) = r.transpose();
    }
    return Z;
}

void Space::columns(const double* coord, double* cols) const
{
    cols[0] = 1.0;
    for (int f = 0; f < F; ++f) {
        const Factor& fac = m.factor(f);
        double* out = cols + m.firstColumn(f);
        if (fac.kind == FactorKind::Continuous) {
            out[0] = fixed(f) ? 0.0 : coord[f];
            continue;
        }
        const int l = static_cast<int>(coord[f]);
        for (int c = 0; c < fac.columnCount(); ++c)
            out[c] = levelCode(f, l, c);
    }
}

// Candidate runs for whole-run exchanges: the grid of the factors' candidate values.
struct Grid {
    Eigen::MatrixXd C;            // rows of the candidates
    std::vector<double> coords;   // N x F coordinates
};

Grid buildGrid(const Space& sp, long maxCells)
{
    Grid g;
    const long N = sp.gridSize(maxCells / std::max(1, sp.P));
    if (N <= 0)
        return g;
    g.C.resize(N, sp.P);
    g.coords.resize(static_cast<size_t>(N) * sp.F);
    std::vector<double> cols(sp.m.columnCount());
    Eigen::VectorXd r(sp.P);
    for (long k = 0; k < N; ++k) {
        double* coord = &g.coords[static_cast<size_t>(k) * sp.F];
        sp.gridPoint(k, coord);
        sp.columns(coord, cols.data());
        sp.row(cols.data(), r.data());
        g.C.row(k) = r.transpose();
    }
    return g;
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

// One start of the coordinate-exchange search. The criterion works on A = X'X + prior through
// V = A^-1 (and W = V M V for I-optimality). A run is improved coordinate by coordinate against
// the information of the other runs, B = A - f f' (V_ = B^-1 kept implicit as V + c a a'): a
// coordinate moves only the parameters that involve its factor, so each candidate is scored from
// those few entries, and V and W are updated once per run, when the run changed.
class Search {
public:
    Search(const Space& sp, int n) : s_(sp), n_(n), F_(sp.F), P_(sp.P)
    {
        X_.resize(n_, P_);
        coords_.assign(static_cast<size_t>(n_) * F_, 0.0);
        cols_.resize(s_.m.columnCount());
        for (auto* v : {&a_, &b_, &z_, &y_, &g_})
            v->resize(P_);
    }

    // Starting design number `start` of the seed's stream: one draw per cell, in run order.
    void randomStart(std::uint64_t seed, int start)
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

    void setCoords(const std::vector<double>& coords)
    {
        coords_ = coords;
        setRows();
        aborted_ = false;
    }

    const std::vector<double>& coords() const { return coords_; }
    double work() const { return work_; }
    bool aborted() const { return aborted_; }
    double score() const { return score_; }

    // Polled once per run; true stops the start (aborted() then tells).
    std::function<bool()> stop;
    // Adds the work of each pass as it is done (progress display).
    std::function<void(double)> onWork;

    // Runs one start to convergence with continuous coordinates on -1, 0, 1 only (fast, and the
    // optimum of a quadratic model sits mostly there); returns the criterion reached (larger is
    // better).
    double optimiseOnGrid(int maxPasses)
    {
        refresh();
        coordinatePasses(true, maxPasses);
        return score_;
    }

    // Goes on from the current runs with continuous coordinates over their whole interval;
    // `sweeps` rounds over a run's coordinates before the next run.
    double refine(int maxPasses, int sweeps = 1)
    {
        sweeps_ = sweeps;
        refresh();
        coordinatePasses(false, maxPasses);
        sweeps_ = 1;
        return score_;
    }

    // Alternates whole-run exchanges with the candidate grid and continuous coordinate passes
    // until neither gains; escapes optima where no single coordinate can move.
    double polish(const Grid& grid, int maxPasses)
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

private:
    bool I() const { return s_.criterion == Criterion::I; }

    void setRows()
    {
        for (int i = 0; i < n_; ++i) {
            s_.columns(&coords_[static_cast<size_t>(i) * F_], cols_.data());
            s_.row(cols_.data(), X_.row(i).data());
        }
    }

    void addWork(double w)
    {
        work_ += w;
        if (onWork)
            onWork(w);
    }

    bool stopNow()
    {
        if (!aborted_ && stop && stop())
            aborted_ = true;
        return aborted_;
    }

    void refresh()
    {
        sinceRefresh_ = 0;
        Eigen::MatrixXd A = Eigen::MatrixXd::Zero(P_, P_);
        A.selfadjointView<Eigen::Lower>().rankUpdate(X_.transpose());
        A.diagonal() += s_.prior;
        Eigen::LLT<Eigen::MatrixXd> llt(A);
        V_ = llt.solve(Eigen::MatrixXd::Identity(P_, P_));
        logdet_ = 2.0 * llt.matrixLLT().diagonal().array().log().sum();
        if (I()) {
            W_ = V_ * s_.moments * V_;
            trace_ = V_.cwiseProduct(s_.moments).sum();
            score_ = trace_ > 0.0 ? -std::log(trace_) : -kHuge;
        } else {
            score_ = logdet_;
        }
        if (llt.info() != Eigen::Success || !std::isfinite(score_))
            score_ = -kHuge;
    }

    void coordinatePasses(bool grid, int maxPasses)
    {
        for (int pass = 0; pass < maxPasses; ++pass) {
            addWork(static_cast<double>(n_) * (P_ * static_cast<double>(P_) + 12.0 * F_ * P_));
            const double before = score_;
            for (int i = 0; i < n_; ++i) {
                if (stopNow())
                    return;
                improveRun(i, grid);
            }
            // The updates keep V accurate for many passes; a fresh factorisation every few
            // passes, and before deciding that the search has converged, bounds the drift.
            const bool converged = !(score_ - before > 1e-8);
            if (converged || ++sinceRefresh_ >= kRefreshPasses)
                refresh();
            if (!(score_ - before > 1e-8))
                break;
        }
        if (sinceRefresh_ > 0)
            refresh();
    }

    // Removes run i from the information: a = V f, d = f'V f, c = 1 / (1 - d), and for
    // I-optimality b = W f, fb = f'b. Then z = V_ f and y = W_ f. False when the run cannot be
    // removed (it never happens with a positive prior, but rounding may say otherwise).
    bool removeRun(int i)
    {
        g_ = X_.row(i).transpose();
        a_.noalias() = V_.selfadjointView<Eigen::Lower>() * g_;
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

    // Puts run i back with its row g_ (z_ = V_ g, y_ = W_ g, q_ = g'z, nn_ = g'y current).
    void restoreRun(int i)
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

    // Value of the criterion for run i's row when the V_-form is q and the W_-form nn: larger
    // is better.
    double value(double q, double nn) const { return I() ? nn / (1.0 + q) : q; }
    bool better(double candidate, double current) const
    {
        if (I())
            return candidate - current > 1e-10 * std::max(trace_ + c_ * fb_, 1e-300);
        return 1.0 + candidate > (1.0 + current) * (1.0 + 1e-10);
    }

    void improveRun(int i, bool grid)
    {
        if (!removeRun(i))
            return;
        double* coord = &coords_[static_cast<size_t>(i) * F_];
        s_.columns(coord, cols_.data());
        bool changed = false;
        for (int sw = 0; sw < (grid ? 1 : sweeps_); ++sw) {
            bool any = false;
            for (int f = 0; f < F_; ++f)
                any = improveCoordinate(coord, f, grid) || any;
            changed = changed || any;
            if (!any)
                break;
        }
        if (changed)
            restoreRun(i);
    }

    // Moves coordinate f of the current run to its best value given everything else.
    bool improveCoordinate(double* coord, int f, bool grid)
    {
        const auto& T = s_.touches[f];
        const int s = static_cast<int>(T.size());
        if (s == 0 || s_.fixed(f))
            return false;
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
        // The criterion's quadratic forms on the touched entries: D(h) = C0 + 2 h'r + h'Q h
        // (and N(h) with W_) for the touched entries h of a candidate row.
        formQ(V_, false, Q_, r_, C0_, z_, q_);
        if (I())
            formQ(W_, true, QW_, rW_, CW0_, y_, nn_);
        const double current = value(q_, nn_);
        double best = current;
        double bestCoord = coord[f];
        const Factor& fac = s_.m.factor(f);
        if (fac.kind == FactorKind::Continuous) {
            // Touched entries: t v + t^2 w.
            v_.setZero(s);
            w_.setZero(s);
            for (int j = 0; j < s; ++j)
                (T[j].power == 1 ? v_ : w_)[j] = ak_[j];
            double cq[5], cn[5];
            quartic(Q_, r_, C0_, cq);
            if (I())
                quartic(QW_, rW_, CW0_, cn);
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
        } else {
            const int L = fac.levelCount();
            const int currentLevel = static_cast<int>(coord[f]);
            for (int l = 0; l < L; ++l) {
                if (l == currentLevel)
                    continue;
                for (int j = 0; j < s; ++j)
                    h_[j] = ak_[j] * power(s_.levelCode(f, l, T[j].col), T[j].power);
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
        for (int j = 0; j < s; ++j) {
            const double u = fac.kind == FactorKind::Continuous
                ? power(bestCoord, T[j].power)
                : power(s_.levelCode(f, static_cast<int>(bestCoord), T[j].col), T[j].power);
            h_[j] = ak_[j] * u - gS_[j];  // the change
        }
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

    // Q = M_[S, S] (M_ = V_ or W_ in their implicit forms), r = (M_ g)_S - Q g_S and
    // C0 = g'M_ g - 2 g_S'(M_ g)_S + g_S'Q g_S, from the touched entries S.
    void formQ(const Eigen::MatrixXd& M, bool isW, Eigen::MatrixXd& Q, Eigen::VectorXd& r,
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

    // C0 + 2 h'r + h'Q h for the candidate entries in h_.
    double form(const Eigen::MatrixXd& Q, const Eigen::VectorXd& r, double C0) const
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

    // Coefficients in t of C0 + 2 h'r + h'Q h with h = t v + t^2 w.
    void quartic(const Eigen::MatrixXd& Q, const Eigen::VectorXd& r, double C0, double* c)
    {
        Qv_.noalias() = Q * v_;
        Qw_.noalias() = Q * w_;
        c[0] = C0;
        c[1] = 2.0 * v_.dot(r);
        c[2] = 2.0 * w_.dot(r) + v_.dot(Qv_);
        c[3] = 2.0 * v_.dot(Qw_);
        c[4] = w_.dot(Qw_);
    }

    // One pass of whole-run exchanges against the grid; true when the criterion rose.
    bool exchangePass(const Grid& grid)
    {
        const Eigen::MatrixXd& C = grid.C;
        const long N = C.rows();
        const double before = score_;
        addWork(2.0 * n_ * static_cast<double>(N) * P_);
        Eigen::VectorXd qV = ((C * V_).array() * C.array()).rowwise().sum();
        Eigen::VectorXd qW;
        if (I())
            qW = ((C * W_).array() * C.array()).rowwise().sum();
        Eigen::VectorXd Ca(N), Cb(N), Cz(N), Cy(N);
        for (int i = 0; i < n_; ++i) {
            if (stopNow())
                return false;
            if (!removeRun(i))
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
                if (v > best) {
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

    static constexpr double kHuge = std::numeric_limits<double>::max();

    const Space& s_;
    int n_, F_, P_;
    RowMatrix X_;
    Eigen::MatrixXd V_, W_;
    double logdet_ = 0.0, trace_ = 0.0, score_ = 0.0;
    std::vector<double> coords_, cols_;
    double work_ = 0.0;
    bool aborted_ = false;
    int sinceRefresh_ = 0;
    int sweeps_ = 1;
    static constexpr int kRefreshPasses = 4;
    // Run being improved.
    Eigen::VectorXd a_, b_, z_, y_, g_;
    double d_ = 0.0, c_ = 1.0, q_ = 0.0, fb_ = 0.0, nn_ = 0.0;
    // Coordinate being improved.
    std::vector<int> idx_;
    std::vector<double> ak_, gS_;
    Eigen::VectorXd h_;
    Eigen::MatrixXd Q_, QW_;
    Eigen::VectorXd r_, rW_, v_, w_, Qv_, Qw_;
    double C0_ = 0.0, CW0_ = 0.0;
};

// Reports a fraction of the work done, never moving backwards.
void reportProgress(std::atomic<double>* progress, double fraction)
{
    if (!progress)
        return;
    fraction = std::min(1.0, std::max(0.0, fraction));
    double cur = progress->load();
    while (fraction > cur && !progress->compare_exchange_weak(cur, fraction)) {
    }
}

// Runs fn(worker) on `threads` threads (the caller's among them) and waits for all.
template <class Fn>
void runThreads(int threads, Fn fn)
{
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(fn);
    fn();
    for (auto& t : pool)
        t.join();
}

struct StartResult {
    bool done = false;
    double score = 0.0;
    std::vector<double> coords;
};

std::vector<double> toUnits(const Space& sp, const std::vector<double>& coords, int n)
{
    std::vector<double> runs(coords);
    for (int i = 0; i < n; ++i)
        for (int f = 0; f < sp.F; ++f) {
            const Factor& fac = sp.m.factor(f);
            double& v = runs[static_cast<size_t>(i) * sp.F + f];
            if (fac.kind == FactorKind::Continuous)
                v = 0.5 * (fac.low + fac.high) + 0.5 * v * (fac.high - fac.low);
        }
    return runs;
}

// Runs job(search, j) for j = 0 .. count-1 on up to `threads` threads, one Search per thread;
// stops handing out jobs once stop() says so.
template <class Job, class Stop>
void runJobs(const Space& sp, int n, int threads, int count, Stop stop, Job job)
{
    std::atomic<int> next{0};
    runThreads(std::max(1, std::min(threads, count)), [&] {
        Search search(sp, n);
        search.stop = stop;
        for (;;) {
            const int j = next.fetch_add(1);
            if (j >= count || stop())
                break;
            job(search, j);
        }
    });
}

// Indices of the done results, best first (ties: lower index first), at most `keep` of them.
std::vector<int> bestOf(const std::vector<StartResult>& results, size_t keep)
{
    std::vector<int> order;
    for (size_t k = 0; k < results.size(); ++k)
        if (results[k].done)
            order.push_back(static_cast<int>(k));
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return results[a].score > results[b].score; });
    if (order.size() > keep)
        order.resize(keep);
    return order;
}

// Random starts on the -1, 0, 1 grid (in parallel; the result does not depend on the thread
// count: start s always begins from the same point and the starts kept are decided in start
// order), the best of them refined over the continuous intervals, and the best of those
// polished with whole-run exchanges.
std::vector<double> runSearch(const Space& sp, int n, std::uint64_t seed,
                              const DesignSearchOptions& options)
{
    // Without a fixed count, starts continue until the operation budget is spent (at least
    // kMinStarts, at most kMaxStarts).
    constexpr int kMinStarts = 8, kMaxStarts = 300;
    const Grid grid = buildGrid(sp, 2000000);
    // Small problems: every start goes on over the continuous intervals, and the best are
    // polished with whole-run exchanges when the candidate grid fits. Large ones: the starts stay
    // on the grid and only the best few are refined, with several rounds per run, to convergence.
    const bool small = grid.C.rows() > 0 || sp.P <= 100;
    const double kWorkBudget = small ? 3.5e8 : 1e9;
    const int kRefined = small ? 0 : 5;
    const bool budgeted = options.starts <= 0;
    const int maxStarts = budgeted ? kMaxStarts : options.starts;
    int threads = options.threads > 0 ? options.threads
                                      : static_cast<int>(std::thread::hardware_concurrency());
    threads = std::max(1, std::min(threads, 16));
    std::atomic<bool>* cancel = options.cancel;
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };

    // Shares of the progress bar: starts, refinement, polish.
    const double polishShare = grid.C.rows() > 0 ? 0.1 : 0.0;
    const double share[3] = {small ? 1.0 - polishShare : 0.5, small ? 0.0 : 0.5, polishShare};
    const double passWork = static_cast<double>(n) * (sp.P * static_cast<double>(sp.P) + 12.0 * sp.F * sp.P);

    std::vector<StartResult> results(maxStarts);
    std::vector<double> startWork(maxStarts, 0.0);
    std::mutex mutex;
    int prefix = 0;                 // starts 0 .. prefix-1 are done and counted
    double prefixWork = 0.0;
    std::atomic<int> next{0}, stopAt{maxStarts};
    std::atomic<double> liveWork{0.0};

    auto startsProgress = [&] {
        const double mean = prefix > 0 ? prefixWork / prefix : 20.0 * passWork;
        const double expected = budgeted
            ? std::min(std::max(kWorkBudget, kMinStarts * mean), kMaxStarts * mean)
            : maxStarts * mean;
        return std::min(0.99, liveWork.load() / std::max(expected, 1.0));
    };

    runThreads(std::min(threads, maxStarts), [&] {
        Search search(sp, n);
        search.onWork = [&](double w) {
            double cur = liveWork.load();
            while (!liveWork.compare_exchange_weak(cur, cur + w)) {
            }
            reportProgress(options.progress, share[0] * startsProgress());
        };
        for (;;) {
            const int s = next.fetch_add(1);
            if (s >= stopAt.load() || cancelled())
                break;
            search.stop = [&, s] { return cancelled() || s >= stopAt.load(); };
            search.randomStart(seed, s);
            double score = search.optimiseOnGrid(options.maxPasses);
            if (small && !search.aborted())
                score = search.refine(options.maxPasses);
            if (search.aborted())
                continue;
            std::lock_guard<std::mutex> lock(mutex);
            results[s].done = true;
            results[s].score = score;
            results[s].coords = search.coords();
            startWork[s] = search.work();
            while (prefix < maxStarts && results[prefix].done) {
                prefixWork += startWork[prefix];
                ++prefix;
                if (budgeted && prefix >= kMinStarts && prefixWork > kWorkBudget && prefix < stopAt.load())
                    stopAt.store(prefix);
            }
        }
    });
    if (!cancelled())
        results.resize(stopAt.load());
    std::vector<int> top = bestOf(results, static_cast<size_t>(std::max({1, kRefined, options.polished})));
    if (top.empty())
        return {};
    std::vector<double> best = results[top.front()].coords;
    double bestScore = results[top.front()].score;
    reportProgress(options.progress, share[0]);

    // Refinement of the best starts (large problems).
    std::vector<StartResult> refined(top.size());
    if (kRefined > 0) {
        top.resize(std::min(top.size(), static_cast<size_t>(kRefined)));
        refined.resize(top.size());
        std::atomic<int> jobsDone{0};
        runJobs(sp, n, threads, static_cast<int>(top.size()), cancelled, [&](Search& search, int j) {
            search.setCoords(results[top[j]].coords);
            const double score = search.refine(10 * options.maxPasses, 3);
            if (search.aborted())
                return;
            refined[j] = {true, score, search.coords()};
            reportProgress(options.progress, share[0] + share[1] * (jobsDone.fetch_add(1) + 1) / top.size());
        });
    } else {
        for (size_t j = 0; j < top.size(); ++j)
            refined[j] = results[top[j]];
    }
    const std::vector<int> order = bestOf(refined, static_cast<size_t>(std::max(1, options.polished)));
    for (int j : order)
        if (refined[j].score > bestScore) {
            bestScore = refined[j].score;
            best = refined[j].coords;
        }

    if (grid.C.rows() > 0 && !order.empty() && !cancelled()) {
        std::vector<StartResult> polished(order.size());
        std::atomic<int> jobsDone{0};
        runJobs(sp, n, threads, static_cast<int>(order.size()), cancelled, [&](Search& search, int j) {
            search.setCoords(refined[order[j]].coords);
            const double score = search.polish(grid, options.maxPasses);
            if (search.aborted())
                return;
            polished[j] = {true, score, search.coords()};
            reportProgress(options.progress,
                           share[0] + share[1] + share[2] * (jobsDone.fetch_add(1) + 1) / order.size());
        });
        for (const StartResult& r : polished)
            if (r.done && r.score > bestScore) {
                bestScore = r.score;
                best = r.coords;
            }
    }
    return toUnits(sp, best, n);
}

}  // namespace

std::vector<double> searchDesign(const Model& model, int n, std::uint64_t seed,
                                 const DesignSearchOptions& options)
{
    if (!model.isBuilt())
        return {};
    return searchDesign(model, kind2Terms(model), n, seed, options);
}

std::vector<double> searchDesign(const Model& model, const DesignTerms& terms, int n,
                                 std::uint64_t seed, const DesignSearchOptions& options)
{
    if (!model.isBuilt() || n <= 0 || terms.params.empty())
        return {};
    const Space space(model, terms, options);
    return runSearch(space, n, seed, options);
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

}  // namespace orvex
