// Monte Carlo settings, sampling rules, sequence layout and percentile range, driven by a plain
// linear predictor so the distributions can be checked without an engine.
#include <gtest/gtest.h>

#include <cmath>

#include "DoeCommon.h"
#include "DoeMonteCarloSimulator.h"

using namespace doeBussiness;

namespace {

// y = 2 + 3 x0 (+ x1 + ...), se1 = 0.5, se2 = 1, 7 error degrees of freedom.
void linearPredict(const QVector<double>& x, double& p, double& se1, double& se2, int& dfe)
{
    p = 2.0 + 3.0 * (x.isEmpty() ? 0.0 : x[0]);
    for (int i = 1; i < x.size(); ++i)
        p += x[i];
    se1 = 0.5;
    se2 = 1.0;
    dfe = 7;
}

struct Stats
{
    double mean = 0, sd = 0, min = 1e300, max = -1e300;
};

Stats stats(const QVector<double>& v)
{
    Stats s;
    for (double d : v) {
        s.mean += d;
        s.min = std::min(s.min, d);
        s.max = std::max(s.max, d);
    }
    s.mean /= v.size();
    for (double d : v)
        s.sd += (d - s.mean) * (d - s.mean);
    s.sd = std::sqrt(s.sd / (v.size() - 1));
    return s;
}

// Values of one table column over the given rows.
QVector<double> column(const DoeMonteCarloTable& t, int col, int from = 0, int count = -1)
{
    QVector<double> out;
    const int end = count < 0 ? t.rowCount() : from + count;
    for (int r = from; r < end; ++r)
        out.append(t.value(r, col));
    return out;
}

DoeMonteCarloTable run(const QMap<QString, DoeMonteCarloFactorInfo>& f, int runs,
                       const DoeMonteCarloResponseInfo& resp = {}, QList<QString> names = {})
{
    if (names.isEmpty())
        names = f.keys();
    DoeMonteCarloTable t;
    QString err;
    EXPECT_TRUE(DoeMonteCarloSimulator::simulate(names, f, "Y", resp, qMakePair(runs, 5.0),
                                                 linearPredict, t, err))
        << err.toStdString();
    return t;
}

DoeMonteCarloFactorInfo discreteInfo(int levels)
{
    DoeMonteCarloFactorInfo d;
    d.discrete = 1;
    for (int i = 0; i < levels; ++i)
        d.levelValues << QStringLiteral("L%1").arg(i);
    return d;
}

}  // namespace

TEST(MonteCarloSettings, ValidationRules)
{
    DoeMonteCarloFactorInfo f;
    EXPECT_TRUE(isMonteCarloFactorInfoValid(f));
    f.sequenceSteps = 0;
    EXPECT_FALSE(isMonteCarloFactorInfoValid(f));
    f = {};
    f.stdDev = 0;
    EXPECT_FALSE(isMonteCarloFactorInfoValid(f));
    f = {};
    f.lower = 2;
    EXPECT_FALSE(isMonteCarloFactorInfoValid(f));
    f = {};
    f.mean = std::nan("");
    EXPECT_FALSE(isMonteCarloFactorInfoValid(f));

    DoeMonteCarloFactorInfo d = discreteInfo(3);
    for (double bad : {2.5, 3.0, -1.0}) {
        d.fixedValue = bad;
        EXPECT_FALSE(isMonteCarloFactorInfoValid(d)) << bad;
    }
    d.fixedValue = 2;
    EXPECT_TRUE(isMonteCarloFactorInfoValid(d));

    DoeMonteCarloResponseInfo r;
    EXPECT_TRUE(isMonteCarloResponseInfoValid(r));
    r.lowerSpecLimit = "word";
    EXPECT_FALSE(isMonteCarloResponseInfoValid(r));
    r.lowerSpecLimit = "-1.5";
    r.upperSpecLimit = "inf";
    EXPECT_FALSE(isMonteCarloResponseInfoValid(r));
    r.upperSpecLimit = "";
    EXPECT_TRUE(isMonteCarloResponseInfoValid(r));
    r.noiseStdDev = 0;
    EXPECT_FALSE(isMonteCarloResponseInfoValid(r));

    EXPECT_FALSE(isMonteCarloRunSettingValid(qMakePair(0, 5.0)));
    EXPECT_FALSE(isMonteCarloRunSettingValid(qMakePair(3000001, 5.0)));
    EXPECT_FALSE(isMonteCarloRunSettingValid(qMakePair(10, 50.5)));
    EXPECT_FALSE(isMonteCarloRunSettingValid(qMakePair(10, -0.1)));
    EXPECT_TRUE(isMonteCarloRunSettingValid(qMakePair(3000000, 50.0)));
    EXPECT_TRUE(isMonteCarloRunSettingValid(qMakePair(1, 0.0)));
}

TEST(MonteCarloSettings, StepListAndPercentileRange)
{
    EXPECT_EQ(monteCarloStepList(0, 1, 5), (QVector<double>{0, 0.25, 0.5, 0.75, 1}));
    EXPECT_EQ(monteCarloStepList(3, 9, 1), QVector<double>{3});

    QVector<double> v;
    for (int i = 10000; i >= 1; --i)
        v.append(i);
    EXPECT_EQ(monteCarloPercentileRange(v, 5.0), qMakePair(500.0, 9501.0));
    EXPECT_EQ(monteCarloPercentileRange(v, 0.0), qMakePair(1.0, 10000.0));  // k = 0 becomes 1
    EXPECT_EQ(monteCarloPercentileRange(v, 50.0), qMakePair(5000.0, 5001.0));
    EXPECT_EQ(monteCarloPercentileRange({7.0}, 5.0), qMakePair(7.0, 7.0));
}

// The mean and spread of a linear response of a normal factor agree with theory.
TEST(MonteCarloSimulation, NormalFactorThroughLinearModel)
{
    const int n = 20000;
    DoeMonteCarloTable t = run({{"X1", DoeMonteCarloFactorInfo()}}, n);
    ASSERT_EQ(t.rowCount(), n);
    const Stats s = stats(t.simulated());
    EXPECT_NEAR(s.mean, 2.0, 4 * 1.2 / std::sqrt(n));
    EXPECT_NEAR(s.sd, 1.2, 4 * 1.2 / std::sqrt(2.0 * n));
    EXPECT_EQ(t.predictions(), t.simulated());  // no noise: the prediction itself
    EXPECT_EQ(t.stdErrors1().size(), n);
    const auto range = t.percentileRange();
    EXPECT_NEAR(range.first, 2.0 - 1.645 * 1.2, 0.08);
    EXPECT_NEAR(range.second, 2.0 + 1.645 * 1.2, 0.08);
}

// One test per row of the sampling rules, checked by the distribution of the factor column.
TEST(MonteCarloSimulation, ContinuousSamplingRules)
{
    const int n = 20000;
    const double tol4 = 4.0 / std::sqrt(n);

    DoeMonteCarloFactorInfo unused;
    unused.used = 0;
    unused.fixedValue = 0.7;
    DoeMonteCarloTable t = run({{"X1", unused}}, 50);
    EXPECT_EQ(t.header(), (QVector<QString>{"Y"}));  // left out of the table...
    EXPECT_DOUBLE_EQ(t.simulated()[0], 2.0 + 3.0 * 0.7);  // ...but predicted at its fixed value

    DoeMonteCarloFactorInfo fixed;
    fixed.random = 0;
    fixed.fixedValue = -0.3;
    t = run({{"X1", fixed}}, 10);
    EXPECT_EQ(column(t, 0), QVector<double>(10, -0.3));

    fixed.sequence = 1;
    fixed.sequenceSteps = 3;
    t = run({{"X1", fixed}}, 4);
    EXPECT_EQ(t.header(), (QVector<QString>{"X1", "X1 Mean", "Y"}));
    EXPECT_EQ(column(t, 0), (QVector<double>{-1, -1, -1, -1, 0, 0, 0, 0, 1, 1, 1, 1}));
    EXPECT_EQ(column(t, 1), column(t, 0));

    DoeMonteCarloFactorInfo normal;
    normal.mean = 1.5;
    normal.stdDev = 0.2;
    Stats s = stats(column(run({{"X1", normal}}, n), 0));
    EXPECT_NEAR(s.mean, 1.5, 0.2 * tol4);
    EXPECT_NEAR(s.sd, 0.2, 0.2 * tol4);

    normal.sequence = 1;  // location sequence -1, 1
    t = run({{"X1", normal}}, n);
    EXPECT_EQ(t.header()[1], "X1 Mean");
    EXPECT_NEAR(stats(column(t, 0, 0, n)).mean, -1.0, 0.2 * tol4);
    EXPECT_NEAR(stats(column(t, 0, n, n)).mean, 1.0, 0.2 * tol4);
    EXPECT_NEAR(stats(column(t, 0, n, n)).sd, 0.2, 0.2 * tol4);

    normal.sequence = 2;  // spread sequence 0.25, 0.5
    t = run({{"X1", normal}}, n);
    EXPECT_EQ(t.header()[1], "X1 Std Dev");
    EXPECT_NEAR(stats(column(t, 0, 0, n)).sd, 0.25, 0.25 * tol4);
    EXPECT_NEAR(stats(column(t, 0, n, n)).sd, 0.5, 0.5 * tol4);
    EXPECT_NEAR(stats(column(t, 0, n, n)).mean, 1.5, 0.5 * tol4);

    DoeMonteCarloFactorInfo uni;
    uni.distribution = 1;
    uni.lower = 2;
    uni.upper = 4;
    s = stats(column(run({{"X1", uni}}, n), 0));
    EXPECT_NEAR(s.mean, 3.0, 0.58 * tol4);
    EXPECT_NEAR(s.sd, 2.0 / std::sqrt(12.0), 0.05);
    EXPECT_GE(s.min, 2.0);
    EXPECT_LT(s.max, 4.0);

    uni.sequence = 1;  // centred on -1 then 1, width 2
    t = run({{"X1", uni}}, n);
    EXPECT_EQ(t.header()[1], "X1 Center");
    s = stats(column(t, 0, n, n));
    EXPECT_NEAR(s.mean, 1.0, 0.58 * tol4);
    EXPECT_GE(s.min, 0.0);
    EXPECT_LT(s.max, 2.0);

    uni.sequence = 2;  // centred on 3, widths 0.25 then 0.5
    t = run({{"X1", uni}}, n);
    EXPECT_EQ(t.header()[1], "X1 Spread");
    s = stats(column(t, 0, n, n));
    EXPECT_NEAR(s.mean, 3.0, 0.15 * tol4);
    EXPECT_GE(s.min, 2.75);
    EXPECT_LT(s.max, 3.25);
    EXPECT_LT(stats(column(t, 0, 0, n)).max, 3.125);
}

TEST(MonteCarloSimulation, DiscreteSamplingRules)
{
    const int n = 30000;
    DoeMonteCarloFactorInfo d = discreteInfo(3);
    d.levelWeights = {"1", "2", "word"};  // a weight that is no number counts as 0
    DoeMonteCarloTable t = run({{"C", d}}, n);
    QVector<int> count(3, 0);
    for (double v : column(t, 0))
        ++count[static_cast<int>(v)];
    EXPECT_EQ(count[2], 0);
    EXPECT_NEAR(count[1] / double(n), 2.0 / 3.0, 4 * std::sqrt(2.0 / 9.0 / n));
    EXPECT_TRUE(t.textRow(0)[0] == "L0" || t.textRow(0)[0] == "L1");

    d.levelWeights.clear();  // no weights: equally likely levels
    t = run({{"C", d}}, n);
    count.fill(0);
    for (double v : column(t, 0))
        ++count[static_cast<int>(v)];
    for (int c : count)
        EXPECT_NEAR(c / double(n), 1.0 / 3.0, 4 * std::sqrt(2.0 / 9.0 / n));

    d.random = 0;
    d.fixedValue = 2;
    t = run({{"C", d}}, 5);
    EXPECT_EQ(t.textRow(4)[0], "L2");
    EXPECT_EQ(t.header().size(), 2);

    for (int random : {0, 1}) {  // stepped through its levels, random or fixed
        d.random = random;
        d.sequence = 1;
        d.sequenceSteps = 9;  // ignored: one step per level
        t = run({{"C", d}}, 2);
        EXPECT_EQ(t.header(), (QVector<QString>{"C", "C Mean", "Y"}));
        ASSERT_EQ(t.rowCount(), 6);
        EXPECT_EQ(t.textRow(2), (QVector<QString>{"L1", "1", "5"}));
        EXPECT_EQ(t.textRow(5)[0], "L2");
    }
}

TEST(MonteCarloSimulation, NoiseModes)
{
    const int n = 20000;
    DoeMonteCarloFactorInfo fixed;
    fixed.random = 0;
    DoeMonteCarloResponseInfo r;
    r.noiseMode = 1;
    r.noiseStdDev = 0.3;
    Stats s = stats(run({{"X1", fixed}}, n, r).simulated());
    EXPECT_NEAR(s.mean, 2.0, 4 * 0.3 / std::sqrt(n));
    EXPECT_NEAR(s.sd, 0.3, 0.3 * 4 / std::sqrt(2.0 * n));

    r.noiseMode = 2;  // t(7) * 0.5: sd 0.5 * sqrt(7 / 5)
    s = stats(run({{"X1", fixed}}, n, r).simulated());
    EXPECT_NEAR(s.mean, 2.0, 4 * 0.6 / std::sqrt(n));
    EXPECT_NEAR(s.sd, 0.5 * std::sqrt(7.0 / 5.0), 0.03);
}

// The layout of the documented example and of two sequenced factors.
TEST(MonteCarloSimulation, SequenceLayoutAndHeader)
{
    DoeMonteCarloFactorInfo x1;
    x1.sequence = 1;
    x1.sequenceSteps = 3;
    DoeMonteCarloTable t = run({{"X1", x1}}, 10);
    EXPECT_EQ(t.header(), (QVector<QString>{"X1", "X1 Mean", "Y"}));
    ASSERT_EQ(t.rowCount(), 30);
    const auto rows = t.textRows();
    for (int r = 0; r < 30; ++r)
        EXPECT_EQ(rows[r][1], r < 10 ? "-1" : r < 20 ? "0" : "1") << r;
    EXPECT_EQ(rows[0][2], DoeMonteCarloTable::numberText(t.simulated()[0]));

    DoeMonteCarloFactorInfo x2;
    x2.random = 0;
    x2.sequence = 1;
    x2.sequenceSteps = 2;
    DoeMonteCarloFactorInfo off;
    off.used = 0;
    t = run({{"X1", x1}, {"X2", x2}, {"X3", off}}, 2, {}, {"X2", "X3", "X1"});
    EXPECT_EQ(t.header(), (QVector<QString>{"X2", "X2 Mean", "X1", "X1 Mean", "Y"}));
    ASSERT_EQ(t.rowCount(), 12);
    EXPECT_EQ(t.textRow(0)[1], "-1");
    EXPECT_EQ(t.textRow(6)[1], "1");
    EXPECT_EQ(t.textRow(2)[3], "0");
    EXPECT_EQ(t.textRow(4)[3], "1");
}

TEST(MonteCarloSimulation, RefusalsLeaveNoNumbers)
{
    DoeMonteCarloTable t;
    QString err;
    const QMap<QString, DoeMonteCarloFactorInfo> f{{"X1", DoeMonteCarloFactorInfo()}};
    auto nanPredict = [](const QVector<double>&, double& p, double&, double&, int&) {
        p = std::numeric_limits<double>::infinity();
    };
    EXPECT_FALSE(DoeMonteCarloSimulator::simulate({"X1"}, f, "Y", {}, qMakePair(100, 5.0),
                                                  nanPredict, t, err));
    EXPECT_EQ(err, "Prediction error\n");
    EXPECT_TRUE(t.isEmpty());
    EXPECT_TRUE(t.header().isEmpty());

    err.clear();
    EXPECT_FALSE(DoeMonteCarloSimulator::simulate({"X1"}, f, "Y", {}, qMakePair(0, 5.0),
                                                  linearPredict, t, err));
    EXPECT_EQ(err, "Invalid Value\n");

    // Ten steps of a sequence at the maximal run count exceed the row limit.
    DoeMonteCarloFactorInfo seq;
    seq.sequence = 1;
    seq.sequenceSteps = 10;
    err.clear();
    EXPECT_FALSE(DoeMonteCarloSimulator::simulate({"X1"}, {{"X1", seq}}, "Y", {},
                                                  qMakePair(kMonteCarloMaxRuns, 5.0),
                                                  linearPredict, t, err));
    EXPECT_EQ(err, "Too many runs\n");

    EXPECT_EQ(DoeMonteCarloTable::numberText(std::nan("")), "");
    EXPECT_EQ(DoeMonteCarloTable::numberText(0.1), "0.1");
    EXPECT_EQ(DoeMonteCarloTable::numberText(1.0 / 3.0), "0.333333");
    EXPECT_EQ(DoeMonteCarloTable::numberText(1234567.0), "1.23457e+06");
    EXPECT_TRUE(std::isnan(t.value(0, 0)));
}

// A constant output has no spread at all, however many runs; a large offset costs no digits.
TEST(MonteCarloSimulation, MeanAndSdOfLongAndOffsetRuns)
{
    const struct {
        const char* name;
        QVector<double> values;
        double mean, sd;
    } rows[] = {
        {"100000 equal values", QVector<double>(100000, 83.4767), 83.4767, 0.0},
        {"4 equal values", QVector<double>(4, 0.1), 0.1, 0.0},
        {"offset 1e9 + 1..4", {1e9 + 1, 1e9 + 2, 1e9 + 3, 1e9 + 4}, 1e9 + 2.5, std::sqrt(1.25)},
    };
    for (const auto& r : rows) {
        double mean = -1, sd = -1;
        DoeCommon::calculateMeanAndStd(r.values, mean, sd);
        EXPECT_EQ(mean, r.mean) << r.name;
        EXPECT_EQ(sd, r.sd) << r.name;
    }
}
