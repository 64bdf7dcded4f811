#include "DoeMonteCarloSimulator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace doeBussiness {

namespace {

// Above this many rows a simulation is refused: its numbers alone would take gigabytes.
constexpr qint64 kMaxTotalRows = 6000000;

QVector<double> levelWeights(const DoeMonteCarloFactorInfo& info)
{
    QVector<double> w(info.levelValues.size(), 0.0);
    double sum = 0.0;
    for (int i = 0; i < w.size() && i < info.levelWeights.size(); ++i) {
        bool ok = false;
        const double v = info.levelWeights[i].toDouble(&ok);
        if (ok && std::isfinite(v) && v > 0.0) {
            w[i] = v;
            sum += v;
        }
    }
    if (sum <= 0.0)
        std::fill(w.begin(), w.end(), 1.0);  // no usable weights: every level equally likely
    return w;
}

}  // namespace

QVector<double> monteCarloStepList(double start, double end, int n)
{
    QVector<double> out;
    if (n <= 1) {
        out.append(start);
        return out;
    }
    out.reserve(n);
    for (int i = 1; i <= n; ++i)
        out.append(start + (i - 1) * (end - start) / (n - 1));
    return out;
}

DoeMonteCarloFactorRule makeMonteCarloFactorRule(const DoeMonteCarloFactorInfo& info)
{
    using R = DoeMonteCarloFactorRule;
    R rule;
    rule.location = info.fixedValue;
    if (info.used == 0)
        return rule;
    const int steps = qMax(1, info.sequenceSteps);

    if (info.discrete != 0) {
        if (info.sequence == 1 && !info.levelValues.isEmpty()) {
            rule.kind = R::LevelStep;
            rule.role = R::Location;
            for (int i = 0; i < info.levelValues.size(); ++i)
                rule.sequence.append(i);
            rule.sequenceWord = QStringLiteral("Mean");
        } else if (info.random != 0 && !info.levelValues.isEmpty()) {
            rule.kind = R::WeightedLevel;
            rule.weights = levelWeights(info);
        }
        return rule;
    }

    if (info.random == 0) {
        if (info.sequence == 1) {
            rule.role = R::Location;
            rule.sequence = monteCarloStepList(info.locationStart, info.locationEnd, steps);
            rule.sequenceWord = QStringLiteral("Mean");
        }
        return rule;
    }

    const bool normal = info.distribution == 0;
    rule.kind = normal ? R::Normal : R::Uniform;
    rule.location = normal ? info.mean : (info.lower + info.upper) / 2.0;
    rule.spread = normal ? info.stdDev : info.upper - info.lower;
    if (info.sequence == 1) {
        rule.role = R::Location;
        rule.sequence = monteCarloStepList(info.locationStart, info.locationEnd, steps);
        rule.sequenceWord = normal ? QStringLiteral("Mean") : QStringLiteral("Center");
    } else if (info.sequence == 2) {
        rule.role = R::Spread;
        rule.sequence = monteCarloStepList(info.spreadStart, info.spreadEnd, steps);
        rule.sequenceWord = normal ? QStringLiteral("Std Dev") : QStringLiteral("Spread");
    }
    return rule;
}

QPair<double, double> monteCarloPercentileRange(const QVector<double>& values, double percent)
{
    const int n = values.size();
    if (n == 0)
        return qMakePair(0.0, 0.0);
    qint64 k = static_cast<qint64>(std::floor(percent / 100.0 * n));
    if (k <= 0)
        k = 1;
    k = std::min<qint64>(k, n);
    std::vector<double> copy(values.begin(), values.end());
    std::nth_element(copy.begin(), copy.begin() + (k - 1), copy.end());
    const double low = copy[k - 1];
    std::nth_element(copy.begin(), copy.begin() + (n - k), copy.end());
    return qMakePair(low, copy[n - k]);
}

static qint64 combinationCount(const QVector<DoeMonteCarloFactorRule>& rules)
{
    qint64 total = 1;
    for (const auto& r : rules) {
        total *= r.stepCount();
        if (total > kMaxTotalRows)
            return kMaxTotalRows + 1;
    }
    return total;
}

qint64 DoeMonteCarloSimulator::plannedRows(const QList<QString>& factorNames,
                                           const QMap<QString, DoeMonteCarloFactorInfo>& factors,
                                           int runs)
{
    QVector<DoeMonteCarloFactorRule> rules;
    for (const QString& n : factorNames)
        if (factors.contains(n))
            rules.append(makeMonteCarloFactorRule(factors.value(n)));
    const qint64 rows = combinationCount(rules) * qMax(0, runs);
    return rows > kMaxTotalRows ? 0 : rows;
}

bool DoeMonteCarloSimulator::simulate(const QList<QString>& factorNames,
                                      const QMap<QString, DoeMonteCarloFactorInfo>& factors,
                                      const QString& responseName,
                                      const DoeMonteCarloResponseInfo& response,
                                      const DoeMonteCarloRunSetting& runs,
                                      const Predictor& predict, DoeMonteCarloTable& table,
                                      QString& err)
{
    using R = DoeMonteCarloFactorRule;
    using Column = DoeMonteCarloTable::Column;
    table.clear();
    if (!predict || !isMonteCarloRunSettingValid(runs) || !isMonteCarloResponseInfoValid(response)) {
        err += QStringLiteral("Invalid Value\n");
        return false;
    }

    const int nf = factorNames.size();
    QVector<R> rules(nf);
    QVector<bool> inTable(nf, false);
    for (int i = 0; i < nf; ++i) {
        auto it = factors.constFind(factorNames[i]);
        if (it == factors.constEnd())
            continue;
        if (!isMonteCarloFactorInfoValid(it.value())) {
            err += QStringLiteral("Invalid Value\n");
            return false;
        }
        rules[i] = makeMonteCarloFactorRule(it.value());
        inTable[i] = it.value().used != 0;
    }
    const qint64 combos = combinationCount(rules);
    const qint64 totalRows = combos * runs.first;
    if (totalRows > kMaxTotalRows) {
        err += QStringLiteral("Too many runs\n");
        return false;
    }
    const int perCombo = runs.first;

    // Table layout: per factor its value column and, with a sequence, its sequence column.
    QVector<int> valueColumn(nf, -1), sequenceColumn(nf, -1);
    QVector<Column> columns;
    for (int i = 0; i < nf; ++i) {
        if (!inTable[i])
            continue;
        Column c;
        c.name = factorNames[i];
        const auto& info = factors[factorNames[i]];
        if (info.discrete != 0)
            c.levels = info.levelValues;
        valueColumn[i] = columns.size();
        columns.append(c);
        if (!rules[i].sequenceWord.isEmpty() && rules[i].role != R::NoSequence) {
            Column s;
            s.kind = Column::SequenceValue;
            s.name = QStringLiteral("%1 %2").arg(factorNames[i], rules[i].sequenceWord);
            sequenceColumn[i] = columns.size();
            columns.append(s);
        }
    }
    Column respColumn;
    respColumn.kind = Column::Response;
    respColumn.name = responseName;

    std::random_device device;
    std::mt19937_64 gen((static_cast<quint64>(device()) << 32) ^ device());
    std::normal_distribution<double> stdNormal(0.0, 1.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    QVector<std::discrete_distribution<int>> levelDraw(nf);
    for (int i = 0; i < nf; ++i)
        if (rules[i].kind == R::WeightedLevel)
            levelDraw[i] = std::discrete_distribution<int>(rules[i].weights.begin(),
                                                           rules[i].weights.end());

    for (int i = 0; i < nf; ++i) {
        if (valueColumn[i] < 0)
            continue;
        const bool varies = rules[i].kind == R::Normal || rules[i].kind == R::Uniform
            || rules[i].kind == R::WeightedLevel;
        if (varies)
            columns[valueColumn[i]].perRow.reserve(static_cast<int>(totalRows));
    }
    QVector<double>& sim = table.m_simulated;
    sim.reserve(static_cast<int>(totalRows));
    table.m_predictions.reserve(static_cast<int>(totalRows));
    table.m_se1.reserve(static_cast<int>(totalRows));
    table.m_se2.reserve(static_cast<int>(totalRows));

    std::student_t_distribution<double> tDraw(1.0);
    int tDf = 1;
    QVector<double> x(nf, 0.0);
    QVector<double> location(nf), spread(nf);
    QVector<bool> varies(nf, false);
    for (qint64 combo = 0; combo < combos; ++combo) {
        // Decode the combination: the first sequenced factor steps slowest.
        qint64 rest = combo;
        QVector<int> step(nf, 0);
        for (int i = nf - 1; i >= 0; --i) {
            const int n = rules[i].stepCount();
            step[i] = static_cast<int>(rest % n);
            rest /= n;
        }
        for (int i = 0; i < nf; ++i) {
            const R& r = rules[i];
            location[i] = r.location;
            spread[i] = r.spread;
            double seqValue = 0.0;
            if (r.role != R::NoSequence && !r.sequence.isEmpty()) {
                seqValue = r.sequence[step[i]];
                (r.role == R::Location ? location[i] : spread[i]) = seqValue;
            }
            varies[i] = r.kind == R::Normal || r.kind == R::Uniform || r.kind == R::WeightedLevel;
            if (!varies[i])
                x[i] = location[i];
            if (valueColumn[i] >= 0 && !varies[i])
                columns[valueColumn[i]].perCombination.append(location[i]);
            if (sequenceColumn[i] >= 0)
                columns[sequenceColumn[i]].perCombination.append(seqValue);
        }
        for (int run = 0; run < perCombo; ++run) {
            for (int i = 0; i < nf; ++i) {
                if (!varies[i])
                    continue;
                switch (rules[i].kind) {
                case R::Normal:
                    x[i] = spread[i] > 0.0 ? location[i] + spread[i] * stdNormal(gen) : location[i];
                    break;
                case R::Uniform:
                    x[i] = location[i] - spread[i] / 2.0 + spread[i] * unit(gen);
                    break;
                default:
                    x[i] = levelDraw[i](gen);
                    break;
                }
                if (valueColumn[i] >= 0)
                    columns[valueColumn[i]].perRow.append(x[i]);
            }
            double pred = std::numeric_limits<double>::quiet_NaN(), se1 = pred, se2 = pred;
            int dfe = 0;
            predict(x, pred, se1, se2, dfe);
            double value = pred;
            if (response.noiseMode == 1) {
                value = pred + response.noiseStdDev * stdNormal(gen);
            } else if (response.noiseMode == 2) {
                // Without error degrees of freedom the fit carries no noise estimate to draw from.
                if (dfe < 1 || !std::isfinite(se1)) {
                    table.clear();
                    err += QStringLiteral("No error degrees of freedom for noise from the model\n");
                    return false;
                }
                if (dfe != tDf) {
                    tDf = dfe;
                    tDraw = std::student_t_distribution<double>(dfe);
                }
                value = pred + tDraw(gen) * se1;
            }
            if (!std::isfinite(value)) {
                table.clear();
                err += QStringLiteral("Prediction error\n");
                return false;
            }
            sim.append(value);
            table.m_predictions.append(pred);
            table.m_se1.append(se1);
            table.m_se2.append(se2);
        }
    }
    columns.append(respColumn);
    table.m_columns = columns;
    table.m_runsPerCombination = perCombo;
    table.m_range = monteCarloPercentileRange(sim, runs.second);
    return true;
}

}  // namespace doeBussiness
