// Optimal design search by coordinate exchange: D-optimal (Bayesian D-optimal when some
// parameters are "If Possible") or I-optimal, for the kind-2 model or for given model terms.
#ifndef ORVEX_DESIGN_H
#define ORVEX_DESIGN_H

#include "orvex_model.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace orvex {

// Parameters of a design search: each the product of the coded columns listed (a column listed
// twice is squared; the empty list is the intercept), Necessary or If Possible.
struct DesignTerms {
    std::vector<std::vector<int>> params;
    std::vector<char> necessary;

    int necessaryCount() const;
};

// The kind-2 parameters of a built model, all Necessary.
DesignTerms kind2Terms(const Model& model);
// Expands model terms (one power 0..3 per factor and term, powers.size() == terms * factors)
// over the model's columns: the intercept first, then each term's products in term order; the
// square of a factor without a kind-2 square, or the cube of a factor that is not continuous,
// drops the term; a repeated product counts once and
// is Necessary when any of its copies is.
DesignTerms expandTerms(const Model& model, const std::vector<int>& powers,
                        const std::vector<char>& necessary);

// D: maximise det(X'X + prior); I: minimise the average prediction variance over the region,
// trace((X'X + prior)^-1 M). The prior is zero but for If Possible parameters (and a tiny ridge).
enum class Criterion { D, I };

struct FixedCells;

struct DesignSearchOptions {
    int starts = 0;          // random starts; 0 runs starts until a fixed operation budget is spent
    int maxPasses = 100;     // coordinate passes per start and phase
    int polished = 10;       // best starts that go on to the whole-run exchange polish
    int threads = 0;         // worker threads for the starts; 0: the hardware's count
    Criterion criterion = Criterion::D;
    std::atomic<double>* progress = nullptr;  // written with the fraction of the work done
    double progressFrom = 0.0, progressTo = 1.0;  // the part of the progress this search fills
    std::atomic<bool>* cancel = nullptr;      // polled; true stops the search
    double tau = 1.0;                         // prior SD of the scaled If Possible coefficients
    // With If Possible parameters: least alias sum of squares of the Necessary parameters on
    // them, keeping the Necessary D-efficiency at 80 % of the D-optimal one or more.
    bool aliasOptimal = false;
    bool structuredStarts = true;  // orthogonal-array starts beside the random ones
    const FixedCells* fixed = nullptr;        // cells the search keeps (augmenting a design)
};

// Reports a fraction of the work done (clamped to [0, 1]), never moving backwards; null: nothing.
void reportProgress(std::atomic<double>* progress, double fraction);

// n runs, n * factorCount doubles in run units (continuous in their own units, levels as
// indices). A continuous factor that no parameter squares only takes its low or high value.
// Deterministic in the model, terms, n, seed and options other than threads, progress and
// cancel. When cancelled: the best finished start, or empty when none finished.
std::vector<double> searchDesign(const Model& model, int n, std::uint64_t seed,
                                 const DesignSearchOptions& options = DesignSearchOptions());
std::vector<double> searchDesign(const Model& model, const DesignTerms& terms, int n,
                                 std::uint64_t seed,
                                 const DesignSearchOptions& options = DesignSearchOptions());

// Bytes a search of n runs for `parameters` parameters and `factors` factors needs at most
// (model matrices of every thread, the starts kept, the candidate grid); 0 for an empty design.
double searchMemory(int parameters, int factors, int n,
                    const DesignSearchOptions& options = DesignSearchOptions());

// Runs at the centre of the region (first level of level factors): a cheap placeholder for runs
// the caller is about to overwrite.
std::vector<double> centreDesign(const Model& model, int n);

// 100 * det(X'X)^(1/p) / n of the runs in the model's coding (the kind-2 parameters, or the
// given terms); 0 when X'X is singular.
double dEfficiency(const Model& model, const std::vector<double>& runs, int n);
double dEfficiency(const Model& model, const DesignTerms& terms, const std::vector<double>& runs,
                   int n);

// Row of the terms' parameters for coded columns.
void termsRow(const DesignTerms& terms, const double* cols, double* row);

}  // namespace orvex

#endif
