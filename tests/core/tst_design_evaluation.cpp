// Design evaluation against designs whose figures are known in closed form, and its settings.
#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/non_central_f.hpp>
#include <gtest/gtest.h>

#include <cmath>

#include "DoeBussinessApi.h"
#include "DoeDesignEvaluator.h"

using namespace doeBussiness;

namespace {

DoeDesignTableColumInfo column(const QString& name, EDoeFactorRole role, const QStringList& values)
{
    DoeDesignFactor f;
    f.name = name;
    f.role = role;
    f.values = values;
    return DoeDesignTableColumInfo(f);
}

DoeDesignModel term(const QStringList& names)
{
    return DoeDesignModel(names);
}

// Upper tail beyond the alpha critical value of the noncentral F with the given noncentrality.
double exactPower(double lambda, double df1, double df2, double alpha)
{
    const double critical = boost::math::quantile(boost::math::complement(boost::math::fisher_f(df1, df2), alpha));
    return boost::math::cdf(boost::math::complement(boost::math::non_central_f(df1, df2, lambda), critical));
}

struct ClosedFormCase
{
    const char* name;
    QVector<DoeDesignTableColumInfo> columns;
    QVector<QVector<QString>> rows;
    QList<DoeDesignModel> terms;
    QStringList expectedTerms;
    QStringList expectedParameters;
    double d, a, g, averageVariance;
    QVector<double> power;                   // NaN where n - p < 1
    QVector<QVector<double>> correlations;
};

QVector<QVector<QString>> fullFactorial3()
{
    QVector<QVector<QString>> rows;
    for (int i = 0; i < 8; ++i)
        rows.append({(i & 1) ? "10" : "0", (i & 2) ? "1" : "-1", (i & 4) ? "5" : "3"});
    return rows;
}

QVector<ClosedFormCase> closedFormCases()
{
    const double nan = std::nan("");
    QVector<ClosedFormCase> cases;
    // 2^3 full factorial, main effects: X'X = 8I, d(x) = (1 + |x|^2) / 8, largest at the vertices.
    const double p8 = exactPower(8.0, 1, 4, 0.05);
    cases.append({"2^3 main effects",
                  {column("A", Continuous, {"0", "10"}), column("B", Continuous, {"-1", "1"}),
                   column("C", Continuous, {"3", "5"})},
                  fullFactorial3(),
                  {term({"Intercept"}), term({"A"}), term({"B"}), term({"C"})},
                  {"Intercept", "A", "B", "C"},
                  {"Intercept", "A", "B", "C"},
                  100, 100, 100, (1 + 3 * (1.0 / 3)) / 8,
                  {p8, p8, p8, p8},
                  {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}});
    // 2^2 with the interaction (terms listed out of order): X'X = 4I, saturated, so no power;
    // d(x) = (1 + x1^2)(1 + x2^2) / 4 is 1 at the vertices; its mean is (4/3)^2 / 4.
    cases.append({"2^2 with interaction",
                  {column("A", Continuous, {"-1", "1"}), column("B", Continuous, {"-1", "1"})},
                  {{"-1", "-1"}, {"1", "-1"}, {"-1", "1"}, {"1", "1"}},
                  {term({"A"}), term({"B", "A"}), term({"Intercept"}), term({"B"})},
                  {"Intercept", "A", "B*A", "B"},
                  {"Intercept", "A", "A*B", "B"},
                  100, 100, 100, 4.0 / 9,
                  {nan, nan, nan, nan},
                  {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}});
    // One categorical factor, each of three levels twice, effect-coded: X'X = [[6,0,0],[0,4,2],[0,2,4]],
    // det 72, trace of the inverse 5/6; the prediction variance is 1/2 at every level.
    cases.append({"categorical, three levels twice",
                  {column("K", Categorical, {"a", "b", "c"})},
                  {{"a"}, {"b"}, {"c"}, {"c"}, {"b"}, {"a"}},
                  {term({"Intercept"}), term({"K"})},
                  {"Intercept", "K"},
                  {"Intercept", "K{a-c}", "K{b-c}"},
                  100.0 * double(std::cbrt(72.0L)) / 6, 60, 100, 0.5,
                  {exactPower(6.0, 1, 3, 0.05), exactPower(12.0, 2, 3, 0.05)},
                  {{1, 0.5}, {0.5, 1}}});
    return cases;
}

}  // namespace

TEST(DesignEvaluation, ClosedFormDesigns)
{
    for (const ClosedFormCase& c : closedFormCases()) {
        SCOPED_TRACE(c.name);
        DoeDesignEvaluation e;
        QString err;
        ASSERT_TRUE(evaluateDesign(c.columns, c.rows, c.terms, DoeDesignEvaluationSetting(), e, err))
            << err.toStdString();
        EXPECT_TRUE(err.isEmpty());
        EXPECT_EQ(e.terms, c.expectedTerms);
        EXPECT_EQ(e.parameters, c.expectedParameters);
        EXPECT_NEAR(e.dEfficiency, c.d, 1e-9);
        EXPECT_NEAR(e.aEfficiency, c.a, 1e-9);
        EXPECT_NEAR(e.gEfficiency, c.g, 1e-9);
        EXPECT_NEAR(e.averageVariance, c.averageVariance, 1e-12);
        ASSERT_EQ(e.power.size(), c.power.size());
        for (int i = 0; i < c.power.size(); ++i) {
            if (std::isnan(c.power[i]))
                EXPECT_TRUE(std::isnan(e.power[i])) << i;
            else
                EXPECT_NEAR(e.power[i], c.power[i], 1e-10) << i;
        }
        ASSERT_EQ(e.correlations.size(), c.correlations.size());
        for (int i = 0; i < c.correlations.size(); ++i)
            for (int j = 0; j < c.correlations.size(); ++j)
                EXPECT_NEAR(e.correlations[i][j], c.correlations[i][j], 1e-12) << i << "," << j;
        // The FDS curve: 101 fractions from 0 to 1, variances rising, never above the maximum.
        ASSERT_EQ(e.fds.size(), 101);
        EXPECT_EQ(e.fds.first().first, 0.0);
        EXPECT_EQ(e.fds.last().first, 1.0);
        const double maxVariance = 100.0 * e.parameters.size() / (c.rows.size() * c.g);
        for (int i = 1; i < e.fds.size(); ++i)
            EXPECT_LE(e.fds[i - 1].second, e.fds[i].second);
        EXPECT_LE(e.fds.last().second, maxVariance * (1 + 1e-12));
    }
}

TEST(DesignEvaluation, PowerFollowsAlphaAndSignalToNoise)
{
    const ClosedFormCase c = closedFormCases().first();
    DoeDesignEvaluationSetting s;
    s.alpha = 0.1;
    s.signalToNoise = 0.5;  // lambda = 8 * 0.25
    DoeDesignEvaluation e;
    QString err;
    ASSERT_TRUE(evaluateDesign(c.columns, c.rows, c.terms, s, e, err));
    EXPECT_NEAR(e.power[1], exactPower(2.0, 1, 4, 0.1), 1e-10);

    // The ends: a vanishing effect is found as often as alpha says, a huge one always.
    for (const auto& end : {qMakePair(1e-9, 0.1), qMakePair(1e3, 1.0), qMakePair(1e6, 1.0)}) {
        s.signalToNoise = end.first;
        ASSERT_TRUE(evaluateDesign(c.columns, c.rows, c.terms, s, e, err));
        EXPECT_NEAR(e.power[1], end.second, 1e-9) << end.first;
    }
}

TEST(DesignEvaluation, RefusalsAndDegenerateDesigns)
{
    const ClosedFormCase c = closedFormCases().first();
    struct Row
    {
        const char* name;
        QVector<QVector<QString>> rows;
        QList<DoeDesignModel> terms;
        bool ok;
        QString message;
    };
    const QVector<Row> table = {
        {"term naming no factor column", c.rows, {term({"Intercept"}), term({"Ghost"})}, false, "Factor error\n"},
        {"cell that is not a number", {{"x", "1", "3"}}, c.terms, false, "Data error\n"},
        {"cell too large to square", {{"1e200", "1", "3"}}, c.terms, false, "Data error\n"},
        {"no run", {}, c.terms, false, "No data\n"},
        // Fewer runs than parameters: evaluated, but nothing can be estimated.
        {"too few runs", c.rows.mid(0, 3), c.terms, true, ""},
    };
    for (const Row& r : table) {
        SCOPED_TRACE(r.name);
        DoeDesignEvaluation e;
        QString err;
        EXPECT_EQ(evaluateDesign(c.columns, r.rows, r.terms, DoeDesignEvaluationSetting(), e, err), r.ok);
        EXPECT_EQ(err, r.message);
        if (r.ok) {
            EXPECT_EQ(e.dEfficiency, 0.0);
            EXPECT_TRUE(std::isnan(e.averageVariance));
            EXPECT_TRUE(e.fds.isEmpty());
            for (double p : e.power)
                EXPECT_TRUE(std::isnan(p));
        }
    }
}

TEST(DesignEvaluation, FacadeNeedsATableAndRefusesBadSettings)
{
    DoeBussinessApi api;
    DoeDesignEvaluation e;
    QString err;
    EXPECT_FALSE(api.getDesignEvaluation(e, err));
    EXPECT_EQ(err, "Unknown error\n");

    DoeDesignEvaluationSetting stored;
    api.getDesignEvaluationSetting(stored);
    EXPECT_EQ(stored.alpha, 0.05);
    EXPECT_EQ(stored.signalToNoise, 1.0);
    const double nan = std::nan("");
    const QVector<QPair<double, double>> refused = {{0, 1}, {1, 1}, {-0.1, 1}, {nan, 1}, {0.05, 0},
                                                    {0.05, -2}, {0.05, nan}, {0.05, HUGE_VAL}};
    for (const auto& bad : refused) {
        DoeDesignEvaluationSetting s;
        s.alpha = bad.first;
        s.signalToNoise = bad.second;
        err.clear();
        EXPECT_FALSE(api.setDesignEvaluationSetting(s, err)) << bad.first << " " << bad.second;
        EXPECT_EQ(err, "Invalid Value\n");
        EXPECT_EQ(s, stored);  // written back
    }
    DoeDesignEvaluationSetting good;
    good.alpha = 0.01;
    good.signalToNoise = 2;
    err.clear();
    EXPECT_TRUE(api.setDesignEvaluationSetting(good, err));
    EXPECT_TRUE(err.isEmpty());
    api.getDesignEvaluationSetting(stored);
    EXPECT_EQ(stored, good);
}
