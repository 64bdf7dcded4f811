#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>

#include "DoeBussinessApi.h"
#include "tst_regression_support.h"

using namespace doeBussiness;

namespace {

const QStringList kFactors{"Temp", "Time", "Catalyst"};
// Yield to maximise (65 -> 0, 85 -> 1), impurity to minimise (0.5 -> 1, 3 -> 0); neither saturates
// inside the region, so every optimum below is a single point.
const DoeDesirabilitySpec kYield{0, 65.0, 75.0, 85.0, 0.0, 0.5, 1.0, 1.0};
const DoeDesirabilitySpec kImpurity{1, 0.5, 1.75, 3.0, 1.0, 0.5, 0.0, 1.0};

QList<QString> texts(const QVector<double>& x)
{
    QList<QString> out;
    for (double v : x)
        out.append(QString::number(v, 'g', 17));
    return out;
}

QVector<double> numbers(const QList<QString>& s)
{
    QVector<double> out;
    for (const QString& t : s)
        out.append(t.toDouble());
    return out;
}

// Distance in units of each factor's range (Temp 150-200, Time 30-90, Catalyst 1-3).
double codedDistance(const QVector<double>& a, const QVector<double>& b)
{
    const double width[3] = {50.0, 60.0, 2.0};
    double s = 0.0;
    for (int i = 0; i < 3; ++i)
        s += std::pow((a[i] - b[i]) / width[i], 2);
    return std::sqrt(s);
}

class JointDesirability : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(api.loadDoeTableByPath(QString(VARISTRA_SOURCE_DIR) + "/examples/two_responses.csv", err)) << qPrintable(err);
        api.setFitModel_SeveralResponses(true);
        ASSERT_TRUE(api.setModelResponseList({"Yield", "Impurity"}, err));
        ASSERT_TRUE(api.genModel_RSM_ByGivenList(kFactors, err));
        ASSERT_EQ(api.canRunModel(err), 1) << qPrintable(err);
        ASSERT_TRUE(api.preparationForModelRegression(err)) << qPrintable(err);
        ASSERT_TRUE(api.runStandardLeastSquares(0, err)) << qPrintable(err);
        ASSERT_TRUE(api.runStandardLeastSquares(1, err)) << qPrintable(err);
        ASSERT_TRUE(err.isEmpty()) << qPrintable(err);
    }

    double D(const QVector<double>& x, const QVector<DoeDesirabilitySpec>& specs)
    {
        QString e;
        return api.jointDesirability(texts(x), specs, e);
    }

    // Best D on a 41^3 grid of the region, then on a 21^3 grid of one grid step around it.
    double gridBest(const QVector<DoeDesirabilitySpec>& specs)
    {
        const double lo[3] = {150, 30, 1}, hi[3] = {200, 90, 3};
        double best = -1;
        QVector<double> at(3);
        auto sweep = [&](const double* a, const double* b, int m) {
            QVector<double> x(3), bestX = at;
            for (int i = 0; i < m; ++i)
                for (int j = 0; j < m; ++j)
                    for (int k = 0; k < m; ++k) {
                        x = {a[0] + (b[0] - a[0]) * i / (m - 1), a[1] + (b[1] - a[1]) * j / (m - 1),
                             a[2] + (b[2] - a[2]) * k / (m - 1)};
                        const double d = D(x, specs);
                        if (d > best) {
                            best = d;
                            bestX = x;
                        }
                    }
            at = bestX;
        };
        sweep(lo, hi, 41);
        double a[3], b[3];
        for (int i = 0; i < 3; ++i) {
            const double step = (hi[i] - lo[i]) / 40;
            a[i] = std::max(lo[i], at[i] - step);
            b[i] = std::min(hi[i], at[i] + step);
        }
        sweep(a, b, 21);
        return best;
    }

    QVector<double> optimum(const QVector<DoeDesirabilitySpec>& specs, double& d)
    {
        QList<QString> settings;
        QString e;
        d = api.maximizeJointDesirability(settings, specs, e);
        EXPECT_TRUE(e.isEmpty()) << qPrintable(e);
        return numbers(settings);
    }

    DoeBussinessApi api;
    QString err;
};

}  // namespace

TEST(JointDesirabilityMath, PiecewiseCurveAndWeightedMean)
{
    struct Row { DoeDesirabilitySpec s; double y, d; };
    const DoeDesirabilitySpec up{0, 10, 20, 30, 0, 0.5, 1, 1};
    const DoeDesirabilitySpec target{0, 30, 10, 20, 0, 0, 1, 1};  // unsorted points: sorted by response
    const Row rows[] = {{up, 5, 0},       {up, 15, 0.25}, {up, 25, 0.75}, {up, 40, 1},
                        {target, 12.5, 0.25}, {target, 20, 1}, {target, 25, 0.5}, {target, 99, 0}};
    for (const Row& r : rows)
        EXPECT_DOUBLE_EQ(individualDesirability(r.s, r.y), r.d) << r.y;
    EXPECT_TRUE(std::isnan(individualDesirability(up, std::nan(""))));

    EXPECT_NEAR(weightedGeometricMean({0.25, 0.64}, {1, 1}), 0.4, 1e-15);
    EXPECT_NEAR(weightedGeometricMean({0.5, 0.9, 0.1}, {1, 3, 0}), std::pow(0.5 * 0.9 * 0.9 * 0.9, 0.25), 1e-15);
    EXPECT_EQ(weightedGeometricMean({0.0, 0.9}, {1, 1}), 0.0);
    EXPECT_TRUE(std::isnan(weightedGeometricMean({0.5}, {0})));

    // Initial functions: Maximize rises, Minimize falls, Match Target peaks mid-way, None weighs 0.
    const DoeDesirabilitySpec mx = initialDesirabilitySpec(0, 0, 2, 4, 1);
    const DoeDesirabilitySpec mn = initialDesirabilitySpec(0, 2, 4, 2, 2);
    const DoeDesirabilitySpec mt = initialDesirabilitySpec(0, 1, 2, 4, 1);
    EXPECT_EQ(individualDesirability(mx, 3.5), 0.75);
    EXPECT_EQ(individualDesirability(mn, 3.5), 0.25);
    EXPECT_EQ(mn.importance, 2.0);
    EXPECT_EQ(individualDesirability(mt, 3.0), 1.0);
    EXPECT_EQ(individualDesirability(mt, 4.0), 0.0);
    EXPECT_EQ(initialDesirabilitySpec(0, 3, 2, 4, 1).importance, 0.0);
}

TEST(JointDesirabilityMath, SearchCoversLevelsAndBreaksTiesByTheImportantResponse)
{
    // Two continuous factors and a three-level one; the peak is at (0.3, 1.5, level 2).
    const QVector<DoeJointFactorDomain> region{{true, -1, 1, 0}, {true, 0, 2, 0}, {false, 0, 0, 3}};
    struct Row { DoeJointEvaluator eval; QVector<double> at; double d; };
    const Row rows[] = {
        {[](const QVector<double>& x, double& d, double& t) {
             d = std::exp(-std::pow(x[0] - 0.3, 2) - std::pow(x[1] - 1.5, 2)) * (x[2] == 2 ? 1.0 : 0.5);
             t = 0;
             return true;
         },
         {0.3, 1.5, 2}, 1.0},
        // D flat: the tie-break response decides (largest at x0 = -1, level 1).
        {[](const QVector<double>& x, double& d, double& t) {
             d = 0.5;
             t = (1 - x[0]) / 2 * (x[2] == 1 ? 1.0 : 0.25);
             return true;
         },
         {-1, std::nan(""), 1}, 0.5},
    };
    for (const Row& r : rows) {
        const DoeJointOptimum best = maximizeOverRegion(region, r.eval);
        ASSERT_TRUE(best.found);
        EXPECT_NEAR(best.overall, r.d, 1e-9);
        for (int i = 0; i < 3; ++i)
            if (!std::isnan(r.at[i]))
                EXPECT_NEAR(best.x[i], r.at[i], 1e-4) << i;
    }
}

TEST_F(JointDesirability, MaximumMatchesFineGridAndHandComputedMean)
{
    const QVector<DoeDesirabilitySpec> specs{kYield, kImpurity};
    double best = 0;
    const QVector<double> x = optimum(specs, best);
    ASSERT_EQ(x.size(), 3);
    EXPECT_NEAR(best, gridBest(specs), 1e-3);
    EXPECT_GE(best, gridBest(specs) - 1e-9);

    // D by hand from the two predictions: straight segments, then the square root of the product.
    double y[2];
    for (int k = 0; k < 2; ++k) {
        double c1, c2, c3, c4;
        api.predictResult(texts(x), y[k], c1, c2, c3, c4, 0.05, k);
    }
    const long double d1 = std::min(1.0L, std::max(0.0L, (y[0] - 65.0L) / 20.0L));
    const long double d2 = std::min(1.0L, std::max(0.0L, (3.0L - y[1]) / 2.5L));
    EXPECT_NEAR(best, static_cast<double>(std::sqrt(d1 * d2)), 1e-9);  // the report's prediction path
    EXPECT_GT(d1, 0.0L);
    EXPECT_LT(d1, 1.0L);
}

TEST_F(JointDesirability, ImportanceMovesTheOptimumTowardTheHeavierResponse)
{
    DoeDesirabilitySpec heavy = kImpurity;
    heavy.importance = 5.0;
    DoeDesirabilitySpec alone = kImpurity;
    double d11, d15, dOwn;
    const QVector<double> even = optimum({kYield, kImpurity}, d11);
    const QVector<double> weighted = optimum({kYield, heavy}, d15);
    const QVector<double> own = optimum({alone}, dOwn);
    EXPECT_GT(codedDistance(even, weighted), 0.05);
    EXPECT_LT(codedDistance(weighted, own), codedDistance(even, own));

    // With weight (1, 5) D is the fifth-power mean of the two d, as computed by hand.
    QString e;
    DoeJointPoint detail;
    const double d = api.jointDesirability(texts(weighted), {kYield, heavy}, detail, e);
    ASSERT_EQ(detail.desirability.size(), 2);
    EXPECT_NEAR(d, std::pow(detail.desirability[0] * std::pow(detail.desirability[1], 5), 1.0 / 6), 1e-12);
    EXPECT_EQ(d, d15);
}

TEST_F(JointDesirability, JointDefectRateMatchesClosedForm)
{
    // Factors fixed at one setting; normal noise of its own size on each response.
    const QVector<double> at{180, 50, 2.5};
    for (const QString& f : kFactors) {
        QMap<QString, DoeMonteCarloFactorInfo> map;
        ASSERT_TRUE(api.getMonteCarloFactorInfo(0, map));
        DoeMonteCarloFactorInfo info = map.value(f);
        info.random = 0;
        info.fixedValue = at[kFactors.indexOf(f)];
        ASSERT_TRUE(api.setMonteCarloFactorInfo(0, f, info, err)) << qPrintable(err);
    }
    const double sd[2] = {0.8, 0.1};
    const QString names[2] = {"Yield", "Impurity"};
    double pred[2];
    for (int k = 0; k < 2; ++k) {
        DoeMonteCarloResponseInfo r;
        r.noiseMode = 1;
        r.noiseStdDev = sd[k];
        ASSERT_TRUE(api.setMonteCarloResponseInfo(k, names[k], r, err));
        double c1, c2, c3, c4;
        api.predictResult(texts(at), pred[k], c1, c2, c3, c4, 0.05, k);
    }
    const double nan = std::nan("");
    // Yield below pred - 0.5 sd-units of 0.8; impurity above pred + 0.05.
    const QVector<QPair<double, double>> limits{{pred[0] - 0.5, nan}, {nan, pred[1] + 0.05}};
    const long double p1 = 0.5L * std::erfc(0.5L / 0.8L / std::sqrt(2.0L));
    const long double p2 = 0.5L * std::erfc(0.05L / 0.1L / std::sqrt(2.0L));
    const long double joint = 1.0L - (1.0L - p1) * (1.0L - p2);

    const int runs = 200000;
    double rate = -1;
    QVector<double> rates;
    ASSERT_TRUE(api.simulateJointDefects(runs, limits, rate, rates, err)) << qPrintable(err);
    ASSERT_EQ(rates.size(), 2);
    auto se = [&](long double p) { return static_cast<double>(std::sqrt(p * (1 - p) / runs)); };
    EXPECT_NEAR(rate, static_cast<double>(joint), 3 * se(joint));
    EXPECT_NEAR(rates[0], static_cast<double>(p1), 3 * se(p1));
    EXPECT_NEAR(rates[1], static_cast<double>(p2), 3 * se(p2));
}

TEST_F(JointDesirability, BadRequestsAreRefusedWithAReason)
{
    struct Row { QList<QString> settings; QVector<DoeDesirabilitySpec> specs; QString message; };
    DoeDesirabilitySpec missing = kYield;
    missing.modelIndex = 2;
    DoeDesirabilitySpec weightless = kYield;
    weightless.importance = 0;
    const Row rows[] = {
        {{"180", "50"}, {kYield}, "Expected 3 factor values, got 2\n"},
        {{"180", "fifty", "2"}, {kYield}, "Time: \"fifty\" is not a number\n"},
        {{"180", "50", "2"}, {missing}, "Response 3 has no fitted model\n"},
        {{"180", "50", "2"}, {weightless}, "No response has an importance above 0\n"},
        {{"180", "50", "2"}, {}, "No response\n"},
    };
    for (const Row& r : rows) {
        QString e;
        EXPECT_TRUE(std::isnan(api.jointDesirability(r.settings, r.specs, e)));
        EXPECT_EQ(e, r.message);
    }
    QString e;
    double rate = 0;
    QVector<double> rates;
    EXPECT_FALSE(api.simulateJointDefects(0, {{0, 1}, {0, 1}}, rate, rates, e));
    EXPECT_FALSE(api.simulateJointDefects(10, {{0, 1}}, rate, rates, e));
    EXPECT_EQ(e, "Invalid Value\nInvalid Value\n");
}

TEST_F(JointDesirability, InitialFunctionsFollowDefinitionsElseTheDataRange)
{
    DoeDesignResponse r;
    ASSERT_TRUE(api.addResponseData(Minimize, r, err));
    r.name = "Impurity";
    r.goal = Minimize;
    r.lowerLimit = "1";
    r.upperLimit = "2";
    r.importance = "3";
    ASSERT_TRUE(api.setResponseData(QStringLiteral("Y"), r, err)) << qPrintable(err);

    DoeDesirabilitySpec yield, impurity;
    ASSERT_TRUE(api.getInitialDesirabilitySpec(0, yield, err));
    ASSERT_TRUE(api.getInitialDesirabilitySpec(1, impurity, err));
    EXPECT_EQ(yield.y1, 65.08);
    EXPECT_EQ(yield.y3, 81.01);
    EXPECT_EQ(yield.importance, 1.0);
    EXPECT_EQ(individualDesirability(yield, 81.01), 1.0);
    EXPECT_EQ(impurity.importance, 3.0);
    EXPECT_EQ(individualDesirability(impurity, 1.0), 1.0);
    EXPECT_EQ(individualDesirability(impurity, 1.5), 0.5);
    EXPECT_EQ(individualDesirability(impurity, 2.0), 0.0);
    EXPECT_FALSE(api.getInitialDesirabilitySpec(2, yield, err));
}

TEST(JointDesirabilityPreparation, SeveralResponsesKeepTheFittableOnes)
{
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;
    const QVector<QStringList> rows{{"1", "2", "3", "x"}, {"2", "3", "5", "4"}, {"3", "5", "7", "y"},
                                    {"4", "6", "9", "1"}};
    ASSERT_TRUE(analysis_test::loadTable(api, dir, {"A", "Y1", "Y2", "Bad"}, rows, err));
    // Switched off, the list holds one response.
    api.setFitModel_SeveralResponses(false);
    ASSERT_TRUE(api.setModelResponseList({"Y1", "Y2"}, err));
    QList<QString> listed;
    api.getModelResponseList(listed);
    EXPECT_EQ(listed, QList<QString>{"Y1"});

    api.setFitModel_SeveralResponses(true);
    ASSERT_TRUE(api.setModelResponseList({"Y2", "Bad", "Y1"}, err));
    api.getModelResponseList(listed);
    EXPECT_EQ(listed, (QList<QString>{"Y1", "Y2", "Bad"}));
    ASSERT_TRUE(api.genModel_RSM_ByGivenList({"A"}, err));
    ASSERT_EQ(api.canRunModel(err), 1);
    EXPECT_TRUE(api.preparationForModelRegression(err));
    EXPECT_EQ(err, "Response Bad: Response data must be number\n");
    api.getModelResponseList(listed);
    EXPECT_EQ(listed, (QList<QString>{"Y1", "Y2"}));
    EXPECT_TRUE(api.runModel(1));

    // A response column without any data: named by the preparation, the others fitted.
    DoeBussinessApi second;
    const QVector<QStringList> gaps{{"1", "2", ""}, {"2", "3", ""}, {"3", "5", ""}, {"4", "6", ""}};
    ASSERT_TRUE(analysis_test::loadTable(second, dir, {"A", "Y1", "Empty"}, gaps, err));
    second.setFitModel_SeveralResponses(true);
    err.clear();
    ASSERT_TRUE(second.setModelResponseList({"Y1", "Empty"}, err) && second.genModel_RSM_ByGivenList({"A"}, err));
    ASSERT_EQ(second.canRunModel(err), 1) << qPrintable(err);
    EXPECT_TRUE(second.preparationForModelRegression(err));
    EXPECT_EQ(err, "Response Empty: Empty data\n");

    api.setFitModel_SeveralResponses(false);
    api.getModelResponseList(listed);
    EXPECT_EQ(listed, QList<QString>{"Y1"});
}
