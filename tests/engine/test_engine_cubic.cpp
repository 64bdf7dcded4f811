// Cubes of continuous factors in the model terms: run counts and where the runs go.
#include "engine_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace enginetest;

namespace {

// Coded run values of factor f ([0, 10] coded to [-1, 1]) of a design for the given terms.
struct Cubic {
    int minimum = -1;
    std::vector<std::vector<double>> coded;  // per run, per factor
};

Cubic design(int factors, const std::vector<std::vector<int>>& terms, int runs, int criterion)
{
    Handle h;
    for (int f = 0; f < factors; ++f)
        add1(h, "X", 0, 10);
    std::vector<int> powers, necessary(terms.size(), 1);
    for (const auto& t : terms)
        powers.insert(powers.end(), t.begin(), t.end());
    EXPECT_EQ(setmodelterms(h, static_cast<int>(terms.size()), powers.data(), necessary.data()), 0);
    EXPECT_EQ(setcriterion(h, criterion), 0);
    seed(h, 7);
    Cubic c;
    c.minimum = createmodel(h, 2);
    generate(h, runs);
    for (int r = 0; r < runs; ++r) {
        const double* v = Vfactor(h, r);
        if (!v)
            return c;
        std::vector<double> row;
        for (int f = 0; f < factors; ++f)
            row.push_back((v[f] - 5.0) / 5.0);
        c.coded.push_back(row);
    }
    return c;
}

// Runs per distinct coded value of factor f (values closer than 1e-9 are one).
std::map<double, int> levelCounts(const Cubic& c, int f)
{
    std::map<double, int> counts;
    for (const auto& row : c.coded) {
        auto it = std::find_if(counts.begin(), counts.end(),
                               [&](const std::pair<const double, int>& p) { return std::fabs(p.first - row[f]) < 1e-9; });
        if (it == counts.end())
            counts[row[f]] = 1;
        else
            ++it->second;
    }
    return counts;
}

}  // namespace

// The D-optimal design of a cubic in one factor puts equal numbers of runs at -1, -1/sqrt(5),
// 1/sqrt(5) and 1 (the Legendre-Lobatto points); with a product, the other factor stays at its
// ends; I-optimality also spreads the cubed factor.
TEST(EngineCubic, RunsGoWhereACubicNeedsThem)
{
    const double a = 1.0 / std::sqrt(5.0);
    struct Case {
        const char* name;
        int factors;
        std::vector<std::vector<int>> terms;
        int runs, criterion, minimum;
        std::map<double, int> levelsOfFirst;  // exact expectation, or empty: at least 4 levels
        int levelsOfSecond;                   // distinct levels of factor 2, 0 when not checked
    };
    const Case cases[] = {
        {"saturated cubic", 1, {{1}, {2}, {3}}, 4, 0, 4, {{-1, 1}, {-a, 1}, {a, 1}, {1, 1}}, 0},
        {"cubic, two runs per point", 1, {{1}, {2}, {3}}, 8, 0, 4, {{-1, 2}, {-a, 2}, {a, 2}, {1, 2}}, 0},
        {"cube without square", 1, {{1}, {3}}, 6, 0, 3, {}, 0},
        {"cube and product, D", 2, {{1, 0}, {0, 1}, {1, 1}, {2, 0}, {3, 0}}, 10, 0, 6, {}, 2},
        {"cube and product, I", 2, {{1, 0}, {0, 1}, {1, 1}, {2, 0}, {3, 0}}, 10, 1, 6, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Cubic d = design(c.factors, c.terms, c.runs, c.criterion);
        EXPECT_EQ(d.minimum, c.minimum);
        ASSERT_EQ(d.coded.size(), static_cast<size_t>(c.runs));
        const auto first = levelCounts(d, 0);
        if (c.levelsOfFirst.empty()) {
            EXPECT_GE(first.size(), 3u);
        } else {
            ASSERT_EQ(first.size(), c.levelsOfFirst.size());
            auto want = c.levelsOfFirst.begin();
            for (const auto& got : first) {
                EXPECT_NEAR(got.first, want->first, 1e-9);
                EXPECT_EQ(got.second, want->second);
                ++want;
            }
        }
        if (c.levelsOfSecond) {
            EXPECT_EQ(levelCounts(d, 1).size(), static_cast<size_t>(c.levelsOfSecond));
        }
        for (const auto& row : d.coded)
            for (double v : row)
                EXPECT_TRUE(v >= -1.0 - 1e-12 && v <= 1.0 + 1e-12) << v;
    }
}
