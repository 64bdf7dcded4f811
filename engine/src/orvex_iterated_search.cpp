#include "orvex_iterated_search.h"

#include "orvex_design_search.h"
#include "orvex_rng.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace orvex {

namespace {

constexpr int kBatch = 4;

// Redraws max(2, n / 16) runs of `coords` at random over the candidate values.
void kick(const Space& sp, int n, Rng& rng, std::vector<double>& coords)
{
    const int runs = std::min(n, std::max(2, n / 16));
    for (int k = 0; k < runs; ++k) {
        const int i = rng.below(n);
        for (int f = 0; f < sp.F; ++f)
            coords[static_cast<size_t>(i) * sp.F + f] = sp.candidate(f, rng.below(sp.radix(f)));
    }
}

}  // namespace

double iterateSearch(const Space& sp, int n, std::uint64_t seed, int threads, int maxPasses,
                     double workBudget, int patience, const std::function<bool()>& cancelled,
                     std::vector<double>& best, double bestScore,
                     const std::function<void(double)>& progress)
{
    double work = 0.0;
    int idle = 0;
    for (long batch = 0; work < workBudget && idle < patience && !cancelled(); ++batch) {
        std::vector<std::vector<double>> designs(kBatch, best);
        std::vector<double> scores(kBatch, -1e300), works(kBatch, 0.0);
        std::vector<char> done(kBatch, 0);
        std::atomic<int> next{0};
        auto worker = [&] {
            try {
                Search search(sp, n);
                search.stop = cancelled;
                for (int j; (j = next.fetch_add(1)) < kBatch;) {
                    Rng rng(seed
                            ^ (0x9E3779B97F4A7C15ull * static_cast<std::uint64_t>(batch * kBatch + j + 1)));
                    kick(sp, n, rng, designs[j]);
                    search.setCoords(designs[j]);
                    const double workBefore = search.work();
                    scores[j] = search.optimise(maxPasses);
                    works[j] = search.work() - workBefore;
                    done[j] = !search.aborted();
                    designs[j] = search.coords();
                }
            } catch (...) {
                next.store(kBatch);  // out of memory: the kicks not done count as failed
            }
        };
        std::vector<std::thread> pool;
        for (int t = 1; t < std::min(threads, kBatch); ++t) {
            try {
                pool.emplace_back(worker);
            } catch (...) {
                break;
            }
        }
        worker();
        for (auto& t : pool)
            t.join();
        int winner = -1;
        for (int j = 0; j < kBatch; ++j)
            work += works[j];
        if (progress)  // the search ends on its budget or on its patience, whichever comes first
            progress(std::min(1.0, std::max(work / workBudget, (idle + 1.0) / patience)));
        for (int j = 0; j < kBatch; ++j) {
            if (done[j] && scores[j] > bestScore + 1e-9 * (1.0 + std::abs(bestScore))
                && (winner < 0 || scores[j] > scores[winner]))
                winner = j;
        }
        if (winner < 0) {
            ++idle;
            continue;
        }
        idle = 0;
        bestScore = scores[winner];
        best = designs[winner];
    }
    return bestScore;
}

}  // namespace orvex
