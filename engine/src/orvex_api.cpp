// C exports: each checks its handle against the registry of live engine objects, catches
// everything, and forwards to the engine object.
#include "orvex.h"

#include "orvex_engine.h"
#include "orvex_stats.h"

#include <cmath>
#include <mutex>
#include <unordered_set>

using orvex::Engine;
using orvex::Factor;
using orvex::FactorKind;
using orvex::kNaN;

namespace {

// Live engine objects. Unknown or released handles are refused; objects a caller never releases
// are freed when the library unloads.
class Registry {
public:
    ~Registry()
    {
        for (Engine* e : live_)
            delete e;
    }
    void add(Engine* e)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_.insert(e);
    }
    Engine* find(void* h)
    {
        if (!h)
            return nullptr;
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = live_.find(static_cast<Engine*>(h));
        return it == live_.end() ? nullptr : *it;
    }
    bool remove(void* h)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return live_.erase(static_cast<Engine*>(h)) > 0;
    }

private:
    std::mutex mutex_;
    std::unordered_set<Engine*> live_;
};

Registry& registry()
{
    static Registry r;
    return r;
}

template <class T>
void put(T* out, T value)
{
    if (out)
        *out = value;
}

std::string text(const char* s)
{
    return s ? std::string(s) : std::string();
}

// Runs fn on the engine behind h; nothing when the handle is unknown or fn throws.
template <class Fn>
void withEngine(void* h, Fn&& fn)
{
    try {
        if (Engine* e = registry().find(h))
            fn(*e);
    } catch (...) {
    }
}

void writeStepParam(const orvex::StepParam& s, double* estimate, int* ndf, double* ss, double* f,
                    double* prob)
{
    put(estimate, s.estimate);
    put(ndf, s.ndf);
    put(ss, s.ss);
    put(f, s.fRatio);
    put(prob, s.probF);
}

}  // namespace

extern "C" {

void* CreateDOEObj(void)
{
    try {
        Engine* e = new Engine;
        registry().add(e);
        return e;
    } catch (...) {
        return nullptr;
    }
}

void ReleaseDOEObj(void* h)
{
    try {
        if (h && registry().remove(h))
            delete static_cast<Engine*>(h);
    } catch (...) {
    }
}

void add1(void* h, const char* name, double low, double high)
{
    withEngine(h, [&](Engine& e) {
        Factor f;
        f.kind = FactorKind::Continuous;
        f.name = text(name);
        f.low = low;
        f.high = high;
        f.valid = std::isfinite(low) && std::isfinite(high);
        e.addFactor(std::move(f));
    });
}

void add2(void* h, const char* name, const char** levels, int count)
{
    withEngine(h, [&](Engine& e) {
        Factor f;
        f.kind = FactorKind::Categorical;
        f.name = text(name);
        f.valid = levels && count > 0;
        if (f.valid)
            for (int i = 0; i < count; ++i)
                f.levelNames.push_back(text(levels[i]));
        e.addFactor(std::move(f));
    });
}

void add3(void* h, const char* name, const double* values, int count)
{
    withEngine(h, [&](Engine& e) {
        Factor f;
        f.kind = FactorKind::Discrete;
        f.name = text(name);
        f.valid = values && count > 0;
        if (f.valid)
            for (int i = 0; i < count; ++i) {
                f.levelValues.push_back(values[i]);
                f.valid = f.valid && std::isfinite(values[i]);
            }
        e.addFactor(std::move(f));
    });
}

void addresponse(void* h, const char* name)
{
    withEngine(h, [&](Engine& e) { e.addResponse(text(name)); });
}

void seed(void* h, unsigned long value)
{
    withEngine(h, [&](Engine& e) { e.setSeed(value); });
}

int createmodel(void* h, int kind)
{
    int result = -1;
    withEngine(h, [&](Engine& e) { result = e.createModel(kind); });
    return result;
}

void generate(void* h, int runs)
{
    withEngine(h, [&](Engine& e) { e.generate(runs); });
}

int setmodelterms(void* h, int nterms, const int* powers, const int* necessary)
{
    int result = -1;
    withEngine(h, [&](Engine& e) { result = e.setModelTerms(nterms, powers, necessary) ? 0 : -1; });
    return result;
}

int setcriterion(void* h, int criterion)
{
    int result = -1;
    withEngine(h, [&](Engine& e) { result = e.setCriterion(criterion) ? 0 : -1; });
    return result;
}

double generateprogress(void* h)
{
    double result = kNaN;
    withEngine(h, [&](Engine& e) { result = e.progress(); });
    return result;
}

void generatecancel(void* h)
{
    withEngine(h, [&](Engine& e) { e.cancel(); });
}

double generatememory(void* h, int runs)
{
    double result = kNaN;
    withEngine(h, [&](Engine& e) { result = e.searchMemory(runs); });
    return result;
}

int setstarts(void* h, int starts)
{
    int result = -1;
    withEngine(h, [&](Engine& e) { result = e.setStarts(starts) ? 0 : -1; });
    return result;
}

int setaliasoptimal(void* h, int on)
{
    int result = -1;
    withEngine(h, [&](Engine& e) {
        e.setAliasOptimal(on != 0);
        result = 0;
    });
    return result;
}

int setrunstructure(void* h, const int* changes, int nfactors, int wholePlots,
                    int wholeWholePlots, int blocks, double varianceRatio)
{
    int result = -1;
    withEngine(h, [&](Engine& e) {
        if (nfactors < 0 || (nfactors > 0 && !changes))
            return;
        orvex::RunStructure s;
        s.changes.assign(changes, changes + nfactors);
        s.wholePlots = wholePlots;
        s.wholeWholePlots = wholeWholePlots;
        s.blocks = blocks;
        s.eta = varianceRatio;
        result = e.setStructure(s) ? 0 : -1;
    });
    return result;
}

int proposewholeplots(void* h, int runs, int* wholePlots, int* wholeWholePlots)
{
    int result = -1;
    withEngine(h, [&](Engine& e) {
        int wp = 0, wwp = 0;
        if (!e.proposeStructure(runs, wp, wwp))
            return;
        put(wholePlots, wp);
        put(wholeWholePlots, wwp);
        result = 0;
    });
    return result;
}

int runstructure(void* h, int row, int* wholePlot, int* wholeWholePlot, int* block)
{
    int result = -1;
    withEngine(h, [&](Engine& e) {
        if (row < 0 || row >= e.runCount() || !e.run(row))
            return;
        const orvex::RunLayout& L = e.runLayout();
        put(wholePlot, L.wholePlots > 0 ? L.wp[row] + 1 : 0);
        put(wholeWholePlot, L.wholeWholePlots > 0 ? L.wwp[row] + 1 : 0);
        put(block, L.blocks > 0 ? L.block[row] + 1 : 0);
        result = 0;
    });
    return result;
}

double* Vfactor(void* h, int row)
{
    double* result = nullptr;
    withEngine(h, [&](Engine& e) { result = e.run(row); });
    return result;
}

void Vfactorset(void* h, const double* values, int row)
{
    withEngine(h, [&](Engine& e) { e.setRun(values, row); });
}

int fixrun(void* h, int row, const int* factors)
{
    int result = -1;
    withEngine(h, [&](Engine& e) { result = e.fixRun(row, factors) ? 0 : -1; });
    return result;
}

void Vreponse(void* h, const double* value, int row)
{
    withEngine(h, [&](Engine& e) {
        if (value)
            e.setResponse(*value, row);
    });
}

void stepstart(void* h)
{
    withEngine(h, [&](Engine& e) { e.startFitting(); });
}

int numexpandfac(void* h)
{
    int result = -1;
    withEngine(h, [&](Engine& e) {
        if (e.model().isBuilt())
            result = e.model().columnCount();
    });
    return result;
}

int numparameter(void* h)
{
    int result = -1;
    withEngine(h, [&](Engine& e) {
        if (e.model().isBuilt())
            result = e.model().paramCount();
    });
    return result;
}

void getexpandvalue(void* h, int column, int* factor, int* codes)
{
    withEngine(h, [&](Engine& e) {
        const orvex::Model& m = e.model();
        if (!m.isBuilt() || column < 0 || column >= m.columnCount())
            return;
        const int f = m.columnFactor(column);
        put(factor, f + 1);
        if (f < 0 || !codes || m.factor(f).kind != FactorKind::Categorical)
            return;
        const int L = m.factor(f).levelCount();
        const int level = m.columnLevel(column);
        for (int l = 0; l < L; ++l)
            codes[l] = l == L - 1 ? -1 : (l == level ? 1 : 0);
    });
}

void getparameter(void* h, int parameter, int* powers)
{
    withEngine(h, [&](Engine& e) {
        const orvex::Model& m = e.model();
        if (!m.isBuilt() || !powers || parameter < 0 || parameter >= m.paramCount())
            return;
        m.powers(parameter, powers);
    });
}

void step(void* h, const int* entered, double* sse, int* dfe, double* rmse, double* rsquare,
          double* rsquareAdj, int* p, double* cp, double* aicc, double* bicc)
{
    withEngine(h, [&](Engine& e) {
        if (!e.step(entered))
            return;
        const orvex::Fit& f = e.stepFit();
        put(sse, f.sse);
        put(dfe, f.dfe);
        put(rmse, f.rmse);
        put(rsquare, f.rsquare);
        put(rsquareAdj, f.rsquareAdj);
        put(p, f.p);
        put(cp, f.cp);
        put(aicc, f.aicc);
        put(bicc, f.bic);
    });
}

void getstepparameter(void* h, int parameter, double* estimate, int* ndf, double* ss,
                      double* fRatio, double* probF)
{
    withEngine(h, [&](Engine& e) {
        const orvex::Fit& f = e.stepFit();
        if (!f.valid || parameter < 0 || parameter >= static_cast<int>(f.stepParams.size()))
            return;
        writeStepParam(f.stepParams[parameter], estimate, ndf, ss, fRatio, probF);
    });
}

void runmodel(void* h, const int* entered, double* ssError, double* ssModel, int* dfModel,
              int* dfError, double* rmse, double* rsquare, double* rsquareAdj, double* fRatio,
              double* probF)
{
    withEngine(h, [&](Engine& e) {
        if (!e.runModel(entered))
            return;
        const orvex::Fit& f = e.runFit();
        put(ssError, f.sse);
        put(ssModel, f.ssModel);
        put(dfModel, f.dfModel);
        put(dfError, f.dfe);
        put(rmse, f.rmse);
        put(rsquare, f.rsquare);
        put(rsquareAdj, f.rsquareAdj);
        put(fRatio, f.fRatio);
        put(probF, f.probF);
    });
}

void getrunparameter(void* h, int parameter, double* estimate, double* stdError, double* tRatio,
                     double* probT)
{
    withEngine(h, [&](Engine& e) {
        const orvex::Fit& f = e.runFit();
        if (!f.valid || parameter < 0 || parameter >= static_cast<int>(f.runParams.size()))
            return;
        const orvex::RunParam& r = f.runParams[parameter];
        put(estimate, r.estimate);
        put(stdError, r.stdError);
        put(tRatio, r.tRatio);
        put(probT, r.probT);
    });
}

void predict(void* h, const double* x, double* prediction, double* confLow, double* predLow,
             double* confHigh, double* predHigh, double alpha)
{
    withEngine(h, [&](Engine& e) {
        double yhat = kNaN, lev = kNaN;
        const orvex::Fit* fit = nullptr;
        if (!e.predict(x, yhat, lev, fit)) {
            for (double* out : {prediction, confLow, predLow, confHigh, predHigh})
                put(out, kNaN);
            return;
        }
        const double t = fit->dfe > 0 ? e.tQuantileCached(alpha, fit->dfe) : kNaN;
        const double conf = t * std::sqrt(fit->mse * lev);
        const double pred = t * std::sqrt(fit->mse * (1.0 + lev));
        put(prediction, yhat);
        put(confLow, yhat - conf);
        put(predLow, yhat - pred);
        put(confHigh, yhat + conf);
        put(predHigh, yhat + pred);
    });
}

void predict2(void* h, const double* x, double* prediction, double* se1, double* se2, int* dfe)
{
    withEngine(h, [&](Engine& e) {
        double yhat = kNaN, lev = kNaN;
        const orvex::Fit* fit = nullptr;
        if (!e.predict(x, yhat, lev, fit)) {
            for (double* out : {prediction, se1, se2})
                put(out, kNaN);
            return;
        }
        put(prediction, yhat);
        put(se1, std::sqrt(fit->mse * (1.0 + lev)));
        put(se2, std::sqrt(fit->mse * lev));
        put(dfe, fit->dfe);
    });
}

double calcmax(void* h, double* x, double y1, double y2, double y3, double d1, double d2, double d3,
               int iterations)
{
    double result = kNaN;
    withEngine(h, [&](Engine& e) {
        const double y[3] = {y1, y2, y3};
        const double d[3] = {d1, d2, d3};
        result = e.maximise(x, y, d, iterations);
    });
    return result;
}

}  // extern "C"
