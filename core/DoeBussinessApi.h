#pragma once
// The business facade: the one object through which dialogs read and change design data and run
// analyses. It owns the file manager, the engine link, the design table, the custom-design state
// and the fit-model state, and forwards each operation to the member that owns the data.
// Operations that can fail return bool (or an int status) and append one message per failure,
// ending in a newline, to the caller's QString; success leaves that string untouched.
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include "DoeDesignComparison.h"
#include "DoeDesignRecords.h"
#include "DoeDesignStructure.h"
#include "DoeEffectTest.h"
#include "DoeJointDesirability.h"
#include "DoeVarianceComponent.h"
#include "DoeLackOfFit.h"
#include "DoeRegressionSlotSettings.h"
#include "DoeTableCellEdit.h"
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
    // After the factors changed since `factorsBefore`: drops the terms naming a factor no longer
    // stored and appends the main effects of the new factors; other terms keep their place and flags.
    void mendModelForFactorsForCustomDesign(const QList<QString>& factorsBefore);
    // Model page. Each adds the terms not yet present (Necessary, after the existing ones) and
    // returns false with the messages of a refused argument or term (the others are added).
    // Every interaction of `order` (2 to 5) among `factors`, or among all factors when empty.
    bool addInteractionModelDataForCustomDesign(const QStringList& factors, int order, QString& err);
    // Squares (power 2) of continuous and discrete numeric factors, or cubes (power 3) of
    // continuous ones; other factors in the list are skipped.
    bool addPowerModelDataForCustomDesign(const QStringList& factors, int power, QString& err);
    // Each term at `termIndices` times each factor; with no index, the product of the factors.
    bool addCrossModelDataForCustomDesign(const QStringList& factors, const QList<int>& termIndices,
                                          QString& err);
    // Removes the terms at `indices` except the intercept ("Intercept cannot be removed\n").
    bool removeModelDataListForCustomDesign(const QList<int>& indices, QString& err);

    void getDoeDesignGeneralSetting(DoeDesignGeneralSetting& s) const;
    void getDoeDesignMakingSetting(DoeDesignMakingSetting& s) const;
    void getDoeDesignAfterSetting(DoeDesignAfterSetting& s) const;
    bool setDoeDesignGeneralSetting(const DoeDesignGeneralSetting& s, QString& err);
    bool setDoeDesignMakingSetting(const DoeDesignMakingSetting& s, QString& err);
    bool setDoeDesignAfterSetting(const DoeDesignAfterSetting& s, QString& err);
    // Alias-optimal designs for models with If Possible terms: least aliasing of the Necessary
    // terms on them, keeping 80 % of the D-optimal Necessary D-efficiency. Off: Bayesian D.
    void setAliasOptimal(bool on);
    bool aliasOptimal() const;

    // ---- custom design generation, design table and files ----
    bool genDoeMinNum(QString& err);
    bool genDoeTableForCustomDesign(QString& err);
    // "Make Table": copy the custom-design table, check it against the parameter definitions,
    // then drop invalid rows, add response columns, apply the run order and prime the fit model.
    void genDoeTableFromCustomDesign_Preparation();
    bool genDoeTableFromCustomDesign_CheckInvalidRow(QString& err);
    void genDoeTableFromCustomDesign_AfterCheck();
    void backGenTableData();
    void useBackGenTableData();
    void getTableSizeForCustomDesign(int& rows, int& cols) const;
    bool getTableDataByRowForCustomDesign(int row, QVector<QString>& out, QString& err) const;
    void getColumnNameVectorForCustomDesign(QVector<QString>& out) const;

    void getTableSize(int& rows, int& cols) const;
    bool getTableDataByRow(int row, QVector<QString>& out, QString& err) const;
    void getColumnNameVector(QVector<QString>& out) const;
    void getColumnNameUnitVector(QVector<QString>& out) const;
    bool setSingleData(int row, int col, QString& value, QString& err);
    bool deleteTableRow(int row, QString& err);
    bool moveTableRow(int from, int to, QString& err);
    void clearTableAndRegressionData();

    // Loads keep the current table, its analysis data and the fit model when the file cannot be read.
    bool loadDoeTableByPath(const QString& path, QString& err);
    bool saveDoeTableByPath(const QString& path, QString& err) const;
    // Lines of a factor or response file that cannot be used are skipped; the overloads taking
    // `skippedLines` receive their 1-based line numbers, which skippedLinesText turns into
    // "line %1: fail to read\n" texts for the user.
    bool loadFactorByPath(const QString& path, QString& err);
    bool loadFactorByPath(const QString& path, QList<int>& skippedLines, QString& err);
    bool saveFactorByPath(const QString& path, QString& err) const;
    bool loadResponseByPath(const QString& path, QString& err);
    bool loadResponseByPath(const QString& path, QList<int>& skippedLines, QString& err);
    bool saveResponseByPath(const QString& path, QString& err) const;
    static QString skippedLinesText(const QList<int>& skippedLines);
    bool loadZelParamDefFile(const QString& path, bool factorsOnly, QString& err);
    bool saveZelBatchSimFile(const QString& path, QString& err);
    bool loadZelSimResultFile(const QString& path, QString& err);
    // ---- end of custom design generation, design table and files ----

    // ---- custom design evaluation and the running design search ----
    // Evaluates the custom-design table for the custom-design model; "Unknown error\n" without a table.
    bool getDesignEvaluation(DoeDesignEvaluation& out, QString& err) const;
    void getDesignEvaluationSetting(DoeDesignEvaluationSetting& s) const;
    // Refusal ("Invalid Value\n") writes the stored setting back into `s`.
    bool setDesignEvaluationSetting(DoeDesignEvaluationSetting& s, QString& err);
    // Whole plots, whole-whole plots, blocks and variance ratio of the next design; refusal
    // ("Invalid Value\n") writes the stored setting back into `s`.
    void getDesignStructureSetting(DoeDesignStructureSetting& s) const;
    bool setDesignStructureSetting(DoeDesignStructureSetting& s, QString& err);
    // The engine's proposed counts (at most `runs`) from the latest minimum run count; -1 when
    // there is none.
    void getProposedWholePlots(int runs, int& wholePlots, int& wholeWholePlots) const;
    // Progress (0..1, or -1 when unknown) and cancel of a genDoeTableForCustomDesign running on
    // another thread. A cancelled search keeps the best design found so far, or leaves none.
    double designProgress() const;
    bool canCancelDesign() const;
    void cancelDesign();
    // Whether the latest design search was cancelled.
    bool designCancelled() const;
    // ---- end of custom design evaluation and the running design search ----

    // ---- designs kept for comparison ----
    // Keeps the current custom design's evaluation (at most three are kept): "No design to
    // evaluate\n" without a design, "At most three designs can be kept for comparison\n" when full.
    bool keepDesignEvaluationForComparison(QString& err);
    void getKeptDesignEvaluations(QList<DoeKeptDesignEvaluation>& out) const;
    void clearKeptDesignEvaluations();
    // The current custom design's evaluation labelled "Current", with its criterion and run count.
    bool getCurrentDesignEvaluationForComparison(DoeKeptDesignEvaluation& out, QString& err) const;
    // Writes the current evaluation and the kept ones beside it as CSV, in one durable step.
    bool exportDesignEvaluationCsv(const QString& path, QString& err) const;
    // ---- end of designs kept for comparison ----

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
    // 1 ready, -1 refused (message appended), -2 fit-model state or design table missing.
    int canRunModel(QString& err);
    // Builds the regression data set and one engine slot per model response.
    bool preparationForModelRegression(QString& err);
    // Final fit of the entered terms; resets the Monte Carlo settings and tables of the fit.
    bool runModel(int slot);
    void getRunModelResult(double& ssError, double& ssModel, int& dfModel, int& dfError, double& rmse,
                           double& rSquare, double& rSquareAdj, double& fRatio, double& probF,
                           int slot) const;
    void getRunParameter(int param, double& estimate, double& stdError, double& tRatio,
                         double& probT, int slot) const;
    void getStepResult(double& sse, int& dfe, double& rmse, double& rSquare, double& rSquareAdj,
                       int& p, double& cp, double& aicc, double& bicc, int slot) const;
    void getStepwiseParameter(int param, double& estimate, int& nDF, double& ss, double& fRatio,
                              double& probF, int slot) const;
    void getSaveFacName(QVector<QString>& out, int slot) const;
    void getSaveParamName(QVector<QString>& out, int slot) const;
    void getMFInfo(QVector<QPair<int, int>>& out, int slot) const;
    void setMFInfo(const QVector<QPair<int, int>>& flags, int slot);
    // Prediction and the bounds of its confidence and prediction intervals; NaN when not possible.
    void predictResult(const QList<QString>& values, double& o1, double& o2, double& o3, double& o4,
                       double& o5, double alpha, int slot);
    // The same; a value that is no number (continuous factor) or no level, a wrong count of
    // values or a slot without a fit gives NaN outputs and appends the reason to err.
    void predictResult(const QList<QString>& values, double& o1, double& o2, double& o3, double& o4,
                       double& o5, double alpha, int slot, QString& err);
    double calculateMax(QList<QString>& settings, double y1, double y2, double y3, double d1,
                        double d2, double d3, int iterations, int slot);
    void getRegressionAllFactorAndUsedFactor(QList<QString>& factors,
                                             QMap<QString, DoeDesignTableColumInfo>& info,
                                             QVector<bool>& used, int slot) const;
    void getAllColumnInfoByNameForRegression(const QList<QString>& names,
                                             QMap<QString, DoeDesignTableColumInfo>& info) const;
    bool getRegressionTableRowMap(QMap<int, int>& map) const;
    void getTableFactorRawDataForRegression(QVector<QVector<QString>>& out, bool byRow) const;
    void getTableResponseRawDataForRegression(QVector<QVector<QString>>& out, bool byRow) const;
    void getTableFactorConvertedDataForRegression(QVector<QVector<QString>>& out) const;
    void getTableResponseConvertedDataForRegression(QVector<QVector<QString>>& out) const;

    void getFitModel_Stepwise_Setting(DoeFitModel_Stepwise_Setting& s, int slot) const;
    bool setFitModel_Stepwise_Setting(DoeFitModel_Stepwise_Setting& s, int slot, QString& err);
    // One step in the stored direction; true when a term was entered or removed. Safe to call
    // from a worker thread while the window reads the step results of the same slot.
    bool stepwiseStepCombine(int slot);
    bool stepwiseStepCombineDoSingle(bool forward, int slot);

    bool getMonteCarloFactorInfo(int slot, QMap<QString, DoeMonteCarloFactorInfo>& out) const;
    bool setMonteCarloFactorInfo(int slot, const QString& name, DoeMonteCarloFactorInfo& info,
                                 QString& err);
    bool getMonteCarloResponseInfo(int slot, QMap<QString, DoeMonteCarloResponseInfo>& out) const;
    bool setMonteCarloResponseInfo(int slot, const QString& name, DoeMonteCarloResponseInfo& info,
                                   QString& err);
    bool getMonteCarloNum(int slot, QPair<int, double>& n) const;
    bool setMonteCarloNum(int slot, QPair<int, double>& n, QString& err);
    void setMonteCarloFactorsDefaultValue(int slot, const QVector<double>& values,
                                          const QVector<bool>& used);
    bool monteCarloValidCheck(int slot, QString& err);
    // Simulates the slot into its Monte Carlo table; false (table emptied) when it cannot.
    bool genMonteCarloTableData(int slot);
    bool getMonteCarloTableData(QVector<QString>& header, QVector<QVector<QString>>& rows,
                                int slot) const;
    bool getResponseData(QVector<double>& values, QPair<double, double>& range, int slot) const;

    bool doSensitivityAnalysis_eFast(int N, int M, QList<QString>& names, QList<double>& firstOrder,
                                     QList<double>& total, int slot, QString& err);

private:
    bool _genSensitivityAnalysisBoundList(QList<QString>& names, QList<QPair<double, double>>& bounds,
                                          QList<int>& removed, int slot, QString& err);
    void refreshMonteCarloData();
    // Reads the slot's step statistics and flags from the engine link and publishes them.
    void _publishStepwiseSnapshot(int slot);
    bool _isRegressionSlot(int slot) const;
    // Drops the fit: engine slots, stepwise state and snapshots, Monte Carlo settings.
    void _discardFit();

public:
    // ---- end of regression, stepwise, Monte Carlo and sensitivity ----

    // ---- residuals and lack of fit of a fitted slot ----
    // Prediction and residual (actual - predicted) of every row of the regression data, in row
    // order; false (both emptied) when the slot has no fit or a prediction fails.
    bool getResidualByPredicted(QVector<double>& predicted, QVector<double>& residuals, int slot);
    // The fit's error split into lack of fit and pure error over replicated factor settings;
    // false (out.available false) when the data hold no replicates or the slot has no fit.
    bool getLackOfFit(DoeLackOfFitResult& out, int slot);
    // ---- end of residuals and lack of fit ----

    // ---- design table cell blocks (paste, undo and redo) ----
    // Writes many cells in one update with the rules of setSingleData; see DoeTableCellEdit.
    bool setTableCells(QVector<DoeTableCellEdit>& edits, QString& err);
    void getTableColumnStates(const QVector<int>& columns, QVector<DoeTableColumnState>& out) const;
    // Puts cell texts and column states back exactly (undo and redo of setTableCells).
    bool restoreTableCells(const QVector<DoeTableCellEdit>& cells, const QVector<DoeTableColumnState>& columns,
                           QString& err);
    // ---- end of design table cell blocks ----
    // ---- standard least squares of the listed model terms ----
    // Whether a personality was ever chosen since the fit model was last reset.
    bool isFitModel_PersonalityChosen() const;
    // Enters exactly the parameters of the listed fit-model terms and fits them as runModel does;
    // a model that cannot be estimated is refused with "Model cannot be estimated\n" and the
    // terms at fault, one per line.
    bool runStandardLeastSquares(int modelIndex, QString& err);
    // Whole-term partial F tests of the fitted slot, in term order, intercept excluded.
    bool getEffectTests(QVector<DoeEffectTest>& out, int modelIndex, QString& err) const;
    // With a term marked ModelAttr_RandomEffect the fit is a REML mixed model: its variance
    // components, the random terms in order and then "Residual"; false when the slot has none.
    bool getVarianceComponents(QVector<DoeVarianceComponent>& out, int modelIndex, QString& err) const;
    // ---- end of standard least squares ----

    // ---- augmenting the design table with runs ----
    // Loads the design table's factor and response columns into the custom-design factors and
    // responses, with main effects as the model (the model page then edits it).
    bool prepareAugmentDesign(QString& err);
    // Runs to add at least, for the custom-design model with the table's runs; -1 on error.
    int augmentMinimumRuns(bool addBlock, QString& err);
    // Keeps the table's runs first (responses kept) and adds addRuns runs searched for the model;
    // addBlock adds a "Block" factor (old runs 1, new runs 2) with a fixed effect in the model.
    bool augmentDesign(int addRuns, bool addBlock, QString& err);
    // Appends the mirror image of every run of a two-level design (empty factor), or of one
    // factor's column.
    bool foldOverDesign(const QString& factor, QString& err);
    bool foldOverDesign(const QString& factor, bool addBlock, QString& err);

private:
    void _replaceTableAfterAugment(DoeTableManager& result);

public:
    // ---- end of augmenting the design table ----

    // ---- several responses: joint desirability and joint Monte Carlo ----
    // On by default: setModelResponseList stores every new name. Off, the response list holds one
    // response; switching it off keeps the first listed response only.
    void setFitModel_SeveralResponses(bool on);
    bool getFitModel_SeveralResponses() const;
    // The desirability function a fitted response starts with: the goal, limits and importance
    // of its column when given (empty importance = 1, goal None = 0), else its data range.
    bool getInitialDesirabilitySpec(int modelIndex, DoeDesirabilitySpec& out, QString& err) const;
    // Settings are written as calculateMax writes them: the value of a continuous factor, the
    // level index of any other, one per model factor. D is NaN, with a message, when a spec
    // names a response without a fit or a setting cannot be used.
    double jointDesirability(const QList<QString>& settings, const QVector<DoeDesirabilitySpec>& specs,
                             QString& err) const;
    double jointDesirability(const QList<QString>& settings, const QVector<DoeDesirabilitySpec>& specs,
                             DoeJointPoint& detail, QString& err) const;
    // Settings of greatest D over the factors' region (continuous factors within their range,
    // others over their levels); writes them into settings and returns D there.
    double maximizeJointDesirability(QList<QString>& settings, const QVector<DoeDesirabilitySpec>& specs,
                                     QString& err);
    // Profiles of every response, its desirability and D along each factor, the other factors
    // held at settings; continuous factors at `points` values, other factors at their levels.
    bool getJointProfiles(const QList<QString>& settings, const QVector<DoeDesirabilitySpec>& specs, int points,
                          DoeJointProfiles& out, QString& err) const;
    // Simulates every fitted response at the same factor draws (the first response's Monte Carlo
    // factor settings), each with its own noise setting. limits[i] = (lower, upper) of response
    // i, a non-finite side meaning none; a run is a joint defect when any response is outside.
    bool simulateJointDefects(int runs, const QVector<QPair<double, double>>& limits, double& jointRate,
                              QVector<double>& rates, QString& err);
    // ---- end of several responses ----

private:
    // A REML fit of the slot replaces the engine's least-squares figures; false: none there.
    bool _mixedRunModelResult(double& rmse, double& fRatio, double& probF, int slot) const;
    bool _mixedRunParameter(int param, double& estimate, double& stdError, double& tRatio, double& probT,
                            int slot) const;
    bool _mixedPredict(const QList<QString>& converted, double& o1, double& o2, double& o3, double& o4,
                       double& o5, double alpha, int slot) const;

private:
    void _genModel_RSM_ByGivenList(const QStringList& names);
    // With several responses: prepares nothing, but drops from the list the responses whose
    // column cannot be fitted, reporting each as "Response %1: " + its message.
    bool _keepFittableResponses(const QList<QString>& factors, QList<QString>& responses, QString& err);
    bool _jointRegion(QVector<DoeJointFactorDomain>& region, QString& err) const;
    bool _jointSettings(const QList<QString>& settings, const QVector<DoeJointFactorDomain>& region,
                        QVector<double>& x, QString& err) const;
    bool _checkJointSpecs(const QVector<DoeDesirabilitySpec>& specs, QString& err) const;
    double _jointAt(const QVector<double>& x, const QVector<DoeDesirabilitySpec>& specs, DoeJointPoint* detail,
                    double* tieBreak) const;

    friend class DoeBussinessApiTestAccess;

    DoeFileManager* m_fileManager = nullptr;
    doeFunc::DoeFunctionManager* m_functionManager = nullptr;
    DoeTableManager* m_tableManager = nullptr;
    DoeCustomDesignManager* m_customDesignManager = nullptr;
    DoeFitModelManager* m_fitModelManager = nullptr;
};

}  // namespace doeBussiness
