// Whole plots, whole-whole plots and blocks through the C exports: refused arguments, the layout
// reported per row, and plot factors of every kind held within their plots under both criteria.
#include "engine_test_util.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <set>
#include <vector>

using namespace enginetest;

namespace {

struct Rows {
    std::vector<std::vector<double>> runs;
    std::vector<int> wp, wwp, block;
};

Rows readRows(void* h, int n, int F)
{
    Rows out;
    for (int r = 0; r < n; ++r) {
        const double* v = Vfactor(h, r);
        EXPECT_NE(v, nullptr);
        if (!v)
            return out;
        out.runs.emplace_back(v, v + F);
        int a = -7, b = -7, c = -7;
        EXPECT_EQ(runstructure(h, r, &a, &b, &c), 0);
        out.wp.push_back(a);
        out.wwp.push_back(b);
        out.block.push_back(c);
    }
    return out;
}

// Factor f has one value per group of `groups`.
bool held(const Rows& rows, const std::vector<int>& groups, int f)
{
    std::map<int, double> seen;
    for (size_t i = 0; i < rows.runs.size(); ++i) {
        auto it = seen.find(groups[i]);
        if (it != seen.end() && it->second != rows.runs[i][f])
            return false;
        seen[groups[i]] = rows.runs[i][f];
    }
    return true;
}

int distinct(const std::vector<int>& v)
{
    return static_cast<int>(std::set<int>(v.begin(), v.end()).size());
}

// Each group of `inner` lies in one group of `outer`.
bool nested(const std::vector<int>& inner, const std::vector<int>& outer)
{
    std::map<int, int> seen;
    for (size_t i = 0; i < inner.size(); ++i)
        if (!seen.emplace(inner[i], outer[i]).second && seen[inner[i]] != outer[i])
            return false;
    return true;
}

}  // namespace

TEST(EngineSplitPlot, BadArgumentsAreRefusedAndKeepTheStructure)
{
    Handle h;
    add1(h, "A", 0, 1);
    add1(h, "B", 0, 1);
    const int changes[2] = {1, 0}, bad[2] = {3, 0};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(setrunstructure(nullptr, changes, 2, 4, -1, 1, 1.0), -1);
    EXPECT_EQ(proposewholeplots(h, 8, nullptr, nullptr), -1);  // no model yet
    ASSERT_EQ(setrunstructure(h, changes, 2, 4, -1, 1, 1.0), 0);
    struct Case {
        const int* changes;
        int n, wp, wwp, blocks;
        double eta;
    };
    const Case refused[] = {{nullptr, 2, 4, -1, 1, 1.0}, {bad, 2, 4, -1, 1, 1.0}, {changes, 2, 0, -1, 1, 1.0},
                            {changes, 2, -2, -1, 1, 1.0}, {changes, 2, 4, 0, 1, 1.0}, {changes, 2, 4, -1, 0, 1.0},
                            {changes, 2, 4, -1, 1, -1.0}, {changes, 2, 4, -1, 1, nan}, {changes, -1, 4, -1, 1, 1.0}};
    for (const Case& c : refused)
        EXPECT_EQ(setrunstructure(h, c.changes, c.n, c.wp, c.wwp, c.blocks, c.eta), -1);
    ASSERT_GT(createmodel(h, 2), 0);
    int wp = -7, wwp = -7;
    EXPECT_EQ(proposewholeplots(h, 100, &wp, &wwp), 0);
    EXPECT_EQ(wp, 4);  // the intercept, A and A squared vary between whole plots, plus one
    EXPECT_EQ(runstructure(h, 0, &wp, &wwp, nullptr), -1);  // nothing generated
    generate(h, 12);
    const Rows rows = readRows(h, 12, 2);
    EXPECT_EQ(distinct(rows.wp), 4);
    EXPECT_TRUE(held(rows, rows.wp, 0));
    EXPECT_EQ(rows.wwp, std::vector<int>(12, 0));
    EXPECT_EQ(runstructure(h, 12, &wp, nullptr, nullptr), -1);
}

// Hard factors of every kind, split-split plots, blocks, and counts above what the runs allow.
TEST(EngineSplitPlot, PlotFactorsOfEveryKindAreHeldUnderBothCriteria)
{
    struct Case {
        const char* what;
        std::vector<int> changes;  // factors: continuous, categorical (3 levels), discrete (3 levels)
        int runs, wp, wwp, blocks, criterion;
        int expectWp, expectWwp, expectBlocks;
    };
    const Case cases[] = {
        {"categorical hard, D", {0, 1, 0}, 18, 6, -1, 1, 0, 6, 0, 0},
        {"continuous very hard, discrete hard, I", {2, 0, 1}, 24, 8, 4, 1, 1, 8, 4, 0},
        {"blocks of whole plots, D", {1, 0, 0}, 16, 8, -1, 4, 0, 8, 0, 4},
        {"counts lowered to the runs", {1, 0, 0}, 12, 40, -1, 30, 0, 12, 0, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Handle h;
        add1(h, "A", -1, 1);
        addCategorical(h, "C", {"x", "y", "z"});
        const double levels[3] = {1, 2, 4};
        add3(h, "D", levels, 3);
        ASSERT_EQ(setrunstructure(h, c.changes.data(), 3, c.wp, c.wwp, c.blocks, 1.0), 0);
        ASSERT_EQ(setcriterion(h, c.criterion), 0);
        seed(h, 5);
        ASSERT_GT(createmodel(h, 2), 0);
        generate(h, c.runs);
        const Rows rows = readRows(h, c.runs, 3);
        ASSERT_EQ(static_cast<int>(rows.runs.size()), c.runs);
        // An absent grouping reads 0 on every row.
        EXPECT_EQ(c.expectWp ? distinct(rows.wp) : rows.wp.back(), c.expectWp);
        EXPECT_EQ(c.expectWwp ? distinct(rows.wwp) : rows.wwp.back(), c.expectWwp);
        EXPECT_EQ(c.expectBlocks ? distinct(rows.block) : rows.block.back(), c.expectBlocks);
        for (int f = 0; f < 3; ++f) {
            if (c.changes[f] == 1)
                EXPECT_TRUE(held(rows, rows.wp, f)) << f;
            if (c.changes[f] == 2)
                EXPECT_TRUE(held(rows, rows.wwp, f)) << f;
        }
        if (c.expectWwp)
            EXPECT_TRUE(nested(rows.wp, rows.wwp));
        if (c.expectBlocks && c.expectWp)
            EXPECT_TRUE(nested(rows.wp, rows.block));
        // Every level factor's values are level indices inside its levels.
        for (const auto& r : rows.runs)
            EXPECT_TRUE(r[1] >= 0 && r[1] < 3 && r[2] >= 0 && r[2] < 3);
    }
}
