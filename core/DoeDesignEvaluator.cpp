#include "DoeDesignEvaluator.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_f.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <map>

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
constexpr double kMinAlpha = 1e-12;
constexpr double kMaxAlpha = 1.0 - 1e-9;
constexpr double kMaxSignalToNoise = 1e6;

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

// Orthonormal (Helmert) contrast c of a categorical factor, scaled so that over the L levels each
// column sums to 0 and squares to L: a balanced full factorial then gives X'X = n I.
double orthonormalCode(int level, int column, int levels)
{
    const double scale = std::sqrt(double(levels) / ((column + 1.0) * (column + 2.0)));
    if (level <= column)
        return -scale;
    return level == column + 1 ? (column + 1) * scale : 0.0;
}

enum class Coding { Effect, Orthonormal };

// A point of the region: coded value (continuous, discrete numeric) or level index (categorical).
using Point = std::vector<double>;

double paramValue(const Param& param, const std::vector<RegionFactor>& factors, const Point& u,
                  Coding coding = Coding::Effect)
{
    double v = 1.0;
    for (const ParamFactor& pf : param) {
        const RegionFactor& f = factors[static_cast<size_t>(pf.factor)];
        const double x = u[static_cast<size_t>(pf.factor)];
        if (f.role != Categorical)
            v *= std::pow(x, pf.power);
        else if (coding == Coding::Effect)
            v *= effectCode(static_cast<int>(x), pf.column, f.levels());
        else
            v *= orthonormalCode(static_cast<int>(x), pf.column, f.levels());
    }
    return v;
}

void modelRow(const std::vector<Param>& params, const std::vector<RegionFactor>& factors, const Point& u,
              Eigen::Ref<Eigen::VectorXd> row, Coding coding = Coding::Effect)
{
    for (size_t k = 0; k < params.size(); ++k)
        row(static_cast<Eigen::Index>(k)) = paramValue(params[k], factors, u, coding);
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
// An empty term and a repeated parameter add nothing (as in the engine); the intercept is always
// Necessary.
bool expandTerms(const QList<DoeDesignModel>& terms, const std::vector<RegionFactor>& factors,
                 DoeDesignEvaluation& out, std::vector<Param>& params, std::vector<std::vector<int>>& termParams,
                 QString& err)
{
    std::map<std::vector<int>, int> seen;
    const auto keyOf = [](const Param& p) {
        std::vector<int> key;
        for (const ParamFactor& pf : p)
            key.insert(key.end(), {pf.factor, pf.power, pf.column});
        return key;
    };
    QList<DoeDesignModel> ordered;
    for (const DoeDesignModel& t : terms)
        if (t.isInterceptTerm())
            ordered.prepend(t);
        else
            ordered.append(t);
    for (const DoeDesignModel& term : qAsConst(ordered)) {
        if (!term.isInterceptTerm() && term.terms.isEmpty())
            continue;
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
        std::vector<int> indices;
        for (size_t k = 0; k < expanded.size(); ++k) {
            if (!seen.emplace(keyOf(expanded[k]), static_cast<int>(params.size())).second)
                continue;
            indices.push_back(static_cast<int>(params.size()));
            params.push_back(expanded[k]);
            out.parameters.append(term.isInterceptTerm() ? QStringLiteral("Intercept") : names[k]);
        }
        if (indices.empty())
            continue;
        out.terms.append(term.isInterceptTerm() ? QStringLiteral("Intercept") : term.algebraShowStr());
        out.necessary.append(term.isInterceptTerm() || term.necessary);
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

// Power of the F test at noncentrality lambda past the reach of the series: the numerator
// chi-square is then normal to within 1e-9 of the power, and the power is its mean chance of
// clearing the critical value against the central denominator (Simpson's rule over +-8 sd).
double powerForLargeNoncentrality(double lambda, int k, int dfe, double critical)
{
    const double mean = k + lambda;
    const double sd = std::sqrt(2.0 * (k + 2.0 * lambda));
    constexpr int kSteps = 320;
    constexpr double kHalfWidth = 8.0;
    const double h = 2.0 * kHalfWidth / kSteps;
    double sum = 0.0;
    for (int i = 0; i <= kSteps; ++i) {
        const double z = -kHalfWidth + i * h;
        const double weight = (i == 0 || i == kSteps) ? 1.0 : (i % 2 ? 4.0 : 2.0);
        const double numerator = std::max(0.0, mean + sd * z);
        const double x = dfe * numerator / (critical * k);
        sum += weight * std::exp(-0.5 * z * z) * boost::math::gamma_p(0.5 * dfe, 0.5 * x);
    }
    return sum * h / 3.0 / std::sqrt(2.0 * M_PI);
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
    // lambda = snr^2 1'S^-1 1, kept apart from snr so that no square of a large ratio overflows.
    const Eigen::VectorXd ones = Eigen::VectorXd::Ones(k);
    const double lambda = s.signalToNoise * s.signalToNoise * ones.dot(sub.ldlt().solve(ones));
    if (!std::isfinite(lambda) || lambda < 0.0)
        return kNaN;
    // Beyond this the series is slow, and past about 4e9 Boost refuses it.
    constexpr double kSeriesLimit = 1e6;
    double power = kNaN;
    try {
        const double critical = boost::math::quantile(boost::math::complement(boost::math::fisher_f(k, dfe), s.alpha));
        if (lambda == 0.0)
            return s.alpha;
        if (lambda <= kSeriesLimit)
            power = boost::math::cdf(boost::math::complement(boost::math::non_central_f(k, dfe, lambda), critical));
        else
            power = powerForLargeNoncentrality(lambda, k, dfe, critical);
    } catch (...) {
        power = kNaN;
    }
    return std::isfinite(power) ? std::min(1.0, std::max(0.0, power)) : kNaN;
}

// |r| between the non-intercept parameter columns; a constant column has none (NaN).
void correlations(const Eigen::MatrixXd& X, const QStringList& parameters, DoeDesignEvaluation& target)
{
    std::vector<Eigen::Index> cols;
    for (int k = 0; k < parameters.size(); ++k)
        if (parameters.at(k) != QLatin1String("Intercept"))
            cols.push_back(k);
    const Eigen::Index m = static_cast<Eigen::Index>(cols.size());
    Eigen::MatrixXd C(X.rows(), m);
    std::vector<bool> constant(static_cast<size_t>(m), false);
    for (Eigen::Index j = 0; j < m; ++j) {
        const Eigen::VectorXd col = X.col(cols[static_cast<size_t>(j)]);
        C.col(j) = col.array() - col.mean();
        constant[static_cast<size_t>(j)] = C.col(j).norm() <= 1e-9 * std::max(1.0, col.norm());
    }
    const Eigen::MatrixXd G = C.transpose() * C;
    target.correlations.fill(QVector<double>(m, 0.0), m);
    for (Eigen::Index i = 0; i < m; ++i) {
        for (Eigen::Index j = 0; j < m; ++j) {
            double r = kNaN;
            if (!constant[static_cast<size_t>(i)] && !constant[static_cast<size_t>(j)])
                r = i == j ? 1.0 : std::min(1.0, std::abs(G(i, j)) / std::sqrt(G(i, i) * G(j, j)));
            target.correlations[static_cast<int>(i)][static_cast<int>(j)] = r;
        }
    }
}

// Factors of the table's columns and the parameters of the terms, for a table with runs.
bool prepareTerms(const QVector<DoeDesignTableColumInfo>& columns, const QVector<QVector<QString>>& rows,
                  const QList<DoeDesignModel>& terms, std::vector<RegionFactor>& factors,
                  std::vector<int>& columnOf, DoeDesignEvaluation& out, std::vector<Param>& params,
                  std::vector<std::vector<int>>& termParams, QString& err)
{
    if (!buildFactors(columns, factors, columnOf)) {
        err += QStringLiteral("Factor error\n");
        return false;
    }
    if (rows.isEmpty()) {
        err += QStringLiteral("No data\n");
        return false;
    }
    return expandTerms(terms, factors, out, params, termParams, err);
}

}  // namespace

bool checkEvaluationSetting(const DoeDesignEvaluationSetting& s, QString& err)
{
    // Written so that NaN fails too.
    bool ok = true;
    if (!(s.alpha > kMinAlpha && s.alpha < kMaxAlpha)) {
        err += QStringLiteral("Significance level must be greater than 1e-12 and less than 1 - 1e-9\n");
        ok = false;
    }
    if (!(s.signalToNoise > 0.0 && s.signalToNoise <= kMaxSignalToNoise)) {
        err += QStringLiteral("Signal to noise ratio must be greater than 0 and at most 1000000\n");
        ok = false;
    }
    return ok;
}

bool evaluateDesign(const QVector<DoeDesignTableColumInfo>& columns, const QVector<QVector<QString>>& rows,
                    const QList<DoeDesignModel>& terms, const DoeDesignEvaluationSetting& setting,
                    DoeDesignEvaluation& result, QString& err)
{
    std::vector<RegionFactor> factors;
    std::vector<int> columnOf;
    DoeDesignEvaluation out;
    std::vector<Param> allParams;
    std::vector<std::vector<int>> termParams;
    if (!prepareTerms(columns, rows, terms, factors, columnOf, out, allParams, termParams, err))
        return false;

    const Eigen::Index n = rows.size();
    std::vector<Point> runs;
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
        runs.push_back(u);
    }
    const auto modelMatrix = [&](const std::vector<Param>& params, Coding coding) {
        Eigen::MatrixXd M(n, static_cast<Eigen::Index>(params.size()));
        Eigen::VectorXd row(M.cols());
        for (Eigen::Index r = 0; r < n; ++r) {
            modelRow(params, factors, runs[static_cast<size_t>(r)], row, coding);
            M.row(r) = row.transpose();
        }
        return M;
    };
    const Eigen::MatrixXd Xall = modelMatrix(allParams, Coding::Effect);
    if (!(Xall.transpose() * Xall).allFinite()) {  // cells too large to square
        err += QStringLiteral("Data error\n");
        return false;
    }
    correlations(Xall, out.parameters, out);

    // The Necessary model: its parameters, where each term's parameters sit among them, and the
    // If Possible parameters apart.
    std::vector<Param> params;
    std::vector<Eigen::Index> necessaryColumns;
    std::vector<Eigen::Index> possibleColumns;
    std::vector<std::vector<int>> localParams(termParams.size());
    for (size_t t = 0; t < termParams.size(); ++t) {
        for (int global : termParams[t]) {
            if (out.necessary.at(static_cast<int>(t))) {
                localParams[t].push_back(static_cast<int>(params.size()));
                params.push_back(allParams[static_cast<size_t>(global)]);
                necessaryColumns.push_back(global);
            } else {
                localParams[t].push_back(static_cast<int>(possibleColumns.size()));
                possibleColumns.push_back(global);
            }
        }
    }
    const Eigen::Index p = static_cast<Eigen::Index>(params.size());
    Eigen::MatrixXd X(n, p);
    for (Eigen::Index j = 0; j < p; ++j)
        X.col(j) = Xall.col(necessaryColumns[static_cast<size_t>(j)]);
    out.errorDf = static_cast<int>(n - p);
    const Eigen::MatrixXd info = X.transpose() * X;

    const Eigen::LLT<Eigen::MatrixXd> llt(info);
    const double scale = p > 0 ? info.diagonal().maxCoeff() : 0.0;
    bool singular = p == 0 || n < p || llt.info() != Eigen::Success;
    if (!singular) {
        const Eigen::VectorXd diag = llt.matrixL().toDenseMatrix().diagonal();
        singular = diag.array().square().minCoeff() <= 1e-10 * scale;
    }
    out.power.fill(kNaN, static_cast<int>(termParams.size()));
    out.aliasNorm.fill(kNaN, static_cast<int>(termParams.size()));
    if (singular) {
        out.averageVariance = kNaN;  // no unbiased estimate of every parameter: nothing else to judge
        result = out;
        return true;
    }

    // D and A depend on the coding: categorical factors in orthonormal contrasts, so that a
    // balanced full factorial scores 100. The other figures are the same in any coding.
    const Eigen::MatrixXd Xo = modelMatrix(params, Coding::Orthonormal);
    const Eigen::LLT<Eigen::MatrixXd> lltO(Xo.transpose() * Xo);
    const Eigen::VectorXd oDiag = lltO.matrixL().toDenseMatrix().diagonal();
    out.dEfficiency = 100.0 * std::exp(2.0 * oDiag.array().log().sum() / p) / n;
    const Eigen::MatrixXd oInv = lltO.matrixL().solve(Eigen::MatrixXd::Identity(p, p));
    out.aEfficiency = 100.0 * p / (n * oInv.squaredNorm());

    const Eigen::MatrixXd lInv = llt.matrixL().solve(Eigen::MatrixXd::Identity(p, p));
    const Eigen::MatrixXd inverse = lInv.transpose() * lInv;
    out.averageVariance = inverse.cwiseProduct(regionMoments(params, factors)).sum();
    const int dfe = out.errorDf;
    if (!possibleColumns.empty()) {
        Eigen::MatrixXd X2(n, static_cast<Eigen::Index>(possibleColumns.size()));
        for (Eigen::Index j = 0; j < X2.cols(); ++j)
            X2.col(j) = Xall.col(possibleColumns[static_cast<size_t>(j)]);
        const Eigen::MatrixXd alias = inverse * (X.transpose() * X2);
        for (size_t t = 0; t < termParams.size(); ++t) {
            if (out.necessary.at(static_cast<int>(t)))
                continue;
            double sq = 0.0;
            for (int c : localParams[t])
                sq += alias.col(c).squaredNorm();
            out.aliasNorm[static_cast<int>(t)] = std::sqrt(sq);
        }
    }
    for (size_t t = 0; t < termParams.size(); ++t)
        if (out.necessary.at(static_cast<int>(t)))
            out.power[static_cast<int>(t)] = termPower(inverse, localParams[t], dfe, setting);

    // Prediction variance over a fixed sample of the region and the search for its maximum,
    // started from the highest sample points and from the runs.
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

    // The FDS curve over the sample with the maximiser added, so that it ends at the variance G uses.
    std::vector<double> sorted(sampleVar.data(), sampleVar.data() + sampleVar.size());
    sorted.push_back(maxVar);
    std::sort(sorted.begin(), sorted.end());
    const size_t last = sorted.size() - 1;
    for (int k = 0; k < kFdsPoints; ++k) {
        const double fraction = k / double(kFdsPoints - 1);
        out.fds.append(qMakePair(fraction, sorted[static_cast<size_t>(std::lround(fraction * last))]));
    }
    result = out;
    return true;
}

bool designModelMatrix(const QVector<DoeDesignTableColumInfo>& columns, const QVector<QVector<QString>>& rows,
                       const QList<DoeDesignModel>& terms, QVector<QVector<double>>& matrix,
                       QVector<bool>& possible, QVector<QVector<double>>& moments, QString& err)
{
    std::vector<RegionFactor> factors;
    std::vector<int> columnOf;
    DoeDesignEvaluation expanded;
    std::vector<Param> params;
    std::vector<std::vector<int>> termParams;
    if (!prepareTerms(columns, rows, terms, factors, columnOf, expanded, params, termParams, err))
        return false;
    possible.fill(false, static_cast<int>(params.size()));
    for (size_t t = 0; t < termParams.size(); ++t)
        if (!expanded.necessary.at(static_cast<int>(t)))
            for (int k : termParams[t])
                possible[k] = true;
    matrix.clear();
    Eigen::VectorXd row(static_cast<Eigen::Index>(params.size()));
    for (const QVector<QString>& cells : rows) {
        Point u(factors.size());
        for (size_t f = 0; f < factors.size(); ++f) {
            const int c = columnOf[f];
            if (c >= cells.size() || !codeCell(factors[f], cells.at(c), u[f])) {
                err += QStringLiteral("Data error\n");
                return false;
            }
        }
        modelRow(params, factors, u, row);
        matrix.append(QVector<double>(row.data(), row.data() + row.size()));
    }
    const Eigen::MatrixXd w = regionMoments(params, factors);
    moments.clear();
    for (Eigen::Index i = 0; i < w.rows(); ++i) {
        const Eigen::VectorXd r = w.row(i).transpose();
        moments.append(QVector<double>(r.data(), r.data() + r.size()));
    }
    return true;
}

}  // namespace doeBussiness
