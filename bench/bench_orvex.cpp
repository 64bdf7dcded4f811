// bench-links: orvex_objs
// Engine figures: design D-efficiency and time per case (against a Fedorov exchange over the
// 3-level grid where that is affordable), one stepwise step with all its parameter statistics,
// prediction throughput, and how soon a cancelled search returns.
#include "orvex.h"
#include "orvex_alias_search.h"
#include "orvex_design.h"
#include "orvex_model.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

struct Case {
    int continuous;
    std::vector<int> categorical;  // level counts
    int runs;                      // 0: p; negative: -percent of p
    double reference;              // held reference D-efficiency, 0 if none
};

std::vector<orvex::Factor> factorsOf(const Case& c)
{
    std::vector<orvex::Factor> fs;
    for (int i = 0; i < c.continuous; ++i) {
        orvex::Factor f;
        f.low = -1.0;
        f.high = 1.0;
        fs.push_back(f);
    }
    for (int L : c.categorical) {
        orvex::Factor f;
        f.kind = orvex::FactorKind::Categorical;
        for (int l = 0; l < L; ++l)
            f.levelNames.push_back("L" + std::to_string(l));
        fs.push_back(f);
    }
    return fs;
}

// Modified Fedorov exchange over the full 3-level grid (levels for categorical factors), best of
// several random starts.
double fedorov(const orvex::Model& m, int n, int repeats)
{
    const int F = m.factorCount(), P = m.paramCount();
    std::vector<std::vector<double>> cand;
    std::vector<double> run(F, 0.0);
    std::vector<int> radix(F);
    long total = 1;
    for (int f = 0; f < F; ++f) {
        radix[f] = m.factor(f).kind == orvex::FactorKind::Continuous ? 3 : m.factor(f).levelCount();
        total *= radix[f];
    }
    if (total > 5000)
        return std::nan("");
    std::vector<double> cols(m.columnCount());
    Eigen::MatrixXd C(total, P);
    for (long k = 0; k < total; ++k) {
        long rest = k;
        for (int f = 0; f < F; ++f) {
            const int v = static_cast<int>(rest % radix[f]);
            rest /= radix[f];
            run[f] = m.factor(f).kind == orvex::FactorKind::Continuous ? v - 1.0 : v;
        }
        Eigen::VectorXd row(P);
        m.runRow(run.data(), row.data(), cols.data());
        C.row(k) = row.transpose();
    }
    unsigned long long state = 12345;
    auto rnd = [&](long mod) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<long>((state >> 33) % static_cast<unsigned long long>(mod));
    };
    double best = 0.0;
    for (int rep = 0; rep < repeats; ++rep) {
        std::vector<long> idx(n);
        for (auto& i : idx)
            i = rnd(total);
        for (int pass = 0; pass < 50; ++pass) {
            Eigen::MatrixXd M = Eigen::MatrixXd::Identity(P, P) * 1e-6;
            for (long i : idx)
                M += C.row(i).transpose() * C.row(i);
            Eigen::MatrixXd V = M.llt().solve(Eigen::MatrixXd::Identity(P, P));
            bool changed = false;
            for (int r = 0; r < n; ++r) {
                const Eigen::VectorXd f = C.row(idx[r]).transpose();
                const Eigen::VectorXd Vf = V * f;
                const double d = f.dot(Vf);
                const Eigen::MatrixXd CV = C * V;
                const Eigen::VectorXd q = (CV.array() * C.array()).rowwise().sum();
                const Eigen::VectorXd s = C * Vf;
                long bestK = -1;
                double bestD = 1.0 + 1e-9;
                for (long k = 0; k < total; ++k) {
                    const double delta = (1.0 + q[k]) * (1.0 - d) + s[k] * s[k];
                    if (delta > bestD) {
                        bestD = delta;
                        bestK = k;
                    }
                }
                if (bestK >= 0) {
                    idx[r] = bestK;
                    changed = true;
                    M.setIdentity();
                    M *= 1e-6;
                    for (long i : idx)
                        M += C.row(i).transpose() * C.row(i);
                    V = M.llt().solve(Eigen::MatrixXd::Identity(P, P));
                }
            }
            if (!changed)
                break;
        }
        Eigen::MatrixXd X(n, P);
        for (int r = 0; r < n; ++r)
            X.row(r) = C.row(idx[r]);
        Eigen::LLT<Eigen::MatrixXd> llt(X.transpose() * X);
        if (llt.info() != Eigen::Success)
            continue;
        const double ld = 2.0 * llt.matrixLLT().diagonal().array().log().sum();
        if (std::isfinite(ld))
            best = std::max(best, 100.0 * std::exp(ld / P) / n);
    }
    return best;
}

void designTable(bool withFedorov, int starts, int only)
{
    std::vector<Case> cases = {
        {2, {}, 0, 0},    {2, {}, -150, 0}, {3, {}, 10, 42.3}, {3, {}, 0, 0},   {3, {}, -150, 0},
        {4, {}, 0, 0},    {4, {}, 20, 46.7}, {5, {}, 0, 0},    {5, {}, -125, 0}, {5, {}, -150, 0},
        {6, {}, 0, 0},    {6, {}, 40, 51.2}, {7, {}, 0, 0},    {7, {}, -150, 0}, {8, {}, 0, 0},
        {8, {}, 60, 0},   {2, {3}, 0, 0},    {2, {3}, -150, 0}, {3, {2, 3}, 0, 0}, {3, {2, 3}, -125, 0},
        {0, {2, 2, 2, 2, 2}, 16, 100.0},     {4, {}, 8, 0},    {10, {}, 0, 0},   {12, {}, 0, 0},
        {15, {}, 0, 0},   {20, {}, 0, 0},
    };
    std::printf("%-26s %5s %4s %10s %10s %10s %9s %9s\n", "case", "n", "p", "D-eff %", "Fedorov %",
                "reference", "time s", "cpu s");
    for (const Case& c : cases) {
        if (only >= 0 && c.continuous != only)
            continue;
        orvex::Model m;
        m.build(factorsOf(c));
        const int p = m.paramCount();
        int n = c.runs > 0 ? c.runs : (c.runs == 0 ? p : (p * -c.runs + 99) / 100);
        void* h = CreateDOEObj();
        for (int i = 0; i < c.continuous; ++i)
            add1(h, ("X" + std::to_string(i + 1)).c_str(), -1.0, 1.0);
        for (int L : c.categorical) {
            std::vector<std::string> names;
            std::vector<const char*> ptrs;
            for (int l = 0; l < L; ++l)
                names.push_back("L" + std::to_string(l));
            for (auto& s : names)
                ptrs.push_back(s.c_str());
            add2(h, "C", ptrs.data(), L);
        }
        seed(h, 1);
        createmodel(h, 2);
        const auto t0 = Clock::now();
        const std::clock_t c0 = std::clock();
        std::vector<double> runs;
        if (starts > 0) {
            orvex::DesignSearchOptions opt;
            opt.starts = starts;
            if (const char* pol = std::getenv("BENCH_POLISHED"))
                opt.polished = std::atoi(pol);
            runs = orvex::searchDesign(m, n, 1, opt);
        } else {
            generate(h, n);
            Vfactor(h, 0);
        }
        const auto t1 = Clock::now();
        const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
        for (int r = 0; starts <= 0 && r < n; ++r) {
            const double* v = Vfactor(h, r);
            runs.insert(runs.end(), v, v + m.factorCount());
        }
        ReleaseDOEObj(h);
        const double eff = orvex::dEfficiency(m, runs, n);
        const double fed = withFedorov && n >= p ? fedorov(m, n, 30) : std::nan("");
        std::string name = std::to_string(c.continuous) + " cont";
        if (!c.categorical.empty()) {
            name += " +";
            for (int L : c.categorical)
                name += " " + std::to_string(L) + "-level";
        }
        char ref[32] = "";
        if (c.reference > 0)
            std::snprintf(ref, sizeof ref, "%.1f", c.reference);
        char fedText[32] = "";
        if (!std::isnan(fed))
            std::snprintf(fedText, sizeof fedText, "%.2f", fed);
        std::printf("%-26s %5d %4d %10.2f %10s %10s %9.3f %9.3f\n", name.c_str(), n, p, eff, fedText,
                    ref, seconds(t0, t1), cpu);
    }
}

void fitTiming()
{
    // 10 continuous factors, full quadratic (p = 66), 1000 runs; half the terms entered.
    const int F = 10, n = 1000;
    void* h = CreateDOEObj();
    for (int i = 0; i < F; ++i)
        add1(h, "X", -1.0, 1.0);
    const int P = createmodel(h, 2);
    generate(h, n);
    unsigned long long state = 7;
    auto uni = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state >> 11) * 0x1.0p-53 * 2.0 - 1.0;
    };
    std::vector<double> x(F);
    for (int r = 0; r < n; ++r) {
        double y = 0.0;
        for (int f = 0; f < F; ++f) {
            x[f] = uni();
            y += (f + 1) * x[f] + 0.5 * x[f] * x[f];
        }
        y += 0.1 * uni();
        Vfactorset(h, x.data(), r);
        Vreponse(h, &y, r);
    }
    stepstart(h);
    std::vector<int> entered(P, 0);
    for (int j = 0; j < P; j += 2)
        entered[j] = 1;
    const int reps = 50;
    double sse, rmse, rsq, rsqa, cp, aicc, bic, est, ss, fr, pf;
    int dfe, p, ndf;
    const auto t0 = Clock::now();
    for (int k = 0; k < reps; ++k) {
        step(h, entered.data(), &sse, &dfe, &rmse, &rsq, &rsqa, &p, &cp, &aicc, &bic);
        for (int j = 0; j < P; ++j)
            getstepparameter(h, j, &est, &ndf, &ss, &fr, &pf);
    }
    const auto t1 = Clock::now();
    std::printf("\nstep + %d getstepparameter, 10 factors, p = %d, n = %d: %.2f ms per step\n", P, P, n,
                1e3 * seconds(t0, t1) / reps);
    ReleaseDOEObj(h);

    // predict2 at p = 21 (5 continuous factors).
    h = CreateDOEObj();
    for (int i = 0; i < 5; ++i)
        add1(h, "X", 0.0, 10.0);
    const int P2 = createmodel(h, 2);
    generate(h, 40);
    for (int r = 0; r < 40; ++r) {
        double y = Vfactor(h, r)[0] + 0.01 * uni();
        Vreponse(h, &y, r);
    }
    stepstart(h);
    std::vector<int> all(P2, 1);
    runmodel(h, all.data(), &sse, &ss, &p, &dfe, &rmse, &rsq, &rsqa, &fr, &pf);
    const int calls = 2000000;
    double xs[5] = {1, 2, 3, 4, 5};
    double acc = 0.0, pred, se1, se2;
    const auto t2 = Clock::now();
    for (int k = 0; k < calls; ++k) {
        xs[k % 5] = (k % 97) * 0.1;
        predict2(h, xs, &pred, &se1, &se2, &dfe);
        acc += pred + se1;
    }
    const auto t3 = Clock::now();
    std::printf("predict2, p = %d: %.2f million calls per second (checksum %.3g)\n", P2,
                calls / seconds(t2, t3) / 1e6, acc);
    ReleaseDOEObj(h);
}

// Time from a cancel to the search returning, for 24 continuous factors with the full quadratic
// (p = 325) and 400 runs, cancelled after `after` seconds of searching; and the memory the engine
// says such searches need.
void cancelTiming(double after)
{
    const int F = 24, n = 400, repeats = 5;
    std::vector<double> latency;
    int kept = 0;
    for (int k = 0; k < repeats; ++k) {
        void* h = CreateDOEObj();
        for (int i = 0; i < F; ++i)
            add1(h, "X", -1.0, 1.0);
        createmodel(h, 2);
        seed(h, static_cast<unsigned long>(k + 1));
        generate(h, n);
        std::atomic<bool> done{false};
        Clock::time_point end;
        std::thread reader([&] {
            kept += Vfactor(h, 0) != nullptr;
            end = Clock::now();
            done = true;
        });
        const auto start = Clock::now();
        while (!done && seconds(start, Clock::now()) < after)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto asked = Clock::now();
        generatecancel(h);
        reader.join();
        latency.push_back(seconds(asked, end));
        ReleaseDOEObj(h);
    }
    std::sort(latency.begin(), latency.end());
    std::printf("\ncancel after %.1f s, %d factors, p = 325, n = %d, %d repeats: median %.1f ms, "
                "max %.1f ms (%d kept a design)\n",
                after, F, n, repeats, 1e3 * latency[repeats / 2], 1e3 * latency.back(), kept);
    void* h = CreateDOEObj();
    for (int i = 0; i < F; ++i)
        add1(h, "X", -1.0, 1.0);
    createmodel(h, 2);
    for (int runs : {400, 100000, 1000000})
        std::printf("memory estimate, %d factors, p = 325, n = %d: %.3f GiB\n", F, runs,
                    generatememory(h, runs) / (1024.0 * 1024.0 * 1024.0));
    ReleaseDOEObj(h);
}

// Two-level designs for given terms through the C ABI (main effects Necessary, two-factor
// products Necessary or If Possible), and large response surfaces: D-efficiency in the model's
// coding and time. Alias sum of squares where products are If Possible.
void termTable(int threads, bool structured)
{
    struct TermCase {
        const char* name;
        int factors, runs;
        int products;  // 0 none, 1 Necessary, 2 If Possible
        bool alias, quadratic;
    };
    const TermCase cases[] = {
        {"ME 19 factors", 19, 20, 0, false, false},  {"ME 23 factors", 23, 24, 0, false, false},
        {"ME 20 factors", 20, 24, 0, false, false},  {"ME 15 factors", 15, 16, 0, false, false},
        {"ME+2FI 8 factors", 8, 40, 1, false, false}, {"ME+2FI 12 factors", 12, 90, 1, false, false},
        {"ME, 2FI If Possible", 6, 16, 2, false, false}, {"same, Alias Optimal", 6, 16, 2, true, false},
        {"RSM 20 factors n = p", 20, 231, 0, false, true}, {"RSM 24 factors", 24, 400, 0, false, true},
    };
    std::printf("\n%-24s %4s %5s %10s %9s %9s %9s\n", "terms case", "k", "n", "D-eff %", "alias SS",
                "time s", "cpu s");
    for (const TermCase& c : cases) {
        std::vector<orvex::Factor> fs(c.factors);
        for (auto& f : fs) {
            f.low = -1.0;
            f.high = 1.0;
        }
        orvex::Model m;
        m.build(fs);
        std::vector<int> powers;
        std::vector<char> necessary;
        auto add = [&](int a, int b, bool nec) {
            for (int f = 0; f < c.factors; ++f)
                powers.push_back((f == a) + (f == b));
            necessary.push_back(nec);
        };
        for (int a = 0; a < c.factors; ++a)
            add(a, -1, true);
        for (int a = 0; (c.products || c.quadratic) && a < c.factors; ++a)
            for (int b = a + 1; b < c.factors; ++b)
                add(a, b, c.products != 2);
        for (int a = 0; c.quadratic && a < c.factors; ++a)
            add(a, a, true);
        const orvex::DesignTerms terms = orvex::expandTerms(m, powers, necessary);
        orvex::DesignSearchOptions opt;
        opt.threads = threads;
        opt.aliasOptimal = c.alias;
        opt.structuredStarts = structured;
        if (const char* st = std::getenv("BENCH_STARTS"))
            opt.starts = std::atoi(st);
        if (const char* only = std::getenv("BENCH_CASE"))
            if (std::string(c.name).find(only) == std::string::npos)
                continue;
        const auto t0 = Clock::now();
        const std::clock_t c0 = std::clock();
        const std::vector<double> runs = orvex::searchDesign(m, terms, c.runs, 1, opt);
        const auto t1 = Clock::now();
        const double cpu = static_cast<double>(std::clock() - c0) / CLOCKS_PER_SEC;
        orvex::DesignTerms nec;
        for (size_t k = 0; k < terms.params.size(); ++k)
            if (terms.necessary[k]) {
                nec.params.push_back(terms.params[k]);
                nec.necessary.push_back(1);
            }
        char alias[32] = "";
        if (c.products == 2)
            std::snprintf(alias, sizeof alias, "%.4f", orvex::aliasSumOfSquares(m, terms, runs, c.runs));
        std::printf("%-24s %4d %5d %10.4f %9s %9.3f %9.3f\n", c.name, c.factors, c.runs,
                    orvex::dEfficiency(m, nec, runs, c.runs), alias, seconds(t0, t1), cpu);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    // --no-fedorov skips the grid reference; --starts N fixes the number of random starts;
    // --only K keeps the cases with K continuous factors and skips the fit figures;
    // --cancel-only prints the cancel latency and memory figures alone; --terms the two-level
    // and large response-surface cases for given terms, on two threads (--terms-random-only:
    // without the orthogonal-array starts).
    bool fed = true;
    int starts = 0, only = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--no-fedorov")
            fed = false;
        else if (a == "--starts" && i + 1 < argc)
            starts = std::atoi(argv[++i]);
        else if (a == "--only" && i + 1 < argc)
            only = std::atoi(argv[++i]);
        else if (a == "--terms" || a == "--terms-random-only") {
            termTable(2, a == "--terms");
            return 0;
        } else if (a == "--cancel-only") {
            cancelTiming(1.0);
            return 0;
        }
    }
    designTable(fed, starts, only);
    if (only < 0) {
        fitTiming();
        cancelTiming(1.0);
    }
    return 0;
}
