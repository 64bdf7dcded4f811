// Facade operations of the Monte Carlo section: per-slot settings, their checks, the simulation
// through the fitted model of the slot, and access to its table and values.
#include "DoeBussinessApi.h"

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
}

void DoeBussinessApi::refreshMonteCarloData()
{
    if (!m_fitModelManager || !m_tableManager)
        return;
    DoeRegressionSlotSettings& s = m_fitModelManager->slotSettings();
    s.clearMonteCarlo();
    const QList<QString>& factors = m_fitModelManager->modelFactorList();
    for (const QString& response : m_fitModelManager->modelResponseList()) {
        QMap<QString, DoeMonteCarloFactorInfo> fmap;
        for (const QString& f : factors) {
            DoeMonteCarloFactorInfo info;
            const int c = m_tableManager->columnIndex(f);
            if (c >= 0 && m_tableManager->columns()[c].role != Continuous) {
                info.discrete = 1;
                info.levelValues = m_tableManager->columns()[c].values;
                for (int i = 0; i < info.levelValues.size(); ++i)
                    info.levelWeights.append(QStringLiteral("1"));
            }
            fmap.insert(f, info);
        }
        QMap<QString, DoeMonteCarloResponseInfo> rmap;
        rmap.insert(response, DoeMonteCarloResponseInfo());
        s.monteCarloFactors.append(fmap);
        s.monteCarloResponses.append(rmap);
        s.monteCarloRuns.append(defaultMonteCarloRunSetting());
    }
}

bool DoeBussinessApi::getMonteCarloFactorInfo(int slot, QMap<QString, DoeMonteCarloFactorInfo>& out) const
{
    if (!m_fitModelManager || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot))
        return false;
    out = m_fitModelManager->slotSettings().monteCarloFactors[slot];
    return true;
}

bool DoeBussinessApi::setMonteCarloFactorInfo(int slot, const QString& name,
                                              DoeMonteCarloFactorInfo& info, QString& err)
{
    if (!m_fitModelManager || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot)) {
        err += QStringLiteral("Invalid Index\n");
        info = DoeMonteCarloFactorInfo();
        return false;
    }
    auto& map = m_fitModelManager->slotSettings().monteCarloFactors[slot];
    if (!isMonteCarloFactorInfoValid(info)) {
        err += QStringLiteral("Invalid Value\n");
        info = map.value(name);
        return false;
    }
    map.insert(name, info);
    return true;
}

bool DoeBussinessApi::getMonteCarloResponseInfo(int slot,
                                                QMap<QString, DoeMonteCarloResponseInfo>& out) const
{
    if (!m_fitModelManager || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot))
        return false;
    out = m_fitModelManager->slotSettings().monteCarloResponses[slot];
    return true;
}

bool DoeBussinessApi::setMonteCarloResponseInfo(int slot, const QString& name,
                                                DoeMonteCarloResponseInfo& info, QString& err)
{
    if (!m_fitModelManager || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot)) {
        err += QStringLiteral("Invalid Index\n");
        info = DoeMonteCarloResponseInfo();
        return false;
    }
    auto& map = m_fitModelManager->slotSettings().monteCarloResponses[slot];
    if (!isMonteCarloResponseInfoValid(info)) {
        err += QStringLiteral("Invalid Value\n");
        info = map.value(name);
        return false;
    }
    // Inverted limits would count every value as a defect.
    double lower = 0.0, upper = 0.0;
    if (DoeCommon::getLeftAndRightInfo(info.lowerSpecLimit, info.upperSpecLimit, lower, upper) == 3
        && lower > upper) {
        err += QStringLiteral("Invalid Value\nThe lower spec limit %1 is above the upper spec limit %2\n")
                   .arg(info.lowerSpecLimit, info.upperSpecLimit);
        info = map.value(name);
        return false;
    }
    map.insert(name, info);
    return true;
}

bool DoeBussinessApi::getMonteCarloNum(int slot, QPair<int, double>& n) const
{
    if (!m_fitModelManager || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot))
        return false;
    n = m_fitModelManager->slotSettings().monteCarloRuns[slot];
    return true;
}

bool DoeBussinessApi::setMonteCarloNum(int slot, QPair<int, double>& n, QString& err)
{
    if (!m_fitModelManager || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot)) {
        err += QStringLiteral("Invalid Index\n");
        n = qMakePair(1, 0.0);
        return false;
    }
    auto& stored = m_fitModelManager->slotSettings().monteCarloRuns[slot];
    if (!isMonteCarloRunSettingValid(n)) {
        err += QStringLiteral("Invalid Value\n");
        n = stored;
        return false;
    }
    stored = n;
    return true;
}

void DoeBussinessApi::setMonteCarloFactorsDefaultValue(int slot, const QVector<double>& values,
                                                       const QVector<bool>& used)
{
    if (!m_fitModelManager || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot))
        return;
    auto& map = m_fitModelManager->slotSettings().monteCarloFactors[slot];
    const QList<QString>& factors = m_fitModelManager->modelFactorList();
    for (int i = 0; i < factors.size() && i < values.size(); ++i) {
        auto it = map.find(factors[i]);
        if (it == map.end())
            continue;
        if (i < used.size())
            it->used = used[i] ? 1 : 0;
        // A value that is no finite number would poison every simulated run.
        if (it->discrete == 0 && std::isfinite(values[i]))
            it->fixedValue = it->mean = values[i];
    }
}

bool DoeBussinessApi::monteCarloValidCheck(int slot, QString& err)
{
    if (!m_fitModelManager || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot)) {
        err += QStringLiteral("Fail to get factor data\n");
        return false;
    }
    for (const auto& info : m_fitModelManager->slotSettings().monteCarloFactors[slot])
        if (info.random == 0 && info.sequence == 2) {
            err += QStringLiteral("Can't fix and spread together\n");
            return false;
        }
    // Noise from the model needs an error estimate: a fit with no error DF has none.
    const QList<QString>& responses = m_fitModelManager->modelResponseList();
    const QString response = slot < responses.size() ? responses[slot] : QString();
    const auto rmap = m_fitModelManager->slotSettings().monteCarloResponses.value(slot);
    if (rmap.value(response).noiseMode == 2 && m_functionManager) {
        double ssError = kNaN, ssModel = kNaN, rmse = kNaN, r2 = kNaN, r2Adj = kNaN, f = kNaN, p = kNaN;
        int dfModel = 0, dfError = 0;
        m_functionManager->getRunModelResult(ssError, ssModel, dfModel, dfError, rmse, r2, r2Adj, f, p,
                                             slot);
        if (dfError < 1) {
            err += QStringLiteral("No error degrees of freedom for noise from the model\n");
            return false;
        }
    }
    return true;
}

bool DoeBussinessApi::genMonteCarloTableData(int slot)
{
    if (!m_fitModelManager || !m_tableManager || !m_functionManager
        || !m_fitModelManager->slotSettings().hasMonteCarloSlot(slot))
        return false;
    auto& tables = m_tableManager->analysisData().monteCarloTables;
    if (slot >= tables.size())
        tables.resize(slot + 1);
    tables[slot].clear();
    const DoeRegressionSlotSettings& s = m_fitModelManager->slotSettings();
    const QList<QString>& responses = m_fitModelManager->modelResponseList();
    if (slot >= responses.size())
        return false;
    const QString response = responses[slot];
    const auto& rmap = s.monteCarloResponses[slot];
    const DoeMonteCarloResponseInfo rinfo = rmap.value(response);
    doeFunc::DoeFunctionManager* link = m_functionManager;
    auto predict = [link, slot](const QVector<double>& x, double& p, double& se1, double& se2, int& dfe) {
        link->predictResult2(x, p, se1, se2, dfe, slot);
    };
    QString err;
    return DoeMonteCarloSimulator::simulate(m_fitModelManager->modelFactorList(),
                                            s.monteCarloFactors[slot], response, rinfo,
                                            s.monteCarloRuns[slot], predict, tables[slot], err);
}

bool DoeBussinessApi::getMonteCarloTableData(QVector<QString>& header,
                                             QVector<QVector<QString>>& rows, int slot) const
{
    if (!m_tableManager)
        return false;
    const auto& tables = m_tableManager->analysisData().monteCarloTables;
    if (slot < 0 || slot >= tables.size())
        return false;
    header = tables[slot].header();
    rows = tables[slot].textRows();
    return true;
}

bool DoeBussinessApi::getResponseData(QVector<double>& values, QPair<double, double>& range,
                                      int slot) const
{
    if (!m_tableManager)
        return false;
    const auto& tables = m_tableManager->analysisData().monteCarloTables;
    if (slot < 0 || slot >= tables.size() || tables[slot].isEmpty())
        return false;
    values = tables[slot].simulated();
    range = tables[slot].percentileRange();
    return true;
}

}  // namespace doeBussiness
