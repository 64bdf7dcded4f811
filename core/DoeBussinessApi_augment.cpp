// Facade: augmenting the design table with new runs, and its fold-over.
#include "DoeBussinessApi.h"
#include "DoeCustomDesignManager.h"
#include "DoeFitModelManager.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace {
const QString kNoAugmentTable = QStringLiteral("Table doesn't exist\n");
}

bool DoeBussinessApi::prepareAugmentDesign(QString& err)
{
    if (!m_tableManager || !m_customDesignManager) {
        err += kNoAugmentTable;
        return false;
    }
    return m_customDesignManager->loadFactorsFromTable(*m_tableManager, err);
}

int DoeBussinessApi::augmentMinimumRuns(bool addBlock, QString& err)
{
    if (!m_tableManager || !m_customDesignManager) {
        err += kNoAugmentTable;
        return -1;
    }
    return m_customDesignManager->augmentMinimumRuns(*m_tableManager, addBlock, err);
}

bool DoeBussinessApi::augmentDesign(int addRuns, bool addBlock, QString& err)
{
    if (!m_tableManager || !m_customDesignManager) {
        err += kNoAugmentTable;
        return false;
    }
    DoeTableManager result;
    if (!m_customDesignManager->augmentTable(
            m_functionManager, *m_tableManager, addRuns, addBlock, result, err))
        return false;
    _replaceTableAfterAugment(result);
    return true;
}

bool DoeBussinessApi::foldOverDesign(const QString& factor, QString& err)
{
    return foldOverDesign(factor, false, err);
}

bool DoeBussinessApi::foldOverDesign(const QString& factor, bool addBlock, QString& err)
{
    if (!m_tableManager || !m_customDesignManager) {
        err += kNoAugmentTable;
        return false;
    }
    DoeTableManager result;
    if (!m_customDesignManager->foldOverTable(*m_tableManager, factor, addBlock, result, err))
        return false;
    _replaceTableAfterAugment(result);
    return true;
}

void DoeBussinessApi::_replaceTableAfterAugment(DoeTableManager& result)
{
    // The rows changed, so every fit of the old table goes; definitions stay with the table.
    _discardFit();
    m_tableManager->clearAllAnalysisData();
    m_tableManager->takeContentFrom(result);
    if (m_fitModelManager) {
        m_fitModelManager->reset();
        m_fitModelManager->setModelList(m_customDesignManager->modelList());
        QList<QString> responses;
        m_customDesignManager->getResponseDataNameList(responses);
        QString ignored;
        m_fitModelManager->setModelResponseList(responses, m_tableManager, ignored);
    }
}

} // namespace doeBussiness
