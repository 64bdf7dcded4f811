// Regression side of the engine link: naming of expanded columns and parameters, the entered and
// locked flags, the step and final-fit results, and the stepwise rules.
#include "DoeFunctionManager.h"

#include "DoeEngineTable.h"

#include <QStringList>

#include <algorithm>

namespace doeFunc {

using detail::g_engine;

namespace {

// The levels of a categorical column whose code equals the wanted one, joined by "&".
QString joinLevels(const QVector<QString>& levelNames, const std::vector<int>& codes, int levelCount,
                   int wanted)
{
    QStringList picked;
    const int count = std::min(levelCount, static_cast<int>(codes.size()));
    for (int l = 0; l < count; ++l) {
        if (codes[static_cast<size_t>(l)] == wanted && l < levelNames.size())
            picked.append(levelNames[l]);
    }
    return picked.join(QLatin1Char('&'));
}

QString columnName(const StruDoeRegressionModel& model, int factor, const std::vector<int>& codes)
{
    if (factor < 0 || factor >= model.factorNames.size() || factor >= model.factorKinds.size()
        || factor >= model.levelNames.size() || factor >= model.levelCounts.size())
        return QString();
    const QString& name = model.factorNames[factor];
    if (model.factorKinds[factor] != 2)
        return name;
    const QVector<QString>& levels = model.levelNames[factor];
    const int levelCount = model.levelCounts[factor];
    return name + QLatin1Char('{') + joinLevels(levels, codes, levelCount, 1) + QLatin1Char('-')
           + joinLevels(levels, codes, levelCount, -1) + QLatin1Char('}');
}

bool flagsReady(const StruDoeRegressionModel& model)
{
    return model.parameterCount > 0
           && model.enteredFlags.size() == static_cast<size_t>(model.parameterCount)
           && model.lockedFlags.size() == static_cast<size_t>(model.parameterCount);
}

}  // namespace

void DoeFunctionManager::initRegressionBaseData(const QVector<QString>& names,
                                                const QVector<int>& kinds,
                                                const QVector<int>& levelCounts,
                                                const QVector<QVector<QString>>& levelNames,
                                                const QVector<QVector<double>>& levelValues,
                                                int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    model->factorNames = names;
    model->factorKinds = kinds;
    model->levelCounts = levelCounts;
    model->levelNames = levelNames;
    model->levelValues = levelValues;

    int maxLevels = 10;
    for (int count : levelCounts)
        maxLevels = std::max(maxLevels, count);

    if (!g_engine.stepStart || !g_engine.numExpandFac || !g_engine.numParameter
        || !g_engine.getExpandValue || !g_engine.getParameter || !model->handle)
        return;

    g_engine.stepStart(model->handle);
    const int columns = std::max(0, g_engine.numExpandFac(model->handle));
    const int params = std::max(0, g_engine.numParameter(model->handle));
    model->expandColumnCount = columns;
    model->parameterCount = params;

    model->expandColumnNames.assign(static_cast<size_t>(columns), std::string());
    model->parameterNames.assign(static_cast<size_t>(params), std::string());
    if (columns > 0)
        model->expandColumnNames[0] = "Intercept";

    for (int c = 1; c < columns; ++c) {
        int factor = 0;
        std::vector<int> codes(static_cast<size_t>(maxLevels), 0);
        g_engine.getExpandValue(model->handle, c, &factor, codes.data());
        model->expandColumnNames[static_cast<size_t>(c)] =
            columnName(*model, factor - 1, codes).toUtf8().toStdString();
    }

    if (columns > 0) {
        for (int p = 0; p < params; ++p) {
            std::vector<int> powers(static_cast<size_t>(columns), 0);
            g_engine.getParameter(model->handle, p, powers.data());
            std::string name;
            bool first = true;
            for (int j = 0; j < columns; ++j) {
                for (int k = 0; k < powers[static_cast<size_t>(j)]; ++k) {
                    if (!first)
                        name += '*';
                    name += model->expandColumnNames[static_cast<size_t>(j)];
                    first = false;
                }
            }
            model->parameterNames[static_cast<size_t>(p)] = name;
        }
    }

    model->enteredFlags.assign(static_cast<size_t>(params), 0);
    model->lockedFlags.assign(static_cast<size_t>(params), 0);
    if (params > 0) {
        model->enteredFlags[0] = 1;
        model->lockedFlags[0] = 1;
    }
    doStep(slot);
}

void DoeFunctionManager::doStep(int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.step || !model->handle || !flagsReady(*model))
        return;
    g_engine.step(model->handle, model->enteredFlags.data(), &model->stepSSE, &model->stepDFE,
                  &model->stepRMSE, &model->stepRSquare, &model->stepRSquareAdj, &model->stepP,
                  &model->stepCp, &model->stepAICc, &model->stepBICc);
}

void DoeFunctionManager::runModel(int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.runModel || !model->handle || !flagsReady(*model))
        return;
    g_engine.runModel(model->handle, model->enteredFlags.data(), &model->runSSError,
                      &model->runSSModel, &model->runDFModel, &model->runDFError, &model->runRMSE,
                      &model->runRSquare, &model->runRSquareAdj, &model->runFRatio,
                      &model->runProbF);
}

void DoeFunctionManager::getStepResult(double& sse, int& dfe, double& rmse, double& rsquare,
                                       double& rsquareAdj, int& p, double& cp, double& aicc,
                                       double& bicc, int slot) const
{
    const StruDoeRegressionModel* model = _getListModel(slot);
    if (!model)
        return;
    sse = model->stepSSE;
    dfe = model->stepDFE;
    rmse = model->stepRMSE;
    rsquare = model->stepRSquare;
    rsquareAdj = model->stepRSquareAdj;
    p = model->stepP;
    cp = model->stepCp;
    aicc = model->stepAICc;
    bicc = model->stepBICc;
}

void DoeFunctionManager::getRunModelResult(double& ssError, double& ssModel, int& dfModel,
                                           int& dfError, double& rmse, double& rsquare,
                                           double& rsquareAdj, double& fRatio, double& probF,
                                           int slot) const
{
    const StruDoeRegressionModel* model = _getListModel(slot);
    if (!model)
        return;
    ssError = model->runSSError;
    ssModel = model->runSSModel;
    dfModel = model->runDFModel;
    dfError = model->runDFError;
    rmse = model->runRMSE;
    rsquare = model->runRSquare;
    rsquareAdj = model->runRSquareAdj;
    fRatio = model->runFRatio;
    probF = model->runProbF;
}

void DoeFunctionManager::getStepwiseParameter(int param, double& estimate, int& ndf, double& ss,
                                              double& fRatio, double& probF, int slot) const
{
    const StruDoeRegressionModel* model = _getListModel(slot);
    if (!model || !model->handle || !g_engine.getStepParameter)
        return;
    g_engine.getStepParameter(model->handle, param, &estimate, &ndf, &ss, &fRatio, &probF);
}

void DoeFunctionManager::getRunParameter(int param, double& estimate, double& stdError,
                                         double& tRatio, double& probT, int slot) const
{
    const StruDoeRegressionModel* model = _getListModel(slot);
    if (!model || !model->handle || !g_engine.getRunParameter)
        return;
    g_engine.getRunParameter(model->handle, param, &estimate, &stdError, &tRatio, &probT);
}

void DoeFunctionManager::getSaveFacName(QVector<QString>& out, int slot) const
{
    out.clear();
    const StruDoeRegressionModel* model = _getListModel(slot);
    if (!model)
        return;
    for (const std::string& name : model->expandColumnNames)
        out.append(QString::fromStdString(name));
}

void DoeFunctionManager::getSaveParamName(QVector<QString>& out, int slot) const
{
    out.clear();
    const StruDoeRegressionModel* model = _getListModel(slot);
    if (!model)
        return;
    for (const std::string& name : model->parameterNames)
        out.append(QString::fromStdString(name));
}

void DoeFunctionManager::getMFInfo(QVector<QPair<int, int>>& out, int slot) const
{
    const StruDoeRegressionModel* model = _getListModel(slot);
    if (!model || !flagsReady(*model))
        return;
    out.clear();
    for (int i = 0; i < model->parameterCount; ++i)
        out.append(qMakePair(model->enteredFlags[static_cast<size_t>(i)],
                             model->lockedFlags[static_cast<size_t>(i)]));
}

void DoeFunctionManager::setMFInfo(const QVector<QPair<int, int>>& flags, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!flagsReady(*model))
        return;
    // The intercept (parameter 0) always stays entered and locked.
    for (int i = 1; i < flags.size() && i < model->parameterCount; ++i) {
        model->enteredFlags[static_cast<size_t>(i)] = flags[i].first;
        model->lockedFlags[static_cast<size_t>(i)] = flags[i].second;
    }
}

double DoeFunctionManager::_stepPValue(StruDoeRegressionModel& model, int term)
{
    double estimate = 0.0;
    int ndf = 0;
    double ss = 0.0;
    double fRatio = 0.0;
    double probF = 0.0;
    g_engine.getStepParameter(model.handle, term, &estimate, &ndf, &ss, &fRatio, &probF);
    return probF;
}

bool DoeFunctionManager::_forwardStep(StruDoeRegressionModel& model, double pEnter)
{
    double best = 1.0;
    int chosen = 0;
    for (int t = 1; t < model.parameterCount; ++t) {
        const size_t i = static_cast<size_t>(t);
        if (model.enteredFlags[i] || model.lockedFlags[i])
            continue;
        const double p = _stepPValue(model, t);
        if (p < best) {
            best = p;
            chosen = t;
        }
    }
    // Without a candidate there is nothing to enter (the intercept is never a candidate).
    if (chosen == 0 || !(pEnter > best))
        return false;
    model.enteredFlags[static_cast<size_t>(chosen)] = 1;
    return true;
}

bool DoeFunctionManager::_backwardStep(StruDoeRegressionModel& model, double pLeave)
{
    double worst = -1.0;
    int chosen = 0;
    for (int t = 1; t < model.parameterCount; ++t) {
        const size_t i = static_cast<size_t>(t);
        if (!model.enteredFlags[i] || model.lockedFlags[i])
            continue;
        const double p = _stepPValue(model, t);
        if (p > worst) {
            worst = p;
            chosen = t;
        }
    }
    if (chosen == 0 || !(worst > pLeave))
        return false;
    model.enteredFlags[static_cast<size_t>(chosen)] = 0;
    return true;
}

bool DoeFunctionManager::stepwiseStepCombineForward(double pEnter, double pLeave, int slot)
{
    Q_UNUSED(pLeave);
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!model->handle || !flagsReady(*model) || !g_engine.getStepParameter)
        return false;
    return _forwardStep(*model, pEnter);
}

bool DoeFunctionManager::stepwiseStepCombineBackward(double pEnter, double pLeave, int slot)
{
    Q_UNUSED(pEnter);
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!model->handle || !flagsReady(*model) || !g_engine.getStepParameter)
        return false;
    return _backwardStep(*model, pLeave);
}

bool DoeFunctionManager::stepwiseStepCombineMixed(double pEnter, double pLeave, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!model->handle || !flagsReady(*model) || !g_engine.getStepParameter)
        return false;
    if (_backwardStep(*model, pLeave))
        return true;
    return _forwardStep(*model, pEnter);
}

}  // namespace doeFunc

namespace doeFunc {

bool DoeFunctionManager::getParameterLayout(DoeParameterLayout& out, int slot) const
{
    out = DoeParameterLayout();
    const StruDoeRegressionModel* model = _getListModel(slot);
    if (!model || !model->handle || !g_engine.getExpandValue || !g_engine.getParameter
        || model->expandColumnCount <= 0 || model->parameterCount <= 0)
        return false;
    const int columns = model->expandColumnCount;
    int maxLevels = 1;
    for (int count : model->levelCounts)
        maxLevels = std::max(maxLevels, count);
    for (int c = 0; c < columns; ++c) {
        int factor = 0;
        std::vector<int> codes(static_cast<size_t>(maxLevels), 0);
        if (c > 0)
            g_engine.getExpandValue(model->handle, c, &factor, codes.data());
        out.columnFactor.append(factor - 1);
        const bool categorical = factor > 0 && factor - 1 < model->factorKinds.size()
                                 && model->factorKinds[factor - 1] == 2;
        const int levels = categorical ? model->levelCounts.value(factor - 1) : 0;
        out.columnCodes.append(QVector<int>(codes.begin(), codes.begin() + levels));
    }
    for (int p = 0; p < model->parameterCount; ++p) {
        std::vector<int> powers(static_cast<size_t>(columns), 0);
        g_engine.getParameter(model->handle, p, powers.data());
        out.parameterPowers.append(QVector<int>(powers.begin(), powers.end()));
    }
    return true;
}

}  // namespace doeFunc
