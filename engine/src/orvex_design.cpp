#include "orvex_design.h"

#include "orvex_alias_search.h"
#include "orvex_design_search.h"
#include "orvex_iterated_search.h"
#include "orvex_design_space.h"
#include "orvex_structured_starts.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <map>
#include <mutex>
#include <thread>

namespace orvex {

namespace {

// Runs fn on `threads` threads (the caller's among them) and waits for all. A thread that cannot
// be started leaves its share to the others; the first exception of a worker is rethrown here.
template <class Fn>
void runThreads(int threads, Fn fn)
{
    std::mutex mutex;
    std::exception_ptr failure;
    auto guarded = [&] {
        try {
            fn();
        } catch (...) {
            std::lock_guard<std::mutex> lock(mutex);
            if (!failure)
                failure = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(guarded);
        } catch (...) {
            break;
        }
    }
    guarded();
    for (auto& t : pool)
        t.join();
    if (failure)
        std::rethrow_exception(failure);
}

constexpr int kMinStarts = 8, kMaxStarts = 300;
constexpr long kGridCells = 2000000;  // largest candidate grid, in parameter cells
constexpr int kMaxThreads = 16;

int searchThreads(const DesignSearchOptions& options)
{
    const int threads = options.threads > 0 ? options.threads
                                            : static_cast<int>(std::thread::hardware_concurrency());
    return std::max(1, std::min(threads, kMaxThreads));
}

struct StartResult {
    bool done = false;
    double score = 0.0;
    std::vector<double> coords;
};

std::vector<double> toUnits(const Space& sp, const std::vector<double>& coords, int n)
{
    std::vector<double> runs(coords);
    for (int i = 0; i < n; ++i)
        for (int f = 0; f < sp.F; ++f) {
            const Factor& fac = sp.m.factor(f);
            double& v = runs[static_cast<size_t>(i) * sp.F + f];
            if (fac.kind == FactorKind::Continuous)
                v = 0.5 * (fac.low + fac.high) + 0.5 * v * (fac.high - fac.low);
        }
    return runs;
}

// Runs job(search, j) for j = 0 .. count-1 on up to `threads` threads, one Search per thread;
// stops handing out jobs once stop() says so.
template <class Job, class Stop>
void runJobs(const Space& sp, int n, int threads, int count, Stop stop, Job job)
{
    std::atomic<int> next{0};
    runThreads(std::max(1, std::min(threads, count)), [&] {
        Search search(sp, n);
        search.stop = stop;
        for (;;) {
            const int j = next.fetch_add(1);
            if (j >= count || stop())
                break;
            job(search, j);
        }
    });
}

// Indices of the done results, best first (ties: lower index first), at most `keep` of them.
std::vector<int> bestOf(const std::vector<StartResult>& results, size_t keep)
{
    std::vector<int> order;
    for (size_t k = 0; k < results.size(); ++k)
        if (results[k].done)
            order.push_back(static_cast<int>(k));
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return results[a].score > results[b].score; });
    if (order.size() > keep)
        order.resize(keep);
    return order;
}

// Random starts (in parallel; the result does not depend on the thread count: start s always
// begins from the same point and the starts kept are decided in start order), then the best of
// them polished with whole-run exchanges when the candidate grid fits.
std::vector<double> runSearch(const Space& sp, int n, std::uint64_t seed,
                              const DesignSearchOptions& options)
{
    // Without a fixed count, starts continue until the operation budget is spent (at least
    // kMinStarts, at most kMaxStarts).
    constexpr double kWorkBudget = 3.5e8;
    const Grid grid = buildGrid(sp, kGridCells);
    const bool budgeted = options.starts <= 0;
    const int maxStarts = budgeted ? kMaxStarts : options.starts;
    const int threads = searchThreads(options);
    std::atomic<bool>* cancel = options.cancel;
    auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };

    // Shares of the progress bar taken by the polish and by the kicks after it.
    const double polishShare = grid.C.rows() > 0 ? 0.1 : 0.0;
    const double kickShare = polishShare;
    const double startsShare = 1.0 - polishShare - kickShare;
    auto report = [&options](double fraction) {
        reportProgress(options.progress,
                       options.progressFrom + fraction * (options.progressTo - options.progressFrom));
    };
    const double passWork = static_cast<double>(n) * sp.P * (sp.P + 12.0 * sp.F);

    std::vector<StartResult> results(maxStarts);
    // Starts still holding their runs; only the best `keep` of them can reach the polish.
    const size_t keep = static_cast<size_t>(std::max(1, options.polished));
    std::vector<int> holders;
    std::vector<double> startWork(maxStarts, 0.0);
    std::mutex mutex;
    int prefix = 0;                 // starts 0 .. prefix-1 are done and counted
    double prefixWork = 0.0;
    std::atomic<int> next{0}, stopAt{maxStarts};
    std::atomic<double> liveWork{0.0};
    // Work of a start: a guess of about a hundred passes until one is counted.
    std::atomic<double> meanWork{120.0 * passWork};

    auto startsProgress = [&] {
        const double mean = meanWork.load();
        const double expected = budgeted
            ? std::min(std::max(kWorkBudget, kMinStarts * mean), kMaxStarts * mean)
            : maxStarts * mean;
        return std::min(0.99, liveWork.load() / std::max(expected, 1.0));
    };

    runThreads(std::min(threads, maxStarts), [&] {
        Search search(sp, n);
        search.onWork = [&](double w) {
            double cur = liveWork.load();
            while (!liveWork.compare_exchange_weak(cur, cur + w)) {
            }
            report(startsShare * startsProgress());
        };
        for (;;) {
            const int s = next.fetch_add(1);
            if (s >= stopAt.load() || cancelled())
                break;
            search.stop = [&, s] { return cancelled() || s >= stopAt.load(); };
            search.randomStart(seed, s);
            const double score = search.optimise(options.maxPasses);
            if (search.aborted())
                continue;
            std::lock_guard<std::mutex> lock(mutex);
            results[s].done = true;
            results[s].score = score;
            results[s].coords = search.coords();
            startWork[s] = search.work();
            // With a fixed count every finished start counts: drop the runs of those that can no
            // longer be among the best `keep` (the order, score then start number, is total), so
            // that many starts hold little memory. A budget may still cut finished starts off.
            if (!budgeted)
                holders.push_back(s);
            if (holders.size() > std::max<size_t>(2 * keep, 64)) {
                std::sort(holders.begin(), holders.end(), [&](int a, int b) {
                    return results[a].score > results[b].score
                        || (results[a].score == results[b].score && a < b);
                });
                for (size_t k = keep; k < holders.size(); ++k)
                    std::vector<double>().swap(results[holders[k]].coords);
                holders.resize(keep);
            }
            while (prefix < maxStarts && results[prefix].done) {
                prefixWork += startWork[prefix];
                ++prefix;
                meanWork.store(prefixWork / prefix);
                if (budgeted && prefix >= kMinStarts && prefixWork > kWorkBudget
                    && prefix < stopAt.load())
                    stopAt.store(prefix);
            }
        }
    });
    if (!cancelled())
        results.resize(stopAt.load());
    // Starts from orthogonal arrays compete with the random ones (after them, so ties keep the
    // random design).
    const std::vector<std::vector<double>> structured
        = options.structuredStarts ? structuredStarts(sp, n, seed) : std::vector<std::vector<double>>();
    const size_t firstStructured = results.size();
    results.resize(firstStructured + structured.size());
    runJobs(sp, n, threads, static_cast<int>(structured.size()), cancelled, [&](Search& search, int j) {
        search.setCoords(structured[j]);
        const double score = search.optimise(options.maxPasses);
        if (!search.aborted())
            results[firstStructured + j] = {true, score, search.coords()};
    });
    // The best few go on to the whole-run exchange polish.
    const std::vector<int> order = bestOf(results, keep);
    if (order.empty())
        return {};
    std::vector<double> best = results[order.front()].coords;
    double bestScore = results[order.front()].score;
    report(startsShare);

    if (grid.C.rows() > 0 && !cancelled()) {
        std::vector<StartResult> polished(order.size());
        std::atomic<int> jobsDone{0};
        const int jobs = static_cast<int>(order.size());
        runJobs(sp, n, threads, jobs, cancelled, [&](Search& search, int j) {
            search.setCoords(results[order[j]].coords);
            const double score = search.polish(grid, options.maxPasses);
            if (search.aborted())
                return;
            polished[j] = {true, score, search.coords()};
            const double done = (jobsDone.fetch_add(1) + 1.0) / jobs;
            report(startsShare + polishShare * done);
        });
        for (const StartResult& r : polished)
            if (r.done && r.score > bestScore) {
                bestScore = r.score;
                best = r.coords;
            }
        // Kicks from the best design while the grid is small enough to polish what they find.
        const double before = bestScore;
        bestScore = iterateSearch(sp, n, seed, threads, options.maxPasses, kWorkBudget, 25, cancelled,
                                  best, bestScore, [&](double done) {
                                      report(startsShare + polishShare + kickShare * done);
                                  });
        Search search(sp, n);
        search.stop = cancelled;
        search.setCoords(best);
        if (bestScore > before && search.polish(grid, options.maxPasses) > bestScore && !search.aborted())
            best = search.coords();
    }
    return toUnits(sp, best, n);
}

}  // namespace

void reportProgress(std::atomic<double>* progress, double fraction)
{
    if (!progress)
        return;
    fraction = std::min(1.0, std::max(0.0, fraction));
    double cur = progress->load();
    while (fraction > cur && !progress->compare_exchange_weak(cur, fraction)) {
    }
}

std::vector<double> searchDesign(const Model& model, int n, std::uint64_t seed,
                                 const DesignSearchOptions& options)
{
    if (!model.isBuilt())
        return {};
    return searchDesign(model, kind2Terms(model), n, seed, options);
}

std::vector<double> searchDesign(const Model& model, const DesignTerms& terms, int n,
                                 std::uint64_t seed, const DesignSearchOptions& options)
{
    if (!model.isBuilt() || n <= 0 || terms.params.empty())
        return {};
    if (options.aliasOptimal && terms.necessaryCount() < static_cast<int>(terms.params.size()))
        return aliasOptimalSearch(model, terms, n, seed, options);
    const Space space(model, terms, options);
    return runSearch(space, n, seed, options);
}

double searchMemory(int parameters, int factors, int n, const DesignSearchOptions& options)
{
    if (parameters <= 0 || factors <= 0 || n <= 0)
        return 0.0;
    const double P = parameters, F = factors, runs = n;
    const int threads = searchThreads(options);
    const int starts = options.starts > 0 ? options.starts : kMinStarts;
    // Per thread: the model matrix and coordinates of one start, and its P x P inverses and
    // workspaces. Kept: the finished starts and the polished ones, the engine's own runs and
    // the copies handed back. Candidates: the grid's rows and coordinates.
    const double perThread = runs * (P + F) + 8.0 * P * P;
    const double kept = (std::min(starts, kMaxStarts) + threads + std::max(1, options.polished) + 4)
        * runs * F;
    const double grid = static_cast<double>(kGridCells) * (1.0 + F / P);
    return 8.0 * (threads * perThread + kept + grid);
}

std::vector<double> centreDesign(const Model& model, int n)
{
    if (!model.isBuilt() || n <= 0)
        return {};
    const int F = model.factorCount();
    std::vector<double> runs(static_cast<size_t>(n) * F, 0.0);
    for (int i = 0; i < n; ++i)
        for (int f = 0; f < F; ++f) {
            const Factor& fac = model.factor(f);
            if (fac.kind == FactorKind::Continuous)
                runs[static_cast<size_t>(i) * F + f] = 0.5 * (fac.low + fac.high);
        }
    return runs;
}

// 100 det(X'X)^(1/p) / n of a model matrix; 0 when X'X is singular.
static double dEfficiencyOfMatrix(const Eigen::MatrixXd& X)
{
    const Eigen::Index n = X.rows(), P = X.cols();
    Eigen::LLT<Eigen::MatrixXd> llt(X.transpose() * X);
    if (n == 0 || P == 0 || llt.info() != Eigen::Success)
        return 0.0;
    const double logdet = 2.0 * llt.matrixLLT().diagonal().array().log().sum();
    if (!std::isfinite(logdet))
        return 0.0;
    return 100.0 * std::exp(logdet / P) / n;
}

double dEfficiency(const Model& model, const std::vector<double>& runs, int n)
{
    const int F = model.factorCount(), P = model.paramCount();
    if (!model.isBuilt() || n <= 0 || runs.size() < static_cast<size_t>(n) * F)
        return 0.0;
    Eigen::MatrixXd X(n, P);
    std::vector<double> cols(model.columnCount());
    Eigen::VectorXd row(P);
    for (int i = 0; i < n; ++i) {
        if (!model.runRow(&runs[static_cast<size_t>(i) * F], row.data(), cols.data()))
            return 0.0;
        X.row(i) = row.transpose();
    }
    return dEfficiencyOfMatrix(X);
}

}  // namespace orvex

namespace orvex {

int DesignTerms::necessaryCount() const
{
    return static_cast<int>(std::count(necessary.begin(), necessary.end(), 1));
}

DesignTerms kind2Terms(const Model& model)
{
    DesignTerms t;
    for (int k = 0; k < model.paramCount(); ++k) {
        std::vector<int> cols;
        const auto& pr = model.term(k);
        if (pr.first >= 0)
            cols.push_back(pr.first);
        if (pr.second >= 0)
            cols.push_back(pr.second);
        t.params.push_back(std::move(cols));
        t.necessary.push_back(1);
    }
    return t;
}

DesignTerms expandTerms(const Model& model, const std::vector<int>& powers,
                        const std::vector<char>& necessary)
{
    const int F = model.factorCount();
    DesignTerms t;
    t.params.emplace_back();
    t.necessary.push_back(1);
    std::map<std::vector<int>, size_t> seen{{std::vector<int>(), 0}};
    for (size_t term = 0; term < necessary.size(); ++term) {
        // Products so far, extended factor by factor with each of its column choices.
        std::vector<std::vector<int>> products(1);
        bool dropped = false;
        for (int f = 0; f < F && !dropped; ++f) {
            const int pw = powers[term * F + f];
            if (pw == 0)
                continue;
            const Factor& fac = model.factor(f);
            if ((pw == 2 && !fac.hasSquare()) || (pw == 3 && fac.kind != FactorKind::Continuous)) {
                dropped = true;
                break;
            }
            std::vector<std::vector<int>> next;
            for (const auto& prod : products)
                for (int c = 0; c < fac.columnCount(); ++c) {
                    std::vector<int> p = prod;
                    for (int k = 0; k < pw; ++k)
                        p.push_back(model.firstColumn(f) + c);
                    next.push_back(std::move(p));
                }
            products.swap(next);
        }
        if (dropped)
            continue;
        for (auto& p : products) {
            std::sort(p.begin(), p.end());
            auto it = seen.find(p);
            if (it != seen.end()) {
                t.necessary[it->second] = t.necessary[it->second] || necessary[term];
                continue;
            }
            seen.emplace(p, t.params.size());
            t.params.push_back(std::move(p));
            t.necessary.push_back(necessary[term] ? 1 : 0);
        }
    }
    return t;
}

void termsRow(const DesignTerms& terms, const double* cols, double* row)
{
    for (size_t k = 0; k < terms.params.size(); ++k) {
        double v = 1.0;
        for (int c : terms.params[k])
            v *= cols[c];
        row[k] = v;
    }
}

double dEfficiency(const Model& model, const DesignTerms& terms, const std::vector<double>& runs,
                   int n)
{
    const int F = model.factorCount(), P = static_cast<int>(terms.params.size());
    if (!model.isBuilt() || n <= 0 || P == 0 || runs.size() < static_cast<size_t>(n) * F)
        return 0.0;
    Eigen::MatrixXd X(n, P);
    std::vector<double> cols(model.columnCount());
    Eigen::VectorXd row(P);
    for (int i = 0; i < n; ++i) {
        if (!model.codeRun(&runs[static_cast<size_t>(i) * F], cols.data()))
            return 0.0;
        termsRow(terms, cols.data(), row.data());
        X.row(i) = row.transpose();
    }
    return dEfficiencyOfMatrix(X);
}

}  // namespace orvex
