// Iterated local search from the best design found: a few of its runs redrawn at random, the
// design improved again, kept when better. Escapes optima that independent starts keep missing.
#ifndef ORVEX_ITERATED_SEARCH_H
#define ORVEX_ITERATED_SEARCH_H

#include "orvex_design_space.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace orvex {

// Improves `best` (coordinates, score `bestScore`) in batches of kicks until their work passes
// `workBudget` or a batch gains nothing `patience` times in a row. Each kick of a batch starts
// from the same design and draws from seed and its number alone, and the batch keeps its best
// kick (lowest number on ties), so the result does not depend on `threads`. Returns the score.
// `progress` hears, after each batch, how far the search is towards its end (0 to 1).
double iterateSearch(const Space& sp, int n, std::uint64_t seed, int threads, int maxPasses,
                     double workBudget, int patience, const std::function<bool()>& cancelled,
                     std::vector<double>& best, double bestScore,
                     const std::function<void(double)>& progress = {});

}  // namespace orvex

#endif
