#include "DoeBussinessApi.h"

#include "DoeCustomDesignManager.h"
#include "DoeFileManager.h"
#include "DoeFitModelManager.h"
#include "DoeFunctionManager.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace {

const QString kNoRegressionSetting = QStringLiteral("No Regression Setting\n");

}  // namespace

DoeBussinessApi::DoeBussinessApi()
{
    m_fileManager = new DoeFileManager();
    m_functionManager = new doeFunc::DoeFunctionManager();
    m_tableManager = new DoeTableManager();
    m_customDesignManager = new DoeCustomDesignManager();
    m_fitModelManager = new DoeFitModelManager();
}

DoeBussinessApi::~DoeBussinessApi()
{
    delete m_customDesignManager;
    m_customDesignManager = nullptr;
    delete m_tableManager;
    m_tableManager = nullptr;
    delete m_fitModelManager;
    m_fitModelManager = nullptr;
    delete m_fileManager;
    m_fileManager = nullptr;
    delete m_functionManager;
    m_functionManager = nullptr;
}

// ---- factors, responses, model terms and settings ----

bool DoeBussinessApi::addFactorData(EDoeFactorRole role, int levels, DoeDesignFactor& out, QString& err)
{
    return m_customDesignManager->addFactorData(role, levels, out, err);
}

bool DoeBussinessApi::setFactorData(const QString& oldName, DoeDesignFactor& inOut, QString& err)
{
    return m_customDesignManager->setFactorData(oldName, inOut, err);
}

bool DoeBussinessApi::deleteFactorData(const QString& name, QString& err)
{
    return m_customDesignManager->deleteFactorData(name, err);
}

bool DoeBussinessApi::getFactorDataByName(const QString& name, DoeDesignFactor& out, QString& err) const
{
    return m_customDesignManager->getFactorDataByName(name, out, err);
}

void DoeBussinessApi::getFactorDataNameList(QList<QString>& out) const
{
    m_customDesignManager->getFactorDataNameList(out);
}

bool DoeBussinessApi::addResponseData(EDoeResponseGoal goal, DoeDesignResponse& out, QString& err)
{
    return m_customDesignManager->addResponseData(goal, out, err);
}

bool DoeBussinessApi::setResponseData(const QString& oldName, DoeDesignResponse& inOut, QString& err)
{
    return m_customDesignManager->setResponseData(oldName, inOut, err);
}

bool DoeBussinessApi::deleteResponseData(const QString& name, QString& err)
{
    return m_customDesignManager->deleteResponseData(name, err);
}

bool DoeBussinessApi::getResponseDataByName(const QString& name, DoeDesignResponse& out, QString& err) const
{
    return m_customDesignManager->getResponseDataByName(name, out, err);
}

void DoeBussinessApi::getResponseDataNameList(QList<QString>& out) const
{
    m_customDesignManager->getResponseDataNameList(out);
}

bool DoeBussinessApi::addModelDataForCustomDesign(DoeDesignModel& m, QString& err)
{
    return m_customDesignManager->addModelTerm(m, err);
}

bool DoeBussinessApi::addModelInterceptDataForCustomDesign(DoeDesignModel& m, QString& err)
{
    return m_customDesignManager->modelList().addIntercept(m, err);
}

bool DoeBussinessApi::setModelDataForCustomDesign(int idx, DoeDesignModel& m, QString& err)
{
    return m_customDesignManager->setModelTerm(idx, m, err);
}

bool DoeBussinessApi::deleteModelDataForCustomDesign(int idx, QString& err)
{
    return m_customDesignManager->modelList().remove(idx, err);
}

bool DoeBussinessApi::getModelDataByIdxForCustomDesign(int idx, DoeDesignModel& out, QString& err) const
{
    return m_customDesignManager->modelList().get(idx, out, err);
}

int DoeBussinessApi::getModelDataSizeForCustomDesign() const { return m_customDesignManager->modelList().size(); }

int DoeBussinessApi::getModelInterceptDataIdxForCustomDesign() const
{
    return m_customDesignManager->modelList().interceptIndex();
}

void DoeBussinessApi::clearModelDataForCustomDesign() { m_customDesignManager->modelList().clear(); }

void DoeBussinessApi::genModelForCustomDesign_MainEffect() { m_customDesignManager->genModelMainEffect(); }

void DoeBussinessApi::genModelForCustomDesign_RSM() { m_customDesignManager->genModelRsm(); }

void DoeBussinessApi::getDoeDesignGeneralSetting(DoeDesignGeneralSetting& s) const
{
    s = m_customDesignManager->generalSetting();
}

void DoeBussinessApi::getDoeDesignMakingSetting(DoeDesignMakingSetting& s) const
{
    s = m_customDesignManager->makingSetting();
}

void DoeBussinessApi::getDoeDesignAfterSetting(DoeDesignAfterSetting& s) const
{
    s = m_customDesignManager->afterSetting();
}

bool DoeBussinessApi::setDoeDesignGeneralSetting(const DoeDesignGeneralSetting& s, QString& err)
{
    return m_customDesignManager->setGeneralSetting(s, err);
}

bool DoeBussinessApi::setDoeDesignMakingSetting(const DoeDesignMakingSetting& s, QString& err)
{
    return m_customDesignManager->setMakingSetting(s, err);
}

bool DoeBussinessApi::setDoeDesignAfterSetting(const DoeDesignAfterSetting& s, QString& err)
{
    return m_customDesignManager->setAfterSetting(s, err);
}

// ---- fit model settings ----

EDoeFitModel_Personality DoeBussinessApi::getFitModel_Personality() const
{
    return m_fitModelManager ? m_fitModelManager->personality() : static_cast<EDoeFitModel_Personality>(-1);
}

bool DoeBussinessApi::setFitModel_Personality(EDoeFitModel_Personality& p, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->setPersonality(p, err);
}

EDoeFitModel_Emphasis DoeBussinessApi::getFitModel_Emphasis() const
{
    return m_fitModelManager ? m_fitModelManager->emphasis() : static_cast<EDoeFitModel_Emphasis>(-1);
}

bool DoeBussinessApi::setFitModel_Emphasis(EDoeFitModel_Emphasis& e, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->setEmphasis(e, err);
}

bool DoeBussinessApi::addModelDataForFitModel(DoeDesignModel& m, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->addModelData(m, err);
}

bool DoeBussinessApi::setModelDataForFitModel(int idx, DoeDesignModel& m, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->setModelData(idx, m, err);
}

bool DoeBussinessApi::deleteModelDataForFitModel(int idx, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->deleteModelData(idx, err);
}

bool DoeBussinessApi::getModelDataByIdxForFitModel(int idx, DoeDesignModel& m, QString& err) const
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->getModelDataByIdx(idx, m, err);
}

int DoeBussinessApi::getModelDataSizeForFitModel() const
{
    return m_fitModelManager ? m_fitModelManager->getModelDataSize() : -1;
}

void DoeBussinessApi::getModelFactorList(QList<QString>& out) const
{
    if (m_fitModelManager)
        out = m_fitModelManager->modelFactorList();
}

void DoeBussinessApi::getModelResponseList(QList<QString>& out) const
{
    if (m_fitModelManager)
        out = m_fitModelManager->modelResponseList();
}

bool DoeBussinessApi::setModelResponseList(const QList<QString>& names, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->setModelResponseList(names, m_tableManager, err);
}

bool DoeBussinessApi::removeResponseListSingleData(const QString& name, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->removeResponseListSingleData(name, err);
}

bool DoeBussinessApi::genModel_RSM_ByGivenList(const QStringList& names, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->genModelRsmByGivenList(names, m_tableManager, err);
}

bool DoeBussinessApi::genModel_RSM_ByGivenListAndClearOld(const QStringList& names, QString& err)
{
    if (!m_fitModelManager) {
        err += kNoRegressionSetting;
        return false;
    }
    return m_fitModelManager->genModelRsmByGivenListAndClearOld(names, m_tableManager, err);
}

void DoeBussinessApi::_genModel_RSM_ByGivenList(const QStringList& names)
{
    if (m_fitModelManager && m_tableManager)
        m_fitModelManager->generateRsmTerms(names, *m_tableManager);
}

}  // namespace doeBussiness
