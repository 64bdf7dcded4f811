// Custom designs for the model of the model page, through the facade with the real engine. These
// need the engine's model-term exports and are skipped with an engine that lacks them.
#include <Eigen/Dense>
#include <gtest/gtest.h>

#include "DoeBussinessApi.h"
#include "DoeFunctionManager.h"
#include "tst_facade_access.h"

using namespace doeBussiness;

namespace {

#define SKIP_WITHOUT_MODEL_EXPORTS(api)                                                        \
    if (!DoeBussinessApiTestAccess::engine(api)->hasDesignModelExports())                      \
    GTEST_SKIP() << "the engine lacks the model-term exports"

void addContinuous(DoeBussinessApi& api, int count, const QStringList& range = {"-1", "1"})
{
    for (int i = 0; i < count; ++i) {
        DoeDesignFactor f;
        QString err;
        ASSERT_TRUE(api.addFactorData(Continuous, 2, f, err));
        f.values = range;
        ASSERT_TRUE(api.setFactorData(f.name, f, err)) << err.toStdString();
    }
}

// Main effects, then (optionally) every two-factor product with the given flag.
void mainEffectsAndProducts(DoeBussinessApi& api, bool products, bool productsNecessary)
{
    api.clearModelDataForCustomDesign();
    api.genModelForCustomDesign_MainEffect();
    if (!products)
        return;
    QList<QString> names;
    api.getFactorDataNameList(names);
    for (int i = 0; i < names.size(); ++i)
        for (int j = i + 1; j < names.size(); ++j) {
            DoeDesignModel m(QStringList{names[i], names[j]}, productsNecessary);
            QString err;
            ASSERT_TRUE(api.addModelDataForCustomDesign(m, err));
        }
}

// Generates with `runs` runs (0: the minimum) and returns the minimum.
int generate(DoeBussinessApi& api, int runs, int criterion = 1)
{
    QString err;
    DoeDesignGeneralSetting g;
    api.getDoeDesignGeneralSetting(g);
    g.optimalityCriterion = criterion;
    EXPECT_TRUE(api.setDoeDesignGeneralSetting(g, err));
    EXPECT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    making.userSpecified = runs > 0;
    if (runs > 0)
        making.userSpecifiedRuns = runs;
    EXPECT_TRUE(api.setDoeDesignMakingSetting(making, err)) << err.toStdString();
    EXPECT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    return making.minimumRuns;
}

DoeDesignEvaluation evaluation(const DoeBussinessApi& api)
{
    DoeDesignEvaluation e;
    QString err;
    EXPECT_TRUE(api.getDesignEvaluation(e, err)) << err.toStdString();
    return e;
}

Eigen::MatrixXd runMatrix(const DoeBussinessApi& api)
{
    int rows = 0;
    int cols = 0;
    api.getTableSizeForCustomDesign(rows, cols);
    Eigen::MatrixXd x(rows, cols);
    for (int r = 0; r < rows; ++r) {
        QVector<QString> cells;
        QString err;
        api.getTableDataByRowForCustomDesign(r, cells, err);
        for (int c = 0; c < cols; ++c)
            x(r, c) = cells[c].toDouble();
    }
    return x;
}

// Sum of squares of the alias matrix of the main-effects model against the two-factor products.
double aliasSumOfSquares(const Eigen::MatrixXd& runs)
{
    const Eigen::Index n = runs.rows();
    const Eigen::Index k = runs.cols();
    Eigen::MatrixXd x1(n, k + 1);
    x1 << Eigen::VectorXd::Ones(n), runs;
    Eigen::MatrixXd x2(n, k * (k - 1) / 2);
    Eigen::Index c = 0;
    for (Eigen::Index i = 0; i < k; ++i)
        for (Eigen::Index j = i + 1; j < k; ++j)
            x2.col(c++) = runs.col(i).cwiseProduct(runs.col(j));
    const Eigen::MatrixXd alias = (x1.transpose() * x1).ldlt().solve(x1.transpose() * x2);
    return alias.squaredNorm();
}

}  // namespace

// Main-effects designs are two-level and orthogonal where one exists; their minimum is p.
TEST(CustomModelDesign, MainEffectsDesignsAreTwoLevelAndOrthogonal)
{
    struct Case {
        int factors;
        int runs;  // 0: the minimum
        int minimum;
    };
    for (const Case& c : {Case{3, 0, 4}, Case{3, 4, 4}, Case{6, 8, 7}}) {
        SCOPED_TRACE(c.factors);
        DoeBussinessApi api;
        SKIP_WITHOUT_MODEL_EXPORTS(api);
        addContinuous(api, c.factors, {"10", "20"});
        mainEffectsAndProducts(api, false, true);
        EXPECT_EQ(generate(api, c.runs), c.minimum);
        const Eigen::MatrixXd runs = runMatrix(api);
        ASSERT_EQ(runs.rows(), c.runs ? c.runs : c.minimum);
        for (Eigen::Index r = 0; r < runs.rows(); ++r)
            for (Eigen::Index f = 0; f < runs.cols(); ++f)
                EXPECT_TRUE(runs(r, f) == 10.0 || runs(r, f) == 20.0) << runs(r, f);
        EXPECT_NEAR(evaluation(api).dEfficiency, 100.0, 1e-9);
    }
}

// The full response surface: today's minimum, and at least today's D-efficiency (today's design is
// the one made with no terms handed over, which leaves the engine on its own full quadratic).
TEST(CustomModelDesign, ResponseSurfaceIsAtLeastAsGoodAsBefore)
{
    DoeBussinessApi api;
    SKIP_WITHOUT_MODEL_EXPORTS(api);
    addContinuous(api, 3);
    api.clearModelDataForCustomDesign();
    DoeDesignModel intercept = DoeDesignModel::intercept();
    QString err;
    api.addModelInterceptDataForCustomDesign(intercept, err);
    generate(api, 0);
    api.genModelForCustomDesign_RSM();
    const double before = evaluation(api).dEfficiency;
    EXPECT_EQ(generate(api, 0), 10);
    EXPECT_GE(evaluation(api).dEfficiency, before - 1e-9);
}

// If Possible products: the minimum counts the Necessary terms only, and the design aliases the
// main effects less with the products than the D-optimal main-effects design of the same size.
TEST(CustomModelDesign, IfPossibleTermsReduceAliasing)
{
    DoeBussinessApi bayes;
    SKIP_WITHOUT_MODEL_EXPORTS(bayes);
    addContinuous(bayes, 6);
    mainEffectsAndProducts(bayes, true, false);
    EXPECT_EQ(generate(bayes, 0), 7);
    generate(bayes, 12);
    DoeBussinessApi plain;
    addContinuous(plain, 6);
    mainEffectsAndProducts(plain, false, true);
    generate(plain, 12);
    EXPECT_LT(aliasSumOfSquares(runMatrix(bayes)), aliasSumOfSquares(runMatrix(plain)));
}

// "Recommended" is I-optimal for a response surface; "Option 1" is D-optimal.
TEST(CustomModelDesign, RecommendedCriterionLowersTheAverageVariance)
{
    DoeBussinessApi api;
    SKIP_WITHOUT_MODEL_EXPORTS(api);
    addContinuous(api, 3);
    api.genModelForCustomDesign_RSM();
    generate(api, 16, 1);
    const DoeDesignEvaluation dOptimal = evaluation(api);
    generate(api, 16, 0);
    const DoeDesignEvaluation iOptimal = evaluation(api);
    EXPECT_LT(iOptimal.averageVariance, dOptimal.averageVariance);
    EXPECT_GE(dOptimal.dEfficiency, iOptimal.dEfficiency);
}

// The screening road: 6 factors, main effects Necessary, the 15 two-factor products If Possible,
// 12 runs. The evaluation is of the 7 Necessary parameters, with an alias norm for each product
// whose squares add up to the alias matrix worked out from the runs.
TEST(CustomModelDesign, ScreeningWithIfPossibleProductsIsEvaluated)
{
    DoeBussinessApi api;
    SKIP_WITHOUT_MODEL_EXPORTS(api);
    addContinuous(api, 6);
    mainEffectsAndProducts(api, true, false);
    EXPECT_EQ(generate(api, 12), 7);
    const DoeDesignEvaluation e = evaluation(api);
    ASSERT_EQ(e.terms.size(), 22);
    EXPECT_EQ(e.errorDf, 5);
    EXPECT_EQ(e.necessary.count(true), 7);
    for (double v : {e.dEfficiency, e.aEfficiency, e.gEfficiency, e.averageVariance})
        EXPECT_TRUE(std::isfinite(v) && v > 0) << v;
    double aliasSquares = 0.0;
    for (int t = 0; t < e.terms.size(); ++t) {
        SCOPED_TRACE(e.terms[t].toStdString());
        EXPECT_EQ(std::isfinite(e.power[t]), bool(e.necessary[t]));
        EXPECT_EQ(std::isfinite(e.aliasNorm[t]), !e.necessary[t]);
        if (!e.necessary[t])
            aliasSquares += e.aliasNorm[t] * e.aliasNorm[t];
    }
    EXPECT_NEAR(aliasSquares, aliasSumOfSquares(runMatrix(api)), 1e-9);
}

// Terms the design cannot use are refused where they are entered, with their own message, and a
// refused replacement hands back the stored term.
TEST(CustomModelDesign, UnusableTermsAreRefused)
{
    DoeBussinessApi api;
    addContinuous(api, 2);
    DoeDesignFactor discrete;
    QString added;
    ASSERT_TRUE(api.addFactorData(DiscreteNumeric, 4, discrete, added));  // X3
    api.genModelForCustomDesign_MainEffect();  // Intercept, X1, X2, X3
    struct Row
    {
        QStringList names;
        bool ok;
        QString message;
    };
    const QVector<Row> table = {
        {{}, false, "Term is empty\n"},
        {{""}, false, "Term is empty\n"},
        {{"X1", "X1", "X1", "X1"}, false, "Powers above 3 are not supported\n"},
        {{"X3", "X3", "X3"}, false, "Cubic terms need a continuous factor\n"},
        {{"Nope", "Nope", "Nope"}, false, "Cubic terms need a continuous factor\n"},
        {{"X1", "X1", "X1"}, true, ""},
        {{"X2", "X1", "X2", "X2"}, true, ""},
        {{"X1", "X1", "X2"}, true, ""},
        {{"X1", "X2"}, true, ""},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.names.join('*').toStdString());
        DoeDesignModel m(r.names);
        QString err;
        EXPECT_EQ(api.addModelDataForCustomDesign(m, err), r.ok);
        EXPECT_EQ(err, r.message);
        if (r.ok)
            continue;
        DoeDesignModel replacement(r.names);
        err.clear();
        EXPECT_FALSE(api.setModelDataForCustomDesign(2, replacement, err));
        EXPECT_EQ(err, r.message);
        EXPECT_EQ(replacement.terms, QStringList{"X2"});  // the stored term, handed back
    }
    EXPECT_EQ(api.getModelDataSizeForCustomDesign(), 8);
}
