// bench-links: orvex_objs
// Cost of cubes in the design model: search time and D-efficiency of the full quadratic in k
// continuous factors against the same model with every factor also cubed, at the minimum run
// count and at one and a half times it.
#include "orvex_design.h"
#include "orvex_model.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <set>
#include <vector>

namespace {

std::vector<int> quadraticPowers(int k, bool cubes)
{
    std::vector<int> powers;
    auto term = [&](int a, int pa, int b, int pb) {
        std::vector<int> row(k, 0);
        row[a] += pa;
        if (b >= 0)
            row[b] += pb;
        powers.insert(powers.end(), row.begin(), row.end());
    };
    for (int a = 0; a < k; ++a)
        term(a, 1, -1, 0);
    for (int a = 0; a < k; ++a)
        for (int b = a; b < k; ++b)
            term(a, 1, b, 1);
    if (cubes)
        for (int a = 0; a < k; ++a)
            term(a, 3, -1, 0);
    return powers;
}

}  // namespace

int main()
{
    // Wall and CPU seconds of one single-threaded search (the machine may be shared).
    std::printf("%-3s %-6s %5s %5s %8s %8s %8s %7s\n", "k", "model", "p", "runs", "wall s", "cpu s", "D-eff",
                "levels");
    for (int k : {3, 5, 7}) {
        std::vector<orvex::Factor> factors(k);
        for (auto& f : factors) {
            f.low = -1.0;
            f.high = 1.0;
        }
        orvex::Model model;
        model.build(factors);
        for (bool cubes : {false, true}) {
            const std::vector<int> powers = quadraticPowers(k, cubes);
            const std::vector<char> necessary(powers.size() / k, 1);
            const orvex::DesignTerms terms = orvex::expandTerms(model, powers, necessary);
            const int p = terms.necessaryCount();
            for (int n : {p, p + p / 2}) {
                orvex::DesignSearchOptions options;
                options.threads = 1;
                const auto t0 = std::chrono::steady_clock::now();
                const std::clock_t c0 = std::clock();
                const std::vector<double> runs = orvex::searchDesign(model, terms, n, 1, options);
                const double cpu = double(std::clock() - c0) / CLOCKS_PER_SEC;
                const double secs =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                std::set<double> levels;
                for (int i = 0; i < n; ++i)
                    levels.insert(runs[static_cast<size_t>(i) * k]);
                std::printf("%-3d %-6s %5d %5d %8.3f %8.3f %8.2f %7zu\n", k, cubes ? "+cubes" : "quad", p, n, secs, cpu,
                            orvex::dEfficiency(model, terms, runs, n), levels.size());
            }
        }
    }
    return 0;
}
