// bench-links: orvex_objs
// Split-plot design search: time and log det X'V^-1 X (eta = 1) of a 6-factor response-surface
// design with 2 hard factors, 40 runs in 10 whole plots (target: 5 s), and of the 3-factor
// 16-run case whose reference (bench/split_plot_reference.py) is log(2^28 / 27).
#include "orvex.h"
#include "orvex_design.h"
#include "orvex_engine.h"
#include "orvex_split_plot.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double seconds;
    double logDet;
    bool held;  // hard factors constant within every whole plot
};

// k continuous factors on [-1, 1], the first `hard` of them hard to change; the kind-2 model, or
// main effects and two-factor products when `products` is set.
Figures run(int k, int hard, bool products, int runs, int wholePlots, int starts = 0)
{
    orvex::Engine e;
    for (int f = 0; f < k; ++f) {
        orvex::Factor fac;
        fac.name = "X" + std::to_string(f + 1);
        fac.low = -1.0;
        fac.high = 1.0;
        e.addFactor(fac);
    }
    if (products) {
        std::vector<int> powers;
        std::vector<int> necessary;
        for (int a = 0; a < k; ++a)
            for (int b = a; b < k; ++b) {
                if (a == b) {
                    for (int f = 0; f < k; ++f)
                        powers.push_back(f == a);
                } else {
                    for (int f = 0; f < k; ++f)
                        powers.push_back(f == a || f == b);
                }
                necessary.push_back(1);
            }
        e.setModelTerms(static_cast<int>(necessary.size()), powers.data(), necessary.data());
    }
    orvex::RunStructure s;
    s.changes.assign(k, 0);
    for (int f = 0; f < hard; ++f)
        s.changes[f] = 1;
    s.wholePlots = wholePlots;
    e.setStructure(s);
    e.setSeed(1822740228u);
    e.createModel(2);
    const auto t0 = Clock::now();
    e.generate(runs);
    std::vector<double> design;
    const orvex::RunLayout& L = e.runLayout();
    if (starts > 0) {
        // A fixed, larger number of starts: how far the engine's own budget is from convergence.
        orvex::DesignSearchOptions options;
        options.starts = starts;
        design = orvex::searchStructured(e.model(), orvex::kind2Terms(e.model()), runs, 1822740228u,
                                         options, s, L);
    } else {
        e.run(0);
        for (int i = 0; i < runs; ++i) {
            const double* r = e.run(i);
            design.insert(design.end(), r, r + k);
        }
    }
    const double secs = std::chrono::duration<double>(Clock::now() - t0).count();
    bool held = true;
    for (int i = 1; i < runs; ++i)
        for (int f = 0; f < hard; ++f)
            if (L.wp[i] == L.wp[i - 1] && design[i * k + f] != design[(i - 1) * k + f])
                held = false;
    orvex::Model m;
    std::vector<orvex::Factor> factors;
    for (int f = 0; f < k; ++f)
        factors.push_back(e.model().factor(f));
    m.build(factors);
    orvex::DesignTerms terms = orvex::kind2Terms(m);
    if (products) {
        terms.params.erase(std::remove_if(terms.params.begin(), terms.params.end(),
                                          [](const std::vector<int>& c) {
                                              return c.size() == 2 && c[0] == c[1];
                                          }),
                           terms.params.end());
        terms.necessary.assign(terms.params.size(), 1);
    }
    return {secs, orvex::glsLogDet(m, terms, design, L, 1.0), held};
}

}  // namespace

int main()
{
    const Figures big = run(6, 2, false, 40, 10);
    std::printf("split-plot 6 factors (2 hard), response surface, 40 runs in 10 whole plots: %.3f s "
                "(target 5 s), log det X'V^-1X %.6f, hard factors held: %s\n",
                big.seconds, big.logDet, big.held ? "yes" : "NO");
    const Figures longer = run(6, 2, false, 40, 10, 200);
    std::printf("  the same with 200 starts: %.3f s, log det %.6f\n", longer.seconds, longer.logDet);
    const Figures small = run(3, 1, true, 16, 8);
    std::printf("split-plot 3 factors (1 hard), main effects and products, 16 runs in 8 whole plots: "
                "%.3f s, log det %.9f, reference %.9f, hard factor held: %s\n",
                small.seconds, small.logDet, std::log(268435456.0 / 27.0), small.held ? "yes" : "NO");
    return 0;
}
