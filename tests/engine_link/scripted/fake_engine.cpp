// A scripted stand-in for the numerical engine: it records what the engine link hands it and
// answers from a script the tests write. Built twice: complete, and with some exports left out.
#include "fake_engine_state.h"

#include <chrono>
#include <cmath>
#include <thread>
#include <limits>

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {

FakeEngineState g_state;
FakeSearchState g_search;

FakeObject* obj(void* h)
{
    return static_cast<FakeObject*>(h);
}

int parameterCount()
{
    return static_cast<int>(g_state.parameterPowers.size());
}

}  // namespace

FAKE_API FakeEngineState* fake_state()
{
    return &g_state;
}

FAKE_API FakeSearchState* fake_search_state()
{
    return &g_search;
}

FAKE_API void* CreateDOEObj()
{
    g_state.objects.push_back(std::make_unique<FakeObject>());
    g_state.objects.back()->calls.push_back("CreateDOEObj");
    return g_state.objects.back().get();
}

FAKE_API void add1(void* h, const char* name, double, double)
{
    obj(h)->factorNames.push_back(name);
    obj(h)->calls.push_back(std::string("add1 ") + name);
}

FAKE_API void add2(void* h, const char* name, const char** levels, int count)
{
    obj(h)->factorNames.push_back(name);
    obj(h)->calls.push_back(std::string("add2 ") + name);
    std::vector<std::string> copy;
    for (int i = 0; i < count; ++i)
        copy.push_back(levels[i]);
    obj(h)->categoricalLevels.push_back(copy);
}

FAKE_API void add3(void* h, const char* name, const double* values, int count)
{
    obj(h)->factorNames.push_back(name);
    obj(h)->calls.push_back(std::string("add3 ") + name);
    obj(h)->discreteValues.emplace_back(values, values + count);
}

FAKE_API void addresponse(void* h, const char* name)
{
    obj(h)->responses.push_back(name);
}

FAKE_API void seed(void* h, unsigned long value)
{
    obj(h)->seed = value;
    obj(h)->calls.push_back("seed " + std::to_string(value));
}

FAKE_API void generate(void* h, int runs)
{
    obj(h)->generatedRuns = runs;
    obj(h)->calls.push_back("generate " + std::to_string(runs));
#ifdef FAKE_OPTIONAL_DESIGN
    // A long search that another thread watches and stops.
    if (g_search.block) {
        const int cancelsBefore = g_search.cancelCalls;
        g_search.generating = true;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (g_search.cancelCalls == cancelsBefore && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        g_search.generating = false;
        obj(h)->noRuns = !g_search.keepRunsOnCancel;
    }
#endif
}

FAKE_API void Vfactorset(void* h, const double* values, int row)
{
    // Reads exactly one value per factor: a shorter array shows up under the address checker.
    const size_t n = obj(h)->factorNames.size();
    obj(h)->factorRows[row] = std::vector<double>(values, values + n);
}

FAKE_API void Vreponse(void* h, const double* value, int row)
{
    obj(h)->responseValues[row] = *value;
}

FAKE_API int numexpandfac(void*)
{
    return static_cast<int>(g_state.columnFactor.size());
}

FAKE_API int numparameter(void*)
{
    return parameterCount();
}

FAKE_API void getexpandvalue(void*, int column, int* factor, int* codes)
{
    *factor = g_state.columnFactor[static_cast<size_t>(column)];
    const std::vector<int>& c = g_state.columnCodes[static_cast<size_t>(column)];
    for (size_t i = 0; i < c.size(); ++i)
        codes[i] = c[i];
}

FAKE_API void getparameter(void*, int parameter, int* powers)
{
    const std::vector<int>& p = g_state.parameterPowers[static_cast<size_t>(parameter)];
    for (size_t i = 0; i < p.size(); ++i)
        powers[i] = p[i];
}

FAKE_API void step(void* h, const int* entered, double* sse, int* dfe, double* rmse,
                   double* rsquare, double* rsquareAdj, int* p, double* cp, double* aicc,
                   double* bicc)
{
    FakeObject* o = obj(h);
    ++o->stepCalls;
    o->lastEntered.assign(entered, entered + parameterCount());
    int count = 0;
    for (int v : o->lastEntered)
        count += v;
    *sse = 10.0 * count;
    *dfe = 20 - count;
    *rmse = 1.5;
    *rsquare = 0.5;
    *rsquareAdj = 0.25;
    *p = count;
    *cp = 3.5;
    *aicc = 4.5;
    *bicc = 5.5;
}

FAKE_API void runmodel(void* h, const int* entered, double* ssError, double* ssModel,
                       int* dfModel, int* dfError, double* rmse, double* rsquare,
                       double* rsquareAdj, double* fRatio, double* probF)
{
    FakeObject* o = obj(h);
    ++o->runCalls;
    o->lastEntered.assign(entered, entered + parameterCount());
    *ssError = 1.0;
    *ssModel = 2.0;
    *dfModel = 3;
    *dfError = 4;
    *rmse = 5.0;
    *rsquare = 0.6;
    *rsquareAdj = 0.7;
    *fRatio = 8.0;
    *probF = 0.009;
}

FAKE_API void getrunparameter(void*, int parameter, double* estimate, double* stdError,
                              double* tRatio, double* probT)
{
    *estimate = 1.5 * parameter;
    *stdError = 0.5;
    *tRatio = 3.0 * parameter;
    *probT = 0.01;
}

FAKE_API void predict2(void* h, const double* x, double* prediction, double* se1, double* se2,
                       int* dfe)
{
    const size_t n = obj(h)->factorNames.size();
    obj(h)->lastX.assign(x, x + n);
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i)
        sum += x[i];
    *prediction = sum;
    *se1 = 0.1;
    *se2 = 0.2;
    *dfe = 7;
}

#ifndef FAKE_PARTIAL

FAKE_API int createmodel(void* h, int kind)
{
    obj(h)->modelKind = kind;
    obj(h)->calls.push_back("createmodel " + std::to_string(kind));
    return g_state.createModelResult;
}

FAKE_API double* Vfactor(void* h, int row)
{
    FakeObject* o = obj(h);
    o->calls.push_back("Vfactor " + std::to_string(row));
    if (o->noRuns)
        return nullptr;
    o->rowStorage.assign(o->factorNames.size(), 0.0);
    auto it = o->factorRows.find(row);
    if (it != o->factorRows.end())
        o->rowStorage = it->second;
    return o->rowStorage.data();
}

FAKE_API void stepstart(void* h)
{
    ++obj(h)->stepStarts;
}

FAKE_API void getstepparameter(void*, int parameter, double* estimate, int* ndf, double* ss,
                               double* fRatio, double* probF)
{
    *estimate = parameter;
    *ndf = 1;
    *ss = 2.0;
    *fRatio = 3.0;
    *probF = g_state.pValues[static_cast<size_t>(parameter)];
}

FAKE_API void predict(void* h, const double* x, double* prediction, double* confLow,
                      double* predLow, double* confHigh, double* predHigh, double alpha)
{
    FakeObject* o = obj(h);
    const size_t n = o->factorNames.size();
    o->lastX.assign(x, x + n);
    o->lastAlpha = alpha;
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i)
        sum += x[i];
    if (g_state.nanPrediction)
        sum = std::numeric_limits<double>::quiet_NaN();
    *prediction = sum;
    *confLow = sum - 1.0;
    *predLow = sum - 2.0;
    *confHigh = sum + 1.0;
    *predHigh = sum + 2.0;
}

FAKE_API double calcmax(void* h, double* x, double, double, double, double, double, double, int)
{
    const size_t n = obj(h)->factorNames.size();
    for (size_t i = 0; i < n && i < g_state.maxSettings.size(); ++i)
        x[i] = g_state.maxSettings[i];
    return g_state.maxValue;
}

FAKE_API void ReleaseDOEObj(void* h)
{
    ++g_state.releaseCalls;
    obj(h)->released = true;
}

#endif

#ifdef FAKE_OPTIONAL_DESIGN

FAKE_API int setmodelterms(void* h, int nterms, const int* powers, const int* necessary)
{
    FakeObject* o = obj(h);
    const size_t nf = o->factorNames.size();
    o->calls.push_back("setmodelterms " + std::to_string(nterms));
    o->termPowers.clear();
    o->termNecessary.clear();
    for (int t = 0; t < nterms; ++t) {
        o->termPowers.emplace_back(powers + t * nf, powers + (t + 1) * nf);
        o->termNecessary.push_back(necessary[t]);
    }
    return 0;
}

FAKE_API int setcriterion(void* h, int criterion)
{
    obj(h)->criterion = criterion;
    obj(h)->calls.push_back("setcriterion " + std::to_string(criterion));
    return 0;
}

FAKE_API double generateprogress(void*)
{
    return g_search.generating ? 0.25 : 1.0;
}

FAKE_API void generatecancel(void*)
{
    ++g_search.cancelCalls;
}

FAKE_API double generatememory(void*, int runs)
{
    return g_search.bytesPerRun * runs;
}

#endif
