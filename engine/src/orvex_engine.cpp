#include "orvex_engine.h"

#include "orvex_design.h"
#include "orvex_fixed_runs.h"
#include "orvex_optimise.h"
#include "orvex_stats.h"

#include <algorithm>
#include <cmath>

namespace orvex {

void Engine::addFactor(Factor f)
{
    factors_.push_back(std::move(f));
    termPowers_.clear();
    termNecessary_.clear();
    resetModel();
}

bool Engine::setModelTerms(int nterms, const int* powers, const int* necessary)
{
    if (nterms < 0 || (nterms > 0 && (!powers || !necessary)))
        return false;
    const size_t F = factors_.size();
    const size_t cells = static_cast<size_t>(nterms) * F;
    for (size_t k = 0; k < cells; ++k) {
        if (powers[k] < 0 || powers[k] > 3)
            return false;
        // Cubes only for continuous factors: a level factor has no cubic column of its own.
        if (powers[k] == 3 && factors_[k % F].kind != FactorKind::Continuous)
            return false;
    }
    termPowers_.assign(powers, powers + cells);
    termNecessary_.resize(nterms);
    for (int t = 0; t < nterms; ++t)
        termNecessary_[t] = necessary[t] != 0;
    return true;
}

bool Engine::setCriterion(int criterion)
{
    if (criterion != 0 && criterion != 1)
        return false;
    criterion_ = criterion;
    return true;
}

bool Engine::setStarts(int starts)
{
    constexpr int kMaxStarts = 1000000;
    if (starts < 0)
        return false;
    starts_ = std::min(starts, kMaxStarts);
    return true;
}

bool Engine::setStructure(const RunStructure& s)
{
    for (int c : s.changes)
        if (c < 0 || c > 2)
            return false;
    if (s.wholePlots == 0 || s.wholePlots < -1 || s.wholeWholePlots == 0 || s.wholeWholePlots < -1
        || s.blocks < 1 || !(s.eta >= 0.0) || !std::isfinite(s.eta))
        return false;
    structure_ = s;
    return true;
}

bool Engine::proposeStructure(int runs, int& wholePlots, int& wholeWholePlots) const
{
    if (!model_.isBuilt())
        return false;
    proposeGroups(model_, designTerms(), structure_, runs, wholePlots, wholeWholePlots);
    return true;
}

void Engine::resetModel()
{
    model_.clear();
    designTerms_ = DesignTerms();
    runCount_ = 0;
    pending_ = false;
    runs_.clear();
    fixedMask_.clear();
    responses_.clear();
    layout_ = RunLayout();
    started_ = false;
    data_ = FitData();
    stepFit_ = Fit();
    runFit_ = Fit();
}

int Engine::createModel(int kind)
{
    resetModel();
    if (kind != 2 || !model_.build(factors_))
        return -1;
    cols_.assign(model_.columnCount(), 0.0);
    row_.assign(model_.paramCount(), 0.0);
    scratch_.assign(model_.paramCount(), 0.0);
    if (termNecessary_.empty())
        return model_.paramCount();
    designTerms_ = expandTerms(model_, termPowers_, termNecessary_);
    return designTerms_.necessaryCount();
}

void Engine::generate(int runs)
{
    if (!model_.isBuilt())
        return;
    const int F = model_.factorCount();
    runCount_ = 0;
    pending_ = false;
    runs_.clear();
    fixedMask_.clear();
    responses_.clear();
    cancel_.store(false);
    progress_.store(0.0);
    runs = std::max(runs, 1);
    if (runs > kMaxRuns || static_cast<long long>(runs) * F > kMaxCells)
        return;
    runCount_ = runs;
    designSeed_ = seed_;
    layout_ = RunLayout();
    if (structuredSearch())
        layout_ = layoutRuns(model_, designTerms(), structure_, runs);
    runs_ = centreDesign(model_, runs);
    responses_.assign(runs, kNaN);
    pending_ = true;
}

double Engine::searchMemory(int runs) const
{
    if (!model_.isBuilt())
        return kNaN;
    const int P = designTerms_.params.empty() ? model_.paramCount()
                                              : static_cast<int>(designTerms_.params.size());
    return orvex::searchMemory(P, model_.factorCount(), std::max(runs, 1));
}

void Engine::resolvePending()
{
    if (!pending_)
        return;
    pending_ = false;
    DesignSearchOptions options;
    options.criterion = criterion_ == 1 ? Criterion::I : Criterion::D;
    options.starts = starts_;
    options.aliasOptimal = aliasOptimal_;
    options.progress = &progress_;
    options.cancel = &cancel_;
    std::vector<double> design;
    FixedCells fixed;
    const bool anyFixed = std::find(fixedMask_.begin(), fixedMask_.end(), 1) != fixedMask_.end();
    if (anyFixed) {
        fixed = codeFixedCells(model_, runs_, fixedMask_, runCount_);
        options.fixed = &fixed;
    }
    try {
        if (search_)
            design = search_(options);
        else if (structuredSearch())
            design = searchStructured(model_, designTerms(), runCount_, designSeed_, options,
                                      structure_, layout_);
        else
            design = designTerms_.params.empty()
                ? searchDesign(model_, runCount_, designSeed_, options)
                : searchDesign(model_, designTerms_, runCount_, designSeed_, options);
    } catch (...) {
        design.clear();  // out of memory, or a worker failed: no design, never the placeholder
    }
    progress_.store(1.0);
    if (design.size() == runs_.size()) {
        // Fixed cells keep the caller's values exactly, not a round trip through the coding.
        for (size_t k = 0; anyFixed && k < fixedMask_.size(); ++k)
            if (fixedMask_[k])
                design[k] = runs_[k];
        runs_.swap(design);
    } else {
        // Stopped before a single start finished, or failed: no design until the next generate.
        runCount_ = 0;
        std::vector<double>().swap(runs_);
        std::vector<double>().swap(responses_);
    }
}

double* Engine::run(int row)
{
    if (row < 0 || row >= runCount_)
        return nullptr;
    resolvePending();
    if (row >= runCount_)
        return nullptr;
    return &runs_[static_cast<size_t>(row) * model_.factorCount()];
}

void Engine::setRun(const double* values, int row)
{
    if (!values || row < 0 || row >= runCount_)
        return;
    pending_ = false;  // the caller supplies its own runs; no search is needed
    const int F = model_.factorCount();
    std::copy(values, values + F, runs_.begin() + static_cast<long>(row) * F);
}

void Engine::setResponse(double value, int row)
{
    if (row < 0 || row >= runCount_)
        return;
    responses_[row] = value;
}

bool Engine::startFitting()
{
    if (!model_.isBuilt() || runCount_ <= 0)
        return false;
    resolvePending();
    if (runCount_ <= 0)
        return false;
    data_ = buildFitData(model_, runs_, responses_);
    stepFit_ = Fit();
    runFit_ = Fit();
    started_ = true;
    return true;
}

std::vector<char> Engine::enteredFlags(const int* entered) const
{
    std::vector<char> flags(model_.paramCount(), 0);
    for (int j = 0; j < model_.paramCount(); ++j)
        flags[j] = entered[j] != 0;
    return flags;
}

bool Engine::step(const int* entered)
{
    if (!started_ || !entered)
        return false;
    stepFit_ = fitEntered(data_, enteredFlags(entered));
    computeStepStats(data_, stepFit_);
    stepFit_.q.resize(0, 0);
    stepFit_.resid.resize(0);
    return true;
}

bool Engine::runModel(const int* entered)
{
    if (!started_ || !entered)
        return false;
    runFit_ = fitEntered(data_, enteredFlags(entered));
    computeRunStats(runFit_);
    runFit_.q.resize(0, 0);
    runFit_.resid.resize(0);
    return true;
}

const Fit* Engine::predictionFit() const
{
    // A fit without a single estimable parameter (no usable runs) predicts nothing.
    if (runFit_.valid)
        return runFit_.p > 0 ? &runFit_ : nullptr;
    if (stepFit_.valid)
        return stepFit_.p > 0 ? &stepFit_ : nullptr;
    return nullptr;
}

bool Engine::predict(const double* x, double& yhat, double& h, const Fit*& fit)
{
    fit = predictionFit();
    if (!fit || !x || !model_.runRow(x, row_.data(), cols_.data()))
        return false;
    yhat = predictRow(*fit, row_.data());
    h = leverage(*fit, row_.data(), scratch_.data());
    return true;
}

double Engine::tQuantileCached(double alpha, int dfe)
{
    if (!(alpha > 0.0 && alpha < 1.0))
        return kNaN;
    if (!(alpha == cachedAlpha_ && dfe == cachedDfe_)) {
        cachedAlpha_ = alpha;
        cachedDfe_ = dfe;
        cachedT_ = tQuantile(1.0 - alpha / 2.0, dfe);
    }
    return cachedT_;
}

double Engine::maximise(double* x, const double y[3], const double d[3], int restarts)
{
    const Fit* fit = predictionFit();
    if (!fit || !x)
        return kNaN;
    std::vector<double> best;
    const double v = maximiseDesirability(model_, *fit, Desirability(y, d), restarts,
                                          seed_ ^ 0x5DEECE66Dull, best);
    if (std::isnan(v) || best.size() != static_cast<size_t>(model_.factorCount()))
        return kNaN;
    std::copy(best.begin(), best.end(), x);
    return v;
}

}  // namespace orvex
