#pragma once
// Fit-model state: personality, report emphasis, the model terms, the model response and factor
// lists, and (added by the analysis code) the stepwise and Monte Carlo settings per response slot.
#include <QList>
#include <QString>
#include <QStringList>

#include "DoeDesignRecords.h"
#include "DoeModelList.h"
#include "DoeRegressionSlotSettings.h"
#include "plan_core_global.h"

namespace doeBussiness {

class DoeTableManager;

class PLAN_CORE_EXPORT DoeFitModelManager
{
public:
    DoeFitModelManager();
    ~DoeFitModelManager();

    EDoeFitModel_Personality personality() const { return m_personality; }
    EDoeFitModel_Emphasis emphasis() const { return m_emphasis; }
    bool setPersonality(EDoeFitModel_Personality& p, QString& err);
    bool setEmphasis(EDoeFitModel_Emphasis& e, QString& err);
    // True once a personality was stored through setPersonality, until reset().
    bool personalityChosen() const { return m_personalityChosen; }

    // Term operations by public index: the intercept is skipped (see listPosition).
    bool addModelData(DoeDesignModel& m, QString& err);
    bool setModelData(int idx, DoeDesignModel& m, QString& err);
    bool deleteModelData(int idx, QString& err);
    bool getModelDataByIdx(int idx, DoeDesignModel& m, QString& err) const;
    // Number of terms without the intercept (all terms when there is none).
    int getModelDataSize() const;
    // List position of public index `idx`; out-of-range indices map to out-of-range positions.
    int listPosition(int idx) const;

    const QList<QString>& modelFactorList() const { return m_factorList; }
    const QList<QString>& modelResponseList() const { return m_responseList; }
    // Appends new names that are columns of `table`, keeping at most one response.
    bool setModelResponseList(const QList<QString>& names, const DoeTableManager* table, QString& err);
    bool removeResponseListSingleData(const QString& name, QString& err);
    // Whether the response list may hold several responses; off keeps only the first.
    bool severalResponses() const { return m_severalResponses; }
    void setSeveralResponses(bool on);

    // Response-surface terms for the given table columns; the first re-flags kept main effects,
    // the second empties the list first.
    bool genModelRsmByGivenList(const QStringList& names, const DoeTableManager* table, QString& err);
    bool genModelRsmByGivenListAndClearOld(const QStringList& names, const DoeTableManager* table, QString& err);

    // The term generation itself: main effects of `names`, then their squares and pairs.
    void generateRsmTerms(const QStringList& names, const DoeTableManager& table);
    // A main effect of a "Whole Plots" or "Whole-Whole Plots" column: random by default.
    static bool isWholePlotTerm(const DoeDesignModel& m);

    DoeModelList& modelList() { return m_models; }
    const DoeModelList& modelList() const { return m_models; }
    // Takes a copy of `models` as the term list and recomputes the factor list.
    void setModelList(const DoeModelList& models);
    void refreshModelFactorList();

    // Back to the cleared state: personality 0, emphasis 1, no terms (not even the intercept),
    // empty response and factor lists, no per-slot settings.
    void reset();

    // ---- per-slot stepwise and Monte Carlo settings ----
    // Empties every per-slot setting; called by reset().
    void clearSlotSettings() { m_slotSettings.clear(); }
    DoeRegressionSlotSettings& slotSettings() { return m_slotSettings; }
    const DoeRegressionSlotSettings& slotSettings() const { return m_slotSettings; }

private:
    DoeRegressionSlotSettings m_slotSettings;

public:
    // ---- end of per-slot stepwise and Monte Carlo settings ----

private:
    bool checkColumns(const QStringList& names, const DoeTableManager* table, QString& err) const;

    EDoeFitModel_Personality m_personality = StandardLeastSquares;
    EDoeFitModel_Emphasis m_emphasis = EffectScreening;
    bool m_personalityChosen = false;
    DoeModelList m_models;
    QList<QString> m_responseList;
    QList<QString> m_factorList;
    bool m_severalResponses = true;
};

}  // namespace doeBussiness
