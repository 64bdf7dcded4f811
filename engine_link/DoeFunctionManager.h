#pragma once
// Run-time link to the numerical engine: loads the engine library beside the application,
// keeps one engine object per numbered model slot and converts Qt values to the engine's C arrays.
#include "plan_engine_link_global.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

#include <atomic>
#include <string>
#include <vector>

class QLibrary;

namespace doeFunc {

// One engine object and everything the adapter keeps about its regression.
struct PLAN_ENGINE_LINK_EXPORT StruDoeRegressionModel {
    void* handle = nullptr;                    // engine object; null until created
    int runCount = -1;                         // runs last generated in this slot
    QVector<QString> factorNames;              // regression factors, in engine order
    QVector<int> factorKinds;                  // 1 continuous, 2 categorical, 3 discrete numeric
    QVector<int> levelCounts;                  // 0 for a continuous factor
    QVector<QVector<QString>> levelNames;      // level texts per factor
    QVector<QVector<double>> levelValues;      // level values of discrete numeric factors
    int expandColumnCount = 0;                 // expanded columns, intercept included
    int parameterCount = 0;                    // model parameters, intercept included
    std::vector<std::string> parameterNames;   // one per parameter
    std::vector<std::string> expandColumnNames;  // one per expanded column
    std::vector<int> enteredFlags;             // 1 = term in the model; empty until a regression starts
    std::vector<int> lockedFlags;              // 1 = term kept out of automatic steps; empty likewise

    // outputs of the last step
    double stepSSE = 0.0;
    int stepDFE = 0;
    double stepRMSE = 0.0;
    double stepRSquare = 0.0;
    double stepRSquareAdj = 0.0;
    int stepP = 0;
    double stepCp = 0.0;
    double stepAICc = 0.0;
    double stepBICc = 0.0;

    // outputs of the last final fit
    double runSSError = 0.0;
    double runSSModel = 0.0;
    int runDFModel = 0;
    int runDFError = 0;
    double runRMSE = 0.0;
    double runRSquare = 0.0;
    double runRSquareAdj = 0.0;
    double runFRatio = 0.0;
    double runProbF = 0.0;

    int addedFactorCount = 0;  // factors handed to the engine object, for sizing its value arrays
    bool searchPending = false;  // generated, not read yet: the engine may search on the first read
};

// How the engine builds its parameters from the factors: per expanded column the 0-based factor
// (-1 for the intercept) and, for a categorical column, its value per level index; per parameter
// the power of each expanded column.
struct PLAN_ENGINE_LINK_EXPORT DoeParameterLayout {
    QVector<int> columnFactor;
    QVector<QVector<int>> columnCodes;
    QVector<QVector<int>> parameterPowers;
};

class PLAN_ENGINE_LINK_EXPORT DoeFunctionManager {
public:
    DoeFunctionManager();
    ~DoeFunctionManager();
    DoeFunctionManager(const DoeFunctionManager&) = delete;
    DoeFunctionManager& operator=(const DoeFunctionManager&) = delete;

    // engine objects
    bool createDoeObj();
    bool createDoeObjMulti(int count);
    // Frees every regression slot, so that no reader answers from a fit of an earlier table.
    void releaseRegressionSlots();
    int creataDoeModel(int kind, int slot);
    void setRandomSeed(unsigned long seed, int slot);
    void generateDoeTable(int runs, int slot);

    // Optional design exports; every one is a no-op returning false (or -1) on an engine without it.
    bool hasDesignModelExports() const;
    // Model terms for the next creataDoeModel: one power per added factor per term, and its flag.
    bool setDesignModelTerms(const QVector<QVector<int>>& powers, const QVector<bool>& necessary,
                             int slot);
    // 0 D-optimal, 1 I-optimal.
    bool setDesignCriterion(int criterion, int slot);
    // Number of random starts of the next search (0: the engine's own budget) and the alias
    // criterion for If Possible terms; false when the engine lacks the export or the slot.
    bool setDesignStarts(int starts, int slot);
    bool setDesignAliasOptimal(bool on, int slot);
    // Fraction of the running search done, 0..1; -1 when none runs or the engine cannot tell.
    // Callable from any thread while generateDoeTable runs on another.
    double generateProgress() const;
    bool canCancelGenerate() const;
    // Asks the running search to stop; any thread.
    void cancelGenerate();
    // Whether a cancel was asked for during the latest search.
    bool generateCancelled() const;
    // Bytes the engine's search for `runs` rows would need; -1 when the engine cannot tell.
    double designSearchMemory(int runs, int slot);
    // Physical memory of this machine in bytes; -1 when unknown.
    static double physicalMemory();
    // Whole plots and blocks (optional exports). changes: per added factor 0 Easy, 1 Hard,
    // 2 Very Hard; counts -1 for the engine's proposal.
    bool hasRunStructureExports() const;
    bool setRunStructure(const QVector<int>& changes, int wholePlots, int wholeWholePlots,
                         int blocks, double varianceRatio, int slot);
    bool proposeWholePlots(int runs, int& wholePlots, int& wholeWholePlots, int slot);
    // 1-based whole plot, whole-whole plot and block of a generated row, 0 where absent.
    bool getRunStructure(int row, int& wholePlot, int& wholeWholePlot, int& block, int slot);
    // Whether the engine can keep runs fixed while it searches the others (augmenting a design).
    bool canFixDesignRuns() const;
    // Keeps row's cells as last set (all when `factors` is empty, else those flagged true, one
    // flag per added factor); the next read searches only the rest. False when the engine cannot.
    bool fixDesignRun(int row, const QVector<bool>& factors, int slot);

    // factors, responses and runs
    void addContinuousFactor(const QString& name, double low, double high, int slot);
    void addCategoricalFactor(const QString& name, const QList<QString>& levels, int slot);
    void addDiscreteFactor(const QString& name, const QList<QString>& levels, int slot);
    void addResponses(const QString& name, int slot);
    double* getVFactorByLineIdx(int row, int slot);
    void setVFactorByLineIdx(const QVector<QString>& values, int row, int slot);
    void setVResponseByLineIdx(const QVector<QString>& values, int row, int slot);

    // regression
    void initRegressionBaseData(const QVector<QString>& names, const QVector<int>& kinds,
                                const QVector<int>& levelCounts,
                                const QVector<QVector<QString>>& levelNames,
                                const QVector<QVector<double>>& levelValues, int slot);
    void doStep(int slot);
    void runModel(int slot);
    void getStepResult(double& sse, int& dfe, double& rmse, double& rsquare, double& rsquareAdj,
                       int& p, double& cp, double& aicc, double& bicc, int slot) const;
    void getRunModelResult(double& ssError, double& ssModel, int& dfModel, int& dfError,
                           double& rmse, double& rsquare, double& rsquareAdj, double& fRatio,
                           double& probF, int slot) const;
    void getStepwiseParameter(int param, double& estimate, int& ndf, double& ss, double& fRatio,
                              double& probF, int slot) const;
    void getRunParameter(int param, double& estimate, double& stdError, double& tRatio,
                         double& probT, int slot) const;
    void getSaveFacName(QVector<QString>& out, int slot) const;
    void getSaveParamName(QVector<QString>& out, int slot) const;
    void getMFInfo(QVector<QPair<int, int>>& out, int slot) const;
    void setMFInfo(const QVector<QPair<int, int>>& flags, int slot);
    bool stepwiseStepCombineForward(double pEnter, double pLeave, int slot);
    bool stepwiseStepCombineBackward(double pEnter, double pLeave, int slot);
    bool stepwiseStepCombineMixed(double pEnter, double pLeave, int slot);
    // The parameter layout of a regression slot; false when the slot has no regression.
    bool getParameterLayout(DoeParameterLayout& out, int slot) const;

    // prediction
    void predictResult(const QList<QString>& x, double& o1, double& o2, double& o3, double& o4,
                       double& o5, double alpha, int slot);
    void predictResult2(const QVector<double>& x, double& pred, double& se1, double& se2, int& dfe,
                        int slot);
    double calculateMax(QList<QString>& settings, double y1, double y2, double y3, double d1,
                        double d2, double d3, int iterations, int slot);

    // whether the engine library was found and loaded by this manager
    bool isEngineLoaded() const;

private:
    bool initDynamic();
    StruDoeRegressionModel* _getCurModelByIndex(int index);
    const StruDoeRegressionModel* _getListModel(int index) const;
    void _clearModel(StruDoeRegressionModel& model);
    void _releaseHandle(StruDoeRegressionModel& model);
    void _releaseListModels();
    bool _backwardStep(StruDoeRegressionModel& model, double pLeave);
    bool _forwardStep(StruDoeRegressionModel& model, double pEnter);
    double _stepPValue(StruDoeRegressionModel& model, int term);
    int _engineFactorCount(const StruDoeRegressionModel& model) const;
    // Runs fn with the handle marked as the running search, so progress and cancel reach it.
    template <class Fn>
    void _runSearch(void* handle, Fn&& fn);

    QLibrary* m_library = nullptr;
    StruDoeRegressionModel m_defaultModel;
    QList<StruDoeRegressionModel*> m_models;
    bool m_loaded = false;
    std::atomic<void*> m_generating{nullptr};  // engine object of the running search
    std::atomic<bool> m_cancelRequested{false};
};

}  // namespace doeFunc
