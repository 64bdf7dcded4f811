#include "DoeDesignEvaluator.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_f.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace doeBussiness {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kRegionSample = 2000;  // points of the region behind the FDS curve and the G search
constexpr int kFdsPoints = 101;

// One factor of the region, coded as the fit codes it.
struct RegionFactor
{
    QString name;
    EDoeFactorRole role = Continuous;
    QStringList values;
    double low = -1.0;            // continuous: raw range
    double high = 1.0;
    std::vector<double> coded;    // discrete numeric: coded value of each level, in stored order
    int levels() const { return values.size(); }
};

// Factor part of one parameter: the factor's coded value to a power, or one effect column.
struct ParamFactor
{
    int factor = 0;
    int power = 1;
    int column = -1;  // categorical: effect column (level), else -1
};
using Param = std::vector<ParamFactor>;

// Effect coding of a categorical level on column c: 1 on its own level, -1 on the last level.
double effectCode(int level, int column, int levels)
{
    if (level == levels - 1)
        return -1.0;
    return level == column ? 1.0 : 0.0;
}

// A point of the region: coded value (continuous, discrete numeric) or level index (categorical).
using Point = std::vector<double>;

double paramValue(const Param& param, const std::vector<RegionFactor>& factors, const Point& u)
{
    double v = 1.0;
    for (const ParamFactor& pf : param) {
        const RegionFactor& f = factors[static_cast<size_t>(pf.factor)];
        const double x = u[static_cast<size_t>(pf.factor)];
        if (f.role == Categorical)
            v *= effectCode(static_cast<int>(x), pf.column, f.levels());
        else
            v *= std::pow(x, pf.power);
    }
    return v;
}

void modelRow(const std::vector<Param>& params, const std::vector<RegionFactor>& factors, const Point& u,
              Eigen::Ref<Eigen::VectorXd> row)
{
    for (size_t k = 0; k < params.size(); ++k)
        row(static_cast<Eigen::Index>(k)) = paramValue(params[k], factors, u);
}

// Mean over the region of the product of two parameters' parts for one factor.
double factorMoment(const RegionFactor& f, const ParamFactor* a, const ParamFactor* b)
{
    if (f.role == Categorical) {
        const int L = f.levels();
        double sum = 0.0;
        for (int l = 0; l < L; ++l)
            sum += (a ? effectCode(l, a->column, L) : 1.0) * (b ? effectCode(l, b->column, L) : 1.0);
        return sum / L;
    }
    const int m = (a ? a->power : 0) + (b ? b->power : 0);
    if (f.role == Continuous)
        return (m % 2) ? 0.0 : 1.0 / (m + 1);
    double sum = 0.0;
    for (double c : f.coded)
        sum += std::pow(c, m);
    return sum / static_cast<double>(f.coded.size());
}

const ParamFactor* partOf(const Param& p, int factor)
{
    for (const ParamFactor& pf : p)
        if (pf.factor == factor)
            return &pf;
    return nullptr;
}

// Moments of the model terms over the region (factors independent).
Eigen::MatrixXd regionMoments(const std::vector<Param>& params, const std::vector<RegionFactor>& factors)
{
    const Eigen::Index p = static_cast<Eigen::Index>(params.size());
    Eigen::MatrixXd M(p, p);
    for (Eigen::Index i = 0; i < p; ++i) {
        for (Eigen::Index j = i; j < p; ++j) {
            double v = 1.0;
            for (int f = 0; f < static_cast<int>(factors.size()) && v != 0.0; ++f) {
                const ParamFactor* a = partOf(params[static_cast<size_t>(i)], f);
                const ParamFactor* b = partOf(params[static_cast<size_t>(j)], f);
                if (a || b)
                    v *= factorMoment(factors[static_cast<size_t>(f)], a, b);
            }
            M(i, j) = M(j, i) = v;
        }
    }
    return M;
}

bool buildFactors(const QVector<DoeDesignTableColumInfo>& columns, std::vector<RegionFactor>& factors,
                  std::vector<int>& columnOf)
{
    for (int c = 0; c < columns.size(); ++c) {
        const DoeDesignTableColumInfo& col = columns.at(c);
        if (!col.isFactor)
            continue;
        RegionFactor f;
        f.name = col.name;
        f.role = col.role;
        f.values = col.values;
        if (f.role == Continuous) {
            if (f.values.size() != 2)
                return false;
            f.low = f.values.at(0).toDouble();
            f.high = f.values.at(1).toDouble();
        } else if (f.role == DiscreteNumeric) {
            if (f.values.isEmpty())
                return false;
            std::vector<double> raw;
            for (const QString& v : qAsConst(f.values))
                raw.push_back(v.toDouble());
            const double lo = *std::min_element(raw.begin(), raw.end());
            const double hi = *std::max_element(raw.begin(), raw.end());
            for (double v : raw)
                f.coded.push_back(hi == lo ? 0.0 : (2.0 * v - (lo + hi)) / (hi - lo));
        } else if (f.values.isEmpty()) {
            return false;
        }
        factors.push_back(f);
        columnOf.push_back(c);
    }
    return true;
}

int distinctCount(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return static_cast<int>(std::unique(v.begin(), v.end()) - v.begin());
}

// Expands the terms as the fit does: a categorical factor gives its L - 1 effect columns, a
// product multiplies every combination, a square of a factor without three levels is dropped.
bool expandTerms(const QList<DoeDesignModel>& terms, const std::vector<RegionFactor>& factors,
                 DoeDesignEvaluation& out, std::vector<Param>& params, std::vector<std::vector<int>>& termParams,
                 QString& err)
{
    QList<DoeDesignModel> ordered;
    for (const DoeDesignModel& t : terms)
        if (t.isInterceptTerm())
            ordered.prepend(t);
        else
            ordered.append(t);
    for (const DoeDesignModel& term : qAsConst(ordered)) {
        std::vector<int> powers(factors.size(), 0);
        if (!term.isInterceptTerm()) {
            for (const QString& name : term.terms) {
                auto it = std::find_if(factors.begin(), factors.end(),
                                       [&](const RegionFactor& f) { return f.name == name; });
                if (it == factors.end()) {
                    err += QStringLiteral("Factor error\n");
                    return false;
                }
                ++powers[static_cast<size_t>(it - factors.begin())];
            }
        }
        bool dropped = false;
        std::vector<Param> expanded(1);
        std::vector<QString> names(1);
        for (size_t f = 0; f < factors.size() && !dropped; ++f) {
            const int pw = powers[f];
            if (pw == 0)
                continue;
            const RegionFactor& rf = factors[f];
            if (rf.role == Categorical) {
                dropped = pw > 1 || rf.levels() < 2;
                std::vector<Param> grown;
                std::vector<QString> grownNames;
                for (int c = 0; c + 1 < rf.levels(); ++c) {
                    const QString col = rf.name + QLatin1Char('{') + rf.values.at(c) + QLatin1Char('-')
                        + rf.values.last() + QLatin1Char('}');
                    for (size_t k = 0; k < expanded.size(); ++k) {
                        Param p = expanded[k];
                        p.push_back({static_cast<int>(f), 1, c});
                        grown.push_back(p);
                        grownNames.push_back(names[k].isEmpty() ? col : names[k] + QLatin1Char('*') + col);
                    }
                }
                expanded.swap(grown);
                names.swap(grownNames);
                continue;
            }
            if (rf.role == DiscreteNumeric && pw > 1 && distinctCount(rf.coded) < 3)
                dropped = true;
            for (size_t k = 0; k < expanded.size(); ++k) {
                expanded[k].push_back({static_cast<int>(f), pw, -1});
                for (int r = 0; r < pw; ++r)
                    names[k] += (names[k].isEmpty() ? QString() : QStringLiteral("*")) + rf.name;
            }
        }
        if (dropped || expanded.empty())
            continue;  // adds no parameter, as in the fit
        out.terms.append(term.isInterceptTerm() ? QStringLiteral("Intercept") : term.algebraShowStr());
        std::vector<int> indices;
        for (size_t k = 0; k < expanded.size(); ++k) {
            indices.push_back(static_cast<int>(params.size()));
            params.push_back(expanded[k]);
            out.parameters.append(term.isInterceptTerm() ? QStringLiteral("Intercept") : names[k]);
        }
        termParams.push_back(indices);
    }
    return true;
}

bool codeCell(const RegionFactor& f, const QString& cell, double& u)
{
    if (f.role == Categorical) {
        const int idx = f.values.indexOf(cell);
        u = idx;
        return idx >= 0;
    }
    if (f.role == DiscreteNumeric) {
        const int idx = f.values.indexOf(cell);
        if (idx >= 0) {
            u = f.coded[static_cast<size_t>(idx)];
            return true;
        }
    }
    bool ok = false;
    const double v = cell.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    double lo = f.low;
    double hi = f.high;
    if (f.role == DiscreteNumeric) {
        // A number that is not one of the level texts as stored: code it on the levels' range.
        std::vector<double> raw;
        for (const QString& s : f.values)
            raw.push_back(s.toDouble());
        lo = *std::min_element(raw.begin(), raw.end());
        hi = *std::max_element(raw.begin(), raw.end());
    }
    u = hi == lo ? 0.0 : (2.0 * v - (lo + hi)) / (hi - lo);
    return true;
}

Point randomPoint(const std::vector<RegionFactor>& factors, std::mt19937& rng)
{
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    Point u(factors.size());
    for (size_t f = 0; f < factors.size(); ++f) {
        const RegionFactor& rf = factors[f];
        if (rf.role == Continuous) {
            u[f] = unit(rng);
            continue;
        }
        std::uniform_int_distribution<int> level(0, rf.levels() - 1);
        const int l = level(rng);
        u[f] = rf.role == Categorical ? l : rf.coded[static_cast<size_t>(l)];
    }
    return u;
}

// Prediction variance f(x)'(X'X)^-1 f(x) through the Cholesky factor of X'X.
struct VarianceFunction
{
    const std::vector<Param>& params;
    const std::vector<RegionFactor>& factors;
    const Eigen::LLT<Eigen::MatrixXd>& llt;
    Eigen::VectorXd row;

    double operator()(const Point& u)
    {
        modelRow(params, factors, u, row);
        return llt.matrixL().solve(row).squaredNorm();
    }
    Eigen::VectorXd solved(const Point& u)
    {
        modelRow(params, factors, u, row);
        return llt.matrixL().solve(row);
    }
};

// Coordinate ascent of the prediction variance from `u`: each coordinate in turn moves to its best
// level, or for a continuous factor to the best of a fine grid (exactly a quartic in that
// coordinate when the factor's power is at most 2).
double climb(VarianceFunction& d, Point u, const std::vector<int>& maxPower)
{
    double best = d(u);
    for (int sweep = 0; sweep < 8; ++sweep) {
        bool moved = false;
        for (size_t f = 0; f < d.factors.size(); ++f) {
            const RegionFactor& rf = d.factors[f];
            const double keep = u[f];
            double bestValue = keep;
            double bestD = best;
            if (rf.role != Continuous) {
                for (int l = 0; l < rf.levels(); ++l) {
                    u[f] = rf.role == Categorical ? l : rf.coded[static_cast<size_t>(l)];
                    const double v = d(u);
                    if (v > bestD) {
                        bestD = v;
                        bestValue = u[f];
                    }
                }
            } else if (maxPower[f] <= 2) {
                u[f] = 0.0;
                const Eigen::VectorXd a = d.solved(u);
                u[f] = 1.0;
                const Eigen::VectorXd hi = d.solved(u);
                u[f] = -1.0;
                const Eigen::VectorXd lo = d.solved(u);
                const Eigen::VectorXd b = 0.5 * (hi - lo);
                const Eigen::VectorXd c = 0.5 * (hi + lo) - a;
                const double q0 = a.squaredNorm(), q1 = 2 * a.dot(b), q2 = b.squaredNorm() + 2 * a.dot(c),
                             q3 = 2 * b.dot(c), q4 = c.squaredNorm();
                for (int g = 0; g <= 400; ++g) {
                    const double t = -1.0 + g / 200.0;
                    const double v = q0 + t * (q1 + t * (q2 + t * (q3 + t * q4)));
                    if (v > bestD) {
                        bestD = v;
                        bestValue = t;
                    }
                }
            } else {
                for (int g = 0; g <= 40; ++g) {
                    u[f] = -1.0 + g / 20.0;
                    const double v = d(u);
                    if (v > bestD) {
                        bestD = v;
                        bestValue = u[f];
                    }
                }
            }
            u[f] = bestValue;
            if (bestValue != keep && bestD > best * (1.0 + 1e-12)) {
                best = d(u);
                moved = true;
            } else {
                u[f] = keep;
            }
        }
        if (!moved)
            break;
    }
    return best;
}

double termPower(const Eigen::MatrixXd& inverse, const std::vector<int>& indices, int dfe,
                 const DoeDesignEvaluationSetting& s)
{
    const int k = static_cast<int>(indices.size());
    if (dfe < 1 || k < 1)
        return kNaN;
    Eigen::MatrixXd sub(k, k);
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j)
            sub(i, j) = inverse(indices[static_cast<size_t>(i)], indices[static_cast<size_t>(j)]);
    const Eigen::VectorXd beta = Eigen::VectorXd::Constant(k, s.signalToNoise);
    const double lambda = beta.dot(sub.ldlt().solve(beta));
    if (!std::isfinite(lambda) || lambda < 0.0)
        return kNaN;
    // Past this noncentrality the series gives up, and the effect is found for certain.
    constexpr double kCertain = 1e6;
    double power = kNaN;
    try {
        const double critical = boost::math::quantile(boost::math::complement(boost::math::fisher_f(k, dfe), s.alpha));
        if (lambda == 0.0)
            return s.alpha;
        power = boost::math::cdf(boost::math::complement(boost::math::non_central_f(k, dfe, lambda), critical));
    } catch (...) {
        power = kNaN;
    }
    if (!std::isfinite(power) && lambda > kCertain)
        return 1.0;
    return std::isfinite(power) ? std::min(1.0, std::max(0.0, power)) : kNaN;
}

void correlations(const Eigen::MatrixXd& X, const DoeDesignEvaluation& out, DoeDesignEvaluation& target)
{
    std::vector<Eigen::Index> cols;
    for (int k = 0; k < out.parameters.size(); ++k)
        if (out.parameters.at(k) != QLatin1String("Intercept"))
            cols.push_back(k);
    const Eigen::Index m = static_cast<Eigen::Index>(cols.size());
    Eigen::MatrixXd C(X.rows(), m);
    for (Eigen::Index j = 0; j < m; ++j)
        C.col(j) = X.col(cols[static_cast<size_t>(j)]).array() - X.col(cols[static_cast<size_t>(j)]).mean();
    const Eigen::MatrixXd G = C.transpose() * C;
    target.correlations.fill(QVector<double>(m, 0.0), m);
    for (Eigen::Index i = 0; i < m; ++i) {
        for (Eigen::Index j = 0; j < m; ++j) {
            const double den = std::sqrt(G(i, i) * G(j, j));
            double r = i == j ? 1.0 : (den > 1e-12 ? std::abs(G(i, j)) / den : 0.0);
            target.correlations[static_cast<int>(i)][static_cast<int>(j)] = std::min(1.0, r);
        }
    }
}

}  // namespace

bool evaluateDesign(const QVector<DoeDesignTableColumInfo>& columns, const QVector<QVector<QString>>& rows,
                    const QList<DoeDesignModel>& terms, const DoeDesignEvaluationSetting& setting,
                    DoeDesignEvaluation& result, QString& err)
{
    std::vector<RegionFactor> factors;
    std::vector<int> columnOf;
    if (!buildFactors(columns, factors, columnOf)) {
        err += QStringLiteral("Factor error\n");
        return false;
    }
    if (rows.isEmpty()) {
        err += QStringLiteral("No data\n");
        return false;
    }
    DoeDesignEvaluation out;
    std::vector<Param> params;
    std::vector<std::vector<int>> termParams;
    if (!expandTerms(terms, factors, out, params, termParams, err))
        return false;

    const Eigen::Index n = rows.size();
    const Eigen::Index p = static_cast<Eigen::Index>(params.size());
    Eigen::MatrixXd X(n, p);
    std::vector<Point> runs;
    Eigen::VectorXd row(p);
    for (Eigen::Index r = 0; r < n; ++r) {
        Point u(factors.size());
        for (size_t f = 0; f < factors.size(); ++f) {
            const QVector<QString>& cells = rows.at(static_cast<int>(r));
            const int c = columnOf[f];
            if (c >= cells.size() || !codeCell(factors[f], cells.at(c), u[f])) {
                err += QStringLiteral("Data error\n");
                return false;
            }
        }
        modelRow(params, factors, u, row);
        X.row(r) = row.transpose();
        runs.push_back(u);
    }
    const Eigen::MatrixXd info = X.transpose() * X;
    if (!info.allFinite()) {  // cells too large to square
        err += QStringLiteral("Data error\n");
        return false;
    }
    correlations(X, out, out);

    const Eigen::LLT<Eigen::MatrixXd> llt(info);
    const double scale = p > 0 ? info.diagonal().maxCoeff() : 0.0;
    bool singular = p == 0 || n < p || llt.info() != Eigen::Success;
    if (!singular) {
        const Eigen::VectorXd diag = llt.matrixL().toDenseMatrix().diagonal();
        singular = diag.array().square().minCoeff() <= 1e-10 * scale;
    }
    out.power.fill(kNaN, static_cast<int>(termParams.size()));
    if (singular) {
        out.averageVariance = kNaN;  // no unbiased estimate of every parameter: nothing else to judge
        result = out;
        return true;
    }

    const Eigen::VectorXd lDiag = llt.matrixL().toDenseMatrix().diagonal();
    const double logDet = 2.0 * lDiag.array().log().sum();
    out.dEfficiency = 100.0 * std::exp(logDet / p) / n;
    const Eigen::MatrixXd lInv = llt.matrixL().solve(Eigen::MatrixXd::Identity(p, p));
    const Eigen::MatrixXd inverse = lInv.transpose() * lInv;
    out.aEfficiency = 100.0 * p / (n * inverse.trace());
    out.averageVariance = inverse.cwiseProduct(regionMoments(params, factors)).sum();
    const int dfe = static_cast<int>(n - p);
    for (size_t t = 0; t < termParams.size(); ++t)
        out.power[static_cast<int>(t)] = termPower(inverse, termParams[t], dfe, setting);

    // Prediction variance over a fixed sample of the region: the FDS curve, and the starts of the
    // search for its maximum together with the runs themselves.
    std::mt19937 rng(20261208u);
    std::vector<Point> sample;
    sample.reserve(kRegionSample);
    Eigen::MatrixXd F(p, kRegionSample);
    for (int s = 0; s < kRegionSample; ++s) {
        sample.push_back(randomPoint(factors, rng));
        modelRow(params, factors, sample.back(), F.col(s));
    }
    llt.matrixL().solveInPlace(F);
    const Eigen::VectorXd sampleVar = F.colwise().squaredNorm().transpose();
    std::vector<double> sorted(sampleVar.data(), sampleVar.data() + sampleVar.size());
    std::sort(sorted.begin(), sorted.end());
    for (int k = 0; k < kFdsPoints; ++k) {
        const double fraction = k / double(kFdsPoints - 1);
        const size_t at = static_cast<size_t>(std::lround(fraction * (kRegionSample - 1)));
        out.fds.append(qMakePair(fraction, sorted[at]));
    }

    std::vector<int> maxPower(factors.size(), 0);
    for (const Param& prm : params)
        for (const ParamFactor& pf : prm)
            maxPower[static_cast<size_t>(pf.factor)] = std::max(maxPower[static_cast<size_t>(pf.factor)], pf.power);
    VarianceFunction d{params, factors, llt, Eigen::VectorXd(p)};
    std::vector<std::pair<double, const Point*>> starts;
    for (int s = 0; s < kRegionSample; ++s)
        starts.emplace_back(sampleVar(s), &sample[static_cast<size_t>(s)]);
    for (const Point& u : runs)
        starts.emplace_back(d(u), &u);
    std::sort(starts.begin(), starts.end(),
              [](const std::pair<double, const Point*>& a, const std::pair<double, const Point*>& b) {
                  return a.first > b.first;
              });
    double maxVar = starts.front().first;
    const size_t climbs = std::min<size_t>(starts.size(), 6);
    for (size_t s = 0; s < climbs; ++s)
        maxVar = std::max(maxVar, climb(d, *starts[s].second, maxPower));
    out.gEfficiency = 100.0 * p / (n * maxVar);
    result = out;
    return true;
}

}  // namespace doeBussiness
