// REML mixed-model fits of split-plot data through the facade and the real engine, judged against
// lmerTest / pbkrtest reference numbers held in reml_reference_data.h, and the refusals.
#include <gtest/gtest.h>

#include "DoeMixedModel.h"
#include "reml_reference_data.h"
#include "tst_regression_support.h"

using namespace analysis_test;
using doeBussiness::DoeDesignModel;
using doeBussiness::DoeEffectTest;
using doeBussiness::DoeVarianceComponent;
using doeBussiness::ModelAttr_RandomEffect;

namespace {

template <size_t N>
QVector<QStringList> tableRows(const reml_reference::Row (&rows)[N], bool categorical)
{
    QVector<QStringList> out;
    for (const auto& r : rows)
        out.append({r.plot, QString::number(r.a), QString::number(r.b),
                    categorical ? QString(r.m) : QString::number(r.c), QString::number(r.y, 'f', 3)});
    return out;
}

void expectRelative(double actual, double expected, const std::string& what, double tol = 1e-6)
{
    EXPECT_NEAR(actual, expected, tol * std::fabs(expected)) << what;
}

// R's names of fixed effects and terms, as this system spells them.
QString ourName(QString r)
{
    r.replace(':', '*');
    if (r == "M1")
        return "M{a-c}";
    if (r == "M2")
        return "M{b-c}";
    return r;
}

struct DataSet {
    const char* what;
    QVector<QStringList> rows;
    QStringList header, terms;
    const reml_reference::Component* components;
    const reml_reference::Effect* effects;
    int effectCount;
    const reml_reference::KrTest* tests;
    int testCount;
    QVector<double> firstRowX;  // model row of the first data row, in R's parameters
    const reml_reference::KrTest* wholeModel;
};

// Loads the table, lists the terms (each "A*B" style) and prepares the regression.
bool prepareTerms(DoeBussinessApi& api, const QTemporaryDir& dir, const QStringList& header,
                  const QVector<QStringList>& rows, const QStringList& terms, QString& err)
{
    if (!loadTable(api, dir, header, rows, err) || !api.setModelResponseList({"Y"}, err))
        return false;
    for (const QString& t : terms) {
        DoeDesignModel m(t.split('*'));
        if (!api.addModelDataForFitModel(m, err))
            return false;
    }
    return api.canRunModel(err) == 1 && api.preparationForModelRegression(err);
}

}  // namespace

TEST(Reml, SplitPlotFitsEqualLmerTestWithKenwardRoger)
{
    using namespace reml_reference;
    const DataSet sets[] = {
        {"unbalanced split plot", tableRows(kSplitPlotRows, false), {"Whole Plots", "A", "B", "C", "Y"},
         {"Whole Plots", "A", "B", "C", "A*B"}, kSplitPlotComponents, kSplitPlotEffects, 5, kSplitPlotTests, 4,
         {1, -1, 1, 1, -1}, &kSplitPlotWholeModel},
        {"categorical sub-plot factor", tableRows(kCategoricalRows, true), {"Whole Plots", "A", "B", "M", "Y"},
         {"Whole Plots", "A", "B", "M"}, kCategoricalComponents, kCategoricalEffects, 5, kCategoricalTests, 3,
         {1, 1, -1, 1, 0}, &kCategoricalWholeModel},
    };
    for (const DataSet& set : sets) {
        SCOPED_TRACE(set.what);
        DoeBussinessApi api;
        QTemporaryDir dir;
        QString err;
        ASSERT_TRUE(prepareTerms(api, dir, set.header, set.rows, set.terms, err)) << err.toStdString();
        // The whole-plot main effect is random without being asked.
        DoeDesignModel first;
        ASSERT_TRUE(api.getModelDataByIdxForFitModel(0, first, err));
        EXPECT_TRUE(first.attributes & ModelAttr_RandomEffect);
        ASSERT_TRUE(api.runStandardLeastSquares(0, err)) << err.toStdString();

        QVector<DoeVarianceComponent> vc;
        ASSERT_TRUE(api.getVarianceComponents(vc, 0, err));
        ASSERT_EQ(vc.size(), 2);
        EXPECT_EQ(vc[0].name, "Whole Plots");
        EXPECT_EQ(vc[1].name, "Residual");
        for (int k = 0; k < 2; ++k) {
            expectRelative(vc[k].variance, set.components[k].variance, "variance " + vc[k].name.toStdString());
            expectRelative(vc[k].stdError, set.components[k].stdError, "std error " + vc[k].name.toStdString());
        }
        expectRelative(vc[0].share, vc[0].variance / (vc[0].variance + vc[1].variance), "share");

        QVector<QString> names;
        api.getSaveParamName(names, 0);
        for (int i = 0; i < set.effectCount; ++i) {
            const QString name = ourName(set.effects[i].name);
            const int p = i == 0 ? 0 : names.indexOf(name);
            ASSERT_GE(p, 0) << name.toStdString() << " among " << QStringList(names.toList()).join(' ').toStdString();
            double est = NAN, se = NAN, t = NAN, pt = NAN;
            api.getRunParameter(p, est, se, t, pt, 0);
            expectRelative(est, set.effects[i].estimate, "estimate " + name.toStdString());
            expectRelative(se, set.effects[i].stdError, "std error " + name.toStdString());
        }

        // The summary of fit: the residual's SD and the joint test of every fixed effect.
        double sse, ssm, rmse = NAN, r2, r2a, f = NAN, pf = NAN;
        int dfm = 0, dfe = 0;
        api.getRunModelResult(sse, ssm, dfm, dfe, rmse, r2, r2a, f, pf, 0);
        expectRelative(rmse, std::sqrt(set.components[1].variance), "RMSE");
        expectRelative(f, set.wholeModel->fRatio, "whole-model F");
        expectRelative(pf, set.wholeModel->probF, "whole-model p");

        // Predictions use the REML fixed effects.
        double expected = 0.0, pred = NAN, cl = NAN, pl = NAN, cu = NAN, pu = NAN;
        for (int i = 0; i < set.effectCount; ++i)
            expected += set.firstRowX[i] * set.effects[i].estimate;
        api.predictResult(set.rows[0].mid(0, 4), pred, cl, pl, cu, pu, 0.05, 0);
        expectRelative(pred, expected, "prediction");
        EXPECT_TRUE(pl < cl && cl < pred && pred < cu && cu < pu);

        QVector<DoeEffectTest> tests;
        ASSERT_TRUE(api.getEffectTests(tests, 0, err));
        ASSERT_EQ(tests.size(), set.testCount);
        for (int i = 0; i < set.testCount; ++i) {
            const reml_reference::KrTest& ref = set.tests[i];
            EXPECT_EQ(tests[i].term, ourName(ref.term));
            EXPECT_EQ(tests[i].df, ref.numDF);
            EXPECT_TRUE(std::isnan(tests[i].sumOfSquares));
            expectRelative(tests[i].denominatorDF, ref.denDF, std::string("DenDF ") + ref.term);
            expectRelative(tests[i].fRatio, ref.fRatio, std::string("F ") + ref.term);
            expectRelative(tests[i].probF, ref.probF, std::string("p ") + ref.term);
        }
    }
}

TEST(Reml, WithoutARandomTermTheFitStaysLeastSquares)
{
    DoeBussinessApi api;
    QTemporaryDir dir;
    QString err;
    ASSERT_TRUE(prepareTerms(api, dir, {"Whole Plots", "A", "B", "C", "Y"},
                             tableRows(reml_reference::kSplitPlotRows, false), {"A", "B", "C", "A*B"}, err));
    ASSERT_TRUE(api.runStandardLeastSquares(0, err)) << err.toStdString();
    QVector<DoeVarianceComponent> vc;
    EXPECT_FALSE(api.getVarianceComponents(vc, 0, err));
    EXPECT_EQ(err, "The fit has no random effect\n");
    QVector<DoeEffectTest> tests;
    ASSERT_TRUE(api.getEffectTests(tests, 0, err));
    ASSERT_EQ(tests.size(), 4);
    EXPECT_EQ(tests[0].denominatorDF, 24 - 5);
    EXPECT_GT(tests[0].sumOfSquares, 0.0);
}

TEST(Reml, BoundaryAndUnidentifiableModels)
{
    using doeBussiness::fitMixedModel;
    const Eigen::VectorXd ones = Eigen::VectorXd::Ones(8);
    Eigen::VectorXd b(8), plotSign(8), spread(8);
    b << -1, 1, -1, 1, -1, 1, -1, 1;
    plotSign << -1, -1, -1, -1, 1, 1, 1, 1;
    // Every whole plot has mean 2: the whole-plot variance sits on its bound, 0.
    spread << 1, 3, 0, 4, 2, 2, -1, 5;
    const QVector<int> fourPlots{0, 0, 1, 1, 2, 2, 3, 3}, twoPlots{0, 0, 0, 0, 1, 1, 1, 1};
    struct Case {
        const char* what;
        Eigen::MatrixXd X;
        Eigen::VectorXd y;
        QVector<int> plots;
        const char* message;  // empty: a valid fit
    };
    Eigen::MatrixXd withSign(8, 2), withB(8, 2);
    withSign << ones, plotSign;
    withB << ones, b;
    const Case cases[] = {
        {"plot means equal", ones, spread, fourPlots, ""},
        {"plots are the levels of a fixed factor", withSign, spread, twoPlots,
         "Random effect WP is confounded with the fixed effects\n"},
        {"one row per plot", Eigen::MatrixXd(ones), spread, {0, 1, 2, 3, 4, 5, 6, 7},
         "No residual degrees of freedom are left beside the random effects\n"},
        {"exact fit", withB, ones + b, fourPlots,
         "The model fits the data exactly: no residual variance to estimate\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto fit = fitMixedModel(c.X, c.y, {c.plots}, {"WP"});
        EXPECT_EQ(fit.message, c.message);
        EXPECT_EQ(fit.valid, QString(c.message).isEmpty());
    }
    // On the bound the model is ordinary least squares: s^2 = 28 / 7, SE(mean) = sqrt(4 / 8).
    const auto fit = fitMixedModel(ones, spread, {fourPlots}, {"WP"});
    ASSERT_TRUE(fit.valid);
    EXPECT_NEAR(fit.variances[0], 0.0, 1e-10);
    expectRelative(fit.variances[1], 4.0, "residual", 1e-10);
    expectRelative(fit.beta[0], 2.0, "mean", 1e-12);
    expectRelative(std::sqrt(fit.cov(0, 0)), std::sqrt(0.5), "SE", 1e-10);
}

// Two random terms: whole-whole plots (C) holding whole plots (A) holding runs (B).
TEST(Reml, SplitSplitPlotHasTwoWholePlotStrata)
{
    using namespace reml_reference;
    QVector<QStringList> rows;
    for (const SplitSplitRow& r : kSplitSplitRows)
        rows.append({r.wholeWholePlot, r.wholePlot, QString::number(r.a), QString::number(r.b),
                     QString::number(r.c), QString::number(r.y, 'f', 3)});
    DoeBussinessApi api;
    QTemporaryDir dir;
    QString err;
    ASSERT_TRUE(prepareTerms(api, dir, {"Whole-Whole Plots", "Whole Plots", "A", "B", "C", "Y"}, rows,
                             {"Whole-Whole Plots", "Whole Plots", "C", "A", "B", "A*B"}, err));
    ASSERT_TRUE(api.runStandardLeastSquares(0, err)) << err.toStdString();
    QVector<DoeVarianceComponent> vc;
    ASSERT_TRUE(api.getVarianceComponents(vc, 0, err));
    ASSERT_EQ(vc.size(), 3);
    const Component* refs[] = {&kSplitSplitComponents[1], &kSplitSplitComponents[0], &kSplitSplitComponents[2]};
    for (int k = 0; k < 3; ++k) {
        expectRelative(vc[k].variance, refs[k]->variance, "variance " + vc[k].name.toStdString());
        expectRelative(vc[k].stdError, refs[k]->stdError, "std error " + vc[k].name.toStdString());
    }
    QVector<DoeEffectTest> tests;
    ASSERT_TRUE(api.getEffectTests(tests, 0, err));
    ASSERT_EQ(tests.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const KrTest& ref = kSplitSplitTests[i];
        EXPECT_EQ(tests[i].term, ourName(ref.term));
        expectRelative(tests[i].denominatorDF, ref.denDF, std::string("DenDF ") + ref.term);
        expectRelative(tests[i].fRatio, ref.fRatio, std::string("F ") + ref.term);
        expectRelative(tests[i].probF, ref.probF, std::string("p ") + ref.term);
    }
    QVector<QString> names;
    api.getSaveParamName(names, 0);
    for (const Effect& e : kSplitSplitEffects) {
        const int p = QString(e.name) == "(Intercept)" ? 0 : names.indexOf(ourName(e.name));
        ASSERT_GE(p, 0) << e.name;
        double est = NAN, se = NAN, t = NAN, pt = NAN;
        api.getRunParameter(p, est, se, t, pt, 0);
        expectRelative(est, e.estimate, std::string("estimate ") + e.name);
        expectRelative(se, e.stdError, std::string("std error ") + e.name);
    }
}
