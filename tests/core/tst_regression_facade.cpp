// The regression through the facade and the real engine, checked against an independent
// least-squares solution of the same coded model computed here from the table.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "tst_regression_support.h"

using namespace analysis_test;

namespace {

struct Table
{
    QStringList header;
    QVector<QStringList> rows;
};

// Independent fit of the entered parameters (all of them here) from the table itself.
struct Reference
{
    QVector<QString> params;
    Eigen::MatrixXd X;
    Eigen::VectorXd y;
    Solution sol;
    std::map<QString, FactorCoding> coding;
};

Reference reference(DoeBussinessApi& api, const Table& t, const QStringList& factors,
                    const QString& response)
{
    Reference r;
    api.getSaveParamName(r.params, 0);
    for (const QString& f : factors) {
        const int c = t.header.indexOf(f);
        FactorCoding fc;
        bool numeric = true;
        double lo = 1e300, hi = -1e300;
        for (const auto& row : t.rows) {
            bool ok = false;
            const double v = row[c].toDouble(&ok);
            numeric = numeric && ok;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        fc.categorical = !numeric;
        fc.low = lo;
        fc.high = hi;
        r.coding[f] = fc;
    }
    const int yc = t.header.indexOf(response);
    r.X.resize(t.rows.size(), r.params.size());
    r.y.resize(t.rows.size());
    for (int i = 0; i < t.rows.size(); ++i) {
        r.X.row(i) = modelRow(r.params, t.header, t.rows[i], r.coding);
        r.y[i] = t.rows[i][yc].toDouble();
    }
    r.sol = solve(r.X, r.y);
    return r;
}

double g_maxRelative = 0.0;  // largest deviation seen, reported with each check

void expectClose(double actual, double expected, const char* what, int index = -1)
{
    if (std::isfinite(actual) && std::isfinite(expected))
        g_maxRelative = std::max(g_maxRelative, std::fabs(actual - expected) / std::max(1.0, std::fabs(expected)));
    const double tol = 1e-7 * std::max(1.0, std::fabs(expected));
    EXPECT_NEAR(actual, expected, tol) << what << " " << index;
}

// Summary, ANOVA, estimates and one prediction against the reference.
void checkFit(DoeBussinessApi& api, const Reference& ref, const QList<QString>& point)
{
    const Solution& s = ref.sol;
    const int dfe = s.n - s.rank, dfm = s.rank - 1;
    double sse, ssm, rmse, r2, r2a, f, pf;
    int dfModel = -7, dfError = -7;
    api.getRunModelResult(sse, ssm, dfModel, dfError, rmse, r2, r2a, f, pf, 0);
    EXPECT_EQ(dfModel, dfm);
    EXPECT_EQ(dfError, dfe);
    expectClose(sse, s.sse, "SS error");
    expectClose(ssm, s.sst - s.sse, "SS model");
    expectClose(rmse, std::sqrt(s.mse), "RMSE");
    expectClose(r2, 1 - s.sse / s.sst, "RSquare");
    expectClose(r2a, 1 - s.mse / (s.sst / (s.n - 1)), "RSquare Adj");
    const double fRef = ((s.sst - s.sse) / dfm) / s.mse;
    expectClose(f, fRef, "F ratio");
    EXPECT_NEAR(pf, boost::math::cdf(boost::math::complement(boost::math::fisher_f(dfm, dfe), fRef)),
                1e-9);

    for (int p = 0; p < ref.params.size(); ++p) {
        double est = NAN, se = NAN, t = NAN, pt = NAN;
        api.getRunParameter(p, est, se, t, pt, 0);
        const bool aliased = std::find(s.kept.begin(), s.kept.end(), p) == s.kept.end();
        expectClose(est, s.beta[p], "estimate", p);
        if (aliased)
            continue;
        expectClose(se, s.se[p], "std error", p);
        expectClose(t, s.beta[p] / s.se[p], "t ratio", p);
        const double pRef =
            2 * boost::math::cdf(boost::math::complement(boost::math::students_t(dfe), std::fabs(t)));
        EXPECT_NEAR(pt, pRef, 1e-9) << p;
    }

    // Prediction and both intervals at one point.
    QStringList cells = point;
    QStringList names;
    for (const auto& kv : ref.coding)
        names << kv.first;
    QList<QString> factorList;
    api.getModelFactorList(factorList);
    Eigen::RowVectorXd row = modelRow(ref.params, factorList, cells, ref.coding);
    Eigen::VectorXd rk(s.rank);
    for (int k = 0; k < s.rank; ++k)
        rk[k] = row[s.kept[k]];
    const double yhat = row * s.beta;
    const double lev = rk.dot(s.xtxInv * rk);
    const double t = tQuantile(0.975, dfe);
    double o[5];
    api.predictResult(point, o[0], o[1], o[2], o[3], o[4], 0.05, 0);
    expectClose(o[0], yhat, "prediction");
    expectClose(o[1], yhat - t * std::sqrt(s.mse * lev), "confidence low");
    expectClose(o[2], yhat - t * std::sqrt(s.mse * (1 + lev)), "prediction low");
    expectClose(o[3], yhat + t * std::sqrt(s.mse * lev), "confidence high");
    expectClose(o[4], yhat + t * std::sqrt(s.mse * (1 + lev)), "prediction high");
    ::testing::Test::RecordProperty("max_relative_deviation", std::to_string(g_maxRelative));
    std::printf("largest relative deviation from the independent fit: %.3g\n", g_maxRelative);
}

QString num(double v)
{
    return QString::number(v, 'g', 10);
}

class RegressionFacade : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;
    std::mt19937 gen{20261208};
    std::normal_distribution<double> noise{0.0, 0.2};
    std::uniform_real_distribution<double> unit{0.0, 1.0};

    void fitAll(const Table& t, const QStringList& factors)
    {
        ASSERT_TRUE(prepare(api, dir, t.header, t.rows, "Y", factors, err)) << err.toStdString();
        enter(api);
        ASSERT_TRUE(api.runModel(0));
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    }
};

}  // namespace

TEST_F(RegressionFacade, ContinuousResponseSurfaceMatchesIndependentFit)
{
    Table t{{"A", "B", "Y"}, {}};
    for (int i = 0; i < 16; ++i) {
        const double a = 10 * unit(gen), b = -2 + 4 * unit(gen);
        const double y = 3 + 0.5 * a - 1.2 * b + 0.3 * a * b + 0.1 * a * a + noise(gen);
        t.rows.append({num(a), num(b), num(y)});
    }
    fitAll(t, {"A", "B"});
    const Reference ref = reference(api, t, {"A", "B"}, "Y");
    EXPECT_EQ(ref.params.size(), 6);  // intercept, A, B, A*A, A*B, B*B
    EXPECT_EQ(ref.sol.rank, 6);
    checkFit(api, ref, {"4.5", "0.25"});

    // The data set keeps every complete row, raw and converted alike.
    QVector<QVector<QString>> raw, byColumn, conv;
    api.getTableFactorRawDataForRegression(raw, true);
    api.getTableFactorRawDataForRegression(byColumn, false);
    api.getTableFactorConvertedDataForRegression(conv);
    ASSERT_EQ(raw.size(), 16);
    ASSERT_EQ(byColumn.size(), 2);
    EXPECT_EQ(byColumn[1][3], raw[3][1]);
    EXPECT_EQ(conv, raw);
    QMap<int, int> rowMap;
    EXPECT_TRUE(api.getRegressionTableRowMap(rowMap));
    EXPECT_EQ(rowMap.value(15), 15);
}

TEST_F(RegressionFacade, CategoricalFactorMatchesIndependentFit)
{
    const QStringList levels{"red", "green", "blue"};
    const double effect[] = {1.0, -0.5, 2.0};
    Table t{{"C", "A", "Y"}, {}};
    for (int i = 0; i < 18; ++i) {
        const int l = i % 3;
        const double a = -1 + 2 * unit(gen);
        t.rows.append({levels[l], num(a), num(5 + effect[l] + 1.5 * a + 0.7 * a * effect[l] + noise(gen))});
    }
    t.rows.append({"green", "", "1"});  // incomplete row: not part of the data set
    fitAll(t, {"C", "A"});
    QVector<QString> cols;
    api.getSaveFacName(cols, 0);
    EXPECT_EQ(cols.value(1), "C{red-blue}");
    EXPECT_EQ(cols.value(2), "C{green-blue}");

    Table complete = t;
    complete.rows.removeLast();
    const Reference ref = reference(api, complete, {"C", "A"}, "Y");
    checkFit(api, ref, {"green", "0.3"});

    // Level cells are coded by their index; a text that is no level predicts nothing.
    QVector<QVector<QString>> conv;
    api.getTableFactorConvertedDataForRegression(conv);
    ASSERT_EQ(conv.size(), 18);
    EXPECT_EQ(conv[2][0], "2");
    double a[5], b[5];
    api.predictResult({"red", "0.3"}, a[0], a[1], a[2], a[3], a[4], 0.05, 0);
    api.predictResult({"purple", "0.3"}, b[0], b[1], b[2], b[3], b[4], 0.05, 0);
    EXPECT_TRUE(std::isfinite(a[0]));
    EXPECT_TRUE(std::isnan(b[0]));

    // Factors used by entered terms, and the column records behind them.
    QList<QString> factors;
    QMap<QString, doeBussiness::DoeDesignTableColumInfo> info;
    QVector<bool> used;
    api.getRegressionAllFactorAndUsedFactor(factors, info, used, 0);
    EXPECT_EQ(factors, (QList<QString>{"C", "A"}));
    EXPECT_EQ(used, (QVector<bool>{true, true}));
    EXPECT_EQ(info.value("C").role, doeBussiness::Categorical);
    enter(api, {"A"});
    api.getRegressionAllFactorAndUsedFactor(factors, info, used, 0);
    EXPECT_EQ(used, (QVector<bool>{false, true}));
}

TEST_F(RegressionFacade, AliasedParameterIsLeftOut)
{
    // B repeats A, so B, A*B and B*B are combinations of earlier parameters.
    Table t{{"A", "B", "Y"}, {}};
    for (int i = 0; i < 12; ++i) {
        const double a = -1 + 2 * unit(gen);
        t.rows.append({num(a), num(a), num(1 + 2 * a - a * a + noise(gen))});
    }
    fitAll(t, {"A", "B"});
    const Reference ref = reference(api, t, {"A", "B"}, "Y");
    EXPECT_EQ(ref.sol.rank, 3);
    checkFit(api, ref, {"0.2", "0.2"});
}

namespace {

// The shipped example fitted as the walkthrough does: Yield on Temp, Time and Catalyst, the
// stepwise run to its end, then Run Model.
bool fitExample(DoeBussinessApi& api, QString& err)
{
    if (!api.loadDoeTableByPath(QString(VARISTRA_SOURCE_DIR) + "/examples/design_with_results.csv", err)
        || !api.setModelResponseList({"Yield"}, err) || !api.genModel_RSM_ByGivenList({"Temp", "Time", "Catalyst"}, err)
        || api.canRunModel(err) != 1 || !api.preparationForModelRegression(err))
        return false;
    for (int step = 0; step < 100 && api.stepwiseStepCombine(0); ++step) {
    }
    return api.runModel(0);
}

double predictAt(DoeBussinessApi& api, const QList<QString>& x)
{
    double o[5];
    api.predictResult(x, o[0], o[1], o[2], o[3], o[4], 0.05, 0);
    return o[0];
}

}  // namespace

TEST(ExampleFit, PredictionRefusesWhatItCannotRead)
{
    DoeBussinessApi api;
    QString err;
    ASSERT_TRUE(fitExample(api, err)) << err.toStdString();
    const struct {
        QList<QString> values;
        const char* message;  // empty: a prediction
    } rows[] = {
        {{"175", "20", "B"}, ""},
        {{"175", "20", "Z"}, "Catalyst: \"Z\" is not one of its levels (A, B, C)\n"},
        {{"175", "20", "1"}, "Catalyst: \"1\" is not one of its levels (A, B, C)\n"},
        {{"hot", "20", "B"}, "Temp: \"hot\" is not a number\n"},
        {{"175", "", "B"}, "Time: \"\" is not a number\n"},
        {{"inf", "20", "B"}, "Temp: \"inf\" is not a number\n"},
        {{"175", "20"}, "Expected 3 factor values, got 2\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(QStringList(r.values).join(",").toStdString());
        double o[5];
        QString message = "kept\n";
        api.predictResult(r.values, o[0], o[1], o[2], o[3], o[4], 0.05, 0, message);
        EXPECT_EQ(message, QString("kept\n") + r.message);
        double old[5];
        api.predictResult(r.values, old[0], old[1], old[2], old[3], old[4], 0.05, 0);
        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(std::isfinite(o[k]), *r.message == 0) << k;
            EXPECT_EQ(std::isnan(old[k]), std::isnan(o[k])) << k;
        }
    }
    double o[5];
    QString message;
    api.predictResult({"175", "20", "B"}, o[0], o[1], o[2], o[3], o[4], 0.05, 3, message);
    EXPECT_EQ(message, "No fitted model\n");
    EXPECT_TRUE(std::isnan(o[0]));
}

// Above about 82 the default-shaped desirability is 1 everywhere: among those settings the best
// response for the shape's goal wins, checked against every point of a fine grid.
TEST(ExampleFit, MaximizeDesirabilityBreaksFlatTopsByTheGoal)
{
    DoeBussinessApi api;
    QString err;
    ASSERT_TRUE(fitExample(api, err)) << err.toStdString();
    const QStringList levels = {"A", "B", "C"};
    double gridMax = -1e300, gridMin = 1e300;
    for (int i = 0; i <= 50; ++i)
        for (int j = 0; j <= 20; ++j)
            for (const QString& l : levels) {
                const double y = predictAt(api, {QString::number(150 + i), QString::number(10 + j), l});
                gridMax = std::max(gridMax, y);
                gridMin = std::min(gridMin, y);
            }
    const struct {
        const char* goal;
        double y[3], d[3];
        bool larger;
    } rows[] = {
        {"Maximize", {60, 71, 82}, {0, 0.5, 1}, true},
        {"Minimize", {70, 75, 80}, {1, 0.5, 0}, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.goal);
        QList<QString> settings;
        const double best = api.calculateMax(settings, r.y[0], r.y[1], r.y[2], r.d[0], r.d[1], r.d[2], 10, 0);
        EXPECT_EQ(best, 1.0);
        ASSERT_EQ(settings.size(), 3);
        const int level = settings[2].toInt();
        ASSERT_TRUE(level >= 0 && level < 3);
        const double y = predictAt(api, {settings[0], settings[1], levels[level]});
        if (r.larger) {
            EXPECT_GE(y, gridMax - 1e-9);
            EXPECT_NEAR(settings[0].toDouble(), 195.5, 1.0);
            EXPECT_NEAR(settings[1].toDouble(), 30.0, 1.0);
            EXPECT_EQ(levels[level], "B");
        } else {
            EXPECT_LE(y, gridMin + 1e-9);
        }
    }
}
