// One engine object: factors, model, runs, fitting state. The C exports forward to it.
#ifndef ORVEX_ENGINE_H
#define ORVEX_ENGINE_H

#include "orvex_design.h"
#include "orvex_fit.h"
#include "orvex_model.h"
#include "orvex_split_plot.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace orvex {

// Largest design or data set an engine object accepts (runs, and runs times factors).
constexpr int kMaxRuns = 1000000;
constexpr long long kMaxCells = 20000000;

class Engine {
public:
    void addFactor(Factor f);
    void addResponse(const std::string& name) { responseNames_.push_back(name); }
    void setSeed(std::uint64_t s) { seed_ = s; }
    // Model terms of the design search (powers: nterms rows of one power per factor); false on
    // bad input, leaving the terms as they were.
    bool setModelTerms(int nterms, const int* powers, const int* necessary);
    bool setCriterion(int criterion);
    // Random starts of the search (0: the adaptive budget); false for a negative count.
    bool setStarts(int starts);
    void setAliasOptimal(bool on) { aliasOptimal_ = on; }
    // Whole plots, whole-whole plots and blocks of the next generate; false on bad input.
    bool setStructure(const RunStructure& s);
    // Proposed whole-plot and whole-whole-plot counts for `runs` runs; false without a model.
    bool proposeStructure(int runs, int& wholePlots, int& wholeWholePlots) const;
    // Group numbers of the generated runs (empty vectors for absent levels).
    const RunLayout& runLayout() const { return layout_; }
    int createModel(int kind);
    void generate(int runs);
    // Bytes the design search for `runs` rows would need; NaN without a model.
    double searchMemory(int runs) const;
    // Replaces the design search (tests make it fail with it); an empty function restores it.
    using SearchFn = std::function<std::vector<double>(const DesignSearchOptions&)>;
    void setSearch(SearchFn fn) { search_ = std::move(fn); }
    // Thread-safe: fraction of the design search done, and a request to stop it.
    double progress() const { return progress_.load(); }
    void cancel() { cancel_.store(true); }
    double* run(int row);
    void setRun(const double* values, int row);
    // Keeps row's cells (all, or those whose factors[f] is non-zero) as set in later searches of
    // this design; false for a row out of range or a value that cannot be kept.
    bool fixRun(int row, const int* factors);
    void setResponse(double value, int row);
    bool startFitting();
    bool step(const int* entered);
    bool runModel(const int* entered);
    // Fit used by prediction: the latest run, else the latest step; null before any or when it
    // has no estimable parameter.
    const Fit* predictionFit() const;
    // Prediction, its leverage x'(X'X)^-1 x and the fit; false when x is outside the levels.
    bool predict(const double* x, double& yhat, double& h, const Fit*& fit);
    double tQuantileCached(double alpha, int dfe);
    double maximise(double* x, const double y[3], const double d[3], int restarts);

    const Model& model() const { return model_; }
    bool started() const { return started_; }
    const Fit& stepFit() const { return stepFit_; }
    const Fit& runFit() const { return runFit_; }
    int runCount() const { return runCount_; }

private:
    void resetModel();
    // A design with whole plots or blocks, set for the current factors.
    bool structuredSearch() const
    {
        return structure_.active()
            && (structure_.changes.empty()
                || structure_.changes.size() == static_cast<size_t>(model_.factorCount()));
    }
    DesignTerms designTerms() const
    {
        return designTerms_.params.empty() ? kind2Terms(model_) : designTerms_;
    }
    void resolvePending();
    std::vector<char> enteredFlags(const int* entered) const;

    std::vector<Factor> factors_;
    std::vector<int> termPowers_;       // model terms for the search, one row per term
    std::vector<char> termNecessary_;
    int criterion_ = 0;
    int starts_ = 0;
    bool aliasOptimal_ = false;
    RunStructure structure_;
    RunLayout layout_;
    DesignTerms designTerms_;           // expanded at createModel; empty: the kind-2 parameters
    std::atomic<double> progress_{0.0};
    std::atomic<bool> cancel_{false};
    std::vector<std::string> responseNames_;
    std::uint64_t seed_ = 0;
    Model model_;
    int runCount_ = 0;
    bool pending_ = false;      // design requested but not optimised yet
    SearchFn search_;
    std::uint64_t designSeed_ = 0;
    std::vector<double> runs_;
    std::vector<char> fixedMask_;  // runs x factors; empty when nothing is fixed
    std::vector<double> responses_;
    bool started_ = false;
    FitData data_;
    Fit stepFit_;
    Fit runFit_;
    std::vector<double> cols_, row_, scratch_;
    double cachedAlpha_ = kNaN;
    int cachedDfe_ = -1;
    double cachedT_ = kNaN;
};

}  // namespace orvex

#endif
