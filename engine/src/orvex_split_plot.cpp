#include "orvex_split_plot.h"

#include "orvex_design_space.h"
#include "orvex_rng.h"

#include <Eigen/Cholesky>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

constexpr double kNegInf = -std::numeric_limits<double>::infinity();

int spread(long long i, long long count, long long n)
{
    return static_cast<int>(i * count / n);  // sizes differ by at most one
}

// Parameters built only from factors whose change level is at least `level`.
int paramsAtLevel(const Model& model, const DesignTerms& terms, const RunStructure& s, int level)
{
    int count = 0;
    for (const auto& cols : terms.params) {
        bool inside = true;
        for (int c : cols) {
            const int f = model.columnFactor(c);
            if (f < 0 || f >= static_cast<int>(s.changes.size()) || s.changes[f] < level)
                inside = false;
        }
        count += inside ? 1 : 0;
    }
    return count;
}

// The runs V couples (a whole-whole plot, else a whole plot, else one run) with V^-1 of each.
struct Groups {
    std::vector<std::vector<int>> runs;
    std::vector<Eigen::MatrixXd> vinv;
    std::vector<int> ofRun;
};

Groups buildGroups(const RunLayout& L, int n, double eta)
{
    Groups g;
    const std::vector<int>* top = L.wholeWholePlots > 0 ? &L.wwp : (L.wholePlots > 0 ? &L.wp : nullptr);
    const int count = top ? (L.wholeWholePlots > 0 ? L.wholeWholePlots : L.wholePlots) : n;
    g.runs.resize(count);
    g.ofRun.resize(n);
    for (int i = 0; i < n; ++i) {
        const int k = top ? (*top)[i] : i;
        g.runs[k].push_back(i);
        g.ofRun[i] = k;
    }
    g.vinv.resize(count);
    for (int k = 0; k < count; ++k) {
        const auto& r = g.runs[k];
        const int m = static_cast<int>(r.size());
        Eigen::MatrixXd V = Eigen::MatrixXd::Identity(m, m);
        for (int a = 0; a < m; ++a)
            for (int b = 0; b < m; ++b) {
                if (L.wholePlots > 0 && L.wp[r[a]] == L.wp[r[b]])
                    V(a, b) += eta;
                if (L.wholeWholePlots > 0 && L.wwp[r[a]] == L.wwp[r[b]])
                    V(a, b) += eta;
            }
        g.vinv[k] = V.llt().solve(Eigen::MatrixXd::Identity(m, m));
    }
    return g;
}

// One coordinate that moves as a unit: a factor in one run, one whole plot or one whole-whole plot.
struct Unit {
    int factor;
    std::vector<int> runs;
};

class StructuredSearch {
public:
    StructuredSearch(const Space& sp, const RunLayout& L, const Groups& g, int n)
        : sp_(sp), L_(L), g_(g), n_(n), F_(sp.F), P_(sp.P), Q_(sp.P + std::max(0, L.blocks - 1))
    {
        X_.setZero(n_, Q_);
        coords_.assign(static_cast<size_t>(n_) * F_, 0.0);
        cols_.resize(sp.m.columnCount());
        prior_ = Eigen::VectorXd::Constant(Q_, 1e-6);
        prior_.head(P_) = sp.prior;
        moments_ = Eigen::MatrixXd::Zero(Q_, Q_);
        if (sp.moments.rows() == P_)
            moments_.topLeftCorner(P_, P_) = sp.moments;
        G_.resize(g.runs.size());
    }

    void addUnits(const RunStructure& s)
    {
        for (int f = 0; f < F_; ++f) {
            if (sp_.fixed(f) || sp_.touches[f].empty())
                continue;
            const int level = f < static_cast<int>(s.changes.size()) ? s.changes[f] : 0;
            const std::vector<int>* group = level == 2 && L_.wholeWholePlots > 0 ? &L_.wwp
                : (level >= 1 && L_.wholePlots > 0 ? &L_.wp : nullptr);
            const int count = group ? (group == &L_.wwp ? L_.wholeWholePlots : L_.wholePlots) : n_;
            const size_t first = units_.size();
            units_.resize(first + count, Unit{f, {}});
            for (int i = 0; i < n_; ++i)
                units_[first + (group ? (*group)[i] : i)].runs.push_back(i);
        }
    }

    double candidatesPerPass() const
    {
        double c = 0.0;
        for (const Unit& u : units_)
            c += sp_.radix(u.factor);
        return c;
    }

    void randomStart(std::uint64_t seed, int start)
    {
        Rng rng(seed ^ (0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(start + 1)));
        for (int i = 0; i < n_; ++i)
            for (int f = 0; f < F_; ++f)
                coords_[static_cast<size_t>(i) * F_ + f] = sp_.candidate(f, 0);
        for (const Unit& u : units_) {
            const double v = sp_.candidate(u.factor, rng.below(sp_.radix(u.factor)));
            for (int i : u.runs)
                coords_[static_cast<size_t>(i) * F_ + u.factor] = v;
        }
        for (int i = 0; i < n_; ++i)
            setRow(i);
        rebuild();
    }

    // Passes over every unit until none gains; false when stop() cut it short.
    template <class Stop>
    bool optimise(int maxPasses, Stop stop)
    {
        for (int pass = 0; pass < maxPasses; ++pass) {
            const double before = score_;
            for (const Unit& u : units_) {
                if (stop())
                    return false;
                improve(u);
            }
            rebuild();
            if (!(score_ - before > 1e-9 * std::max(1.0, std::fabs(before))))
                break;
        }
        return true;
    }

    double score() const { return score_; }
    const std::vector<double>& coords() const { return coords_; }

    void setCoords(const std::vector<double>& coords)
    {
        coords_ = coords;
        for (int i = 0; i < n_; ++i)
            setRow(i);
        rebuild();
    }

private:
    void setRow(int i)
    {
        sp_.columns(&coords_[static_cast<size_t>(i) * F_], cols_.data());
        sp_.row(cols_.data(), X_.row(i).data());
        if (Q_ > P_) {
            const int b = L_.block[i], last = L_.blocks - 1;
            for (int k = 0; k < last; ++k)
                X_(i, P_ + k) = b == last ? -1.0 : (b == k ? 1.0 : 0.0);
        }
    }

    void groupInfo(int k, Eigen::MatrixXd& out)
    {
        const auto& r = g_.runs[k];
        const int m = static_cast<int>(r.size());
        Xg_.resize(m, Q_);
        for (int a = 0; a < m; ++a)
            Xg_.row(a) = X_.row(r[a]);
        out.noalias() = Xg_.transpose() * (g_.vinv[k] * Xg_);
    }

    double evaluate(const Eigen::MatrixXd& M)
    {
        llt_.compute(M);
        if (llt_.info() != Eigen::Success)
            return kNegInf;
        if (sp_.criterion == Criterion::I) {
            const double tr = llt_.solve(moments_).trace();
            return tr > 0.0 && std::isfinite(tr) ? -std::log(tr) : kNegInf;
        }
        const double ld = 2.0 * llt_.matrixLLT().diagonal().array().log().sum();
        return std::isfinite(ld) ? ld : kNegInf;
    }

    void rebuild()
    {
        M_ = prior_.asDiagonal();
        for (size_t k = 0; k < G_.size(); ++k) {
            groupInfo(static_cast<int>(k), G_[k]);
            M_ += G_[k];
        }
        score_ = evaluate(M_);
    }

    void improve(const Unit& u)
    {
        const int f = u.factor, k = g_.ofRun[u.runs.front()];
        const double current = coords_[static_cast<size_t>(u.runs.front()) * F_ + f];
        double bestValue = current, best = score_;
        for (int v = 0; v < sp_.radix(f); ++v) {
            const double c = sp_.candidate(f, v);
            if (c == current)
                continue;
            place(u, c);
            groupInfo(k, Gc_);
            Mc_ = M_ - G_[k] + Gc_;
            const double sc = evaluate(Mc_);
            if (sc > best + 1e-10 * std::max(1.0, std::fabs(best))) {
                best = sc;
                bestValue = c;
            }
        }
        place(u, bestValue);
        if (bestValue != current) {
            groupInfo(k, Gc_);
            M_ += Gc_ - G_[k];
            G_[k] = Gc_;
            score_ = best;
        }
    }

    void place(const Unit& u, double value)
    {
        for (int i : u.runs) {
            coords_[static_cast<size_t>(i) * F_ + u.factor] = value;
            setRow(i);
        }
    }

    const Space& sp_;
    const RunLayout& L_;
    const Groups& g_;
    int n_, F_, P_, Q_;
    std::vector<Unit> units_;
    RowMatrix X_;
    Eigen::MatrixXd Xg_, M_, Mc_, Gc_, moments_;
    std::vector<Eigen::MatrixXd> G_;
    Eigen::VectorXd prior_;
    Eigen::LLT<Eigen::MatrixXd> llt_;
    std::vector<double> coords_, cols_;
    double score_ = kNegInf;
};

std::vector<double> toRunUnits(const Model& model, std::vector<double> coords, int n)
{
    const int F = model.factorCount();
    for (int i = 0; i < n; ++i)
        for (int f = 0; f < F; ++f) {
            const Factor& fac = model.factor(f);
            double& v = coords[static_cast<size_t>(i) * F + f];
            if (fac.kind == FactorKind::Continuous)
                v = 0.5 * (fac.low + fac.high) + 0.5 * v * (fac.high - fac.low);
        }
    return coords;
}

}  // namespace

bool RunStructure::hasLevel(int level) const
{
    return std::find(changes.begin(), changes.end(), level) != changes.end();
}

void proposeGroups(const Model& model, const DesignTerms& terms, const RunStructure& s, int n,
                   int& wholePlots, int& wholeWholePlots)
{
    n = std::max(n, 1);
    wholePlots = std::min(n, paramsAtLevel(model, terms, s, 1) + 1);
    wholeWholePlots = std::min(n, paramsAtLevel(model, terms, s, 2) + 1);
    if (s.hasLevel(1))
        wholeWholePlots = std::min(wholeWholePlots, wholePlots);
}

RunLayout layoutRuns(const Model& model, const DesignTerms& terms, const RunStructure& s, int n)
{
    RunLayout L;
    n = std::max(n, 1);
    int pw = 0, pww = 0;
    proposeGroups(model, terms, s, n, pw, pww);
    if (s.hasLevel(1)) {
        L.wholePlots = std::min(n, s.wholePlots >= 1 ? s.wholePlots : pw);
        L.wp.resize(n);
        for (int i = 0; i < n; ++i)
            L.wp[i] = spread(i, L.wholePlots, n);
    }
    if (s.hasLevel(2)) {
        int ww = std::min(n, s.wholeWholePlots >= 1 ? s.wholeWholePlots : pww);
        if (L.wholePlots > 0)
            ww = std::min(ww, L.wholePlots);
        L.wholeWholePlots = ww;
        L.wwp.resize(n);
        for (int i = 0; i < n; ++i)
            L.wwp[i] = L.wholePlots > 0 ? spread(L.wp[i], ww, L.wholePlots) : spread(i, ww, n);
    }
    if (s.blocks > 1) {
        // Blocks hold whole plots (or whole-whole plots) entire, so no plot straddles two.
        const std::vector<int>* unit = L.wholePlots > 0 ? &L.wp : (L.wholeWholePlots > 0 ? &L.wwp : nullptr);
        const int units = unit ? (L.wholePlots > 0 ? L.wholePlots : L.wholeWholePlots) : n;
        L.blocks = std::min(s.blocks, units);
        L.block.resize(n);
        for (int i = 0; i < n; ++i)
            L.block[i] = spread(unit ? (*unit)[i] : i, L.blocks, units);
        if (L.blocks < 2) {
            L.blocks = 0;
            L.block.clear();
        }
    }
    return L;
}

std::vector<double> searchStructured(const Model& model, const DesignTerms& terms, int n,
                                     std::uint64_t seed, const DesignSearchOptions& options,
                                     const RunStructure& s, const RunLayout& layout)
{
    if (!model.isBuilt() || n <= 0 || terms.params.empty())
        return {};
    const Space sp(model, terms, options);
    const Groups groups = buildGroups(layout, n, s.eta);
    StructuredSearch search(sp, layout, groups, n);
    search.addUnits(s);

    // Starts until an operation budget is spent: at least 8, at most 300.
    const double Q = sp.P + std::max(0, layout.blocks - 1);
    double m = 1.0;
    for (const auto& r : groups.runs)
        m = std::max(m, static_cast<double>(r.size()));
    const double perCandidate = m * m * Q + m * Q * Q + Q * Q * Q / 3.0 + 50.0 * Q;
    const double perStart = 6.0 * search.candidatesPerPass() * perCandidate;
    constexpr double kWorkBudget = 1.5e9;
    const int starts = options.starts > 0
        ? options.starts
        : static_cast<int>(std::min(300.0, std::max(8.0, kWorkBudget / std::max(perStart, 1.0))));

    std::atomic<bool>* cancel = options.cancel;
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    std::vector<double> best;
    double bestScore = kNegInf;
    for (int start = 0; start < starts && !cancelled(); ++start) {
        search.randomStart(seed, start);
        if (!search.optimise(options.maxPasses, cancelled))
            break;
        if (best.empty() || search.score() > bestScore) {
            bestScore = search.score();
            best = search.coords();
        }
        if (options.progress)
            options.progress->store(std::min(0.99, (start + 1.0) / starts));
    }
    if (best.empty())
        return {};
    return toRunUnits(model, best, n);
}

double glsLogDet(const Model& model, const DesignTerms& terms, const std::vector<double>& runs,
                 const RunLayout& layout, double eta)
{
    const int n = static_cast<int>(runs.size()) / std::max(1, model.factorCount());
    if (!model.isBuilt() || n <= 0)
        return kNegInf;
    DesignSearchOptions options;
    const Space sp(model, terms, options);
    std::vector<double> coords(runs);
    for (int i = 0; i < n; ++i)
        for (int f = 0; f < sp.F; ++f) {
            const Factor& fac = model.factor(f);
            double& v = coords[static_cast<size_t>(i) * sp.F + f];
            if (fac.kind == FactorKind::Continuous && fac.high != fac.low)
                v = (v - 0.5 * (fac.low + fac.high)) / (0.5 * (fac.high - fac.low));
        }
    const Groups groups = buildGroups(layout, n, eta);
    StructuredSearch search(sp, layout, groups, n);
    search.setCoords(coords);
    return search.score();
}

}  // namespace orvex
