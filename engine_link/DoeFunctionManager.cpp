#include "DoeFunctionManager.h"

#include "DoeEngineTable.h"

#include <QCoreApplication>
#include <QLibrary>

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace doeFunc {

namespace detail {
EngineTable g_engine;
int g_loadedManagers = 0;
}  // namespace detail

using detail::EngineTable;
using detail::g_engine;
using detail::g_loadedManagers;

namespace {

template <typename Fn>
Fn resolveAs(QLibrary& library, const char* name)
{
    return reinterpret_cast<Fn>(library.resolve(name));
}

// One double per factor: the given values, zero beyond their end.
std::vector<double> factorArray(const QVector<double>& values, int count)
{
    std::vector<double> out(static_cast<size_t>(std::max(count, values.size())), 0.0);
    std::copy(values.begin(), values.end(), out.begin());
    return out;
}

}  // namespace

DoeFunctionManager::DoeFunctionManager()
{
    initDynamic();
}

DoeFunctionManager::~DoeFunctionManager()
{
    // Engine objects go back to the engine while it is still mapped.
    _releaseHandle(m_defaultModel);
    _releaseListModels();
    if (m_library && m_library->isLoaded() && m_loaded) {
        m_library->unload();
        if (--g_loadedManagers == 0)
            g_engine = EngineTable();
    }
    delete m_library;
}

bool DoeFunctionManager::isEngineLoaded() const
{
    return m_loaded;
}

bool DoeFunctionManager::initDynamic()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Orvex");
    if (m_library && m_loaded) {
        m_library->unload();
        --g_loadedManagers;
        m_loaded = false;
    }
    delete m_library;
    m_library = new QLibrary(path);
    if (!m_library->load())
        return false;
    m_loaded = true;
    ++g_loadedManagers;

    QLibrary& lib = *m_library;
    g_engine.createObj = resolveAs<OrvexCreateDOEObjFn>(lib, "CreateDOEObj");
    g_engine.add1 = resolveAs<OrvexAdd1Fn>(lib, "add1");
    g_engine.add2 = resolveAs<OrvexAdd2Fn>(lib, "add2");
    g_engine.add3 = resolveAs<OrvexAdd3Fn>(lib, "add3");
    g_engine.addResponse = resolveAs<OrvexAddResponseFn>(lib, "addresponse");
    g_engine.seed = resolveAs<OrvexSeedFn>(lib, "seed");
    g_engine.createModel = resolveAs<OrvexCreateModelFn>(lib, "createmodel");
    g_engine.generate = resolveAs<OrvexGenerateFn>(lib, "generate");
    g_engine.vfactor = resolveAs<OrvexVfactorFn>(lib, "Vfactor");
    g_engine.vfactorSet = resolveAs<OrvexVfactorsetFn>(lib, "Vfactorset");
    g_engine.vresponse = resolveAs<OrvexVreponseFn>(lib, "Vreponse");
    g_engine.predict = resolveAs<OrvexPredictFn>(lib, "predict");
    g_engine.predict2 = resolveAs<OrvexPredict2Fn>(lib, "predict2");
    g_engine.numParameter = resolveAs<OrvexNumParameterFn>(lib, "numparameter");
    g_engine.numExpandFac = resolveAs<OrvexNumExpandFacFn>(lib, "numexpandfac");
    g_engine.stepStart = resolveAs<OrvexStepStartFn>(lib, "stepstart");
    g_engine.getStepParameter = resolveAs<OrvexGetStepParameterFn>(lib, "getstepparameter");
    g_engine.getExpandValue = resolveAs<OrvexGetExpandValueFn>(lib, "getexpandvalue");
    g_engine.getParameter = resolveAs<OrvexGetParameterFn>(lib, "getparameter");
    g_engine.step = resolveAs<OrvexStepFn>(lib, "step");
    g_engine.runModel = resolveAs<OrvexRunModelFn>(lib, "runmodel");
    g_engine.getRunParameter = resolveAs<OrvexGetRunParameterFn>(lib, "getrunparameter");
    g_engine.calcMax = resolveAs<OrvexCalcMaxFn>(lib, "calcmax");
    g_engine.release = resolveAs<OrvexReleaseDOEObjFn>(lib, "ReleaseDOEObj");
    g_engine.setModelTerms = resolveAs<OrvexSetModelTermsFn>(lib, "setmodelterms");
    g_engine.setCriterion = resolveAs<OrvexSetCriterionFn>(lib, "setcriterion");
    g_engine.generateProgress = resolveAs<OrvexGenerateProgressFn>(lib, "generateprogress");
    g_engine.generateCancel = resolveAs<OrvexGenerateCancelFn>(lib, "generatecancel");
    g_engine.generateMemory = resolveAs<OrvexGenerateMemoryFn>(lib, "generatememory");
    g_engine.setStarts = resolveAs<OrvexSetStartsFn>(lib, "setstarts");
    g_engine.setAliasOptimal = resolveAs<OrvexSetAliasOptimalFn>(lib, "setaliasoptimal");
    g_engine.setRunStructure = resolveAs<OrvexSetRunStructureFn>(lib, "setrunstructure");
    g_engine.proposeWholePlots = resolveAs<OrvexProposeWholePlotsFn>(lib, "proposewholeplots");
    g_engine.runStructure = resolveAs<OrvexRunStructureFn>(lib, "runstructure");
    g_engine.fixRun = resolveAs<OrvexFixRunFn>(lib, "fixrun");
    return true;
}

StruDoeRegressionModel* DoeFunctionManager::_getCurModelByIndex(int index)
{
    if (index >= 0 && index < m_models.size())
        return m_models[index];
    return &m_defaultModel;
}

const StruDoeRegressionModel* DoeFunctionManager::_getListModel(int index) const
{
    if (index >= 0 && index < m_models.size())
        return m_models[index];
    return nullptr;
}

void DoeFunctionManager::_clearModel(StruDoeRegressionModel& model)
{
    model.factorNames.clear();
    model.factorKinds.clear();
    model.levelCounts.clear();
    model.levelNames.clear();
    model.levelValues.clear();
    model.expandColumnCount = 0;
    model.parameterCount = 0;
    model.parameterNames.clear();
    model.expandColumnNames.clear();
    model.enteredFlags.clear();
    model.lockedFlags.clear();
    model.addedFactorCount = 0;
}

void DoeFunctionManager::_releaseHandle(StruDoeRegressionModel& model)
{
    if (model.handle && g_engine.release)
        g_engine.release(model.handle);
    model.handle = nullptr;
}

void DoeFunctionManager::_releaseListModels()
{
    for (StruDoeRegressionModel* model : qAsConst(m_models)) {
        _releaseHandle(*model);
        delete model;
    }
    m_models.clear();
}

bool DoeFunctionManager::createDoeObj()
{
    _clearModel(m_defaultModel);
    if (!g_engine.createObj)
        return false;
    _releaseHandle(m_defaultModel);
    m_defaultModel.handle = g_engine.createObj();
    m_defaultModel.runCount = -1;
    m_defaultModel.searchPending = false;
    m_cancelRequested = false;
    return m_defaultModel.handle != nullptr;
}

bool DoeFunctionManager::createDoeObjMulti(int count)
{
    if (count < 1 || !g_engine.createObj)
        return false;
    _releaseListModels();
    for (int i = 0; i < count; ++i) {
        auto* model = new StruDoeRegressionModel;
        model->handle = g_engine.createObj();
        model->runCount = -1;
        m_models.append(model);
    }
    return true;
}

void DoeFunctionManager::releaseRegressionSlots()
{
    _releaseListModels();
}

int DoeFunctionManager::creataDoeModel(int kind, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.createModel || !model->handle)
        return -1;
    return g_engine.createModel(model->handle, kind);
}

void DoeFunctionManager::setRandomSeed(unsigned long seed, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (g_engine.seed && model->handle)
        g_engine.seed(model->handle, seed);
}

void DoeFunctionManager::generateDoeTable(int runs, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.generate || !model->handle)
        return;
    if (model != &m_defaultModel) {
        // Regression slots overwrite every run; a cancelled design search has no say here.
        g_engine.generate(model->handle, runs);
        model->runCount = runs;
        return;
    }
    // Progress and cancel reach the search through this handle while it runs, in generate or in
    // the first read after it. A cancel asked for before generate skips it.
    if (m_cancelRequested.load() && g_engine.generateCancel)
        return;
    _runSearch(model->handle, [&]() { g_engine.generate(model->handle, runs); });
    model->runCount = runs;
    model->searchPending = true;
}

template <class Fn>
void DoeFunctionManager::_runSearch(void* handle, Fn&& fn)
{
    // Either the canceller sees the handle or this thread sees its request (both atomics are
    // sequentially consistent), so a cancel asked for just before the search starts still stops it.
    m_generating.store(handle);
    if (m_cancelRequested.load() && g_engine.generateCancel)
        g_engine.generateCancel(handle);
    fn();
    m_generating.store(nullptr);
}

double DoeFunctionManager::designSearchMemory(int runs, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.generateMemory || !model->handle)
        return -1.0;
    const double bytes = g_engine.generateMemory(model->handle, runs);
    return std::isfinite(bytes) && bytes >= 0.0 ? bytes : -1.0;
}

double DoeFunctionManager::physicalMemory()
{
#if defined(_WIN32)
    MEMORYSTATUSEX status;
    status.dwLength = sizeof(status);
    return GlobalMemoryStatusEx(&status) ? static_cast<double>(status.ullTotalPhys) : -1.0;
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return -1.0;
    return static_cast<double>(pages) * static_cast<double>(pageSize);
#endif
}

bool DoeFunctionManager::hasDesignModelExports() const
{
    return g_engine.setModelTerms && g_engine.setCriterion;
}

bool DoeFunctionManager::setDesignModelTerms(const QVector<QVector<int>>& powers,
                                             const QVector<bool>& necessary, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.setModelTerms || !model->handle || powers.size() != necessary.size())
        return false;
    const int factors = model->addedFactorCount;
    std::vector<int> flat;
    flat.reserve(static_cast<size_t>(powers.size() * factors) + 1);
    std::vector<int> flags;
    flags.reserve(static_cast<size_t>(powers.size()) + 1);
    for (int t = 0; t < powers.size(); ++t) {
        if (powers[t].size() != factors)
            return false;
        flat.insert(flat.end(), powers[t].begin(), powers[t].end());
        flags.push_back(necessary[t] ? 1 : 0);
    }
    flat.push_back(0);  // never hand the engine a null array
    flags.push_back(0);
    return g_engine.setModelTerms(model->handle, powers.size(), flat.data(), flags.data()) == 0;
}

bool DoeFunctionManager::setDesignCriterion(int criterion, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.setCriterion || !model->handle)
        return false;
    return g_engine.setCriterion(model->handle, criterion) == 0;
}

bool DoeFunctionManager::setDesignStarts(int starts, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.setStarts || !model->handle)
        return false;
    return g_engine.setStarts(model->handle, starts) == 0;
}

bool DoeFunctionManager::setDesignAliasOptimal(bool on, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.setAliasOptimal || !model->handle)
        return false;
    return g_engine.setAliasOptimal(model->handle, on ? 1 : 0) == 0;
}

double DoeFunctionManager::generateProgress() const
{
    void* handle = m_generating.load();
    if (!g_engine.generateProgress || !handle)
        return -1.0;
    const double p = g_engine.generateProgress(handle);
    return std::isfinite(p) ? std::min(1.0, std::max(0.0, p)) : -1.0;
}

bool DoeFunctionManager::canCancelGenerate() const
{
    return g_engine.generateCancel != nullptr;
}

void DoeFunctionManager::cancelGenerate()
{
    m_cancelRequested = true;
    void* handle = m_generating.load();
    if (g_engine.generateCancel && handle)
        g_engine.generateCancel(handle);
}

bool DoeFunctionManager::generateCancelled() const
{
    return m_cancelRequested.load();
}

void DoeFunctionManager::addContinuousFactor(const QString& name, double low, double high, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.add1 || !model->handle)
        return;
    const QByteArray utf8 = name.toUtf8();
    g_engine.add1(model->handle, utf8.constData(), low, high);
    ++model->addedFactorCount;
}

void DoeFunctionManager::addCategoricalFactor(const QString& name, const QList<QString>& levels,
                                              int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.add2 || !model->handle)
        return;
    // The UTF-8 copies live until the engine returns; the engine keeps its own copies.
    QVector<QByteArray> copies;
    copies.reserve(levels.size());
    std::vector<const char*> pointers;
    pointers.reserve(static_cast<size_t>(levels.size()) + 1);
    for (const QString& level : levels) {
        copies.append(level.toUtf8());
        pointers.push_back(copies.last().constData());
    }
    pointers.push_back(nullptr);
    const QByteArray utf8 = name.toUtf8();
    g_engine.add2(model->handle, utf8.constData(), pointers.data(), levels.size());
    ++model->addedFactorCount;
}

void DoeFunctionManager::addDiscreteFactor(const QString& name, const QList<QString>& levels,
                                           int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.add3 || !model->handle)
        return;
    std::vector<double> values;
    values.reserve(static_cast<size_t>(levels.size()) + 1);
    for (const QString& level : levels)
        values.push_back(level.toDouble());
    if (values.empty())
        values.push_back(0.0);  // never hand the engine a null array
    const QByteArray utf8 = name.toUtf8();
    g_engine.add3(model->handle, utf8.constData(), values.data(), levels.size());
    ++model->addedFactorCount;
}

void DoeFunctionManager::addResponses(const QString& name, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.addResponse || !model->handle)
        return;
    const QByteArray utf8 = name.toUtf8();
    g_engine.addResponse(model->handle, utf8.constData());
}

double* DoeFunctionManager::getVFactorByLineIdx(int row, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.vfactor || !model->handle)
        return nullptr;
    // The engine searches on the first read after generate: progress and cancel reach it there.
    if (model->searchPending) {
        model->searchPending = false;
        double* values = nullptr;
        _runSearch(model->handle, [&]() { values = g_engine.vfactor(model->handle, row); });
        return values;
    }
    return g_engine.vfactor(model->handle, row);
}

void DoeFunctionManager::setVFactorByLineIdx(const QVector<QString>& values, int row, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.vfactorSet || !model->handle)
        return;
    if (values.isEmpty() || row < 0 || row >= model->runCount)
        return;
    // The engine reads one value per factor it holds: pad a short row with zeros.
    QVector<double> numbers;
    numbers.reserve(values.size());
    for (const QString& v : values)
        numbers.append(v.toDouble());
    const std::vector<double> array = factorArray(numbers, model->addedFactorCount);
    g_engine.vfactorSet(model->handle, array.data(), row);
}

void DoeFunctionManager::setVResponseByLineIdx(const QVector<QString>& values, int row, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.vresponse || !model->handle)
        return;
    if (values.isEmpty() || row < 0 || row >= model->runCount)
        return;
    const QString& text = (slot >= 0 && slot < values.size()) ? values[slot] : values[0];
    const double value = text.toDouble();
    g_engine.vresponse(model->handle, &value, row);
}

int DoeFunctionManager::_engineFactorCount(const StruDoeRegressionModel& model) const
{
    return std::max(model.factorNames.size(), model.addedFactorCount);
}

void DoeFunctionManager::predictResult(const QList<QString>& x, double& o1, double& o2, double& o3,
                                       double& o4, double& o5, double alpha, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!model->handle || !g_engine.predict || x.isEmpty())
        return;
    // Values beyond the factor list are ignored; missing ones are 0.
    QVector<double> numbers;
    const int count = model->factorNames.size();
    for (int i = 0; i < count && i < x.size(); ++i)
        numbers.append(x[i].toDouble());
    const std::vector<double> array = factorArray(numbers, _engineFactorCount(*model));
    g_engine.predict(model->handle, array.data(), &o1, &o2, &o3, &o4, &o5, alpha);
}

void DoeFunctionManager::predictResult2(const QVector<double>& x, double& pred, double& se1,
                                        double& se2, int& dfe, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!model->handle || !g_engine.predict2 || x.isEmpty())
        return;
    const QVector<double> numbers = x.mid(0, model->factorNames.size());
    const std::vector<double> array = factorArray(numbers, _engineFactorCount(*model));
    g_engine.predict2(model->handle, array.data(), &pred, &se1, &se2, &dfe);
}

double DoeFunctionManager::calculateMax(QList<QString>& settings, double y1, double y2, double y3,
                                        double d1, double d2, double d3, int iterations, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!model->handle || !g_engine.calcMax || model->factorNames.isEmpty())
        return std::numeric_limits<double>::quiet_NaN();
    std::vector<double> array = factorArray(QVector<double>(), _engineFactorCount(*model));
    const double best =
        g_engine.calcMax(model->handle, array.data(), y1, y2, y3, d1, d2, d3, iterations);
    settings.clear();
    for (int i = 0; i < model->factorNames.size(); ++i)
        settings.append(QString::number(array[static_cast<size_t>(i)], 'g', -1));
    return best;
}

}  // namespace doeFunc
