#pragma once
// Custom-design state: the general, making and output settings, the factor and response
// registry, the custom-design model terms, and (added by the generation code) the custom-design
// table, the simulator parameter definitions and the snapshot the wizard restores on cancel.
#include <QList>
#include <QString>

#include <memory>

#include "DoeDesignComparison.h"
#include "DoeDesignRecords.h"
#include "DoeDesignStores.h"
#include "DoeDesignStructure.h"
#include "DoeModelList.h"
#include "DoeZelParamDefinition.h"
#include "plan_core_global.h"

namespace doeBussiness {

class DoeTableManager;

class PLAN_CORE_EXPORT DoeCustomDesignManager
{
public:
    DoeCustomDesignManager();
    ~DoeCustomDesignManager();
    DoeCustomDesignManager(const DoeCustomDesignManager&) = delete;
    DoeCustomDesignManager& operator=(const DoeCustomDesignManager&) = delete;

    // ---- factor and response registry ----
    bool addFactorData(EDoeFactorRole role, int levels, DoeDesignFactor& out, QString& err);
    bool setFactorData(const QString& oldName, DoeDesignFactor& inOut, QString& err);
    bool deleteFactorData(const QString& name, QString& err);
    bool getFactorDataByName(const QString& name, DoeDesignFactor& out, QString& err) const;
    void getFactorDataNameList(QList<QString>& out) const { out = m_factors.names(); }

    bool addResponseData(EDoeResponseGoal goal, DoeDesignResponse& out, QString& err);
    bool setResponseData(const QString& oldName, DoeDesignResponse& inOut, QString& err);
    bool deleteResponseData(const QString& name, QString& err);
    bool getResponseDataByName(const QString& name, DoeDesignResponse& out, QString& err) const;
    void getResponseDataNameList(QList<QString>& out) const { out = m_responses.names(); }

    // Whole stores, for the file readers and writers and the snapshot.
    const DoeFactorStore& factorStore() const { return m_factors; }
    const DoeResponseStore& responseStore() const { return m_responses; }
    void setFactorStore(const DoeFactorStore& store) { m_factors = store; }
    void setResponseStore(const DoeResponseStore& store) { m_responses = store; }

    // ---- settings ----
    const DoeDesignGeneralSetting& generalSetting() const { return m_general; }
    const DoeDesignMakingSetting& makingSetting() const { return m_making; }
    const DoeDesignAfterSetting& afterSetting() const { return m_after; }
    bool setGeneralSetting(const DoeDesignGeneralSetting& s, QString& err);
    bool setMakingSetting(const DoeDesignMakingSetting& s, QString& err);
    bool setAfterSetting(const DoeDesignAfterSetting& s, QString& err);
    // Alias-optimal designs when the model has If Possible terms (off: Bayesian D-optimal).
    void setAliasOptimal(bool on) { m_aliasOptimal = on; }
    bool aliasOptimal() const { return m_aliasOptimal; }
    // Stores settings without validation (snapshot restore).
    void restoreSettings(const DoeDesignGeneralSetting& g, const DoeDesignMakingSetting& m,
                         const DoeDesignAfterSetting& a);

    // Decimal unsigned 32-bit text: digits only, 0 to 4294967295.
    static bool parseUnsigned32(const QString& text, quint32& value);

    // ---- model terms ----
    DoeModelList& modelList() { return m_models; }
    const DoeModelList& modelList() const { return m_models; }
    void genModelMainEffect();
    void genModelRsm();
    // The list's add and set, refusing a term the design cannot use: an empty one ("Term is
    // empty\n"), a factor to a power above 3 ("Powers above 3 are not supported\n"), or the cube of
    // a factor that is not continuous ("Cubic terms need a continuous factor\n").
    bool addModelTerm(DoeDesignModel& m, QString& err);
    bool setModelTerm(int idx, DoeDesignModel& m, QString& err);
    void mendModelForFactors(const QList<QString>& factorsBefore);
    // Model page: each adds the missing terms (Necessary) and returns false with the messages of
    // a refused argument or term; the other terms are still added.
    bool addInteractionTerms(const QStringList& factors, int order, QString& err);
    bool addPowerTerms(const QStringList& factors, int power, QString& err);
    bool addCrossTerms(const QStringList& factors, const QList<int>& termIndices, QString& err);
    // Removes the terms at `indices`, all but the intercept ("Intercept cannot be removed\n");
    // nothing when an index is out of range ("Invalid index\n").
    bool removeModelTerms(const QList<int>& indices, QString& err);

    // ---- generation, custom-design table, snapshot and simulator definitions ----
    // Minimum run count from the engine, stored as both run counts of the making setting.
    bool genDoeMinNum(doeFunc::DoeFunctionManager* engine, QString& err);
    // Generates the runs into a new custom-design table (left empty when generation fails).
    bool genDoeTableForCustomDesign(doeFunc::DoeFunctionManager* engine, QString& err);
    const DoeTableManager* customTable() const { return m_customTable.get(); }
    void getTableSizeForCustomDesign(int& rows, int& cols) const;
    bool getTableDataByRowForCustomDesign(int row, QVector<QString>& out, QString& err) const;
    void getColumnNameVectorForCustomDesign(QVector<QString>& out) const;
    void backGenTableData();
    void useBackGenTableData();
    const DoeParamDefinitionList& paramDefinitions() const { return m_paramDefinitions; }
    void setParamDefinitions(const DoeParamDefinitionList& defs) { m_paramDefinitions = defs; }

    // ---- evaluation of the custom-design table for the custom-design model ----
    bool getDesignEvaluation(DoeDesignEvaluation& out, QString& err) const;
    const DoeDesignEvaluationSetting& designEvaluationSetting() const { return m_evaluationSetting; }
    bool setDesignEvaluationSetting(DoeDesignEvaluationSetting& s, QString& err);

    // ---- whole plots, whole-whole plots and blocks ----
    const DoeDesignStructureSetting& designStructureSetting() const { return m_structure; }
    // "Invalid Value\n" and the stored record written back on refusal.
    bool setDesignStructureSetting(DoeDesignStructureSetting& s, QString& err);
    // The engine's proposal from the latest minimum run count, at most `runs`; -1 when none.
    void proposedWholePlots(int runs, int& wholePlots, int& wholeWholePlots) const;

    // ---- augmenting a design table (DoeCustomDesignManager_augment.cpp) ----
    // Factors and responses from the table's columns (continuous ranges from the values in the
    // runs, levels as the column holds them); main effects as the model.
    bool loadFactorsFromTable(const DoeTableManager& table, QString& err);
    // Runs to add so that the model's Necessary terms (and the block) become estimable; -1 on error.
    int augmentMinimumRuns(const DoeTableManager& table, bool addBlock, QString& err) const;
    // The table's runs kept first and fixed, addRuns more searched by the engine for the model;
    // `out` receives the whole table, and the custom-design table its factor columns.
    bool augmentTable(doeFunc::DoeFunctionManager* engine, const DoeTableManager& table, int addRuns,
                      bool addBlock, DoeTableManager& out, QString& err);
    // The table followed by its mirror image in every factor (empty name) or in one factor.
    bool foldOverTable(const DoeTableManager& table, const QString& factor, bool addBlock,
                       DoeTableManager& out, QString& err);

    // ---- designs kept for comparison ----
    // "D-optimal" or "I-optimal": what the design search is asked to optimise.
    QString designCriterionName() const;
    QList<DoeKeptDesignEvaluation>& keptEvaluations() { return m_keptEvaluations; }
    const QList<DoeKeptDesignEvaluation>& keptEvaluations() const { return m_keptEvaluations; }

private:
    // Per registry factor its changes (0 Easy, 1 Hard, 2 Very Hard).
    QVector<int> factorChanges() const;
    // Hands the run structure to an engine that takes it; false with a message when the counts
    // do not fit `runs` (runs < 0: not checked).
    bool passRunStructure(doeFunc::DoeFunctionManager* engine, int runs, QString& err) const;
    // Appends "Whole Plots", "Whole-Whole Plots" and "Block" columns for the generated rows.
    void addStructureColumns(doeFunc::DoeFunctionManager* engine, int rows);

    DoeDesignStructureSetting m_structure;
    int m_proposedWholePlots = -1;
    int m_proposedWholeWholePlots = -1;

    // Powers per registry factor of each non-intercept model term, with its Necessary flag.
    bool designTermPowers(QVector<QVector<int>>& powers, QVector<bool>& necessary, bool& hasSquare,
                          QString& err) const;
    // Hands the model terms and the criterion to an engine that takes them.
    bool passDesignModel(doeFunc::DoeFunctionManager* engine, QString& err) const;
    // Feeds the factors to the engine's default slot; `fed` receives them in feeding order.
    bool feedFactors(doeFunc::DoeFunctionManager* engine, QList<DoeDesignFactor>* fed, QString& err) const;
    // Appends the making setting's center points (but the `centresSearched` the search held) and
    // replicated runs to the generated table.
    bool addRunsToDesign(const QList<DoeDesignFactor>& fed, int centresSearched, QString& err);
    // The number of centre points the search keeps fixed among its runs (0: they are added after
    // it), and feeding them to the engine as rows runs .. runs + count - 1.
    int centresInSearch(doeFunc::DoeFunctionManager* engine, int runs) const;
    bool feedCentrePoints(doeFunc::DoeFunctionManager* engine, const QList<DoeDesignFactor>& fed, int runs,
                          int count) const;

    struct GenerationSnapshot
    {
        DoeDesignGeneralSetting general;
        bool aliasOptimal = false;
        DoeResponseStore responses;
        DoeFactorStore factors;
        DoeModelList models;
        DoeDesignMakingSetting making;
        DoeDesignAfterSetting after;
        DoeParamDefinitionList paramDefinitions;
        DoeDesignStructureSetting structure;
        std::shared_ptr<DoeTableManager> table;
    };
    std::shared_ptr<DoeTableManager> m_customTable;
    DoeParamDefinitionList m_paramDefinitions;
    GenerationSnapshot m_snapshot;
    DoeDesignEvaluationSetting m_evaluationSetting;
    QList<DoeKeptDesignEvaluation> m_keptEvaluations;

public:
    // ---- end of generation, custom-design table, snapshot and simulator definitions ----

private:
    // Re-flags the existing one-name terms of stored factors; `rsm` gives continuous ones 0x20.
    void reflagMainEffects(bool rsm);
    bool checkFactorNames(const QStringList& names, QString& err) const;
    bool addBuiltTerms(const QList<QStringList>& terms, QString& err);

    DoeDesignGeneralSetting m_general;
    DoeResponseStore m_responses;
    DoeFactorStore m_factors;
    DoeModelList m_models;
    DoeDesignMakingSetting m_making;
    DoeDesignAfterSetting m_after;
    bool m_aliasOptimal = false;
};

}  // namespace doeBussiness
