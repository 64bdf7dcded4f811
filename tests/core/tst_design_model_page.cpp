// The design's model page through the facade: interactions, powers, crosses and removal of
// terms, and designs for the models they build with the real engine.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "DoeBussinessApi.h"
#include "DoeFunctionManager.h"
#include "tst_facade_access.h"

using namespace doeBussiness;

namespace {

QStringList termTexts(const DoeBussinessApi& api)
{
    QStringList out;
    for (int i = 0; i < api.getModelDataSizeForCustomDesign(); ++i) {
        DoeDesignModel m;
        QString err;
        api.getModelDataByIdxForCustomDesign(i, m, err);
        out << m.algebraShowStr();
    }
    return out;
}

// X1..X3 continuous on [-1, 1], X4 discrete numeric with three levels, X5 categorical with three.
void addMixedFactors(DoeBussinessApi& api, int continuous = 3, bool levelFactors = true)
{
    QString err;
    for (int i = 0; i < continuous; ++i) {
        DoeDesignFactor f;
        ASSERT_TRUE(api.addFactorData(Continuous, 2, f, err));
        f.values = QStringList{"-1", "1"};
        ASSERT_TRUE(api.setFactorData(f.name, f, err)) << err.toStdString();
    }
    if (!levelFactors)
        return;
    DoeDesignFactor d;
    ASSERT_TRUE(api.addFactorData(DiscreteNumeric, 3, d, err));
    DoeDesignFactor c;
    ASSERT_TRUE(api.addFactorData(Categorical, 3, c, err));
}

int indexOfTerm(const DoeBussinessApi& api, const QString& text)
{
    return termTexts(api).indexOf(text);
}

}  // namespace

// Each action on Intercept, X1..X5 (X1*X2 already present): the terms it appends, its result and
// its message.
TEST(DesignModelPage, ActionsAppendTheirTerms)
{
    using Action = std::function<bool(DoeBussinessApi&, QString&)>;
    struct Case
    {
        const char* name;
        Action action;
        QStringList appended;
        bool ok;
        QString message;
    };
    const auto at = [](DoeBussinessApi& api, const QStringList& texts) {
        QList<int> rows;
        for (const QString& t : texts)
            rows << indexOfTerm(api, t);
        return rows;
    };
    const Case cases[] = {
        {"2nd order among all factors skips the present X1*X2",
         [](DoeBussinessApi& a, QString& e) { return a.addInteractionModelDataForCustomDesign({}, 2, e); },
         {"X1*X3", "X1*X4", "X1*X5", "X2*X3", "X2*X4", "X2*X5", "X3*X4", "X3*X5", "X4*X5"}, true, ""},
        {"3rd order among the selected",
         [](DoeBussinessApi& a, QString& e) { return a.addInteractionModelDataForCustomDesign({"X1", "X3", "X5", "X2"}, 3, e); },
         {"X1*X3*X5", "X1*X3*X2", "X1*X5*X2", "X3*X5*X2"}, true, ""},
        {"5th order among all factors",
         [](DoeBussinessApi& a, QString& e) { return a.addInteractionModelDataForCustomDesign({}, 5, e); },
         {"X1*X2*X3*X4*X5"}, true, ""},
        {"too few selected for the order",
         [](DoeBussinessApi& a, QString& e) { return a.addInteractionModelDataForCustomDesign({"X1", "X2"}, 3, e); },
         {}, false, "Not enough factors for this interaction\n"},
        {"squares skip the categorical factor",
         [](DoeBussinessApi& a, QString& e) { return a.addPowerModelDataForCustomDesign({"X1", "X4", "X5"}, 2, e); },
         {"X1*X1", "X4*X4"}, true, ""},
        {"cubes only for continuous factors",
         [](DoeBussinessApi& a, QString& e) { return a.addPowerModelDataForCustomDesign({"X4", "X2", "X5"}, 3, e); },
         {"X2*X2*X2"}, true, ""},
        {"no cube for a discrete factor",
         [](DoeBussinessApi& a, QString& e) { return a.addPowerModelDataForCustomDesign({"X4"}, 3, e); },
         {}, false, "Cubic terms need a continuous factor\n"},
        {"no square for a categorical factor",
         [](DoeBussinessApi& a, QString& e) { return a.addPowerModelDataForCustomDesign({"X5"}, 2, e); },
         {}, false, "Powers need a continuous or discrete numeric factor\n"},
        {"cross: selected term times each factor",
         [at](DoeBussinessApi& a, QString& e) {
             return a.addCrossModelDataForCustomDesign({"X3", "X4"}, at(a, {"X1*X2", "X5"}), e);
         },
         {"X1*X2*X3", "X1*X2*X4", "X5*X3", "X5*X4"}, true, ""},
        {"cross: factors alone give their product",
         [](DoeBussinessApi& a, QString& e) { return a.addCrossModelDataForCustomDesign({"X3", "X5"}, {}, e); },
         {"X3*X5"}, true, ""},
        {"cross: the intercept times a factor is its main effect, present already",
         [at](DoeBussinessApi& a, QString& e) { return a.addCrossModelDataForCustomDesign({"X3"}, at(a, {"Intercept"}), e); },
         {}, true, ""},
        {"cross: a cube of a discrete factor is refused, the rest added",
         [](DoeBussinessApi& a, QString& e) {
             QString ignored;
             a.addPowerModelDataForCustomDesign({"X4"}, 2, ignored);
             return a.addCrossModelDataForCustomDesign({"X4", "X1"}, {a.getModelDataSizeForCustomDesign() - 1}, e);
         },
         {"X4*X4", "X4*X4*X1"}, false, "Cubic terms need a continuous factor\n"},
        {"cross: one factor and no term", [](DoeBussinessApi& a, QString& e) { return a.addCrossModelDataForCustomDesign({"X1"}, {}, e); },
         {}, false, "Nothing to cross\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DoeBussinessApi api;
        addMixedFactors(api);
        api.genModelForCustomDesign_MainEffect();
        DoeDesignModel product(QStringList{"X1", "X2"}, false);
        QString err;
        ASSERT_TRUE(api.addModelDataForCustomDesign(product, err));
        const QStringList before = termTexts(api);
        EXPECT_EQ(c.action(api, err), c.ok);
        EXPECT_EQ(err, c.message);
        const QStringList after = termTexts(api);
        EXPECT_EQ(after.mid(0, before.size()), before);
        EXPECT_EQ(after.mid(before.size()), c.appended);
        // New terms are Necessary; the If Possible product keeps its flag.
        for (int i = 0; i < after.size(); ++i) {
            DoeDesignModel m;
            api.getModelDataByIdxForCustomDesign(i, m, err);
            EXPECT_EQ(m.necessary, after[i] != "X1*X2") << after[i].toStdString();
        }
    }
}

TEST(DesignModelPage, RemoveTermsKeepsTheIntercept)
{
    struct Case
    {
        QList<int> rows;
        QStringList left;
        bool ok;
        QString message;
    };
    const Case cases[] = {
        {{3, 1}, {"Intercept", "X2"}, true, ""},
        {{0, 1, 2, 3}, {"Intercept"}, false, "Intercept cannot be removed\n"},
        {{1, 4}, {"Intercept", "X1", "X2", "X3"}, false, "Invalid index\n"},
    };
    for (const Case& c : cases) {
        DoeBussinessApi api;
        addMixedFactors(api, 3, false);
        api.genModelForCustomDesign_MainEffect();
        QString err;
        EXPECT_EQ(api.removeModelDataListForCustomDesign(c.rows, err), c.ok);
        EXPECT_EQ(err, c.message);
        EXPECT_EQ(termTexts(api), c.left);
        EXPECT_EQ(api.getModelInterceptDataIdxForCustomDesign(), 0);
    }
}

// Five continuous factors, main effects and every two-factor interaction built on the model page:
// 16 runs at least, and at 16 runs a design with X'X = 16 I (a resolution V half fraction), so a
// D-efficiency of 100 %.
TEST(DesignModelPage, FiveFactorInteractionModelGetsItsHalfFraction)
{
    DoeBussinessApi api;
    if (!DoeBussinessApiTestAccess::engine(api)->hasDesignModelExports())
        GTEST_SKIP() << "the engine lacks the model-term exports";
    addMixedFactors(api, 5, false);
    api.genModelForCustomDesign_MainEffect();
    QString err;
    ASSERT_TRUE(api.addInteractionModelDataForCustomDesign({}, 2, err)) << err.toStdString();
    ASSERT_EQ(api.getModelDataSizeForCustomDesign(), 16);
    ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    EXPECT_EQ(making.minimumRuns, 16);
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();

    // Exact X'X from the runs (every coded value is -1 or 1, so the products are integers).
    int rows = 0, cols = 0;
    api.getTableSizeForCustomDesign(rows, cols);
    ASSERT_EQ(rows, 16);
    std::vector<std::vector<long>> x;
    for (int r = 0; r < rows; ++r) {
        QVector<QString> cells;
        ASSERT_TRUE(api.getTableDataByRowForCustomDesign(r, cells, err));
        std::vector<long> row{1};
        for (const QString& c : cells)
            row.push_back(c.toLong());
        for (int a = 1; a <= 5; ++a)
            for (int b = a + 1; b <= 5; ++b)
                row.push_back(row[a] * row[b]);
        x.push_back(row);
    }
    long offDiagonal = 0;
    for (size_t a = 0; a < 16; ++a)
        for (size_t b = 0; b < 16; ++b) {
            long s = 0;
            for (const auto& row : x)
                s += row[a] * row[b];
            if (a == b)
                EXPECT_EQ(s, 16) << a;
            else
                offDiagonal += std::labs(s);
        }
    EXPECT_EQ(offDiagonal, 0);
    DoeDesignEvaluation e;
    ASSERT_TRUE(api.getDesignEvaluation(e, err)) << err.toStdString();
    EXPECT_NEAR(e.dEfficiency, 100.0, 1e-9);
}

// Full quadratic in three continuous factors plus X1 cubed: the cube reaches the engine (one more
// run than the ten quadratic parameters need) and the design spreads X1 over at least 4 levels.
TEST(DesignModelPage, CubeOfAContinuousFactorIsDesignedFor)
{
    DoeBussinessApi api;
    if (!DoeBussinessApiTestAccess::engine(api)->hasDesignModelExports())
        GTEST_SKIP() << "the engine lacks the model-term exports";
    addMixedFactors(api, 3, false);
    api.genModelForCustomDesign_RSM();
    QString err;
    ASSERT_TRUE(api.addPowerModelDataForCustomDesign({"X1"}, 3, err)) << err.toStdString();
    ASSERT_EQ(termTexts(api).last(), "X1*X1*X1");
    for (int optimality : {0, 1}) {
        SCOPED_TRACE(optimality);
        DoeDesignGeneralSetting g;
        api.getDoeDesignGeneralSetting(g);
        g.optimalityCriterion = optimality;
        ASSERT_TRUE(api.setDoeDesignGeneralSetting(g, err));
        ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
        DoeDesignMakingSetting making;
        api.getDoeDesignMakingSetting(making);
        EXPECT_EQ(making.minimumRuns, 11);
        ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
        int rows = 0, cols = 0;
        api.getTableSizeForCustomDesign(rows, cols);
        ASSERT_EQ(rows, 11);
        std::set<QString> levels;
        for (int r = 0; r < rows; ++r) {
            QVector<QString> cells;
            ASSERT_TRUE(api.getTableDataByRowForCustomDesign(r, cells, err));
            levels.insert(cells[0]);
            const double v = cells[0].toDouble();
            EXPECT_TRUE(v >= -1.0 && v <= 1.0) << v;
        }
        EXPECT_GE(levels.size(), 4u);
        DoeDesignEvaluation e;
        ASSERT_TRUE(api.getDesignEvaluation(e, err)) << err.toStdString();
        EXPECT_EQ(e.terms.last(), "X1*X1*X1");
        EXPECT_GT(e.dEfficiency, 0.0);
        EXPECT_EQ(e.errorDf, 0);
    }
}
