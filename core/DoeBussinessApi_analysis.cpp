// Facade operations of the analysis: regression preparation and run, result access, stepwise
// steps, Monte Carlo settings and simulation, and the sensitivity analysis of a fitted slot.
#include "DoeBussinessApi.h"

#include "DoeAlgorithmManager.h"
#include "DoeCommon.h"
#include "DoeFitModelManager.h"
#include "DoeFunctionManager.h"
#include "DoeMonteCarloSimulator.h"
#include "DoeTableManager.h"

#include <cmath>
#include <limits>

namespace doeBussiness {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool columnHasData(const DoeTableManager& table, const QString& name)
{
    const int c = table.columnIndex(name);
    if (c < 0)
        return false;
    for (const auto& row : table.rows())
        if (c < row.size() && !row[c].isEmpty())
            return true;
    return false;
}

// "Response data must be number\n" and, on a second line, the 1-based table rows whose response
// cell is not a number (at most ten, then "..."); empty when every response cell is a number.
QString responseNumberError(const DoeRegressionData& data)
{
    QStringList bad;
    bool more = false;
    const auto& rows = data.rawResponses();
    for (int r = 0; r < rows.size() && !more; ++r) {
        for (const QString& cell : rows[r]) {
            if (DoeCommon::isDouble(cell))
                continue;
            if (bad.size() == 10) {
                more = true;
                break;
            }
            bad.append(QString::number(data.rowMap().value(r, r) + 1));
            break;
        }
    }
    if (bad.isEmpty())
        return QString();
    return QStringLiteral("Response data must be number\nRows: %1%2\n")
        .arg(bad.join(QStringLiteral(", ")), more ? QStringLiteral(", ...") : QString());
}

}  // namespace

// ---- regression ----

int DoeBussinessApi::canRunModel(QString& err)
{
    if (!m_fitModelManager || !m_tableManager)
        return -2;
    const QList<QString>& responses = m_fitModelManager->modelResponseList();
    const QList<QString>& factors = m_fitModelManager->modelFactorList();
    if (responses.isEmpty()) {
        err += QStringLiteral("Cannot run without Y responses\n");
        return -1;
    }
    if (factors.isEmpty()) {
        err += QStringLiteral("Cannot run without effects\n");
        return -1;
    }
    // With several responses an empty one is named by the preparation and the others are fitted.
    bool anyResponseData = false;
    for (const QString& r : responses)
        anyResponseData = anyResponseData || columnHasData(*m_tableManager, r);
    for (const QString& r : responses) {
        if (!columnHasData(*m_tableManager, r) && (responses.size() == 1 || !anyResponseData)) {
            err += QStringLiteral("All rows have data that is missing\n");
            return -1;
        }
        if (factors.contains(r)) {
            err += QStringLiteral("Same variable in response and model\n");
            return -1;
        }
    }
    for (const QString& f : factors) {
        if (!columnHasData(*m_tableManager, f)) {
            err += QStringLiteral("All rows have data that is missing\n");
            return -1;
        }
    }
    return 1;
}

bool DoeBussinessApi::preparationForModelRegression(QString& err)
{
    if (!m_functionManager || !m_tableManager || !m_fitModelManager) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    const QList<QString> factors = m_fitModelManager->modelFactorList();
    QList<QString> responses = m_fitModelManager->modelResponseList();
    if (factors.isEmpty() || responses.isEmpty()) {
        err += QStringLiteral("No data\n");
        return false;
    }
    if (responses.size() > 1 && !_keepFittableResponses(factors, responses, err))
        return false;
    DoeRegressionData& data = m_tableManager->analysisData().regression;
    if (!data.build(m_tableManager->columns(), m_tableManager->rows(), factors, responses, err))
        return false;
    // The cells themselves must be numbers: level indices of a text column are no response.
    const QString responseError = responseNumberError(data);
    if (!responseError.isEmpty()) {
        err += responseError;
        return false;
    }
    const int rows = data.convertedFactors().size();
    if (rows == 0 || rows != data.convertedResponses().size()) {
        err += QStringLiteral("Data error\n");
        return false;
    }
    // Every factor column must describe a usable factor before any engine object is touched.
    for (const QString& f : factors) {
        const DoeDesignTableColumInfo col = data.columnInfo().value(f);
        if (col.values.isEmpty()
            || (col.role == Continuous
                && (col.values.size() != 2 || !DoeCommon::isDouble(col.values[0])
                    || !DoeCommon::isDouble(col.values[1])))) {
            err += QStringLiteral("Factor error\n");
            return false;
        }
    }
    if (!m_functionManager->createDoeObjMulti(responses.size())) {
        _discardFit();
        err += QStringLiteral("fail to create doe obj\n");
        return false;
    }
    DoeDesignGeneralSetting general;
    getDoeDesignGeneralSetting(general);
    bool seedOk = false;
    unsigned long seed = general.randomSeed.toULong(&seedOk, 10);
    if (!seedOk)
        seed = DoeDesignGeneralSetting().randomSeed.toULong(nullptr, 10);

    QVector<QString> names;
    QVector<int> kinds, levelCounts;
    QVector<QVector<QString>> levelNames;
    QVector<QVector<double>> levelValues;
    for (int k = 0; k < responses.size(); ++k) {
        for (const QString& f : factors) {
            const DoeDesignTableColumInfo col = data.columnInfo().value(f);
            const QList<QString> levels = col.values;
            switch (col.role) {
            case Continuous:
                m_functionManager->addContinuousFactor(f, col.values[0].toDouble(),
                                                       col.values[1].toDouble(), k);
                break;
            case DiscreteNumeric:
                m_functionManager->addDiscreteFactor(f, levels, k);
                break;
            default:
                m_functionManager->addCategoricalFactor(f, levels, k);
                break;
            }
            if (k == 0) {
                names.append(f);
                kinds.append(col.role == Continuous ? 1 : col.role == Categorical ? 2 : 3);
                levelCounts.append(col.role == Continuous ? 0 : col.values.size());
                levelNames.append(col.role == Categorical ? col.values.toVector() : QVector<QString>());
                QVector<double> values;
                if (col.role == DiscreteNumeric)
                    for (const QString& v : col.values)
                        values.append(v.toDouble());
                levelValues.append(values);
            }
        }
        if (!data.columnInfo().contains(responses[k])) {
            _discardFit();
            err += QStringLiteral("Response error\n");
            return false;
        }
        m_functionManager->addResponses(responses[k], k);
        m_functionManager->setRandomSeed(seed, k);
        if (m_functionManager->creataDoeModel(2, k) == -1) {
            _discardFit();
            err += QStringLiteral("Fail to create model\n");
            return false;
        }
        m_functionManager->generateDoeTable(rows, k);
        for (int r = 0; r < rows; ++r)
            m_functionManager->setVFactorByLineIdx(data.convertedFactors()[r], r, k);
        for (int r = 0; r < rows; ++r)
            m_functionManager->setVResponseByLineIdx(data.convertedResponses()[r], r, k);
        m_functionManager->initRegressionBaseData(names, kinds, levelCounts, levelNames, levelValues, k);
    }
    DoeRegressionSlotSettings& slots = m_fitModelManager->slotSettings();
    slots.stepwise.clear();
    for (int k = 0; k < responses.size(); ++k)
        slots.stepwise.append(DoeFitModel_Stepwise_Setting());
    slots.stepwiseSnapshots.clear();
    for (int k = 0; k < responses.size(); ++k)
        _publishStepwiseSnapshot(k);
    return true;
}

void DoeBussinessApi::_discardFit()
{
    if (m_functionManager)
        m_functionManager->releaseRegressionSlots();
    if (m_fitModelManager)
        m_fitModelManager->slotSettings().clear();
    if (m_tableManager) {
        m_tableManager->analysisData().monteCarloTables.clear();
        m_tableManager->analysisData().mixedFits.clear();
    }
}

bool DoeBussinessApi::_isRegressionSlot(int slot) const
{
    return m_fitModelManager && slot >= 0 && slot < m_fitModelManager->slotSettings().stepwise.size();
}

bool DoeBussinessApi::runModel(int slot)
{
    if (!m_functionManager || !m_tableManager || !m_fitModelManager || !_isRegressionSlot(slot))
        return false;
    m_tableManager->analysisData().mixedFits.remove(slot);
    m_functionManager->runModel(slot);
    refreshMonteCarloData();
    m_tableManager->analysisData().monteCarloTables =
        QVector<DoeMonteCarloTable>(m_fitModelManager->modelResponseList().size());
    return true;
}

void DoeBussinessApi::getRunModelResult(double& ssError, double& ssModel, int& dfModel, int& dfError,
                                        double& rmse, double& rSquare, double& rSquareAdj,
                                        double& fRatio, double& probF, int slot) const
{
    if (m_functionManager)
        m_functionManager->getRunModelResult(ssError, ssModel, dfModel, dfError, rmse, rSquare,
                                             rSquareAdj, fRatio, probF, slot);
    _mixedRunModelResult(rmse, fRatio, probF, slot);
}

void DoeBussinessApi::getRunParameter(int param, double& estimate, double& stdError, double& tRatio,
                                      double& probT, int slot) const
{
    if (m_functionManager)
        m_functionManager->getRunParameter(param, estimate, stdError, tRatio, probT, slot);
    _mixedRunParameter(param, estimate, stdError, tRatio, probT, slot);
}

void DoeBussinessApi::getSaveFacName(QVector<QString>& out, int slot) const
{
    if (m_functionManager)
        m_functionManager->getSaveFacName(out, slot);
}

void DoeBussinessApi::getSaveParamName(QVector<QString>& out, int slot) const
{
    if (m_functionManager)
        m_functionManager->getSaveParamName(out, slot);
}

void DoeBussinessApi::predictResult(const QList<QString>& values, double& o1, double& o2, double& o3,
                                    double& o4, double& o5, double alpha, int slot)
{
    QString ignored;
    predictResult(values, o1, o2, o3, o4, o5, alpha, slot, ignored);
}

void DoeBussinessApi::predictResult(const QList<QString>& values, double& o1, double& o2, double& o3,
                                    double& o4, double& o5, double alpha, int slot, QString& err)
{
    o1 = o2 = o3 = o4 = o5 = kNaN;
    if (!m_functionManager || !m_fitModelManager || !m_tableManager || !_isRegressionSlot(slot)) {
        err += QStringLiteral("No fitted model\n");
        return;
    }
    const QList<QString>& factors = m_fitModelManager->modelFactorList();
    if (values.size() != factors.size()) {
        err += QStringLiteral("Expected %1 factor values, got %2\n").arg(factors.size()).arg(values.size());
        return;
    }
    QList<QString> converted = values;
    QString bad;
    for (int i = 0; i < converted.size(); ++i) {
        const int c = m_tableManager->columnIndex(factors[i]);
        const QString text = values[i].trimmed();
        if (c < 0) {
            bad += QStringLiteral("%1: no such column\n").arg(factors[i]);
            continue;
        }
        const DoeDesignTableColumInfo& col = m_tableManager->columns()[c];
        bool ok = false;
        const double number = text.toDouble(&ok);
        const bool finite = ok && std::isfinite(number);
        if (col.role == Continuous) {
            if (!finite)
                bad += QStringLiteral("%1: \"%2\" is not a number\n").arg(factors[i], values[i]);
            continue;
        }
        int level = col.values.indexOf(text);
        // A discrete numeric level may be written another way ("1.0" for "1").
        for (int k = 0; level < 0 && finite && col.role == DiscreteNumeric && k < col.values.size(); ++k)
            if (col.values[k].toDouble() == number)
                level = k;
        if (level < 0)
            bad += QStringLiteral("%1: \"%2\" is not one of its levels (%3)\n")
                       .arg(factors[i], values[i], col.values.join(QStringLiteral(", ")));
        else
            converted[i] = QString::number(level);
    }
    if (!bad.isEmpty()) {
        err += bad;
        return;
    }
    if (_mixedPredict(converted, o1, o2, o3, o4, o5, alpha, slot))
        return;
    m_functionManager->predictResult(converted, o1, o2, o3, o4, o5, alpha, slot);
}

double DoeBussinessApi::calculateMax(QList<QString>& settings, double y1, double y2, double y3,
                                     double d1, double d2, double d3, int iterations, int slot)
{
    if (!m_functionManager || !_isRegressionSlot(slot))
        return kNaN;
    return m_functionManager->calculateMax(settings, y1, y2, y3, d1, d2, d3, iterations, slot);
}

void DoeBussinessApi::getRegressionAllFactorAndUsedFactor(QList<QString>& factors,
                                                          QMap<QString, DoeDesignTableColumInfo>& info,
                                                          QVector<bool>& used, int slot) const
{
    if (!m_fitModelManager || !m_tableManager)
        return;
    factors = m_fitModelManager->modelFactorList();
    info.clear();
    for (const QString& f : factors) {
        const int c = m_tableManager->columnIndex(f);
        if (c >= 0)
            info.insert(f, m_tableManager->columns()[c]);
    }
    used = QVector<bool>(factors.size(), false);
    QVector<QString> columns;
    getSaveFacName(columns, slot);
    QVector<QPair<int, int>> flags;
    getMFInfo(flags, slot);
    for (int c = 1; c < columns.size(); ++c) {
        if (c >= flags.size() || flags[c].first == 0)
            continue;
        for (int f = 0; f < factors.size(); ++f)
            if (columns[c].contains(factors[f]))
                used[f] = true;
    }
}

void DoeBussinessApi::getAllColumnInfoByNameForRegression(const QList<QString>& names,
                                                          QMap<QString, DoeDesignTableColumInfo>& info) const
{
    if (!m_tableManager || !m_tableManager->analysisData().regression.isBuilt())
        return;
    const auto& all = m_tableManager->analysisData().regression.columnInfo();
    for (const QString& n : names)
        if (all.contains(n))
            info.insert(n, all.value(n));
}

bool DoeBussinessApi::getRegressionTableRowMap(QMap<int, int>& map) const
{
    if (!m_tableManager || !m_tableManager->analysisData().regression.isBuilt())
        return false;
    map = m_tableManager->analysisData().regression.rowMap();
    return true;
}

void DoeBussinessApi::getTableFactorRawDataForRegression(QVector<QVector<QString>>& out, bool byRow) const
{
    if (!m_tableManager)
        return;
    const DoeRegressionData& d = m_tableManager->analysisData().regression;
    out = byRow ? d.rawFactors() : DoeRegressionData::transposed(d.rawFactors(), d.factorNames().size());
}

void DoeBussinessApi::getTableResponseRawDataForRegression(QVector<QVector<QString>>& out, bool byRow) const
{
    if (!m_tableManager)
        return;
    const DoeRegressionData& d = m_tableManager->analysisData().regression;
    out = byRow ? d.rawResponses()
                : DoeRegressionData::transposed(d.rawResponses(), d.responseNames().size());
}

void DoeBussinessApi::getTableFactorConvertedDataForRegression(QVector<QVector<QString>>& out) const
{
    if (m_tableManager)
        out = m_tableManager->analysisData().regression.convertedFactors();
}

void DoeBussinessApi::getTableResponseConvertedDataForRegression(QVector<QVector<QString>>& out) const
{
    if (m_tableManager)
        out = m_tableManager->analysisData().regression.convertedResponses();
}

}  // namespace doeBussiness
