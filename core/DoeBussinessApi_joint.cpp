// Facade operations of a fit with several responses: the response list switch, per-response
// preparation checks, the overall desirability, its maximisation and the joint Monte Carlo.
#include "DoeBussinessApi.h"

#include "DoeCommon.h"
#include "DoeFitModelManager.h"
#include "DoeFunctionManager.h"
#include "DoeMonteCarloSimulator.h"
#include "DoeRegressionData.h"
#include "DoeTableManager.h"

#include <QLocale>

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace doeBussiness {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kAlpha = 0.05;

// The quantile is costly next to a prediction and a fit has one error DF: keep the last one.
double tQuantile(int dfe)
{
    thread_local int lastDf = -1;
    thread_local double lastT = kNaN;
    if (dfe < 1)
        return kNaN;
    if (dfe == lastDf)
        return lastT;
    double t = kNaN;
    try {
        t = boost::math::quantile(boost::math::students_t(dfe), 1.0 - kAlpha / 2.0);
    } catch (...) {
        t = kNaN;
    }
    lastDf = dfe;
    lastT = t;
    return t;
}

bool outside(double y, const QPair<double, double>& limits)
{
    return (std::isfinite(limits.first) && y < limits.first) || (std::isfinite(limits.second) && y > limits.second);
}

}  // namespace

void DoeBussinessApi::setFitModel_SeveralResponses(bool on)
{
    if (m_fitModelManager)
        m_fitModelManager->setSeveralResponses(on);
}

bool DoeBussinessApi::getFitModel_SeveralResponses() const
{
    return m_fitModelManager && m_fitModelManager->severalResponses();
}

bool DoeBussinessApi::_keepFittableResponses(const QList<QString>& factors, QList<QString>& responses, QString& err)
{
    QList<QString> kept;
    for (const QString& r : responses) {
        DoeRegressionData alone;
        QString message;
        if (alone.build(m_tableManager->columns(), m_tableManager->rows(), factors, {r}, message)) {
            for (const auto& row : alone.rawResponses())
                for (const QString& cell : row)
                    if (message.isEmpty() && !DoeCommon::isDouble(cell))
                        message = QStringLiteral("Response data must be number\n");
        }
        if (message.isEmpty())
            kept.append(r);
        else
            err += QStringLiteral("Response %1: ").arg(r) + message;
    }
    if (kept.isEmpty())
        return false;
    // The list keeps what is fitted, so that model index and response index stay the same.
    if (kept.size() != responses.size()) {
        for (const QString& r : responses)
            if (!kept.contains(r))
                m_fitModelManager->removeResponseListSingleData(r, err);
        responses = kept;
    }
    return true;
}

bool DoeBussinessApi::getInitialDesirabilitySpec(int modelIndex, DoeDesirabilitySpec& out, QString& err) const
{
    if (!m_fitModelManager || !m_tableManager || !_isRegressionSlot(modelIndex)
        || modelIndex >= m_fitModelManager->modelResponseList().size()) {
        err += QStringLiteral("No fitted model\n");
        return false;
    }
    const QString name = m_fitModelManager->modelResponseList()[modelIndex];
    const int c = m_tableManager->columnIndex(name);
    DoeDesignTableColumInfo col = c >= 0 ? m_tableManager->columns()[c] : DoeDesignTableColumInfo();
    // A table loaded from a file carries no definitions; the wizard's response of that name may.
    DoeDesignResponse defined;
    QString ignored;
    if (col.lowerLimit.isEmpty() && col.upperLimit.isEmpty() && col.importance.isEmpty()
        && getResponseDataByName(name, defined, ignored))
        col = DoeDesignTableColumInfo(defined);

    double lower = 0.0, upper = 0.0;
    const int kind = DoeCommon::getLeftAndRightInfo(col.lowerLimit, col.upperLimit, lower, upper);
    if (kind != 3 || !(upper > lower)) {
        const DoeRegressionData& data = m_tableManager->analysisData().regression;
        const int r = data.responseNames().indexOf(name);
        double lo = std::numeric_limits<double>::infinity(), hi = -lo;
        for (const auto& row : data.convertedResponses()) {
            bool ok = false;
            const double y = r >= 0 && r < row.size() ? row[r].toDouble(&ok) : kNaN;
            if (ok && std::isfinite(y)) {
                lo = std::min(lo, y);
                hi = std::max(hi, y);
            }
        }
        if (!(hi >= lo)) {
            lo = 0.0;
            hi = 1.0;
        }
        if (hi == lo) {
            lo -= 0.5;
            hi += 0.5;
        }
        lower = lo;
        upper = hi;
    }
    double importance = 1.0;
    if (!col.importance.isEmpty() && !DoeCommon::getDoubleFromQString(col.importance, importance))
        importance = 1.0;
    out = initialDesirabilitySpec(modelIndex, col.goal, lower, upper, importance);
    return true;
}

bool DoeBussinessApi::_jointRegion(QVector<DoeJointFactorDomain>& region, QString& err) const
{
    region.clear();
    if (!m_fitModelManager || !m_tableManager || !m_functionManager) {
        err += QStringLiteral("No fitted model\n");
        return false;
    }
    for (const QString& f : m_fitModelManager->modelFactorList()) {
        const int c = m_tableManager->columnIndex(f);
        if (c < 0) {
            err += QStringLiteral("%1: no such column\n").arg(f);
            return false;
        }
        const DoeDesignTableColumInfo& col = m_tableManager->columns()[c];
        DoeJointFactorDomain d;
        d.continuous = col.role == Continuous;
        if (d.continuous) {
            if (col.values.size() != 2 || !DoeCommon::getDoubleFromQString(col.values[0], d.low)
                || !DoeCommon::getDoubleFromQString(col.values[1], d.high)) {
                err += QStringLiteral("Factor %1 has no range\n").arg(f);
                return false;
            }
            if (d.high < d.low)
                std::swap(d.low, d.high);
        } else {
            d.levels = col.values.size();
        }
        region.append(d);
    }
    return true;
}

bool DoeBussinessApi::_jointSettings(const QList<QString>& settings, const QVector<DoeJointFactorDomain>& region,
                                     QVector<double>& x, QString& err) const
{
    if (settings.size() != region.size()) {
        err += QStringLiteral("Expected %1 factor values, got %2\n").arg(region.size()).arg(settings.size());
        return false;
    }
    const QList<QString>& factors = m_fitModelManager->modelFactorList();
    x.resize(region.size());
    for (int i = 0; i < region.size(); ++i) {
        bool ok = false;
        const double v = settings[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            err += QStringLiteral("%1: \"%2\" is not a number\n").arg(factors[i], settings[i]);
            return false;
        }
        if (!region[i].continuous) {
            const double level = std::round(v);
            if (level < 0 || level >= region[i].levels) {
                err += QStringLiteral("%1: level index %2 is outside 0 to %3\n")
                           .arg(factors[i], settings[i])
                           .arg(region[i].levels - 1);
                return false;
            }
            x[i] = level;
        } else {
            x[i] = v;
        }
    }
    return true;
}

bool DoeBussinessApi::_checkJointSpecs(const QVector<DoeDesirabilitySpec>& specs, QString& err) const
{
    if (specs.isEmpty()) {
        err += QStringLiteral("No response\n");
        return false;
    }
    double weights = 0.0;
    for (const DoeDesirabilitySpec& s : specs) {
        if (!_isRegressionSlot(s.modelIndex)) {
            err += QStringLiteral("Response %1 has no fitted model\n").arg(s.modelIndex + 1);
            return false;
        }
        if (!std::isfinite(s.y1) || !std::isfinite(s.y2) || !std::isfinite(s.y3) || !std::isfinite(s.d1)
            || !std::isfinite(s.d2) || !std::isfinite(s.d3) || !std::isfinite(s.importance) || s.importance < 0.0) {
            err += QStringLiteral("Invalid desirability of response %1\n").arg(s.modelIndex + 1);
            return false;
        }
        weights += s.importance;
    }
    if (!(weights > 0.0)) {
        err += QStringLiteral("No response has an importance above 0\n");
        return false;
    }
    return true;
}

double DoeBussinessApi::_jointAt(const QVector<double>& x, const QVector<DoeDesirabilitySpec>& specs,
                                 DoeJointPoint* detail, double* tieBreak) const
{
    QVector<double> d(specs.size()), w(specs.size());
    int important = -1;
    for (int i = 0; i < specs.size(); ++i) {
        double pred = kNaN, se1 = kNaN, se2 = kNaN;
        int dfe = 0;
        m_functionManager->predictResult2(x, pred, se1, se2, dfe, specs[i].modelIndex);
        d[i] = individualDesirability(specs[i], pred);
        w[i] = specs[i].importance;
        if (important < 0 || w[i] > w[important])
            important = i;
        if (detail) {
            const double t = tQuantile(dfe);
            detail->predicted.append(pred);
            detail->confLow.append(pred - t * se2);
            detail->confHigh.append(pred + t * se2);
            detail->predLow.append(pred - t * se1);
            detail->predHigh.append(pred + t * se1);
            detail->desirability.append(d[i]);
        }
    }
    const double overall = weightedGeometricMean(d, w);
    if (detail)
        detail->overall = overall;
    if (tieBreak)
        *tieBreak = important >= 0 ? d[important] : kNaN;
    return overall;
}

double DoeBussinessApi::jointDesirability(const QList<QString>& settings, const QVector<DoeDesirabilitySpec>& specs,
                                          QString& err) const
{
    DoeJointPoint detail;
    return jointDesirability(settings, specs, detail, err);
}

double DoeBussinessApi::jointDesirability(const QList<QString>& settings, const QVector<DoeDesirabilitySpec>& specs,
                                          DoeJointPoint& detail, QString& err) const
{
    detail = DoeJointPoint();
    QVector<DoeJointFactorDomain> region;
    QVector<double> x;
    if (!_checkJointSpecs(specs, err) || !_jointRegion(region, err) || !_jointSettings(settings, region, x, err))
        return kNaN;
    const double overall = _jointAt(x, specs, &detail, nullptr);
    if (std::isnan(overall))
        err += QStringLiteral("Prediction failed\n");
    return overall;
}

double DoeBussinessApi::maximizeJointDesirability(QList<QString>& settings, const QVector<DoeDesirabilitySpec>& specs,
                                                  QString& err)
{
    QVector<DoeJointFactorDomain> region;
    if (!_checkJointSpecs(specs, err) || !_jointRegion(region, err))
        return kNaN;
    const DoeJointOptimum best = maximizeOverRegion(region, [&](const QVector<double>& x, double& d, double& t) {
        d = _jointAt(x, specs, nullptr, &t);
        return std::isfinite(d);
    });
    if (!best.found) {
        err += QStringLiteral("Prediction failed\n");
        return kNaN;
    }
    // Shortest exact text, so that the returned D is D at the written settings.
    settings.clear();
    for (double v : best.x)
        settings.append(QString::number(v, 'g', QLocale::FloatingPointShortest));
    return best.overall;
}

bool DoeBussinessApi::getJointProfiles(const QList<QString>& settings, const QVector<DoeDesirabilitySpec>& specs,
                                       int points, DoeJointProfiles& out, QString& err) const
{
    out = DoeJointProfiles();
    QVector<DoeJointFactorDomain> region;
    QVector<double> x;
    if (points < 2 || points > 10000) {
        err += QStringLiteral("Invalid Value\n");
        return false;
    }
    if (!_checkJointSpecs(specs, err) || !_jointRegion(region, err) || !_jointSettings(settings, region, x, err))
        return false;
    const int n = specs.size();
    auto sized = [&]() { return QVector<QVector<QVector<double>>>(n, QVector<QVector<double>>(region.size())); };
    out.predicted = sized();
    out.confLow = sized();
    out.confHigh = sized();
    out.predLow = sized();
    out.predHigh = sized();
    out.desirability = sized();
    out.grid.resize(region.size());
    out.overall.resize(region.size());
    for (int c = 0; c < region.size(); ++c) {
        const DoeJointFactorDomain& f = region[c];
        const int m = f.continuous ? points : f.levels;
        QVector<double> at = x;
        for (int p = 0; p < m; ++p) {
            at[c] = f.continuous ? f.low + (f.high - f.low) * p / (points - 1) : p;
            DoeJointPoint pt;
            const double overall = _jointAt(at, specs, &pt, nullptr);
            out.grid[c].append(at[c]);
            out.overall[c].append(overall);
            for (int r = 0; r < n; ++r) {
                out.predicted[r][c].append(pt.predicted[r]);
                out.confLow[r][c].append(pt.confLow[r]);
                out.confHigh[r][c].append(pt.confHigh[r]);
                out.predLow[r][c].append(pt.predLow[r]);
                out.predHigh[r][c].append(pt.predHigh[r]);
                out.desirability[r][c].append(pt.desirability[r]);
            }
            if (!std::isfinite(pt.predicted.value(0, kNaN)) || std::isnan(overall)) {
                err += QStringLiteral("Prediction failed\n");
                out = DoeJointProfiles();
                return false;
            }
        }
    }
    return true;
}

bool DoeBussinessApi::simulateJointDefects(int runs, const QVector<QPair<double, double>>& limits, double& jointRate,
                                           QVector<double>& rates, QString& err)
{
    if (!m_fitModelManager || !m_functionManager || !m_tableManager) {
        err += QStringLiteral("No fitted model\n");
        return false;
    }
    const DoeRegressionSlotSettings& slotSet = m_fitModelManager->slotSettings();
    const QList<QString>& responses = m_fitModelManager->modelResponseList();
    const QList<QString>& factors = m_fitModelManager->modelFactorList();
    const int n = responses.size();
    if (n == 0 || slotSet.monteCarloFactors.size() < n || slotSet.monteCarloResponses.size() < n) {
        err += QStringLiteral("Fail to get factor data\n");
        return false;
    }
    if (runs < 1 || runs > kMonteCarloMaxRuns || limits.size() != n) {
        err += QStringLiteral("Invalid Value\n");
        return false;
    }
    QVector<DoeMonteCarloFactorRule> rules;
    for (const QString& f : factors) {
        const auto it = slotSet.monteCarloFactors[0].constFind(f);
        rules.append(it == slotSet.monteCarloFactors[0].constEnd() ? DoeMonteCarloFactorRule()
                                                                  : makeMonteCarloFactorRule(*it));
    }
    QVector<DoeMonteCarloResponseInfo> noise;
    for (int k = 0; k < n; ++k)
        noise.append(slotSet.monteCarloResponses[k].value(responses[k]));

    DoeDesignGeneralSetting general;
    getDoeDesignGeneralSetting(general);
    std::mt19937_64 rng(general.randomSeed.toULongLong());
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    QVector<qint64> defects(n, 0);
    qint64 joint = 0;
    QVector<double> x(factors.size());
    for (int run = 0; run < runs; ++run) {
        for (int i = 0; i < rules.size(); ++i) {
            const DoeMonteCarloFactorRule& r = rules[i];
            // Sequences do not take part here: a stepped value stays at its first step.
            const double location =
                r.role == DoeMonteCarloFactorRule::Location && !r.sequence.isEmpty() ? r.sequence[0] : r.location;
            const double spread =
                r.role == DoeMonteCarloFactorRule::Spread && !r.sequence.isEmpty() ? r.sequence[0] : r.spread;
            switch (r.kind) {
            case DoeMonteCarloFactorRule::Normal:
                x[i] = location + spread * gauss(rng);
                break;
            case DoeMonteCarloFactorRule::Uniform:
                x[i] = location + spread * (unit(rng) - 0.5);
                break;
            case DoeMonteCarloFactorRule::WeightedLevel: {
                std::discrete_distribution<int> pick(r.weights.begin(), r.weights.end());
                x[i] = pick(rng);
                break;
            }
            default:
                x[i] = location;
                break;
            }
        }
        bool any = false;
        for (int k = 0; k < n; ++k) {
            double pred = kNaN, se1 = kNaN, se2 = kNaN;
            int dfe = 0;
            m_functionManager->predictResult2(x, pred, se1, se2, dfe, k);
            if (!std::isfinite(pred)) {
                err += QStringLiteral("Response %1: prediction failed\n").arg(responses[k]);
                return false;
            }
            double y = pred;
            if (noise[k].noiseMode == 1)
                y += noise[k].noiseStdDev * gauss(rng);
            else if (noise[k].noiseMode == 2 && dfe > 0 && std::isfinite(se1))
                y += se1 * std::student_t_distribution<double>(dfe)(rng);
            if (outside(y, limits[k])) {
                ++defects[k];
                any = true;
            }
        }
        if (any)
            ++joint;
    }
    rates.clear();
    for (qint64 d : defects)
        rates.append(double(d) / runs);
    jointRate = double(joint) / runs;
    return true;
}

}  // namespace doeBussiness
