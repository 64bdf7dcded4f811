// Backward stepwise through the engine link on aliased data, step by step against a path derived
// here in quadruple precision: a drop whose removal leaves the rank has no DF and Prob>F 1 (and so
// goes first); otherwise the term with the smallest rise of SSE goes.
#include "../engine/exact_lsq.h"
#include "DoeFunctionManager.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>

using doeFunc::DoeFunctionManager;
using exact::Quad;

namespace {

struct AliasRun {
    double x1, x2;
    int level;  // of C in {a, b, c}; c never occurs
};

// Model rows from the link's own parameter names: a name is its columns joined by "*".
exact::Matrix modelRows(const QVector<QString>& params, const std::vector<AliasRun>& runs)
{
    exact::Matrix X;
    for (const AliasRun& r : runs) {
        std::vector<Quad> row;
        for (const QString& name : params) {
            Quad v = 1;
            for (const QString& col : name.split('*')) {
                if (col == "X1")
                    v *= r.x1;
                else if (col == "X2")
                    v *= r.x2;
                else if (col == "C{a-c}")
                    v *= r.level == 0 ? 1 : 0;
                else if (col == "C{b-c}")
                    v *= r.level == 1 ? 1 : 0;
            }
            row.push_back(v);
        }
        X.push_back(row);
    }
    return X;
}

}  // namespace

// X2 only at its two ends (X2*X2 repeats the intercept) and a level of C that never occurs (the
// two C columns sum to the intercept, their products with X1 and X2 to X1 and X2).
TEST(EngineLinkAlias, BackwardPathMatchesExactDropTests)
{
    std::vector<AliasRun> runs;
    std::vector<Quad> y;
    for (int i = 0; i < 16; ++i) {
        const AliasRun r{(i % 5 - 2) / 2.0, i % 2 ? 1.0 : -1.0, (i / 2) % 2};
        const double u = ((i * 37) % 17) / 8.0 - 1;
        runs.push_back(r);
        y.push_back(5 + 1.0 * r.x1 - 0.6 * r.x2 + 0.4 * (r.level ? -1 : 1) + 0.5 * r.x1 * r.x2
                    + 0.3 * r.x1 * r.x1 + 0.2 * r.x1 * (r.level ? -1 : 1) + 0.05 * u);
    }
    DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded());
    ASSERT_TRUE(m.createDoeObjMulti(1));
    m.addContinuousFactor("X1", -1, 1, 0);
    m.addContinuousFactor("X2", -1, 1, 0);
    m.addCategoricalFactor("C", {"a", "b", "c"}, 0);
    m.addResponses("Y", 0);
    ASSERT_EQ(m.creataDoeModel(2, 0), 12);
    m.generateDoeTable(static_cast<int>(runs.size()), 0);
    for (int i = 0; i < static_cast<int>(runs.size()); ++i) {
        m.setVFactorByLineIdx({QString::number(runs[i].x1), QString::number(runs[i].x2),
                               QString::number(runs[i].level)}, i, 0);
        m.setVResponseByLineIdx({QString::number(static_cast<double>(y[i]), 'g', 17)}, i, 0);
    }
    m.initRegressionBaseData({"X1", "X2", "C"}, {1, 1, 2}, {0, 0, 3}, {{}, {}, {"a", "b", "c"}},
                             {{}, {}, {}}, 0);
    QVector<QString> params;
    m.getSaveParamName(params, 0);
    ASSERT_EQ(params.size(), 12);
    const exact::Matrix X = modelRows(params, runs);
    QVector<QPair<int, int>> flags(12, {1, 0});
    m.setMFInfo(flags, 0);
    m.doStep(0);

    std::vector<int> entered(12);
    for (int j = 0; j < 12; ++j)
        entered[j] = j;
    int aliasedDrops = 0;
    while (entered.size() > 1) {
        const exact::Fit f = exact::fit(X, y, entered);
        const int dfe = static_cast<int>(runs.size()) - f.rank;
        std::vector<int> aliased;
        std::vector<std::pair<Quad, int>> rises;
        for (int t : entered) {
            if (t == 0)
                continue;
            std::vector<int> rest;
            for (int c : entered)
                if (c != t)
                    rest.push_back(c);
            const exact::Fit without = exact::fit(X, y, rest);
            double estimate, ss, fRatio, prob;
            int ndf;
            m.getStepwiseParameter(t, estimate, ndf, ss, fRatio, prob, 0);
            SCOPED_TRACE(params[t].toStdString());
            if (without.rank == f.rank) {
                aliased.push_back(t);
                EXPECT_EQ(ndf, 0);
                EXPECT_EQ(ss, 0.0);
                EXPECT_EQ(prob, 1.0);
                continue;
            }
            const Quad rise = without.sse - f.sse;
            rises.emplace_back(rise, t);
            EXPECT_EQ(ndf, 1);
            EXPECT_NEAR(ss, static_cast<double>(rise), 1e-9 * static_cast<double>(rise));
            EXPECT_NEAR(prob, exact::upperF(rise / (f.sse / dfe), 1, dfe), 1e-9);
        }
        // Prob>F 1 goes first, the lowest term on ties; else the smallest rise (largest Prob>F),
        // which the data keep apart from the next so that rounding cannot decide.
        std::sort(rises.begin(), rises.end());
        if (aliased.empty() && rises.size() > 1) {
            EXPECT_GT(static_cast<double>(rises[1].first / rises[0].first), 1 + 1e-6);
        }
        const int expected = aliased.empty() ? rises.front().second : aliased.front();
        aliasedDrops += !aliased.empty();
        ASSERT_TRUE(m.stepwiseStepCombineBackward(0.1, 0.0, 0));
        m.doStep(0);
        m.getMFInfo(flags, 0);
        std::vector<int> next;
        for (int j = 0; j < 12; ++j)
            if (flags[j].first)
                next.push_back(j);
        entered.erase(std::find(entered.begin(), entered.end(), expected));
        ASSERT_EQ(next, entered) << "expected to drop " << params[expected].toStdString();
    }
    EXPECT_FALSE(m.stepwiseStepCombineBackward(0.1, 0.0, 0));
    EXPECT_GE(aliasedDrops, 4);
}
