#pragma once
// The business facade: the one object through which dialogs read and change design data and run
// analyses. It owns the file manager, the engine link, the design table, the custom-design state
// and the fit-model state, and forwards each operation to the member that owns the data.
// Operations that can fail return bool (or an int status) and append one message per failure,
// ending in a newline, to the caller's QString; success leaves that string untouched.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include "DoeDesignRecords.h"
#include "plan_core_global.h"

namespace doeFunc {
class DoeFunctionManager;
}

namespace doeBussiness {

class DoeFileManager;
class DoeTableManager;
class DoeCustomDesignManager;
class DoeFitModelManager;
class DoeBussinessApiTestAccess;

class PLAN_CORE_EXPORT DoeBussinessApi
{
public:
    DoeBussinessApi();
    ~DoeBussinessApi();
    DoeBussinessApi(const DoeBussinessApi&) = delete;
    DoeBussinessApi& operator=(const DoeBussinessApi&) = delete;

    // ---- factors, responses, model terms and settings ----
    bool addFactorData(EDoeFactorRole role, int levels, DoeDesignFactor& out, QString& err);
    bool setFactorData(const QString& oldName, DoeDesignFactor& inOut, QString& err);
    bool deleteFactorData(const QString& name, QString& err);
    bool getFactorDataByName(const QString& name, DoeDesignFactor& out, QString& err) const;
    void getFactorDataNameList(QList<QString>& out) const;

    bool addResponseData(EDoeResponseGoal goal, DoeDesignResponse& out, QString& err);
    bool setResponseData(const QString& oldName, DoeDesignResponse& inOut, QString& err);
    bool deleteResponseData(const QString& name, QString& err);
    bool getResponseDataByName(const QString& name, DoeDesignResponse& out, QString& err) const;
    void getResponseDataNameList(QList<QString>& out) const;

    bool addModelDataForCustomDesign(DoeDesignModel& m, QString& err);
    bool addModelInterceptDataForCustomDesign(DoeDesignModel& m, QString& err);
    bool setModelDataForCustomDesign(int idx, DoeDesignModel& m, QString& err);
    bool deleteModelDataForCustomDesign(int idx, QString& err);
    bool getModelDataByIdxForCustomDesign(int idx, DoeDesignModel& out, QString& err) const;
    int getModelDataSizeForCustomDesign() const;
    int getModelInterceptDataIdxForCustomDesign() const;
    void clearModelDataForCustomDesign();
    void genModelForCustomDesign_MainEffect();
    void genModelForCustomDesign_RSM();

    void getDoeDesignGeneralSetting(DoeDesignGeneralSetting& s) const;
    void getDoeDesignMakingSetting(DoeDesignMakingSetting& s) const;
    void getDoeDesignAfterSetting(DoeDesignAfterSetting& s) const;
    bool setDoeDesignGeneralSetting(const DoeDesignGeneralSetting& s, QString& err);
    bool setDoeDesignMakingSetting(const DoeDesignMakingSetting& s, QString& err);
    bool setDoeDesignAfterSetting(const DoeDesignAfterSetting& s, QString& err);

    // ---- custom design generation, design table and files ----
    // ---- end of custom design generation, design table and files ----

    // ---- fit model settings ----
    EDoeFitModel_Personality getFitModel_Personality() const;
    bool setFitModel_Personality(EDoeFitModel_Personality& p, QString& err);
    EDoeFitModel_Emphasis getFitModel_Emphasis() const;
    bool setFitModel_Emphasis(EDoeFitModel_Emphasis& e, QString& err);

    bool addModelDataForFitModel(DoeDesignModel& m, QString& err);
    bool setModelDataForFitModel(int idx, DoeDesignModel& m, QString& err);
    bool deleteModelDataForFitModel(int idx, QString& err);
    bool getModelDataByIdxForFitModel(int idx, DoeDesignModel& m, QString& err) const;
    int getModelDataSizeForFitModel() const;

    void getModelFactorList(QList<QString>& out) const;
    void getModelResponseList(QList<QString>& out) const;
    bool setModelResponseList(const QList<QString>& names, QString& err);
    bool removeResponseListSingleData(const QString& name, QString& err);

    bool genModel_RSM_ByGivenList(const QStringList& names, QString& err);
    bool genModel_RSM_ByGivenListAndClearOld(const QStringList& names, QString& err);
    // ---- end of fit model settings ----

    // ---- regression, stepwise, Monte Carlo and sensitivity ----
    // ---- end of regression, stepwise, Monte Carlo and sensitivity ----

private:
    void _genModel_RSM_ByGivenList(const QStringList& names);

    friend class DoeBussinessApiTestAccess;

    DoeFileManager* m_fileManager = nullptr;
    doeFunc::DoeFunctionManager* m_functionManager = nullptr;
    DoeTableManager* m_tableManager = nullptr;
    DoeCustomDesignManager* m_customDesignManager = nullptr;
    DoeFitModelManager* m_fitModelManager = nullptr;
};

}  // namespace doeBussiness
