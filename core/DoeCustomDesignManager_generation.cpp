// Design generation through the engine's default slot, the custom-design table, and the snapshot
// the wizard takes when it opens and restores on cancel.
#include <algorithm>
#include <cmath>

#include "DoeContinuousCellText.h"
#include "DoeCustomDesignManager.h"
#include "DoeDesignAddedRuns.h"
#include "DoeDesignEvaluator.h"
#include "DoeFunctionManager.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace {

constexpr int kDefaultSlot = -1;
constexpr int kModelKind = 2;
constexpr int kMaxDesignRuns = 1000000;  // the engine makes no design beyond this

// Refuses a search that would need more than half of this machine's memory, before it starts:
// an out-of-memory failure halfway would take the whole application down or stall it swapping.
bool checkSearchMemory(doeFunc::DoeFunctionManager* engine, int runs, QString& err)
{
    const double needed = engine->designSearchMemory(runs, kDefaultSlot);
    const double machine = doeFunc::DoeFunctionManager::physicalMemory();
    if (needed < 0.0 || machine <= 0.0 || needed <= 0.5 * machine)
        return true;
    const double gib = 1024.0 * 1024.0 * 1024.0;
    err += QStringLiteral("The design search needs about %1 GiB of memory; "
                          "this machine has %2 GiB\n")
               .arg(needed / gib, 0, 'f', 1)
               .arg(machine / gib, 0, 'f', 1);
    return false;
}

// "Number of Starts" as the user typed it reaches the engine; the stored default (and 0) keeps the
// engine's own adaptive budget. Engines without the exports search as they always did.
void passSearchEffort(doeFunc::DoeFunctionManager* engine, const DoeDesignGeneralSetting& general,
                      bool aliasOptimal)
{
    quint32 starts = 0;
    if (general.numberOfStarts != DoeDesignGeneralSetting().numberOfStarts
        && DoeCustomDesignManager::parseUnsigned32(general.numberOfStarts, starts))
        engine->setDesignStarts(static_cast<int>(std::min<quint32>(starts, 1000000u)), kDefaultSlot);
    else
        engine->setDesignStarts(0, kDefaultSlot);
    engine->setDesignAliasOptimal(aliasOptimal, kDefaultSlot);
}

}  // namespace

bool DoeCustomDesignManager::feedFactors(doeFunc::DoeFunctionManager* engine, QList<DoeDesignFactor>* fed,
                                         QString& err) const
{
    for (const QString& name : m_factors.names()) {
        DoeDesignFactor factor;
        if (!getFactorDataByName(name, factor, err)) {
            err += QStringLiteral("Factor error\n");
            return false;
        }
        switch (factor.role) {
        case Continuous:
            if (factor.values.size() != 2) {
                err += QStringLiteral("Factor error\n");
                return false;
            }
            engine->addContinuousFactor(name, factor.values.at(0).toDouble(), factor.values.at(1).toDouble(),
                                        kDefaultSlot);
            break;
        case DiscreteNumeric:
            engine->addDiscreteFactor(name, factor.values, kDefaultSlot);
            break;
        case Categorical:
            engine->addCategoricalFactor(name, factor.values, kDefaultSlot);
            break;
        default:
            err += QStringLiteral("Factor error\n");
            return false;
        }
        if (fed)
            fed->append(factor);
    }
    return true;
}

bool DoeCustomDesignManager::designTermPowers(QVector<QVector<int>>& powers, QVector<bool>& necessary,
                                              bool& hasSquare, QString& err) const
{
    const QList<QString> names = m_factors.names();
    powers.clear();
    necessary.clear();
    hasSquare = false;
    for (const DoeDesignModel& term : m_models.terms()) {
        if (term.isInterceptTerm())
            continue;  // the engine always keeps the intercept
        QVector<int> row(names.size(), 0);
        for (const QString& name : term.terms) {
            const int k = names.indexOf(name);
            if (k < 0) {
                err += QStringLiteral("Factor error\n");
                return false;
            }
            ++row[k];
        }
        for (int k = 0; k < row.size(); ++k) {
            DoeDesignFactor factor;
            QString ignored;
            if (row[k] >= 2 && getFactorDataByName(names.at(k), factor, ignored) && factor.role != Categorical)
                hasSquare = true;
            // A factor whose role changed after its cube was entered.
            if (row[k] == 3 && factor.role != Continuous) {
                err += QStringLiteral("Cubic terms need a continuous factor\n");
                return false;
            }
        }
        powers.append(row);
        necessary.append(term.necessary);
    }
    return true;
}

bool DoeCustomDesignManager::passDesignModel(doeFunc::DoeFunctionManager* engine, QString& err) const
{
    // An engine without the model exports designs for its own full quadratic, as it always did.
    if (!engine->hasDesignModelExports())
        return true;
    QVector<QVector<int>> powers;
    QVector<bool> necessary;
    bool hasSquare = false;
    if (!designTermPowers(powers, necessary, hasSquare, err))
        return false;
    // "Option 1" is D-optimal; "Recommended" is I-optimal for a response surface, else D-optimal.
    const int criterion = (m_general.optimalityCriterion == 0 && hasSquare) ? 1 : 0;
    if (!engine->setDesignModelTerms(powers, necessary, kDefaultSlot)
        || !engine->setDesignCriterion(criterion, kDefaultSlot)) {
        err += QStringLiteral("Fail to calculate\n");
        return false;
    }
    return true;
}

bool DoeCustomDesignManager::genDoeMinNum(doeFunc::DoeFunctionManager* engine, QString& err)
{
    if (!engine) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    if (!engine->createDoeObj()) {
        err += QStringLiteral("fail to create doe obj\n");
        return false;
    }
    if (!feedFactors(engine, nullptr, err) || !passDesignModel(engine, err)
        || !passRunStructure(engine, -1, err))
        return false;
    const int n = engine->creataDoeModel(kModelKind, kDefaultSlot);
    if (n == -1) {
        err += QStringLiteral("Fail to calculate\n");
        return false;
    }
    m_proposedWholePlots = m_proposedWholeWholePlots = -1;
    engine->proposeWholePlots(kMaxDesignRuns, m_proposedWholePlots, m_proposedWholeWholePlots, kDefaultSlot);
    DoeDesignMakingSetting making = m_making;
    making.minimumRuns = n;
    making.userSpecifiedRuns = n;
    return setMakingSetting(making, err);
}

bool DoeCustomDesignManager::genDoeTableForCustomDesign(doeFunc::DoeFunctionManager* engine, QString& err)
{
    if (!engine)
        return false;
    m_customTable = std::make_shared<DoeTableManager>();
    if (!engine->createDoeObj()) {
        err += QStringLiteral("fail to create doe obj\n");
        return false;
    }
    if (m_factors.isEmpty()) {
        err += QStringLiteral("No data\n");
        return false;
    }
    QList<DoeDesignFactor> fed;
    if (!feedFactors(engine, &fed, err))
        return false;
    if (!passDesignModel(engine, err))
        return false;
    // A continuous factor without a range gives a design that cannot fit its model.
    for (const DoeDesignFactor& factor : qAsConst(fed))
        if (factor.role == Continuous && factor.values.at(0).toDouble() == factor.values.at(1).toDouble()) {
            err += QStringLiteral("Factor %1 has no range\n").arg(factor.name);
            return false;
        }
    passSearchEffort(engine, m_general, m_aliasOptimal);

    quint32 seed = 0;
    parseUnsigned32(m_general.randomSeed, seed);  // validated when stored
    engine->setRandomSeed(seed, kDefaultSlot);
    if (engine->creataDoeModel(kModelKind, kDefaultSlot) == -1) {
        err += QStringLiteral("Fail to calculate\n");
        return false;
    }
    const int runs = m_making.userSpecified ? m_making.userSpecifiedRuns : m_making.minimumRuns;
    if (runs > kMaxDesignRuns) {
        err += QStringLiteral("The design search takes at most %1 runs\n").arg(kMaxDesignRuns);
        return false;
    }
    if (qint64(runs) + m_making.centerPoints + m_making.replicateRuns > kMaxDesignRuns) {
        err += QStringLiteral("A design takes at most %1 runs with its center points and replicates\n")
                   .arg(kMaxDesignRuns);
        return false;
    }
    const int centres = centresInSearch(engine, runs);
    if (!checkSearchMemory(engine, runs + centres, err) || !passRunStructure(engine, runs, err))
        return false;
    engine->generateDoeTable(runs + centres, kDefaultSlot);
    if (!feedCentrePoints(engine, fed, runs, centres)) {
        err += QStringLiteral("Data error\n");
        return false;
    }
    const int rowsToRead = runs > 0 ? runs + centres : 1;

    for (const DoeDesignFactor& factor : qAsConst(fed))
        m_customTable->addColumn(DoeDesignTableColumInfo(factor));

    const auto dataError = [this, &err]() {
        m_customTable->clear();
        err += QStringLiteral("Data error\n");
        return false;
    };
    for (int r = 0; r < rowsToRead; ++r) {
        const double* values = engine->getVFactorByLineIdx(r, kDefaultSlot);
        if (!values && engine->generateCancelled()) {
            m_customTable->clear();
            err += QStringLiteral("Design search cancelled before a design was found\n");
            return false;
        }
        if (!values)
            return dataError();
        QVector<QString> cells;
        cells.reserve(fed.size());
        for (int k = 0; k < fed.size(); ++k) {
            const double v = values[k];
            // A value that is not finite would reach the table as "nan" or "inf": treat it as bad data.
            if (!std::isfinite(v))
                return dataError();
            const DoeDesignFactor& factor = fed.at(k);
            if (factor.role == Continuous) {
                cells.append(continuousCellText(v, factor.values.at(0).toDouble(), factor.values.at(1).toDouble()));
                continue;
            }
            // Level index, truncated toward zero; checked in double so a huge value cannot overflow.
            if (v <= -1.0 || v >= factor.values.size())
                return dataError();
            cells.append(factor.values.at(static_cast<int>(v)));
        }
        m_customTable->addRow(std::move(cells));
    }
    addStructureColumns(engine, rowsToRead);
    return addRunsToDesign(fed, centres, err);
}

int DoeCustomDesignManager::centresInSearch(doeFunc::DoeFunctionManager* engine, int runs) const
{
    // Centre points join the search when the engine can keep runs fixed, so that the searched
    // runs complement them; not with whole plots or blocks (they are refused there) nor for an
    // alias-optimal design, whose exchange does not keep runs.
    const QVector<int> changes = factorChanges();
    const bool grouped = changes.contains(1) || changes.contains(2) || m_structure.blocks > 1;
    if (runs < 1 || m_making.centerPoints <= 0 || grouped || m_aliasOptimal || !engine->canFixDesignRuns())
        return 0;
    return m_making.centerPoints;
}

bool DoeCustomDesignManager::feedCentrePoints(doeFunc::DoeFunctionManager* engine,
                                              const QList<DoeDesignFactor>& fed, int runs, int count) const
{
    for (int c = 0; c < count; ++c) {
        const QVector<QString> cells = centrePointCells(fed, c);
        QVector<QString> values;  // the engine's values: continuous numbers, level indices
        for (int k = 0; k < fed.size(); ++k)
            values.append(fed.at(k).role == Continuous ? cells.at(k)
                                                        : QString::number(fed.at(k).values.indexOf(cells.at(k))));
        engine->setVFactorByLineIdx(values, runs + c, kDefaultSlot);
        if (!engine->fixDesignRun(runs + c, QVector<bool>(), kDefaultSlot))
            return false;
    }
    return true;
}

bool DoeCustomDesignManager::addRunsToDesign(const QList<DoeDesignFactor>& fed, int centresSearched, QString& err)
{
    const int centres = m_making.centerPoints - centresSearched;
    if (centres <= 0 && m_making.replicateRuns <= 0)
        return true;
    // Added runs would need a plot or block of their own; the grouping columns have no room for one.
    for (const char* grouping : {"Whole Plots", "Whole-Whole Plots", "Block"}) {
        if (m_customTable->columnIndex(QLatin1String(grouping)) >= 0) {
            m_customTable->clear();
            err += QStringLiteral("Center points and replicate runs cannot be added to a design with whole plots or "
                                  "blocks\n");
            return false;
        }
    }
    QVector<QVector<QString>> rows = m_customTable->rows();
    const int designRuns = rows.size();
    // Replicates favour the criterion the search used: I for "Recommended" with squares, else D.
    QVector<QVector<int>> powers;
    QVector<bool> necessary;
    bool hasSquare = false;
    QString ignored;
    designTermPowers(powers, necessary, hasSquare, ignored);
    const bool iOptimal = m_general.optimalityCriterion == 0 && hasSquare;
    if (!addCentreAndReplicateRuns(fed, m_customTable->columns(), rows, m_models.terms(), iOptimal,
                                   centres, m_making.replicateRuns, err)) {
        m_customTable->clear();
        return false;
    }
    for (int r = designRuns; r < rows.size(); ++r)
        m_customTable->addRow(rows.at(r));
    return true;
}

void DoeCustomDesignManager::getTableSizeForCustomDesign(int& rows, int& cols) const
{
    if (m_customTable)
        m_customTable->getTableSize(rows, cols);
}

bool DoeCustomDesignManager::getTableDataByRowForCustomDesign(int row, QVector<QString>& out, QString& err) const
{
    if (!m_customTable) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    return m_customTable->getTableDataByRow(row, out, err);
}

void DoeCustomDesignManager::getColumnNameVectorForCustomDesign(QVector<QString>& out) const
{
    if (m_customTable)
        m_customTable->getColumnNameVector(out);
}

bool DoeCustomDesignManager::getDesignEvaluation(DoeDesignEvaluation& out, QString& err) const
{
    if (!m_customTable) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    return evaluateDesign(m_customTable->columns(), m_customTable->rows(), m_models.terms(), m_evaluationSetting,
                          out, err);
}

bool DoeCustomDesignManager::setDesignEvaluationSetting(DoeDesignEvaluationSetting& s, QString& err)
{
    if (!checkEvaluationSetting(s, err)) {
        s = m_evaluationSetting;
        return false;
    }
    m_evaluationSetting = s;
    return true;
}

void DoeCustomDesignManager::backGenTableData()
{
    m_snapshot.general = m_general;
    m_snapshot.aliasOptimal = m_aliasOptimal;
    m_snapshot.responses = m_responses;
    m_snapshot.factors = m_factors;
    m_snapshot.models = m_models;
    m_snapshot.making = m_making;
    m_snapshot.after = m_after;
    m_snapshot.paramDefinitions = m_paramDefinitions;
    m_snapshot.structure = m_structure;
    m_snapshot.table.reset(m_customTable ? m_customTable->clone() : nullptr);
}

void DoeCustomDesignManager::useBackGenTableData()
{
    restoreSettings(m_snapshot.general, m_snapshot.making, m_snapshot.after);
    m_aliasOptimal = m_snapshot.aliasOptimal;
    m_responses = m_snapshot.responses;
    m_factors = m_snapshot.factors;
    m_models = m_snapshot.models;
    m_paramDefinitions = m_snapshot.paramDefinitions;
    m_structure = m_snapshot.structure;
    // The table copy moves back, so a second restore without a new snapshot leaves no table.
    m_customTable = std::move(m_snapshot.table);
    m_snapshot.table.reset();
}

}  // namespace doeBussiness
