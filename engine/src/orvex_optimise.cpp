#include "orvex_optimise.h"

#include "orvex_rng.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace orvex {

Desirability::Desirability(const double y[3], const double d[3])
{
    std::array<std::pair<double, double>, 3> pts = {{{y[0], d[0]}, {y[1], d[1]}, {y[2], d[2]}}};
    for (const auto& p : pts)
        if (!std::isfinite(p.first) || !std::isfinite(p.second))
            valid_ = false;
    std::stable_sort(pts.begin(), pts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (int k = 0; k < 3; ++k) {
        y_[k] = pts[k].first;
        d_[k] = pts[k].second;
    }
}

double Desirability::operator()(double y) const
{
    if (!valid_ || std::isnan(y))
        return kNaN;
    double v;
    if (y <= y_[0]) {
        v = d_[0];
    } else if (y >= y_[2]) {
        v = d_[2];
    } else {
        const int k = y < y_[1] ? 0 : 1;
        const double span = y_[k + 1] - y_[k];
        v = span > 0.0 ? d_[k] + (d_[k + 1] - d_[k]) * (y - y_[k]) / span : d_[k + 1];
    }
    return std::min(1.0, std::max(0.0, v));
}

double Desirability::preference(double y) const
{
    const double top = std::max(d_[0], std::max(d_[1], d_[2]));
    if (d_[2] >= top)
        return y;
    if (d_[0] >= top)
        return -y;
    return -std::fabs(y - y_[1]);
}

namespace {

// Desirability first; among equal desirabilities (a flat top) the response the shape prefers.
struct Score {
    double d = kNaN;
    double pref = kNaN;
    bool isNaN() const { return std::isnan(d); }
};

bool better(const Score& a, const Score& b)
{
    if (a.isNaN())
        return false;
    if (b.isNaN())
        return true;
    if (a.d > b.d + 1e-9)
        return true;
    if (a.d < b.d - 1e-9)
        return false;
    return a.pref > b.pref + 1e-12 * std::max(1.0, std::fabs(b.pref));
}

class Optimiser {
public:
    Optimiser(const Model& model, const Fit& fit, const Desirability& des)
        : m_(model), fit_(fit), des_(des), F_(model.factorCount()),
          cols_(model.columnCount()), row_(model.paramCount())
    {
    }

    double predictAt(const std::vector<double>& x)
    {
        if (!m_.runRow(x.data(), row_.data(), cols_.data()))
            return kNaN;
        return predictRow(fit_, row_.data());
    }

    Score value(const std::vector<double>& x)
    {
        const double y = predictAt(x);
        Score s;
        s.d = des_(y);
        s.pref = des_.preference(y);
        return s;
    }

    // Coordinate ascent: each continuous coordinate is moved to its exact best (the prediction
    // is quadratic along it); level factors listed in freeLevels try every level.
    Score climb(std::vector<double>& x, const std::vector<int>& freeLevels)
    {
        Score cur = value(x);
        if (cur.isNaN())
            return cur;
        for (int pass = 0; pass < 100; ++pass) {
            const Score before = cur;
            for (int f = 0; f < F_; ++f) {
                const Factor& fac = m_.factor(f);
                if (fac.kind == FactorKind::Continuous)
                    cur = bestContinuous(x, f, cur);
                else if (std::find(freeLevels.begin(), freeLevels.end(), f) != freeLevels.end())
                    cur = bestLevel(x, f, cur);
            }
            if (!better(cur, before))
                break;
        }
        return cur;
    }

private:
    Score bestContinuous(std::vector<double>& x, int f, Score cur)
    {
        const Factor& fac = m_.factor(f);
        const double lo = fac.lowerBound(), hi = fac.upperBound();
        if (!(hi > lo))
            return cur;
        const double keep = x[f];
        const double mid = 0.5 * (lo + hi), half = 0.5 * (hi - lo);
        x[f] = lo;
        const double ym = predictAt(x);
        x[f] = mid;
        const double y0 = predictAt(x);
        x[f] = hi;
        const double yp = predictAt(x);
        x[f] = keep;
        // y(t) = a + b t + c t^2 on t in [-1, 1].
        const double a = y0, b = 0.5 * (yp - ym), c = 0.5 * (yp + ym) - y0;
        double cands[9];
        int nc = 0;
        cands[nc++] = -1.0;
        cands[nc++] = 1.0;
        if (c != 0.0)
            cands[nc++] = -b / (2.0 * c);
        for (int k = 0; k < 3; ++k) {
            const double target = des_.knots()[k];
            if (c == 0.0) {
                if (b != 0.0)
                    cands[nc++] = (target - a) / b;
                continue;
            }
            const double disc = b * b - 4.0 * c * (a - target);
            if (disc < 0.0)
                continue;
            const double s = std::sqrt(disc);
            cands[nc++] = (-b - s) / (2.0 * c);
            cands[nc++] = (-b + s) / (2.0 * c);
        }
        Score best = cur;
        double bestX = keep;
        for (int k = 0; k < nc; ++k) {
            const double t = cands[k];
            if (!(t >= -1.0 && t <= 1.0))
                continue;
            x[f] = mid + half * t;
            const Score v = value(x);
            if (better(v, best)) {
                best = v;
                bestX = x[f];
            }
        }
        x[f] = bestX;
        return best;
    }

    Score bestLevel(std::vector<double>& x, int f, Score cur)
    {
        const int L = m_.factor(f).levelCount();
        const double keep = x[f];
        Score best = cur;
        double bestX = keep;
        for (int l = 0; l < L; ++l) {
            x[f] = l;
            const Score v = value(x);
            if (better(v, best)) {
                best = v;
                bestX = l;
            }
        }
        x[f] = bestX;
        return best;
    }

    const Model& m_;
    const Fit& fit_;
    const Desirability& des_;
    int F_;
    std::vector<double> cols_;
    std::vector<double> row_;
};

}  // namespace

double maximiseDesirability(const Model& model, const Fit& fit, const Desirability& des, int restarts,
                            std::uint64_t seed, std::vector<double>& best)
{
    const int F = model.factorCount();
    if (!model.isBuilt() || !fit.valid || !des.isValid() || restarts < 1 || F == 0)
        return kNaN;
    Optimiser opt(model, fit, des);
    Rng rng(seed);
    std::vector<int> levelFactors;
    double combos = 1.0;
    for (int f = 0; f < F; ++f)
        if (model.factor(f).kind != FactorKind::Continuous) {
            levelFactors.push_back(f);
            combos *= model.factor(f).levelCount();
        }
    // Few level combinations are enumerated, each with its own continuous search; otherwise the
    // levels join the coordinate search.
    const bool enumerate = combos <= 256.0;
    const std::vector<int> freeLevels = enumerate ? std::vector<int>() : levelFactors;
    const long comboCount = enumerate ? static_cast<long>(combos) : 1;

    Score bestValue;
    std::vector<double> x(F, 0.0);
    for (long combo = 0; combo < comboCount; ++combo) {
        for (int s = 0; s < restarts; ++s) {
            long rest = combo;
            for (int f = 0; f < F; ++f) {
                const Factor& fac = model.factor(f);
                if (fac.kind == FactorKind::Continuous) {
                    const double t = s == 0 ? 0.0 : 2.0 * rng.uniform() - 1.0;
                    x[f] = 0.5 * (fac.low + fac.high) + 0.5 * t * (fac.high - fac.low);
                } else if (enumerate) {
                    x[f] = static_cast<double>(rest % fac.levelCount());
                    rest /= fac.levelCount();
                } else {
                    x[f] = s == 0 ? 0.0 : rng.below(fac.levelCount());
                }
            }
            const Score v = opt.climb(x, freeLevels);
            if (better(v, bestValue)) {
                bestValue = v;
                best = x;
            }
        }
    }
    return bestValue.d;
}

}  // namespace orvex
