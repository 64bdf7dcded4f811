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
    // One categorical factor, each of three levels twice: balanced, so D and A are 100 in orthonormal
    // coding (effect-coded X'X = [[6,0,0],[0,4,2],[0,2,4]] would give 69.3 and 60); the prediction
    // variance is 1/2 at every level.
    cases.append({"categorical, three levels twice",
                  {column("K", Categorical, {"a", "b", "c"})},
                  {{"a"}, {"b"}, {"c"}, {"c"}, {"b"}, {"a"}},
                  {term({"Intercept"}), term({"K"})},
                  {"Intercept", "K"},
                  {"Intercept", "K{a-c}", "K{b-c}"},
                  100, 100, 100, 0.5,
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
        // The FDS curve: 101 fractions from 0 to 1, variances rising to the maximum G uses.
        ASSERT_EQ(e.fds.size(), 101);
        EXPECT_EQ(e.fds.first().first, 0.0);
        EXPECT_EQ(e.fds.last().first, 1.0);
        const double maxVariance = 100.0 * e.parameters.size() / (c.rows.size() * c.g);
        for (int i = 1; i < e.fds.size(); ++i)
            EXPECT_LE(e.fds[i - 1].second, e.fds[i].second);
        EXPECT_NEAR(e.fds.last().second, maxVariance, 1e-12 * maxVariance);
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
        // A constant column (C never moves): no estimate, and no correlation for C rather than 0.
        {"constant column", [] {
             auto rows = fullFactorial3();
             for (auto& r : rows)
                 r[2] = "3";
             return rows;
         }(), c.terms, true, ""},
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
            bool constantC = true;
            for (const auto& run : r.rows)
                constantC &= run[2] == r.rows.first()[2];
            ASSERT_EQ(e.correlations.size(), 3);
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    EXPECT_EQ(std::isnan(e.correlations[i][j]), constantC && (i == 2 || j == 2)) << i << j;
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
    const QString alphaMessage = "Significance level must be greater than 1e-12 and less than 1 - 1e-9\n";
    const QString snrMessage = "Signal to noise ratio must be greater than 0 and at most 1000000\n";
    struct Row
    {
        double alpha, snr;
        QString message;  // empty: accepted
    };
    const QVector<Row> table = {
        {0, 1, alphaMessage},        {1, 1, alphaMessage},          {-0.1, 1, alphaMessage},
        {nan, 1, alphaMessage},      {1e-12, 1, alphaMessage},      {1 - 1e-16, 1, alphaMessage},
        {1 - 1e-9, 1, alphaMessage}, {0.05, 0, snrMessage},         {0.05, -2, snrMessage},
        {0.05, nan, snrMessage},     {0.05, HUGE_VAL, snrMessage},  {0.05, 1e300, snrMessage},
        {0.05, 1.000001e6, snrMessage}, {0, 0, alphaMessage + snrMessage},
        {2e-12, 1e6, ""},            {1 - 2e-9, 1e-300, ""},        {0.01, 2, ""},
    };
    for (const Row& r : table) {
        api.getDesignEvaluationSetting(stored);
        DoeDesignEvaluationSetting s;
        s.alpha = r.alpha;
        s.signalToNoise = r.snr;
        err.clear();
        EXPECT_EQ(api.setDesignEvaluationSetting(s, err), r.message.isEmpty()) << r.alpha << " " << r.snr;
        EXPECT_EQ(err, r.message);
        if (!r.message.isEmpty())
            EXPECT_EQ(s, stored);  // written back
        DoeDesignEvaluationSetting now;
        api.getDesignEvaluationSetting(now);
        EXPECT_EQ(now, r.message.isEmpty() ? s : stored);
    }
}

namespace {

// 2^3 full factorial, or its half fraction C = AB when `half`.
QVector<QVector<QString>> twoLevelRuns(bool half)
{
    QVector<QVector<QString>> rows;
    for (int i = 0; i < 8; ++i) {
        const int a = (i & 1) ? 1 : -1, b = (i & 2) ? 1 : -1, c = (i & 4) ? 1 : -1;
        if (!half || c == a * b)
            rows.append({QString::number(a), QString::number(b), QString::number(c)});
    }
    return rows;
}

QVector<DoeDesignTableColumInfo> twoLevelColumns()
{
    return {column("A", Continuous, {"-1", "1"}), column("B", Continuous, {"-1", "1"}),
            column("C", Continuous, {"-1", "1"})};
}

}  // namespace

// If Possible terms stay out of the figures of the Necessary model and get their alias norm; an
// empty term adds nothing.
TEST(DesignEvaluation, IfPossibleTermsAreJudgedByTheirAlias)
{
    const DoeDesignModel ab(QStringList{"A", "B"}, false);
    const DoeDesignModel ac(QStringList{"A", "C"}, false);
    const QList<DoeDesignModel> screening = {term({"Intercept"}), term({"A"}), term({"B"}), term({"C"}), ab, ac};
    const double nan = std::nan("");
    struct Case
    {
        const char* name;
        bool half;
        QList<DoeDesignModel> terms;
        int errorDf;
        QVector<bool> necessary;
        QVector<double> aliasNorm;  // per term; NaN for Necessary ones
        double d;
    };
    const QVector<Case> cases = {
        // Full factorial: the products are orthogonal to the main effects.
        {"full factorial", false, screening, 4, {true, true, true, true, false, false}, {nan, nan, nan, nan, 0, 0}, 100},
        // Half fraction C = AB: AB is C (norm 1), AC is B (norm 1); 4 runs for 4 Necessary parameters.
        {"half fraction", true, screening, 0, {true, true, true, true, false, false}, {nan, nan, nan, nan, 1, 1}, 100},
        // An empty term is dropped, so the full factorial is not made singular by a second intercept.
        {"empty term", false, {term({"Intercept"}), term({"A"}), term({}), term({"B"}), term({"C"})}, 4,
         {true, true, true, true}, {nan, nan, nan, nan}, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DoeDesignEvaluation e;
        QString err;
        ASSERT_TRUE(evaluateDesign(twoLevelColumns(), twoLevelRuns(c.half), c.terms, DoeDesignEvaluationSetting(), e,
                                   err));
        EXPECT_EQ(e.errorDf, c.errorDf);
        EXPECT_EQ(e.necessary, c.necessary);
        EXPECT_NEAR(e.dEfficiency, c.d, 1e-9);
        EXPECT_NEAR(e.aEfficiency, c.d, 1e-9);
        EXPECT_NEAR(e.gEfficiency, 100, 1e-9);
        ASSERT_EQ(e.aliasNorm.size(), c.aliasNorm.size());
        ASSERT_EQ(e.power.size(), c.aliasNorm.size());
        for (int t = 0; t < c.aliasNorm.size(); ++t) {
            if (std::isnan(c.aliasNorm[t]))
                EXPECT_TRUE(std::isnan(e.aliasNorm[t])) << t;
            else
                EXPECT_NEAR(e.aliasNorm[t], c.aliasNorm[t], 1e-12) << t;
            // Power for Necessary terms when there are error degrees of freedom, never for If Possible.
            EXPECT_EQ(std::isfinite(e.power[t]), c.necessary[t] && c.errorDf > 0) << t;
        }
    }
}

// D and A in orthonormal coding: a balanced categorical full factorial has X'X = n I, so both are 100.
TEST(DesignEvaluation, BalancedCategoricalFullFactorialScoresHundred)
{
    const QVector<DoeDesignTableColumInfo> columns = {column("P", Categorical, {"p1", "p2"}),
                                                      column("Q", Categorical, {"q1", "q2"}),
                                                      column("R", Categorical, {"r1", "r2", "r3"})};
    QVector<QVector<QString>> rows;
    for (const QString& p : {"p1", "p2"})
        for (const QString& q : {"q1", "q2"})
            for (const QString& r : {"r1", "r2", "r3"})
                rows.append({p, q, r});
    const QList<DoeDesignModel> mainEffects = {term({"Intercept"}), term({"P"}), term({"Q"}), term({"R"})};
    QList<DoeDesignModel> interactions = mainEffects;
    interactions << term({"P", "Q"}) << term({"P", "R"}) << term({"Q", "R"});
    for (const auto& model : {mainEffects, interactions}) {
        SCOPED_TRACE(model.size());
        DoeDesignEvaluation e;
        QString err;
        ASSERT_TRUE(evaluateDesign(columns, rows, model, DoeDesignEvaluationSetting(), e, err));
        EXPECT_NEAR(e.dEfficiency, 100.0, 1e-12);
        EXPECT_NEAR(e.aEfficiency, 100.0, 1e-12);
    }
}

// Power against its closed form with two error degrees of freedom, where the noncentral F tail is
// 1 - (1 - alpha) exp(-lambda alpha (2 - alpha) / 2) for one numerator degree of freedom; it
// includes noncentralities past the reach of the series, which saturate to 1 only when they should.
TEST(DesignEvaluation, PowerMatchesTheClosedFormUpToHugeNoncentrality)
{
    // 2^3 with A, B, C, AB and AC: X'X = 8 I, 2 error degrees of freedom, lambda = 8 snr^2 for A.
    const QList<DoeDesignModel> model = {term({"Intercept"}), term({"A"}), term({"B"}), term({"C"}),
                                         term({"A", "B"}), term({"A", "C"})};
    const QVector<QPair<double, double>> settings = {{0.05, 1},    {0.05, 0.3},  {0.5, 1e6},   {1e-11, 1e3},
                                                     {1e-11, 1e5}, {1e-11, 1e6}, {2e-12, 3e5}, {0.999999, 1e-3}};
    for (const auto& set : settings) {
        DoeDesignEvaluationSetting s;
        s.alpha = set.first;
        s.signalToNoise = set.second;
        DoeDesignEvaluation e;
        QString err;
        ASSERT_TRUE(evaluateDesign(twoLevelColumns(), twoLevelRuns(false), model, s, e, err));
        const long double alpha = s.alpha;
        const long double lambda = 8.0L * s.signalToNoise * s.signalToNoise;
        const double exact = double(1.0L - (1.0L - alpha) * std::exp(-lambda * alpha * (2.0L - alpha) / 2.0L));
        EXPECT_NEAR(e.power[1], exact, 1e-9) << set.first << " " << set.second;
    }
}
