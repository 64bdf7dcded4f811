// Facade operations of custom design generation, the design table and the data files: each checks
// the member it needs and forwards to it.
#include "DoeBussinessApi.h"

#include <new>

#include "DoeCommon.h"

#include "DoeCustomDesignManager.h"
#include "DoeFileManager.h"
#include "DoeFitModelManager.h"
#include "DoeFunctionManager.h"
#include "DoeRunOrder.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace {

const QString kNoTable = QStringLiteral("Table doesn't exist\n");
const QString kUnknown = QStringLiteral("Unknown error\n");

}  // namespace

bool DoeBussinessApi::genDoeMinNum(QString& err)
{
    if (!m_functionManager || !m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return m_customDesignManager->genDoeMinNum(m_functionManager, err);
}

bool DoeBussinessApi::genDoeTableForCustomDesign(QString& err)
{
    if (!m_functionManager || !m_customDesignManager)
        return false;
    return m_customDesignManager->genDoeTableForCustomDesign(m_functionManager, err);
}

void DoeBussinessApi::mendModelForFactorsForCustomDesign(const QList<QString>& factorsBefore)
{
    if (m_customDesignManager)
        m_customDesignManager->mendModelForFactors(factorsBefore);
}

bool DoeBussinessApi::getDesignEvaluation(DoeDesignEvaluation& out, QString& err) const
{
    if (!m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return m_customDesignManager->getDesignEvaluation(out, err);
}

void DoeBussinessApi::getDesignEvaluationSetting(DoeDesignEvaluationSetting& s) const
{
    if (m_customDesignManager)
        s = m_customDesignManager->designEvaluationSetting();
}

bool DoeBussinessApi::setDesignEvaluationSetting(DoeDesignEvaluationSetting& s, QString& err)
{
    if (!m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return m_customDesignManager->setDesignEvaluationSetting(s, err);
}

void DoeBussinessApi::getDesignStructureSetting(DoeDesignStructureSetting& s) const
{
    if (m_customDesignManager)
        s = m_customDesignManager->designStructureSetting();
}

bool DoeBussinessApi::setDesignStructureSetting(DoeDesignStructureSetting& s, QString& err)
{
    if (!m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return m_customDesignManager->setDesignStructureSetting(s, err);
}

void DoeBussinessApi::getProposedWholePlots(int runs, int& wholePlots, int& wholeWholePlots) const
{
    wholePlots = wholeWholePlots = -1;
    if (m_customDesignManager)
        m_customDesignManager->proposedWholePlots(runs, wholePlots, wholeWholePlots);
}

double DoeBussinessApi::designProgress() const
{
    return m_functionManager ? m_functionManager->generateProgress() : -1.0;
}

bool DoeBussinessApi::canCancelDesign() const
{
    return m_functionManager && m_functionManager->canCancelGenerate();
}

void DoeBussinessApi::cancelDesign()
{
    if (m_functionManager)
        m_functionManager->cancelGenerate();
}

bool DoeBussinessApi::designCancelled() const
{
    return m_functionManager && m_functionManager->generateCancelled();
}

void DoeBussinessApi::genDoeTableFromCustomDesign_Preparation()
{
    delete m_tableManager;
    m_tableManager = nullptr;
    const DoeTableManager* custom = m_customDesignManager ? m_customDesignManager->customTable() : nullptr;
    m_tableManager = custom ? custom->clone() : nullptr;
    if (!m_tableManager)
        m_tableManager = new DoeTableManager;
    _discardFit();
    if (m_fitModelManager)
        m_fitModelManager->reset();
    if (m_customDesignManager)
        m_tableManager->setParamDefinitions(m_customDesignManager->paramDefinitions());
}

bool DoeBussinessApi::genDoeTableFromCustomDesign_CheckInvalidRow(QString& err)
{
    if (!m_tableManager) {
        err += kNoTable;
        return false;
    }
    return m_tableManager->checkInvalidRows(err);
}

void DoeBussinessApi::genDoeTableFromCustomDesign_AfterCheck()
{
    if (!m_tableManager || !m_customDesignManager)
        return;
    QString ignored;
    m_tableManager->removeInvalidRows(ignored);

    QList<QString> responses;
    m_customDesignManager->getResponseDataNameList(responses);
    for (const QString& name : qAsConst(responses)) {
        DoeDesignResponse response;
        if (m_customDesignManager->getResponseDataByName(name, response, ignored))
            m_tableManager->addColumn(DoeDesignTableColumInfo(response));
    }
    // Random order keeps whole plots and blocks together when the design has them.
    if (m_customDesignManager->afterSetting().runOrder == 1 && !shuffleRowsKeepingPlots(*m_tableManager))
        m_tableManager->shuffleRows();

    if (m_fitModelManager) {
        m_fitModelManager->setModelList(m_customDesignManager->modelList());
        m_fitModelManager->setModelResponseList(responses, m_tableManager, ignored);
    }
}

void DoeBussinessApi::backGenTableData()
{
    if (m_customDesignManager)
        m_customDesignManager->backGenTableData();
}

void DoeBussinessApi::useBackGenTableData()
{
    if (m_customDesignManager)
        m_customDesignManager->useBackGenTableData();
}

void DoeBussinessApi::getTableSizeForCustomDesign(int& rows, int& cols) const
{
    if (m_customDesignManager)
        m_customDesignManager->getTableSizeForCustomDesign(rows, cols);
}

bool DoeBussinessApi::getTableDataByRowForCustomDesign(int row, QVector<QString>& out, QString& err) const
{
    if (!m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return m_customDesignManager->getTableDataByRowForCustomDesign(row, out, err);
}

void DoeBussinessApi::getColumnNameVectorForCustomDesign(QVector<QString>& out) const
{
    if (m_customDesignManager)
        m_customDesignManager->getColumnNameVectorForCustomDesign(out);
}

void DoeBussinessApi::getTableSize(int& rows, int& cols) const
{
    if (m_tableManager)
        m_tableManager->getTableSize(rows, cols);
}

bool DoeBussinessApi::getTableDataByRow(int row, QVector<QString>& out, QString& err) const
{
    if (!m_tableManager) {
        err += kNoTable;
        return false;
    }
    return m_tableManager->getTableDataByRow(row, out, err);
}

void DoeBussinessApi::getColumnNameVector(QVector<QString>& out) const
{
    if (m_tableManager)
        m_tableManager->getColumnNameVector(out);
}

void DoeBussinessApi::getColumnNameUnitVector(QVector<QString>& out) const
{
    if (m_tableManager)
        m_tableManager->getColumnNameUnitVector(out);
}

bool DoeBussinessApi::setSingleData(int row, int col, QString& value, QString& err)
{
    if (!m_tableManager) {
        err += kNoTable;
        return false;
    }
    return m_tableManager->setSingleData(row, col, value, err);
}

bool DoeBussinessApi::deleteTableRow(int row, QString& err)
{
    if (!m_tableManager) {
        err += kNoTable;
        return false;
    }
    return m_tableManager->deleteTableRow(row, err);
}

bool DoeBussinessApi::moveTableRow(int from, int to, QString& err)
{
    if (!m_tableManager) {
        err += kNoTable;
        return false;
    }
    return m_tableManager->moveTableRow(from, to, err);
}

void DoeBussinessApi::clearTableAndRegressionData()
{
    if (m_tableManager) {
        m_tableManager->clear();
        m_tableManager->setParamDefinitions(DoeParamDefinitionList());
    }
    _discardFit();
    if (m_fitModelManager)
        m_fitModelManager->reset();
}

namespace {

// File work that runs out of memory is refused with a message instead of ending the application.
template <typename Work>
bool guardMemory(QString& err, Work&& work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        err += QStringLiteral("File too large\n");
        return false;
    }
}

}  // namespace

// Table and result loads read into a fresh table first, so a file that cannot be read leaves the
// user's table, its analysis data and the fit model as they were.
bool DoeBussinessApi::loadDoeTableByPath(const QString& path, QString& err)
{
    if (!m_fileManager) {
        err += kUnknown;
        return false;
    }
    DoeTableManager loaded;
    if (!guardMemory(err, [&] { return m_fileManager->loadDoeTableByPath(path, loaded, err); }))
        return false;
    if (!m_tableManager)
        m_tableManager = new DoeTableManager;
    m_tableManager->takeContentFrom(loaded);
    _discardFit();
    if (m_fitModelManager)
        m_fitModelManager->reset();
    return true;
}

bool DoeBussinessApi::loadZelSimResultFile(const QString& path, QString& err)
{
    if (!loadDoeTableByPath(path, err))
        return false;
    m_tableManager->applyParamDefinitions();
    return true;
}

bool DoeBussinessApi::saveDoeTableByPath(const QString& path, QString& err) const
{
    if (!m_tableManager) {
        err += kNoTable;
        return false;
    }
    if (!m_fileManager) {
        err += kUnknown;
        return false;
    }
    return guardMemory(err, [&] { return m_fileManager->saveDoeTableByPath(path, *m_tableManager, err); });
}

bool DoeBussinessApi::saveZelBatchSimFile(const QString& path, QString& err)
{
    if (!m_tableManager) {
        err += kNoTable;
        return false;
    }
    if (!m_fileManager) {
        err += kUnknown;
        return false;
    }
    return guardMemory(err, [&] { return m_fileManager->saveZelBatchSimFile(path, *m_tableManager, err); });
}

bool DoeBussinessApi::loadFactorByPath(const QString& path, QString& err)
{
    QList<int> skipped;
    return loadFactorByPath(path, skipped, err);
}

bool DoeBussinessApi::loadFactorByPath(const QString& path, QList<int>& skippedLines, QString& err)
{
    if (!m_fileManager || !m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return guardMemory(
        err, [&] { return m_fileManager->loadFactorByPath(path, *m_customDesignManager, skippedLines, err); });
}

bool DoeBussinessApi::saveFactorByPath(const QString& path, QString& err) const
{
    if (!m_fileManager || !m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return guardMemory(err, [&] { return m_fileManager->saveFactorByPath(path, *m_customDesignManager, err); });
}

bool DoeBussinessApi::loadResponseByPath(const QString& path, QString& err)
{
    QList<int> skipped;
    return loadResponseByPath(path, skipped, err);
}

bool DoeBussinessApi::loadResponseByPath(const QString& path, QList<int>& skippedLines, QString& err)
{
    if (!m_fileManager || !m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return guardMemory(
        err, [&] { return m_fileManager->loadResponseByPath(path, *m_customDesignManager, skippedLines, err); });
}

bool DoeBussinessApi::saveResponseByPath(const QString& path, QString& err) const
{
    if (!m_fileManager || !m_customDesignManager) {
        err += kUnknown;
        return false;
    }
    return guardMemory(err, [&] { return m_fileManager->saveResponseByPath(path, *m_customDesignManager, err); });
}

QString DoeBussinessApi::skippedLinesText(const QList<int>& skippedLines)
{
    return DoeFileManager::skippedLinesText(skippedLines);
}

bool DoeBussinessApi::loadZelParamDefFile(const QString& path, bool factorsOnly, QString& err)
{
    if (!m_customDesignManager || !m_fileManager) {
        err += kUnknown;
        return false;
    }
    DoeParamDefinitionList defs;
    if (!guardMemory(err, [&] { return m_fileManager->loadZelParamDefFile(path, defs, err); }))
        return false;

    m_customDesignManager->setFactorStore(DoeFactorStore());
    m_customDesignManager->setParamDefinitions(defs);
    for (const DoeParamDefinition& def : qAsConst(defs)) {
        for (const QString& name : def.paramNames) {
            QStringList values = def.paramValues.value(name);
            DoeCommon::removeListSame(values);
            DoeDesignFactor factor;
            if (!m_customDesignManager->addFactorData(Categorical, values.size(), factor, err))
                continue;
            const QString generated = factor.name;
            factor.name = name;
            factor.values = values;
            if (!m_customDesignManager->setFactorData(generated, factor, err)) {
                QString ignored;
                m_customDesignManager->deleteFactorData(generated, ignored);
            }
        }
    }
    if (!factorsOnly) {
        if (!m_tableManager)
            m_tableManager = new DoeTableManager;
        m_tableManager->setParamDefinitions(m_customDesignManager->paramDefinitions());
        m_tableManager->applyParamDefinitions();
    }
    return true;
}

}  // namespace doeBussiness
