// Standard least squares of a user-built model through the facade and the real engine: estimates,
// analysis of variance and whole-term tests against exact references, and the refusals.
//
// References: A + B + C + A*C on the 15 rows below, A and B coded to -1..1 over their ranges and C
// effect-coded (last level -1), solved from the normal equations in rational arithmetic; square
// roots taken in 50-digit decimals and upper tails from Boost.Math in long double.
#include <gtest/gtest.h>

#include "tst_regression_support.h"

using namespace analysis_test;
using doeBussiness::DoeDesignModel;
using doeBussiness::DoeEffectTest;

namespace {

const QStringList kHeader{"A", "B", "C", "Y"};
const QVector<QStringList> kRows{
    {"0", "20", "a", "12.35"},   {"5", "35", "b", "11.86"},  {"10", "25", "c", "14.31"},
    {"2.5", "40", "a", "15.06"}, {"7.5", "30", "b", "10.99"}, {"0", "25", "c", "10.32"},
    {"5", "40", "a", "17.67"},   {"10", "30", "b", "12.05"}, {"2.5", "20", "c", "11.82"},
    {"7.5", "35", "a", "18.65"}, {"0", "30", "b", "11.04"},  {"5", "20", "c", "12.31"},
    {"10", "35", "a", "19.25"},  {"2.5", "25", "b", "11.31"}, {"7.5", "40", "c", "14.50"},
};

struct ParamRef {
    const char* name;
    double estimate, stdError, tRatio, probT;
};
const ParamRef kParams[] = {
    {"Intercept", 1.35660000000000007e+01, 1.33159718904898611e-01, 1.01877655732276708e+02, 9.62458132508464804681e-14},
    {"A", 1.76288659793814428e+00, 2.03853683157934479e-01, 8.64780351587936735e+00, 2.48279371008705740199e-05},
    {"B", 6.61340206185566992e-01, 2.34178828963104102e-01, 2.82408195955990537e+00, 2.23529350690590361134e-02},
    {"C{a-c}", 2.76546391752577314e+00, 2.10326834491436576e-01, 1.31484122043322476e+01, 1.06532022431014733521e-06},
    {"C{b-c}", -2.11600000000000010e+00, 1.88316280437096639e-01, -1.12364156465314657e+01, 3.53258695903135246303e-06},
    {"A*C{a-c}", 1.38444329896907226e+00, 2.69164203823938186e-01, 5.14348965910282896e+00, 8.81343668283224905374e-04},
    {"A*C{b-c}", -1.48902061855670098e+00, 2.71867175764983982e-01, -5.47701506946129957e+00, 5.89534735809562832908e-04},
};

struct EffectRef {
    const char* term;
    int df;
    double ss, fRatio, probF;
};
const EffectRef kEffects[] = {
    {"A", 1, 1.98906339752698251e+01, 7.47845056492555500e+01, 2.48279371008705740199e-05},
    {"B", 1, 2.12124871134020632e+00, 7.97543891431171570e+00, 2.23529350690590361219e-02},
    {"C", 2, 5.55031683625029970e+01, 1.04339987682591698e+02, 1.85816740572677687954e-06},
    {"A*C", 2, 9.93963535607704785e+00, 1.86854455559906469e+01, 9.66608725882960332105e-04},
};

void expectRelative(double actual, double expected, const std::string& what)
{
    EXPECT_NEAR(actual, expected, 1e-9 * std::fabs(expected)) << what;
}

class StandardLeastSquares : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;

    // Loads the table, lists the terms (each "A*C" style) and prepares the regression.
    bool prepareTerms(const QVector<QStringList>& rows, const QStringList& terms)
    {
        if (!loadTable(api, dir, kHeader, rows, err) || !api.setModelResponseList({"Y"}, err))
            return false;
        for (const QString& t : terms) {
            DoeDesignModel m(t.split('*'));
            if (!api.addModelDataForFitModel(m, err))
                return false;
        }
        return api.canRunModel(err) == 1 && api.preparationForModelRegression(err);
    }
};

}  // namespace

TEST_F(StandardLeastSquares, UserModelWithCategoricalInteractionMatchesExactReference)
{
    ASSERT_TRUE(prepareTerms(kRows, {"A", "B", "C", "A*C"})) << err.toStdString();
    ASSERT_TRUE(api.runStandardLeastSquares(0, err)) << err.toStdString();
    EXPECT_TRUE(err.isEmpty());

    // Exactly the parameters of the listed terms are in the fit.
    QSet<QString> expected;
    for (const ParamRef& p : kParams)
        if (QString(p.name) != "Intercept")
            expected.insert(p.name);
    EXPECT_EQ(enteredNames(api), expected);

    double sse, ssm, rmse, r2, r2a, f, pf;
    int dfModel = 0, dfError = 0;
    api.getRunModelResult(sse, ssm, dfModel, dfError, rmse, r2, r2a, f, pf, 0);
    EXPECT_EQ(dfModel, 6);
    EXPECT_EQ(dfError, 8);
    expectRelative(sse, 2.12778128865979399e+00, "SS error");
    expectRelative(ssm, 1.16483778711340207e+02, "SS model");
    expectRelative(f, 7.29923257508662289e+01, "F ratio");
    expectRelative(pf, 1.50917398445638486386e-06, "Prob > F");

    QVector<QString> names;
    api.getSaveParamName(names, 0);
    for (const ParamRef& ref : kParams) {
        const int p = QString(ref.name) == "Intercept" ? 0 : names.indexOf(ref.name);
        ASSERT_GE(p, 0) << ref.name;
        double est = NAN, se = NAN, t = NAN, pt = NAN;
        api.getRunParameter(p, est, se, t, pt, 0);
        expectRelative(est, ref.estimate, std::string("estimate ") + ref.name);
        expectRelative(se, ref.stdError, std::string("std error ") + ref.name);
        expectRelative(t, ref.tRatio, std::string("t ratio ") + ref.name);
        expectRelative(pt, ref.probT, std::string("Prob>|t| ") + ref.name);
    }

    QVector<DoeEffectTest> tests;
    ASSERT_TRUE(api.getEffectTests(tests, 0, err));
    ASSERT_EQ(tests.size(), 4);
    for (int i = 0; i < 4; ++i) {
        const EffectRef& ref = kEffects[i];
        EXPECT_EQ(tests[i].term, ref.term);
        EXPECT_EQ(tests[i].nparm, ref.df);
        EXPECT_EQ(tests[i].df, ref.df);
        EXPECT_EQ(tests[i].denominatorDF, 8);
        expectRelative(tests[i].sumOfSquares, ref.ss, std::string("SS ") + ref.term);
        expectRelative(tests[i].fRatio, ref.fRatio, std::string("F ") + ref.term);
        expectRelative(tests[i].probF, ref.probF, std::string("Prob>F ") + ref.term);
    }
    // A one-column term's test is its squared t ratio.
    expectRelative(tests[0].fRatio, kParams[1].tRatio * kParams[1].tRatio, "F of A = t^2");
}

TEST_F(StandardLeastSquares, ModelsThatCannotBeEstimatedAreRefusedWithTheTermsAtFault)
{
    // B as a straight function of A: B is a combination of the intercept and A.
    QVector<QStringList> collinear = kRows;
    for (QStringList& r : collinear)
        r[1] = QString::number(20 + 2 * r[0].toDouble());
    struct Case {
        const char* what;
        QVector<QStringList> rows;
        QStringList terms;
        const char* message;
    } cases[] = {
        {"square of a categorical factor", kRows, {"A", "C", "C*C"}, "Model cannot be estimated\nC*C\n"},
        {"beyond two-factor products", kRows, {"A", "B", "C", "A*B*C"}, "Model cannot be estimated\nA*B*C\n"},
        {"collinear main effects", collinear, {"A", "B", "A*B"}, "Model cannot be estimated\nB\n"},
    };
    for (const Case& c : cases) {
        DoeBussinessApi fresh;
        QString message;
        QTemporaryDir d;
        ASSERT_TRUE(loadTable(fresh, d, kHeader, c.rows, message) && fresh.setModelResponseList({"Y"}, message));
        for (const QString& t : c.terms) {
            DoeDesignModel m(t.split('*'));
            ASSERT_TRUE(fresh.addModelDataForFitModel(m, message)) << c.what;
        }
        ASSERT_TRUE(fresh.preparationForModelRegression(message)) << message.toStdString();
        message = "earlier\n";
        EXPECT_FALSE(fresh.runStandardLeastSquares(0, message)) << c.what;
        EXPECT_EQ(message.toStdString(), std::string("earlier\n") + c.message) << c.what;
        // Refused: the intercept-only start is left as it was.
        EXPECT_TRUE(enteredNames(fresh).isEmpty()) << c.what;
    }
}

TEST_F(StandardLeastSquares, PersonalityCountsAsChosenOnlyAfterItIsSetUntilTheNextReset)
{
    EXPECT_FALSE(api.isFitModel_PersonalityChosen());
    auto p = doeBussiness::StandardLeastSquares;
    ASSERT_TRUE(api.setFitModel_Personality(p, err));
    EXPECT_TRUE(api.isFitModel_PersonalityChosen());
    ASSERT_TRUE(loadTable(api, dir, kHeader, kRows, err));
    EXPECT_FALSE(api.isFitModel_PersonalityChosen());
}

TEST_F(StandardLeastSquares, StepwiseFitTestsOnlyTheEnteredParametersOfEachTerm)
{
    ASSERT_TRUE(prepareTerms(kRows, {"A", "B", "C", "A*C"})) << err.toStdString();
    enter(api, {"A", "C{a-c}"});
    ASSERT_TRUE(api.runModel(0));
    QVector<DoeEffectTest> tests;
    ASSERT_TRUE(api.getEffectTests(tests, 0, err));
    ASSERT_EQ(tests.size(), 2);
    QVector<QString> names;
    api.getSaveParamName(names, 0);
    const char* params[] = {"A", "C{a-c}"};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(tests[i].term, i == 0 ? "A" : "C");
        EXPECT_EQ(tests[i].nparm, 1);
        EXPECT_EQ(tests[i].denominatorDF, 15 - 3);
        double est, se, t = NAN, pt = NAN;
        api.getRunParameter(names.indexOf(params[i]), est, se, t, pt, 0);
        expectRelative(tests[i].fRatio, t * t, std::string("F = t^2 for ") + params[i]);
        expectRelative(tests[i].probF, pt, std::string("Prob>F = Prob>|t| for ") + params[i]);
    }
}
