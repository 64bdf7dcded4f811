#include "DoeJointDesirability.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace doeBussiness {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTie = 1e-12;
constexpr int kMaxLevelCombinations = 64;
constexpr int kRefinedStarts = 6;
constexpr int kStartBudget = 3000;

struct Candidate
{
    QVector<double> x;
    double overall = -1.0;
    double tieBreak = -1.0;
};

bool better(double d, double t, double bestD, double bestT)
{
    if (d > bestD + kTie)
        return true;
    return d >= bestD - kTie && t > bestT + kTie;
}

bool evaluate(const DoeJointEvaluator& eval, Candidate& c)
{
    double d = kNaN, t = kNaN;
    if (!eval(c.x, d, t) || !std::isfinite(d))
        return false;
    c.overall = d;
    c.tieBreak = std::isfinite(t) ? t : 0.0;
    return true;
}

double clampTo(const DoeJointFactorDomain& f, double v)
{
    const double lo = std::min(f.low, f.high);
    const double hi = std::max(f.low, f.high);
    return std::min(hi, std::max(lo, v));
}

// Compass search from c: each sweep tries +-step along every continuous factor and a few random
// directions (which follow ridges that no axis does), every level of the other factors, and halves
// the step when nothing improves.
void refine(const QVector<DoeJointFactorDomain>& region, const DoeJointEvaluator& eval, Candidate& c,
            std::mt19937& rng)
{
    QVector<int> cont;
    for (int i = 0; i < region.size(); ++i)
        if (region[i].continuous && region[i].high != region[i].low)
            cont.append(i);
    double step = 0.25;  // share of each factor's range
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int sweep = 0; sweep < 400; ++sweep) {
        bool improved = false;
        auto tryPoint = [&](const QVector<double>& x) {
            Candidate t;
            t.x = x;
            if (evaluate(eval, t) && better(t.overall, t.tieBreak, c.overall, c.tieBreak)) {
                c = t;
                improved = true;
            }
        };
        for (int i = 0; i < region.size(); ++i) {
            const DoeJointFactorDomain& f = region[i];
            if (f.continuous)
                continue;
            for (int l = 0; l < f.levels; ++l) {
                if (l == static_cast<int>(c.x[i]))
                    continue;
                QVector<double> x = c.x;
                x[i] = l;
                tryPoint(x);
            }
        }
        for (int i : cont) {
            const double width = region[i].high - region[i].low;
            for (int sign : {1, -1}) {
                QVector<double> x = c.x;
                x[i] = clampTo(region[i], x[i] + sign * step * width);
                if (x[i] != c.x[i])
                    tryPoint(x);
            }
        }
        for (int k = 0; k < 2 * cont.size() && cont.size() > 1; ++k) {
            QVector<double> dir(cont.size());
            double norm = 0.0;
            for (double& v : dir) {
                v = gauss(rng);
                norm += v * v;
            }
            norm = std::sqrt(norm);
            if (!(norm > 0.0))
                continue;
            QVector<double> x = c.x;
            for (int j = 0; j < cont.size(); ++j) {
                const int i = cont[j];
                x[i] = clampTo(region[i], x[i] + step * (region[i].high - region[i].low) * dir[j] / norm);
            }
            tryPoint(x);
        }
        if (!improved) {
            step /= 2.0;
            if (step < 1e-7 || cont.isEmpty())
                break;
        }
    }
}

}  // namespace

double individualDesirability(const DoeDesirabilitySpec& s, double y)
{
    if (!std::isfinite(y))
        return kNaN;
    std::pair<double, double> p[3] = {{s.y1, s.d1}, {s.y2, s.d2}, {s.y3, s.d3}};
    std::stable_sort(p, p + 3, [](const auto& a, const auto& b) { return a.first < b.first; });
    double d;
    if (y <= p[0].first)
        d = p[0].second;
    else if (y >= p[2].first)
        d = p[2].second;
    else {
        const int k = y <= p[1].first ? 0 : 1;
        const double w = p[k + 1].first - p[k].first;
        d = w > 0.0 ? p[k].second + (p[k + 1].second - p[k].second) * (y - p[k].first) / w : p[k + 1].second;
    }
    return std::min(1.0, std::max(0.0, d));
}

double weightedGeometricMean(const QVector<double>& d, const QVector<double>& weights)
{
    double sumW = 0.0;
    double logSum = 0.0;
    bool zero = false;
    for (int i = 0; i < d.size() && i < weights.size(); ++i) {
        const double w = weights[i];
        if (!(w > 0.0) || !std::isfinite(w))
            continue;
        if (std::isnan(d[i]))
            return kNaN;
        sumW += w;
        if (d[i] <= 0.0)
            zero = true;
        else
            logSum += w * std::log(d[i]);
    }
    if (!(sumW > 0.0))
        return kNaN;
    return zero ? 0.0 : std::exp(logSum / sumW);
}

DoeDesirabilitySpec initialDesirabilitySpec(int modelIndex, int goal, double lower, double upper, double importance)
{
    DoeDesirabilitySpec s;
    s.modelIndex = modelIndex;
    if (upper < lower)
        std::swap(lower, upper);
    s.y1 = lower;
    s.y2 = (lower + upper) / 2.0;
    s.y3 = upper;
    s.importance = std::isfinite(importance) && importance >= 0.0 ? importance : 1.0;
    if (goal == 1) {
        s.d1 = 0.0, s.d2 = 1.0, s.d3 = 0.0;
    } else if (goal == 2) {
        s.d1 = 1.0, s.d2 = 0.5, s.d3 = 0.0;
    } else {
        s.d1 = 0.0, s.d2 = 0.5, s.d3 = 1.0;
        if (goal == 3)
            s.importance = 0.0;
    }
    return s;
}

DoeJointOptimum maximizeOverRegion(const QVector<DoeJointFactorDomain>& region, const DoeJointEvaluator& eval,
                                   unsigned seed)
{
    DoeJointOptimum out;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);

    QVector<int> cont, disc;
    qint64 combinations = 1;
    for (int i = 0; i < region.size(); ++i) {
        if (region[i].continuous) {
            cont.append(i);
        } else {
            if (region[i].levels < 1)
                return out;
            disc.append(i);
            combinations = std::min<qint64>(combinations * region[i].levels, kMaxLevelCombinations + 1);
        }
    }
    // Level combinations: all of them when few, otherwise drawn with the continuous starts.
    QVector<QVector<double>> levelSets;
    if (combinations <= kMaxLevelCombinations) {
        levelSets.append(QVector<double>());
        for (int i : disc) {
            QVector<QVector<double>> next;
            for (const auto& s : levelSets)
                for (int l = 0; l < region[i].levels; ++l)
                    next.append(s + QVector<double>{double(l)});
            levelSets = next;
        }
    }
    // Continuous starts: a full lattice for up to three factors, random points beyond.
    QVector<QVector<double>> contStarts;
    if (cont.size() <= 3) {
        const int m = cont.size() <= 1 ? 21 : cont.size() == 2 ? 11 : 7;
        int total = 1;
        for (int k = 0; k < cont.size(); ++k)
            total *= m;
        for (int n = 0; n < total; ++n) {
            QVector<double> u;
            int rest = n;
            for (int k = 0; k < cont.size(); ++k) {
                u.append(double(rest % m) / (m - 1));
                rest /= m;
            }
            contStarts.append(u);
        }
    } else {
        for (int n = 0; n < 400; ++n) {
            QVector<double> u;
            for (int k = 0; k < cont.size(); ++k)
                u.append(unit(rng));
            contStarts.append(u);
        }
    }
    QVector<Candidate> starts;
    auto addStart = [&](const QVector<double>& u, const QVector<double>* levels) {
        Candidate c;
        c.x = QVector<double>(region.size(), 0.0);
        for (int k = 0; k < cont.size(); ++k) {
            const DoeJointFactorDomain& f = region[cont[k]];
            c.x[cont[k]] = f.low + (f.high - f.low) * u[k];
        }
        for (int k = 0; k < disc.size(); ++k)
            c.x[disc[k]] = levels ? (*levels)[k]
                                  : std::min(region[disc[k]].levels - 1, int(unit(rng) * region[disc[k]].levels));
        if (evaluate(eval, c))
            starts.append(c);
    };
    if (levelSets.isEmpty()) {
        // Too many level combinations to list: at least a few hundred starts with drawn levels.
        const int count = disc.isEmpty() ? contStarts.size() : std::max(contStarts.size(), 300);
        for (int n = 0; n < count; ++n)
            addStart(contStarts[n % contStarts.size()], nullptr);
    } else {
        const int stride = std::max(1, int(contStarts.size() * levelSets.size() / kStartBudget));
        for (const auto& levels : levelSets)
            for (int j = 0; j < contStarts.size(); j += stride)
                addStart(contStarts[j], &levels);
    }
    if (starts.isEmpty())
        return out;
    std::stable_sort(starts.begin(), starts.end(), [](const Candidate& a, const Candidate& b) {
        return better(a.overall, a.tieBreak, b.overall, b.tieBreak);
    });
    Candidate best = starts.front();
    for (int k = 0; k < starts.size() && k < kRefinedStarts; ++k) {
        Candidate c = starts[k];
        refine(region, eval, c, rng);
        if (better(c.overall, c.tieBreak, best.overall, best.tieBreak))
            best = c;
    }
    out.x = best.x;
    out.overall = best.overall;
    out.tieBreak = best.tieBreak;
    out.found = true;
    return out;
}

}  // namespace doeBussiness
