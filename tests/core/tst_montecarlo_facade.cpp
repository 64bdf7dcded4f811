// Monte Carlo through the facade and the real engine: settings per slot, the simulation of an
// exactly fitted linear model, the table layout and the refusals.
#include <gtest/gtest.h>

#include "tst_regression_support.h"

using namespace analysis_test;
using doeBussiness::DoeMonteCarloFactorInfo;
using doeBussiness::DoeMonteCarloResponseInfo;

namespace {

class MonteCarloFacade : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;

    // y = 2 + 3 c exactly, c spanning [-1, 1] so that coded and actual values agree.
    void SetUp() override
    {
        QVector<QStringList> rows;
        for (int i = 0; i <= 10; ++i) {
            const double c = -1 + 0.2 * i;
            rows.append({QString::number(c), QString::number(2 + 3 * c)});
        }
        ASSERT_TRUE(prepare(api, dir, {"c", "Y"}, rows, "Y", {"c"}, err)) << err.toStdString();
        enter(api, {"c"});
        ASSERT_TRUE(api.runModel(0));
    }
};

}  // namespace

TEST_F(MonteCarloFacade, LinearModelOfANormalFactor)
{
    QMap<QString, DoeMonteCarloFactorInfo> factors;
    ASSERT_TRUE(api.getMonteCarloFactorInfo(0, factors));
    ASSERT_EQ(factors.keys(), QList<QString>{"c"});
    EXPECT_EQ(factors["c"], DoeMonteCarloFactorInfo());  // normal(0, 0.4)
    QPair<int, double> n;
    ASSERT_TRUE(api.getMonteCarloNum(0, n));
    EXPECT_EQ(n, qMakePair(10000, 5.0));

    ASSERT_TRUE(api.genMonteCarloTableData(0));
    QVector<double> values;
    QPair<double, double> range;
    ASSERT_TRUE(api.getResponseData(values, range, 0));
    ASSERT_EQ(values.size(), 10000);
    double mean = 0, var = 0;
    for (double v : values)
        mean += v;
    mean /= values.size();
    for (double v : values)
        var += (v - mean) * (v - mean);
    const double sd = std::sqrt(var / (values.size() - 1));
    EXPECT_NEAR(mean, 2.0, 4 * 1.2 / 100.0);
    EXPECT_NEAR(sd, 1.2, 4 * 1.2 / std::sqrt(20000.0));
    EXPECT_LT(range.first, range.second);
    int below = 0;
    for (double v : values)
        below += v <= range.first;
    EXPECT_EQ(below, 500);

    QVector<QString> header;
    QVector<QVector<QString>> rows;
    ASSERT_TRUE(api.getMonteCarloTableData(header, rows, 0));
    EXPECT_EQ(header, (QVector<QString>{"c", "Y"}));
    ASSERT_EQ(rows.size(), 10000);
    // Cells carry six significant digits.
    EXPECT_NEAR(rows[0][1].toDouble(), 2 + 3 * rows[0][0].toDouble(), 1e-4);
}

TEST_F(MonteCarloFacade, SequenceExampleLayout)
{
    DoeMonteCarloFactorInfo c;
    c.sequence = 1;
    c.sequenceSteps = 3;
    ASSERT_TRUE(api.setMonteCarloFactorInfo(0, "c", c, err));
    QPair<int, double> n(10, 5.0);
    ASSERT_TRUE(api.setMonteCarloNum(0, n, err));
    ASSERT_TRUE(api.monteCarloValidCheck(0, err));
    ASSERT_TRUE(api.genMonteCarloTableData(0));
    QVector<QString> header;
    QVector<QVector<QString>> rows;
    ASSERT_TRUE(api.getMonteCarloTableData(header, rows, 0));
    EXPECT_EQ(header, (QVector<QString>{"c", "c Mean", "Y"}));
    ASSERT_EQ(rows.size(), 30);
    EXPECT_EQ(rows[0][1], "-1");
    EXPECT_EQ(rows[9][1], "-1");
    EXPECT_EQ(rows[10][1], "0");
    EXPECT_EQ(rows[29][1], "1");
}

TEST_F(MonteCarloFacade, SettingsAreValidatedAndRefusalsShowTheStoredValue)
{
    QPair<int, double> n(0, 5.0);
    EXPECT_FALSE(api.setMonteCarloNum(0, n, err));
    EXPECT_EQ(err, "Invalid Value\n");
    EXPECT_EQ(n, qMakePair(10000, 5.0));
    n = qMakePair(3000001, 5.0);
    EXPECT_FALSE(api.setMonteCarloNum(0, n, err));
    n = qMakePair(3000000, 50.0);
    EXPECT_TRUE(api.setMonteCarloNum(0, n, err));
    err.clear();
    n = qMakePair(5, 5.0);
    EXPECT_FALSE(api.setMonteCarloNum(1, n, err));
    EXPECT_EQ(err, "Invalid Index\n");
    EXPECT_EQ(n, qMakePair(1, 0.0));

    err.clear();
    DoeMonteCarloResponseInfo r;
    r.lowerSpecLimit = "low";
    EXPECT_FALSE(api.setMonteCarloResponseInfo(0, "Y", r, err));
    EXPECT_EQ(r, DoeMonteCarloResponseInfo());
    r.lowerSpecLimit = "";
    r.upperSpecLimit = "4.5";
    EXPECT_TRUE(api.setMonteCarloResponseInfo(0, "Y", r, err));
    QMap<QString, DoeMonteCarloResponseInfo> rmap;
    ASSERT_TRUE(api.getMonteCarloResponseInfo(0, rmap));
    EXPECT_EQ(rmap["Y"].upperSpecLimit, "4.5");

    err.clear();
    DoeMonteCarloFactorInfo f;
    f.random = 0;
    f.sequence = 2;
    EXPECT_TRUE(api.setMonteCarloFactorInfo(0, "c", f, err));
    EXPECT_FALSE(api.monteCarloValidCheck(0, err));
    EXPECT_EQ(err, "Can't fix and spread together\n");
    err.clear();
    EXPECT_FALSE(api.monteCarloValidCheck(3, err));
    EXPECT_EQ(err, "Fail to get factor data\n");
    f.stdDev = -1;
    err.clear();
    EXPECT_FALSE(api.setMonteCarloFactorInfo(0, "c", f, err));
    EXPECT_EQ(f.stdDev, 0.4);  // the stored record
    EXPECT_FALSE(api.setMonteCarloFactorInfo(-1, "c", f, err));

    // Profiler values become the fixed value and mean of continuous factors.
    api.setMonteCarloFactorsDefaultValue(0, {0.5, 9.0}, {false});
    QMap<QString, DoeMonteCarloFactorInfo> fmap;
    ASSERT_TRUE(api.getMonteCarloFactorInfo(0, fmap));
    EXPECT_EQ(fmap["c"].used, 0);
    EXPECT_EQ(fmap["c"].mean, 0.5);
    EXPECT_EQ(fmap["c"].fixedValue, 0.5);
    api.setMonteCarloFactorsDefaultValue(0, {NAN}, {true});
    ASSERT_TRUE(api.getMonteCarloFactorInfo(0, fmap));
    EXPECT_EQ(fmap["c"].mean, 0.5);

    // A new run resets the settings and drops the earlier table.
    n = qMakePair(1000, 5.0);
    ASSERT_TRUE(api.setMonteCarloNum(0, n, err));
    ASSERT_TRUE(api.genMonteCarloTableData(0));
    ASSERT_TRUE(api.runModel(0));
    QVector<double> values;
    QPair<double, double> range;
    EXPECT_FALSE(api.getResponseData(values, range, 0));
    ASSERT_TRUE(api.getMonteCarloFactorInfo(0, fmap));
    EXPECT_EQ(fmap["c"], DoeMonteCarloFactorInfo());
}

// Noise from the model needs error degrees of freedom: an exact fit through two rows has none, so
// the simulation is refused with the reason and nothing is simulated.
TEST(MonteCarloNoise, NoErrorDegreesOfFreedomIsRefused)
{
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;
    ASSERT_TRUE(prepare(api, dir, {"c", "Y"}, {{"-1", "1"}, {"1", "5"}}, "Y", {"c"}, err));
    enter(api, {"c"});
    ASSERT_TRUE(api.runModel(0));
    DoeMonteCarloResponseInfo r;
    r.noiseMode = 2;
    ASSERT_TRUE(api.setMonteCarloResponseInfo(0, "Y", r, err));
    EXPECT_FALSE(api.monteCarloValidCheck(0, err));
    EXPECT_EQ(err, "No error degrees of freedom for noise from the model\n");
    EXPECT_FALSE(api.genMonteCarloTableData(0));
    QVector<double> values;
    QPair<double, double> range;
    EXPECT_FALSE(api.getResponseData(values, range, 0));
    r.noiseMode = 0;
    ASSERT_TRUE(api.setMonteCarloResponseInfo(0, "Y", r, err));
    EXPECT_TRUE(api.monteCarloValidCheck(0, err));
}
